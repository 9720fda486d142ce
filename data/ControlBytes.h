#pragma once
// Texts that reach a terminal or a line-based text file ("caller.txt", a telnet client, the
// import preview) come from the line and from address books, which anyone can fill. A control
// byte there could start a forged line (CR LF) or drive the terminal (ESC sequences).

#include <string>
#include <string_view>

// The byte that stands in for a control byte.
inline constexpr char ControlByteReplacement = '?';

// True for the bytes below 0x20 and 0x7F (DEL).
constexpr bool IsControlByte(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
}

// `text` with every control byte replaced by ControlByteReplacement; all other bytes (8-bit
// characters included) as they are, so the text keeps its length.
std::string ReplaceControlBytes(std::string_view text);
