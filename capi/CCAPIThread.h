#pragma once
// The listener: registers, listens on every controller for calls of every service and hands
// each call to the receiver. It waits in short slices so it can be stopped, and when the CAPI
// server goes away (or does not answer, or hands over what is no CAPI message) it registers again
// with a growing pause, or ends and leaves that to a fresh process (Options::retry).

#include "capi/CCAPIAccess.h"
#include "capi/LineReport.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

class CCAPIThread {
public:
    struct Options {
        std::chrono::milliseconds waitSlice{200};
        std::chrono::milliseconds firstRetryDelay{1000};
        std::chrono::milliseconds maxRetryDelay{60000};
        // How long a stop waits for a registration that CAPI does not answer (a server that
        // accepted the connection and stays silent blocks it for ever) before leaving it behind.
        std::chrono::milliseconds stopGrace{2000};
        // Pauses before a new registration; false when the thread should stop instead. Tests
        // replace it to run without waiting. Empty: a pause that a stop request cuts short.
        std::function<bool(std::chrono::milliseconds)> pause;
        // Each change of the line's state. Empty: its text on standard error.
        std::function<void(const LineReport&)> report;
        // False: a failed registration, a lost connection or a message that does not decode
        // ends the thread (see HowItEnded), for a process whose library must start afresh.
        bool retry = true;
        // Called at least once per wait slice while the thread is receiving or pausing, and
        // when it begins a registration (`registering`): a process that supervises this thread
        // from outside sees from their absence that the thread is stuck inside CAPI.
        std::function<void()> heartbeat;
        std::function<void()> registering;
        // Failures of the first registration are shown with ShowMessage; false: logged only.
        bool showStartupErrors = true;
        // The line has been listened on before (by an earlier listener): "listening again".
        bool listenedBefore = false;
    };

    CCAPIThread(CCAPIAccess& capi, Options options);
    explicit CCAPIThread(CCAPIAccess& capi) : CCAPIThread(capi, Options{}) {}
    // Stops the thread (see Stop).
    ~CCAPIThread();
    CCAPIThread(const CCAPIThread&) = delete;
    CCAPIThread& operator=(const CCAPIThread&) = delete;

    void Start();
    // Asks the thread to end; it does within one wait slice, at once from a pause. A delivery in
    // progress must still be completed by the receiver, so a front end that delivers through its
    // event loop keeps handling events until IsFinished().
    void RequestStop();
    // RequestStop, then join. A thread still blocked in registration `stopGrace` after the stop
    // request is left behind instead: it touches neither this object nor the CCAPIAccess again,
    // so both may go. Safe to call more than once.
    void Stop();
    // Stop with another grace; false when the thread was left behind.
    bool StopWithin(std::chrono::milliseconds grace);
    // True when Stop() will not wait: the thread has ended, or it has been blocked in
    // registration for longer than `stopGrace` since the stop request.
    bool IsFinished() const;

    // Why the thread ended: asked to, gave up for good (no library, a controller refused the
    // listen), or, without retry, what a fresh registration may mend.
    enum class Ending { Stopped, GaveUp, RegistrationFailed, ConnectionLost, Undecodable };
    Ending HowItEnded() const;

private:
    struct State {
        std::mutex mutex;
        std::condition_variable stopSignal;
        std::condition_variable finishedSignal;
        bool stopRequested = false;
        std::chrono::steady_clock::time_point stopRequestedAt;
        bool finished = false;
        bool inRegistration = false; // inside CAPI calls that may never return
        bool abandoned = false;      // the owner has left; touch nothing but this state
        Ending ending = Ending::Stopped;
    };
    enum class LoopEnd { Stopped, ConnectionLost, Undecodable };

    // The thread body; `state` keeps what the thread shares with its owner alive.
    void Run(const std::shared_ptr<State>& state);
    // Registration that the owner may walk away from; false when it did.
    bool Register(const std::shared_ptr<State>& state, bool showErrors,
                  std::optional<std::string>& error);
    LoopEnd ReceiveLoop();
    bool Pause(std::chrono::milliseconds delay);
    void Report(const LineReport& report);
    void Finish(const std::shared_ptr<State>& state, Ending ending);
    bool StopRequested() const;

    CCAPIAccess& capi;
    Options options;
    std::thread thread;
    std::shared_ptr<State> state = std::make_shared<State>();
};
