#pragma once
#include "core/CommandLine.h"

#include <cstdio>
#include <string>

// tavo export [--from DATE] [--to DATE] [--format csv|json] FILE|-: writes the history of the
// data directory with the names and places found for each call; returns the exit code.
int RunExportCommand(const CommandLine& options);

// The same on a given data directory; "-" writes to `out`, messages go to `err`.
int RunExport(const CommandLine& options, const std::string& dataDirectory, std::FILE* out,
              std::FILE* err);
