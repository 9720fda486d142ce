#pragma once
// `tavo capi-line`: the CAPI line process that the monitor starts and supervises.
#include "core/CommandLine.h"

#include <string>
#include <vector>

// The exit code of the line process.
int RunCapiLineCommand(const CommandLine& options);

// The command line that starts a line process for the monitor's options (this very program).
std::vector<std::string> CapiLineCommandFor(const CommandLine& options);
