#pragma once
#include "CommandLine.h"
// tavo say [--wav FILE] TEXT...: speaks with the stored voice; returns the exit code.
int RunSayCommand(const CommandLine& options);
