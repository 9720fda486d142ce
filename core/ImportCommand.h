#pragma once
#include "core/CommandLine.h"

#include <cstdio>
#include <string>

// tavo import [--country CC] [--yes] FILE...: shows what the address books would add to
// "names.dat" and writes it only after a "y" on the terminal, or with --yes. Returns the exit
// code.
int RunImportCommand(const CommandLine& options);

// The same on a given data directory and streams; `interactive` says whether `in` is a terminal
// the question may be asked on.
int RunImport(const CommandLine& options, const std::string& dataDirectory, std::FILE* in,
              bool interactive, std::FILE* out, std::FILE* err);
