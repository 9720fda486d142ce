#pragma once
// `tavo capi-line`: the CAPI line process that the monitor starts and supervises.
#include "core/CommandLine.h"

#include <string>
#include <vector>

// The exit code of the line process.
int RunCapiLineCommand(const CommandLine& options);

// Says that `program` runs `capi-line` (the tavo program does, a test program does not). Until
// it is called, the monitor keeps libcapi20 in its own process.
void UseCapiLineProcess(const std::string& program);

// The command line that starts a line process for the monitor's options; empty when no program
// was named with UseCapiLineProcess.
std::vector<std::string> CapiLineCommandFor(const CommandLine& options);
