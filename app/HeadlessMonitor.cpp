#include "HeadlessMonitor.h"

#include <cstdio>

int RunHeadlessMonitor(int, char**, const CommandLine&) {
    std::fprintf(stderr, "tavo: the monitor is not available yet\n");
    return 1;
}
