#include "capi/CallNumbers.h"

namespace {
bool IsDiallingCharacter(uint8_t c) {
    return (c >= '0' && c <= '9') || c == '*' || c == '#' || c == '+';
}

// Digits as a string copy: a zero octet ends them early. Only what can be dialled is kept: the
// number is written to "caller.txt", sent to telnet clients and used as a key, and a frame may
// carry any byte.
std::string DigitsFrom(const uint8_t* begin, const uint8_t* end) {
    std::string digits;
    for (const uint8_t* at = begin; at < end && *at != 0; ++at)
        if (IsDiallingCharacter(*at))
            digits.push_back(static_cast<char>(*at));
    return digits;
}

// Struct contents: 0xFF long form or the one-octet length.
std::span<const uint8_t> Contents(CapiStruct s) {
    if (s == nullptr)
        return {};
    if (s[0] == 0xFF)
        return {s + 3, static_cast<std::size_t>(s[1] | (s[2] << 8))};
    return {s + 1, s[0]};
}

constexpr uint8_t kNationalIsdn = 0x21;
constexpr uint8_t kUnknownType = 0x00;
} // namespace

std::string CalledNumberText(CapiStruct calledPartyNumber) {
    std::span<const uint8_t> s = Contents(calledPartyNumber);
    if (s.size() < 2)
        return {};
    std::string text = DigitsFrom(s.data() + 1, s.data() + s.size());
    if (text.size() > kMaxNumberLength)
        text.resize(kMaxNumberLength);
    return text;
}

std::string CallingNumberText(CapiStruct callingPartyNumber) {
    std::span<const uint8_t> t = Contents(callingPartyNumber);
    // Without type and presentation octets there is no number to show.
    if (t.size() < 2)
        return "0";
    uint8_t type = t[0];
    uint8_t presentation = t[1];
    // Extension bit with "restricted" (or the reserved value): withheld, whatever digits came.
    if ((presentation & 0xA0) == 0xA0)
        return "0";
    // The digits start behind the presentation octet, whatever its value.
    std::string text = "00" + DigitsFrom(t.data() + 2, t.data() + t.size());
    if (type == kNationalIsdn || type == kUnknownType)
        text.erase(0, 1);
    if (text.size() > kMaxNumberLength)
        text.resize(kMaxNumberLength);
    return text;
}

IncomingCallNotice BuildIncomingCallNotice(const cmsg& connectInd) {
    IncomingCallNotice notice;
    notice.calledNumber = CalledNumberText(connectInd.calledPartyNumber);
    notice.callingNumber = CallingNumberText(connectInd.callingPartyNumber);
    notice.connectionId = connectInd.adr;
    notice.cipValue = connectInd.cipValue;
    return notice;
}

std::string DiallingCharactersOf(std::string_view text) {
    std::string number;
    for (char c : text)
        if (IsDiallingCharacter(static_cast<uint8_t>(c)) && number.size() < kMaxNumberLength)
            number.push_back(c);
    return number;
}
