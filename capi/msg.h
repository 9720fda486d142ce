#pragma once
// The CAPI 2.0 message codec: one decoded record per message (`cmsg`) and the conversion between
// it and the packed wire form, driven by two constant tables. Decoding never reads past the
// message as it was delivered; a malformed message is reported, never half-decoded.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

class CapiProvider;

// Subcommands.
inline constexpr uint8_t CAPI_REQ = 0x80;
inline constexpr uint8_t CAPI_CONF = 0x81;
inline constexpr uint8_t CAPI_IND = 0x82;
inline constexpr uint8_t CAPI_RESP = 0x83;

// Commands.
inline constexpr uint8_t CAPI_ALERT = 0x01;
inline constexpr uint8_t CAPI_CONNECT = 0x02;
inline constexpr uint8_t CAPI_CONNECT_ACTIVE = 0x03;
inline constexpr uint8_t CAPI_DISCONNECT = 0x04;
inline constexpr uint8_t CAPI_LISTEN = 0x05;
inline constexpr uint8_t CAPI_INFO = 0x08;
inline constexpr uint8_t CAPI_FACILITY = 0x80;
inline constexpr uint8_t CAPI_SELECT_B_PROTOCOL = 0x41;
inline constexpr uint8_t CAPI_CONNECT_B3 = 0x82;
inline constexpr uint8_t CAPI_CONNECT_B3_ACTIVE = 0x83;
inline constexpr uint8_t CAPI_DISCONNECT_B3 = 0x84;
inline constexpr uint8_t CAPI_DATA_B3 = 0x86;
inline constexpr uint8_t CAPI_RESET_B3 = 0x87;
inline constexpr uint8_t CAPI_CONNECT_B3_T90_ACTIVE = 0x88;
inline constexpr uint8_t CAPI_MANUFACTURER = 0xFF;

// Composite flags.
inline constexpr uint32_t CAPI_COMPOSE = 0;
inline constexpr uint32_t CAPI_DEFAULT = 1;

// A struct ref points at a struct in wire form (its length octet first); nullptr is "none",
// which encodes as the empty struct.
using CapiStruct = const uint8_t*;

// One CAPI message, decoded. Struct refs of a decoded message point into the wire message and
// stay valid only as long as that buffer does.
struct cmsg {
    uint16_t applId;
    uint8_t command;
    uint8_t subcommand;
    uint16_t messageNumber;
    uint32_t adr; // Controller, PLCI or NCCI, by message
    uint32_t additionalInfo;
    CapiStruct b1Configuration;
    uint16_t b1Protocol;
    CapiStruct b2Configuration;
    uint16_t b2Protocol;
    CapiStruct b3Configuration;
    uint16_t b3Protocol;
    CapiStruct bc;
    CapiStruct bChannelInformation;
    uint32_t bProtocol;
    CapiStruct calledPartyNumber;
    CapiStruct calledPartySubaddress;
    CapiStruct callingPartyNumber;
    CapiStruct callingPartySubaddress;
    uint32_t cipMask;
    uint32_t cipMask2;
    uint16_t cipValue;
    uint32_t classValue;
    CapiStruct connectedNumber;
    CapiStruct connectedSubaddress;
    uint32_t data;
    uint16_t dataHandle;
    uint16_t dataLength;
    CapiStruct facilityConfirmationParameter;
    CapiStruct facilityDataArray;
    CapiStruct facilityIndicationParameter;
    CapiStruct facilityRequestParameter;
    CapiStruct facilityResponseParameters;
    uint16_t facilitySelector;
    uint16_t flags;
    uint32_t function;
    CapiStruct hlc;
    uint16_t info;
    CapiStruct infoElement;
    uint32_t infoMask;
    uint16_t infoNumber;
    CapiStruct keypadFacility;
    CapiStruct llc;
    CapiStruct manuData;
    uint32_t manuId;
    CapiStruct ncpi;
    uint16_t reason;
    uint16_t reasonB3;
    uint16_t reject;
    CapiStruct userUserData;

    uint32_t workingPosition; // next octet while converting; the total length afterwards
    uint32_t p;               // cursor into the parameter list
    const uint8_t* parameterList;
    const uint8_t* message;
};

// Kind codes of the parameter descriptors.
enum class ParameterKind : uint8_t {
    Byte = 1,
    Word = 2,
    Dword = 3,
    Struct = 4,
    Composite = 5,
    End = 6,
};

struct ParameterDescriptor {
    ParameterKind kind;
    uint16_t offset; // of the cmsg field that holds the parameter
};

inline constexpr std::size_t kParameterDescriptorCount = 49;
inline constexpr std::size_t kMessageSlotCount = 79;

extern const std::array<ParameterDescriptor, kParameterDescriptorCount> parameterDescriptors;
// Zero-terminated lists of descriptor numbers, or nullptr for a slot without a message.
extern const std::array<const uint8_t*, kMessageSlotCount> messageParameterLists;

// Wire-form limits. Outgoing messages are built in a buffer of this size; no driver reads past it.
inline constexpr std::size_t kCapiHeaderSize = 8;
inline constexpr std::size_t kSendBufferSize = 4096;

// The slot of a command/subcommand pair; may be 79 or more for pairs CAPI does not define.
unsigned CommandToIndex(uint8_t command, uint8_t subcommand);
// The parameter list of a pair, or nullptr when the pair has none.
const uint8_t* ParameterListFor(uint8_t command, uint8_t subcommand);

// Encodes `c` into `buffer`. 0 on success; CapiIllegalCommand when the pair has no parameter list
// (only the 8-octet header is written); CapiIllegalParameterCoding when the message does not fit.
unsigned CmsgToMessage(cmsg& c, std::span<uint8_t> buffer);

// Decodes the delivered octets into `c`. 0 on success. A message shorter than its header, or
// whose header length is below 8 or beyond what was delivered, gives CapiIllegalCommand; a
// parameter that runs past the message's end gives CapiIllegalParameterCoding; in both cases `c`
// is left as it was. A pair without a parameter list gives CapiIllegalCommand with only the
// header converted (the rest cleared).
unsigned MessageToCmsg(cmsg& c, std::span<const uint8_t> message);

// Clears the whole record, then sets the five header values. Always 0.
unsigned FillCmsgHeader(cmsg& c, uint16_t applId, uint8_t command, uint8_t subcommand,
                        uint16_t messageNumber, uint32_t address);

// Turns an indication into its response (sets bit 0 of the subcommand). Always 0.
unsigned AnswerCmsg(cmsg& c);

// Encodes and hands the message to CAPI for the record's application id; CAPI's result, or the
// encoder's error without sending.
unsigned PutCmsg(CapiProvider& capi, cmsg& c);

// Fetches one message for `applId` and decodes it into `c`. CAPI's error code when nothing was
// fetched (the record is untouched); else the decoder's result.
unsigned GetCmsg(CapiProvider& capi, cmsg& c, unsigned applId);
