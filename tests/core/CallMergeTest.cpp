#include "core/CallMerge.h"
#include "core/NetworkLines.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;
using Clock = CallMerge::Clock;

constexpr uint8_t Capi = 0, Feed = 1, Ami = 2;

IncomingCallNotice Notice(uint8_t source, uint32_t id, std::string calling = "04012345",
                          std::string called = "5551234") {
    IncomingCallNotice notice;
    notice.source = source;
    notice.connectionId = id;
    notice.callingNumber = std::move(calling);
    notice.calledNumber = std::move(called);
    notice.cipValue = 16;
    return notice;
}

// Passes the notice as the core does: the handler makes a record of a call that is new.
bool Take(CallMerge& merge, const IncomingCallNotice& notice, Clock::time_point at,
          std::time_t callTime) {
    if (merge.Seen(notice, at))
        return false;
    merge.Handled(notice, CallMerge::Record{callTime, notice.connectionId});
    return true;
}

TEST(CallMerge, ACallSeenThroughTwoSourcesIsOneAndItsOutcomeFindsTheFirstRecord) {
    CallMerge merge;
    const Clock::time_point t0{};
    EXPECT_TRUE(Take(merge, Notice(Capi, 0x101), t0, 1000));
    // The feed tells the same call 2.9 s later: not a call of its own.
    EXPECT_FALSE(Take(merge, Notice(Feed, 7), t0 + 2900ms, 1003));
    // The feed's end of it is the end of the CAPI call's record, told once.
    EXPECT_EQ(merge.Ended(Feed, 7), (CallMerge::Record{1000, 0x101}));
    EXPECT_EQ(merge.Ended(Feed, 7), std::nullopt);

    // The other way round: the feed first, CAPI later.
    EXPECT_TRUE(Take(merge, Notice(Feed, 8, "0301111"), t0 + 60s, 1060));
    EXPECT_FALSE(Take(merge, Notice(Capi, 0x201, "0301111"), t0 + 61s, 1061));
    EXPECT_EQ(merge.Ended(Feed, 8), (CallMerge::Record{1060, 8}));
}

TEST(CallMerge, OnlyTheSameNumbersThroughAnotherSourceWithinThreeSecondsMerge) {
    CallMerge merge;
    const Clock::time_point t0{};
    EXPECT_TRUE(Take(merge, Notice(Capi, 0x101), t0, 1000));
    // Another caller, another MSN, or past 3 s: calls of their own.
    EXPECT_TRUE(Take(merge, Notice(Feed, 1, "04099999"), t0 + 1s, 1001));
    EXPECT_TRUE(Take(merge, Notice(Feed, 2, "04012345", "5550000"), t0 + 1s, 1001));
    EXPECT_TRUE(Take(merge, Notice(Ami, 3), t0 + 3100ms, 1003));
    // Two calls of one source with the same numbers are two calls (the feed does not repeat).
    EXPECT_TRUE(Take(merge, Notice(Feed, 4, "0", "5551111"), t0 + 10s, 1010));
    EXPECT_TRUE(Take(merge, Notice(Feed, 5, "0", "5551111"), t0 + 11s, 1011));
    // Withheld callers through two doors: the same "0" and MSN merge like any number.
    EXPECT_FALSE(Take(merge, Notice(Capi, 0x301, "0", "5551111"), t0 + 12s, 1012));
}

TEST(CallMerge, ARepeatOfTheFirstNoticeReachesTheHandlerAndOneOfTheMergedCopyDoesNot) {
    CallMerge merge;
    const Clock::time_point t0{};
    EXPECT_TRUE(Take(merge, Notice(Capi, 0x101), t0, 1000));
    EXPECT_TRUE(merge.Seen(Notice(Feed, 7), t0 + 1s));
    // CAPI offers its call again: the handler counts the repeat; the record stays.
    EXPECT_FALSE(merge.Seen(Notice(Capi, 0x101), t0 + 2s));
    merge.Handled(Notice(Capi, 0x101), std::nullopt);
    // The feed's copy told again is still the merged copy.
    EXPECT_TRUE(merge.Seen(Notice(Feed, 7), t0 + 2500ms));
    EXPECT_EQ(merge.Ended(Feed, 7), (CallMerge::Record{1000, 0x101}));
}

TEST(CallMerge, OutcomesOfUnknownDroppedOrForgottenCallsFindNoRecord) {
    CallMerge merge;
    const Clock::time_point t0{};
    EXPECT_EQ(merge.Ended(Feed, 1), std::nullopt);
    // Dropped by the MSN filter: no record to end.
    EXPECT_FALSE(merge.Seen(Notice(Feed, 2), t0));
    merge.Handled(Notice(Feed, 2), std::nullopt);
    EXPECT_EQ(merge.Ended(Feed, 2), std::nullopt);

    // The router reuses its ids: the end goes to the latest call under the id.
    EXPECT_TRUE(Take(merge, Notice(Feed, 3, "111"), t0 + 10s, 1010));
    EXPECT_TRUE(Take(merge, Notice(Feed, 3, "222"), t0 + 20s, 1020));
    EXPECT_EQ(merge.Ended(Feed, 3), (CallMerge::Record{1020, 3}));

    // Calls whose end never comes are kept only up to the bound.
    for (uint32_t id = 100; id < 100 + 2 * CallMerge::MaxCalls; ++id)
        Take(merge, Notice(Feed, id, std::to_string(id)), t0 + 30s + std::chrono::seconds(id), id);
    EXPECT_EQ(merge.Calls(), CallMerge::MaxCalls);
    EXPECT_EQ(merge.Ended(Feed, 100), std::nullopt);
    EXPECT_TRUE(merge.Ended(Feed, 100 + 2 * CallMerge::MaxCalls - 1));
}

TEST(NetworkLines, CallsOfEachSourceKeepConnectionIdsOfTheirOwn) {
    const uint8_t feed = LineSourceId(LineSource::CallMonitor), ami = LineSourceId(LineSource::Ami);
    EXPECT_NE(feed, 0);
    EXPECT_NE(feed, ami);
    // The router's call 1 and the manager's call 1 are two calls, and neither is a PLCI.
    EXPECT_NE(NetworkConnectionId(feed, 1), NetworkConnectionId(ami, 1));
    EXPECT_NE(NetworkConnectionId(feed, 0), NetworkConnectionId(feed, 1));
    for (uint32_t id : {0u, 1u, 0x101u, 0xFFFFFFFFu}) {
        EXPECT_EQ(NetworkConnectionId(feed, id) & 0x7F, 0u); // no CAPI controller
        EXPECT_NE(NetworkConnectionId(ami, id) >> 24, 0u);   // a PLCI's high octet is 0
    }
}

TEST(CombinedLineState, LostWhileAnySourceIsLost) {
    CombinedLineState states;
    // One source alone: what it says.
    EXPECT_EQ(states.After(0, LineState::Listening), LineState::Listening);
    EXPECT_EQ(states.After(0, LineState::Lost), LineState::Lost);
    EXPECT_EQ(states.After(0, LineState::Back), LineState::Back);
    EXPECT_EQ(states.After(1, LineState::Lost), LineState::Lost);
    EXPECT_EQ(states.After(0, LineState::Listening), LineState::Lost);
    EXPECT_EQ(states.After(1, LineState::Back), LineState::Back);
}

} // namespace
