#pragma once
// The small phone book, MSN list and area-code table a demo run starts with, so the sample calls
// show names, area-code splits and unknown callers without touching anybody's own data.

#include "data/CallList.h"

#include <string>
#include <string_view>

// The text sources, built into the program from the files in demo/.
extern const char* const DemoPhoneBookText;
extern const char* const DemoMsnListText;
extern const char* const DemoAreaCodeText;

// One entry a line: number, tab, name, and optionally tab and speak text. Blank lines and lines
// starting with '#' are skipped; a line without a tab is an error. Entries are appended to
// `directory`. Returns an empty text, or the first error with its line number.
std::string ParseDirectoryText(std::string_view text, Directory& directory);

// Writes "names.dat", "msn.dat" and "areacode.lst" into `directory` from the given sources
// with the program's own list code; without an area-code text, DemoAreaCodes(). Returns an empty
// text, or what went wrong.
std::string SeedDemoData(const std::string& directory,
                         std::string_view phoneBookText = DemoPhoneBookText,
                         std::string_view msnListText = DemoMsnListText,
                         std::string_view areaCodeText = {});

// The demo's area-code table: the German table from the geocoding data (the demo's numbers are
// German), or the small built-in one when that data gives none.
std::string DemoAreaCodes();
