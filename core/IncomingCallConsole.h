#pragma once
// The announcer of the monitor without windows: each announced call's log line on an output
// stream, the beep melody through a sound sink and the announcement through a speak function.
// There is no day view and no popup.

#include "core/IncomingCallHandler.h"
#include "platform/SoundSink.h"

#include <cstdio>
#include <functional>
#include <string>

class ConsoleCallAnnouncer final : public CallAnnouncer {
public:
    using SpeakFunction = std::function<void(const std::string&)>;

    ConsoleCallAnnouncer(std::FILE* out, SoundSink& sound, SpeakFunction speak)
        : out(out), sound(sound), speak(std::move(speak)) {}

    void ShowToday() override {}
    void LogLineWritten(const std::string& line) override;
    void ShowPopup(const std::string&, CallRecord&) override {}
    void BeepMelody() override { sound.PlayBeepMelody(); }
    void Speak(const std::string& text) override {
        if (speak)
            speak(text);
    }

private:
    std::FILE* out;
    SoundSink& sound;
    SpeakFunction speak;
};
