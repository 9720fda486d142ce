// The growing wait after failed logons, on a clock the test sets.

#include "telnet/TelnetLogonDelay.h"

#include <gtest/gtest.h>
#include <vector>

namespace {
using namespace std::chrono_literals;
using Clock = TelnetLogonDelay::Clock;
const Clock::time_point t0 = Clock::time_point{} + 1h;
} // namespace

TEST(TelnetLogonDelay, EachFailureDoublesTheWaitUpToHalfAMinute) {
    TelnetLogonDelay delay;
    const std::vector<Clock::duration> expected{0s, 1s, 2s, 4s, 8s, 16s, 30s, 30s};
    for (unsigned failures = 0; failures < expected.size(); ++failures)
        EXPECT_EQ(delay.DelayAfter(failures), expected[failures]) << failures;
    EXPECT_EQ(delay.DelayAfter(1000), 30s); // never more, however many

    // Only the failure that brings the address to the longest wait says so.
    std::vector<bool> longest;
    for (int i = 0; i < 8; ++i)
        longest.push_back(delay.RecordFailure("192.0.2.1", t0 + i * 1min));
    EXPECT_EQ(longest, (std::vector<bool>{false, false, false, false, false, true, false, false}));
}

TEST(TelnetLogonDelay, TheRightUserWaitsAtMostTheLongestWhateverOthersTry) {
    TelnetLogonDelay delay;
    EXPECT_EQ(delay.WaitFor("192.0.2.1", t0), 0s);
    delay.RecordFailure("192.0.2.1", t0);
    EXPECT_EQ(delay.WaitFor("192.0.2.1", t0), 1s);
    EXPECT_EQ(delay.WaitFor("192.0.2.1", t0 + 400ms), 600ms);
    EXPECT_EQ(delay.WaitFor("192.0.2.1", t0 + 1s), 0s);
    EXPECT_EQ(delay.WaitFor("192.0.2.2", t0), 0s); // other addresses are not slowed

    // A hundred guesses side by side push the next verdict out by the longest wait, no more.
    for (int i = 0; i < 100; ++i)
        delay.RecordFailure("192.0.2.1", t0 + 2s);
    EXPECT_EQ(delay.WaitFor("192.0.2.1", t0 + 2s), 30s);

    // A success starts the address over.
    delay.RecordSuccess("192.0.2.1");
    EXPECT_EQ(delay.WaitFor("192.0.2.1", t0 + 3s), 0s);
    delay.RecordFailure("192.0.2.1", t0 + 3s);
    EXPECT_EQ(delay.WaitFor("192.0.2.1", t0 + 3s), 1s);
}

TEST(TelnetLogonDelay, AnAddressQuietForTenMinutesStartsOver) {
    TelnetLogonDelay delay;
    for (int i = 0; i < 5; ++i)
        delay.RecordFailure("192.0.2.1", t0);
    delay.RecordFailure("192.0.2.1", t0 + 9min);
    EXPECT_EQ(delay.WaitFor("192.0.2.1", t0 + 9min), 30s); // the sixth in a row
    delay.RecordFailure("192.0.2.1", t0 + 19min);
    EXPECT_EQ(delay.WaitFor("192.0.2.1", t0 + 19min), 1s);
}
