#include "core/IncomingCallHistory.h"

#include "core/HistoryJournal.h"
#include "data/ListFile.h"
#include "platform/FileBytes.h"

#include <condition_variable>
#include <filesystem>
#include <iterator>
#include <mutex>
#include <system_error>
#include <thread>
#include <unistd.h>

struct HistoryWriter::Shared {
    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable idle;
    // Handed from the caller to the writer.
    bool replace = false; // `bytes` is a whole new image, not an addition
    std::string bytes;
    std::string path;
    bool pending = false;
    bool writing = false;
    bool stop = false;
    Counts counts;
    SaveReport report;
    // Journal entries made so far, and how many of them the pending request's bytes hold.
    size_t journaled = 0;
    size_t covered = 0;
    bool journalOnDisk = true; // one may be left from an earlier run
    std::thread thread;
};

namespace {

bool SameStoredFields(const CallRecord& a, const CallRecord& b) {
    return a.key == b.key && a.value == b.value && a.reserved == b.reserved &&
           a.speakText == b.speakText && a.callTime == b.callTime && a.cipValue == b.cipValue &&
           a.connectionId == b.connectionId;
}

void RunWriter(HistoryWriter::Shared& shared) {
    std::string image;
    std::unique_lock lock(shared.mutex);
    while (true) {
        shared.wake.wait(lock, [&] { return shared.pending || shared.stop; });
        if (!shared.pending)
            break; // stopping with nothing left to write
        if (shared.replace)
            image.swap(shared.bytes);
        else
            image += shared.bytes;
        shared.bytes.clear();
        shared.replace = false;
        const std::string path = shared.path;
        const size_t covered = shared.covered;
        const HistoryWriter::SaveReport report = shared.report;
        shared.pending = false;
        shared.writing = true;
        lock.unlock();
        std::string error;
        const bool ok = ReplaceFileAtomically(path, image, 0666, &error);
        if (report)
            report(path, ok, error);
        lock.lock();
        // Under the lock: no entry can be journaled between the check and the removal.
        if (ok && covered == shared.journaled && shared.journalOnDisk) {
            ::unlink(JournalPathFor(path).c_str());
            shared.journalOnDisk = false;
        }
        shared.writing = false;
        ++(ok ? shared.counts.written : shared.counts.failed);
        if (!shared.pending)
            shared.idle.notify_all();
    }
}

} // namespace

HistoryWriter::HistoryWriter() : shared(std::make_shared<Shared>()) {
    shared->thread = std::thread(RunWriter, std::ref(*shared));
}

HistoryWriter::~HistoryWriter() {
    {
        std::lock_guard lock(shared->mutex);
        shared->stop = true;
        shared->wake.notify_all();
    }
    shared->thread.join();
}

void HistoryWriter::Encode(const CallList& list, std::string& bytes, bool& replace) {
    // The image can grow by the new records only when the list still ends, before them, in
    // the record that was encoded last.
    bool growOnly = &list == encodedList && list.size() >= encodedCount;
    auto it = list.end();
    if (growOnly) {
        for (size_t i = encodedCount; i < list.size(); ++i)
            --it;
        const CallRecord* boundary = encodedCount ? &*std::prev(it) : nullptr;
        growOnly =
            boundary == lastEncoded && (!boundary || SameStoredFields(*boundary, lastEncodedCopy));
    }
    if (growOnly) {
        for (; it != list.end(); ++it)
            AppendRecordBytes(bytes, *it);
    } else {
        replace = true;
        bytes = EncodeListFile(list);
    }
    encodedList = &list;
    encodedCount = list.size();
    lastEncoded = list.empty() ? nullptr : &*std::prev(list.end());
    if (lastEncoded)
        lastEncodedCopy = *lastEncoded;
}

namespace {

// The writer works on its own thread while the current directory may change: it keeps paths
// absolute.
std::string AbsolutePath(const std::string& path) {
    std::error_code error;
    std::string full = std::filesystem::absolute(path, error).string();
    return error ? path : full;
}

} // namespace

void HistoryWriter::TakeNewBytes(const CallList& list) {
    std::string bytes;
    bool replace = false;
    Encode(list, bytes, replace);
    std::lock_guard lock(shared->mutex);
    if (replace) {
        shared->bytes = std::move(bytes);
        shared->replace = true;
    } else {
        shared->bytes += bytes;
    }
}

void HistoryWriter::RequestSave(const CallList& list, const std::string& path) {
    TakeNewBytes(list);
    std::string fullPath = AbsolutePath(path);
    std::lock_guard lock(shared->mutex);
    shared->path = std::move(fullPath);
    shared->covered = shared->journaled;
    shared->pending = true;
    shared->wake.notify_one();
}

bool HistoryWriter::JournalRecord(const CallRecord& record, const std::string& path,
                                  std::string& error) {
    const std::string fullPath = AbsolutePath(path);
    std::lock_guard lock(shared->mutex);
    if (!AppendJournalEntry(JournalPathFor(fullPath), record, error))
        return false;
    ++shared->journaled;
    shared->journalOnDisk = true;
    return true;
}

void HistoryWriter::SetSaveReport(SaveReport report) {
    std::lock_guard lock(shared->mutex);
    shared->report = std::move(report);
}

void HistoryWriter::Prepare(const CallList& list, std::string savedBytes) {
    if (savedBytes.empty()) {
        TakeNewBytes(list);
        return;
    }
    encodedList = &list;
    encodedCount = list.size();
    lastEncoded = list.empty() ? nullptr : &*std::prev(list.end());
    if (lastEncoded)
        lastEncodedCopy = *lastEncoded;
    std::lock_guard lock(shared->mutex);
    shared->bytes = std::move(savedBytes);
    shared->replace = true;
}

void HistoryWriter::Flush() {
    std::unique_lock lock(shared->mutex);
    shared->idle.wait(lock, [&] { return !shared->pending && !shared->writing; });
}

bool HistoryWriter::FlushFor(std::chrono::milliseconds timeout) {
    std::unique_lock lock(shared->mutex);
    return shared->idle.wait_for(lock, timeout,
                                 [&] { return !shared->pending && !shared->writing; });
}

HistoryWriter::Counts HistoryWriter::Written() const {
    std::lock_guard lock(shared->mutex);
    return shared->counts;
}
