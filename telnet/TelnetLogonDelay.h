#pragma once
// Slows down password guessing without locking the real user out: every failed logon from an
// address makes the next verdict for that address wait longer (1 s, doubling up to 30 s). Whoever
// knows the password waits at most that long, however many guesses others made from the same
// address. Safe to use from every session thread.

#include <chrono>
#include <map>
#include <mutex>
#include <string>

struct TelnetDelayRules {
    std::chrono::milliseconds first{1000};    // the wait after one failure ...
    std::chrono::milliseconds longest{30000}; // ... doubling with each further one up to this
    std::chrono::seconds forgetAfter{10 * 60}; // an address without failures this long starts over
};

class TelnetLogonDelay {
public:
    using Clock = std::chrono::steady_clock;

    explicit TelnetLogonDelay(TelnetDelayRules rules = {}) : rules(rules) {}

    // How long the verdict on a logon from `address` must still wait.
    Clock::duration WaitFor(const std::string& address, Clock::time_point now);
    // Counts a failed logon; true when this failure brings the address to the longest wait.
    bool RecordFailure(const std::string& address, Clock::time_point now);
    // A logon succeeded: the address starts over.
    void RecordSuccess(const std::string& address);
    // The wait after `failures` failures in a row.
    Clock::duration DelayAfter(unsigned failures) const;
    const TelnetDelayRules& Rules() const { return rules; }

private:
    struct Record {
        unsigned failures = 0;
        Clock::time_point lastFailure{};
        Clock::time_point notBefore{};
    };
    void ForgetOld(Clock::time_point now);

    const TelnetDelayRules rules;
    std::mutex mutex;
    std::map<std::string, Record> records;
};
