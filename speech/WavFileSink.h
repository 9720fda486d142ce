#pragma once
// A speech sink that writes one utterance as a WAV file (PCM, 16-bit, mono).

#include "speech/SpeechSink.h"

#include <cstdio>
#include <string>

class WavFileSink final : public SpeechSink {
public:
    // Creates (or replaces) the file at once, so that a path that cannot be written is known
    // before anything is synthesized.
    explicit WavFileSink(std::string path);
    ~WavFileSink() override;
    WavFileSink(const WavFileSink&) = delete;
    WavFileSink& operator=(const WavFileSink&) = delete;

    // False when the file could not be created.
    bool IsOpen() const { return opened; }
    // Empty while all is well; otherwise what went wrong, for the user.
    const std::string& Error() const { return error; }

    bool Begin(int sampleRate) override;
    bool Write(std::span<const int16_t> samples) override;
    bool Finish() override;

private:
    bool WriteHeader();
    void Fail(const std::string& what);

    std::string path;
    std::FILE* file = nullptr;
    std::string error;
    int rate = 22050;
    uint32_t dataBytes = 0;
    bool finished = false;
    bool opened = false;
};
