#pragma once
// The remote-CAPI framing: a big-endian u16 total length (counting its own two bytes), then the
// payload. Both directions use it for control requests, control replies and CAPI messages.

#include "tools/capi-peer/Hex.h"

#include <cstddef>
#include <optional>

// The largest frame the peer accepts: a CAPI message of 4096 bytes and its length prefix.
inline constexpr size_t MaxFrameLength = 4096 + 2;
// The smallest meaningful frame: the prefix and an 8-byte CAPI message header.
inline constexpr size_t MinFrameLength = 2 + 8;

// The length prefix followed by the payload, ready for a single write. The payload must fit.
Bytes EncodeFrame(const Bytes& payload);

// Collects received bytes and hands out whole frames. Once a prefix announces an impossible
// length the reader stays broken: a stream that lost its framing cannot be resynchronised.
class FrameReader {
public:
    void Append(const uint8_t* data, size_t size);
    // The next complete payload, or nullopt when more bytes are needed or the stream is broken.
    std::optional<Bytes> NextPayload();
    bool Broken() const { return broken; }
    // The length the last bad prefix announced, for the error message.
    size_t BadLength() const { return badLength; }

private:
    Bytes pending;
    size_t start = 0;
    bool broken = false;
    size_t badLength = 0;
};
