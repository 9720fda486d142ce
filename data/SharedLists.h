#pragma once
// The monitor's lists, shared between threads under one lock: the GUI (or main) thread writes
// them; telnet sessions, the searches and the history writer read them. Only a view of the
// guarded store reaches them (platform/Guarded.h).

#include "data/AreaCodeTable.h"
#include "data/CallList.h"
#include "platform/Guarded.h"

struct SharedLists {
    Directory phoneBook;
    Directory msnList;
    CallList callList;
    AreaCodeTable areaCodes;
};

using GuardedLists = Guarded<SharedLists>;
