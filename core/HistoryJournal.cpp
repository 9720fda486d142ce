#include "core/HistoryJournal.h"
#include "platform/Text.h"

#include "data/ListFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

namespace {

uint32_t Checksum(std::string_view bytes) {
    uint32_t hash = 2166136261u; // FNV-1a
    for (unsigned char c : bytes) {
        hash ^= c;
        hash *= 16777619u;
    }
    return hash;
}

void PutU32(std::string& out, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<char>(value >> shift));
}

uint32_t GetU32(std::string_view in) {
    const auto* p = reinterpret_cast<const unsigned char*>(in.data());
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}

bool SameStoredFields(const CallRecord& a, const CallRecord& b) {
    return a.key == b.key && a.value == b.value && a.reserved == b.reserved &&
           a.speakText == b.speakText && a.callTime == b.callTime && a.cipValue == b.cipValue;
}

} // namespace

std::string JournalPathFor(const std::string& historyPath) {
    return historyPath + ".journal";
}

std::string JournalEntry(const CallRecord& record) {
    std::string bytes;
    AppendRecordBytes(bytes, record);
    std::string entry;
    PutU32(entry, static_cast<uint32_t>(bytes.size()));
    PutU32(entry, Checksum(bytes));
    return entry + bytes;
}

bool AppendJournalEntry(const std::string& journalPath, const CallRecord& record,
                        std::string& error) {
    const std::string entry = JournalEntry(record);
    int fd = ::open(journalPath.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        error = journalPath + ": " + ErrorText(errno);
        return false;
    }
    struct stat before {};
    const bool sized = ::fstat(fd, &before) == 0;
    ssize_t written;
    do
        written = ::write(fd, entry.data(), entry.size());
    while (written < 0 && errno == EINTR);
    bool ok = written == static_cast<ssize_t>(entry.size());
    int saved = ok ? 0 : (written < 0 ? errno : ENOSPC);
    if (ok && ::fdatasync(fd) != 0) {
        ok = false;
        saved = errno;
    }
    if (!ok) {
        // Leave no torn entry behind for a later one to follow.
        if (sized && ::ftruncate(fd, before.st_size) != 0) {
            // The reader stops at a torn entry anyway.
        }
        error = journalPath + ": " + ErrorText(saved);
    }
    ::close(fd);
    return ok;
}

size_t DecodeJournal(std::string_view bytes, CallList& records) {
    std::string file = EncodeListFile(CallList());
    const size_t header = file.size();
    size_t added = 0;
    while (bytes.size() >= 8) {
        const uint32_t length = GetU32(bytes);
        const uint32_t checksum = GetU32(bytes.substr(4));
        if (length > bytes.size() - 8)
            break;
        std::string_view record = bytes.substr(8, length);
        if (Checksum(record) != checksum)
            break;
        file.resize(header);
        file.append(record);
        CallList one;
        ListFileDecode decoded = DecodeListFile(file, one);
        if (decoded.added != 1 || !decoded.complete)
            break;
        records.append(std::move(*one.begin()));
        ++added;
        bytes.remove_prefix(8 + length);
    }
    return added;
}

size_t FoldJournal(CallList& history, const CallList& journal) {
    // The longest leading part of the journal that the history already ends with.
    size_t present = std::min(history.size(), journal.size());
    for (; present > 0; --present) {
        auto h = std::prev(history.end(), static_cast<std::ptrdiff_t>(present));
        auto j = journal.begin();
        bool same = true;
        for (size_t i = 0; i < present && same; ++i, ++h, ++j)
            same = SameStoredFields(*h, *j);
        if (same)
            break;
    }
    size_t appended = 0;
    auto j = std::next(journal.begin(), static_cast<std::ptrdiff_t>(present));
    for (; j != journal.end(); ++j, ++appended)
        history.append(*j);
    return appended;
}
