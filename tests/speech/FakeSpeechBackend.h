#pragma once
// A scripted synthesizer: a fixed voice list and a record of every queued utterance. Queued
// utterances stay pending until the test finishes them, which shows that callers never wait.

#include "speech/SpeechBackend.h"

#include <future>
#include <optional>
#include <vector>

class FakeSpeechBackend : public SpeechBackend {
public:
    bool startable = true;
    bool outputReady = true;
    std::vector<SpeechVoice> voices;
    struct Queued {
        Utterance utterance;
        std::shared_ptr<SpeechSink> sink;
        std::shared_ptr<std::promise<bool>> done;
    };
    std::vector<Queued> queued;
    // When set, every utterance ends at once with this result; a sink gets three samples first.
    std::optional<bool> answer;

    bool Start() override { return startable; }
    std::vector<SpeechVoice> Voices() override {
        return startable ? voices : std::vector<SpeechVoice>{};
    }
    bool OutputReady() override { return outputReady; }
    SpeechRange SpeedRange() const override { return {80, 450, 175}; }
    SpeechRange PitchRange() const override { return {0, 100, 50}; }
    SpeechRange VolumeRange() const override { return {0, 100, 100}; }
    std::shared_future<bool> Queue(Utterance utterance, std::shared_ptr<SpeechSink> sink) override {
        auto done = std::make_shared<std::promise<bool>>();
        std::shared_future<bool> result = done->get_future().share();
        if (answer) {
            if (sink && *answer) {
                const int16_t samples[] = {1, 2, 3};
                sink->Begin(8000);
                sink->Write(samples);
                sink->Finish();
            }
            done->set_value(*answer);
        }
        queued.push_back({std::move(utterance), std::move(sink), done});
        return result;
    }

    static SpeechVoice Voice(std::string identifier, std::string name, std::string language,
                             bool anyWord = true) {
        return {std::move(identifier), std::move(name), {{std::move(language), 5}}, anyWord};
    }
};
