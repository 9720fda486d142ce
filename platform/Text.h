#pragma once
// Small text helpers every folder uses: one copy each.

#include <cstring>
#include <string>
#include <string_view>

// `text` without the leading and trailing bytes found in `blanks` (by default the C locale's
// white space: space, tab, line feed, vertical tab, form feed, carriage return).
std::string_view Trim(std::string_view text, std::string_view blanks = " \t\n\v\f\r");

// Equal when the bytes are, with ASCII letters compared regardless of case; bytes beyond ASCII
// (Windows-1252 letters, UTF-8) must match exactly.
bool EqualIgnoringCase(std::string_view a, std::string_view b);

// The text of a fixed-size field up to its terminator, or its whole size should it lack one.
template <size_t N> std::string FieldText(const char (&field)[N]) {
    return std::string(field, strnlen(field, N));
}

// The directory that holds `path`: "." for a bare name, "/" for a name in the root.
std::string DirectoryOf(const std::string& path);

// What the C library says of an errno value, safely from any thread (strerror shares a buffer).
std::string ErrorText(int error);
