#pragma once
#include "core/CommandLine.h"
// tavo dump FILE: prints the records of a list file; returns the exit code.
int RunDumpCommand(const CommandLine& options);
