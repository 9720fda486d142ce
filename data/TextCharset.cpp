#include "data/TextCharset.h"

#include "platform/Cp1252.h"

#include <cstdint>

namespace {

// The code point at `i` and its length in bytes; length 0 when the bytes there are not UTF-8.
size_t DecodeOne(std::string_view text, size_t i, uint32_t& codePoint) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    size_t length = lead < 0x80           ? 1
                    : (lead >> 5) == 0x6  ? 2
                    : (lead >> 4) == 0xE  ? 3
                    : (lead >> 3) == 0x1E ? 4
                                          : 0;
    if (length == 0 || i + length > text.size())
        return 0;
    codePoint = length == 1 ? lead : lead & (0x7F >> length);
    for (size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80)
            return 0;
        codePoint = (codePoint << 6) | (byte(i + k) & 0x3F);
    }
    // Overlong forms and surrogates are not UTF-8.
    static const uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (codePoint < smallest[length] || codePoint > 0x10FFFF ||
        (codePoint >= 0xD800 && codePoint <= 0xDFFF))
        return 0;
    return length;
}

} // namespace

bool IsUtf8(std::string_view text) {
    uint32_t codePoint = 0;
    for (size_t i = 0; i < text.size();) {
        const size_t length = DecodeOne(text, i, codePoint);
        if (length == 0)
            return false;
        i += length;
    }
    return true;
}

std::string ToStoredText(std::string_view text, std::u32string* replaced) {
    if (!IsUtf8(text))
        return std::string(text);
    std::string stored;
    uint32_t codePoint = 0;
    for (size_t i = 0; i < text.size();) {
        const size_t length = DecodeOne(text, i, codePoint);
        if (const auto byte = Cp1252Byte(char32_t(codePoint))) {
            stored += char(*byte);
        } else {
            stored += '?';
            if (replaced != nullptr)
                replaced->push_back(char32_t(codePoint));
        }
        i += length;
    }
    return stored;
}

std::string StoredTextToUtf8(std::string_view text) {
    return Cp1252ToUtf8(text);
}
