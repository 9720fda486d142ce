#pragma once
// Area codes from "areacode.lst" in file order; a number finds the first code it begins with.

#include <cstddef>
#include <list>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

struct AreaCodeEntry {
    std::string areaCode;
    std::string placeName;
};

class AreaCodeTable {
public:
    AreaCodeTable() = default;
    // A copy indexes its own entries; a move keeps the nodes the index points into.
    AreaCodeTable(const AreaCodeTable& other);
    AreaCodeTable& operator=(const AreaCodeTable& other);
    AreaCodeTable(AreaCodeTable&&) = default;
    AreaCodeTable& operator=(AreaCodeTable&&) = default;

    // Appends the entries of the file (default: "areacode.lst" in the current directory);
    // a missing file is created empty.
    void LoadAreaCodes(const std::string& fileName = "areacode.lst");
    // Appends the entries of a file's bytes, as LoadAreaCodes does after opening it.
    void AddAreaCodes(std::string_view fileBytes);
    const AreaCodeEntry* FindAreaCode(const std::string& number) const;
    void ClearAreaCodes();

    size_t size() const { return entries.size(); }
    std::list<AreaCodeEntry>::const_iterator begin() const { return entries.begin(); }
    std::list<AreaCodeEntry>::const_iterator end() const { return entries.end(); }

private:
    void IndexEntry(const AreaCodeEntry& entry);

    // List nodes never move, so the index may point into them.
    std::list<AreaCodeEntry> entries;
    // The first entry in file order for each code, with its position; the distinct code lengths
    // in ascending order. A lookup tries only the number's prefixes of those lengths.
    struct FirstEntry {
        size_t position;
        const AreaCodeEntry* entry;
    };
    std::unordered_map<std::string_view, FirstEntry> firstByCode;
    std::vector<size_t> codeLengths;
};
