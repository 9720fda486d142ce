#pragma once
// What the CAPI line process tells the monitor, one line of text each, over a pipe:
//   call PLCI CIP CALLED CALLING   a call that was ignored on the line (numbers in hex, "-" empty)
//   log TEXT                       a change of the line's state for the monitor's log (hex)
//   message TEXT                   an error the user must see (hex)
//   registering                    a registration begins (it may block inside CAPI)
//   alive                          the listener is still going round its loop
// and what the monitor tells it: "stop" (or the end of its input).

#include "capi/IncomingCallNotice.h"

#include <optional>
#include <string>
#include <string_view>

struct LineEvent {
    enum class Kind { Call, Log, Message, Registering, Alive };
    Kind kind = Kind::Alive;
    IncomingCallNotice notice; // Call
    std::string text;          // Log, Message
};

// The event as one line, ending in '\n'.
std::string EncodeLineEvent(const LineEvent& event);
// One line without its '\n'; nullopt when it is not an event.
std::optional<LineEvent> DecodeLineEvent(std::string_view line);
