// Calls refused on the line by the user's "reject" rules: `tavo --headless` over the real
// libcapi20 against tavo-capi-peer, the CONNECT_RESP checked byte for byte.
#include "MonitorScene.h"

#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

constexpr uint8_t CmdConnect = 0x02, CmdListen = 0x05;
constexpr uint8_t Req = 0x80, Resp = 0x83;

// The CONNECT_RESP that refuses the call as busy: the ignoring one with Reject 3.
Bytes RefuseCallResponse(uint16_t applId, const RecordedMessage& connectInd) {
    Bytes m = IgnoreCallResponse(applId, connectInd);
    m[12] = 3;
    m[13] = 0;
    return m;
}

std::string FileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class RefusedCalls : public ::testing::Test {
protected:
    std::string RulesPath() const { return scene.home.Path() + "/config/TAVO/rules.conf"; }
    std::string DataFile(const std::string& name) const {
        return scene.home.Path() + "/data/" + name;
    }
    // Written as an editor that saves by renaming does: never seen half-written.
    void WriteRules(const std::string& text) {
        std::filesystem::create_directories(std::filesystem::path(RulesPath()).parent_path());
        const std::string temporary = RulesPath() + ".new";
        std::ofstream(temporary) << text;
        std::filesystem::rename(temporary, RulesPath());
    }
    void Bringup() {
        // Where the monitor's settings live: watched from the start.
        std::filesystem::create_directories(std::filesystem::path(RulesPath()).parent_path());
        ASSERT_NE(scene.StartPeer({}), 0u) << scene.Transcript();
        ASSERT_TRUE(scene.StartMonitor(scene.port));
        auto id = scene.WaitRegistered();
        ASSERT_TRUE(id) << scene.Transcript();
        applId = *id;
        ASSERT_TRUE(scene.WaitMessage('<', CmdListen, Req)) << scene.Transcript();
    }
    // Rings and returns the hex of the one CONNECT_RESP and of what it should have been when
    // ignored and when refused.
    struct Answered {
        std::string got, ignored, refused;
    };
    std::optional<Answered> Ring(const std::string& calling, uint32_t plci) {
        char address[16];
        std::snprintf(address, sizeof address, "0x%08X", plci);
        auto ind = scene.Ring("5551 " + calling + " cip=16 plci=" + address);
        if (!ind)
            return std::nullopt;
        auto resp = scene.WaitMessage('<', CmdConnect, Resp);
        if (!resp)
            return std::nullopt;
        return Answered{FormatHex(resp->bytes), FormatHex(IgnoreCallResponse(applId, *ind)),
                        FormatHex(RefuseCallResponse(applId, *ind))};
    }

    MonitorScene scene;
    uint16_t applId = 0;
};

TEST_F(RefusedCalls, RejectRuleRefusesItsCallsAndKeepsThemQuiet) {
    WriteRules("reject number=0900*   # premium lines\n");
    Bringup();

    auto premium = Ring("900123456", 0x101);
    ASSERT_TRUE(premium) << scene.Transcript();
    EXPECT_EQ(premium->got, premium->refused);
    auto other = Ring("301234567", 0x201);
    ASSERT_TRUE(other) << scene.Transcript();
    EXPECT_EQ(other->got, other->ignored);
    // Calls are handled in order: once the second is printed, the first has been handled, and
    // it was not printed.
    EXPECT_EQ(scene.WaitCallLine(), MonitorScene::CallLine("0301234567", "5551", 0x201, 16))
        << scene.Transcript();
    scene.monitor.Collect(10ms);
    EXPECT_TRUE(scene.monitor.Unread(ChildProcess::Out).empty()) << scene.Transcript();

    // Kept like a quiet call: in the log file, with its verdict beside the history.
    const std::string log = FileText(DataFile("caller.txt"));
    EXPECT_NE(log.find("/0900123456 -->> 5551"), std::string::npos) << log;
    EXPECT_NE(log.find("/0301234567 -->> 5551"), std::string::npos) << log;
    const std::string verdicts = FileText(DataFile("caller.verdicts"));
    EXPECT_NE(verdicts.find("\treject\t1\treject number=0900*\n"), std::string::npos) << verdicts;
    EXPECT_EQ(verdicts.find("0301234567"), std::string::npos) << verdicts;
    EXPECT_EQ(scene.AllMessages('<', CmdConnect, Resp).size(), 2u);

    // And in the history, once the monitor has ended.
    scene.monitor.Kill(SIGTERM);
    ASSERT_EQ(scene.monitor.Wait(MonitorScene::Patience), 0) << scene.Transcript();
    const std::string history = FileText(DataFile("caller.his"));
    EXPECT_NE(history.find("0900123456"), std::string::npos);
    EXPECT_NE(history.find("0301234567"), std::string::npos);
}

TEST_F(RefusedCalls, QuietRulesAloneLeaveTheLineAsItWas) {
    // Nothing refuses: the calls are ignored on the line, byte for byte as without rules.
    WriteRules("quiet number=0900*\n");
    Bringup();
    auto premium = Ring("900123456", 0x101);
    ASSERT_TRUE(premium) << scene.Transcript();
    EXPECT_EQ(premium->got, premium->ignored);
}

TEST_F(RefusedCalls, ARejectRuleAddedWhileRunningTakesEffect) {
    Bringup();
    auto before = Ring("900123456", 0x101);
    ASSERT_TRUE(before) << scene.Transcript();
    EXPECT_EQ(before->got, before->ignored);
    EXPECT_EQ(scene.WaitCallLine(), MonitorScene::CallLine("0900123456", "5551", 0x101, 16))
        << scene.Transcript();

    WriteRules("reject number=0900*\n");
    ASSERT_TRUE(scene.WaitMonitorError("refused on a CAPI line")) << scene.Transcript();
    // The line process hears of the rule shortly after the monitor has read it: ring until a
    // call is refused, each with a PLCI of its own on controller 1.
    bool refused = false;
    for (uint32_t plci = 0x201; plci < 0x3201 && !refused; plci += 0x100) {
        auto call = Ring("900123456", plci);
        ASSERT_TRUE(call) << scene.Transcript();
        refused = call->got == call->refused;
        if (!refused) {
            ASSERT_EQ(call->got, call->ignored);
        }
    }
    EXPECT_TRUE(refused) << scene.Transcript();
    // Others are still only ignored.
    auto other = Ring("301234567", 0x4001);
    ASSERT_TRUE(other) << scene.Transcript();
    EXPECT_EQ(other->got, other->ignored);

    // Taken back: calls are ignored again.
    WriteRules("quiet number=0900*\n");
    ASSERT_TRUE(scene.WaitMonitorError("rules read again")) << scene.Transcript();
    bool ignored = false;
    for (uint32_t plci = 0x4101; plci < 0x7101 && !ignored; plci += 0x100) {
        auto call = Ring("900123456", plci);
        ASSERT_TRUE(call) << scene.Transcript();
        ignored = call->got == call->ignored;
    }
    EXPECT_TRUE(ignored) << scene.Transcript();
}

} // namespace
