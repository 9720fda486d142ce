#include "telnet/TelnetConnection.h"

#include <cerrno>
#include <sys/socket.h>
#include <sys/types.h>

namespace {
// Gathered answers go out once they reach this size even while input is still waiting.
constexpr size_t flushThreshold = 16384;
} // namespace

TelnetConnection::TelnetConnection(int socket, const std::atomic<bool>* stop)
    : socket(socket), stop(stop) {}

TelnetConnection::~TelnetConnection() {
    Flush();
}

bool TelnetConnection::Stopping() const {
    return stop && stop->load();
}

int TelnetConnection::ReceiveByte() {
    if (ended || Stopping()) {
        ended = true;
        return -1;
    }
    if (inputPosition == inputLength) {
        if (!Flush())
            return -1;
        ssize_t got;
        do {
            got = recv(socket, input, sizeof input, 0);
        } while (got < 0 && errno == EINTR && !Stopping());
        if (got <= 0 || Stopping()) {
            ended = true;
            return -1;
        }
        inputPosition = 0;
        inputLength = static_cast<size_t>(got);
    }
    return input[inputPosition++];
}

void TelnetConnection::Send(std::string_view bytes) {
    if (ended)
        return;
    output.append(bytes);
    if (output.size() >= flushThreshold)
        Flush();
}

bool TelnetConnection::Flush() {
    size_t sent = 0;
    while (!ended && sent < output.size()) {
        // MSG_NOSIGNAL: a client that has gone must not take the whole process with SIGPIPE.
        ssize_t done = send(socket, output.data() + sent, output.size() - sent, MSG_NOSIGNAL);
        if (done < 0 && errno == EINTR && !Stopping())
            continue;
        if (done <= 0) // failed, or timed out on a client that stopped reading
            ended = true;
        else
            sent += static_cast<size_t>(done);
    }
    output.clear();
    return !ended;
}
