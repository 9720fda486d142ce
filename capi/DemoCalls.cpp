#include "capi/DemoCalls.h"

#include "capi/msg.h"

#include <array>
#include <chrono>
#include <memory>

using namespace std::chrono_literals;

namespace {
std::vector<uint8_t> Struct(std::vector<uint8_t> contents) {
    contents.insert(contents.begin(), static_cast<uint8_t>(contents.size()));
    return contents;
}

std::vector<uint8_t> Encode(cmsg& c) {
    std::array<uint8_t, kSendBufferSize> buffer{};
    CmsgToMessage(c, buffer);
    return {buffer.begin(), buffer.begin() + c.workingPosition};
}

struct DemoStep {
    std::chrono::milliseconds delay;
    SampleCall call;
    bool hangUp; // a DISCONNECT_IND instead of a CONNECT_IND
};

// One round; PLCIs are offset per round so every round's calls are new calls.
const std::vector<DemoStep>& DemoRound() {
    static const std::vector<DemoStep> round = {
        {2s, {0x101, 16, "5551", 0x21, 0x80, "301234567"}, false},
        {2s, {0x101, 16, "5551", 0x21, 0x80, "301234567"}, true},
        {2s, {0x102, 1, "5552", 0x11, 0x80, "4989765432"}, false},
        {2s, {0x102, 1, "5552", 0x11, 0x80, "4989765432"}, true},
        {2s, {0x103, 16, "5551", 0x21, 0xA0, "40555666"}, false},
        {2s, {0x103, 16, "5551", 0x21, 0xA0, "40555666"}, true},
        {2s, {0x104, 1, "5552", 0x00, 0x80, "6912345678"}, false},
        {2s, {0x104, 1, "5552", 0x00, 0x80, "6912345678"}, true},
        // The same call announced twice within five seconds.
        {2s, {0x105, 16, "5552", 0x21, 0x80, "201987654"}, false},
        {2s, {0x105, 16, "5552", 0x21, 0x80, "201987654"}, false},
        {2s, {0x105, 16, "5552", 0x21, 0x80, "201987654"}, true},
        {2s, {0x106, 16, "5551", 0x21, 0x80, std::nullopt}, false},
        {2s, {0x106, 16, "5551", 0x21, 0x80, std::nullopt}, true},
    };
    return round;
}
} // namespace

std::vector<uint8_t> ConnectIndMessage(const SampleCall& call, uint16_t messageNumber) {
    std::vector<uint8_t> called{0x81};
    called.insert(called.end(), call.called.begin(), call.called.end());
    called = Struct(called);
    std::vector<uint8_t> calling;
    if (call.callingDigits) {
        calling = {call.callingType, call.callingPresentation};
        calling.insert(calling.end(), call.callingDigits->begin(), call.callingDigits->end());
    }
    calling = Struct(calling);

    cmsg c;
    FillCmsgHeader(c, 0, CAPI_CONNECT, CAPI_IND, messageNumber, call.plci);
    c.cipValue = call.cipValue;
    c.calledPartyNumber = called.data();
    c.callingPartyNumber = calling.data();
    c.additionalInfo = CAPI_DEFAULT;
    return Encode(c);
}

std::vector<uint8_t> DisconnectIndMessage(uint32_t plci, uint16_t reason, uint16_t messageNumber) {
    cmsg c;
    FillCmsgHeader(c, 0, CAPI_DISCONNECT, CAPI_IND, messageNumber, plci);
    c.reason = reason;
    return Encode(c);
}

std::function<std::optional<SimEvent>()> DemoCallSource() {
    auto position = std::make_shared<std::size_t>(0);
    return [position]() -> std::optional<SimEvent> {
        const std::vector<DemoStep>& round = DemoRound();
        std::size_t index = *position % round.size();
        uint32_t roundNumber = static_cast<uint32_t>(*position / round.size());
        auto messageNumber = static_cast<uint16_t>(*position + 1);
        ++*position;
        const DemoStep& step = round[index];
        SampleCall call = step.call;
        call.plci += roundNumber * 0x100;
        if (step.hangUp)
            return SimEvent{step.delay, DisconnectIndMessage(call.plci, 0x3490, messageNumber)};
        return SimEvent{step.delay, ConnectIndMessage(call, messageNumber)};
    };
}
