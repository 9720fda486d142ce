#pragma once
// Finds the earlier record of a repeated call-set-up notice (same connectionId, made less than
// 5 seconds ago) with the same result as CallList::findRepeat, without walking a long history
// for every call.
//
// The records are split into an old part, of which only the latest callTime is kept, and the
// few records appended since. Only the recent ones are searched, unless the old part holds a
// record young enough to match (the clock went back, or the history holds future times): then
// the whole list is searched as findRepeat does. The split follows the list by its size and its
// last record, so records appended or removed by others are noticed and taken in.

#include "capi/IncomingCallNotice.h"
#include "data/CallList.h"

#include <cstddef>
#include <ctime>
#include <optional>

class RepeatFinder {
public:
    // The list must outlive the finder. Reads the whole list once.
    explicit RepeatFinder(CallList& callList);

    CallRecord* Find(const IncomingCallNotice& notice, std::time_t now);

private:
    void Sync();
    void Rebuild();
    void Remember(const CallRecord* last);

    CallList& callList;
    size_t oldCount = 0;                 // records in the old part
    const CallRecord* lastOld = nullptr; // the last record of the old part
    // Its callTime and connectionId: a removed record's address may be reused by a new one.
    int32_t lastOldTime = 0;
    uint32_t lastOldConnection = 0;
    std::optional<int32_t> latestOldTime; // the latest callTime of the old part
};
