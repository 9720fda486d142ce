#pragma once
// What the handler tests share: a temporary data directory that is the current directory while
// a test runs, and an announcer that records what it was asked to do.

#include "core/IncomingCallHandler.h"
#include "core/IncomingCallTexts.h"

#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

class TempDataDir {
public:
    TempDataDir();
    ~TempDataDir();
    const std::filesystem::path& Path() const { return path; }
    std::string Read(const std::string& name) const; // "" when missing
    bool Exists(const std::string& name) const;

private:
    std::filesystem::path path;
    std::filesystem::path previous;
};

struct RecordingAnnouncer : CallAnnouncer {
    struct Popup {
        std::string text;
        CallRecord* record;
    };
    int todayShown = 0;
    std::vector<const CallRecord*> repeatsSeen;
    std::vector<std::string> logLines;
    std::vector<Popup> popups;
    int beeps = 0;
    std::vector<std::string> spoken;

    void ShowToday() override { ++todayShown; }
    void RepeatCountChanged(const CallRecord& record) override { repeatsSeen.push_back(&record); }
    void LogLineWritten(const std::string& line) override { logLines.push_back(line); }
    void ShowPopup(const std::string& text, CallRecord& record) override {
        popups.push_back({text, &record});
    }
    void BeepMelody() override { ++beeps; }
    void Speak(const std::string& text) override { spoken.push_back(text); }
};

// Local time is UTC while the handler tests run, so that time texts are known in advance.
void UseUtc();

// 2000-01-15 14:03:27 UTC
inline constexpr std::time_t ExampleTime = 947945007;

DirectoryEntry Entry(const std::string& key, const std::string& value,
                     std::optional<std::string> speakText = std::nullopt);

// Each text as the handler makes it for one number: the call resolved, then formatted.
inline std::optional<std::string> MsnText(const Directory& msnList, const std::string& called,
                                          int cip, bool onlyNamedMsns) {
    return MsnText(ResolveCall(called, std::nullopt, cip, msnList, Directory()), onlyNamedMsns);
}
inline std::string CallerText(const Directory& phoneBook, const AreaCodeTable& areaCodes,
                              const std::string& calling) {
    return CallerText(ResolveCall(std::nullopt, calling, 0, Directory(), phoneBook, areaCodes));
}
inline std::string ToSpeech(const Directory& msnList, const std::string& called,
                            const std::string& unknown) {
    return ToSpeech(ResolveCall(called, std::nullopt, 0, msnList, Directory()), unknown);
}
inline std::string FromSpeech(const Directory& phoneBook, const AreaCodeTable& areaCodes,
                              const std::string& calling, const std::string& unknown) {
    return FromSpeech(ResolveCall(std::nullopt, calling, 0, Directory(), phoneBook, areaCodes),
                      unknown);
}
