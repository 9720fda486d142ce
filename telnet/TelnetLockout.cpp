#include "telnet/TelnetLockout.h"

void TelnetLockout::Forget(Record& record, Clock::time_point now) const {
    while (!record.failures.empty() && now - record.failures.front() >= rules.window)
        record.failures.pop_front();
}

bool TelnetLockout::IsLockedOut(const std::string& address, Clock::time_point now) {
    std::lock_guard lock(mutex);
    auto found = records.find(address);
    return found != records.end() && now < found->second.lockedUntil;
}

bool TelnetLockout::RecordFailure(const std::string& address, Clock::time_point now) {
    std::lock_guard lock(mutex);
    // Addresses with nothing left to remember are dropped, so that the table stays small.
    for (auto it = records.begin(); it != records.end();) {
        Forget(it->second, now);
        if (it->second.failures.empty() && now >= it->second.lockedUntil)
            it = records.erase(it);
        else
            ++it;
    }
    Record& record = records[address];
    if (now < record.lockedUntil)
        return false; // a session that began before the lock
    record.failures.push_back(now);
    if (record.failures.size() < rules.failures)
        return false;
    record.failures.clear();
    record.lockedUntil = now + rules.lockedFor;
    return true;
}
