#pragma once
// Saves "caller.his" after every notice without making the next call wait for it.
//
// The file holds every call ever announced, with no count and no end marker, and repeat counts
// are not stored: a save after a notice is the file as it was followed by the new records'
// bytes. The caller's thread only encodes the records appended since the last request (the list
// only grows; the stored fields of a record never change once it is appended) and queues a
// save; a writer thread of its own appends them to the file it wrote last (kept open) and
// flushes them to the disk, so a save costs the same with a long history as with a short one.
// Where the file on disk is not the start of the image (the first save, a list changed in
// another way, another file put in its place) the whole image goes to a new file that replaces
// the old one atomically. Requests that arrive while a save is being written are coalesced into
// one further save. The bytes on disk are exactly those of SaveListFile.
//
// Before a new call is announced its record goes to the journal beside the file
// (core/HistoryJournal.h), flushed to the disk; a save that holds every journaled record removes
// the journal.
//
// The call list only grows while the monitor runs. A list that shrank, or whose last known
// record is no longer where it was, is encoded whole again.

#include "data/CallList.h"
#include "platform/FileBytes.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>

class HistoryWriter {
public:
    HistoryWriter();
    // Writes what is still pending, then stops the writer.
    ~HistoryWriter();
    HistoryWriter(const HistoryWriter&) = delete;
    HistoryWriter& operator=(const HistoryWriter&) = delete;

    // Brings the file's image up to date with `list` and queues a save to `path` (a relative
    // path is taken against the current directory now). Call with a view of the list (the
    // shared lists' lock held). Cost: the records appended since the last call; the whole list
    // when it was changed in any other way.
    void RequestSave(const CallList& list, const std::string& path);

    // Makes `record` (just appended to the list) durable in the journal of the history at
    // `path` before it is announced. False with `error` set when it could not be.
    bool JournalRecord(const CallRecord& record, const std::string& path, std::string& error);

    // The outcome of every save, on the writer's thread (for telling the user of failures).
    using SaveReport = std::function<void(const std::string& path, bool ok, const std::string&)>;
    void SetSaveReport(SaveReport report);

    // Encodes the whole list now, so that the first save of a long history costs no more than
    // any later one. Call where a pause does not matter (at start-up). `savedFile`, when open,
    // must hold as its first `savedSize` bytes exactly what saving `list` writes; saves then
    // append to it while it is the file at the path and holds just those bytes.
    void Prepare(const CallList& list, FileHandle savedFile = {}, size_t savedSize = 0);

    // Waits until every requested save has been written (or has failed).
    void Flush();
    // The same for at most `timeout`; false when saves are still pending. A writer that is
    // telling the user of a failure waits for the GUI thread, which must keep handling events.
    bool FlushFor(std::chrono::milliseconds timeout);

    // Results of the writes so far, for tests and benchmarks.
    struct Counts {
        size_t written = 0;  // saves that replaced the file with a whole new one
        size_t appended = 0; // saves that added records to the end of the file
        size_t failed = 0;   // saves that could not
    };
    Counts Written() const;

    struct Shared;

private:
    // `replace` true on entry: encode the whole list.
    void Encode(const CallList& list, std::string& bytes, bool& replace);
    // Encodes what the list holds beyond the writer's image (or, with `whole`, all of it) and
    // hands it to the writer.
    void TakeNewBytes(const CallList& list, bool whole);

    // The caller's view of what the writer's image holds.
    const CallList* encodedList = nullptr;
    size_t encodedCount = 0;
    const CallRecord* lastEncoded = nullptr;
    // A copy of that record: a record removed and another appended may get the same address.
    CallRecord lastEncodedCopy;
    std::string requestedPath; // of the last request

    std::shared_ptr<Shared> shared;
};
