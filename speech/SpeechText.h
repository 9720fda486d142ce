#pragma once
// From the text handed to Speak to the markup the synthesizer reads.

#include <string>
#include <string_view>

// Longest pause a tag may ask for; a larger number is cut to this so that a stray tag cannot
// keep the speech worker silent for minutes.
inline constexpr int MaxPauseMilliseconds = 10000;

// The pause tag "\Pau=N\" (N decimal milliseconds, the tag name in any case) becomes
// <break time="Nms"/>. Everything else is spoken as text: the characters that mean something to
// the markup (& < > " ') are escaped, and zero bytes, which would cut the text short, become
// blanks. A backslash that does not start a complete pause tag is ordinary text.
std::string SpeechTextToSsml(std::string_view text);
