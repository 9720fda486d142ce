#include "core/IncomingCallRepeats.h"

#include <algorithm>
#include <iterator>

namespace {

// More recent records than this are folded into the old part.
constexpr size_t MaxRecent = 256;

} // namespace

RepeatFinder::RepeatFinder(CallList& list) : callList(list) {
    Rebuild();
}

void RepeatFinder::Remember(const CallRecord* last) {
    lastOld = last;
    lastOldTime = last ? last->callTime : 0;
    lastOldConnection = last ? last->connectionId : 0;
}

void RepeatFinder::Rebuild() {
    latestOldTime.reset();
    for (const CallRecord& record : callList)
        latestOldTime = std::max(latestOldTime.value_or(record.callTime), record.callTime);
    oldCount = callList.size();
    Remember(oldCount ? &*std::prev(callList.end()) : nullptr);
}

void RepeatFinder::Sync() {
    const size_t size = callList.size();
    if (size < oldCount) {
        Rebuild();
        return;
    }
    // Walk back over the recent records to the end of the old part; it must still be the same
    // record, or the list was changed behind our back.
    auto it = callList.end();
    for (size_t i = oldCount; i < size; ++i)
        --it;
    const CallRecord* boundary = oldCount ? &*std::prev(it) : nullptr;
    if (boundary != lastOld || (boundary && (boundary->callTime != lastOldTime ||
                                             boundary->connectionId != lastOldConnection))) {
        Rebuild();
        return;
    }
    if (size - oldCount > MaxRecent) {
        for (; it != callList.end(); ++it)
            latestOldTime = std::max(latestOldTime.value_or(it->callTime), it->callTime);
        oldCount = size;
        Remember(&*std::prev(callList.end()));
    }
}

CallRecord* RepeatFinder::Find(const IncomingCallNotice& notice, std::time_t now) {
    Sync();
    // The recent records are the tail of the list: the last match there is the last match of
    // the whole list.
    auto it = callList.end();
    for (size_t i = oldCount; i < callList.size(); ++i) {
        --it;
        if (it->connectionId == notice.connectionId &&
            std::difftime(now, static_cast<std::time_t>(it->callTime)) < 5.0)
            return &*it;
    }
    if (latestOldTime && std::difftime(now, static_cast<std::time_t>(*latestOldTime)) < 5.0)
        return callList.findRepeat(notice.connectionId, now);
    return nullptr;
}
