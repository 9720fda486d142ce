#pragma once
// Stored texts are 8-bit characters shown as Latin-1. Text brought in from UTF-8 sources (vCards,
// most CSV exports, the geocoding data) is turned into that form so that it shows as written.

#include <string>
#include <string_view>

// True when the bytes are well-formed UTF-8 (plain ASCII is).
bool IsUtf8(std::string_view text);

// UTF-8 to Latin-1: characters beyond Latin-1 become '?'. Text that is not UTF-8 is taken to be
// 8-bit already and comes back unchanged.
std::string ToStoredText(std::string_view text);

// Latin-1 to UTF-8, for writing stored texts where UTF-8 is expected (JSON, exports).
std::string StoredTextToUtf8(std::string_view text);
