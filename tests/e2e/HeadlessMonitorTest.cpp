// `tavo --headless` over the real libcapi20 against tavo-capi-peer, end to end.
#include "MonitorScene.h"

#include <csignal>
#include <gtest/gtest.h>
#include <thread>

namespace {

// The monitor's own lines on standard error. The sound system may add its own complaints there
// on a machine without audio; those are not the monitor's state changes.
size_t MonitorStateLines(const MonitorScene& scene) {
    size_t count = 0;
    for (const auto& line : scene.monitor.Lines(ChildProcess::Err))
        if (line.rfind("tavo:", 0) == 0)
            ++count;
    return count;
}

using namespace std::chrono_literals;

constexpr uint8_t CmdConnect = 0x02, CmdDisconnect = 0x04, CmdListen = 0x05;
constexpr uint8_t Req = 0x80, Ind = 0x82, Resp = 0x83;

// Every CIP value CAPI 2.0 defines: bits 0-9 and 16-28.
Bytes ListenRequestBytes(uint16_t applId, uint8_t controller) {
    return {0x1A,
            0x00,
            static_cast<uint8_t>(applId),
            static_cast<uint8_t>(applId >> 8),
            0x05,
            0x80,
            0x00,
            0x00,
            controller,
            0x00,
            0x00,
            0x00,
            0x00,
            0x00,
            0x00,
            0x00,
            0xFF,
            0x03,
            0xFF,
            0x1F,
            0x00,
            0x00,
            0x00,
            0x00,
            0x00,
            0x00};
}

class HeadlessMonitor : public ::testing::Test {
protected:
    // Peer and monitor up, the monitor registered and listening on every controller.
    void Bringup(std::vector<std::string> peerOptions = {}, unsigned controllers = 1) {
        ASSERT_NE(scene.StartPeer(peerOptions), 0u) << scene.Transcript();
        ASSERT_TRUE(scene.StartMonitor(scene.port));
        auto id = scene.WaitRegistered();
        ASSERT_TRUE(id) << scene.Transcript();
        applId = *id;
        for (unsigned k = 1; k <= controllers; ++k)
            ASSERT_TRUE(scene.WaitMessage('<', CmdListen, Req)) << scene.Transcript();
    }
    // Rings and checks the monitor's announcement and its one CONNECT_RESP.
    void RingAndExpect(const std::string& ringArguments, const std::string& calling,
                       const std::string& called, int cip) {
        SCOPED_TRACE("ring " + ringArguments);
        auto ind = scene.Ring(ringArguments);
        ASSERT_TRUE(ind) << scene.Transcript();
        auto resp = scene.WaitMessage('<', CmdConnect, Resp);
        ASSERT_TRUE(resp) << scene.Transcript();
        EXPECT_EQ(FormatHex(resp->bytes), FormatHex(IgnoreCallResponse(applId, *ind)));
        EXPECT_EQ(scene.WaitCallLine(),
                  MonitorScene::CallLine(calling, called, ind->Address(), cip))
            << scene.Transcript();
    }
    // Asks the monitor to end as a service manager would; its exit code, nullopt if it hung.
    std::optional<int> Terminate() {
        scene.monitor.Kill(SIGTERM);
        return scene.monitor.Wait(MonitorScene::Patience);
    }

    MonitorScene scene;
    uint16_t applId = 0;
};

TEST_F(HeadlessMonitor, ListensAnnouncesAndIgnoresACall) {
    Bringup();
    auto listens = scene.AllMessages('<', CmdListen, Req);
    ASSERT_EQ(listens.size(), 1u);
    EXPECT_EQ(FormatHex(listens[0].bytes), FormatHex(ListenRequestBytes(applId, 1)));

    auto ind = scene.Ring("5551 301234567 cip=16 plci=0x00000101");
    ASSERT_TRUE(ind) << scene.Transcript();
    EXPECT_EQ(scene.WaitCallLine(), MonitorScene::CallLine("0301234567", "5551", 0x101, 16))
        << scene.Transcript();
    ASSERT_TRUE(scene.peer.WriteLine("hangup 0x00000101"));
    auto disc = scene.WaitMessage('>', CmdDisconnect, Ind);
    ASSERT_TRUE(disc);
    auto discResp = scene.WaitMessage('<', CmdDisconnect, Resp);
    ASSERT_TRUE(discResp) << scene.Transcript();
    EXPECT_EQ(FormatHex(discResp->bytes), FormatHex(DisconnectResponse(applId, *disc)));

    // Exactly one response to each indication, and nothing announced for the hang-up.
    scene.peer.Collect(700ms);
    scene.monitor.Collect(10ms);
    auto connectResps = scene.AllMessages('<', CmdConnect, Resp);
    ASSERT_EQ(connectResps.size(), 1u);
    EXPECT_EQ(FormatHex(connectResps[0].bytes), FormatHex(IgnoreCallResponse(applId, *ind)));
    EXPECT_EQ(scene.AllMessages('<', CmdDisconnect, Resp).size(), 1u);
    EXPECT_TRUE(scene.monitor.Unread(ChildProcess::Out).empty()) << scene.Transcript();

    // A message the monitor does not act on gets no answer (a CONNECT_ACTIVE_IND here).
    ASSERT_TRUE(scene.peer.WriteLine("raw 0C 00 00 00 03 82 07 00 01 01 00 00"));
    scene.peer.Collect(700ms);
    EXPECT_EQ(scene.AllMessages('<', 0x03, Resp).size(), 0u);
}

TEST_F(HeadlessMonitor, CallingNumberByTypeAndPresentation) {
    Bringup();
    // National and unknown numbers get one leading 0, every other type two.
    RingAndExpect("5551 301234 type=0x21 pres=0x80", "0301234", "5551", 16);
    RingAndExpect("5551 301234 type=0x00 pres=0x80", "0301234", "5551", 16);
    RingAndExpect("5551 4930123 type=0x11 pres=0x80", "004930123", "5551", 16);
    RingAndExpect("5551 4930123 type=0x01 pres=0x81", "004930123", "5551", 16);
    RingAndExpect("5551 123 type=0x41 pres=0x83", "00123", "5551", 16);
    // Restricted presentation withholds the digits whatever they are.
    RingAndExpect("5551 301234 type=0x21 pres=0xA0", "0", "5551", 16);
    RingAndExpect("5551 4930123 type=0x11 pres=0xE3", "0", "5551", 16);
    // Not available, without digits: only the prefix is left.
    RingAndExpect("5551 ~ type=0x21 pres=0xC0", "0", "5551", 16);
    RingAndExpect("5551 ~ type=0x11 pres=0xC0", "00", "5551", 16);
    // The service comes through as sent.
    RingAndExpect("5552 301234 cip=1", "0301234", "5552", 1);
}

TEST_F(HeadlessMonitor, WithheldAndMissingNumbers) {
    Bringup();
    // No calling party number at all: the caller is unknown, shown as "0".
    RingAndExpect("5551 -", "0", "5551", 16);
    // No called party number: an empty MSN.
    RingAndExpect("- 301234", "0301234", "", 16);
}

TEST_F(HeadlessMonitor, OverlongNumbersAreCut) {
    Bringup();
    std::string digits(200, '7');
    RingAndExpect(digits + " " + digits + " type=0x11", "00" + std::string(125, '7'),
                  std::string(127, '7'), 16);
}

// What does not decode is told, and the line starts afresh: the stream may be out of step after
// it. The messages behind the first one go with the connection it came on.
TEST_F(HeadlessMonitor, MalformedMessagesAreToldAndTheLineStartsAfresh) {
    const std::vector<std::pair<const char*, const char*>> malformed = {
        // A CONNECT_IND whose length field claims far more than was sent.
        {"FF FF 00 00 02 82 01 00 01 01 00 00 10 00 05 81 35 35 35 31 00 00 00 00 00 00 00",
         "octets: FF FF "},
        // A called party number struct that runs past the end of the message.
        {"16 00 00 00 02 82 02 00 01 02 00 00 10 00 C8 81 35 35 35 31 00 00", "22 octets: 16 00 "},
        // A DISCONNECT_IND without its reason.
        {"0C 00 00 00 04 82 05 00 01 01 00 00", "12 octets: 0C 00 "}};
    Bringup();
    uint32_t plci = 0x401;
    for (const auto& [raw, told] : malformed) {
        SCOPED_TRACE(raw);
        ASSERT_TRUE(scene.peer.WriteLine(std::string("raw ") + raw));
        const auto line = scene.WaitMonitorError("is no CAPI message", 20s);
        ASSERT_TRUE(line) << scene.Transcript();
        EXPECT_NE(line->find(told), std::string::npos) << *line;
        auto id = scene.WaitRegistered(30s);
        ASSERT_TRUE(id) << scene.Transcript();
        applId = *id;
        ASSERT_TRUE(scene.WaitMessage('<', CmdListen, Req)) << scene.Transcript();
        EXPECT_TRUE(scene.monitor.Running()) << scene.Transcript();
        char ring[64];
        std::snprintf(ring, sizeof ring, "5551 301234 plci=0x%08X", plci);
        RingAndExpect(ring, "0301234", "5551", 16);
        plci += 0x100;
    }
}

TEST_F(HeadlessMonitor, ListensOnBothControllers) {
    Bringup({"--controllers", "2"}, 2);
    auto listens = scene.AllMessages('<', CmdListen, Req);
    ASSERT_EQ(listens.size(), 2u);
    EXPECT_EQ(FormatHex(listens[0].bytes), FormatHex(ListenRequestBytes(applId, 1)));
    EXPECT_EQ(FormatHex(listens[1].bytes), FormatHex(ListenRequestBytes(applId, 2)));
    RingAndExpect("5551 301234 ctrl=2", "0301234", "5551", 16);
    RingAndExpect("5552 301235 ctrl=1", "0301235", "5552", 16);
}

TEST_F(HeadlessMonitor, RefusedRegistrationIsReportedAndRetriedCalmly) {
    ASSERT_NE(scene.StartPeer({"--refuse-register"}), 0u);
    ASSERT_TRUE(scene.StartMonitor(scene.port));
    EXPECT_TRUE(scene.WaitMonitorError("regist")) << scene.Transcript();
    // Whatever it does next, the monitor never listens and does not hammer the server.
    scene.peer.Collect(3500ms);
    EXPECT_TRUE(scene.AllMessages('<', CmdListen, Req).empty());
    size_t attempts = 0;
    for (const auto& line : scene.peer.Lines(ChildProcess::Err))
        attempts += line.find("refused a registration") != std::string::npos;
    EXPECT_GE(attempts, 1u);
    EXPECT_LE(attempts, 4u) << scene.Transcript();
}

TEST_F(HeadlessMonitor, NoServerAtFirstThenOneAppears) {
    // Find a free port, then leave it without a listener.
    unsigned port = scene.StartPeer({});
    ASSERT_NE(port, 0u);
    ASSERT_TRUE(scene.StopPeer());
    ASSERT_TRUE(scene.StartMonitor(port));
    ASSERT_TRUE(scene.WaitMonitorError("retry")) << scene.Transcript();
    std::this_thread::sleep_for(1500ms);
    ASSERT_EQ(scene.StartPeer({}, port), port) << scene.Transcript();
    // Back-off is at most a few seconds at this point.
    auto id = scene.WaitRegistered(20s);
    ASSERT_TRUE(id) << scene.Transcript();
    applId = *id;
    ASSERT_TRUE(scene.WaitMessage('<', CmdListen, Req)) << scene.Transcript();
    RingAndExpect("5551 301234", "0301234", "5551", 16);
    // Waiting costs a line per back-off step, never one per attempt in a tight loop.
    EXPECT_LE(MonitorStateLines(scene), 6u) << scene.Transcript();
}

TEST_F(HeadlessMonitor, BurstOfCallsIsAnnouncedInOrder) {
    Bringup();
    // Three set-ups that arrive together: each is answered once and announced in turn.
    ASSERT_TRUE(scene.peer.WriteLine("ring 5551 301 plci=0x00000101"));
    ASSERT_TRUE(scene.peer.WriteLine("ring 5552 302 plci=0x00000201"));
    ASSERT_TRUE(scene.peer.WriteLine("ring 5553 303 plci=0x00000301"));
    EXPECT_EQ(scene.WaitCallLine(), MonitorScene::CallLine("0301", "5551", 0x101, 16));
    EXPECT_EQ(scene.WaitCallLine(), MonitorScene::CallLine("0302", "5552", 0x201, 16));
    EXPECT_EQ(scene.WaitCallLine(), MonitorScene::CallLine("0303", "5553", 0x301, 16))
        << scene.Transcript();
    scene.peer.Collect(500ms);
    auto inds = scene.AllMessages('>', CmdConnect, Ind);
    auto resps = scene.AllMessages('<', CmdConnect, Resp);
    ASSERT_EQ(inds.size(), 3u) << scene.Transcript();
    ASSERT_EQ(resps.size(), 3u) << scene.Transcript();
    for (size_t i = 0; i < 3; ++i)
        EXPECT_EQ(FormatHex(resps[i].bytes), FormatHex(IgnoreCallResponse(applId, inds[i])));
}

TEST_F(HeadlessMonitor, ComesBackAfterThePeerDropsTheLine) {
    Bringup();
    RingAndExpect("5551 301234", "0301234", "5551", 16);
    ASSERT_TRUE(scene.peer.WriteLine("drop"));
    ASSERT_TRUE(scene.peer.WaitForPrefix(ChildProcess::Out, "dropped ", MonitorScene::Patience));
    EXPECT_TRUE(scene.WaitMonitorError("lost")) << scene.Transcript();
    auto id = scene.WaitRegistered(20s);
    ASSERT_TRUE(id) << scene.Transcript();
    applId = *id;
    ASSERT_TRUE(scene.WaitMessage('<', CmdListen, Req)) << scene.Transcript();
    RingAndExpect("5552 301235", "0301235", "5552", 16);
    // One line per state change (listening, lost, retrying, listening again), not a stream.
    EXPECT_LE(MonitorStateLines(scene), 5u) << scene.Transcript();
}

TEST_F(HeadlessMonitor, ComesBackAfterThePeerRestarts) {
    Bringup();
    RingAndExpect("5551 301234", "0301234", "5551", 16);
    unsigned port = scene.port;
    ASSERT_TRUE(scene.StopPeer());
    EXPECT_TRUE(scene.WaitMonitorError("lost")) << scene.Transcript();
    ASSERT_EQ(scene.StartPeer({}, port), port) << scene.Transcript();
    auto id = scene.WaitRegistered(20s);
    ASSERT_TRUE(id) << scene.Transcript();
    applId = *id;
    ASSERT_TRUE(scene.WaitMessage('<', CmdListen, Req)) << scene.Transcript();
    // The new server counts its PLCIs from the start again; a call with the first call's PLCI
    // within 5 s would rightly count as a repeat of it, so this one has a PLCI of its own.
    RingAndExpect("5551 301234 plci=0x00000901", "0301234", "5551", 16);
}

TEST_F(HeadlessMonitor, EndsCleanlyOnSigtermWhileTheLineIsQuiet) {
    Bringup();
    RingAndExpect("5551 301234", "0301234", "5551", 16);
    // Nothing more arrives; the monitor must still notice the request to end.
    scene.monitor.Collect(500ms);
    EXPECT_EQ(Terminate(), 0) << "the monitor did not end within 10 s of SIGTERM\n"
                              << scene.Transcript();
    EXPECT_EQ(scene.peer.WaitForPrefix(ChildProcess::Out, "released ", MonitorScene::Patience),
              "released " + std::to_string(applId))
        << scene.Transcript();
}

TEST_F(HeadlessMonitor, SilentServerDoesNotStopTheMonitorFromEnding) {
    ASSERT_NE(scene.StartPeer({"--silent"}), 0u);
    ASSERT_TRUE(scene.StartMonitor(scene.port));
    scene.monitor.Collect(1500ms);
    EXPECT_TRUE(scene.monitor.Running()) << scene.Transcript();
    EXPECT_TRUE(scene.AllMessages('<', CmdListen, Req).empty());
    EXPECT_EQ(Terminate(), 0) << "the monitor did not end within 10 s of SIGTERM\n"
                              << scene.Transcript();
}

} // namespace
