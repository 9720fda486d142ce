#include "speech/SpeechSettings.h"

#include <algorithm>

SpeechModeId StoredModeId(const Settings& settings) {
    SpeechModeId id{};
    std::copy(std::begin(settings.ttsModeId), std::end(settings.ttsModeId), id.begin());
    return id;
}

void ApplyStoredSpeechSettings(CSpeechEngine& engine, const Settings& settings) {
    if (engine.SelectMode(StoredModeId(settings))) {
        engine.SetSpeed(settings.ttsSpeed);
        engine.SetPitch(settings.ttsPitch);
    } else {
        engine.SelectMode(engine.GetModeId(0));
    }
    engine.SetVolume(settings.ttsVolume);
}

void ApplyChangedSpeechSettings(CSpeechEngine& engine, const Settings& settings) {
    engine.SelectMode(StoredModeId(settings));
    engine.SetSpeed(settings.ttsSpeed);
    engine.SetPitch(settings.ttsPitch);
    engine.SetVolume(settings.ttsVolume);
}
