#include "core/IncomingCallHistory.h"

#include "data/ListFile.h"
#include "platform/FileBytes.h"

#include <condition_variable>
#include <filesystem>
#include <iterator>
#include <mutex>
#include <system_error>
#include <thread>

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
        shared.pending = false;
        shared.writing = true;
        lock.unlock();
        const bool ok = ReplaceFileAtomically(path, image);
        lock.lock();
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

void HistoryWriter::RequestSave(const CallList& list, const std::string& path) {
    std::string bytes;
    bool replace = false;
    Encode(list, bytes, replace);
    std::error_code error;
    std::string fullPath = std::filesystem::absolute(path, error).string();
    if (error)
        fullPath = path;
    std::lock_guard lock(shared->mutex);
    if (replace) {
        shared->bytes = std::move(bytes);
        shared->replace = true;
    } else {
        shared->bytes += bytes;
    }
    shared->path = std::move(fullPath);
    shared->pending = true;
    shared->wake.notify_one();
}

void HistoryWriter::Prepare(const CallList& list) {
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

void HistoryWriter::Flush() {
    std::unique_lock lock(shared->mutex);
    shared->idle.wait(lock, [&] { return !shared->pending && !shared->writing; });
}

HistoryWriter::Counts HistoryWriter::Written() const {
    std::lock_guard lock(shared->mutex);
    return shared->counts;
}
