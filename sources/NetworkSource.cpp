#include "sources/NetworkSource.h"
#include "platform/Text.h"

#include "sources/LineSplitter.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <thread>

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

struct NetworkSource::State {
    NetworkSourceOptions options;
    std::unique_ptr<SourceProtocol> protocol;
    SourceListener& listener;
    std::thread thread;
    std::atomic<bool> stop{false};
    std::atomic<unsigned> connections{0};
    std::atomic<bool> finished{true};
    int wake[2] = {-1, -1};

    State(NetworkSourceOptions o, std::unique_ptr<SourceProtocol> p, SourceListener& l)
        : options(std::move(o)), protocol(std::move(p)), listener(l) {}

    void Run();
    // Waits `pause` or until stopped; false when stopped.
    bool Pause(milliseconds pause);
    // A connected socket, or -1 with `error` set.
    int Connect(std::string& error);
    // Reads until the connection ends or a stop; the reason it ended.
    std::string Serve(int fd);
};

namespace {

bool SendAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t sent = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd out{fd, POLLOUT, 0};
            if (::poll(&out, 1, 5000) <= 0)
                return false;
            continue;
        }
        if (sent <= 0)
            return false;
        bytes.remove_prefix(size_t(sent));
    }
    return true;
}

} // namespace

bool NetworkSource::State::Pause(milliseconds pause) {
    pollfd wakeFd{wake[0], POLLIN, 0};
    const auto until = Clock::now() + pause;
    while (!stop) {
        const auto left = std::chrono::duration_cast<milliseconds>(until - Clock::now());
        if (left.count() <= 0)
            return true;
        ::poll(&wakeFd, 1, int(std::min<int64_t>(left.count(), 1000)));
    }
    return false;
}

int NetworkSource::State::Connect(std::string& error) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const std::string port = std::to_string(options.port);
    if (const int rc = ::getaddrinfo(options.host.c_str(), port.c_str(), &hints, &found); rc != 0) {
        error = options.host + ": " + ::gai_strerror(rc);
        return -1;
    }
    int fd = -1;
    for (addrinfo* a = found; a != nullptr && fd < 0 && !stop; a = a->ai_next) {
        fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, a->ai_protocol);
        if (fd < 0) {
            error = ErrorText(errno);
            continue;
        }
        if (::connect(fd, a->ai_addr, a->ai_addrlen) != 0 && errno != EINPROGRESS) {
            error = ErrorText(errno);
            ::close(fd);
            fd = -1;
            continue;
        }
        pollfd out{fd, POLLOUT, 0};
        int soError = 0;
        socklen_t length = sizeof soError;
        if (::poll(&out, 1, int(options.connectTimeout.count())) <= 0) {
            error = "no answer within " + std::to_string(options.connectTimeout.count() / 1000) + " s";
            ::close(fd);
            fd = -1;
        } else if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &soError, &length) != 0 || soError != 0) {
            error = ErrorText(soError != 0 ? soError : errno);
            ::close(fd);
            fd = -1;
        }
    }
    ::freeaddrinfo(found);
    if (fd >= 0) {
        const int on = 1;
        ::setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
        ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &options.keepIdleSeconds, sizeof(int));
        ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &options.keepIntervalSeconds, sizeof(int));
        ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &options.keepProbes, sizeof(int));
    }
    return fd;
}

std::string NetworkSource::State::Serve(int fd) {
    LineSplitter splitter(8192);
    if (const std::string hello = protocol->Greeting(); !hello.empty() && !SendAll(fd, hello))
        return ErrorText(errno);
    bool listening = false;
    char buffer[16384];
    pollfd fds[2] = {{fd, POLLIN, 0}, {wake[0], POLLIN, 0}};
    while (!stop) {
        if (!listening && protocol->Listening()) {
            listening = true;
            listener.State(SourceState::Listening, options.host + ":" + std::to_string(options.port));
        }
        if (protocol->Refused())
            return LoginRefusedText;
        const int ready = ::poll(fds, 2, 1000);
        if (ready < 0 && errno != EINTR)
            return ErrorText(errno);
        if (const std::string tick = protocol->Tick(Clock::now()); !tick.empty() && !SendAll(fd, tick))
            return ErrorText(errno);
        if (ready <= 0 || (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) == 0)
            continue;
        const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
        if (got == 0)
            return "the connection was closed by the far end";
        if (got < 0) {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            return ErrorText(errno);
        }
        std::string reply;
        splitter.Feed(std::string_view(buffer, size_t(got)), [&](std::string_view line) {
            reply += protocol->Line(line, listener);
        });
        if (!reply.empty() && !SendAll(fd, reply))
            return ErrorText(errno);
    }
    return {};
}

void NetworkSource::State::Run() {
    milliseconds retry = options.firstRetry;
    bool wasListening = false;
    std::string lastFailure;
    while (!stop) {
        std::string error;
        const int fd = Connect(error);
        if (fd >= 0) {
            ++connections;
            const auto since = Clock::now();
            error = Serve(fd);
            ::close(fd);
            const bool listened = protocol->Listening();
            const bool refused = protocol->Refused();
            protocol->Disconnected();
            if (stop)
                break;
            if (refused) {
                // Told once; tried again only at the slowest pace, never in a storm.
                if (lastFailure != error)
                    listener.State(SourceState::Failing, error);
                lastFailure = error;
                wasListening = false;
                if (!Pause(options.maxRetry))
                    break;
                continue;
            }
            if (listened) {
                listener.State(SourceState::Lost, error);
                wasListening = true;
                lastFailure.clear();
                // A connection that served a while was healthy: try again soon.
                if (Clock::now() - since >= std::chrono::seconds(10))
                    retry = options.firstRetry;
            }
        } else if (!stop && error != lastFailure) {
            listener.State(wasListening ? SourceState::Lost : SourceState::Failing, error);
            lastFailure = error;
        }
        if (!Pause(retry))
            break;
        retry = std::min(retry * 2, options.maxRetry);
    }
}

NetworkSource::NetworkSource(NetworkSourceOptions options, std::unique_ptr<SourceProtocol> protocol,
                             SourceListener& listener)
    : state(std::make_shared<State>(std::move(options), std::move(protocol), listener)) {
    if (::pipe2(state->wake, O_CLOEXEC | O_NONBLOCK) != 0)
        state->wake[0] = state->wake[1] = -1;
}

NetworkSource::~NetworkSource() {
    Stop();
    for (int fd : state->wake)
        if (fd >= 0)
            ::close(fd);
}

void NetworkSource::Start() {
    if (state->thread.joinable())
        return;
    state->stop = false;
    state->finished = false;
    state->thread = std::thread([s = state.get()] {
        s->Run();
        s->finished = true;
    });
}

void NetworkSource::RequestStop() {
    state->stop = true;
    if (state->wake[1] >= 0) {
        const char byte = 1;
        (void)!::write(state->wake[1], &byte, 1);
    }
}

bool NetworkSource::IsFinished() const { return state->finished; }

void NetworkSource::Stop() {
    RequestStop();
    if (state->thread.joinable())
        state->thread.join();
}

unsigned NetworkSource::Connections() const { return state->connections; }
