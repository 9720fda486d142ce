#pragma once
#include "core/CommandLine.h"

#include <cstdio>

class CSpeechEngine;
struct Settings;

// tavo say [--wav FILE] TEXT...: speaks with the stored voice; returns the exit code.
int RunSayCommand(const CommandLine& options);

// The same on a given engine (freshly constructed) and settings, reporting to err.
int RunSay(const CommandLine& options, CSpeechEngine& engine, const Settings& settings,
           std::FILE* err);
