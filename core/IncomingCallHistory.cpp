#include "core/IncomingCallHistory.h"
#include "platform/Text.h"

#include "core/HistoryJournal.h"
#include "data/ListFile.h"
#include "platform/FileBytes.h"

#include <condition_variable>
#include <cstring>
#include <fcntl.h>
#include <iterator>
#include <mutex>
#include <sys/stat.h>
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
    // A file whose first baseSize bytes are the image so far (from Prepare).
    FileHandle base;
    size_t baseSize = 0;
    bool newBase = false;
    bool pending = false;
    bool writing = false;
    bool stop = false;
    // The writer has no image to add to: the caller encodes the whole list next time.
    bool needWhole = false;
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

size_t SizeOf(const FileHandle& file) {
    struct stat st {};
    return file && ::fstat(file.get(), &st) == 0 ? static_cast<size_t>(st.st_size) : 0;
}

// Whether the file named `path` is `file` and holds exactly `size` bytes, so that the next
// records can go to its end. A file handed over open for reading only is opened again for
// writing under its name, when that is still the same file.
bool AtEndOf(FileHandle& file, bool& writable, size_t size, const std::string& path) {
    struct stat named {
    }, open{};
    if (::stat(path.c_str(), &named) != 0 || ::fstat(file.get(), &open) != 0 ||
        named.st_dev != open.st_dev || named.st_ino != open.st_ino || !S_ISREG(open.st_mode) ||
        static_cast<size_t>(open.st_size) != size)
        return false;
    if (!writable) {
        FileHandle again(::open(path.c_str(), O_RDWR | O_CLOEXEC));
        struct stat reopened {};
        if (!again || ::fstat(again.get(), &reopened) != 0 || reopened.st_dev != open.st_dev ||
            reopened.st_ino != open.st_ino)
            return false;
        file = std::move(again);
        writable = true;
    }
    return true;
}

// The image of the file is not held in memory: it is the file the last save wrote (or the one
// loaded at start-up), kept open, followed by the records encoded since. While that file is
// still the one at the path and holds exactly the image so far, a save appends the new records'
// bytes to it and flushes them to the disk, so a save costs what the new records cost, however
// long the history. Otherwise (the first save, a list changed in another way than by growing,
// another file put in its place, an append that failed and could not be taken back) the whole
// image goes to a new file that replaces the old one atomically: the old file copied, in the
// kernel where it can, with the new records added, or a whole new image from the caller.
//
// A crash in the middle of an append leaves the file with the start of a record at its end; the
// journal still holds that record, and the next start-up puts the file right
// (core/HistoryLoad.h).
void RunWriter(HistoryWriter::Shared& shared) {
    std::string whole; // with `haveWhole`: the start of the image, instead of `base`
    bool haveWhole = false;
    FileHandle base;
    size_t baseSize = 0;
    bool baseWritable = false;
    // False once an append failed and what `base` holds beyond baseSize is not known.
    bool appendable = false;
    std::string tail; // the records after `whole` or `base`
    std::unique_lock lock(shared.mutex);
    while (true) {
        shared.wake.wait(lock, [&] { return shared.pending || shared.stop; });
        if (!shared.pending)
            break; // stopping with nothing left to write
        if (shared.newBase) {
            base = std::move(shared.base);
            baseSize = shared.baseSize;
            baseWritable = false;
            appendable = true;
            haveWhole = false;
            whole.clear();
            tail.clear();
            shared.newBase = false;
        }
        if (shared.replace) {
            whole.swap(shared.bytes);
            haveWhole = true;
            tail.clear();
            base = FileHandle();
        } else {
            tail += shared.bytes;
        }
        shared.bytes.clear();
        shared.replace = false;
        const std::string path = shared.path;
        const size_t covered = shared.covered;
        const HistoryWriter::SaveReport report = shared.report;
        shared.pending = false;
        shared.writing = true;
        lock.unlock();

        std::string error;
        bool ok = false;
        bool haveStart = true;
        bool appended = false; // to the file in place
        bool wrote = true;     // false: the file already held everything
        if (!haveWhole && base && appendable && AtEndOf(base, baseWritable, baseSize, path)) {
            appended = true;
            int code = 0;
            bool undone = true;
            ok = tail.empty() || WriteDurablyAt(base, baseSize, tail, code, undone);
            wrote = !tail.empty();
            if (ok) {
                baseSize += tail.size();
                tail.clear();
            } else {
                error = path + ": " + ErrorText(code);
                appendable = undone;
            }
        } else {
            // A base that lost bytes (cut in place by someone) cannot be the start of the image.
            haveStart = haveWhole || (base && SizeOf(base) >= baseSize);
            if (haveStart) {
                FileHandle written;
                AtomicFileReplacement file(path);
                if (haveWhole)
                    file.Write(whole);
                else
                    file.Copy(base, baseSize);
                file.Write(tail);
                ok = file.Commit(&error, &written);
                if (ok) {
                    baseSize = (haveWhole ? whole.size() : baseSize) + tail.size();
                    base = std::move(written);
                    baseWritable = true;
                    appendable = true;
                    whole = std::string();
                    haveWhole = false;
                    tail.clear();
                }
            }
        }
        if (report && haveStart && wrote)
            report(path, ok, error);
        lock.lock();
        if (!haveStart)
            shared.needWhole = true;
        // Under the lock: no entry can be journaled between the check and the removal. The
        // records are durable in the file by now, so the journal is no longer needed for them.
        if (ok && covered == shared.journaled && shared.journalOnDisk) {
            ::unlink(JournalPathFor(path).c_str());
            shared.journalOnDisk = false;
        }
        shared.writing = false;
        if (haveStart && wrote)
            ++(!ok ? shared.counts.failed
                   : (appended ? shared.counts.appended : shared.counts.written));
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
    bool growOnly = !replace && &list == encodedList && list.size() >= encodedCount;
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

void HistoryWriter::TakeNewBytes(const CallList& list, bool whole) {
    std::string bytes;
    bool replace = whole;
    {
        std::lock_guard lock(shared->mutex);
        replace = replace || shared->needWhole;
        shared->needWhole = false;
    }
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
    std::string fullPath = AbsolutePath(path);
    // The image is that of the file at the last path; another file is written whole.
    TakeNewBytes(list, !requestedPath.empty() && fullPath != requestedPath);
    requestedPath = fullPath;
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

void HistoryWriter::Prepare(const CallList& list, FileHandle savedFile, size_t savedSize) {
    if (!savedFile) {
        TakeNewBytes(list, false);
        return;
    }
    encodedList = &list;
    encodedCount = list.size();
    lastEncoded = list.empty() ? nullptr : &*std::prev(list.end());
    if (lastEncoded)
        lastEncodedCopy = *lastEncoded;
    std::lock_guard lock(shared->mutex);
    shared->base = std::move(savedFile);
    shared->baseSize = savedSize;
    shared->newBase = true;
    shared->bytes.clear();
    shared->replace = false;
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
