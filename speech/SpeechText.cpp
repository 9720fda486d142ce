#include "speech/SpeechText.h"

#include <algorithm>
#include <cctype>

namespace {

bool StartsWithPauseName(std::string_view text) {
    constexpr std::string_view name = "\\pau=";
    if (text.size() < name.size())
        return false;
    for (size_t i = 0; i < name.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) != name[i])
            return false;
    }
    return true;
}

// Length of a complete pause tag at the start of text, 0 when there is none; the pause goes to
// milliseconds.
size_t PauseTagLength(std::string_view text, int& milliseconds) {
    if (!StartsWithPauseName(text))
        return 0;
    size_t pos = 5;
    long value = 0;
    const size_t firstDigit = pos;
    while (pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos]))) {
        value = std::min<long>(value * 10 + (text[pos] - '0'), MaxPauseMilliseconds);
        ++pos;
    }
    if (pos == firstDigit || pos >= text.size() || text[pos] != '\\')
        return 0;
    milliseconds = static_cast<int>(value);
    return pos + 1;
}

void AppendEscaped(std::string& out, char c) {
    switch (c) {
    case '&':
        out += "&amp;";
        break;
    case '<':
        out += "&lt;";
        break;
    case '>':
        out += "&gt;";
        break;
    case '"':
        out += "&quot;";
        break;
    case '\'':
        out += "&apos;";
        break;
    case '\0':
        out += ' ';
        break;
    default:
        out += c;
    }
}

} // namespace

std::string SpeechTextToSsml(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 16);
    size_t pos = 0;
    while (pos < text.size()) {
        int milliseconds = 0;
        if (text[pos] == '\\') {
            if (const size_t length = PauseTagLength(text.substr(pos), milliseconds)) {
                out += "<break time=\"" + std::to_string(milliseconds) + "ms\"/>";
                pos += length;
                continue;
            }
        }
        AppendEscaped(out, text[pos]);
        ++pos;
    }
    return out;
}
