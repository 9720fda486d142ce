#pragma once
// Sound data and files that do not need a sound server: the generated beep melody and the
// search for a "RingIn" sound of the user's own.

#include <array>
#include <optional>
#include <span>
#include <string>

struct Tone {
    int frequencyHz;
    int milliseconds;
};

inline constexpr std::array<Tone, 4> BeepMelodyTones{
    {{500, 100}, {750, 100}, {500, 100}, {1000, 100}}};
inline constexpr int BeepMelodySampleRate = 22050;

// A mono 16-bit PCM WAV file holding the tones one after the other.
std::string MakeToneWav(std::span<const Tone> tones, int sampleRate = BeepMelodySampleRate);

// "RingIn.wav", "RingIn.oga" or "RingIn.ogg" in `directory`, the first regular file in that
// order, as a path under `directory`; nullopt when there is none.
std::optional<std::string> FindRingInFile(const std::string& directory);

// Where the generated melody is kept: $XDG_CACHE_HOME/TAVO (default ~/.cache/TAVO), else the
// temporary directory when there is no home.
std::string BeepMelodyCachePath();

// Makes sure `path` holds exactly `bytes`, writing it (through a temporary file and a rename)
// only when it is missing or different. Creates the parent directory. False on failure.
bool EnsureFileContent(const std::string& path, const std::string& bytes);
