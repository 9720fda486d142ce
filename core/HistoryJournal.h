#pragma once
// The journal of "caller.his": every new call is appended to a small file beside the history and
// flushed to the disk before the call is announced, so a call that was shown is kept even when
// the monitor dies before the next save of the history (kill -9, power loss). The journal is
// removed once a save has made its records durable in the history, and folded in at start-up;
// there it also puts right a history whose last append a crash cut short, as it holds the
// records being appended. The bytes of the history itself are exactly those of a save.
//
// One entry per record: u32 LE length, u32 LE checksum of the record's bytes, then the record as
// it follows the version in a version-4 list file. An entry cut short or with a wrong checksum
// ends the journal (a write torn by a crash).

#include "data/CallList.h"

#include <cstddef>
#include <string>
#include <string_view>

// "caller.his" -> "caller.his.journal".
std::string JournalPathFor(const std::string& historyPath);

// One entry's bytes for `record`.
std::string JournalEntry(const CallRecord& record);

// Appends one entry and flushes it to the disk; false with `error` set when it could not be
// made durable (the file is then cut back to where it was).
bool AppendJournalEntry(const std::string& journalPath, const CallRecord& record,
                        std::string& error);

// Appends every whole entry of the journal's bytes to `records`; the number added.
size_t DecodeJournal(std::string_view bytes, CallList& records);

// Appends to `history` those journal records that it does not already end with (a save that
// completed before its journal was removed holds a leading part of them). The number appended.
size_t FoldJournal(CallList& history, const CallList& journal);
