#include "core/ExportCommand.h"
#include "platform/Text.h"

#include "core/CallVerdicts.h"
#include "core/HistoryExport.h"
#include "data/ListFile.h"
#include "platform/DataDirectory.h"
#include "platform/FileBytes.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>

namespace {

// A list the export needs: a missing file is an empty list, and nothing is created.
bool LoadIfThere(CallList& list, const std::string& path, std::FILE* err) {
    std::string error;
    if (LoadListFileIfThere(list, path, error))
        return true;
    std::fprintf(err, "tavo export: %s: %s\n", path.c_str(), error.c_str());
    return false;
}

// A symbolic link named by the user is written through, its target replaced in the target's
// directory; one that leads nowhere is refused rather than replaced by a plain file.
bool DanglingLink(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_symlink(path, ec) && !std::filesystem::exists(path, ec);
}

int ExportToStream(const CallList& calls, const Directory& msnList, const Directory& phoneBook,
                   const AreaCodeTable& areaCodes, const CallVerdicts* verdicts,
                   const CommandLine& options, std::FILE* out, std::FILE* err) {
    errno = 0;
    const int64_t written = ExportHistory(calls, msnList, phoneBook, areaCodes,
                                          ExportRangeOf(options.exportFrom, options.exportTo),
                                          options.exportFormat, out, verdicts);
    if (written >= 0)
        return 0;
    const int error = errno;
    std::fprintf(err, "tavo export: cannot write to standard output: %s\n",
                 (error != 0 ? ErrorText(error) : std::string("write error")).c_str());
    return 1;
}

} // namespace

int RunExport(const CommandLine& options, const std::string& dataDirectory, std::FILE* out,
              std::FILE* err) {
    CallList calls;
    Directory msnList;
    Directory phoneBook;
    if (!LoadIfThere(calls, dataDirectory + "/caller.his", err) ||
        !LoadIfThere(msnList, dataDirectory + "/msn.dat", err) ||
        !LoadIfThere(phoneBook, dataDirectory + "/names.dat", err))
        return 1;
    AreaCodeTable areaCodes;
    if (const FileReadResult table =
            ReadFileBytes(dataDirectory + "/areacode.lst", MissingFile::Fail);
        table.opened)
        areaCodes.AddAreaCodes(table.bytes);
    // The rule column only for users who screen calls by rules: other exports stay as they
    // were. Read without mending, as the monitor may be appending to it right now.
    CallVerdicts verdicts;
    const std::string verdictsPath = dataDirectory + "/" + CallVerdicts::FileName;
    std::error_code ec;
    const bool withRules = std::filesystem::exists(verdictsPath, ec);
    if (std::string error; withRules && !verdicts.Load(verdictsPath, error, false)) {
        std::fprintf(err, "tavo export: %s: %s\n", verdictsPath.c_str(), error.c_str());
        return 1;
    }
    const CallVerdicts* const rules = withRules ? &verdicts : nullptr;

    if (options.exportFile == "-")
        return ExportToStream(calls, msnList, phoneBook, areaCodes, rules, options, out, err);

    const std::string& path = options.exportFile;
    if (DanglingLink(path)) {
        std::fprintf(err,
                     "tavo export: %s is a symbolic link to a file that does not exist; name the "
                     "file itself\n",
                     path.c_str());
        return 1;
    }
    // As every save of the program: a new file of a unique name, opened exclusively, renamed
    // over the target when complete, so a failed export leaves no half file and nothing planted
    // beside the target is written through.
    AtomicFileReplacement file(path);
    const int64_t written = ExportHistory(
        calls, msnList, phoneBook, areaCodes, ExportRangeOf(options.exportFrom, options.exportTo),
        options.exportFormat, [&file](std::string_view bytes) { return file.Write(bytes); },
        rules);
    std::string error;
    if (!file.Commit(&error) || written < 0) {
        // The error names the file.
        std::fprintf(err, "tavo export: cannot write %s\n",
                     error.empty() ? path.c_str() : error.c_str());
        return 1;
    }
    std::fprintf(err, "tavo export: %lld calls written to %s\n", static_cast<long long>(written),
                 path.c_str());
    return 0;
}

int RunExportCommand(const CommandLine& options) {
    const DataDirectoryChoice dir = ChooseDataDirectory(options.dataDir);
    if (dir.path.empty()) {
        std::fprintf(stderr, "tavo export: %s\n", dir.error.c_str());
        return 1;
    }
    // A reader that goes away (`tavo export - | head`) is a write error to report, not a signal
    // that ends the process without a word.
    std::signal(SIGPIPE, SIG_IGN);
    return RunExport(options, dir.path, stdout, stderr);
}
