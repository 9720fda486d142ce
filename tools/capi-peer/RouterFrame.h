#pragma once
// The framing of libcapi20's second remote module, the one for home routers (port 5031):
//  - every CAPI message, both ways, is the octet 0x80, its length as a little-endian u16 and
//    the message, sent in one write;
//  - the client's registration and profile query travel as such frames too (a message of
//    command 0x20, subcommand 0x80 for application 0, its function octet at offset 10: 0x05 the
//    profile of the controller at offset 14, 0x09 a registration with its three parameters
//    from offset 14);
//  - their answers have a header of two octets (a type octet, 0x80, and the length of what
//    follows in one octet), read in one receive: the registration's answer holds the new
//    application id at offset 2 and the error at offset 16 of what follows the header, the
//    profile's answer the 64-octet profile at offset 18;
//  - a release is no message: the library closes the registration's connection.

#include "tools/capi-peer/Hex.h"
#include "tools/capi-peer/ReceivedBytes.h"

#include <cstddef>
#include <cstdint>
#include <optional>

inline constexpr uint8_t RouterFrameMark = 0x80;
// The largest message the peer accepts.
inline constexpr size_t MaxRouterMessage = 4096;

Bytes EncodeRouterFrame(const Bytes& message);

// Collects received bytes and hands out whole messages. A frame without its mark, or one
// announcing a message shorter than a CAPI header or longer than the limit, breaks the stream
// for good.
class RouterFrameReader : public ReceivedBytes {
public:
    std::optional<Bytes> NextMessage();
};

struct RouterRequest {
    enum class Kind { Profile, Register };
    Kind kind = Kind::Profile;
    unsigned controller = 0; // Profile
};
// The registration or profile query a message is; nullopt for any other message.
std::optional<RouterRequest> ParseRouterRequest(const Bytes& message);

// The answer to a registration: the application id and the error (0: registered).
Bytes RouterRegisterAnswer(uint16_t applId, uint16_t info);
// The answer to a profile query with its 64 octets.
Bytes RouterProfileAnswer(const Bytes& profile);
