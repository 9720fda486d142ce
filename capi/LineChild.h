#pragma once
// The CAPI line process: the one place that loads libcapi20. It registers, listens, answers each
// call on the line itself (CONNECT_RESP: ignored, or refused when the monitor, asked while it has
// rules that refuse, says so) and tells the monitor of it over `out` (see capi/LineProtocol.h). libcapi20 can die or hang on a frame a server sends; it then takes only
// this process with it, and the monitor starts another (capi/LineSupervisor.h).

#include "capi/LibCapi20Provider.h"

#include <optional>

struct LineChildOptions {
    std::optional<CapiRemoteServer> remote;
    // Not the monitor's first line process: its registration errors are logged, not shown.
    bool again = false;
};

// Runs until "stop" or the end of `in`, or until the listener ends: for good (no library, a
// controller refused the listen) with exit code 0, else (a failed registration, a lost
// connection, a message that does not decode) with kLineProcessRetryExit, so that a fresh
// process registers again.
int RunCapiLineChild(const LineChildOptions& options, int in, int out);
