#pragma once
// A CAPI line inside the process. Tests script it (queue wire messages, make registration or
// sending fail, drop the connection) and read back every message the monitor put; the demo
// mode feeds it timed events that ring sample calls.

#include "capi/CapiProvider.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

struct SimEvent {
    std::chrono::milliseconds delay; // after the previous event
    std::vector<uint8_t> message;    // a wire message, queued when its time has come
};

class SimulatedLine : public CapiProvider {
public:
    explicit SimulatedLine(unsigned controllers = 1);

    // Scripting.
    void Inject(std::vector<uint8_t> message);
    // Timed events, asked for one at a time while the monitor waits; nullopt ends the script.
    void SetEventSource(std::function<std::optional<SimEvent>()> next);
    void SetInstalledResult(unsigned result);
    // Results of the next registrations, in order; once used up, registration succeeds.
    void QueueRegisterResults(std::vector<unsigned> results);
    void SetControllerCount(unsigned controllers);
    void SetProfileResult(unsigned result);
    // Decides the result of each put (0 = accepted and recorded).
    void SetPutResult(std::function<unsigned(const std::vector<uint8_t>&)> decide);
    void SetFirstApplId(unsigned applId);
    void SetReleaseResult(unsigned result);
    // The server goes away: waits return at once, the queue stays empty, the connection is lost
    // until the next registration.
    void DropConnection();

    // Inspection.
    std::vector<std::vector<uint8_t>> Puts() const;
    std::size_t QueuedCount() const;
    unsigned RegisterCalls() const;
    // Fetches tried on an empty queue of a live connection: libcapi20 would have blocked in
    // each of them for as long as nothing arrives.
    unsigned BlockingGets() const;
    unsigned ReleaseCalls() const;
    // Blocks until at least `count` messages were put or the timeout passed; true when they were.
    bool WaitForPuts(std::size_t count, std::chrono::milliseconds timeout) const;

    // CapiProvider.
    unsigned Register(unsigned maxLogicalConnection, unsigned maxBDataBlocks, unsigned maxBDataLen,
                      unsigned& applId) override;
    unsigned Release(unsigned applId) override;
    unsigned PutMessage(unsigned applId, const uint8_t* message) override;
    unsigned GetMessage(unsigned applId, std::span<const uint8_t>& message) override;
    unsigned WaitForMessage(unsigned applId, std::chrono::milliseconds timeout) override;
    uint8_t* GetManufacturer(unsigned controller, uint8_t* buffer64) override;
    uint8_t* GetVersion(unsigned controller, uint8_t* buffer16) override;
    uint8_t* GetSerialNumber(unsigned controller, uint8_t* buffer8) override;
    unsigned GetProfile(unsigned controller, uint8_t* buffer64) override;
    unsigned IsInstalled() override;
    bool IsConnectionLost(unsigned applId) override;

private:
    using Clock = std::chrono::steady_clock;
    void ReleaseDueEvents(Clock::time_point now); // with the lock held
    void ScheduleNext(Clock::time_point from);    // with the lock held

    mutable std::mutex mutex;
    mutable std::condition_variable changed;
    unsigned controllers;
    unsigned installedResult = 0;
    unsigned profileResult = 0;
    unsigned releaseResult = 0;
    std::deque<unsigned> registerResults;
    std::function<unsigned(const std::vector<uint8_t>&)> putResult;
    std::function<std::optional<SimEvent>()> eventSource;
    std::optional<SimEvent> nextEvent;
    Clock::time_point nextEventAt;
    std::deque<std::vector<uint8_t>> queue;
    std::vector<uint8_t> current; // the message handed out by the last GetMessage
    std::vector<std::vector<uint8_t>> puts;
    unsigned nextApplId = 1;
    unsigned activeApplId = 0;
    bool dropped = false;
    unsigned registerCalls = 0;
    unsigned releaseCalls = 0;
    unsigned blockingGets = 0;
};
