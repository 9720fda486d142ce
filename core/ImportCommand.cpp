#include "core/ImportCommand.h"

#include "core/ImportPreview.h"
#include "core/PhoneNumbers.h"
#include "core/UserCountry.h"
#include "data/ListFile.h"
#include "platform/DataDirectory.h"

#include <unistd.h>

#include <cctype>
#include <filesystem>
#include <system_error>

namespace {

bool AnsweredYes(std::FILE* in) {
    char answer[64];
    if (std::fgets(answer, sizeof answer, in) == nullptr)
        return false;
    const char first = char(std::tolower(static_cast<unsigned char>(answer[0])));
    return first == 'y' || first == 'j';
}

} // namespace

int RunImport(const CommandLine& options, const std::string& dataDirectory, std::FILE* in,
              bool interactive, std::FILE* out, std::FILE* err) {
    const CountryChoice country = ChooseCountry(options.country);
    if (!country.error.empty()) {
        std::fprintf(err, "tavo import: %s\n", country.error.c_str());
        return 2;
    }
    const std::string namesFile = dataDirectory + "/names.dat";
    Directory phoneBook;
    std::error_code ec;
    if (std::filesystem::exists(namesFile, ec)) {
        // Saving over a file that was read only in part would lose the rest of it.
        const ListFileLoad load = LoadListFile(phoneBook, namesFile);
        if (!load.Clean()) {
            std::fprintf(err, "tavo import: %s: %s\n", namesFile.c_str(),
                         load.opened ? "could not be read to its end; it is left as it is"
                                     : load.error.c_str());
            return 1;
        }
    }
    std::vector<ContactFile> files;
    for (const std::string& path : options.importFiles)
        files.push_back(ReadContactFile(path));
    const std::string region = country.country;
    const ImportPreview preview =
        BuildImportPreview(files, phoneBook, [&](const std::string& written) {
            return NumberAsLineDelivers(written, region);
        });
    std::fprintf(out, "Numbers as the line delivers them in %s (from %s).\n", region.c_str(),
                 country.from.c_str());
    std::fputs(ImportPreviewText(preview).c_str(), out);
    if (preview.added.empty()) {
        std::fprintf(out, "\nNothing to add; %s is left as it is.\n", namesFile.c_str());
        return 0;
    }
    if (!options.yes) {
        if (!interactive) {
            std::fprintf(err, "tavo import: nothing written; confirm with --yes\n");
            return 1;
        }
        std::fprintf(out, "\nAdd %zu entries to %s? [y/N] ", preview.added.size(),
                     namesFile.c_str());
        std::fflush(out);
        if (!AnsweredYes(in)) {
            std::fprintf(out, "Nothing written.\n");
            return 1;
        }
    }
    ApplyImport(preview, phoneBook);
    if (!SaveListFile(phoneBook, namesFile)) {
        std::fprintf(err, "tavo import: cannot write %s; it is left as it was\n",
                     namesFile.c_str());
        return 1;
    }
    std::fprintf(out, "%zu entries added to %s (a running monitor sees them after a restart).\n",
                 preview.added.size(), namesFile.c_str());
    return 0;
}

int RunImportCommand(const CommandLine& options) {
    const DataDirectoryChoice dir = ChooseDataDirectory(options.dataDir);
    if (dir.path.empty()) {
        std::fprintf(stderr, "tavo import: %s\n", dir.error.c_str());
        return 1;
    }
    // The files named on the command line are relative to where the command was started, so the
    // data directory is made, not entered.
    std::error_code ec;
    std::filesystem::create_directories(dir.path, ec);
    if (ec) {
        std::fprintf(stderr, "tavo import: %s: %s\n", dir.path.c_str(), ec.message().c_str());
        return 1;
    }
    return RunImport(options, dir.path, stdin, ::isatty(STDIN_FILENO) != 0, stdout, stderr);
}
