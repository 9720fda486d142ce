#include "capi/RefusalMailbox.h"

void RefusalMailbox::SetScreening(bool on) {
    MutexLock lock(mutex);
    screening = on;
}

bool RefusalMailbox::Screening() const {
    MutexLock lock(mutex);
    return screening;
}

std::optional<bool> RefusalMailbox::Ask(uint32_t connectionId, const std::function<void()>& send,
                                        std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    {
        MutexLock lock(mutex);
        asking = connectionId;
        answer.reset();
    }
    // Sent without the lock: the answer may be put here before `send` returns.
    send();
    MutexLock lock(mutex);
    while (!answer) {
        if (answered.wait_until(mutex, deadline) == std::cv_status::timeout)
            break;
    }
    const std::optional<bool> result = answer;
    asking.reset();
    answer.reset();
    return result;
}

void RefusalMailbox::Answer(uint32_t connectionId, bool refuse) {
    {
        MutexLock lock(mutex);
        if (asking != connectionId || answer)
            return;
        answer = refuse;
    }
    answered.notify_all();
}
