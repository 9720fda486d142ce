#include "core/CapiLineCommand.h"

#include "capi/LineChild.h"

#include <cstdio>
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

std::optional<LineState> OutputLineState(LineReport::Kind kind) {
    using Kind = LineReport::Kind;
    switch (kind) {
    case Kind::Listening:
        return LineState::Listening;
    case Kind::ListeningAgain:
        return LineState::Back;
    case Kind::ConnectionLost:
    case Kind::Undecodable:
    case Kind::ProcessEnded:
    case Kind::ProcessSilent:
    case Kind::RegistrationUnanswered:
        return LineState::Lost;
    case Kind::RegistrationFailed:
    case Kind::RetryingIn:
    case Kind::SharedLockReleased:
    case Kind::PipeGarbled:
        break;
    }
    return std::nullopt;
}

std::function<void(const LineReport&)>
LineReportsTo(std::function<void(const LineEvent&)> toOutputs, std::function<std::time_t()> clock) {
    return [toOutputs = std::move(toOutputs), clock = std::move(clock)](const LineReport& report) {
        std::fprintf(stderr, "tavo: %s\n", LineReportText(report).c_str());
        std::optional<LineState> state = OutputLineState(report.kind);
        // A network source that cannot listen (unreachable, a refused login) has no line.
        if (!report.source.empty() && report.kind == LineReport::Kind::RegistrationFailed)
            state = LineState::Lost;
        if (state)
            toOutputs({clock(), *state});
    };
}
