#pragma once
// The line process's side of asking the monitor whether to refuse a call. The listener asks and
// waits, briefly, for the answer about that call; the loop that reads the monitor's commands puts
// the answers here. Nothing is asked while screening is off (the monitor has no rule that
// refuses), so a line without such rules answers every call exactly as before.

#include "platform/ThreadSafety.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <optional>

class RefusalMailbox {
public:
    void SetScreening(bool on) EXCLUDES(mutex);
    bool Screening() const EXCLUDES(mutex);

    // Calls `send` (which puts the question to the monitor) and waits at most `timeout` for the
    // answer about `connectionId`: true refuse, false ignore, nullopt when none came in time.
    // An answer that came late for an earlier question is never taken for this one's.
    std::optional<bool> Ask(uint32_t connectionId, const std::function<void()>& send,
                            std::chrono::milliseconds timeout) EXCLUDES(mutex);
    // An answer from the monitor; dropped unless it is about the call being asked about.
    void Answer(uint32_t connectionId, bool refuse) EXCLUDES(mutex);

private:
    mutable Mutex mutex;
    std::condition_variable_any answered;
    bool screening GUARDED_BY(mutex) = false;
    std::optional<uint32_t> asking GUARDED_BY(mutex);
    std::optional<bool> answer GUARDED_BY(mutex);
};
