#pragma once
// `tavo capi-line`: the CAPI line process that the monitor starts and supervises, and what the
// monitor makes of the line's reports.
#include "capi/LineReport.h"
#include "core/CommandLine.h"
#include "outputs/CallEvent.h"

#include <ctime>
#include <functional>
#include <optional>
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

// The state the outputs show after a report, when the report changes it: a line process that
// ends on its own has lost the line (or never had it) until a new one listens.
std::optional<LineState> OutputLineState(LineReport::Kind kind);

// What the monitor does with each report of the line: its text goes to the log of line events
// (standard error), a change of the line's state to `toOutputs`, stamped with `clock`.
std::function<void(const LineReport&)>
LineReportsTo(std::function<void(const LineEvent&)> toOutputs, std::function<std::time_t()> clock);
