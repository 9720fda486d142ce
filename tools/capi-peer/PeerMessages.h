#pragma once
// The messages the peer builds and reads: control replies to the client library's queries and
// the few CAPI 2.0 messages of an incoming call. Multi-byte values inside a CAPI message are
// little-endian; structs are a length octet (or 0xFF and a u16) followed by their content.

#include "tools/capi-peer/Hex.h"

#include <cstdint>
#include <optional>
#include <string>

// Control requests: payload bytes 4..5 hold the code, bytes 8..11 the controller.
enum class ControlCode : uint8_t {
    Register = 0xF2,
    GetProfile = 0xE0,
    GetManufacturer = 0xFA,
    GetVersion = 0xFC,
    GetSerialNumber = 0xFE,
};

struct ControlRequest {
    uint8_t code = 0; // one of ControlCode, or something unknown
    uint32_t controller = 0;
};

// A control request starts with two zero words and its second code byte is 0xFF, which no CAPI
// message can look like (its first word is its own length, its subcommand is 0x80..0x83).
std::optional<ControlRequest> ParseControlRequest(const Bytes& payload);

struct PeerIdentity {
    unsigned controllers = 1;
    uint16_t registerInfo = 0; // non-zero refuses every registration
};

// The 64 octets of a controller's profile (0: the number of controllers); `info` says whether
// the controller is known.
Bytes PeerProfile(const PeerIdentity& identity, unsigned controller, uint16_t& info);

// The reply payload to a known request; nullopt for a code the peer does not serve.
std::optional<Bytes> BuildControlReply(const Bytes& request, const PeerIdentity& identity);

// CAPI message header fields.
struct CapiHeader {
    uint16_t length = 0;
    uint16_t applId = 0;
    uint8_t command = 0;
    uint8_t subcommand = 0;
    uint16_t messageNumber = 0;
};

std::optional<CapiHeader> ReadCapiHeader(const Bytes& message);
// The u32 that follows the header (controller, PLCI or NCCI); nullopt when the message is short.
std::optional<uint32_t> ReadAddress(const Bytes& message);

inline constexpr uint8_t CommandConnect = 0x02;
inline constexpr uint8_t CommandDisconnect = 0x04;
inline constexpr uint8_t CommandListen = 0x05;
inline constexpr uint8_t SubRequest = 0x80;
inline constexpr uint8_t SubConfirmation = 0x81;
inline constexpr uint8_t SubIndication = 0x82;
inline constexpr uint8_t SubResponse = 0x83;

struct ListenRequest {
    uint16_t applId = 0;
    uint16_t messageNumber = 0;
    uint32_t controller = 0;
    uint32_t cipMask = 0;
};

// Reads a LISTEN_REQ; nullopt when the message is another one or too short for its fixed part.
std::optional<ListenRequest> ParseListenRequest(const Bytes& message);

Bytes BuildListenConf(const ListenRequest& request, uint16_t info);

struct IncomingCall {
    uint32_t plci = 0;
    uint16_t cip = 16;
    std::string called;                 // digits; empty gives an empty struct
    std::optional<std::string> calling; // digits; absent gives an empty struct
    uint8_t callingType = 0x21;
    uint8_t presentation = 0x80;
};

Bytes BuildConnectInd(uint16_t applId, uint16_t messageNumber, const IncomingCall& call);
Bytes BuildDisconnectInd(uint16_t applId, uint16_t messageNumber, uint32_t plci, uint16_t reason);

// Appends one struct: a length octet up to 254, else 0xFF and a u16.
void AppendStruct(Bytes& out, const Bytes& content);
