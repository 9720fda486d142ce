#include "outputs/CallEvent.h"

#include "platform/Cp1252.h"

#include <cstdio>

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
    event.msn = Cp1252ToUtf8(call.calledNumber);
    event.msnName = Cp1252ToUtf8(call.msnName);
    event.service = call.service ? call.service : "";
    event.callerKind = call.callerKind;
    event.number = Cp1252ToUtf8(call.callingNumber);
    event.callerName = Cp1252ToUtf8(call.callerName.value_or(""));
    if (call.areaCodeFound && call.callerKind == CallerKind::Number) {
        event.areaCode = Cp1252ToUtf8(call.callingNumber.substr(0, call.areaCodeLength));
        event.localNumber = Cp1252ToUtf8(call.callingNumber.substr(call.areaCodeLength));
    }
    event.place = Cp1252ToUtf8(call.placeName);
    event.repeatCount = record.repeatCount < 1 ? 1 : record.repeatCount;
    event.text = Cp1252ToUtf8(popupText);
    return event;
}

const char* CallerKindName(CallerKind kind) {
    switch (kind) {
    case CallerKind::Number:
        return "number";
    case CallerKind::Withheld:
        return "withheld";
    case CallerKind::IsdnUnknown:
        return "unknown";
    case CallerKind::Absent:
        return "absent";
    }
    return "absent";
}
