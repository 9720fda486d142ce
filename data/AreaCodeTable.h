#pragma once
// Area codes from "areacode.lst" in file order; a number finds the first code it begins with.

#include <list>
#include <string>
#include <string_view>

struct AreaCodeEntry {
    std::string areaCode;
    std::string placeName;
};

class AreaCodeTable {
public:
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
    std::list<AreaCodeEntry> entries;
};
