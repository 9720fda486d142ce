#include "telnet/TelnetLogonDelay.h"

#include <algorithm>

TelnetLogonDelay::Clock::duration TelnetLogonDelay::DelayAfter(unsigned failures) const {
    if (failures == 0)
        return Clock::duration::zero();
    Clock::duration delay = rules.first;
    for (unsigned i = 1; i < failures && delay < rules.longest; ++i)
        delay *= 2;
    return std::min<Clock::duration>(delay, rules.longest);
}

void TelnetLogonDelay::ForgetOld(Clock::time_point now) {
    // Addresses with nothing left to remember are dropped, so that the table stays small.
    std::erase_if(records, [&](const auto& entry) {
        const Record& record = entry.second;
        return now - record.lastFailure >= rules.forgetAfter && now >= record.notBefore;
    });
}

TelnetLogonDelay::Clock::duration TelnetLogonDelay::WaitFor(const std::string& address,
                                                            Clock::time_point now) {
    std::lock_guard lock(mutex);
    auto found = records.find(address);
    if (found == records.end() || now >= found->second.notBefore)
        return Clock::duration::zero();
    return found->second.notBefore - now;
}

bool TelnetLogonDelay::RecordFailure(const std::string& address, Clock::time_point now) {
    std::lock_guard lock(mutex);
    ForgetOld(now);
    Record& record = records[address];
    const bool wasLongest = DelayAfter(record.failures) >= rules.longest;
    ++record.failures;
    record.lastFailure = now;
    // Guesses made side by side each push the next verdict further out, never back.
    record.notBefore = std::max(record.notBefore, now + DelayAfter(record.failures));
    return !wasLongest && DelayAfter(record.failures) >= rules.longest;
}

void TelnetLogonDelay::RecordSuccess(const std::string& address) {
    std::lock_guard lock(mutex);
    records.erase(address);
}
