#include "CCAPIThread.h"

#include "CapiErrors.h"

#include <algorithm>
#include <cstdio>

CCAPIThread::CCAPIThread(CCAPIAccess& capi, Options options)
    : capi(capi), options(std::move(options)) {}

CCAPIThread::~CCAPIThread() {
    Stop();
}

void CCAPIThread::Start() {
    if (thread.joinable())
        return;
    {
        std::lock_guard lock(mutex);
        finished = false;
    }
    thread = std::thread([this] { Run(); });
}

void CCAPIThread::RequestStop() {
    std::lock_guard lock(mutex);
    stopRequested = true;
    stopSignal.notify_all();
}

void CCAPIThread::Stop() {
    RequestStop();
    if (thread.joinable())
        thread.join();
}

bool CCAPIThread::StopWithin(std::chrono::milliseconds grace) {
    RequestStop();
    if (!thread.joinable())
        return true;
    bool ended;
    {
        std::unique_lock lock(mutex);
        ended = finishedSignal.wait_for(lock, grace, [this] { return finished; });
    }
    if (ended)
        thread.join();
    else
        thread.detach();
    return ended;
}

bool CCAPIThread::IsFinished() const {
    std::lock_guard lock(mutex);
    return finished || !thread.joinable();
}

bool CCAPIThread::StopRequested() const {
    std::lock_guard lock(mutex);
    return stopRequested;
}

void CCAPIThread::Log(const std::string& line) {
    if (options.log) {
        options.log(line);
        return;
    }
    std::fprintf(stderr, "tavo: %s\n", line.c_str());
}

bool CCAPIThread::Pause(std::chrono::milliseconds delay) {
    if (options.pause)
        return options.pause(delay) && !StopRequested();
    std::unique_lock lock(mutex);
    return !stopSignal.wait_for(lock, delay, [this] { return stopRequested; });
}

CCAPIThread::LoopEnd CCAPIThread::ReceiveLoop() {
    while (!StopRequested() && capi.IsRegistered()) {
        if (capi.WaitForCapiSignal(options.waitSlice) != CapiNoError)
            continue; // nothing arrived in this slice
        if (StopRequested())
            break;
        if (capi.FetchMessages() == CCAPIAccess::FetchResult::ConnectionLost)
            return LoopEnd::ConnectionLost;
    }
    return LoopEnd::Stopped;
}

int CCAPIThread::Run() {
    bool startup = true;
    bool listenedBefore = false;
    std::chrono::milliseconds delay = options.firstRetryDelay;
    std::optional<std::string> lastError;
    std::chrono::milliseconds lastAnnouncedDelay{0};

    while (!StopRequested()) {
        // The start-up failures are shown to the user; later ones only change the log.
        const bool shown = startup;
        std::optional<std::string> error = capi.RegisterCAPI(startup);
        startup = false;
        if (StopRequested())
            break; // registration may have blocked for long; the owner has moved on
        if (!capi.HasLibrary())
            break; // nothing will ever change without the library
        if (!error) {
            unsigned listen = capi.ListenOnAllControllers(kListenAllServices);
            if (listen != CapiNoError && !capi.IsConnectionLost()) {
                // A controller refused our listen outright: there is nothing to monitor.
                break;
            }
            if (listen == CapiNoError) {
                unsigned controllers = capi.GetControllerCount();
                Log(std::string(listenedBefore ? "listening again on " : "listening on ") +
                    std::to_string(controllers) + " controller(s)");
                listenedBefore = true;
                lastError.reset();
                lastAnnouncedDelay = std::chrono::milliseconds{0};
                delay = options.firstRetryDelay;
                if (ReceiveLoop() == LoopEnd::Stopped)
                    break;
            }
            Log("CAPI connection lost");
            capi.ReleaseCAPI(false);
        } else if (error != lastError) {
            if (!shown)
                Log(*error);
            lastError = error;
        }
        if (delay != lastAnnouncedDelay) {
            Log("retrying CAPI registration in " + std::to_string(delay.count() / 1000) + " s");
            lastAnnouncedDelay = delay;
        }
        if (!Pause(delay))
            break;
        delay = std::min(delay * 2, options.maxRetryDelay);
    }
    std::lock_guard lock(mutex);
    finished = true;
    finishedSignal.notify_all();
    return 0;
}
