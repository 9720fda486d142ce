#include "core/CallMerge.h"

#include <algorithm>

bool CallMerge::Seen(const IncomingCallNotice& notice, Clock::time_point now) {
    const std::pair<uint8_t, uint32_t> id{notice.source, notice.connectionId};
    // Newest first: the router reuses its ids, and a later call under an id wins.
    for (auto call = calls.rbegin(); call != calls.rend(); ++call) {
        if (now - call->at > RepeatWindow)
            break;
        // The same notice offered again: a repeat for the handler to count when it is how the
        // call came in first, else the copy of a call taken in through another source.
        if (std::find(call->knownAs.begin(), call->knownAs.end(), id) != call->knownAs.end())
            return call->knownAs.front() != id;
        if (now - call->at > Window)
            continue;
        const bool fromAnotherSource =
            std::none_of(call->knownAs.begin(), call->knownAs.end(),
                         [&](const auto& known) { return known.first == notice.source; });
        if (fromAnotherSource && call->calling == notice.callingNumber &&
            call->called == notice.calledNumber) {
            call->knownAs.push_back(id);
            return true;
        }
    }
    if (calls.size() >= MaxCalls)
        calls.pop_front();
    calls.push_back(Call{notice.callingNumber, notice.calledNumber, now, {id}, std::nullopt, false});
    return false;
}

void CallMerge::Handled(const IncomingCallNotice& notice, std::optional<Record> record) {
    const std::pair<uint8_t, uint32_t> id{notice.source, notice.connectionId};
    for (auto call = calls.rbegin(); call != calls.rend(); ++call)
        if (call->knownAs.front() == id) {
            if (record)
                call->record = record;
            return;
        }
}

std::optional<CallMerge::Record> CallMerge::Ended(uint8_t source, uint32_t connectionId) {
    const std::pair<uint8_t, uint32_t> id{source, connectionId};
    for (auto call = calls.rbegin(); call != calls.rend(); ++call) {
        if (std::find(call->knownAs.begin(), call->knownAs.end(), id) == call->knownAs.end())
            continue;
        if (call->ended || !call->record)
            return std::nullopt;
        call->ended = true;
        return call->record;
    }
    return std::nullopt;
}

LineState CombinedLineState::After(uint8_t source, LineState state) {
    states[source] = state;
    for (const auto& [other, otherState] : states)
        if (otherState == LineState::Lost)
            return LineState::Lost;
    return state;
}
