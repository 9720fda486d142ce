#include "capi/CCAPIThread.h"

#include "capi/CapiErrors.h"

#include <algorithm>
#include <cstdio>

using Clock = std::chrono::steady_clock;

CCAPIThread::CCAPIThread(CCAPIAccess& capi, Options options)
    : capi(capi), options(std::move(options)) {}

CCAPIThread::~CCAPIThread() {
    Stop();
}

void CCAPIThread::Start() {
    if (thread.joinable())
        return;
    {
        std::lock_guard lock(state->mutex);
        state->finished = false;
    }
    thread = std::thread([this, shared = state] { Run(shared); });
}

void CCAPIThread::RequestStop() {
    std::lock_guard lock(state->mutex);
    if (!state->stopRequested)
        state->stopRequestedAt = Clock::now();
    state->stopRequested = true;
    state->stopSignal.notify_all();
}

void CCAPIThread::Stop() {
    StopWithin(options.stopGrace);
}

bool CCAPIThread::StopWithin(std::chrono::milliseconds grace) {
    RequestStop();
    if (!thread.joinable())
        return true;
    std::unique_lock lock(state->mutex);
    const Clock::time_point deadline = state->stopRequestedAt + grace;
    while (!state->finished) {
        if (state->inRegistration) {
            if (Clock::now() >= deadline) {
                state->abandoned = true;
                lock.unlock();
                thread.detach();
                return false;
            }
            state->finishedSignal.wait_until(lock, deadline);
        } else {
            // Receiving or delivering: it ends within a wait slice, or when the receiver has
            // handled the call.
            state->finishedSignal.wait(lock);
        }
    }
    lock.unlock();
    thread.join();
    return true;
}

bool CCAPIThread::IsFinished() const {
    if (!thread.joinable())
        return true;
    std::lock_guard lock(state->mutex);
    return state->finished || (state->inRegistration && state->stopRequested &&
                               Clock::now() >= state->stopRequestedAt + options.stopGrace);
}

bool CCAPIThread::StopRequested() const {
    std::lock_guard lock(state->mutex);
    return state->stopRequested;
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
    const Clock::time_point end = Clock::now() + delay;
    std::unique_lock lock(state->mutex);
    while (true) {
        const Clock::time_point now = Clock::now();
        if (now >= end)
            return true;
        const Clock::time_point until =
            options.heartbeat ? std::min(end, now + options.waitSlice) : end;
        if (state->stopSignal.wait_until(lock, until, [this] { return state->stopRequested; }))
            return false;
        if (options.heartbeat) {
            lock.unlock();
            options.heartbeat();
            lock.lock();
        }
    }
}

bool CCAPIThread::Register(const std::shared_ptr<State>& shared, bool showErrors,
                           std::optional<std::string>& error) {
    CapiProvider* provider = capi.Provider();
    if (options.registering)
        options.registering();
    {
        std::lock_guard lock(shared->mutex);
        shared->inRegistration = true;
        shared->finishedSignal.notify_all();
    }
    std::optional<CapiRegistration> outcome = CCAPIAccess::TryRegistration(provider, [&shared] {
        std::lock_guard lock(shared->mutex);
        return shared->abandoned;
    });
    {
        std::lock_guard lock(shared->mutex);
        shared->inRegistration = false;
        if (shared->abandoned || !outcome)
            return false; // the owner is gone, and with it `this` and the access object
    }
    error = capi.CommitRegistration(*outcome, showErrors);
    return true;
}

CCAPIThread::LoopEnd CCAPIThread::ReceiveLoop() {
    while (!StopRequested() && capi.IsRegistered()) {
        if (options.heartbeat)
            options.heartbeat();
        if (capi.WaitForCapiSignal(options.waitSlice) != CapiNoError)
            continue; // nothing arrived in this slice
        if (StopRequested())
            break;
        if (capi.FetchMessages() == CCAPIAccess::FetchResult::ConnectionLost)
            return LoopEnd::ConnectionLost;
    }
    return LoopEnd::Stopped;
}

void CCAPIThread::Run(const std::shared_ptr<State>& shared) {
    bool startup = true;
    bool listenedBefore = options.listenedBefore;
    std::chrono::milliseconds delay = options.firstRetryDelay;
    std::optional<std::string> lastError;
    std::chrono::milliseconds lastAnnouncedDelay{0};

    while (!StopRequested()) {
        // The start-up failures are shown to the user; later ones only change the log.
        const bool shown = startup && options.showStartupErrors;
        std::optional<std::string> error;
        if (!Register(shared, shown, error)) {
            std::lock_guard lock(shared->mutex);
            shared->finished = true;
            shared->finishedSignal.notify_all();
            return;
        }
        startup = false;
        if (StopRequested())
            break; // registration may have taken long; the owner has moved on
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
    std::lock_guard lock(shared->mutex);
    shared->finished = true;
    shared->finishedSignal.notify_all();
}
