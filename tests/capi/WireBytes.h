#pragma once
// Wire messages written out as hex text, the way the documents show them.

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

inline std::vector<uint8_t> Hex(const std::string& text) {
    std::vector<uint8_t> bytes;
    std::istringstream in(text);
    std::string octet;
    while (in >> octet)
        bytes.push_back(static_cast<uint8_t>(std::stoul(octet, nullptr, 16)));
    return bytes;
}
