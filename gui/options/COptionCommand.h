#pragma once
// The main window's "options..." command: the sheet, then, after OK, everything that must follow
// the new settings. Cancel leaves the window, the stored record, speech and telnet alone.

#include "gui/options/COptionContext.h"

class CSpeechEngine;
class TelnetServer;
class QWidget;

struct OptionsFollowUp {
    std::function<void()> showFirstDay;    // first day tab selected and its list filled again
    std::function<void()> saveWindowState; // the record written with the window's state
    CSpeechEngine* speechEngine = nullptr; // the main window's engine
    TelnetServer* telnetServer = nullptr;
    std::function<void()> applyOutputSettings; // tavo.conf written, the outputs switched
    std::function<void()> applyLineSettings;   // tavo.conf written, the lines opened anew
};

// Runs the sheet modally; true when it was closed with OK (and the follow-up was done).
bool RunOptionsCommand(QWidget* parent, OptionsContext& context, const OptionsFollowUp& followUp);

// The steps after OK, in their order. `rememberedPort` is `telnetPort` from before the sheet
// opened: the port a running server listens on.
void ApplyConfirmedOptions(OptionsContext& context, int32_t rememberedPort,
                           const OptionsFollowUp& followUp);
