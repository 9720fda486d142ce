#pragma once
// Which line the monitor listens on: the simulated line (quiet, or ringing the demo calls) or
// libcapi20, locally or at a remote CAPI server. Shared by both front ends.

#include "capi/CapiProvider.h"
#include "capi/LibCapi20Provider.h"

#include <memory>
#include <optional>

struct CapiLineChoice {
    bool simulated = false;
    bool demo = false; // implies simulated
    std::optional<CapiRemoteServer> remote;
};

// nullptr when libcapi20 is wanted but cannot be loaded; CCAPIAccess then reports the missing
// driver at start-up.
std::unique_ptr<CapiProvider> OpenCapiLine(const CapiLineChoice& choice);
