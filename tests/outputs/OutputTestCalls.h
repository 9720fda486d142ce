#pragma once
// Calls for the output tests, with their fields set by hand.

#include "outputs/CallEvent.h"

#include <ctime>
#include <string>

// 2026-03-01 18:05:00 in Europe/Berlin (+01:00), the zone every output test runs in.
inline constexpr std::time_t SampleTime = 1772384700;

inline CallEvent SampleCall(std::string number = "04012345678", std::string name = "Anna Berg") {
    CallEvent call;
    call.time = SampleTime;
    call.controller = 1;
    call.connectionId = 0x101;
    call.msn = "5551234";
    call.msnName = "Office";
    call.service = "Telephony";
    call.callerKind = CallerKind::Number;
    call.number = std::move(number);
    call.callerName = std::move(name);
    call.areaCode = "040";
    call.localNumber = call.number.size() > 3 ? call.number.substr(3) : "";
    call.place = "Hamburg";
    call.text = call.callerName + "  " + call.number + "  ( Office ) ";
    return call;
}
