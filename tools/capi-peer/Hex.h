#pragma once
// Hexadecimal text for message bytes, the way the peer prints and reads them.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

using Bytes = std::vector<uint8_t>;

// "02 83 0A": upper-case digit pairs separated by single blanks; empty input gives "".
std::string FormatHex(const Bytes& bytes);

// Reads digit pairs; blanks between pairs are allowed but never inside one. nullopt when any
// other character appears or a digit is left over.
std::optional<Bytes> ParseHex(std::string_view text);
