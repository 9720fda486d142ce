#pragma once
// Start-up of "caller.his": what an interrupted save or a crash left behind is put right before
// the first call, and a history that cannot be read whole is never overwritten.

#include "data/CallList.h"
#include "platform/FileBytes.h"

#include <ctime>
#include <string>
#include <vector>

struct HistoryLoadResult {
    // False: the file exists but could not be read; it must be left as it is.
    bool saveAllowed = true;
    size_t journaled = 0; // records taken from the journal
    // What the user must be told, one message each.
    std::vector<std::string> messages;
    // The file, open, when its savedSize bytes are exactly what saving the loaded list writes
    // (the history writer appends the next calls to it); else not open.
    FileHandle savedFile;
    size_t savedSize = 0;
};

// Loads `path` into `list` (empty before), in this order: temporary files of interrupted saves in
// its directory are removed; a file whose last record was being appended when the monitor died
// (its bytes so far are the start of the journal's next record) is cut back to its last whole
// record; any other file that does not load cleanly (garbage, a later version, cut short) is
// moved aside as "<path>.damaged-YYYYMMDD-HHMMSS" (local time `now`) and what could be read is
// kept; the journal's records missing from the file are appended (to the file itself when it is
// as a save writes it, else the file is saved whole), after which the journal is removed.
HistoryLoadResult LoadCallHistory(CallList& list, const std::string& path, std::time_t now);
