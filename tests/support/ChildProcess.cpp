#include "ChildProcess.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

int MillisecondsLeft(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

int DecodeStatus(int raw) {
    if (WIFEXITED(raw))
        return WEXITSTATUS(raw);
    if (WIFSIGNALED(raw))
        return 128 + WTERMSIG(raw);
    return -1;
}

} // namespace

ChildProcess::~ChildProcess() {
    if (pid > 0 && !status) {
        // Ask first: a program that ends by itself releases what it holds outside the process
        // (libcapi20 keeps its application ids in shared memory, and a killed process leaves
        // its id taken for good).
        ::kill(pid, SIGTERM);
        if (!Wait(Duration(3000))) {
            ::kill(pid, SIGKILL);
            int raw = 0;
            ::waitpid(pid, &raw, 0);
        }
    }
    if (input >= 0)
        ::close(input);
    for (int fd : outputs)
        if (fd >= 0)
            ::close(fd);
}

bool ChildProcess::Start(const std::vector<std::string>& argv,
                         const std::map<std::string, std::string>& environment) {
    int in[2], out[2], err[2];
    if (::pipe2(in, O_CLOEXEC) != 0)
        return false;
    if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0)
        return false;
    std::vector<char*> args;
    for (const auto& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    pid_t parent = ::getpid();
    pid = ::fork();
    if (pid < 0)
        return false;
    if (pid == 0) {
        // The child dies with the test, whatever kills the test.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent)
            ::_exit(127);
        ::dup2(in[0], 0);
        ::dup2(out[1], 1);
        ::dup2(err[1], 2);
        for (const auto& [name, value] : environment)
            ::setenv(name.c_str(), value.c_str(), 1);
        ::signal(SIGPIPE, SIG_DFL);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    ::close(in[0]);
    ::close(out[1]);
    ::close(err[1]);
    input = in[1];
    outputs[Out] = out[0];
    outputs[Err] = err[0];
    return true;
}

bool ChildProcess::WriteLine(const std::string& line) {
    if (input < 0)
        return false;
    std::string text = line + "\n";
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = ::write(input, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

void ChildProcess::CloseInput() {
    if (input >= 0)
        ::close(input);
    input = -1;
}

void ChildProcess::Split(Stream stream) {
    size_t newline;
    while ((newline = partial[stream].find('\n')) != std::string::npos) {
        lines[stream].push_back(partial[stream].substr(0, newline));
        partial[stream].erase(0, newline + 1);
    }
}

bool ChildProcess::Pump(Duration timeout) {
    pollfd fds[2];
    int count = 0;
    Stream streams[2];
    for (Stream s : {Out, Err}) {
        if (outputs[s] >= 0) {
            fds[count] = {outputs[s], POLLIN, 0};
            streams[count++] = s;
        }
    }
    if (count == 0)
        return false;
    int ready = ::poll(fds, static_cast<nfds_t>(count), static_cast<int>(timeout.count()));
    if (ready <= 0)
        return true;
    for (int i = 0; i < count; ++i) {
        if (fds[i].revents == 0)
            continue;
        char buffer[4096];
        ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
        Stream s = streams[i];
        if (n > 0) {
            partial[s].append(buffer, static_cast<size_t>(n));
            Split(s);
        } else if (n == 0 || (errno != EINTR && errno != EAGAIN)) {
            // The stream ended: a last line without a newline still counts.
            if (!partial[s].empty())
                lines[s].push_back(partial[s]);
            partial[s].clear();
            ::close(outputs[s]);
            outputs[s] = -1;
        }
    }
    return true;
}

std::optional<std::string> ChildProcess::NextLine(Stream stream, Duration timeout) {
    auto deadline = Clock::now() + timeout;
    while (cursor[stream] >= lines[stream].size()) {
        if (Clock::now() >= deadline)
            return std::nullopt;
        if (!Pump(Duration(MillisecondsLeft(deadline))))
            return std::nullopt;
    }
    return lines[stream][cursor[stream]++];
}

std::optional<std::string>
ChildProcess::WaitFor(Stream stream, const std::function<bool(const std::string&)>& match,
                      Duration timeout) {
    auto deadline = Clock::now() + timeout;
    while (true) {
        auto line = NextLine(stream, Duration(MillisecondsLeft(deadline)));
        if (!line)
            return std::nullopt;
        if (match(*line))
            return line;
    }
}

std::optional<std::string> ChildProcess::WaitForPrefix(Stream stream, const std::string& prefix,
                                                       Duration timeout) {
    return WaitFor(
        stream, [&](const std::string& line) { return line.rfind(prefix, 0) == 0; }, timeout);
}

void ChildProcess::Collect(Duration period) {
    auto deadline = Clock::now() + period;
    while (Clock::now() < deadline)
        if (!Pump(Duration(MillisecondsLeft(deadline))))
            break;
}

std::vector<std::string> ChildProcess::Unread(Stream stream) const {
    return {lines[stream].begin() + static_cast<std::ptrdiff_t>(cursor[stream]),
            lines[stream].end()};
}

std::string ChildProcess::Transcript() const {
    std::string text;
    for (Stream s : {Out, Err})
        for (const auto& line : lines[s])
            text += (s == Out ? "  out| " : "  err| ") + line + "\n";
    return text;
}

std::optional<int> ChildProcess::Wait(Duration timeout) {
    if (status)
        return status;
    if (pid <= 0)
        return std::nullopt;
    auto deadline = Clock::now() + timeout;
    while (true) {
        int raw = 0;
        pid_t done = ::waitpid(pid, &raw, WNOHANG);
        if (done == pid) {
            status = DecodeStatus(raw);
            // Take whatever the child wrote before it ended.
            // (A grandchild could hold the pipes open, so this is bounded too.)
            auto drainUntil = Clock::now() + Duration(500);
            while ((outputs[Out] >= 0 || outputs[Err] >= 0) && Clock::now() < drainUntil)
                Pump(Duration(MillisecondsLeft(drainUntil)));
            return status;
        }
        if (Clock::now() >= deadline)
            return std::nullopt;
        // Keep the pipes drained so the child cannot block on a full one while we wait.
        Pump(Duration(std::min(20, MillisecondsLeft(deadline))));
    }
}

bool ChildProcess::Running() {
    return pid > 0 && !Wait(Duration(0));
}

void ChildProcess::Kill(int signal) {
    if (pid > 0 && !status)
        ::kill(pid, signal);
}

TempDir::TempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/tavo-test-XXXXXX";
    if (::mkdtemp(pattern.data()))
        path = pattern;
}

TempDir::~TempDir() {
    if (!path.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
}
