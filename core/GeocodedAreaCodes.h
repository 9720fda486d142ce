#pragma once
// A first area-code table for a country, from libphonenumber's geocoding data: each code in
// national form with the trunk prefix, with its place name, in the order the first match wins
// (a longer code before every shorter code it begins with).

#include "data/AreaCodeTable.h"

#include <string>
#include <vector>

struct GeocodedTable {
    std::vector<AreaCodeEntry> entries; // place names as stored texts (8-bit)
    std::string language;               // the language of the place names
    std::string error;                  // why there is no table
};

// `language` is tried first ("de"), then English, then any language the data has.
GeocodedTable GeocodedAreaCodes(const std::string& country, const std::string& language);

// Sorted so that a code comes before the codes it begins with, else in ascending order.
void OrderForFirstMatch(std::vector<AreaCodeEntry>& entries);

// The file text of "areacode.lst": code, tab, place, CR LF.
std::string AreaCodeFileText(const std::vector<AreaCodeEntry>& entries);

// The language of the user's locale ("de" for de_DE.UTF-8), "en" when there is none.
std::string LocaleLanguage();
