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

unsigned AddressOnly(CapiProvider& capi, cmsg& c, uint8_t command, uint8_t subcommand,
                     uint16_t applId, uint16_t messageNumber, uint32_t adr) {
    FillCmsgHeader(c, applId, command, subcommand, messageNumber, adr);
    return PutCmsg(capi, c);
}

unsigned WithNcpi(CapiProvider& capi, cmsg& c, uint8_t command, uint16_t applId,
                  uint16_t messageNumber, uint32_t adr, CapiStruct ncpi) {
    FillCmsgHeader(c, applId, command, CAPI_REQ, messageNumber, adr);
    c.ncpi = ncpi;
    return PutCmsg(capi, c);
}

unsigned Manufacturer(CapiProvider& capi, cmsg& c, uint8_t subcommand, uint16_t applId,
                      uint16_t messageNumber, uint32_t adr, uint32_t manuId, uint32_t classValue,
                      uint32_t function, CapiStruct manuData) {
    FillCmsgHeader(c, applId, CAPI_MANUFACTURER, subcommand, messageNumber, adr);
    c.manuId = manuId;
    c.classValue = classValue;
    c.function = function;
    c.manuData = manuData;
    return PutCmsg(capi, c);
}
} // namespace

unsigned ALERT_REQ(CapiProvider& capi, cmsg& c, uint16_t applId, uint16_t messageNumber,
                   uint32_t adr, CapiStruct bChannelInformation, CapiStruct keypadFacility,
                   CapiStruct userUserData, CapiStruct facilityDataArray) {
    FillCmsgHeader(c, applId, CAPI_ALERT, CAPI_REQ, messageNumber, adr);
    SetAdditionalInfo(c, bChannelInformation, keypadFacility, userUserData, facilityDataArray);
    return PutCmsg(capi, c);
}

unsigned CONNECT_REQ(CapiProvider& capi, cmsg& c, uint16_t applId, uint16_t messageNumber,
                     uint32_t adr, uint16_t cipValue, CapiStruct calledPartyNumber,
                     CapiStruct callingPartyNumber, CapiStruct calledPartySubaddress,
                     CapiStruct callingPartySubaddress, uint16_t b1Protocol, uint16_t b2Protocol,
                     uint16_t b3Protocol, CapiStruct b1Configuration, CapiStruct b2Configuration,
                     CapiStruct b3Configuration, CapiStruct bc, CapiStruct llc, CapiStruct hlc,
                     CapiStruct bChannelInformation, CapiStruct keypadFacility,
                     CapiStruct userUserData, CapiStruct facilityDataArray) {
    FillCmsgHeader(c, applId, CAPI_CONNECT, CAPI_REQ, messageNumber, adr);
    c.cipValue = cipValue;
    c.calledPartyNumber = calledPartyNumber;
    c.callingPartyNumber = callingPartyNumber;
    c.calledPartySubaddress = calledPartySubaddress;
    c.callingPartySubaddress = callingPartySubaddress;
    SetBProtocol(c, b1Protocol, b2Protocol, b3Protocol, b1Configuration, b2Configuration,
                 b3Configuration);
    c.bc = bc;
    c.llc = llc;
    c.hlc = hlc;
    SetAdditionalInfo(c, bChannelInformation, keypadFacility, userUserData, facilityDataArray);
    return PutCmsg(capi, c);
}

unsigned DISCONNECT_REQ(CapiProvider& capi, cmsg& c, uint16_t applId, uint16_t messageNumber,
                        uint32_t adr, CapiStruct bChannelInformation, CapiStruct keypadFacility,
                        CapiStruct userUserData, CapiStruct facilityDataArray) {
    FillCmsgHeader(c, applId, CAPI_DISCONNECT, CAPI_REQ, messageNumber, adr);
    SetAdditionalInfo(c, bChannelInformation, keypadFacility, userUserData, facilityDataArray);
    return PutCmsg(capi, c);
}

unsigned LISTEN_REQ(CapiProvider& capi, cmsg& c, uint16_t applId, uint16_t messageNumber,
                    uint32_t adr, uint32_t infoMask, uint32_t cipMask, uint32_t cipMask2,
                    CapiStruct callingPartyNumber, CapiStruct callingPartySubaddress) {
    FillCmsgHeader(c, applId, CAPI_LISTEN, CAPI_REQ, messageNumber, adr);
    c.infoMask = infoMask;
    c.cipMask = cipMask;
    c.cipMask2 = cipMask2;
    c.callingPartyNumber = callingPartyNumber;
    c.callingPartySubaddress = callingPartySubaddress;
    return PutCmsg(capi, c);
}

unsigned INFO_REQ(CapiProvider& capi, cmsg& c, uint16_t applId, uint16_t messageNumber,
                  uint32_t adr, CapiStruct calledPartyNumber, CapiStruct bChannelInformation,
                  CapiStruct keypadFacility, CapiStruct userUserData,
                  CapiStruct facilityDataArray) {
    FillCmsgHeader(c, applId, CAPI_INFO, CAPI_REQ, messageNumber, adr);
    c.calledPartyNumber = calledPartyNumber;
    SetAdditionalInfo(c, bChannelInformation, keypadFacility, userUserData, facilityDataArray);
    return PutCmsg(capi, c);
}

unsigned FACILITY_REQ(CapiProvider& capi, cmsg& c, uint16_t applId, uint16_t messageNumber,
                      uint32_t adr, uint16_t facilitySelector,
                      CapiStruct facilityRequestParameter) {
    FillCmsgHeader(c, applId, CAPI_FACILITY, CAPI_REQ, messageNumber, adr);
    c.facilitySelector = facilitySelector;
    c.facilityRequestParameter = facilityRequestParameter;
    return PutCmsg(capi, c);
}

unsigned SELECT_B_PROTOCOL_REQ(CapiProvider& capi, cmsg& c, uint16_t applId, uint16_t messageNumber,
                               uint32_t adr, uint16_t b1Protocol, uint16_t b2Protocol,
                               uint16_t b3Protocol, CapiStruct b1Configuration,
                               CapiStruct b2Configuration, CapiStruct b3Configuration) {
    FillCmsgHeader(c, applId, CAPI_SELECT_B_PROTOCOL, CAPI_REQ, messageNumber, adr);
    SetBProtocol(c, b1Protocol, b2Protocol, b3Protocol, b1Configuration, b2Configuration,
                 b3Configuration);
    return PutCmsg(capi, c);
}

unsigned CONNECT_B3_REQ(CapiProvider& capi, cmsg& c, uint16_t applId, uint16_t messageNumber,
                        uint32_t adr, CapiStruct ncpi) {
    return WithNcpi(capi, c, CAPI_CONNECT_B3, applId, messageNumber, adr, ncpi);
}

unsigned DISCONNECT_B3_REQ(CapiProvider& capi, cmsg& c, uint16_t applId, uint16_t messageNumber,
                           uint32_t adr, CapiStruct ncpi) {
    return WithNcpi(capi, c, CAPI_DISCONNECT_B3, applId, messageNumber, adr, ncpi);
}

unsigned RESET_B3_REQ(CapiProvider& capi, cmsg& c, uint16_t applId, uint16_t messageNumber,
                      uint32_t adr, CapiStruct ncpi) {
    return WithNcpi(capi, c, CAPI_RESET_B3, applId, messageNumber, adr, ncpi);
}

unsigned DATA_B3_REQ(CapiProvider& capi, cmsg& c, uint16_t applId, uint16_t messageNumber,
                     uint32_t adr, uint32_t data, uint16_t dataLength, uint16_t dataHandle,
                     uint16_t flags) {
    FillCmsgHeader(c, applId, CAPI_DATA_B3, CAPI_REQ, messageNumber, adr);
    c.data = data;
    c.dataLength = dataLength;
    c.dataHandle = dataHandle;
    c.flags = flags;
    return PutCmsg(capi, c);
}

unsigned MANUFACTURER_REQ(CapiProvider& capi, cmsg& c, uint16_t applId, uint16_t messageNumber,
                          uint32_t adr, uint32_t manuId, uint32_t classValue, uint32_t function,
                          CapiStruct manuData) {
    return Manufacturer(capi, c, CAPI_REQ, applId, messageNumber, adr, manuId, classValue, function,
                        manuData);
}

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

unsigned CONNECT_ACTIVE_RESP(CapiProvider& capi, cmsg& c, uint16_t applId, uint16_t messageNumber,
                             uint32_t adr) {
    return AddressOnly(capi, c, CAPI_CONNECT_ACTIVE, CAPI_RESP, applId, messageNumber, adr);
}

unsigned DISCONNECT_RESP(CapiProvider& capi, cmsg& c, uint16_t applId, uint16_t messageNumber,
                         uint32_t adr) {
    return AddressOnly(capi, c, CAPI_DISCONNECT, CAPI_RESP, applId, messageNumber, adr);
}

unsigned INFO_RESP(CapiProvider& capi, cmsg& c, uint16_t applId, uint16_t messageNumber,
                   uint32_t adr) {
    return AddressOnly(capi, c, CAPI_INFO, CAPI_RESP, applId, messageNumber, adr);
}

unsigned FACILITY_RESP(CapiProvider& capi, cmsg& c, uint16_t applId, uint16_t messageNumber,
                       uint32_t adr, uint16_t facilitySelector,
                       CapiStruct facilityResponseParameters) {
    FillCmsgHeader(c, applId, CAPI_FACILITY, CAPI_RESP, messageNumber, adr);
    c.facilitySelector = facilitySelector;
    c.facilityResponseParameters = facilityResponseParameters;
    return PutCmsg(capi, c);
}

unsigned CONNECT_B3_RESP(CapiProvider& capi, cmsg& c, uint16_t applId, uint16_t messageNumber,
                         uint32_t adr, uint16_t reject, CapiStruct ncpi) {
    FillCmsgHeader(c, applId, CAPI_CONNECT_B3, CAPI_RESP, messageNumber, adr);
    c.reject = reject;
    c.ncpi = ncpi;
    return PutCmsg(capi, c);
}

unsigned CONNECT_B3_ACTIVE_RESP(CapiProvider& capi, cmsg& c, uint16_t applId,
                                uint16_t messageNumber, uint32_t adr) {
    return AddressOnly(capi, c, CAPI_CONNECT_B3_ACTIVE, CAPI_RESP, applId, messageNumber, adr);
}

unsigned CONNECT_B3_T90_ACTIVE_RESP(CapiProvider& capi, cmsg& c, uint16_t applId,
                                    uint16_t messageNumber, uint32_t adr) {
    return AddressOnly(capi, c, CAPI_CONNECT_B3_T90_ACTIVE, CAPI_RESP, applId, messageNumber, adr);
}

unsigned DISCONNECT_B3_RESP(CapiProvider& capi, cmsg& c, uint16_t applId, uint16_t messageNumber,
                            uint32_t adr) {
    return AddressOnly(capi, c, CAPI_DISCONNECT_B3, CAPI_RESP, applId, messageNumber, adr);
}

unsigned RESET_B3_RESP(CapiProvider& capi, cmsg& c, uint16_t applId, uint16_t messageNumber,
                       uint32_t adr) {
    return AddressOnly(capi, c, CAPI_RESET_B3, CAPI_RESP, applId, messageNumber, adr);
}

unsigned DATA_B3_RESP(CapiProvider& capi, cmsg& c, uint16_t applId, uint16_t messageNumber,
                      uint32_t adr, uint16_t dataHandle) {
    FillCmsgHeader(c, applId, CAPI_DATA_B3, CAPI_RESP, messageNumber, adr);
    c.dataHandle = dataHandle;
    return PutCmsg(capi, c);
}

unsigned MANUFACTURER_RESP(CapiProvider& capi, cmsg& c, uint16_t applId, uint16_t messageNumber,
                           uint32_t adr, uint32_t manuId, uint32_t classValue, uint32_t function,
                           CapiStruct manuData) {
    return Manufacturer(capi, c, CAPI_RESP, applId, messageNumber, adr, manuId, classValue,
                        function, manuData);
}
