#pragma once
#include "core/CommandLine.h"
// The monitor without windows, on the same core and call handling as the main window: each
// announced call's log line on standard output; sounds, speech, files and telnet as with
// windows. The data directory is already the current directory. Returns the exit code.
int RunHeadlessMonitor(int argc, char** argv, const CommandLine& options);
