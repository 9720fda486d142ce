#include "core/AreaCodesCommand.h"

#include "core/GeocodedAreaCodes.h"

#include <cstdio>

int RunAreaCodesCommand(const CommandLine& options) {
    const GeocodedTable table = GeocodedAreaCodes(options.country.value_or(""), LocaleLanguage());
    if (!table.error.empty()) {
        std::fprintf(stderr, "tavo areacodes: %s\n", table.error.c_str());
        return 1;
    }
    const std::string text = AreaCodeFileText(table.entries);
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() ||
        std::fflush(stdout) != 0) {
        std::perror("tavo areacodes: standard output");
        return 1;
    }
    return 0;
}

std::string EmptyAreaCodesNote() {
    return "tavo: the area-code table areacode.lst is empty; callers are shown without their "
           "place (a table: tavo areacodes COUNTRY > areacode.lst)";
}
