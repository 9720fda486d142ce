#include "core/ExportCommand.h"

#include "core/HistoryExport.h"
#include "data/ListFile.h"
#include "platform/DataDirectory.h"
#include "platform/FileBytes.h"

#include <cstdio>
#include <filesystem>

namespace {

// A list the export needs: a missing file is an empty list, and nothing is created.
bool LoadIfThere(CallList& list, const std::string& path) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec))
        return true;
    std::string error;
    if (LoadExistingListFile(list, path, error))
        return true;
    std::fprintf(stderr, "tavo export: %s: %s\n", path.c_str(), error.c_str());
    return false;
}

} // namespace

int RunExportCommand(const CommandLine& options) {
    const DataDirectoryChoice dir = ChooseDataDirectory(options.dataDir);
    if (dir.path.empty()) {
        std::fprintf(stderr, "tavo export: %s\n", dir.error.c_str());
        return 1;
    }
    CallList calls;
    Directory msnList;
    Directory phoneBook;
    if (!LoadIfThere(calls, dir.path + "/caller.his") ||
        !LoadIfThere(msnList, dir.path + "/msn.dat") ||
        !LoadIfThere(phoneBook, dir.path + "/names.dat"))
        return 1;
    AreaCodeTable areaCodes;
    if (const FileReadResult table = ReadFileBytes(dir.path + "/areacode.lst", MissingFile::Fail);
        table.opened)
        areaCodes.AddAreaCodes(table.bytes);

    const bool toStdout = options.exportFile == "-";
    // Written next to the target and renamed over it, so a failed export leaves no half file.
    const std::string partPath = options.exportFile + ".part";
    std::FILE* out = toStdout ? stdout : std::fopen(partPath.c_str(), "wb");
    if (out == nullptr) {
        std::perror(("tavo export: " + partPath).c_str());
        return 1;
    }
    const int64_t written = ExportHistory(calls, msnList, phoneBook, areaCodes,
                                          ExportRangeOf(options.exportFrom, options.exportTo),
                                          options.exportFormat, out);
    if (toStdout)
        return written < 0 ? 1 : 0;
    const bool closed = std::fclose(out) == 0;
    std::error_code ec;
    if (written < 0 || !closed) {
        std::fprintf(stderr, "tavo export: cannot write %s\n", options.exportFile.c_str());
        std::filesystem::remove(partPath, ec);
        return 1;
    }
    std::filesystem::rename(partPath, options.exportFile, ec);
    if (ec) {
        std::fprintf(stderr, "tavo export: %s: %s\n", options.exportFile.c_str(),
                     ec.message().c_str());
        std::filesystem::remove(partPath, ec);
        return 1;
    }
    std::fprintf(stderr, "tavo export: %lld calls written to %s\n", static_cast<long long>(written),
                 options.exportFile.c_str());
    return 0;
}
