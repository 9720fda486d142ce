#include "tools/capi-peer/PeerMessages.h"

#include <algorithm>

namespace {

void PutU16(Bytes& out, uint16_t value) {
    out.push_back(static_cast<uint8_t>(value & 0xFF));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void PutU32(Bytes& out, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<uint8_t>(value >> shift));
}

uint16_t GetU16(const Bytes& in, size_t at) {
    return static_cast<uint16_t>(in[at] | in[at + 1] << 8);
}

uint32_t GetU32(const Bytes& in, size_t at) {
    return static_cast<uint32_t>(in[at]) | static_cast<uint32_t>(in[at + 1]) << 8 |
           static_cast<uint32_t>(in[at + 2]) << 16 | static_cast<uint32_t>(in[at + 3]) << 24;
}

// Writes the final length into the first word once the message is complete.
Bytes& Finish(Bytes& message) {
    message[0] = static_cast<uint8_t>(message.size() & 0xFF);
    message[1] = static_cast<uint8_t>(message.size() >> 8);
    return message;
}

Bytes Header(uint16_t applId, uint8_t command, uint8_t subcommand, uint16_t messageNumber) {
    Bytes message{0, 0};
    PutU16(message, applId);
    message.push_back(command);
    message.push_back(subcommand);
    PutU16(message, messageNumber);
    return message;
}

void PutText(Bytes& out, const std::string& text, size_t size) {
    for (size_t i = 0; i < size; ++i)
        out.push_back(i < text.size() ? static_cast<uint8_t>(text[i]) : 0);
}

constexpr uint16_t InfoIllegalController = 0x2002;

} // namespace

std::optional<ControlRequest> ParseControlRequest(const Bytes& payload) {
    if (payload.size() < 12 || payload[0] != 0 || payload[1] != 0 || payload[5] != 0xFF)
        return std::nullopt;
    return ControlRequest{payload[4], GetU32(payload, 8)};
}

Bytes PeerProfile(const PeerIdentity& identity, unsigned controller, uint16_t& info) {
    const bool known = controller <= identity.controllers;
    info = known ? 0 : InfoIllegalController;
    Bytes profile(64, 0);
    if (known) {
        profile[0] = static_cast<uint8_t>(identity.controllers & 0xFF);
        profile[1] = static_cast<uint8_t>(identity.controllers >> 8);
        if (controller > 0) {
            profile[2] = 2;  // B channels
            profile[8] = 1;  // B1: 64 kbit/s with HDLC framing
            profile[12] = 1; // B2: ISO 7776 (X.75 SLP)
            profile[16] = 1; // B3: transparent
        }
    }
    return profile;
}

std::optional<Bytes> BuildControlReply(const Bytes& request, const PeerIdentity& identity) {
    auto parsed = ParseControlRequest(request);
    if (!parsed)
        return std::nullopt;
    // The reply keeps the request's first eight bytes with the code raised by one; its
    // parameters start where the request's controller stood.
    Bytes reply(request.begin(), request.begin() + 8);
    reply[4] = static_cast<uint8_t>(parsed->code + 1);
    switch (static_cast<ControlCode>(parsed->code)) {
    case ControlCode::Register:
        PutU16(reply, identity.registerInfo);
        break;
    case ControlCode::GetProfile: {
        uint16_t info = 0;
        const Bytes profile = PeerProfile(identity, parsed->controller, info);
        PutU16(reply, info);
        reply.insert(reply.end(), profile.begin(), profile.end());
        break;
    }
    case ControlCode::GetManufacturer:
        reply.push_back(0);
        PutText(reply, "TAVO loopback CAPI peer", 64);
        break;
    case ControlCode::GetVersion:
        reply.push_back(0);
        PutU32(reply, 2); // CAPI 2.0
        PutU32(reply, 0);
        PutU32(reply, 1); // the peer's own version 1.0
        PutU32(reply, 0);
        break;
    case ControlCode::GetSerialNumber:
        reply.push_back(0);
        PutText(reply, "0000001", 8);
        break;
    default:
        return std::nullopt;
    }
    return reply;
}

std::optional<CapiHeader> ReadCapiHeader(const Bytes& message) {
    if (message.size() < 8)
        return std::nullopt;
    return CapiHeader{GetU16(message, 0), GetU16(message, 2), message[4], message[5],
                      GetU16(message, 6)};
}

std::optional<uint32_t> ReadAddress(const Bytes& message) {
    if (message.size() < 12)
        return std::nullopt;
    return GetU32(message, 8);
}

std::optional<ListenRequest> ParseListenRequest(const Bytes& message) {
    auto header = ReadCapiHeader(message);
    if (!header || header->command != CommandListen || header->subcommand != SubRequest ||
        message.size() < 24)
        return std::nullopt;
    return ListenRequest{header->applId, header->messageNumber, GetU32(message, 8),
                         GetU32(message, 16)};
}

Bytes BuildListenConf(const ListenRequest& request, uint16_t info) {
    Bytes message = Header(request.applId, CommandListen, SubConfirmation, request.messageNumber);
    PutU32(message, request.controller);
    PutU16(message, info);
    return Finish(message);
}

void AppendStruct(Bytes& out, const Bytes& content) {
    if (content.size() < 0xFF) {
        out.push_back(static_cast<uint8_t>(content.size()));
    } else {
        out.push_back(0xFF);
        PutU16(out, static_cast<uint16_t>(std::min<size_t>(content.size(), 0xFFFF)));
    }
    out.insert(out.end(), content.begin(), content.end());
}

Bytes BuildConnectInd(uint16_t applId, uint16_t messageNumber, const IncomingCall& call) {
    Bytes message = Header(applId, CommandConnect, SubIndication, messageNumber);
    PutU32(message, call.plci);
    PutU16(message, call.cip);
    Bytes called;
    if (!call.called.empty()) {
        called.push_back(0x81); // national number, ISDN numbering plan
        called.insert(called.end(), call.called.begin(), call.called.end());
    }
    AppendStruct(message, called);
    Bytes calling;
    if (call.calling) {
        calling.push_back(call.callingType);
        calling.push_back(call.presentation);
        calling.insert(calling.end(), call.calling->begin(), call.calling->end());
    }
    AppendStruct(message, calling);
    // Called and calling subaddress, BC, LLC, HLC, Additional Info: all empty.
    for (int i = 0; i < 6; ++i)
        message.push_back(0);
    return Finish(message);
}

Bytes BuildDisconnectInd(uint16_t applId, uint16_t messageNumber, uint32_t plci, uint16_t reason) {
    Bytes message = Header(applId, CommandDisconnect, SubIndication, messageNumber);
    PutU32(message, plci);
    PutU16(message, reason);
    return Finish(message);
}
