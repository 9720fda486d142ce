#pragma once
// The 16-byte identifier of one speech mode (one installed voice), as the settings store it.

#include <array>
#include <cstdint>
#include <string_view>

using SpeechModeId = std::array<uint8_t, 16>;

// A name-based (SHA-1, version 5) UUID of the voice's identifier, laid out like a Windows GUID
// (first three fields little-endian). The same voice gives the same bytes on every machine, so
// a stored choice finds its voice again after a restart or a move to another computer.
SpeechModeId ModeIdForVoice(std::string_view voiceIdentifier);

// True when every byte is zero: the "never chosen" identifier.
bool IsNullModeId(const SpeechModeId& id);
