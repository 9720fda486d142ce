#pragma once
// The CAPI line process: the one place that loads libcapi20. It registers, listens, ignores each
// call on the line itself (CONNECT_RESP) and tells the monitor of it over `out` (see
// capi/LineProtocol.h). libcapi20 can die or hang on a frame a server sends; it then takes only
// this process with it, and the monitor starts another (capi/LineSupervisor.h).

#include "capi/LibCapi20Provider.h"

#include <optional>

struct LineChildOptions {
    std::optional<CapiRemoteServer> remote;
    // Not the monitor's first line process: its first registration errors are logged, not
    // shown, and a listen is "listening again".
    bool again = false;
};

// Runs until "stop" or the end of `in`, or until the listener gives up for good (no library, a
// controller refused the listen). Returns the process's exit code: 0 for all of these.
int RunCapiLineChild(const LineChildOptions& options, int in, int out);
