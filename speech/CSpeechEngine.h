#pragma once
// One speech engine object: the table of installed voices (the modes), the selected voice, and
// its speed, pitch and volume. Speak queues the text on the speech worker and returns at once.
// Failures are kept in lastError and never shown; without a selected voice every operation is
// harmless.

#include "speech/SpeechBackend.h"
#include "speech/SpeechModeId.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <future>
#include <memory>
#include <optional>
#include <string>

class CSpeechEngine {
public:
    static constexpr int MaxModes = 50;

    // On the process's espeak-ng backend.
    CSpeechEngine();
    explicit CSpeechEngine(std::shared_ptr<SpeechBackend> backend);
    virtual ~CSpeechEngine();
    CSpeechEngine(const CSpeechEngine&) = delete;
    CSpeechEngine& operator=(const CSpeechEngine&) = delete;

    // Drops any voice and connects to the synthesizer; always true, a failure is in lastError.
    bool CreateEnumerator();
    // Fills the mode table (at most MaxModes voices, the user's language first); true when at
    // least one voice was found.
    bool EnumerateModes();
    // Switches to the voice with this identifier. An identifier not in the table changes nothing.
    bool SelectMode(const SpeechModeId& id);
    // Queues the text (with "\Pau=N\" pause tags) for the audio device; always true.
    bool Speak(const std::string& text);
    // Like Speak, but the audio goes to the sink instead of the device.
    bool SpeakTo(const std::string& text, std::shared_ptr<SpeechSink> sink);

    enum class Outcome { Spoken, NotSpoken, TimedOut };
    // Waits for the last text this object queued: spoken in full, dropped or failed, or still
    // going when the time is up. Spoken when nothing was queued.
    Outcome WaitUntilDone(std::chrono::milliseconds timeout);

    std::string GetModeName(int index) const;
    SpeechModeId GetModeId(int index) const;
    SpeechModeId GetSelectedModeId() const { return selectedModeId; }

    bool SetPitch(int value);
    int GetPitch() const;
    int GetMinPitch();
    int GetMaxPitch();
    bool SetSpeed(int value);
    int GetSpeed() const;
    int GetMinSpeed();
    int GetMaxSpeed();
    bool SetVolume(int percent);
    // The volume in the synthesizer's units; -1 without a selected voice.
    int GetVolume() const;

    // Gives up the voice and the connection to the synthesizer; texts already queued still play.
    void ReleaseEngine();

    std::string lastError;
    std::array<SpeechModeId, MaxModes> modeIds{};
    std::array<std::string, MaxModes> modeNames;
    int lastModeIndex = -1;
    SpeechModeId selectedModeId{};

private:
    std::shared_ptr<SpeechBackend> backend;
    bool connected = false;                       // the enumerator
    std::array<std::string, MaxModes> modeVoices; // voice identifier behind each mode
    std::optional<std::string> voice;             // the selected voice ("the engine")
    int speed = 0;
    int pitch = 0;
    int volume = -1; // none yet: the first voice starts at the synthesizer's normal volume
    std::optional<std::shared_future<bool>> lastQueued;
};

// 0..100 percent to the 16-bit volume value: x = percent / 100 * 255 truncated, then x * 257.
// Percentages outside 0..100 are taken as the nearest end.
uint32_t VolumeValueForPercent(int percent);
// The 16-bit volume value mapped linearly onto 0..maxVolume, rounded.
int EngineVolumeForValue(uint32_t value, int maxVolume);

// Failure texts kept in lastError.
inline constexpr const char* NoEnumeratorError = "Error creating TTSEnumerator (CoCreateInstance)";
inline constexpr const char* NoAudioDestError = "Error creating AudioDest Object(CoCreateInstance)";
// Appended to the name of a voice that cannot speak arbitrary text.
inline constexpr const char* SpecificWordsSuffix = " (Can only speak specific words!)";
