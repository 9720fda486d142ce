// The headless monitor with outputs switched on in tavo.conf: a call on the line reaches an NCID
// client, the MQTT broker and a command, and the line's state reaches the broker.
#include "MonitorScene.h"
#include "MqttTestBroker.h"
#include "TelnetTestClient.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

constexpr uint8_t CmdConnect = 0x02, CmdListen = 0x05;
constexpr uint8_t Req = 0x80, Resp = 0x83;

std::string LineOf(TestClient& client) {
    std::string line = client.ReadUntil("\r\n");
    return line.size() >= 2 ? line.substr(0, line.size() - 2) : "<" + line + ">";
}

TEST(OutputsEndToEnd, ACallOnTheLineReachesEveryOutput) {
    MonitorScene scene;
    TestBroker broker;
    ASSERT_TRUE(broker.Start());
    TestSubscriber watcher(broker.port, "tavo/e2e/#");
    ASSERT_TRUE(watcher.WaitSubscribed());

    const std::string home = scene.home.Path();
    const std::string script = home + "/on-call";
    std::ofstream(script) << "#!/bin/sh\nenv | grep '^TAVO_' > \"$1\"\n";
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    const int ncidPort = FreeLocalPort();
    std::filesystem::create_directories(home + "/config/TAVO");
    std::ofstream(home + "/config/TAVO/tavo.conf")
        << "[ncid]\nenabled=true\nport=" << ncidPort << "\n"
        << "[mqtt]\nenabled=true\nhost=127.0.0.1\nport=" << broker.port
        << "\nbase_topic=tavo/e2e\ndiscovery=false\n"
        << "[command]\nprogram=" << script << "\narguments=" << home << "/env\n";

    ASSERT_NE(scene.StartPeer({}), 0u) << scene.Transcript();
    ASSERT_TRUE(scene.StartMonitor(scene.port));
    ASSERT_TRUE(scene.WaitRegistered()) << scene.Transcript();
    ASSERT_TRUE(scene.WaitMessage('<', CmdListen, Req)) << scene.Transcript();
    ASSERT_TRUE(watcher.WaitFor([](const auto& m) { return CountOn(m, "tavo/e2e/line") >= 1; }))
        << scene.Transcript();
    EXPECT_EQ(watcher.On("tavo/e2e/line").back().payload, "listening");

    TestClient ncid(ncidPort);
    ASSERT_TRUE(ncid.Connected()) << scene.Transcript();
    std::string line;
    do
        line = LineOf(ncid);
    while (line.rfind("300 ", 0) != 0 && line.rfind("<", 0) != 0);
    ASSERT_EQ(line, "300 End of connection startup");

    ASSERT_TRUE(scene.Ring("5551 301234567 cip=16 plci=0x00000101")) << scene.Transcript();
    ASSERT_TRUE(scene.WaitMessage('<', CmdConnect, Resp)) << scene.Transcript();
    const std::string cid = LineOf(ncid);
    EXPECT_EQ(cid.rfind("CID: *DATE*", 0), 0u) << cid;
    EXPECT_NE(cid.find("*LINE*5551*NMBR*0301234567*MESG*NONE*NAME*everywhere*"), std::string::npos)
        << cid;

    ASSERT_TRUE(watcher.WaitFor([](const auto& m) { return CountOn(m, "tavo/e2e/call") == 1; }));
    EXPECT_NE(watcher.On("tavo/e2e/call")[0].payload.find("\"number\":\"0301234567\""),
              std::string::npos);

    std::string environment;
    for (int i = 0; i < 500 && environment.find("TAVO_MSN=") == std::string::npos; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        std::ifstream in(home + "/env");
        std::stringstream text;
        text << in.rdbuf();
        environment = text.str();
    }
    EXPECT_NE(environment.find("TAVO_NUMBER=0301234567\n"), std::string::npos) << environment;
    EXPECT_NE(environment.find("TAVO_MSN=5551\n"), std::string::npos) << environment;

    // The line goes away: the broker hears of it.
    ASSERT_TRUE(scene.StopPeer());
    EXPECT_TRUE(watcher.WaitFor([](const auto& m) {
        return !m.empty() && CountOn(m, "tavo/e2e/line") >= 2 &&
               m.back().topic == "tavo/e2e/line" && m.back().payload == "lost";
    })) << scene.Transcript();
}

// With screening rules in force, the broker hears what each call's verdict was: the action and
// the rule, also for a call no rule decided.
TEST(OutputsEndToEnd, TheBrokerHearsEachCallsVerdict) {
    MonitorScene scene;
    TestBroker broker;
    ASSERT_TRUE(broker.Start());
    TestSubscriber watcher(broker.port, "tavo/rules/call");
    ASSERT_TRUE(watcher.WaitSubscribed());

    const std::string home = scene.home.Path();
    std::filesystem::create_directories(home + "/config/TAVO");
    std::ofstream(home + "/config/TAVO/tavo.conf")
        << "[mqtt]\nenabled=true\nhost=127.0.0.1\nport=" << broker.port
        << "\nbase_topic=tavo/rules\ndiscovery=false\n";
    std::ofstream(home + "/config/TAVO/rules.conf")
        << "# nights are quiet\nquiet   number=0900*   # premium\n";

    ASSERT_NE(scene.StartPeer({}), 0u) << scene.Transcript();
    ASSERT_TRUE(scene.StartMonitor(scene.port));
    ASSERT_TRUE(scene.WaitRegistered()) << scene.Transcript();
    ASSERT_TRUE(scene.WaitMessage('<', CmdListen, Req)) << scene.Transcript();

    ASSERT_TRUE(scene.Ring("5551 9001234 cip=1 plci=0x00000101")) << scene.Transcript();
    ASSERT_TRUE(watcher.WaitFor([](const auto& m) { return m.size() == 1; }))
        << scene.Transcript();
    ASSERT_TRUE(scene.Ring("5551 301234567 cip=1 plci=0x00000201")) << scene.Transcript();
    ASSERT_TRUE(watcher.WaitFor([](const auto& m) { return m.size() == 2; }))
        << scene.Transcript();
    const auto calls = watcher.On("tavo/rules/call");
    const std::string quiet = calls[0].payload;
    EXPECT_NE(quiet.find("\"number\":\"09001234\""), std::string::npos) << quiet;
    EXPECT_TRUE(quiet.ends_with(",\"action\":\"quiet\",\"rule\":\"quiet number=0900*\"}")) << quiet;
    const std::string announced = calls[1].payload;
    EXPECT_TRUE(announced.ends_with(",\"action\":\"announce\",\"rule\":\"\"}")) << announced;
}

} // namespace
