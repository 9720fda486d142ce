#pragma once
// The listener: registers, listens on every controller for calls of every service and hands
// each call to the receiver. It waits in short slices so it can be stopped, and when the CAPI
// server goes away (or does not answer) it registers again with a growing pause.

#include "CCAPIAccess.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

class CCAPIThread {
public:
    struct Options {
        std::chrono::milliseconds waitSlice{200};
        std::chrono::milliseconds firstRetryDelay{1000};
        std::chrono::milliseconds maxRetryDelay{60000};
        // Pauses before a new registration; false when the thread should stop instead. Tests
        // replace it to run without waiting. Empty: a pause that a stop request cuts short.
        std::function<bool(std::chrono::milliseconds)> pause;
        // One line per change of the line's state. Empty: standard error.
        std::function<void(const std::string&)> log;
    };

    CCAPIThread(CCAPIAccess& capi, Options options);
    explicit CCAPIThread(CCAPIAccess& capi) : CCAPIThread(capi, Options{}) {}
    // Stops and joins the thread.
    ~CCAPIThread();
    CCAPIThread(const CCAPIThread&) = delete;
    CCAPIThread& operator=(const CCAPIThread&) = delete;

    void Start();
    // Asks the thread to end; it does within one wait slice (or at once from a pause). A
    // delivery in progress must still be completed by the receiver.
    void RequestStop();
    // RequestStop, then join. Safe to call more than once.
    void Stop();
    // RequestStop, then join if the thread ends within `grace`. A thread stuck inside CAPI (a
    // server that accepted the connection and never answers blocks registration for ever) is
    // left behind instead: false, and then this object and its CCAPIAccess must never be
    // destroyed, since the thread may still use them. For ending the process only.
    bool StopWithin(std::chrono::milliseconds grace);
    bool IsFinished() const;

    // The thread body; returns the exit code 0. Public so tests can run it on their own thread.
    int Run();

private:
    enum class LoopEnd { Stopped, ConnectionLost };
    LoopEnd ReceiveLoop();
    bool Pause(std::chrono::milliseconds delay);
    void Log(const std::string& line);
    bool StopRequested() const;

    CCAPIAccess& capi;
    Options options;
    std::thread thread;
    mutable std::mutex mutex;
    std::condition_variable stopSignal;
    std::condition_variable finishedSignal;
    bool stopRequested = false;
    bool finished = false;
};
