#include "telnet/TelnetSockets.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
// More than the five waiting connections a small server is often given: clients that connect
// while one is served wait here for their turn instead of having their connection attempts
// dropped and retried by their TCP stack for seconds.
constexpr int listenBacklog = 64;

timeval ToTimeval(std::chrono::milliseconds duration) {
    timeval value{};
    value.tv_sec = static_cast<time_t>(duration.count() / 1000);
    value.tv_usec = static_cast<suseconds_t>(duration.count() % 1000 * 1000);
    return value;
}

void SetInt(int socket, int level, int option, int value) {
    setsockopt(socket, level, option, &value, sizeof value);
}
} // namespace

int CreateListeningSocket(int port) {
    if (port < 0 || port > 65535)
        return -1;
    int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listener < 0)
        return -1;
    // Connections of the previous server that linger in TIME_WAIT must not keep a restarted
    // server off its port; another program listening there still makes bind fail.
    SetInt(listener, SOL_SOCKET, SO_REUSEADDR, 1);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(static_cast<uint16_t>(port));
    if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener, listenBacklog) != 0) {
        close(listener);
        return -1;
    }
    return listener;
}

int LocalPort(int socket) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return 0;
    return ntohs(address.sin_port);
}

int AcceptClient(int listeningSocket) {
    return accept4(listeningSocket, nullptr, nullptr, SOCK_CLOEXEC);
}

void ConfigureClientSocket(int socket, const TelnetSocketTimes& times) {
    timeval sendTimeout = ToTimeval(times.sendTimeout);
    setsockopt(socket, SOL_SOCKET, SO_SNDTIMEO, &sendTimeout, sizeof sendTimeout);
    SetInt(socket, SOL_SOCKET, SO_KEEPALIVE, 1);
    SetInt(socket, IPPROTO_TCP, TCP_KEEPIDLE, static_cast<int>(times.keepIdle.count()));
    SetInt(socket, IPPROTO_TCP, TCP_KEEPINTVL, static_cast<int>(times.keepInterval.count()));
    SetInt(socket, IPPROTO_TCP, TCP_KEEPCNT, times.keepCount);
    // Answers are gathered by the dialogue itself; once gathered they should leave at once.
    SetInt(socket, IPPROTO_TCP, TCP_NODELAY, 1);
}

void SendWakeUpConnection(int port) {
    if (port <= 0 || port > 65535)
        return;
    int caller = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (caller < 0)
        return;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    if (connect(caller, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 &&
        errno == EINPROGRESS) {
        pollfd waiting{caller, POLLOUT, 0};
        poll(&waiting, 1, 1000);
    }
    close(caller);
}

void CloseGracefully(int socket) {
    shutdown(socket, SHUT_WR);
    // Closing with unread input would reset the connection, and a reset can throw away the
    // goodbye text before the client has read it.
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(250);
    size_t dropped = 0;
    char sink[4096];
    while (dropped < 1024 * 1024) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            break;
        pollfd waiting{socket, POLLIN, 0};
        if (poll(&waiting, 1, static_cast<int>(left.count())) <= 0)
            break;
        ssize_t got = recv(socket, sink, sizeof sink, MSG_DONTWAIT);
        if (got <= 0)
            break;
        dropped += static_cast<size_t>(got);
    }
    close(socket);
}
