#include "gui/options/COptionValues.h"

#include <QtGlobal>

#include <limits>

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

} // namespace

std::optional<int32_t> ParseDialogInteger(const std::string& text) {
    size_t at = 0;
    while (at < text.size() && IsBlank(text[at]))
        ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-'))
        negative = text[at++] == '-';
    const size_t firstDigit = at;
    int64_t value = 0;
    for (; at < text.size() && IsDigit(text[at]); ++at) {
        value = value * 10 + (text[at] - '0');
        if (value > int64_t(std::numeric_limits<int32_t>::max()) + 1)
            return std::nullopt;
    }
    if (at == firstDigit)
        return std::nullopt;
    while (at < text.size() && IsBlank(text[at]))
        ++at;
    if (at != text.size())
        return std::nullopt;
    if (negative)
        value = -value;
    if (value > std::numeric_limits<int32_t>::max())
        return std::nullopt;
    return int32_t(value);
}

std::optional<std::string> CheckDisplaySeconds(const std::string& text, int32_t& seconds) {
    const std::optional<int32_t> value = ParseDialogInteger(text);
    if (!value)
        return std::string(QT_TRANSLATE_NOOP("COptionMain", "Please enter an integer."));
    if (*value < 0 || *value > 10)
        return std::string(
            QT_TRANSLATE_NOOP("COptionMain", "Please enter an integer between 0 and 10."));
    seconds = *value;
    return std::nullopt;
}

std::string FontLabelText(int32_t fontSizeTenths, const std::string& faceName) {
    return std::to_string(fontSizeTenths / 10) + "." + faceName;
}

int32_t ParsePortText(const std::string& text) {
    const std::string head = text.substr(0, 9);
    size_t at = 0;
    while (at < head.size() && IsBlank(head[at]))
        ++at;
    bool negative = false;
    if (at < head.size() && (head[at] == '+' || head[at] == '-'))
        negative = head[at++] == '-';
    int32_t value = 0; // at most 9 digits: never beyond 32 bits
    for (; at < head.size() && IsDigit(head[at]); ++at)
        value = value * 10 + (head[at] - '0');
    return negative ? -value : value;
}
