#pragma once
// One client's socket as the dialogue sees it: bytes received one at a time, texts sent whole.
// Received bytes are read from the socket in blocks and handed out one by one; sent texts are
// gathered and go out before the next receive would wait, so a client that pastes many keys
// gets its answers in a few packets, in the same order as one send per key would give.

#include <atomic>
#include <cstddef>
#include <string>
#include <string_view>

class TelnetConnection {
public:
    // `stop`, when given, ends the connection as soon as it is set (the server is restarting).
    explicit TelnetConnection(int socket, const std::atomic<bool>* stop = nullptr);
    TelnetConnection(const TelnetConnection&) = delete;
    TelnetConnection& operator=(const TelnetConnection&) = delete;
    ~TelnetConnection(); // sends what is still gathered; the socket stays open

    // The next byte, or -1 when the connection has ended or failed.
    int ReceiveByte();
    void Send(std::string_view bytes);
    void Send(char byte) { Send(std::string_view(&byte, 1)); }
    // Sends everything gathered; false when the connection has ended.
    bool Flush();
    bool Ended() const { return ended; }

private:
    bool Stopping() const;

    int socket;
    const std::atomic<bool>* stop;
    bool ended = false;
    unsigned char input[4096];
    size_t inputPosition = 0;
    size_t inputLength = 0;
    std::string output;
};
