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

void FrameReader::Append(const uint8_t* data, size_t size) {
    if (broken)
        return;
    // Drop what was consumed before growing, so a long session does not keep every byte.
    if (start > 0) {
        pending.erase(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(start));
        start = 0;
    }
    pending.insert(pending.end(), data, data + size);
}

std::optional<Bytes> FrameReader::NextPayload() {
    if (broken || pending.size() - start < 2)
        return std::nullopt;
    size_t length = static_cast<size_t>(pending[start]) << 8 | pending[start + 1];
    if (length < MinFrameLength || length > MaxFrameLength) {
        broken = true;
        badLength = length;
        return std::nullopt;
    }
    if (pending.size() - start < length)
        return std::nullopt;
    auto first = pending.begin() + static_cast<std::ptrdiff_t>(start);
    Bytes payload(first + 2, first + static_cast<std::ptrdiff_t>(length));
    start += length;
    return payload;
}
