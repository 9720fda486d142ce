#include "capi/DemoCalls.h"
#include "capi/CallNumbers.h"
#include "capi/CapiErrors.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

using namespace std::chrono_literals;

namespace {

TEST(DemoCalls, OneRoundShowsEveryKindOfCallAndHangsEachUp) {
    auto next = DemoCallSource();
    std::set<std::string> callers, msns;
    std::set<int> services;
    std::map<uint32_t, std::chrono::milliseconds> lastSetUp;
    std::set<uint32_t> open;
    bool repeatedWithinFiveSeconds = false;
    std::chrono::milliseconds now{0};
    for (int i = 0; i < 13; ++i) {
        std::optional<SimEvent> event = next();
        ASSERT_TRUE(event);
        ASSERT_GT(event->delay, 0ms);
        now += event->delay;
        cmsg c;
        ASSERT_EQ(MessageToCmsg(c, event->message), CapiNoError);
        ASSERT_EQ(c.subcommand, CAPI_IND);
        if (c.command == CAPI_CONNECT) {
            IncomingCallNotice notice = BuildIncomingCallNotice(c);
            callers.insert(notice.callingNumber);
            msns.insert(notice.calledNumber);
            services.insert(notice.cipValue);
            if (lastSetUp.count(c.adr) && now - lastSetUp[c.adr] < 5s)
                repeatedWithinFiveSeconds = true;
            lastSetUp[c.adr] = now;
            open.insert(c.adr);
        } else {
            ASSERT_EQ(c.command, CAPI_DISCONNECT);
            EXPECT_EQ(open.erase(c.adr), 1u);
        }
    }
    EXPECT_TRUE(open.empty());
    EXPECT_TRUE(callers.count("0"));          // withheld
    EXPECT_TRUE(callers.count("0301234567")); // in the demo phone book
    EXPECT_TRUE(callers.count("004989765432"));
    EXPECT_EQ(msns, (std::set<std::string>{"5551", "5552"}));
    EXPECT_EQ(services, (std::set<int>{1, 16}));
    EXPECT_TRUE(repeatedWithinFiveSeconds);

    // The next round rings new calls, not repeats of the first round's.
    std::optional<SimEvent> event = next();
    ASSERT_TRUE(event);
    cmsg c;
    ASSERT_EQ(MessageToCmsg(c, event->message), CapiNoError);
    EXPECT_EQ(lastSetUp.count(c.adr), 0u);
}

TEST(DemoCalls, SimulatedLineReleasesTimedEventsWhileTheMonitorWaits) {
    SimulatedLine line;
    unsigned applId = 0;
    ASSERT_EQ(line.Register(2, 7, 2048, applId), CapiNoError);
    int given = 0;
    line.SetEventSource([&]() -> std::optional<SimEvent> {
        if (given++ == 2)
            return std::nullopt;
        return SimEvent{10ms, DisconnectIndMessage(0x101, 0, static_cast<uint16_t>(given))};
    });
    EXPECT_EQ(line.QueuedCount(), 0u);
    ASSERT_EQ(line.WaitForMessage(applId, 5s), CapiNoError);
    std::span<const uint8_t> m;
    ASSERT_EQ(line.GetMessage(applId, m), CapiNoError);
    EXPECT_EQ(m[6], 1);
    ASSERT_EQ(line.WaitForMessage(applId, 5s), CapiNoError);
    ASSERT_EQ(line.GetMessage(applId, m), CapiNoError);
    EXPECT_EQ(m[6], 2);
    EXPECT_EQ(line.WaitForMessage(applId, 30ms), CapiReceiveQueueEmpty); // script ended
}

} // namespace
