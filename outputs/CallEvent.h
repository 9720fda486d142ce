#pragma once
// What every output is told: one event per announced call (and per repeat of it), and one per
// change of the line's state. Made once from the resolved call and its record, so every output
// shows the same call the same way. Texts are UTF-8, converted from the data files' Windows-1252.

#include "data/CallList.h"
#include "data/ResolvedCall.h"

#include <cstdint>
#include <ctime>
#include <string>
#include <variant>

struct CallEvent {
    std::time_t time = 0;
    int controller = 0;        // the CAPI controller the call came in on
    uint32_t connectionId = 0; // the PLCI: a repeat carries the one of its call
    std::string msn;           // the called number; empty when absent
    std::string msnName;       // its name in the MSN list; may be empty
    std::string service;       // the service's name; empty when none is known
    CallerKind callerKind = CallerKind::Absent;
    std::string number;     // the calling number as delivered; empty when absent
    std::string callerName; // the phone book's name; empty when none
    std::string areaCode;   // the number split after its area code, when one matched
    std::string localNumber;
    std::string place;   // the area code's place name
    int repeatCount = 1; // 1 for a new call, more for a repeat of it
    std::string text;    // the popup's text
    int showSeconds = 0; // how long the popup shows it; 0: no popup
    // What the user's screening rules said of the call: "announce", "quiet" or "reject"; empty
    // when no rules were in force, so that outputs then send what they sent before rules were.
    std::string screenAction;
    std::string screenRule; // the text of the rule that decided; empty when none did

    bool Repeat() const { return repeatCount > 1; }
    // The phone-book name, else the number split after its area code, else the number.
    std::string Caller() const;
};

enum class LineState { Listening, Lost, Back };

struct LineEvent {
    std::time_t time = 0;
    LineState state = LineState::Listening;
};

// How an announced call ended, when its source tells it (a router's call-monitor feed, a PBX's
// manager): at most one per call, after the call's own event.
struct CallEndEvent {
    std::time_t time = 0;      // when the end was told
    std::time_t callTime = 0;  // the call's own time and connection id, as its CallEvent
    uint32_t connectionId = 0; // carried them
    std::string msn;           // the called number
    std::string number;        // the calling number as delivered ("0": withheld)
    bool answered = false;
    std::string extension; // where it was answered, when told
    int64_t seconds = 0;   // how long it was talked, when told
    int cause = 0;         // the PBX's hang-up cause; 0 when not told
    std::string causeText;

    // Whether `call` is the call that ended.
    bool Ends(const CallEvent& call) const {
        return call.time == callTime && call.connectionId == connectionId;
    }
};

using OutputEvent = std::variant<CallEvent, LineEvent, CallEndEvent>;

CallEvent MakeCallEvent(const ResolvedCall& call, const CallRecord& record,
                        const std::string& popupText);

// Local time as ISO 8601 with the offset, "2026-03-01T18:05:09+01:00".
std::string IsoTime(std::time_t time);
// "listening", "lost", "back".
const char* LineStateName(LineState state);
// "number", "withheld", "unknown" or "absent", as the outputs name the caller's kind.
const char* CallerKindName(CallerKind kind);
