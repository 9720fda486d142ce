#include "tools/capi-peer/RouterFrame.h"

namespace {

constexpr uint8_t FunctionProfile = 0x05;
constexpr uint8_t FunctionRegister = 0x09;

Bytes Answer(const Bytes& body) {
    Bytes answer{RouterFrameMark, static_cast<uint8_t>(body.size())};
    answer.insert(answer.end(), body.begin(), body.end());
    return answer;
}

} // namespace

Bytes EncodeRouterFrame(const Bytes& message) {
    Bytes frame{RouterFrameMark, static_cast<uint8_t>(message.size() & 0xFF),
                static_cast<uint8_t>(message.size() >> 8)};
    frame.insert(frame.end(), message.begin(), message.end());
    return frame;
}

void RouterFrameReader::Append(const uint8_t* data, size_t size) {
    if (broken)
        return;
    if (start > 0) {
        pending.erase(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(start));
        start = 0;
    }
    pending.insert(pending.end(), data, data + size);
}

std::optional<Bytes> RouterFrameReader::NextMessage() {
    if (broken || pending.size() - start < 3)
        return std::nullopt;
    const size_t length = static_cast<size_t>(pending[start + 1]) | size_t(pending[start + 2]) << 8;
    if (pending[start] != RouterFrameMark || length < 8 || length > MaxRouterMessage) {
        broken = true;
        badLength = length;
        return std::nullopt;
    }
    if (pending.size() - start < 3 + length)
        return std::nullopt;
    const auto first = pending.begin() + static_cast<std::ptrdiff_t>(start + 3);
    Bytes message(first, first + static_cast<std::ptrdiff_t>(length));
    start += 3 + length;
    return message;
}

std::optional<RouterRequest> ParseRouterRequest(const Bytes& message) {
    if (message.size() < 14 || message[2] != 0 || message[3] != 0 || message[4] != 0x20 ||
        message[5] != 0x80)
        return std::nullopt;
    if (message[10] == FunctionProfile) {
        RouterRequest request;
        request.kind = RouterRequest::Kind::Profile;
        if (message.size() >= 16)
            request.controller = message[14] | message[15] << 8;
        return request;
    }
    if (message[10] == FunctionRegister)
        return RouterRequest{RouterRequest::Kind::Register, 0};
    return std::nullopt;
}

Bytes RouterRegisterAnswer(uint16_t applId, uint16_t info) {
    Bytes body(18, 0);
    body[2] = static_cast<uint8_t>(applId & 0xFF);
    body[3] = static_cast<uint8_t>(applId >> 8);
    body[16] = static_cast<uint8_t>(info & 0xFF);
    body[17] = static_cast<uint8_t>(info >> 8);
    return Answer(body);
}

Bytes RouterProfileAnswer(const Bytes& profile) {
    Bytes body(18, 0);
    body.insert(body.end(), profile.begin(), profile.end());
    body.resize(18 + 64, 0);
    return Answer(body);
}
