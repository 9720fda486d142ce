#include "outputs/CallCommand.h"
#include "platform/Text.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

using SteadyClock = std::chrono::steady_clock;

// What is kept of a command's standard error for the log.
constexpr size_t MaxErrorBytes = 4096;
// How long a command has to end after SIGTERM before it is killed.
constexpr auto TermGrace = std::chrono::seconds(1);

std::string Variable(const char* name, std::string value) {
    std::erase(value, '\0');
    return std::string(name) + "=" + value;
}

// Reads what is there; false at the end of the pipe.
bool Drain(int fd, std::string& kept) {
    char buffer[1024];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            kept.append(buffer, std::min(static_cast<size_t>(n),
                                         MaxErrorBytes - std::min(kept.size(), MaxErrorBytes)));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
    }
}

} // namespace

std::vector<std::string> SplitArguments(const std::string& arguments) {
    std::vector<std::string> words;
    std::string word;
    for (char c : arguments) {
        if (c == ' ' || c == '\t') {
            if (!word.empty())
                words.push_back(std::move(word));
            word.clear();
        } else {
            word += c;
        }
    }
    if (!word.empty())
        words.push_back(std::move(word));
    return words;
}

std::vector<std::string> CallEnvironment(const CallEvent& call) {
    return {
        Variable("TAVO_TIME", IsoTime(call.time)),
        Variable("TAVO_CONTROLLER", std::to_string(call.controller)),
        Variable("TAVO_MSN", call.msn),
        Variable("TAVO_MSN_NAME", call.msnName),
        Variable("TAVO_SERVICE", call.service),
        Variable("TAVO_CALLER", CallerKindName(call.callerKind)),
        Variable("TAVO_NUMBER", call.callerKind == CallerKind::Number ? call.number : ""),
        Variable("TAVO_NAME", call.callerName),
        Variable("TAVO_AREA_CODE", call.areaCode),
        Variable("TAVO_LOCAL_NUMBER", call.localNumber),
        Variable("TAVO_PLACE", call.place),
        Variable("TAVO_TEXT", call.text),
    };
}

CallCommand::CallCommand(const CommandSettings& settings, OutputLog log, OutputStatusSink status)
    : settings(settings), log(log ? std::move(log) : LogToStandardError),
      status(std::move(status)) {}

CallCommand::~CallCommand() {
    queue.Close();
    if (thread.joinable())
        thread.join();
}

bool CallCommand::Start(std::string& error) {
    if (settings.program.empty()) {
        error = "command: no program in [command] program";
        return false;
    }
    Tell(OutputHealth::Working, "no call yet");
    thread = std::thread([this] {
        BecomeBackgroundThread();
        Run();
    });
    return true;
}

void CallCommand::Post(const OutputEvent& event) {
    if (!queue.Push(event))
        log("command: calls came faster than the command ran; the oldest was skipped");
}

void CallCommand::Tell(OutputHealth health, const std::string& text) {
    if (status)
        status(health, text);
}

void CallCommand::Run() {
    while (!queue.Closed())
        for (const OutputEvent& event : queue.TakeAll(std::chrono::milliseconds(1000)))
            if (const CallEvent* call = std::get_if<CallEvent>(&event); call && !call->Repeat())
                RunFor(*call);
}

void CallCommand::RunFor(const CallEvent& call) {
    std::vector<std::string> argv{settings.program};
    for (std::string& word : SplitArguments(settings.arguments))
        argv.push_back(std::move(word));
    std::vector<std::string> environment = CallEnvironment(call);
    for (char** entry = environ; *entry != nullptr; ++entry)
        if (std::strncmp(*entry, "TAVO_", 5) != 0)
            environment.emplace_back(*entry);
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (std::string& a : argv)
        args.push_back(a.data());
    args.push_back(nullptr);
    std::vector<char*> env;
    env.reserve(environment.size() + 1);
    for (std::string& e : environment)
        env.push_back(e.data());
    env.push_back(nullptr);

    int errorPipe[2];
    if (::pipe2(errorPipe, O_CLOEXEC) != 0) {
        const std::string why = settings.program + ": " + ErrorText(errno);
        log("command: " + why);
        Tell(OutputHealth::Failing, "last call: " + why);
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, errorPipe[1], 2);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // A group of its own, so a time-out ends whatever the command started too; signals as new.
    sigset_t none;
    sigset_t all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK |
                                              POSIX_SPAWN_SETSIGDEF);
    pid_t pid = -1;
    const int spawned =
        ::posix_spawnp(&pid, args[0], &actions, &attributes, args.data(), env.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(errorPipe[1]);
    if (spawned != 0) {
        ::close(errorPipe[0]);
        const std::string why = "cannot start " + settings.program + ": " + ErrorText(spawned);
        log("command: " + why);
        Tell(OutputHealth::Failing, "last call: " + why);
        return;
    }
    ::fcntl(errorPipe[0], F_SETFL, O_NONBLOCK);

    std::string errors;
    bool pipeOpen = true;
    int waitStatus = 0;
    bool ended = false;
    std::string stopped;
    const auto deadline = SteadyClock::now() + std::chrono::seconds(settings.timeoutSeconds);
    auto killAt = SteadyClock::time_point::max();
    while (!ended) {
        if (pipeOpen) {
            pollfd wait{errorPipe[0], POLLIN, 0};
            ::poll(&wait, 1, 50);
            pipeOpen = Drain(errorPipe[0], errors);
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        ended = ::waitpid(pid, &waitStatus, WNOHANG) == pid;
        const auto now = SteadyClock::now();
        if (!ended && stopped.empty() && (now >= deadline || queue.Closed())) {
            stopped = now >= deadline
                          ? "killed after " + std::to_string(settings.timeoutSeconds) + " s"
                          : "ended as TAVO ends";
            ::kill(-pid, SIGTERM);
            killAt = now + TermGrace;
        }
        if (!ended && now >= killAt) {
            ::kill(-pid, SIGKILL);
            killAt = SteadyClock::time_point::max();
        }
    }
    if (pipeOpen)
        Drain(errorPipe[0], errors);
    ::close(errorPipe[0]);

    std::string how;
    if (!stopped.empty())
        how = stopped;
    else if (WIFEXITED(waitStatus))
        how = "exit status " + std::to_string(WEXITSTATUS(waitStatus));
    else if (WIFSIGNALED(waitStatus))
        how = "ended by signal " + std::to_string(WTERMSIG(waitStatus));
    log("command: " + settings.program + ": " + how);
    const bool ranWell = stopped.empty() && WIFEXITED(waitStatus) && WEXITSTATUS(waitStatus) == 0;
    Tell(ranWell ? OutputHealth::Working : OutputHealth::Failing,
         "last call: " + settings.program + ": " + how);
    size_t start = 0;
    while (start < errors.size()) {
        size_t end = errors.find('\n', start);
        if (end == std::string::npos)
            end = errors.size();
        if (end > start)
            log("command: " + settings.program + ": " + errors.substr(start, end - start));
        start = end + 1;
    }
}
