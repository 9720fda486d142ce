#pragma once
#include "CommandLine.h"
// The monitor without windows: each call is printed on standard output.
int RunHeadlessMonitor(int argc, char** argv, const CommandLine& options);
