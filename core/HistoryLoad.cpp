#include "core/HistoryLoad.h"

#include "core/HistoryJournal.h"
#include "data/ListFile.h"
#include "platform/FileBytes.h"
#include "platform/Text.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
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

} // namespace

HistoryLoadResult LoadCallHistory(CallList& list, const std::string& path, std::time_t now) {
    HistoryLoadResult result;
    bool movedAside = false;
    RemoveStaleTemporaryFiles(DirectoryOf(path));

    struct stat st {};
    const bool exists = ::stat(path.c_str(), &st) == 0;
    ListFileLoad load = LoadListFile(list, path, KeptFile::IfSavedAlike);
    if (!load.opened) {
        if (exists) {
            result.saveAllowed = false;
            result.messages.push_back("Cannot read the call history " + load.error +
                                      ".\nIt is left as it is; new calls are kept in " +
                                      AbsolutePath(JournalPathFor(path)) +
                                      " until it can be read.");
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
                                      std::strerror(errno) +
                                      ").\nIt is left as it is; new calls "
                                      "are kept in " +
                                      AbsolutePath(JournalPathFor(path)) + ".");
        }
    }

    const std::string journalPath = JournalPathFor(path);
    FileReadResult journal = ReadFileBytes(journalPath, MissingFile::Fail);
    if (journal.opened) {
        CallList journaled;
        DecodeJournal(journal.bytes, journaled);
        result.journaled = FoldJournal(list, journaled);
    }
    if (!result.saveAllowed || (!journal.opened && !movedAside)) {
        if (result.saveAllowed && load.Clean() && load.savedAlike) {
            result.savedFile = std::move(load.savedAlike);
            result.savedSize = load.fileSize;
        }
        return result;
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
