#include "DumpCommand.h"

#include "ListDump.h"

#include <cstdio>

int RunDumpCommand(const CommandLine& options) {
    return DumpListFile(options.dumpFile, stdout, stderr);
}
