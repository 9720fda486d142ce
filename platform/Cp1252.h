#pragma once
// Windows-1252, the character set of every 8-bit text in the data files and the settings
// record. Each of the 256 bytes has one character: the five bytes the code page leaves unused
// stand for the control characters of the same number, so any byte string survives a round trip.

#include <optional>
#include <string>
#include <string_view>

// The character of one byte.
char32_t Cp1252Character(unsigned char byte);
// The byte of one character; absent for a character the code page cannot hold.
std::optional<unsigned char> Cp1252Byte(char32_t character);

// Bytes -> UTF-8.
std::string Cp1252ToUtf8(std::string_view bytes);

struct Cp1252Encoding {
    std::string bytes;      // valid when `refused` is empty
    std::u32string refused; // the characters the code page cannot hold, in text order
};
// UTF-8 -> bytes. A malformed UTF-8 sequence is refused as U+FFFD.
Cp1252Encoding Utf8ToCp1252(std::string_view utf8);
