#include "SayCommand.h"

#include <cstdio>

int RunSayCommand(const CommandLine&) {
    std::fprintf(stderr, "tavo: say is not available yet\n");
    return 1;
}
