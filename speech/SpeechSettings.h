#pragma once
// The stored voice, speed, pitch and volume applied to a speech engine.

#include "settings/Settings.h"
#include "speech/CSpeechEngine.h"

// At start-up, on an engine that has listed its modes: the stored mode with the stored speed and
// pitch; when that mode is not installed (or was never chosen), the first mode with the speed
// and pitch it has. The stored volume in both cases. Also what `tavo say` uses.
void ApplyStoredSpeechSettings(CSpeechEngine& engine, const Settings& settings);

// After the options were confirmed: the stored mode, speed, pitch and volume, without falling
// back to another mode.
void ApplyChangedSpeechSettings(CSpeechEngine& engine, const Settings& settings);

SpeechModeId StoredModeId(const Settings& settings);
