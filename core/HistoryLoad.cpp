#include "core/HistoryLoad.h"

#include "core/HistoryJournal.h"
#include "data/ListFile.h"
#include "platform/FileBytes.h"
#include "platform/Text.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <iterator>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string Stamp(std::time_t now) {
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
    return text;
}

// A name beside `path` that is not taken yet.
std::string AsideName(const std::string& path, std::time_t now) {
    const std::string base = path + ".damaged-" + Stamp(now);
    std::string name = base;
    struct stat st {};
    for (int n = 2; ::lstat(name.c_str(), &st) == 0; ++n)
        name = base + "-" + std::to_string(n);
    return name;
}

// The disk bytes of one record as a save writes it.
std::string BytesOf(const CallRecord& record) {
    std::string bytes;
    AppendRecordBytes(bytes, record);
    return bytes;
}

bool SameFile(int a, int b) {
    struct stat sa {
    }, sb{};
    return ::fstat(a, &sa) == 0 && ::fstat(b, &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

// A history whose writer died while appending to it: its whole records are as a save writes
// them, the last `present` of them are the journal's first records, and the bytes after them
// (`start` onwards) are the beginning of the next journal record, cut short.
struct TornTail {
    size_t start = 0;
    size_t present = 0;
};

std::optional<TornTail> FindTornTail(const CallList& list, const ListFileLoad& load,
                                     const CallList& journal, const std::string& path) {
    const ListFileDecode& decoded = load.decoded;
    if (journal.empty() || decoded.version != ListFileVersion || !decoded.canonical ||
        !load.lineEndsAsSaved || list.size() != decoded.added)
        return std::nullopt;
    // Where the last whole record ends on the disk.
    size_t start = 4;
    std::string scratch;
    size_t index = 0;
    for (auto it = list.begin(); index < decoded.whole; ++it, ++index) {
        scratch.clear();
        AppendRecordBytes(scratch, *it);
        start += scratch.size();
    }
    if (start >= load.fileSize || load.fileSize - start > ListFileLoadPiece)
        return std::nullopt;
    std::string error;
    FileHandle file = OpenForReading(path, MissingFile::Fail, error);
    std::string torn(load.fileSize - start, '\0');
    if (!file || ::pread(file.get(), torn.data(), torn.size(), static_cast<off_t>(start)) !=
                     static_cast<ssize_t>(torn.size()))
        return std::nullopt;
    // The whole records the file ends with, newest first.
    auto lastWhole = std::next(list.begin(), static_cast<std::ptrdiff_t>(decoded.whole));
    for (size_t present = std::min(decoded.whole, journal.size() - 1);; --present) {
        auto h = std::prev(lastWhole, static_cast<std::ptrdiff_t>(present));
        auto j = journal.begin();
        bool same = true;
        for (size_t i = 0; i < present && same; ++i, ++h, ++j)
            same = BytesOf(*h) == BytesOf(*j);
        if (same) {
            const std::string next = BytesOf(*j);
            if (torn.size() < next.size() && next.compare(0, torn.size(), torn) == 0)
                return TornTail{start, present};
        }
        if (present == 0)
            return std::nullopt;
    }
}

// Writes `bytes` at `offset` of the history at `path` in place and makes them durable. `loaded`,
// when open, is the file that was read: the one at `path` must still be it. The file, open, or
// not open when it could not be done (a whole new file is written instead).
FileHandle WriteInPlace(const std::string& path, const FileHandle& loaded, size_t loadedSize,
                        size_t offset, const std::string& bytes) {
    FileHandle file(::open(path.c_str(), O_RDWR | O_CLOEXEC));
    struct stat st {};
    if (!file || ::fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode) ||
        static_cast<size_t>(st.st_size) != loadedSize ||
        (loaded && !SameFile(loaded.get(), file.get())))
        return {};
    int error = 0;
    bool undone = false;
    if (!WriteDurablyAt(file, offset, bytes, error, undone))
        return {};
    return file;
}

} // namespace

HistoryLoadResult LoadCallHistory(CallList& list, const std::string& path, std::time_t now) {
    HistoryLoadResult result;
    bool movedAside = false;
    RemoveStaleTemporaryFiles(DirectoryOf(path));

    const std::string journalPath = JournalPathFor(path);
    FileReadResult journal = ReadFileBytes(journalPath, MissingFile::Fail);
    CallList journaled;
    if (journal.opened)
        DecodeJournal(journal.bytes, journaled);

    struct stat st {};
    const bool exists = ::stat(path.c_str(), &st) == 0;
    ListFileLoad load = LoadListFile(list, path, KeptFile::IfSavedAlike);
    std::optional<TornTail> torn;
    if (load.opened && !load.Clean())
        torn = FindTornTail(list, load, journaled, path);
    if (torn) {
        // Not damage: an append that a crash cut short. The journal holds its records.
        if (list.size() > load.decoded.whole)
            list.remove(&*std::prev(list.end()));
    } else if (!load.opened) {
        if (exists) {
            result.saveAllowed = false;
            result.messages.push_back("Cannot read the call history " + load.error +
                                      ".\nIt is left as it is; new calls are kept in " +
                                      AbsolutePath(journalPath) + " until it can be read.");
        }
    } else if (!load.Clean()) {
        const std::string aside = AsideName(path, now);
        char counts[160];
        std::snprintf(counts, sizeof counts, "%zu record(s) of %zu bytes could be read",
                      load.decoded.added, load.fileSize);
        if (::rename(path.c_str(), aside.c_str()) == 0) {
            movedAside = true;
            result.messages.push_back("The call history " + AbsolutePath(path) +
                                      " is damaged or of a later "
                                      "version (" +
                                      counts + ").\nIt was kept as " + AbsolutePath(aside) +
                                      "; the monitor goes on with what could be read.");
        } else {
            result.saveAllowed = false;
            result.messages.push_back("The call history " + AbsolutePath(path) +
                                      " is damaged or of a later "
                                      "version (" +
                                      counts + ") and cannot be moved aside (" +
                                      ErrorText(errno) +
                                      ").\nIt is left as it is; new calls "
                                      "are kept in " +
                                      AbsolutePath(journalPath) + ".");
        }
    }

    if (torn) {
        for (auto j = std::next(journaled.begin(), static_cast<std::ptrdiff_t>(torn->present));
             j != journaled.end(); ++j, ++result.journaled)
            list.append(*j);
    } else if (journal.opened) {
        result.journaled = FoldJournal(list, journaled);
    }
    if (!result.saveAllowed || (!journal.opened && !movedAside)) {
        if (result.saveAllowed && load.Clean() && load.savedAlike) {
            result.savedFile = std::move(load.savedAlike);
            result.savedSize = load.fileSize;
        }
        return result;
    }

    // The journal's records go to the end of a file that is as a save writes it (cut back to
    // its last whole record when torn), else into a whole new file.
    if (torn || (load.Clean() && load.savedAlike && !movedAside)) {
        const size_t offset = torn ? torn->start : load.fileSize;
        std::string bytes;
        for (auto it = std::prev(list.end(), static_cast<std::ptrdiff_t>(result.journaled));
             it != list.end(); ++it)
            AppendRecordBytes(bytes, *it);
        result.savedFile = WriteInPlace(path, load.savedAlike, load.fileSize, offset, bytes);
        if (result.savedFile) {
            result.savedSize = offset + bytes.size();
            ::unlink(journalPath.c_str());
            return result;
        }
    }
    std::string error;
    const std::string bytes = EncodeListFile(list);
    AtomicFileReplacement file(path);
    file.Write(bytes);
    if (file.Commit(&error, &result.savedFile)) {
        result.savedSize = bytes.size();
        if (journal.opened)
            ::unlink(journalPath.c_str());
    } else
        result.messages.push_back("Cannot save " + error + ".\nThe calls of " +
                                  AbsolutePath(journalPath) +
                                  " are kept there until it can be written.");
    return result;
}
