#include "RunMonitor.h"

#include "HeadlessMonitor.h"

int RunMonitor(int argc, char** argv, const CommandLine& options) {
    // The main window comes later; until then every run is headless.
    return RunHeadlessMonitor(argc, argv, options);
}
