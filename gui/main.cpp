// tavo: the incoming-call monitor.
#include "core/AreaCodesCommand.h"
#include "core/Autostart.h"
#include "core/CapiLineCommand.h"
#include "core/CommandLine.h"
#include "core/DumpCommand.h"
#include "core/ExportCommand.h"
#include "core/ImportCommand.h"
#include "core/RulesCommand.h"
#include "core/SayCommand.h"
#include "gui/RunMonitor.h"
#include "platform/Version.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
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
        std::printf("TAVO %s\n", TavoVersion);
        return 0;
    }
    if (options.autostart) {
        std::error_code ec;
        std::string self = std::filesystem::read_symlink("/proc/self/exe", ec).string();
        if (ec)
            self = "tavo";
        std::string error = SetAutostart(*options.autostart == "on", self);
        if (!error.empty()) {
            std::fprintf(stderr, "tavo: %s\n", error.c_str());
            return 1;
        }
        std::printf("autostart %s: %s\n", options.autostart->c_str(), AutostartEntryPath().c_str());
        return 0;
    }
    // The running program itself, even when its file has been replaced by an update since.
    UseCapiLineProcess("/proc/self/exe");
    switch (options.command) {
    case TavoCommand::Dump:
        return RunDumpCommand(options);
    case TavoCommand::Say:
        return RunSayCommand(options);
    case TavoCommand::Import:
        return RunImportCommand(options);
    case TavoCommand::AreaCodes:
        return RunAreaCodesCommand(options);
    case TavoCommand::Export:
        return RunExportCommand(options);
    case TavoCommand::CapiLine:
        return RunCapiLineCommand(options);
    case TavoCommand::Rules:
        return RunRulesCommand(options);
    case TavoCommand::Monitor:
        break;
    }
    return RunMonitor(argc, argv, options);
}
