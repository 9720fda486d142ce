#pragma once
// Two doors, one call: a user with a router often opens both its CAPI and its call-monitor
// feed, and each rings every call. A notice that arrives through another source within 3 s of
// a call with the same calling and called number is that call again: it is not handled a second
// time, and what its source tells later (the call's outcome) goes to the call's record.
//
// Also the line's state of several sources as one for the outputs: lost while any source is
// lost.

#include "capi/IncomingCallNotice.h"
#include "outputs/CallEvent.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class CallMerge {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::seconds Window{3};
    // A notice with the connection id of a call this young is that call offered again.
    static constexpr std::chrono::seconds RepeatWindow{5};
    // Calls kept for their outcome; a call whose end is never told leaves when it is the oldest.
    static constexpr size_t MaxCalls = 512;

    // The record a call became in the call list, as its CallEvent names it.
    struct Record {
        std::time_t callTime = 0;
        uint32_t connectionId = 0;
        bool operator==(const Record&) const = default;
    };

    // True when the notice is a call already taken in through another source: it must not be
    // handled again. Else it is a call of its own, to be handled and then told with Handled.
    bool Seen(const IncomingCallNotice& notice, Clock::time_point now);
    // After the handler: the record the notice last passed by Seen became (nullopt: none, the
    // MSN filter dropped it).
    void Handled(const IncomingCallNotice& notice, std::optional<Record> record);
    // The record of the call that `source` knows as `connectionId`, once: a second outcome of
    // the same call (its other source told it too) gets nullopt.
    std::optional<Record> Ended(uint8_t source, uint32_t connectionId);

    size_t Calls() const { return calls.size(); }

private:
    struct Call {
        std::string calling, called;
        Clock::time_point at;
        std::vector<std::pair<uint8_t, uint32_t>> knownAs; // (source, connection id)
        std::optional<Record> record;
        bool ended = false;
    };
    std::deque<Call> calls; // oldest first
};

// The line's state of each source, and what the outputs are told after one of them changed.
class CombinedLineState {
public:
    // The state for the outputs: lost while any source is lost, else what `source` told.
    LineState After(uint8_t source, LineState state);

private:
    std::map<uint8_t, LineState> states;
};
