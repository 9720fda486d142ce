#include "outputs/CallEvent.h"

#include <cstdio>

namespace {

// The length of the UTF-8 sequence starting at `i`, or 0 when it is not one.
size_t Utf8Sequence(const std::string& text, size_t i) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char first = byte(i);
    size_t length;
    unsigned minimum;
    unsigned code;
    if (first < 0x80)
        return 1;
    if ((first & 0xE0) == 0xC0) {
        length = 2, minimum = 0x80, code = first & 0x1F;
    } else if ((first & 0xF0) == 0xE0) {
        length = 3, minimum = 0x800, code = first & 0x0F;
    } else if ((first & 0xF8) == 0xF0) {
        length = 4, minimum = 0x10000, code = first & 0x07;
    } else {
        return 0;
    }
    if (i + length > text.size())
        return 0;
    for (size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80)
            return 0;
        code = code << 6 | (byte(i + k) & 0x3F);
    }
    if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    return length;
}

} // namespace

std::string Utf8Text(const std::string& text) {
    bool valid = true;
    for (size_t i = 0; i < text.size() && valid;) {
        const size_t length = Utf8Sequence(text, i);
        valid = length != 0;
        i += length;
    }
    if (valid)
        return text;
    std::string out;
    for (unsigned char c : text) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else {
            out += static_cast<char>(0xC0 | c >> 6);
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::string IsoTime(std::time_t time) {
    std::tm local{};
    localtime_r(&time, &local);
    char text[40];
    const size_t length = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S%z", &local);
    std::string iso(text, length);
    if (iso.size() >= 5) // "+0100" -> "+01:00"
        iso.insert(iso.size() - 2, ":");
    return iso;
}

const char* LineStateName(LineState state) {
    switch (state) {
    case LineState::Listening:
        return "listening";
    case LineState::Lost:
        return "lost";
    case LineState::Back:
        return "back";
    }
    return "lost";
}

std::string CallEvent::Caller() const {
    if (!callerName.empty())
        return callerName;
    if (!areaCode.empty())
        return areaCode + "/" + localNumber;
    return number;
}

CallEvent MakeCallEvent(const ResolvedCall& call, const CallRecord& record,
                        const std::string& popupText) {
    CallEvent event;
    event.time = static_cast<std::time_t>(record.callTime);
    // A PLCI carries the controller in its low seven bits.
    event.controller = static_cast<int>(record.connectionId & 0x7F);
    event.connectionId = record.connectionId;
    event.msn = Utf8Text(call.calledNumber);
    event.msnName = Utf8Text(call.msnName);
    event.service = call.service ? call.service : "";
    event.callerKind = call.callerKind;
    event.number = Utf8Text(call.callingNumber);
    event.callerName = Utf8Text(call.callerName.value_or(""));
    if (call.areaCodeFound && call.callerKind == CallerKind::Number) {
        event.areaCode = Utf8Text(call.callingNumber.substr(0, call.areaCodeLength));
        event.localNumber = Utf8Text(call.callingNumber.substr(call.areaCodeLength));
    }
    event.place = Utf8Text(call.placeName);
    event.repeatCount = record.repeatCount < 1 ? 1 : record.repeatCount;
    event.text = Utf8Text(popupText);
    return event;
}
