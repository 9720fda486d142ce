#include "outputs/CallOutput.h"

#include <cstdio>

void LogToStandardError(const std::string& line) {
    std::fprintf(stderr, "tavo: %s\n", line.c_str());
}
