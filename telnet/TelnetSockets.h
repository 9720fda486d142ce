#pragma once
// The few socket operations the server needs, over POSIX sockets.

#include <chrono>
#include <string>
#include <string_view>

struct TelnetSocketTimes {
    // A client that stops reading for this long while we send to it is given up.
    std::chrono::milliseconds sendTimeout{30000};
    // Keepalive probes find clients that vanished without closing: first probe after
    // keepIdle of silence, then every keepInterval, given up after keepCount unanswered.
    std::chrono::seconds keepIdle{60};
    std::chrono::seconds keepInterval{10};
    int keepCount = 3;
};

// A listening socket on `address` (an IPv4 or IPv6 address; empty: all local IPv4 addresses),
// or -1 (port out of range, address not local or malformed, port in use, ...).
int CreateListeningSocket(int port, const std::string& address = {});
// The local port a socket is bound to, 0 when unknown.
int LocalPort(int socket);
// Accepts one connection and names its peer's address; -1 on failure (errno tells why).
int AcceptClient(int listeningSocket, std::string& peerAddress);
void ConfigureClientSocket(int socket, const TelnetSocketTimes& times);
// Connects to 127.0.0.1 on `port` and closes again at once; the connection itself is the
// message. Gives up after a short while when nothing answers.
void SendWakeUpConnection(int port);
// Ends a connection in a way that lets the client read everything sent before: stop sending,
// read and drop what the client still sends for a short while, then close.
void CloseGracefully(int socket);
// Sends `text` without waiting and closes: for a connection that is turned away at once.
void RefuseConnection(int socket, std::string_view text);
