#pragma once
// Wire messages of ringing calls, and the endless sequence of sample calls that `--demo` rings
// on the simulated line.

#include "capi/SimulatedLine.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

struct SampleCall {
    uint32_t plci = 0x101;
    uint16_t cipValue = 16;
    std::string called;         // digits of the MSN dialled
    uint8_t callingType = 0x21; // type of number / numbering plan octet
    uint8_t callingPresentation = 0x80;
    std::optional<std::string> callingDigits; // nullopt: empty Calling party number struct
};

std::vector<uint8_t> ConnectIndMessage(const SampleCall& call, uint16_t messageNumber);
std::vector<uint8_t> DisconnectIndMessage(uint32_t plci, uint16_t reason, uint16_t messageNumber);

// Rings a round of sample calls every few seconds, forever: known and unknown national callers,
// an international one, a withheld number, a missing number, two MSNs, speech and telephony,
// and one call whose set-up arrives twice within five seconds. Each call is hung up again.
std::function<std::optional<SimEvent>()> DemoCallSource();
