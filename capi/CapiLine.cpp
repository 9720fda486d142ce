#include "capi/CapiLine.h"

#include "capi/DemoCalls.h"
#include "capi/SimulatedLine.h"

std::unique_ptr<CapiProvider> OpenCapiLine(const CapiLineChoice& choice) {
    if (choice.demo || choice.simulated) {
        // Two controllers, as on a typical basic-rate adapter pair, so listening is shown per
        // controller.
        auto line = std::make_unique<SimulatedLine>(2);
        if (choice.demo)
            line->SetEventSource(DemoCallSource());
        return line;
    }
    return LoadLibCapi20(choice.remote);
}
