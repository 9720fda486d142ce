#pragma once
// Slows down password guessing: an address with too many failed logons within a short time is
// refused for a while. Safe to use from every session thread.

#include <chrono>
#include <deque>
#include <map>
#include <mutex>
#include <string>

struct TelnetLockoutRules {
    size_t failures = 5;                    // this many failed logons ...
    std::chrono::seconds window{60};        // ... within this time ...
    std::chrono::seconds lockedFor{5 * 60}; // ... refuse the address for this long
};

class TelnetLockout {
public:
    using Clock = std::chrono::steady_clock;

    explicit TelnetLockout(TelnetLockoutRules rules = {}) : rules(rules) {}

    bool IsLockedOut(const std::string& address, Clock::time_point now);
    // Counts a failed logon from `address`; true when this failure locks the address out.
    bool RecordFailure(const std::string& address, Clock::time_point now);
    const TelnetLockoutRules& Rules() const { return rules; }

private:
    struct Record {
        std::deque<Clock::time_point> failures; // within the window, oldest first
        Clock::time_point lockedUntil{};
    };
    void Forget(Record& record, Clock::time_point now) const;

    const TelnetLockoutRules rules;
    std::mutex mutex;
    std::map<std::string, Record> records;
};
