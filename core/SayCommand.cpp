#include "core/SayCommand.h"

#include "settings/Settings.h"
#include "speech/CSpeechEngine.h"
#include "speech/SpeechSettings.h"
#include "speech/WavFileSink.h"

#include <chrono>
#include <memory>
#include <string>

namespace {

// Long enough for any text a command line can hold at the slowest speed.
constexpr std::chrono::minutes SpeechTimeout{10};

std::string JoinWords(const std::vector<std::string>& words) {
    std::string text;
    for (const std::string& word : words) {
        if (!text.empty())
            text += ' ';
        text += word;
    }
    return text;
}

} // namespace

int RunSay(const CommandLine& options, CSpeechEngine& engine, const Settings& settings,
           std::FILE* err) {
    const std::string text = JoinWords(options.sayWords);
    engine.CreateEnumerator();
    engine.EnumerateModes();
    if (engine.lastModeIndex < 0) {
        std::fprintf(err, "tavo: no text-to-speech voice is installed\n");
        return 2;
    }
    ApplyStoredSpeechSettings(engine, settings);

    std::shared_ptr<WavFileSink> sink;
    if (options.wavFile) {
        sink = std::make_shared<WavFileSink>(*options.wavFile);
        if (!sink->IsOpen()) {
            std::fprintf(err, "tavo: cannot write %s\n", sink->Error().c_str());
            return 2;
        }
        engine.SpeakTo(text, sink);
    } else {
        engine.Speak(text);
    }
    const CSpeechEngine::Outcome outcome = engine.WaitUntilDone(SpeechTimeout);
    engine.ReleaseEngine();

    if (sink) {
        if (outcome == CSpeechEngine::Outcome::Spoken)
            return 0;
        if (outcome == CSpeechEngine::Outcome::TimedOut)
            std::fprintf(err, "tavo: speech did not finish\n");
        else if (!sink->Error().empty())
            std::fprintf(err, "tavo: cannot write %s\n", sink->Error().c_str());
        else
            std::fprintf(err, "tavo: the text could not be spoken into %s\n",
                         options.wavFile->c_str());
        return 2;
    }
    switch (outcome) {
    case CSpeechEngine::Outcome::Spoken:
        return 0;
    case CSpeechEngine::Outcome::TimedOut:
        std::fprintf(err, "tavo: speech did not finish\n");
        return 1;
    case CSpeechEngine::Outcome::NotSpoken:
        break;
    }
    std::fprintf(err, "tavo: no audio output could be used; nothing was played\n");
    return 1;
}

int RunSayCommand(const CommandLine& options) {
    Settings settings;
    LoadSettings(settings);
    CSpeechEngine engine;
    return RunSay(options, engine, settings, stderr);
}
