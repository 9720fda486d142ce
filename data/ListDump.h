#pragma once
// A list file as text: one line per record, tab-separated columns key, value, reserved,
// speakText, callTime, cipValue, timeText; "\N" for an absent text and backslash escapes for
// backslash, tab, carriage return and line feed inside texts.

#include "data/CallList.h"

#include <cstdio>
#include <string>

std::string FormatDumpLine(const CallRecord& record); // ends with '\n'

// Loads `path` as the monitor does, without ever creating it, and writes its lines to `out`.
// Returns the exit code: 0 done, 2 when the file cannot be read (message on `err`), 1 when the
// output could not be written.
int DumpListFile(const std::string& path, std::FILE* out, std::FILE* err);
