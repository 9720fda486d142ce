// `tavo --headless` with the line sources beside CAPI, end to end: a fake router's call-monitor
// feed and a fake PBX manager of this test's own, speaking the protocols as their documentation
// gives them, and a real broker that receives each call's outcome.
#include "FakeLineServer.h"
#include "MonitorScene.h"
#include "MqttTestBroker.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>

namespace {

using namespace std::chrono_literals;
using SteadyClock = std::chrono::steady_clock;

constexpr auto Patience = MonitorScene::Patience;

class NetworkLines : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(broker.Start());
        watcher = std::make_unique<TestSubscriber>(broker.port, "tavo/e2e/#", "watcher");
        ASSERT_TRUE(watcher->WaitSubscribed());
    }

    // tavo.conf with the feed, the manager and the broker, then the monitor with `--line`.
    bool StartMonitor(const std::string& line, const std::vector<std::string>& more = {},
                      const std::string& amiSecret = "pw") {
        const std::string& dir = scene.home.Path();
        std::filesystem::create_directories(dir + "/config/TAVO");
        {
            std::ofstream conf(dir + "/config/TAVO/tavo.conf");
            // A far end the test does not open keeps its default port.
            conf << "[callmonitor]\nhost=127.0.0.1\n";
            if (feed.port != 0)
                conf << "port=" << feed.port << "\n";
            conf << "[ami]\nhost=127.0.0.1\n";
            if (ami.port != 0)
                conf << "port=" << ami.port << "\n";
            conf << "user=tavo\nsecret=" << amiSecret << "\ncontext=from-external\n"
                 << "[mqtt]\nenabled=true\nhost=127.0.0.1\nport=" << broker.port
                 << "\nbase_topic=tavo/e2e\ndiscovery=false\n";
        }
        std::filesystem::permissions(dir + "/config/TAVO/tavo.conf",
                                     std::filesystem::perms::owner_read |
                                         std::filesystem::perms::owner_write);
        std::vector<std::string> argv{TAVO_PATH, "--headless", "--data-dir", dir + "/data",
                                      "--line", line};
        argv.insert(argv.end(), more.begin(), more.end());
        return scene.monitor.Start(argv, {{"HOME", dir},
                                          {"XDG_CONFIG_HOME", dir + "/config"},
                                          {"XDG_DATA_HOME", dir + "/share"},
                                          {"TAVO_DATA_DIR", dir + "/data"},
                                          {"QT_QPA_PLATFORM", "offscreen"}});
    }

    // The feed's line for an event, with the router's time stamp.
    static std::string Feed(const std::string& event) { return "09.12.26 19:30:00;" + event + "\r\n"; }

    static std::string Packet(const std::vector<std::pair<std::string, std::string>>& fields) {
        std::string text;
        for (const auto& [key, value] : fields)
            text += key + ": " + value + "\r\n";
        return text + "\r\n";
    }
    static std::string NewChannel(const std::string& uniqueId, const std::string& linkedId,
                                  const std::string& caller, const std::string& exten,
                                  const std::string& context = "from-external") {
        return Packet({{"Event", "Newchannel"},
                       {"Privilege", "call,all"},
                       {"Channel", "PJSIP/trunk-" + uniqueId},
                       {"ChannelState", "0"},
                       {"ChannelStateDesc", "Down"},
                       {"CallerIDNum", caller},
                       {"CallerIDName", ""},
                       {"Context", context},
                       {"Exten", exten},
                       {"Uniqueid", uniqueId},
                       {"Linkedid", linkedId}});
    }
    static std::string Hangup(const std::string& uniqueId, const std::string& linkedId,
                              const std::string& cause, const std::string& text) {
        return Packet({{"Event", "Hangup"},
                       {"Privilege", "call,all"},
                       {"Channel", "PJSIP/trunk-" + uniqueId},
                       {"Uniqueid", uniqueId},
                       {"Linkedid", linkedId},
                       {"Cause", cause},
                       {"Cause-txt", text}});
    }

    // The manager takes the monitor's connection and answers its login.
    bool AmiLogin(bool accept) {
        if (!ami.Accept(Patience) || !ami.Send("Asterisk Call Manager/5.0.1\r\n"))
            return false;
        if (!ami.WaitReceived("Events: call\r\n\r\n", Patience))
            return false;
        EXPECT_NE(ami.received.find("Action: Login\r\n"), std::string::npos) << ami.received;
        EXPECT_NE(ami.received.find("Username: tavo\r\n"), std::string::npos) << ami.received;
        EXPECT_NE(ami.received.find("Secret: pw\r\n"), std::string::npos) << ami.received;
        return ami.Send(accept ? Packet({{"Response", "Success"},
                                         {"ActionID", "tavo-login"},
                                         {"Message", "Authentication accepted"}})
                               : Packet({{"Response", "Error"},
                                         {"ActionID", "tavo-login"},
                                         {"Message", "Authentication failed"}}));
    }

    // The payloads published on `topic` that hold `text`.
    size_t Published(const std::string& topic, const std::string& text) {
        size_t n = 0;
        for (const ReceivedMessage& m : watcher->On(topic))
            n += m.payload.find(text) != std::string::npos;
        return n;
    }
    bool WaitPublished(const std::string& topic, const std::string& text) {
        return watcher->WaitFor([&](const std::vector<ReceivedMessage>& messages) {
            for (const ReceivedMessage& m : messages)
                if (m.topic == topic && m.payload.find(text) != std::string::npos)
                    return true;
            return false;
        });
    }
    std::string Dump() {
        std::string text = scene.Transcript() + "broker:\n";
        for (const ReceivedMessage& m : watcher->Messages())
            text += m.topic + " " + m.payload + "\n";
        return text;
    }

    TestBroker broker;
    std::unique_ptr<TestSubscriber> watcher;
    MonitorScene scene;
    FakeLineServer feed, ami;
};

TEST_F(NetworkLines, TheFeedsCallsWithheldOnesAndWhetherEachWasAnswered) {
    ASSERT_TRUE(feed.Listen());
    ASSERT_TRUE(StartMonitor("callmonitor"));
    ASSERT_TRUE(feed.Accept(Patience)) << scene.Transcript();
    ASSERT_TRUE(scene.WaitMonitorError("callmonitor: listening at 127.0.0.1:")) << scene.Transcript();

    // An outgoing call is none of the monitor's business; the RING after it is a call.
    ASSERT_TRUE(feed.Send(Feed("CALL;3;1;5551;0301111;SIP0;") + Feed("RING;0;04012345;5551;SIP0;")));
    EXPECT_EQ(scene.WaitCallLine(), MonitorScene::CallLine("04012345", "5551", 0, 16)) << Dump();
    ASSERT_TRUE(feed.Send(Feed("CONNECT;0;2;04012345;") + Feed("DISCONNECT;0;80;")));
    ASSERT_TRUE(WaitPublished("tavo/e2e/call_end", "\"outcome\":\"answered\"")) << Dump();
    EXPECT_EQ(Published("tavo/e2e/call_end",
                        "\"msn\":\"5551\",\"number\":\"04012345\",\"outcome\":\"answered\","
                        "\"extension\":\"2\",\"seconds\":80}"),
              1u)
        << Dump();
    // The last caller's attributes carry the outcome.
    ASSERT_TRUE(WaitPublished("tavo/e2e/last_call", "\"outcome\":\"answered\"")) << Dump();

    // Withheld, half a line at a time, and never answered.
    ASSERT_TRUE(feed.Send("09.12.26 19:31:00;RI"));
    ASSERT_TRUE(feed.Send("NG;1;;5552;SIP0;\n"));
    EXPECT_EQ(scene.WaitCallLine(), MonitorScene::CallLine("0", "5552", 1, 16)) << Dump();
    ASSERT_TRUE(feed.Send(Feed("DISCONNECT;1;0;")));
    ASSERT_TRUE(WaitPublished("tavo/e2e/call_end", "\"outcome\":\"missed\"")) << Dump();
    EXPECT_EQ(Published("tavo/e2e/call_end", "\"msn\":\"5552\",\"number\":\"\",\"outcome\":\"missed\""),
              1u)
        << Dump();
    // One call line each, nothing for the outgoing call or the ends.
    EXPECT_TRUE(scene.monitor.Unread(ChildProcess::Out).empty()) << Dump();
}

TEST_F(NetworkLines, TheFeedBackWithinTheBackOffAfterTheRouterRestarts) {
    ASSERT_TRUE(feed.Listen());
    const unsigned port = feed.port;
    ASSERT_TRUE(StartMonitor("callmonitor"));
    ASSERT_TRUE(feed.Accept(Patience));
    ASSERT_TRUE(scene.WaitMonitorError("callmonitor: listening at")) << scene.Transcript();
    ASSERT_TRUE(WaitPublished("tavo/e2e/line", "listening")) << Dump();

    // The router goes: the connection ends and the port is refused for a while.
    feed.Close();
    ASSERT_TRUE(scene.WaitMonitorError("callmonitor: connection lost")) << scene.Transcript();
    ASSERT_TRUE(WaitPublished("tavo/e2e/line", "lost")) << Dump();
    const auto down = SteadyClock::now();
    ASSERT_TRUE(feed.Listen(port));
    ASSERT_TRUE(feed.Accept(Patience)) << scene.Transcript();
    ASSERT_TRUE(scene.WaitMonitorError("callmonitor: listening again at")) << scene.Transcript();
    const auto back = std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - down);
    RecordProperty("feed_back_after_ms", static_cast<int>(back.count()));
    std::printf("the feed was listening again %lld ms after the router came back\n",
                static_cast<long long>(back.count()));

    ASSERT_TRUE(feed.Send(Feed("RING;5;0309876;5551;SIP0;")));
    EXPECT_EQ(scene.WaitCallLine(), MonitorScene::CallLine("0309876", "5551", 5, 16)) << Dump();
}

TEST_F(NetworkLines, TheManagersCallsGroupedByLinkedidAndTheirHangup) {
    ASSERT_TRUE(ami.Listen());
    ASSERT_TRUE(StartMonitor("ami"));
    ASSERT_TRUE(AmiLogin(true)) << scene.Transcript();
    ASSERT_TRUE(scene.WaitMonitorError("ami: listening at 127.0.0.1:")) << scene.Transcript();

    // The trunk's channel is the call; the channel that rings the desk phone is the same call;
    // a call of another context is not one.
    ASSERT_TRUE(ami.Send(NewChannel("1700.1", "1700.1", "04012345", "5551") +
                         NewChannel("1700.2", "1700.1", "5551", "201", "from-internal") +
                         NewChannel("1701.1", "1701.1", "0301111", "5551", "from-internal")));
    EXPECT_EQ(scene.WaitCallLine(), MonitorScene::CallLine("04012345", "5551", 1, 16)) << Dump();
    ASSERT_TRUE(ami.Send(Hangup("1700.2", "1700.1", "16", "Normal Clearing") +
                         Hangup("1700.1", "1700.1", "19", "No answer")));
    ASSERT_TRUE(WaitPublished("tavo/e2e/call_end", "\"cause\":19")) << Dump();
    EXPECT_EQ(Published("tavo/e2e/call_end", "\"number\":\"04012345\",\"outcome\":\"missed\""), 1u)
        << Dump();

    // Taken at the desk phone 201: answered there.
    ASSERT_TRUE(ami.Send(NewChannel("1703.1", "1703.1", "0309999", "5551") +
                         Packet({{"Event", "Newstate"},
                                 {"Channel", "PJSIP/201-0000002a"},
                                 {"ChannelState", "6"},
                                 {"ChannelStateDesc", "Up"},
                                 {"Uniqueid", "1703.2"},
                                 {"Linkedid", "1703.1"}})));
    EXPECT_EQ(scene.WaitCallLine(), MonitorScene::CallLine("0309999", "5551", 2, 16)) << Dump();
    ASSERT_TRUE(ami.Send(Hangup("1703.1", "1703.1", "16", "Normal Clearing")));
    ASSERT_TRUE(WaitPublished("tavo/e2e/call_end", "\"number\":\"0309999\"")) << Dump();
    EXPECT_EQ(Published("tavo/e2e/call_end", "\"outcome\":\"answered\",\"extension\":\"201\""), 1u)
        << Dump();

    // Withheld as the manager says it.
    ASSERT_TRUE(ami.Send(NewChannel("1702.1", "1702.1", "<unknown>", "5552")));
    EXPECT_EQ(scene.WaitCallLine(), MonitorScene::CallLine("0", "5552", 3, 16)) << Dump();
    EXPECT_TRUE(scene.monitor.Unread(ChildProcess::Out).empty()) << Dump();
}

TEST_F(NetworkLines, TheManagerRestartedIsLoggedInToAgainAndItsCallsCount) {
    ASSERT_TRUE(ami.Listen());
    const unsigned port = ami.port;
    ASSERT_TRUE(StartMonitor("ami"));
    ASSERT_TRUE(AmiLogin(true)) << scene.Transcript();
    ASSERT_TRUE(scene.WaitMonitorError("ami: listening at")) << scene.Transcript();

    // The PBX restarts: the connection goes and the port is refused until it is back.
    ami.Close();
    ASSERT_TRUE(scene.WaitMonitorError("ami: connection lost")) << scene.Transcript();
    ASSERT_TRUE(ami.Listen(port));
    ASSERT_TRUE(AmiLogin(true)) << scene.Transcript();
    ASSERT_TRUE(scene.WaitMonitorError("ami: listening again at")) << scene.Transcript();
    ASSERT_TRUE(ami.Send(NewChannel("1900.1", "1900.1", "0305555", "5551")));
    EXPECT_EQ(scene.WaitCallLine(), MonitorScene::CallLine("0305555", "5551", 1, 16)) << Dump();
}

TEST_F(NetworkLines, ARefusedLoginIsToldOnceAndNothingAfterItIsACall) {
    ASSERT_TRUE(ami.Listen());
    ASSERT_TRUE(StartMonitor("ami"));
    ASSERT_TRUE(AmiLogin(false)) << scene.Transcript();
    ASSERT_TRUE(scene.WaitMonitorError("login was refused")) << scene.Transcript();
    // Whatever the manager sends after it is no call; and the next try is a minute away.
    ami.Send(NewChannel("1800.1", "1800.1", "04012345", "5551"));
    EXPECT_FALSE(ami.Accept(3s));
    scene.monitor.Collect(10ms);
    EXPECT_TRUE(scene.monitor.Lines(ChildProcess::Out).empty()) << Dump();
    size_t told = 0;
    for (const std::string& line : scene.monitor.Lines(ChildProcess::Err))
        told += line.find("refused") != std::string::npos;
    // The log line of the state and the message, once each.
    EXPECT_EQ(told, 2u) << Dump();
}

TEST_F(NetworkLines, ACallThroughCapiAndTheFeedIsOneCallWithTheFeedsOutcome) {
    ASSERT_NE(scene.StartPeer({}), 0u) << scene.Transcript();
    ASSERT_TRUE(feed.Listen());
    ASSERT_TRUE(StartMonitor("capi,callmonitor",
                             {"--capi-remote", "rcapi:127.0.0.1:" + std::to_string(scene.port)}));
    ASSERT_TRUE(scene.WaitRegistered()) << scene.Transcript();
    ASSERT_TRUE(scene.WaitMessage('<', 0x05, 0x80)) << scene.Transcript();
    ASSERT_TRUE(feed.Accept(Patience)) << scene.Transcript();
    ASSERT_TRUE(scene.WaitMonitorError("callmonitor: listening at")) << scene.Transcript();

    // CAPI first, the feed a moment later: one call, the CAPI line's.
    ASSERT_TRUE(scene.Ring("5551 301234567 cip=16 plci=0x00000101")) << scene.Transcript();
    EXPECT_EQ(scene.WaitCallLine(), MonitorScene::CallLine("0301234567", "5551", 0x101, 16))
        << Dump();
    ASSERT_TRUE(feed.Send(Feed("RING;4;0301234567;5551;SIP0;")));
    // Another call after it: once its line is there, a second line of the first would be too.
    ASSERT_TRUE(feed.Send(Feed("RING;6;0407777;5551;SIP0;")));
    EXPECT_EQ(scene.WaitCallLine(), MonitorScene::CallLine("0407777", "5551", 6, 16)) << Dump();
    ASSERT_TRUE(feed.Send(Feed("CONNECT;4;1;0301234567;") + Feed("DISCONNECT;4;12;")));
    ASSERT_TRUE(WaitPublished("tavo/e2e/call_end", "\"number\":\"0301234567\"")) << Dump();
    EXPECT_EQ(Published("tavo/e2e/call", "\"number\":\"0301234567\""), 1u) << Dump();
    EXPECT_EQ(Published("tavo/e2e/call_end", "\"seconds\":12"), 1u) << Dump();
    EXPECT_TRUE(scene.monitor.Unread(ChildProcess::Out).empty()) << Dump();
}

} // namespace
