#include "core/CapiLineCommand.h"

#include "capi/LineChild.h"

#include <unistd.h>

int RunCapiLineCommand(const CommandLine& options) {
    LineChildOptions child;
    if (options.capiRemote)
        child.remote = CapiRemoteServer{options.capiRemote->driver, options.capiRemote->host,
                                        options.capiRemote->port};
    child.again = options.lineAgain;
    return RunCapiLineChild(child, STDIN_FILENO, STDOUT_FILENO);
}

std::vector<std::string> CapiLineCommandFor(const CommandLine& options) {
    // The running program itself, even when its file has been replaced by an update since.
    std::vector<std::string> command{"/proc/self/exe", "capi-line"};
    if (options.capiRemote)
        command.push_back("--capi-remote=" + options.capiRemote->driver + ":" +
                          options.capiRemote->host + ":" +
                          std::to_string(options.capiRemote->port));
    return command;
}
