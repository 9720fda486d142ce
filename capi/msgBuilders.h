#pragma once
// One builder per request and response message: each fills `c` (header first, which clears the
// record) with the message's own parameters and sends it with PutCmsg. Struct parameters are
// struct refs (nullptr = empty); B protocol and Additional Info are always composed from their
// members. Each returns PutCmsg's result.

#include "capi/msg.h"

unsigned ALERT_REQ(CapiProvider& capi, cmsg& c, uint16_t applId, uint16_t messageNumber,
                   uint32_t adr, CapiStruct bChannelInformation, CapiStruct keypadFacility,
                   CapiStruct userUserData, CapiStruct facilityDataArray);
unsigned CONNECT_REQ(CapiProvider& capi, cmsg& c, uint16_t applId, uint16_t messageNumber,
                     uint32_t adr, uint16_t cipValue, CapiStruct calledPartyNumber,
                     CapiStruct callingPartyNumber, CapiStruct calledPartySubaddress,
                     CapiStruct callingPartySubaddress, uint16_t b1Protocol, uint16_t b2Protocol,
                     uint16_t b3Protocol, CapiStruct b1Configuration, CapiStruct b2Configuration,
                     CapiStruct b3Configuration, CapiStruct bc, CapiStruct llc, CapiStruct hlc,
                     CapiStruct bChannelInformation, CapiStruct keypadFacility,
                     CapiStruct userUserData, CapiStruct facilityDataArray);
unsigned DISCONNECT_REQ(CapiProvider& capi, cmsg& c, uint16_t applId, uint16_t messageNumber,
                        uint32_t adr, CapiStruct bChannelInformation, CapiStruct keypadFacility,
                        CapiStruct userUserData, CapiStruct facilityDataArray);
unsigned LISTEN_REQ(CapiProvider& capi, cmsg& c, uint16_t applId, uint16_t messageNumber,
                    uint32_t adr, uint32_t infoMask, uint32_t cipMask, uint32_t cipMask2,
                    CapiStruct callingPartyNumber, CapiStruct callingPartySubaddress);
unsigned INFO_REQ(CapiProvider& capi, cmsg& c, uint16_t applId, uint16_t messageNumber,
                  uint32_t adr, CapiStruct calledPartyNumber, CapiStruct bChannelInformation,
                  CapiStruct keypadFacility, CapiStruct userUserData, CapiStruct facilityDataArray);
unsigned FACILITY_REQ(CapiProvider& capi, cmsg& c, uint16_t applId, uint16_t messageNumber,
                      uint32_t adr, uint16_t facilitySelector, CapiStruct facilityRequestParameter);
unsigned SELECT_B_PROTOCOL_REQ(CapiProvider& capi, cmsg& c, uint16_t applId, uint16_t messageNumber,
                               uint32_t adr, uint16_t b1Protocol, uint16_t b2Protocol,
                               uint16_t b3Protocol, CapiStruct b1Configuration,
                               CapiStruct b2Configuration, CapiStruct b3Configuration);
unsigned CONNECT_B3_REQ(CapiProvider& capi, cmsg& c, uint16_t applId, uint16_t messageNumber,
                        uint32_t adr, CapiStruct ncpi);
unsigned DISCONNECT_B3_REQ(CapiProvider& capi, cmsg& c, uint16_t applId, uint16_t messageNumber,
                           uint32_t adr, CapiStruct ncpi);
unsigned RESET_B3_REQ(CapiProvider& capi, cmsg& c, uint16_t applId, uint16_t messageNumber,
                      uint32_t adr, CapiStruct ncpi);
unsigned DATA_B3_REQ(CapiProvider& capi, cmsg& c, uint16_t applId, uint16_t messageNumber,
                     uint32_t adr, uint32_t data, uint16_t dataLength, uint16_t dataHandle,
                     uint16_t flags);
unsigned MANUFACTURER_REQ(CapiProvider& capi, cmsg& c, uint16_t applId, uint16_t messageNumber,
                          uint32_t adr, uint32_t manuId, uint32_t classValue, uint32_t function,
                          CapiStruct manuData);

unsigned CONNECT_RESP(CapiProvider& capi, cmsg& c, uint16_t applId, uint16_t messageNumber,
                      uint32_t adr, uint16_t reject, uint16_t b1Protocol, uint16_t b2Protocol,
                      uint16_t b3Protocol, CapiStruct b1Configuration, CapiStruct b2Configuration,
                      CapiStruct b3Configuration, CapiStruct connectedNumber,
                      CapiStruct connectedSubaddress, CapiStruct llc,
                      CapiStruct bChannelInformation, CapiStruct keypadFacility,
                      CapiStruct userUserData, CapiStruct facilityDataArray);
unsigned CONNECT_ACTIVE_RESP(CapiProvider& capi, cmsg& c, uint16_t applId, uint16_t messageNumber,
                             uint32_t adr);
unsigned DISCONNECT_RESP(CapiProvider& capi, cmsg& c, uint16_t applId, uint16_t messageNumber,
                         uint32_t adr);
unsigned INFO_RESP(CapiProvider& capi, cmsg& c, uint16_t applId, uint16_t messageNumber,
                   uint32_t adr);
unsigned FACILITY_RESP(CapiProvider& capi, cmsg& c, uint16_t applId, uint16_t messageNumber,
                       uint32_t adr, uint16_t facilitySelector,
                       CapiStruct facilityResponseParameters);
unsigned CONNECT_B3_RESP(CapiProvider& capi, cmsg& c, uint16_t applId, uint16_t messageNumber,
                         uint32_t adr, uint16_t reject, CapiStruct ncpi);
unsigned CONNECT_B3_ACTIVE_RESP(CapiProvider& capi, cmsg& c, uint16_t applId,
                                uint16_t messageNumber, uint32_t adr);
unsigned CONNECT_B3_T90_ACTIVE_RESP(CapiProvider& capi, cmsg& c, uint16_t applId,
                                    uint16_t messageNumber, uint32_t adr);
unsigned DISCONNECT_B3_RESP(CapiProvider& capi, cmsg& c, uint16_t applId, uint16_t messageNumber,
                            uint32_t adr);
unsigned RESET_B3_RESP(CapiProvider& capi, cmsg& c, uint16_t applId, uint16_t messageNumber,
                       uint32_t adr);
unsigned DATA_B3_RESP(CapiProvider& capi, cmsg& c, uint16_t applId, uint16_t messageNumber,
                      uint32_t adr, uint16_t dataHandle);
unsigned MANUFACTURER_RESP(CapiProvider& capi, cmsg& c, uint16_t applId, uint16_t messageNumber,
                           uint32_t adr, uint32_t manuId, uint32_t classValue, uint32_t function,
                           CapiStruct manuData);
