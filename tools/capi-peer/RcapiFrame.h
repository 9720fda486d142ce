#pragma once
// The remote-CAPI framing: a big-endian u16 total length (counting its own two bytes), then the
// payload. Both directions use it for control requests, control replies and CAPI messages.

#include "tools/capi-peer/Hex.h"
#include "tools/capi-peer/ReceivedBytes.h"

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
class FrameReader : public ReceivedBytes {
public:
    // The next complete payload, or nullopt when more bytes are needed or the stream is broken.
    std::optional<Bytes> NextPayload();
};
