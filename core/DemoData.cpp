#include "core/DemoData.h"

#include "core/GeocodedAreaCodes.h"
#include "data/ListFile.h"
#include "platform/FileBytes.h"

#include <filesystem>

std::string ParseDirectoryText(std::string_view text, Directory& directory) {
    size_t lineNumber = 0;
    while (!text.empty()) {
        size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        ++lineNumber;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty() || line.front() == '#')
            continue;
        size_t tab = line.find('\t');
        if (tab == std::string_view::npos)
            return "line " + std::to_string(lineNumber) +
                   ": number and name must be separated "
                   "by a tab";
        DirectoryEntry entry;
        entry.key = std::string(line.substr(0, tab));
        std::string_view rest = line.substr(tab + 1);
        size_t secondTab = rest.find('\t');
        entry.value = std::string(rest.substr(0, secondTab));
        // Entries made by the program always carry all three texts.
        entry.speakText = secondTab == std::string_view::npos
                              ? std::string()
                              : std::string(rest.substr(secondTab + 1));
        directory.append(entry);
    }
    return "";
}

std::string SeedDemoData(const std::string& directory, std::string_view phoneBookText,
                         std::string_view msnListText, std::string_view areaCodeText) {
    namespace fs = std::filesystem;
    Directory phoneBook;
    Directory msnList;
    if (std::string error = ParseDirectoryText(phoneBookText, phoneBook); !error.empty())
        return "demo phone book, " + error;
    if (std::string error = ParseDirectoryText(msnListText, msnList); !error.empty())
        return "demo MSN list, " + error;
    fs::path dir(directory);
    if (!SaveListFile(phoneBook, (dir / "names.dat").string()))
        return "cannot write " + (dir / "names.dat").string();
    if (!SaveListFile(msnList, (dir / "msn.dat").string()))
        return "cannot write " + (dir / "msn.dat").string();
    const std::string areaCodes =
        areaCodeText.empty() ? DemoAreaCodes() : std::string(areaCodeText);
    if (!ReplaceFileAtomically((dir / "areacode.lst").string(), areaCodes))
        return "cannot write " + (dir / "areacode.lst").string();
    return "";
}

std::string DemoAreaCodes() {
    const GeocodedTable table = GeocodedAreaCodes("DE", "de");
    if (!table.error.empty())
        return DemoAreaCodeText;
    return AreaCodeFileText(table.entries);
}
