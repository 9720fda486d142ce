#pragma once
// Stored texts are 8-bit characters in Windows-1252 (platform/Cp1252.h). Text brought in from UTF-8
// sources (vCards, most CSV exports, the geocoding data) is turned into that form so that it shows
// as written.

#include <string>
#include <string_view>

// True when the bytes are well-formed UTF-8 (plain ASCII is).
bool IsUtf8(std::string_view text);

// UTF-8 to Windows-1252: a character the code page cannot hold becomes '?' and is added to
// `replaced` (when given), so the caller can say so. Text that is not UTF-8 is taken to be 8-bit
// already and comes back unchanged.
std::string ToStoredText(std::string_view text, std::u32string* replaced = nullptr);

// Windows-1252 to UTF-8, for writing stored texts where UTF-8 is expected (JSON, exports).
std::string StoredTextToUtf8(std::string_view text);

// The bytes of an address book made into the text the parsers read: UTF-16 with a byte order
// mark becomes UTF-8, lines ended by CR alone (older Mac exports) end in LF. False, with `error`
// saying why, for text that cannot be read: UTF-16 that is broken or has no byte order mark
// (zero bytes in the text).
bool AddressBookText(std::string& bytes, std::string& error);
