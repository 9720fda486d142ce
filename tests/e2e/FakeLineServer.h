#pragma once
// A far end of a network line for the end-to-end tests: a TCP server on 127.0.0.1 that takes
// one client at a time, sends it text, records what it sends, and can go away as a restarting
// router does (the connection dropped and the port refused) and come back on the same port.

#include <arpa/inet.h>
#include <chrono>
#include <netinet/in.h>
#include <optional>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

class FakeLineServer {
public:
    using Duration = std::chrono::milliseconds;

    ~FakeLineServer() { Close(); }

    // Listens on `wanted` (0: a free port); false when it cannot.
    bool Listen(unsigned wanted = 0) {
        listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int on = 1;
        ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<uint16_t>(wanted));
        if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(listener, 4) != 0)
            return false;
        socklen_t length = sizeof address;
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
        port = ntohs(address.sin_port);
        return true;
    }

    // Waits for the monitor to connect.
    bool Accept(Duration timeout) {
        pollfd wait{listener, POLLIN, 0};
        if (::poll(&wait, 1, static_cast<int>(timeout.count())) <= 0)
            return false;
        client = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        received.clear();
        return client >= 0;
    }

    bool Send(const std::string& text) {
        return client >= 0 &&
               ::send(client, text.data(), text.size(), MSG_NOSIGNAL) == ssize_t(text.size());
    }

    // Reads what the client sent until `text` is among it; false when it does not come in time.
    bool WaitReceived(const std::string& text, Duration timeout) {
        return Receive([&] { return received.find(text) != std::string::npos; }, timeout) ==
               Receiving::Done;
    }
    // Waits until the client closes its connection (what it sends before is kept); false when
    // it stays open past `timeout`.
    bool WaitClosed(Duration timeout) {
        return client < 0 || Receive([] { return false; }, timeout) == Receiving::Closed;
    }
    // Forgets what was received so far, so that the next wait looks at what comes after.
    void ForgetReceived() { received.clear(); }

    // The connection and the port go away.
    void Close() {
        if (client >= 0)
            ::close(client);
        if (listener >= 0)
            ::close(listener);
        client = listener = -1;
    }

    unsigned port = 0;
    std::string received;

private:
    enum class Receiving { Done, Closed, TimedOut };
    // Keeps what the client sends until `done` holds, the client closes, or `timeout` passes.
    template <typename Done> Receiving Receive(Done done, Duration timeout) {
        const auto until = std::chrono::steady_clock::now() + timeout;
        while (!done()) {
            const auto left =
                std::chrono::duration_cast<Duration>(until - std::chrono::steady_clock::now());
            if (client < 0)
                return Receiving::Closed;
            if (left.count() <= 0)
                return Receiving::TimedOut;
            pollfd wait{client, POLLIN, 0};
            if (::poll(&wait, 1, static_cast<int>(left.count())) <= 0)
                continue;
            char buffer[4096];
            const ssize_t got = ::recv(client, buffer, sizeof buffer, 0);
            if (got <= 0)
                return Receiving::Closed;
            received.append(buffer, size_t(got));
        }
        return Receiving::Done;
    }

    int listener = -1;
    int client = -1;
};
