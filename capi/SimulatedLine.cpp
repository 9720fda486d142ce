#include "capi/SimulatedLine.h"

#include "capi/CapiErrors.h"

#include <algorithm>
#include <cstring>

SimulatedLine::SimulatedLine(unsigned controllers) : controllers(controllers) {}

void SimulatedLine::Inject(std::vector<uint8_t> message) {
    std::lock_guard lock(mutex);
    queue.push_back(std::move(message));
    changed.notify_all();
}

void SimulatedLine::SetEventSource(std::function<std::optional<SimEvent>()> next) {
    std::lock_guard lock(mutex);
    eventSource = std::move(next);
    ScheduleNext(Clock::now());
    changed.notify_all();
}

void SimulatedLine::ScheduleNext(Clock::time_point from) {
    nextEvent = eventSource ? eventSource() : std::nullopt;
    if (nextEvent)
        nextEventAt = from + nextEvent->delay;
}

void SimulatedLine::ReleaseDueEvents(Clock::time_point now) {
    while (nextEvent && nextEventAt <= now) {
        queue.push_back(std::move(nextEvent->message));
        ScheduleNext(nextEventAt);
    }
}

void SimulatedLine::SetInstalledResult(unsigned result) {
    std::lock_guard lock(mutex);
    installedResult = result;
}

void SimulatedLine::QueueRegisterResults(std::vector<unsigned> results) {
    std::lock_guard lock(mutex);
    registerResults.insert(registerResults.end(), results.begin(), results.end());
}

void SimulatedLine::SetControllerCount(unsigned count) {
    std::lock_guard lock(mutex);
    controllers = count;
}

void SimulatedLine::SetProfileResult(unsigned result) {
    std::lock_guard lock(mutex);
    profileResult = result;
}

void SimulatedLine::SetPutResult(std::function<unsigned(const std::vector<uint8_t>&)> decide) {
    std::lock_guard lock(mutex);
    putResult = std::move(decide);
}

void SimulatedLine::SetFirstApplId(unsigned applId) {
    std::lock_guard lock(mutex);
    nextApplId = applId;
}

void SimulatedLine::SetReleaseResult(unsigned result) {
    std::lock_guard lock(mutex);
    releaseResult = result;
}

void SimulatedLine::DropConnection() {
    std::lock_guard lock(mutex);
    dropped = true;
    queue.clear();
    changed.notify_all();
}

std::vector<std::vector<uint8_t>> SimulatedLine::Puts() const {
    std::lock_guard lock(mutex);
    return puts;
}

std::size_t SimulatedLine::QueuedCount() const {
    std::lock_guard lock(mutex);
    return queue.size();
}

unsigned SimulatedLine::RegisterCalls() const {
    std::lock_guard lock(mutex);
    return registerCalls;
}

unsigned SimulatedLine::BlockingGets() const {
    std::lock_guard lock(mutex);
    return blockingGets;
}

unsigned SimulatedLine::ReleaseCalls() const {
    std::lock_guard lock(mutex);
    return releaseCalls;
}

bool SimulatedLine::WaitForPuts(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex);
    return changed.wait_for(lock, timeout, [&] { return puts.size() >= count; });
}

unsigned SimulatedLine::Register(unsigned, unsigned, unsigned, unsigned& applId) {
    std::lock_guard lock(mutex);
    registerCalls++;
    applId = 0;
    if (!registerResults.empty()) {
        unsigned result = registerResults.front();
        registerResults.pop_front();
        if (result != CapiNoError)
            return result;
    }
    dropped = false;
    activeApplId = nextApplId++;
    applId = activeApplId;
    return CapiNoError;
}

unsigned SimulatedLine::Release(unsigned applId) {
    std::lock_guard lock(mutex);
    releaseCalls++;
    if (applId == 0 || applId != activeApplId)
        return CapiIllegalAppl;
    activeApplId = 0;
    return releaseResult;
}

unsigned SimulatedLine::PutMessage(unsigned applId, const uint8_t* message) {
    std::unique_lock lock(mutex);
    if (applId != activeApplId)
        return CapiIllegalAppl;
    if (dropped)
        return CapiMsgOsResourceErr;
    std::size_t length = message[0] | (message[1] << 8);
    std::vector<uint8_t> copy(message, message + length);
    unsigned result = putResult ? putResult(copy) : CapiNoError;
    if (result == CapiNoError) {
        puts.push_back(std::move(copy));
        changed.notify_all();
    }
    return result;
}

unsigned SimulatedLine::GetMessage(unsigned applId, std::span<const uint8_t>& message) {
    std::lock_guard lock(mutex);
    if (applId != activeApplId)
        return CapiIllegalAppl;
    ReleaseDueEvents(Clock::now());
    if (!dropped && queue.empty())
        blockingGets++;
    if (dropped || queue.empty())
        return CapiReceiveQueueEmpty;
    current = std::move(queue.front());
    queue.pop_front();
    message = std::span<const uint8_t>(current);
    return CapiNoError;
}

unsigned SimulatedLine::WaitForMessage(unsigned applId, std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex);
    if (applId != activeApplId)
        return CapiIllegalAppl;
    Clock::time_point deadline = Clock::now() + timeout;
    while (true) {
        Clock::time_point now = Clock::now();
        ReleaseDueEvents(now);
        if (dropped || !queue.empty())
            return CapiNoError;
        if (now >= deadline)
            return CapiReceiveQueueEmpty;
        Clock::time_point until = nextEvent ? std::min(deadline, nextEventAt) : deadline;
        changed.wait_until(lock, until);
    }
}

uint8_t* SimulatedLine::GetManufacturer(unsigned, uint8_t* buffer64) {
    // Zero-filled: the name ends at the first zero octet.
    std::memset(buffer64, 0, 64);
    const char name[] = "TAVO simulated line";
    std::memcpy(buffer64, name, sizeof name);
    return buffer64;
}

uint8_t* SimulatedLine::GetVersion(unsigned, uint8_t* buffer16) {
    const uint32_t values[4] = {2, 0, 1, 0};
    for (int i = 0; i < 4; ++i)
        for (int b = 0; b < 4; ++b)
            buffer16[i * 4 + b] = static_cast<uint8_t>(values[i] >> (8 * b));
    return buffer16;
}

uint8_t* SimulatedLine::GetSerialNumber(unsigned, uint8_t* buffer8) {
    std::memset(buffer8, 0, 8);
    const char serial[] = "0000001";
    std::memcpy(buffer8, serial, sizeof serial);
    return buffer8;
}

unsigned SimulatedLine::GetProfile(unsigned, uint8_t* buffer64) {
    std::lock_guard lock(mutex);
    if (profileResult != CapiNoError)
        return profileResult;
    std::memset(buffer64, 0, 64);
    buffer64[0] = static_cast<uint8_t>(controllers);
    buffer64[1] = static_cast<uint8_t>(controllers >> 8);
    return CapiNoError;
}

unsigned SimulatedLine::IsInstalled() {
    std::lock_guard lock(mutex);
    return installedResult;
}

bool SimulatedLine::IsConnectionLost(unsigned applId) {
    std::lock_guard lock(mutex);
    return dropped && applId == activeApplId;
}
