#pragma once
// Keeps the CAPI line process (capi/LineChild.h) running on behalf of the monitor: starts it,
// hands each call it reports to the receiver, and starts another after a pause that grows
// (1 s, 2 s, ... up to a minute) when it dies, stops answering, or ends because its registration
// failed, its connection was lost or CAPI handed it what is no message: each registration runs in
// a fresh process, so nothing a failure left inside libcapi20 outlives it. A watchdog kills a
// process that has been silent for too long: stuck inside libcapi20's receive, or in a
// registration that the server never answers. Each restart is told once. Calls are handed to the
// receiver on a thread of their own, so that the line process's questions are answered while the
// receiver is still busy with an earlier call.

#include "capi/IncomingCallReceiver.h"
#include "capi/LineReport.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class CapiLineSupervisor {
public:
    struct Options {
        // The program and its arguments for the line process; "--again" is added for every
        // process after the first.
        std::vector<std::string> command;
        // Silence that counts as stuck while listening, and while registering.
        std::chrono::milliseconds heartbeatTimeout{4000};
        std::chrono::milliseconds registrationTimeout{10000};
        std::chrono::milliseconds firstRestartDelay{1000};
        std::chrono::milliseconds maxRestartDelay{60000};
        // A process that listened and ran this long was healthy: the next restart pauses the
        // shortest time.
        std::chrono::milliseconds healthyRun{10000};
        // Pauses before the next process; false when the supervisor should stop instead. Tests
        // replace it to run without waiting. Empty: a pause that a stop cuts short.
        std::function<bool(std::chrono::milliseconds)> pause;
        // How long a stop waits for the process to release CAPI and end before killing it.
        std::chrono::milliseconds stopGrace{4000};
        // Each change of the line's state, its own and what the line process reports. Empty:
        // its text on standard error.
        std::function<void(const LineReport&)> report;
        // Whether to refuse a call the line process asks about (see SetScreening), on the
        // supervisor's own thread while the line process waits: it must answer at once and never
        // by way of the thread that handles calls. Empty: every call is ignored.
        std::function<bool(const IncomingCallNotice&)> refuses;
    };

    CapiLineSupervisor(IncomingCallReceiver& receiver, Options options);
    // Stops (see Stop).
    ~CapiLineSupervisor();
    CapiLineSupervisor(const CapiLineSupervisor&) = delete;
    CapiLineSupervisor& operator=(const CapiLineSupervisor&) = delete;

    void Start();
    // Asks the line process to end; a delivery in progress must still be completed by the
    // receiver, so a front end that delivers through its event loop keeps handling events until
    // IsFinished().
    void RequestStop();
    // RequestStop, then waits until the line process has ended (killed after `stopGrace`).
    void Stop();
    bool IsFinished() const;

    // Whether the line process asks about each call before answering it (only while the rules
    // hold one that refuses calls: asking costs time on the line). Any thread; a line process
    // started later is told too.
    void SetScreening(bool on);

    // Line processes started so far (the first one included), for tests.
    unsigned Starts() const;

    struct State;

private:
    IncomingCallReceiver& receiver;
    std::shared_ptr<State> state;
};
