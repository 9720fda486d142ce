#pragma once
// A telnet client for tests: a real TCP connection to 127.0.0.1 whose every wait is bounded.

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <string_view>
#include <sys/socket.h>
#include <unistd.h>

class TestClient {
public:
    // `receiveBuffer`, when given, makes a client that can hold little unread data; `source`,
    // when given, the loopback address the client comes from.
    explicit TestClient(int port, std::chrono::milliseconds timeout = std::chrono::seconds(10),
                        int receiveBuffer = 0, const char* host = "127.0.0.1",
                        const char* source = nullptr) {
        fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (source) {
            sockaddr_in local{};
            local.sin_family = AF_INET;
            inet_pton(AF_INET, source, &local.sin_addr);
            bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local);
        }
        if (receiveBuffer > 0)
            setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
        timeval limit{static_cast<time_t>(timeout.count() / 1000),
                      static_cast<suseconds_t>(timeout.count() % 1000 * 1000)};
        setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        inet_pton(AF_INET, host, &address.sin_addr);
        address.sin_port = htons(static_cast<uint16_t>(port));
        connected = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    ~TestClient() { Close(); }
    TestClient(const TestClient&) = delete;
    TestClient& operator=(const TestClient&) = delete;

    bool Connected() const { return connected; }
    void Close() {
        if (fd >= 0)
            close(fd);
        fd = -1;
    }
    void ShutdownWrite() { shutdown(fd, SHUT_WR); }

    bool Send(std::string_view bytes) {
        size_t sent = 0;
        while (sent < bytes.size()) {
            ssize_t done = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
            if (done <= 0)
                return false;
            sent += static_cast<size_t>(done);
        }
        return true;
    }

    // Reads until `count` bytes arrived, the peer closed, or the timeout passed.
    std::string Read(size_t count) {
        while (pending.size() < count && Fill()) {
        }
        return Take(std::min(count, pending.size()));
    }

    // Reads until the text ends with `tail` (or the peer closed, or the timeout passed).
    std::string ReadUntil(std::string_view tail) {
        size_t searched = 0;
        for (;;) {
            size_t found = pending.find(tail, searched);
            if (found != std::string::npos)
                return Take(found + tail.size());
            searched = pending.size() >= tail.size() ? pending.size() - tail.size() + 1 : 0;
            if (!Fill())
                return Take(pending.size());
        }
    }

    // Everything up to the peer's close; `closed` tells whether the close came in time.
    std::string ReadToEnd(bool* closed = nullptr) {
        while (Fill()) {
        }
        if (closed)
            *closed = ended;
        return Take(pending.size());
    }

    // True when the peer has closed (read gives end of stream) within the timeout.
    bool WaitForClose() {
        bool closed = false;
        ReadToEnd(&closed);
        return closed;
    }

    // True when nothing arrives for `quiet`.
    bool NothingFor(std::chrono::milliseconds quiet) {
        if (!pending.empty())
            return false;
        pollfd waiting{fd, POLLIN, 0};
        return poll(&waiting, 1, static_cast<int>(quiet.count())) == 0;
    }

private:
    // Appends what the next receive gives; false at the end of the stream or on the timeout.
    bool Fill() {
        char buffer[65536];
        ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) {
            ended = n == 0;
            return false;
        }
        pending.append(buffer, static_cast<size_t>(n));
        return true;
    }
    std::string Take(size_t count) {
        std::string taken = pending.substr(0, count);
        pending.erase(0, count);
        return taken;
    }

    std::string pending;
    bool ended = false;
    int fd = -1;
    bool connected = false;
};
