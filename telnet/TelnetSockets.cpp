#include "telnet/TelnetSockets.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <string>
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

int CreateListeningSocket(int port, const std::string& address) {
    if (port < 0 || port > 65535)
        return -1;
    sockaddr_storage local{};
    socklen_t localLength = 0;
    if (address.empty()) {
        auto& v4 = reinterpret_cast<sockaddr_in&>(local);
        v4.sin_family = AF_INET;
        v4.sin_addr.s_addr = htonl(INADDR_ANY);
        v4.sin_port = htons(static_cast<uint16_t>(port));
        localLength = sizeof v4;
    } else {
        // Addresses only: a host name could make the start wait for a name server.
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        hints.ai_flags = AI_PASSIVE | AI_NUMERICHOST | AI_NUMERICSERV;
        addrinfo* found = nullptr;
        if (getaddrinfo(address.c_str(), std::to_string(port).c_str(), &hints, &found) != 0)
            return -1;
        std::memcpy(&local, found->ai_addr, found->ai_addrlen);
        localLength = found->ai_addrlen;
        freeaddrinfo(found);
    }
    int listener = socket(local.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listener < 0)
        return -1;
    // Connections of the previous server that linger in TIME_WAIT must not keep a restarted
    // server off its port; another program listening there still makes bind fail.
    SetInt(listener, SOL_SOCKET, SO_REUSEADDR, 1);
    if (bind(listener, reinterpret_cast<sockaddr*>(&local), localLength) != 0 ||
        listen(listener, listenBacklog) != 0) {
        close(listener);
        return -1;
    }
    return listener;
}

int LocalPort(int socket) {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return 0;
    if (address.ss_family == AF_INET6)
        return ntohs(reinterpret_cast<sockaddr_in6&>(address).sin6_port);
    return ntohs(reinterpret_cast<sockaddr_in&>(address).sin_port);
}

int AcceptClient(int listeningSocket, std::string& peerAddress) {
    sockaddr_storage peer{};
    socklen_t length = sizeof peer;
    int client =
        accept4(listeningSocket, reinterpret_cast<sockaddr*>(&peer), &length, SOCK_CLOEXEC);
    if (client < 0)
        return -1;
    char text[INET6_ADDRSTRLEN] = "?";
    if (peer.ss_family == AF_INET6) {
        const in6_addr& v6 = reinterpret_cast<sockaddr_in6&>(peer).sin6_addr;
        // An IPv4 client of a dual-stack socket is the same client as over IPv4.
        if (IN6_IS_ADDR_V4MAPPED(&v6))
            inet_ntop(AF_INET, &v6.s6_addr[12], text, sizeof text);
        else
            inet_ntop(AF_INET6, &v6, text, sizeof text);
    } else if (peer.ss_family == AF_INET) {
        inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in&>(peer).sin_addr, text, sizeof text);
    }
    peerAddress = text;
    return client;
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
    while (dropped < size_t{1024} * 1024) {
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

void RefuseConnection(int socket, std::string_view text) {
    // The send buffer of a new connection is empty: the line fits without waiting.
    send(socket, text.data(), text.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    shutdown(socket, SHUT_WR);
    // What the client sent already is read, so that the close does not reset the connection
    // and throw the line away.
    char sink[4096];
    while (recv(socket, sink, sizeof sink, MSG_DONTWAIT) > 0) {
    }
    close(socket);
}
