#pragma once
#include "core/CommandLine.h"

// tavo export [--from DATE] [--to DATE] [--format csv|json] FILE|-: writes the history of the
// data directory with the names and places found for each call; returns the exit code.
int RunExportCommand(const CommandLine& options);
