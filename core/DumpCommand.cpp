#include "core/DumpCommand.h"

#include "data/ListDump.h"

#include <cstdio>

int RunDumpCommand(const CommandLine& options) {
    return DumpListFile(options.dumpFile, stdout, stderr);
}
