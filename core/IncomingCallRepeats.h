#pragma once
// Finds the earlier record of a repeated call-set-up notice: same connectionId, made less than
// 5 seconds ago, the newest such record of the list. The call list finds the records of the
// last seconds by their time without reading the rest of the history (CallList::findRepeat),
// so a long history costs nothing here.

#include "capi/IncomingCallNotice.h"
#include "data/CallList.h"

#include <ctime>

class RepeatFinder {
public:
    // The list must outlive the finder.
    explicit RepeatFinder(CallList& callList) : callList(callList) {}

    CallRecord* Find(const IncomingCallNotice& notice, std::time_t now);

private:
    CallList& callList;
};
