#pragma once
// The windowed monitor: the application object, the message box for errors, the ways the
// program learns that the session is over.

#include "core/CommandLine.h"

#include <QMessageBox>

#include <optional>
#include <string>

class CMonitorApp {
public:
    // Runs the main window until "exit" or the end of the session; returns the exit code.
    // The data directory is already the current directory.
    int Run(int argc, char** argv, const CommandLine& options);
};

// Shows errors in a box titled "TAVO" with OK and the error icon. From another
// thread the box is shown on the GUI thread while the caller waits. Needs a QApplication.
void InstallMessageBoxHandler();

// Test seam: the next box is not shown; its text is kept and the answer taken as given.
void SetNextMessageBoxAnswer(QMessageBox::StandardButton answer);
// The text of the last box shown or answered ahead, if any.
std::optional<std::string> LastMessageBoxText();
