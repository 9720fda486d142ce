#include "core/IncomingCallRepeats.h"

CallRecord* RepeatFinder::Find(const IncomingCallNotice& notice, std::time_t now) {
    return callList.findRepeat(notice.connectionId, now);
}
