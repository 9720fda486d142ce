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

void AppendUtf8(std::string& text, uint32_t codePoint) {
    if (codePoint < 0x80) {
        text += char(codePoint);
    } else if (codePoint < 0x800) {
        text += char(0xC0 | (codePoint >> 6));
        text += char(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        text += char(0xE0 | (codePoint >> 12));
        text += char(0x80 | ((codePoint >> 6) & 0x3F));
        text += char(0x80 | (codePoint & 0x3F));
    } else {
        text += char(0xF0 | (codePoint >> 18));
        text += char(0x80 | ((codePoint >> 12) & 0x3F));
        text += char(0x80 | ((codePoint >> 6) & 0x3F));
        text += char(0x80 | (codePoint & 0x3F));
    }
}

// UTF-16 behind its byte order mark to UTF-8; false at an odd length or a lone surrogate.
bool Utf16ToUtf8(std::string_view bytes, bool bigEndian, std::string& utf8) {
    if (bytes.size() % 2 != 0)
        return false;
    const auto unit = [&](size_t i) {
        const auto a = static_cast<unsigned char>(bytes[i]);
        const auto b = static_cast<unsigned char>(bytes[i + 1]);
        return bigEndian ? uint32_t(a << 8 | b) : uint32_t(b << 8 | a);
    };
    utf8.clear();
    utf8.reserve(bytes.size() / 2);
    for (size_t i = 0; i < bytes.size(); i += 2) {
        uint32_t codePoint = unit(i);
        if (codePoint >= 0xDC00 && codePoint <= 0xDFFF)
            return false;
        if (codePoint >= 0xD800 && codePoint <= 0xDBFF) {
            if (i + 2 >= bytes.size())
                return false;
            const uint32_t low = unit(i + 2);
            if (low < 0xDC00 || low > 0xDFFF)
                return false;
            codePoint = 0x10000 + ((codePoint - 0xD800) << 10) + (low - 0xDC00);
            i += 2;
        }
        AppendUtf8(utf8, codePoint);
    }
    return true;
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

bool AddressBookText(std::string& bytes, std::string& error) {
    const std::string_view view = bytes;
    const bool little = view.starts_with("\xFF\xFE");
    if (little || view.starts_with("\xFE\xFF")) {
        std::string utf8;
        if (!Utf16ToUtf8(view.substr(2), !little, utf8)) {
            error =
                little ? "broken UTF-16 (little-endian) text" : "broken UTF-16 (big-endian) text";
            return false;
        }
        bytes = std::move(utf8);
    } else if (view.find('\0') != std::string_view::npos) {
        error = "holds zero bytes: UTF-16 without a byte order mark, or not text; save it as "
                "UTF-8";
        return false;
    }
    if (bytes.find('\r') != std::string::npos && bytes.find('\n') == std::string::npos)
        for (char& c : bytes)
            if (c == '\r')
                c = '\n';
    return true;
}
