#pragma once
// A line source reached over TCP (the router's call-monitor feed, the PBX manager): its own
// thread connects, reads and reconnects with a pause that grows (1 s, doubling to 60 s), and
// tells calls, their outcomes and its state to a listener. TCP keep-alive finds a peer that
// vanished without closing the connection (a router restarting): about 3 minutes without an
// answer to a keep-alive probe count as lost.

#include "capi/IncomingCallNotice.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

enum class SourceState { Listening, Lost, Failing };

// The detail of the Failing state after a manager refused the login.
inline constexpr const char* LoginRefusedText = "the login was refused";

// How a call that rang ended, as far as the source tells it.
struct CallOutcome {
    uint32_t connectionId = 0; // the one its notice carried
    std::string callingNumber;
    std::string calledNumber;
    bool answered = false;
    std::string extension; // where it was answered, when the source says
    int64_t seconds = 0;   // talk time, when the source says
    int cause = 0;         // the PBX's hang-up cause (0: not told)
    std::string causeText;
};

class SourceListener {
public:
    virtual ~SourceListener() = default;
    // Returns when the call has been handled, as the CAPI line's receiver does.
    virtual void Call(const IncomingCallNotice& notice) = 0;
    virtual void Outcome(const CallOutcome& outcome) = 0;
    // Listening (again), lost (the connection went) or failing (it cannot be made, or a login
    // was refused); `detail` says why in words for the user.
    virtual void State(SourceState state, const std::string& detail) = 0;
};

struct NetworkSourceOptions {
    std::string name; // "callmonitor", "ami": in messages
    std::string host;
    unsigned port = 0;
    std::chrono::milliseconds firstRetry{1000};
    std::chrono::milliseconds maxRetry{60000};
    std::chrono::milliseconds connectTimeout{5000};
    // Keep-alive: idle time before the first probe, the pause between probes, and how many
    // unanswered probes end the connection (60 s + 6 x 20 s: lost after three minutes).
    int keepIdleSeconds = 60;
    int keepIntervalSeconds = 20;
    int keepProbes = 6;
};

// What a protocol does with its connection; called on the source's thread.
class SourceProtocol {
public:
    virtual ~SourceProtocol() = default;
    // Bytes to send when connected (a login); empty: none.
    virtual std::string Greeting() = 0;
    // One line from the peer, without its line end. Returns bytes to send back (may be empty).
    virtual std::string Line(std::string_view line, SourceListener& listener) = 0;
    // Once a second while connected: bytes to send (a keep-alive), if any.
    virtual std::string Tick(std::chrono::steady_clock::time_point now) = 0;
    // True once the peer has taken us in (at once for a feed; after the login for a manager).
    virtual bool Listening() const = 0;
    // The login was refused: retry only at the slowest pace, and never take events as calls.
    virtual bool Refused() const = 0;
    // The connection ended: forget what belonged to it.
    virtual void Disconnected() = 0;
};

class NetworkSource {
public:
    NetworkSource(NetworkSourceOptions options, std::unique_ptr<SourceProtocol> protocol,
                  SourceListener& listener);
    ~NetworkSource(); // stops
    NetworkSource(const NetworkSource&) = delete;
    NetworkSource& operator=(const NetworkSource&) = delete;

    void Start();
    // Asks the thread to end; a call it is delivering must still be handled by the listener, so
    // a front end that handles calls through its event loop keeps handling events until
    // IsFinished().
    void RequestStop();
    bool IsFinished() const;
    // RequestStop, then waits for the thread.
    void Stop();
    // Connections made so far, for tests.
    unsigned Connections() const;

    struct State;

private:
    std::shared_ptr<State> state;
};
