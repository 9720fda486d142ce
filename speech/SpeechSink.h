#pragma once
// Where synthesized audio goes when it is not played: 16-bit mono samples at the engine's rate.

#include <cstdint>
#include <span>

class SpeechSink {
public:
    virtual ~SpeechSink() = default;
    // Called once before the first samples of an utterance; false stops the utterance.
    virtual bool Begin(int sampleRate) = 0;
    // False stops the utterance (the sink cannot take more).
    virtual bool Write(std::span<const int16_t> samples) = 0;
    // The utterance is complete (or was stopped); true when everything reached its place.
    virtual bool Finish() = 0;
};
