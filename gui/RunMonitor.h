#pragma once
#include "core/CommandLine.h"
// Starts the monitor: windows when there is a display and --headless is not given, else the
// headless front end. Returns the exit code.
int RunMonitor(int argc, char** argv, const CommandLine& options);
