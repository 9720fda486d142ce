#include "capi/msgBuilders.h"

namespace {
void SetAdditionalInfo(cmsg& c, CapiStruct bChannelInformation, CapiStruct keypadFacility,
                       CapiStruct userUserData, CapiStruct facilityDataArray) {
    c.bChannelInformation = bChannelInformation;
    c.keypadFacility = keypadFacility;
    c.userUserData = userUserData;
    c.facilityDataArray = facilityDataArray;
}

void SetBProtocol(cmsg& c, uint16_t b1Protocol, uint16_t b2Protocol, uint16_t b3Protocol,
                  CapiStruct b1Configuration, CapiStruct b2Configuration,
                  CapiStruct b3Configuration) {
    c.b1Protocol = b1Protocol;
    c.b2Protocol = b2Protocol;
    c.b3Protocol = b3Protocol;
    c.b1Configuration = b1Configuration;
    c.b2Configuration = b2Configuration;
    c.b3Configuration = b3Configuration;
}
} // namespace

unsigned CONNECT_RESP(CapiProvider& capi, cmsg& c, uint16_t applId, uint16_t messageNumber,
                      uint32_t adr, uint16_t reject, uint16_t b1Protocol, uint16_t b2Protocol,
                      uint16_t b3Protocol, CapiStruct b1Configuration, CapiStruct b2Configuration,
                      CapiStruct b3Configuration, CapiStruct connectedNumber,
                      CapiStruct connectedSubaddress, CapiStruct llc,
                      CapiStruct bChannelInformation, CapiStruct keypadFacility,
                      CapiStruct userUserData, CapiStruct facilityDataArray) {
    FillCmsgHeader(c, applId, CAPI_CONNECT, CAPI_RESP, messageNumber, adr);
    c.reject = reject;
    SetBProtocol(c, b1Protocol, b2Protocol, b3Protocol, b1Configuration, b2Configuration,
                 b3Configuration);
    c.connectedNumber = connectedNumber;
    c.connectedSubaddress = connectedSubaddress;
    c.llc = llc;
    SetAdditionalInfo(c, bChannelInformation, keypadFacility, userUserData, facilityDataArray);
    return PutCmsg(capi, c);
}

unsigned DISCONNECT_RESP(CapiProvider& capi, cmsg& c, uint16_t applId, uint16_t messageNumber,
                         uint32_t adr) {
    FillCmsgHeader(c, applId, CAPI_DISCONNECT, CAPI_RESP, messageNumber, adr);
    return PutCmsg(capi, c);
}
