#pragma once
// The plain rules behind the options pages: how typed texts become stored values.

#include "platform/Text.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>

// An integer as the dialog's data exchange accepts it: blanks around it, an optional sign and
// at least one digit, nothing else, and within 32 bits. Absent otherwise.
std::optional<int32_t> ParseDialogInteger(const std::string& text);

// Checks the display time box. Absent when `text` is a whole number from 0 to 10 (stored in
// `seconds`), else the message to show.
std::optional<std::string> CheckDisplaySeconds(const std::string& text, int32_t& seconds);

// The font label: whole points, a full stop and the face, e.g. "24.Arial" for 240 and "Arial".
std::string FontLabelText(int32_t fontSizeTenths, const std::string& faceName);

// The port as typed: only its first 9 characters count; leading blanks and a sign are allowed,
// then digits up to the first other character. No digits give 0.
int32_t ParsePortText(const std::string& text);

// Copies `text` into a fixed text field, cut to the field's width so a terminator always fits.
// The rest of the field is cleared, so no earlier text lingers behind the terminator.
template <size_t N> void StoreText(char (&field)[N], const std::string& text) {
    const size_t length = text.size() < N - 1 ? text.size() : N - 1;
    std::memcpy(field, text.data(), length);
    std::memset(field + length, 0, N - length);
}


