#pragma once
// What a speech engine object needs from the synthesizer underneath: the installed voices, the
// value ranges, and a queue that speaks one utterance after the other without making the caller
// wait. The product uses the espeak-ng backend; tests may put their own behind this interface.

#include "speech/SpeechSink.h"

#include <future>
#include <memory>
#include <string>
#include <vector>

struct SpeechVoice {
    std::string identifier; // stable name of the voice, the source of its mode identifier
    std::string name;       // display name
    // Language tags with their preference (lower is preferred), e.g. {"en-gb", 2}.
    std::vector<std::pair<std::string, int>> languages;
    bool anyWord = true; // false for a voice that can only speak a fixed vocabulary
};

struct SpeechRange {
    int min = 0;
    int max = 0;
    int normal = 0; // what a freshly selected voice starts with
};

struct Utterance {
    std::string voice; // SpeechVoice::identifier
    int speed = 0;
    int pitch = 0;
    int volume = 0;     // within VolumeRange()
    std::string markup; // SpeechTextToSsml output
};

class SpeechBackend {
public:
    virtual ~SpeechBackend() = default;
    // Starts the synthesizer if needed; false when there is none (no engine, no data).
    virtual bool Start() = 0;
    // The installed voices in the synthesizer's own order; empty before a successful Start.
    virtual std::vector<SpeechVoice> Voices() = 0;
    // Whether utterances can be taken at all (the output side exists).
    virtual bool OutputReady() = 0;
    virtual SpeechRange SpeedRange() const = 0;
    virtual SpeechRange PitchRange() const = 0;
    virtual SpeechRange VolumeRange() const = 0;
    // Queues the utterance and returns at once. Without a sink it is played on the audio device;
    // with one its samples go to the sink. The future tells whether it was spoken in full.
    virtual std::shared_future<bool> Queue(Utterance utterance,
                                           std::shared_ptr<SpeechSink> sink) = 0;
};

// The process's one espeak-ng backend (espeak-ng is a process-wide library with one owner).
std::shared_ptr<SpeechBackend> SharedSpeechBackend();
