#include "DumpCommand.h"

#include <cstdio>

int RunDumpCommand(const CommandLine&) {
    std::fprintf(stderr, "tavo: dump is not available yet\n");
    return 1;
}
