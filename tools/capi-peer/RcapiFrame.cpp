#include "tools/capi-peer/RcapiFrame.h"

Bytes EncodeFrame(const Bytes& payload) {
    size_t total = payload.size() + 2;
    Bytes frame;
    frame.reserve(total);
    frame.push_back(static_cast<uint8_t>(total >> 8));
    frame.push_back(static_cast<uint8_t>(total & 0xFF));
    frame.insert(frame.end(), payload.begin(), payload.end());
    return frame;
}

std::optional<Bytes> FrameReader::NextPayload() {
    if (Available() < 2)
        return std::nullopt;
    const size_t length = static_cast<size_t>(At(0)) << 8 | At(1);
    if (length < MinFrameLength || length > MaxFrameLength) {
        Break(length);
        return std::nullopt;
    }
    if (Available() < length)
        return std::nullopt;
    return Take(2, length);
}
