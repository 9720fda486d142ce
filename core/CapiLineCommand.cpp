#include "core/CapiLineCommand.h"

#include "capi/LineChild.h"

#include <mutex>
#include <unistd.h>

int RunCapiLineCommand(const CommandLine& options) {
    LineChildOptions child;
    if (options.capiRemote)
        child.remote = CapiRemoteServer{options.capiRemote->driver, options.capiRemote->host,
                                        options.capiRemote->port};
    child.again = options.lineAgain;
    return RunCapiLineChild(child, STDIN_FILENO, STDOUT_FILENO);
}

namespace {
std::mutex programMutex;
std::string& LineProgram() {
    static std::string program;
    return program;
}
} // namespace

void UseCapiLineProcess(const std::string& program) {
    std::lock_guard lock(programMutex);
    LineProgram() = program;
}

std::vector<std::string> CapiLineCommandFor(const CommandLine& options) {
    std::string program;
    {
        std::lock_guard lock(programMutex);
        program = LineProgram();
    }
    if (program.empty())
        return {};
    std::vector<std::string> command{program, "capi-line"};
    if (options.capiRemote)
        command.push_back("--capi-remote=" + options.capiRemote->driver + ":" +
                          options.capiRemote->host + ":" +
                          std::to_string(options.capiRemote->port));
    return command;
}
