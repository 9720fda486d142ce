#pragma once
#include "core/CommandLine.h"

// tavo areacodes COUNTRY: prints a first area-code table on standard output; returns the exit
// code (1 when there are no area codes for the country).
int RunAreaCodesCommand(const CommandLine& options);

// The line shown on standard error when a headless monitor starts with an empty area-code table.
std::string EmptyAreaCodesNote();
