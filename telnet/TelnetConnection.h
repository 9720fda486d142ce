#pragma once
// One client's socket as the dialogue sees it: typed bytes received one at a time, texts sent
// whole. Received bytes are read from the socket in blocks, freed of the telnet protocol and
// handed out one by one; sent texts are gathered and go out before the next receive would
// wait, so a client that pastes many keys gets its answers in a few packets, in the same order
// as one send per key would give.

#include "telnet/TelnetProtocol.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

class TelnetConnection {
public:
    using Clock = std::chrono::steady_clock;

    // `stop`, when given, ends the connection as soon as it is set (the server is restarting).
    explicit TelnetConnection(int socket, const std::atomic<bool>* stop = nullptr);
    TelnetConnection(const TelnetConnection&) = delete;
    TelnetConnection& operator=(const TelnetConnection&) = delete;
    ~TelnetConnection(); // sends what is still gathered; the socket stays open

    // Sends the server's option offer (echo, no go-ahead).
    void OfferOptions();
    // The next typed byte, or -1 when the connection has ended, failed or run out of time.
    int ReceiveByte();
    void Send(std::string_view bytes);
    void Send(char byte) { Send(std::string_view(&byte, 1)); }
    // Sends everything gathered; false when the connection has ended.
    bool Flush();
    bool Ended() const { return ended; }
    // True when the connection ended because a time limit below ran out.
    bool TimedOut() const { return timedOut; }

    // Receiving and sending end the connection once `deadline` has passed (none: no deadline).
    void EndAt(std::optional<Clock::time_point> deadline) { this->deadline = deadline; }
    // Sending ends the connection when the client takes nothing for this long (none: the
    // socket's own send timeout rules).
    void EndWhenStalledFor(std::optional<std::chrono::milliseconds> stall) { this->stall = stall; }
    // Sends what is gathered, then waits for `duration` (less when the server stops); a
    // deadline that comes first ends the connection.
    void Pause(std::chrono::milliseconds duration);

private:
    bool Stopping() const;
    // Waits until the socket is ready for `events` or a limit runs out; false when the
    // connection is to end.
    bool WaitFor(short events, std::optional<std::chrono::milliseconds> limit);

    int socket;
    const std::atomic<bool>* stop;
    bool ended = false;
    bool timedOut = false;
    std::optional<Clock::time_point> deadline;
    std::optional<std::chrono::milliseconds> stall;
    TelnetProtocol protocol;
    unsigned char input[4096];
    size_t inputPosition = 0;
    size_t inputLength = 0;
    std::string output;
};
