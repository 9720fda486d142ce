// Any bytes as "areacode.lst", then lookups with numbers taken from the same bytes.
#include "data/AreaCodeTable.h"

#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    AreaCodeTable table;
    table.AddAreaCodes(bytes);
    for (const AreaCodeEntry& entry : table) {
        // Pieces are at most 1,023 characters, tab included, and codes hold no tab.
        if (entry.areaCode.size() + entry.placeName.size() >= 1023 ||
            entry.areaCode.find('\t') != std::string::npos)
            std::abort();
        const AreaCodeEntry* found = table.FindAreaCode(entry.areaCode + "1");
        if (found == nullptr || !(entry.areaCode + "1").starts_with(found->areaCode))
            std::abort();
    }
    table.FindAreaCode(bytes.substr(0, 40));
    table.ClearAreaCodes();
    if (table.size() != 0)
        std::abort();
    return 0;
}
