#include "capi/LineSupervisor.h"
#include "platform/Text.h"

#include "capi/CapiSharedLock.h"
#include "capi/LineProtocol.h"
#include "platform/ShowMessage.h"
#include "platform/ThreadSafety.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <mutex>
#include <optional>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

struct CapiLineSupervisor::State {
    Options options;
    std::thread thread;
    std::atomic<bool> stopRequested{false};
    std::atomic<bool> finished{true};
    std::atomic<unsigned> starts{0};
    std::atomic<bool> screening{false};
    int wake[2] = {-1, -1}; // written once by RequestStop, to end a poll at once
};

namespace {

struct Child {
    pid_t pid = -1;
    int toChild = -1;   // its standard input
    int fromChild = -1; // its standard output
};

// Retry: the process ended so that a fresh one registers again (kLineProcessRetryExit).
enum class End { Stopped, Finished, Retry, Died, Silent, RegistrationSilent };

void Tell(const CapiLineSupervisor::Options& options, const LineReport& report) {
    if (options.report)
        options.report(report);
    else
        std::fprintf(stderr, "tavo: %s\n", LineReportText(report).c_str());
}

std::optional<Child> Spawn(const std::vector<std::string>& command, std::string& error) {
    int in[2], out[2];
    if (::pipe2(in, O_CLOEXEC) != 0) {
        error = ErrorText(errno);
        return std::nullopt;
    }
    if (::pipe2(out, O_CLOEXEC) != 0) {
        error = ErrorText(errno);
        ::close(in[0]);
        ::close(in[1]);
        return std::nullopt;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    // The line process runs with the default signal actions, whatever the monitor changed.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t changed, none;
    sigemptyset(&changed);
    sigaddset(&changed, SIGPIPE);
    sigaddset(&changed, SIGHUP);
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&attributes, &changed);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    std::vector<char*> argv;
    argv.reserve(command.size() + 1);
    for (const std::string& word : command)
        argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    Child child;
    const int result =
        ::posix_spawn(&child.pid, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(in[0]);
    ::close(out[1]);
    if (result != 0) {
        error = ErrorText(result);
        ::close(in[1]);
        ::close(out[0]);
        return std::nullopt;
    }
    child.toChild = in[1];
    child.fromChild = out[0];
    return child;
}

// Waits for the child to end, killing it once `deadline` has passed. Its wait status.
int Reap(pid_t pid, Clock::time_point deadline) {
    int status = 0;
    while (true) {
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid || (done < 0 && errno != EINTR))
            return status;
        if (Clock::now() >= deadline) {
            ::kill(pid, SIGKILL);
            deadline = Clock::time_point::max();
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
            return status;
        }
        std::this_thread::sleep_for(milliseconds(20));
    }
}

bool IsRetryExit(int status) {
    return WIFEXITED(status) && WEXITSTATUS(status) == kLineProcessRetryExit;
}

std::string Describe(int status) {
    if (WIFSIGNALED(status)) {
        const int signal = WTERMSIG(status);
        const char* name = sigabbrev_np(signal);
        return "was killed by signal " + std::to_string(signal) +
               (name ? std::string(" (SIG") + name + ")" : std::string());
    }
    return "ended with exit code " + std::to_string(WEXITSTATUS(status));
}

// Hands the calls to the receiver in their order on a thread of its own, so that the pipe is read
// on (heartbeats, questions) while the receiver takes its time over a call. Going, it hands over
// what is left before it ends.
class Deliveries {
public:
    explicit Deliveries(IncomingCallReceiver& receiver)
        : receiver(receiver), thread([this] { Run(); }) {}
    ~Deliveries() {
        {
            MutexLock lock(mutex);
            closing = true;
        }
        changed.notify_all();
        thread.join();
    }
    Deliveries(const Deliveries&) = delete;
    Deliveries& operator=(const Deliveries&) = delete;

    void Add(const IncomingCallNotice& notice) {
        {
            MutexLock lock(mutex);
            queue.push_back(notice);
        }
        changed.notify_all();
    }

private:
    void Run() {
        while (true) {
            IncomingCallNotice notice;
            {
                MutexLock lock(mutex);
                while (queue.empty() && !closing)
                    changed.wait(mutex);
                if (queue.empty())
                    return;
                notice = std::move(queue.front());
                queue.pop_front();
            }
            receiver.DeliverIncomingCall(notice);
        }
    }

    IncomingCallReceiver& receiver;
    Mutex mutex;
    std::condition_variable_any changed;
    std::deque<IncomingCallNotice> queue GUARDED_BY(mutex);
    bool closing GUARDED_BY(mutex) = false;
    std::thread thread; // last: it starts when everything above is ready
};

// Writes one command to the line process; one that has gone makes it fail, and the end of its
// output follows.
void Command(int fd, const LineCommand& command) {
    const std::string line = EncodeLineCommand(command);
    if (::write(fd, line.data(), line.size()) < 0) {
        // Gone: the end of its output follows.
    }
}

// One line process, from its start to its end.
class Session {
public:
    // `listenedBefore`: an earlier process listened, so this one's listening is "again".
    Session(CapiLineSupervisor::State& state, Deliveries& deliveries, Child child,
            LineReportFilter& filter, bool listenedBefore)
        : state(state), deliveries(deliveries), child(child), filter(filter),
          listenedBefore(listenedBefore),
          reader([this](LinePipeMessage&& message) { Handle(std::move(message)); },
                 [this](const std::string& complaint) {
                     LineReport garbled{LineReport::Kind::PipeGarbled};
                     garbled.text = complaint;
                     Tell(this->state.options, garbled);
                 }) {}

    End Run(int& status) {
        lastHeard = Clock::now();
        Clock::time_point stopDeadline{};
        while (true) {
            if (!stopSent && state.screening != screeningTold) {
                // Lines of a few bytes into an empty pipe: the write does not block.
                screeningTold = !screeningTold;
                Command(child.toChild, LineCommand{screeningTold ? LineCommand::Kind::ScreenOn
                                                                 : LineCommand::Kind::ScreenOff});
            }
            if (state.stopRequested && !stopSent) {
                Command(child.toChild, LineCommand{LineCommand::Kind::Stop});
                stopSent = true;
                stopDeadline = Clock::now() + state.options.stopGrace;
            }
            const Clock::time_point now = Clock::now();
            if (stopSent && now >= stopDeadline) {
                status = Reap(child.pid, now);
                return End::Stopped;
            }
            const milliseconds silence =
                registering ? state.options.registrationTimeout : state.options.heartbeatTimeout;
            if (!stopSent && now - lastHeard >= silence) {
                status = Reap(child.pid, now);
                return registering ? End::RegistrationSilent : End::Silent;
            }
            // The wake-up stays readable once written: watched only until the stop is sent.
            pollfd fds[2] = {{child.fromChild, POLLIN, 0}, {state.wake[0], POLLIN, 0}};
            if (::poll(fds, stopSent ? 1 : 2, 100) < 0 && errno != EINTR)
                std::this_thread::sleep_for(milliseconds(100));
            if (!(fds[0].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            char buffer[4096];
            const ssize_t n = ::read(child.fromChild, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                // Its output ended: it is ending (or has died).
                status = Reap(child.pid, Clock::now() + state.options.stopGrace);
                if (stopSent)
                    return End::Stopped;
                if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
                    return End::Finished;
                return IsRetryExit(status) ? End::Retry : End::Died;
            }
            lastHeard = Clock::now();
            reader.Feed(std::string_view(buffer, static_cast<size_t>(n)));
        }
    }

    // The process listened: it got as far as a healthy process gets.
    bool Listened() const { return listened; }

    ~Session() {
        ::close(child.toChild);
        ::close(child.fromChild);
    }

private:
    void Handle(LinePipeMessage&& message) {
        registering = message.kind == LinePipeMessage::Kind::Registering;
        switch (message.kind) {
        case LinePipeMessage::Kind::Call:
            if (!stopSent)
                deliveries.Add(message.notice);
            break;
        case LinePipeMessage::Kind::Ask: {
            // Answered even while a stop is on its way: the line process waits for it.
            LineCommand answer{LineCommand::Kind::Ignore, message.notice.connectionId};
            if (!stopSent && state.options.refuses && state.options.refuses(message.notice))
                answer.kind = LineCommand::Kind::Refuse;
            Command(child.toChild, answer);
            break;
        }
        case LinePipeMessage::Kind::Report:
            Report(std::move(message.report));
            break;
        case LinePipeMessage::Kind::Message:
            ShowMessage(message.text);
            break;
        case LinePipeMessage::Kind::Registering:
        case LinePipeMessage::Kind::Alive:
            break;
        }
        // A message box may take long; the process was not silent.
        lastHeard = Clock::now();
    }

    void Report(LineReport report) {
        using Kind = LineReport::Kind;
        if (report.kind == Kind::Listening || report.kind == Kind::ListeningAgain) {
            // Each process listens for the first time; whether the line is back is known here.
            report.kind = listenedBefore || listened ? Kind::ListeningAgain : Kind::Listening;
            listened = true;
        }
        if (filter.Pass(report))
            Tell(state.options, report);
    }

    CapiLineSupervisor::State& state;
    Deliveries& deliveries;
    Child child;
    LineReportFilter& filter;
    const bool listenedBefore;
    LinePipeReader reader;
    Clock::time_point lastHeard;
    bool registering = false;
    bool stopSent = false;
    bool listened = false;
    bool screeningTold = false; // a line process starts with screening off
};

// Waits `delay` or until a stop is requested; false on a stop.
bool Pause(CapiLineSupervisor::State& state, milliseconds delay) {
    const Clock::time_point end = Clock::now() + delay;
    while (!state.stopRequested) {
        const auto left = std::chrono::duration_cast<milliseconds>(end - Clock::now());
        if (left.count() <= 0)
            return true;
        pollfd wake{state.wake[0], POLLIN, 0};
        ::poll(&wake, 1, static_cast<int>(std::min<long long>(left.count(), 1000)));
    }
    return false;
}

void Supervise(CapiLineSupervisor::State& state, IncomingCallReceiver& receiver) {
    const CapiLineSupervisor::Options& options = state.options;
    milliseconds delay = options.firstRestartDelay;
    bool again = false;
    bool listenedBefore = false;
    LineReportFilter filter;
    // Going out of scope, it hands over every call read before the supervision ends.
    Deliveries deliveries(receiver);
    while (!state.stopRequested) {
        std::vector<std::string> command = options.command;
        if (again)
            command.push_back("--again");
        if (ReleaseStuckCapiLock(CapiSharedLockName, milliseconds(1000)))
            Tell(options, LineReport{LineReport::Kind::SharedLockReleased});
        std::string error;
        std::optional<Child> child = Spawn(command, error);
        if (!child) {
            ShowMessage("Error: cannot start the CAPI line process " + options.command[0] + ": " +
                        error);
            break;
        }
        ++state.starts;
        const Clock::time_point started = Clock::now();
        int status = 0;
        End end;
        bool listened;
        {
            Session session(state, deliveries, *child, filter, listenedBefore);
            end = session.Run(status);
            listened = session.Listened();
        }
        listenedBefore = listenedBefore || listened;
        if (end == End::Stopped || end == End::Finished)
            break;
        // Only a process that listened for a while was healthy: one whose registration keeps
        // failing or that dies at once is started again less and less often.
        if (listened && Clock::now() - started >= options.healthyRun)
            delay = options.firstRestartDelay;
        LineReport next;
        next.seconds = static_cast<unsigned>(delay.count() / 1000);
        switch (end) {
        case End::RegistrationSilent:
            next.kind = LineReport::Kind::RegistrationUnanswered;
            break;
        case End::Silent:
            next.kind = LineReport::Kind::ProcessSilent;
            break;
        case End::Retry:
            // It told why (a failed registration, a lost connection, a message that does not
            // decode); what is left to say is when the next registration comes.
            next.kind = LineReport::Kind::RetryingIn;
            break;
        default:
            next.kind = LineReport::Kind::ProcessEnded;
            next.text = Describe(status);
            break;
        }
        if (filter.Pass(next))
            Tell(options, next);
        again = true;
        const bool paused = options.pause ? options.pause(delay) && !state.stopRequested
                                          : Pause(state, delay);
        if (!paused)
            break;
        delay = std::min(delay * 2, options.maxRestartDelay);
    }
}

} // namespace

CapiLineSupervisor::CapiLineSupervisor(IncomingCallReceiver& receiver, Options options)
    : receiver(receiver), state(std::make_shared<State>()) {
    state->options = std::move(options);
    if (::pipe2(state->wake, O_CLOEXEC | O_NONBLOCK) != 0)
        state->wake[0] = state->wake[1] = -1;
}

CapiLineSupervisor::~CapiLineSupervisor() {
    Stop();
    for (int fd : state->wake)
        if (fd >= 0)
            ::close(fd);
}

void CapiLineSupervisor::Start() {
    if (state->thread.joinable() || state->options.command.empty())
        return;
    state->finished = false;
    state->thread = std::thread([this] {
        Supervise(*state, receiver);
        // Only now: the calls read last have been handed over.
        state->finished = true;
    });
}

void CapiLineSupervisor::RequestStop() {
    if (state->stopRequested.exchange(true))
        return;
    if (state->wake[1] >= 0 && ::write(state->wake[1], "x", 1) < 0) {
        // The poll notices the flag within its slice anyway.
    }
}

void CapiLineSupervisor::Stop() {
    RequestStop();
    if (state->thread.joinable())
        state->thread.join();
}

bool CapiLineSupervisor::IsFinished() const {
    return state->finished;
}

unsigned CapiLineSupervisor::Starts() const {
    return state->starts;
}

void CapiLineSupervisor::SetScreening(bool on) {
    state->screening = on;
}
