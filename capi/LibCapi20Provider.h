#pragma once
// CAPI through libcapi20, loaded at run time so that a machine without it still starts (and then
// reports that no ISDN driver is installed).

#include "capi/CapiProvider.h"

#include <memory>
#include <optional>
#include <string>

struct CapiRemoteServer {
    std::string driver; // libcapi20's remote driver, e.g. "rcapi"
    std::string host;
    unsigned port = 0;
};

// Loads libcapi20.so.3 and resolves its operations; nullptr when the library or one of its
// operations is missing. With `remote`, libcapi20 is pointed at that server before any CAPI
// call; its trace output is always switched off. Also ignores SIGPIPE for the process: a put on
// a connection the server has closed would otherwise kill the monitor. With the "rcapi" driver,
// a frame the driver cannot read safely is refused before it reaches the library: GetMessage
// gives CapiIllegalCommand with the frame's first octets.
std::unique_ptr<CapiProvider> LoadLibCapi20(const std::optional<CapiRemoteServer>& remote);
