#include "telnet/TelnetConnection.h"

#include <algorithm>
#include <cerrno>
#include <poll.h>
#include <sys/socket.h>
#include <sys/types.h>
#include <thread>

namespace {
// Gathered answers go out once they reach this size even while input is still waiting.
constexpr size_t flushThreshold = 16384;

int Milliseconds(TelnetConnection::Clock::duration duration) {
    auto ms = std::chrono::ceil<std::chrono::milliseconds>(duration).count();
    return static_cast<int>(std::clamp<decltype(ms)>(ms, 0, decltype(ms){24} * 3600 * 1000));
}
} // namespace

TelnetConnection::TelnetConnection(int socket, const std::atomic<bool>* stop)
    : socket(socket), stop(stop) {}

TelnetConnection::~TelnetConnection() {
    Flush();
}

bool TelnetConnection::Stopping() const {
    return stop && stop->load();
}

void TelnetConnection::OfferOptions() {
    if (!ended)
        output.append(protocol.Offer());
}

bool TelnetConnection::WaitFor(short events, std::optional<std::chrono::milliseconds> limit) {
    if (deadline && Clock::now() >= *deadline) {
        timedOut = true;
        return false;
    }
    std::optional<Clock::duration> wait = limit;
    if (deadline && (!wait || *deadline - Clock::now() < *wait))
        wait = *deadline - Clock::now();
    if (!wait)
        return true; // the receive or send itself waits
    pollfd waiting{socket, events, 0};
    int ready;
    do {
        ready = poll(&waiting, 1, Milliseconds(*wait));
    } while (ready < 0 && errno == EINTR && !Stopping());
    if (ready == 0)
        timedOut = true;
    return ready > 0;
}

int TelnetConnection::ReceiveByte() {
    for (;;) {
        if (ended || Stopping()) {
            ended = true;
            return -1;
        }
        while (inputPosition < inputLength) {
            // Answers to the client's negotiation go out with the dialogue's own answers.
            int typed = protocol.Take(input[inputPosition++], output);
            if (typed >= 0)
                return typed;
        }
        if (!Flush() || !WaitFor(POLLIN, std::nullopt)) {
            ended = true;
            return -1;
        }
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
}

void TelnetConnection::Send(std::string_view bytes) {
    if (ended)
        return;
    protocol.Escape(bytes, output);
    if (output.size() >= flushThreshold)
        Flush();
}

bool TelnetConnection::Flush() {
    // With a limit of our own the send never blocks: the wait for room is bounded by the
    // deadline as well, so a client that does not read cannot hold its session beyond it.
    const bool limited = deadline || stall;
    size_t sent = 0;
    while (!ended && sent < output.size()) {
        // MSG_NOSIGNAL: a client that has gone must not take the whole process with SIGPIPE.
        ssize_t done = send(socket, output.data() + sent, output.size() - sent,
                            MSG_NOSIGNAL | (limited ? MSG_DONTWAIT : 0));
        if (done < 0 && errno == EINTR && !Stopping())
            continue;
        if (done < 0 && limited && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (!WaitFor(POLLOUT, stall) || Stopping())
                ended = true;
            continue;
        }
        if (done <= 0) // failed, or timed out on a client that stopped reading
            ended = true;
        else
            sent += static_cast<size_t>(done);
    }
    output.clear();
    return !ended;
}

void TelnetConnection::Pause(std::chrono::milliseconds duration) {
    Flush();
    // The whole pause is kept even when the client goes at once: a session that is kept
    // waiting holds its place for the pause, whatever the client does. A deadline ends it.
    auto until = Clock::now() + duration;
    const bool cut = deadline && *deadline <= until;
    if (cut)
        until = *deadline;
    while (!Stopping() && Clock::now() < until)
        std::this_thread::sleep_for(
            std::min<Clock::duration>(until - Clock::now(), std::chrono::milliseconds(50)));
    if (cut) {
        ended = true;
        timedOut = true;
    }
}
