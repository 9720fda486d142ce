#pragma once
// All user settings: one 396-byte record whose bytes are also its stored form.

#include "platform/Guarded.h"

#include <cstddef>
#include <cstdint>
#include <string>

struct Settings {
    int32_t colWidthDateTime;
    int32_t colWidthTo;
    int32_t colWidthWho;
    int32_t colWidthCount;
    int32_t reserved;
    int32_t windowRect[4]; // left, top, right, bottom
    int32_t hideWhenMinimized;
    int32_t startMinimized;
    int32_t systemBeep;
    int32_t displaySeconds;
    int32_t popupScaledByCount;
    int32_t fontSize; // tenths of a point
    char fontName[64];
    int32_t playSound;
    int32_t speak;
    char speakTemplate[128];
    char unknownSpeakText[32];
    int32_t onlyNamedMsns;
    uint8_t ttsModeId[16];
    int32_t ttsSpeed;
    int32_t ttsPitch;
    int32_t ttsVolume;
    uint8_t telnetEnabled;
    uint8_t padding[3];
    int32_t telnetPort;
    char telnetUserId[32];
    char telnetPassword[32];
};

static_assert(sizeof(Settings) == 396);
static_assert(offsetof(Settings, windowRect) == 20);
static_assert(offsetof(Settings, fontName) == 60);
static_assert(offsetof(Settings, playSound) == 124);
static_assert(offsetof(Settings, speakTemplate) == 132);
static_assert(offsetof(Settings, unknownSpeakText) == 260);
static_assert(offsetof(Settings, onlyNamedMsns) == 292);
static_assert(offsetof(Settings, ttsModeId) == 296);
static_assert(offsetof(Settings, ttsVolume) == 320);
static_assert(offsetof(Settings, telnetEnabled) == 324);
static_assert(offsetof(Settings, telnetPort) == 328);
static_assert(offsetof(Settings, telnetUserId) == 332);
static_assert(offsetof(Settings, telnetPassword) == 364);

// Zeroes the record and stores every default.
void SetDefaultSettings(Settings& settings);

// Defaults, then the stored record ($XDG_CONFIG_HOME/TAVO/options) over them. Returns what the
// user must be told ("" when nothing): a stored value longer than the record is ignored, and the
// file is first kept beside itself ("options.ignored-<time>") so a later save loses none of it;
// when it cannot be kept, later saves leave it alone and fail.
std::string LoadSettings(Settings& settings);
// Replaces the stored record atomically; false when it could not be written.
bool SaveSettings(const Settings& settings);

// Path of the stored record; the directory is created by SaveSettings when missing.
std::string SettingsFilePath();

// The same over an explicit file (tests, tools).
std::string LoadSettingsFrom(Settings& settings, const std::string& path);
bool SaveSettingsTo(const Settings& settings, const std::string& path);

// Stored bytes -> record: defaults first, then at most 396 stored bytes over them. A longer value
// is not a record of ours and gives the defaults; text fields are always terminated afterwards.
void ApplyStoredSettings(Settings& settings, const std::string& stored);

// The monitor's settings: other threads (telnet, popups) read them through a view, the GUI
// thread writes them through one.
using GuardedSettings = Guarded<Settings>;
