#pragma once
// The few socket operations the server needs, over POSIX sockets (IPv4, as the clients expect).

#include <chrono>

struct TelnetSocketTimes {
    // A client that stops reading for this long while we send to it is given up.
    std::chrono::milliseconds sendTimeout{30000};
    // Keepalive probes find clients that vanished without closing: first probe after
    // keepIdle of silence, then every keepInterval, given up after keepCount unanswered.
    std::chrono::seconds keepIdle{60};
    std::chrono::seconds keepInterval{10};
    int keepCount = 3;
};

// A listening socket on all local addresses, or -1 (port out of range, in use, ...).
int CreateListeningSocket(int port);
// The local port a socket is bound to, 0 when unknown.
int LocalPort(int socket);
// Accepts one connection; -1 on failure (errno tells why).
int AcceptClient(int listeningSocket);
void ConfigureClientSocket(int socket, const TelnetSocketTimes& times);
// Connects to 127.0.0.1 on `port` and closes again at once; the connection itself is the
// message. Gives up after a short while when nothing answers.
void SendWakeUpConnection(int port);
// Ends a connection in a way that lets the client read everything sent before: stop sending,
// read and drop what the client still sends for a short while, then close.
void CloseGracefully(int socket);
