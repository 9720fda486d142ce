#pragma once
// What the options sheet works on and the modal windows it opens. The main window fills one of
// these; tests replace the modal windows so that nothing waits for a person.

#include "data/SharedLists.h"
#include "settings/LineSettings.h"
#include "settings/Settings.h"
#include "settings/TavoConf.h"

#include <QFont>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <string>

class QWidget;
class CSpeechEngine;

struct OptionsDialogs {
    // Runs the entry editor on `entry`; true when it was closed with OK.
    std::function<bool(QWidget* parent, DirectoryEntry& entry, bool hideSpeakText)> editEntry;
    // Opens the font dialog at `initial`; the chosen font, or absent when it was cancelled.
    std::function<std::optional<QFont>(QWidget* parent, const QFont& initial)> chooseFont;
    // A refused value on a page: an exclamation box with OK.
    std::function<void(QWidget* parent, const QString& text)> showWarning;
};

// The system font dialog and message box. The entry editor lives with the main window, which
// sets `editEntry` itself.
OptionsDialogs StandardOptionsDialogs();

// Makes the real engine over the system's synthesizer.
std::function<std::unique_ptr<CSpeechEngine>()> SystemSpeechEngineMaker();

struct OptionsContext {
    OptionsContext(GuardedSettings& settings, GuardedLists& lists)
        : settings(settings), lists(lists), makeSpeechEngine(SystemSpeechEngineMaker()) {}

    // The monitor's own settings and lists, shared with other threads (the pages write them on
    // OK; the directory pages work on copies until then).
    GuardedSettings& settings;
    GuardedLists& lists;
    std::string phoneBookFile = "names.dat";
    std::string msnListFile = "msn.dat";
    // The speech page's own engine, made when the page is first shown (the real one unless
    // replaced). Empty: the page has no engine and lists nothing.
    std::function<std::unique_ptr<CSpeechEngine>()> makeSpeechEngine;
    OptionsDialogs dialogs = StandardOptionsDialogs();
    // The outputs' settings of tavo.conf for the network page; null shows its defaults greyed.
    OutputSettings* outputSettings = nullptr;
    // The screening rules file the rules page edits, the user's country for checking its list
    // files, and who is told once it was saved (the monitor reads it again).
    std::string rulesFile = "rules.conf";
    std::string country;
    std::function<void()> rulesSaved;
    // The line sources of tavo.conf for the line page; null shows its defaults greyed.
    LineSettings* lineSettings = nullptr;
    // The command line chose the lines (--line, --demo): the page edits what is saved, for a
    // start without it, and says so.
    bool linesFromCommandLine = false;
};
