#pragma once
// The builders of the responses the monitor sends: each fills `c` (header first, which clears
// the record) with the message's own parameters and sends it with PutCmsg. Struct parameters are
// struct refs (nullptr = empty); B protocol and Additional Info are always composed from their
// members. Each returns PutCmsg's result.

#include "capi/msg.h"

unsigned CONNECT_RESP(CapiProvider& capi, cmsg& c, uint16_t applId, uint16_t messageNumber,
                      uint32_t adr, uint16_t reject, uint16_t b1Protocol, uint16_t b2Protocol,
                      uint16_t b3Protocol, CapiStruct b1Configuration, CapiStruct b2Configuration,
                      CapiStruct b3Configuration, CapiStruct connectedNumber,
                      CapiStruct connectedSubaddress, CapiStruct llc,
                      CapiStruct bChannelInformation, CapiStruct keypadFacility,
                      CapiStruct userUserData, CapiStruct facilityDataArray);
unsigned DISCONNECT_RESP(CapiProvider& capi, cmsg& c, uint16_t applId, uint16_t messageNumber,
                         uint32_t adr);
