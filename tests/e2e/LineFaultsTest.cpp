// The monitor under faults of the line and of the process: frames that break libcapi20, a server
// that never answers the registration, and a kill -9 right after a call was announced.
#include "MonitorScene.h"

#include "data/ListFile.h"

#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

constexpr uint8_t CmdConnect = 0x02, CmdListen = 0x05;
constexpr uint8_t Req = 0x80, Resp = 0x83;

class LineFaults : public ::testing::Test {
protected:
    void Bringup() {
        ASSERT_NE(scene.StartPeer({}), 0u) << scene.Transcript();
        ASSERT_TRUE(scene.StartMonitor(scene.port));
        ASSERT_TRUE(scene.WaitRegistered()) << scene.Transcript();
        ASSERT_TRUE(scene.WaitMessage('<', CmdListen, Req)) << scene.Transcript();
    }
    // Rings a call of its own and checks that it is answered and announced.
    void RingAndExpect(const std::string& called, const std::string& plci) {
        SCOPED_TRACE("ring " + called);
        ASSERT_TRUE(scene.Ring(called + " 301234 plci=" + plci)) << scene.Transcript();
        ASSERT_TRUE(scene.WaitMessage('<', CmdConnect, Resp)) << scene.Transcript();
        EXPECT_EQ(scene.WaitCallLine(), MonitorScene::CallLine("0301234", called, 0, 16))
            << scene.Transcript();
    }
    // Lines on the monitor's standard error that hold `text`.
    size_t Count(const std::string& text) const {
        size_t count = 0;
        for (const auto& line : scene.monitor.Lines(ChildProcess::Err))
            count += line.find(text) != std::string::npos;
        return count;
    }
    size_t Told() const { return Count("is no CAPI message"); }

    MonitorScene scene;
};

TEST_F(LineFaults, FramesThatBreakLibcapi20AreToldAndTheLineStartsAfresh) {
    Bringup();
    RingAndExpect("5551", "0x00000101");
    // libcapi20 3.27 smashes its stack on a frame of 4,997 bytes or more, waits for ever for the
    // rest of a frame that claims 0xFFFF bytes, and after a frame of length 0 eats the next one
    // (a call) without a word. None of them may reach it, and each is told once.
    std::string bigFrame = "frame 13 88";
    for (int i = 0; i < 4998; ++i)
        bigFrame += " 41";
    const std::vector<std::pair<std::string, std::string>> frames = {
        {bigFrame, "16 octets: 13 88 41 41"},
        {"frame FF FF 00 00 02 82 00 00", "8 octets: FF FF 00 00 02 82 00 00"},
        {"frame 00 00", "2 octets: 00 00)"},
    };
    uint32_t plci = 0x201;
    for (const auto& [frame, told] : frames) {
        SCOPED_TRACE(frame.substr(0, 20));
        const size_t before = Told();
        scene.SkipRecord();
        ASSERT_TRUE(scene.peer.WriteLine(frame));
        const auto line = scene.WaitMonitorError("is no CAPI message", 20s);
        ASSERT_TRUE(line) << scene.Transcript();
        EXPECT_NE(line->find(told), std::string::npos) << *line;
        ASSERT_TRUE(scene.WaitRegistered(20s)) << scene.Transcript();
        ASSERT_TRUE(scene.WaitMessage('<', CmdListen, Req)) << scene.Transcript();
        EXPECT_TRUE(scene.monitor.Running());
        char text[16];
        std::snprintf(text, sizeof text, "0x%08X", plci);
        RingAndExpect("5552", text);
        plci += 0x100;
        EXPECT_EQ(Told(), before + 1) << scene.Transcript();
    }
    EXPECT_TRUE(scene.WaitMonitorError("listening again")) << scene.Transcript();
}

// A registration the server takes and never answers, then a working server on the same port:
// the library of the process that registered cannot register again, a fresh process can.
TEST_F(LineFaults, RegistrationThatHungIsRetriedInAFreshProcess) {
    ASSERT_NE(scene.StartPeer({"--hang-register"}), 0u);
    const unsigned port = scene.port;
    ASSERT_TRUE(scene.StartMonitor(port));
    ASSERT_TRUE(scene.peer.WaitForPrefix(ChildProcess::Out, "unanswered register",
                                         MonitorScene::Patience))
        << scene.Transcript();
    ASSERT_TRUE(scene.StopPeer());
    ASSERT_EQ(scene.StartPeer({}, port), port) << scene.Transcript();
    ASSERT_TRUE(scene.WaitRegistered(30s)) << scene.Transcript();
    ASSERT_TRUE(scene.WaitMessage('<', CmdListen, Req)) << scene.Transcript();
    RingAndExpect("5551", "0x00000101");
    // It never listened before: this is the first listening, not "again".
    EXPECT_TRUE(scene.WaitMonitorError("tavo: listening on 1 controller(s)")) << scene.Transcript();
    EXPECT_EQ(Count("listening again"), 0u) << scene.Transcript();
}

TEST_F(LineFaults, RegistrationThatIsNeverAnsweredIsGivenUpAndRetried) {
    ASSERT_NE(scene.StartPeer({"--silent"}), 0u);
    const unsigned port = scene.port;
    ASSERT_TRUE(scene.StartMonitor(port));
    ASSERT_TRUE(scene.WaitMonitorError("does not answer the registration", 30s))
        << scene.Transcript();
    // The silent server is replaced by one that works.
    ASSERT_TRUE(scene.StopPeer());
    ASSERT_EQ(scene.StartPeer({}, port), port) << scene.Transcript();
    ASSERT_TRUE(scene.WaitRegistered(30s)) << scene.Transcript();
    ASSERT_TRUE(scene.WaitMessage('<', CmdListen, Req)) << scene.Transcript();
    RingAndExpect("5551", "0x00000101");
}

TEST_F(LineFaults, ACallAnnouncedBeforeAKillIsInTheHistoryAtTheNextStart) {
    Bringup();
    RingAndExpect("5551", "0x00000101");
    // Killed right after the log line: the save of the history may not have run.
    scene.monitor.Kill(SIGKILL);
    ASSERT_TRUE(scene.monitor.Wait(MonitorScene::Patience));

    ChildProcess next;
    ASSERT_TRUE(scene.StartMonitorIn(next, scene.port));
    ASSERT_TRUE(next.WaitForPrefix(ChildProcess::Err, "tavo: listening", MonitorScene::Patience))
        << next.Transcript();
    next.Kill(SIGTERM);
    ASSERT_EQ(next.Wait(MonitorScene::Patience), 0) << next.Transcript();

    const std::string data = scene.home.Path() + "/data/";
    CallList history;
    ListFileLoad load = LoadListFile(history, data + "caller.his");
    EXPECT_TRUE(load.Clean());
    ASSERT_EQ(history.size(), 1u);
    EXPECT_EQ(TextOf(history.begin()->key), "5551");
    EXPECT_EQ(TextOf(history.begin()->value), "0301234");
    EXPECT_FALSE(std::filesystem::exists(data + "caller.his.journal"));
}

} // namespace
