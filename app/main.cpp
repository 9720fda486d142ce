// tavo: the incoming-call monitor.
#include "CommandLine.h"
#include "DumpCommand.h"
#include "RunMonitor.h"
#include "SayCommand.h"

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    CommandLineResult parsed = ParseCommandLine(args);
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "tavo: %s\n", parsed.error.c_str());
        return 2;
    }
    const CommandLine& options = parsed.options;
    if (options.help) {
        std::fputs(UsageText().c_str(), stdout);
        return 0;
    }
    if (options.version) {
        std::puts("TAVO 1.3.3");
        return 0;
    }
    switch (options.command) {
    case TavoCommand::Dump:
        return RunDumpCommand(options);
    case TavoCommand::Say:
        return RunSayCommand(options);
    case TavoCommand::Monitor:
        break;
    }
    return RunMonitor(argc, argv, options);
}
