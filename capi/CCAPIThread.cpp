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

CCAPIThread::Ending CCAPIThread::HowItEnded() const {
    std::lock_guard lock(state->mutex);
    return state->ending;
}

void CCAPIThread::Report(const LineReport& report) {
    if (options.report) {
        options.report(report);
        return;
    }
    std::fprintf(stderr, "tavo: %s\n", LineReportText(report).c_str());
}

void CCAPIThread::Finish(const std::shared_ptr<State>& shared, Ending ending) {
    std::lock_guard lock(shared->mutex);
    shared->ending = ending;
    shared->finished = true;
    shared->finishedSignal.notify_all();
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
        switch (capi.FetchMessages()) {
        case CCAPIAccess::FetchResult::Handled:
            break;
        case CCAPIAccess::FetchResult::ConnectionLost:
            return LoopEnd::ConnectionLost;
        case CCAPIAccess::FetchResult::Undecodable:
            return LoopEnd::Undecodable;
        }
    }
    return LoopEnd::Stopped;
}

void CCAPIThread::Run(const std::shared_ptr<State>& shared) {
    bool startup = true;
    bool listenedBefore = options.listenedBefore;
    std::chrono::milliseconds delay = options.firstRetryDelay;
    LineReportFilter filter;
    Ending ending = Ending::Stopped;

    while (!StopRequested()) {
        // The start-up failures are shown to the user; later ones only change the log.
        const bool shown = startup && options.showStartupErrors;
        std::optional<std::string> error;
        if (!Register(shared, shown, error)) {
            Finish(shared, Ending::Stopped);
            return;
        }
        startup = false;
        if (StopRequested())
            break; // registration may have taken long; the owner has moved on
        const auto reportFailure = [&] {
            LineReport failed{LineReport::Kind::RegistrationFailed};
            failed.text = *error;
            // Also when a box has shown it: the report is what the window's line state and the
            // log of line events learn it from.
            if (filter.Pass(failed))
                Report(failed);
        };
        if (!capi.HasLibrary()) {
            if (error)
                reportFailure();
            ending = Ending::GaveUp; // nothing will ever change without the library
            break;
        }
        if (!error) {
            unsigned listen = capi.ListenOnAllControllers(kListenAllServices);
            if (listen != CapiNoError && !capi.IsConnectionLost()) {
                // A controller refused our listen outright: there is nothing to monitor.
                ending = Ending::GaveUp;
                break;
            }
            LoopEnd end = LoopEnd::ConnectionLost;
            if (listen == CapiNoError) {
                LineReport listening;
                listening.kind = listenedBefore ? LineReport::Kind::ListeningAgain
                                                : LineReport::Kind::Listening;
                listening.count = capi.GetControllerCount();
                filter.Pass(listening);
                Report(listening);
                listenedBefore = true;
                delay = options.firstRetryDelay;
                end = ReceiveLoop();
                if (end == LoopEnd::Stopped)
                    break;
            }
            LineReport lost;
            if (end == LoopEnd::Undecodable) {
                const CCAPIAccess::Undecodable& what = capi.LastUndecodable();
                lost.kind = LineReport::Kind::Undecodable;
                lost.code = what.result;
                lost.count = what.length;
                lost.bytes = what.firstOctets;
            }
            Report(lost);
            capi.ReleaseCAPI(false);
            ending = end == LoopEnd::Undecodable ? Ending::Undecodable : Ending::ConnectionLost;
        } else {
            reportFailure();
            ending = Ending::RegistrationFailed;
        }
        if (!options.retry)
            break; // a fresh process registers with a library that starts afresh
        ending = Ending::Stopped;
        LineReport retrying{LineReport::Kind::RetryingIn};
        retrying.seconds = static_cast<unsigned>(delay.count() / 1000);
        if (filter.Pass(retrying))
            Report(retrying);
        if (!Pause(delay))
            break;
        delay = std::min(delay * 2, options.maxRetryDelay);
    }
    Finish(shared, ending);
}
