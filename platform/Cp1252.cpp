#include "platform/Cp1252.h"

#include <array>

namespace {

// 0x80..0x9F; every other byte is the Latin-1 character of the same number.
constexpr std::array<char32_t, 32> HighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

// The next character of `utf8` from `at`, which it advances; U+FFFD for a malformed sequence.
char32_t NextCharacter(std::string_view utf8, size_t& at) {
    const auto lead = static_cast<unsigned char>(utf8[at++]);
    if (lead < 0x80)
        return lead;
    int extra = 0;
    char32_t c = 0;
    char32_t least = 0;
    if ((lead & 0xE0) == 0xC0) {
        extra = 1, c = lead & 0x1F, least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2, c = lead & 0x0F, least = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3, c = lead & 0x07, least = 0x10000;
    } else {
        return 0xFFFD;
    }
    for (; extra > 0; --extra) {
        if (at >= utf8.size() || (static_cast<unsigned char>(utf8[at]) & 0xC0) != 0x80)
            return 0xFFFD;
        c = (c << 6) | (static_cast<unsigned char>(utf8[at++]) & 0x3F);
    }
    if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        return 0xFFFD;
    return c;
}

} // namespace

char32_t Cp1252Character(unsigned char byte) {
    return byte >= 0x80 && byte <= 0x9F ? HighControls[byte - 0x80] : char32_t(byte);
}

std::optional<unsigned char> Cp1252Byte(char32_t character) {
    if (character < 0x80 || (character >= 0xA0 && character <= 0xFF))
        return static_cast<unsigned char>(character);
    for (size_t i = 0; i < HighControls.size(); ++i)
        if (HighControls[i] == character)
            return static_cast<unsigned char>(0x80 + i);
    return std::nullopt;
}

std::string Cp1252ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (char byte : bytes)
        AppendUtf8(out, Cp1252Character(static_cast<unsigned char>(byte)));
    return out;
}

Cp1252Encoding Utf8ToCp1252(std::string_view utf8) {
    Cp1252Encoding result;
    result.bytes.reserve(utf8.size());
    for (size_t at = 0; at < utf8.size();) {
        const char32_t c = NextCharacter(utf8, at);
        if (const std::optional<unsigned char> byte = Cp1252Byte(c))
            result.bytes += char(*byte);
        else
            result.refused += c;
    }
    if (!result.refused.empty())
        result.bytes.clear();
    return result;
}
