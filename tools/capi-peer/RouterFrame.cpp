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

std::optional<Bytes> RouterFrameReader::NextMessage() {
    if (Available() < 3)
        return std::nullopt;
    const size_t length = static_cast<size_t>(At(1)) | static_cast<size_t>(At(2)) << 8;
    if (At(0) != RouterFrameMark || length < 8 || length > MaxRouterMessage) {
        Break(length);
        return std::nullopt;
    }
    if (Available() < 3 + length)
        return std::nullopt;
    return Take(3, 3 + length);
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
