// tavo-capi-peer against the real libcapi20: the peer and a small libcapi20 application run as
// child processes, so the library's load-time checks and its blocking calls cannot take the test
// down; every wait has a deadline.
#include "ChildProcess.h"
#include "capi/CapiSharedLock.h"

#include <csignal>
#include <fstream>
#include <gtest/gtest.h>

#ifndef PEER_PATH
#error "PEER_PATH must name the tavo-capi-peer binary"
#endif
#ifndef CLIENT_PATH
#error "CLIENT_PATH must name the libcapi20 test client"
#endif

namespace {

using namespace std::chrono_literals;
constexpr auto Patience = 10s;

class PeerWithLibrary : public ::testing::Test {
protected:
    // A ~/.capi20rc without REMOTE keeps any system-wide configuration out and lets the
    // client's own settings stand; the library drops each line's last character, so every
    // line ends with a newline.
    PeerWithLibrary() { std::ofstream(home.Path() + "/.capi20rc") << "TRACELEVEL 0\n"; }

    // Starts the peer and returns its port (0 on failure).
    std::string StartPeer(std::vector<std::string> options) {
        std::vector<std::string> argv{PEER_PATH, "--listen", "127.0.0.1:0"};
        argv.insert(argv.end(), options.begin(), options.end());
        if (!peer.Start(argv))
            return "";
        auto first = peer.NextLine(ChildProcess::Out, Patience);
        if (!first || first->rfind("listening 127.0.0.1:", 0) != 0)
            return "";
        return first->substr(first->rfind(':') + 1);
    }
    bool StartClient(const std::string& port, std::vector<std::string> extra = {}) {
        // As the monitor does before each line process: a lock left taken by a process killed
        // elsewhere on the machine would hang the client as it loads the library.
        ReleaseStuckCapiLock(CapiSharedLockName, 1000ms);
        std::vector<std::string> argv{CLIENT_PATH, port};
        argv.insert(argv.end(), extra.begin(), extra.end());
        return client.Start(argv, {{"HOME", home.Path()}});
    }
    std::string Both() const {
        return "peer:\n" + peer.Transcript() + "client:\n" + client.Transcript();
    }

    TempDir home;
    ChildProcess peer;
    ChildProcess client;
};

TEST_F(PeerWithLibrary, QueriesRegistrationAndACallRoundTrip) {
    std::string port = StartPeer({"--controllers", "2"});
    ASSERT_NE(port, "") << Both();
    ASSERT_TRUE(StartClient(port));
    for (const char* expected :
         {"installed 0x0000", "controllers 2", "manufacturer TAVO loopback CAPI peer",
          "version 2.0 1.0", "serial 0000001", "registered"})
        EXPECT_EQ(client.NextLine(ChildProcess::Out, Patience), expected) << Both();

    // Both listens are confirmed through the library.
    for (int controller = 1; controller <= 2; ++controller) {
        auto conf = client.WaitForPrefix(ChildProcess::Out, "message 0E 00", Patience);
        ASSERT_TRUE(conf) << Both();
        EXPECT_NE(conf->find(" 05 81 00 00 0" + std::to_string(controller) + " 00 00 00 00 00"),
                  std::string::npos)
            << *conf;
    }
    auto registered = peer.WaitForPrefix(ChildProcess::Out, "registered ", Patience);
    ASSERT_TRUE(registered) << Both();
    std::string applId = registered->substr(11);

    ASSERT_TRUE(peer.WriteLine("ring 5551 0301234 plci=0x00000102 cip=1"));
    auto ind = client.WaitForPrefix(ChildProcess::Out, "message ", Patience);
    ASSERT_TRUE(ind) << Both();
    // The library hands the indication over intact and writes its own application id into it.
    char id[8];
    std::snprintf(id, sizeof id, "%02X %02X", std::stoi(applId) & 0xFF, std::stoi(applId) >> 8);
    EXPECT_EQ(*ind, std::string("message 24 00 ") + id +
                        " 02 82 01 00 02 01 00 00 01 00 05 81 35 35 35 31 "
                        "09 21 80 30 33 30 31 32 33 34 00 00 00 00 00 00");
    auto resp = peer.WaitForPrefix(ChildProcess::Out, "< 20 00", Patience);
    ASSERT_TRUE(resp) << Both();
    EXPECT_EQ(*resp, std::string("< 20 00 ") + id +
                         " 02 83 01 00 02 01 00 00 01 00 09 00 00 00 00 00 00 00 00 00 "
                         "00 00 00 04 00 00 00 00");

    ASSERT_TRUE(peer.WriteLine("hangup 0x102"));
    auto discResp = peer.WaitForPrefix(ChildProcess::Out, "< 0C 00", Patience);
    ASSERT_TRUE(discResp) << Both();
    EXPECT_EQ(*discResp, std::string("< 0C 00 ") + id + " 04 83 02 00 02 01 00 00");

    ASSERT_TRUE(client.WriteLine("quit"));
    EXPECT_EQ(client.WaitForPrefix(ChildProcess::Out, "released", Patience), "released 0x0000")
        << Both();
    EXPECT_EQ(peer.WaitForPrefix(ChildProcess::Out, "released", Patience), "released " + applId)
        << Both();
    EXPECT_EQ(client.Wait(Patience), 0);
    ASSERT_TRUE(peer.WriteLine("quit"));
    EXPECT_EQ(peer.Wait(Patience), 0);
}

TEST_F(PeerWithLibrary, RefusedRegistrationFailsInTheLibrary) {
    std::string port = StartPeer({"--refuse-register"});
    ASSERT_NE(port, "") << Both();
    ASSERT_TRUE(StartClient(port));
    EXPECT_TRUE(client.WaitForPrefix(ChildProcess::Out, "register-error 0x1008", Patience))
        << Both();
    EXPECT_EQ(client.Wait(Patience), 3);
}

TEST_F(PeerWithLibrary, DroppedConnectionIsSeenByTheApplication) {
    std::string port = StartPeer({});
    ASSERT_NE(port, "") << Both();
    ASSERT_TRUE(StartClient(port));
    ASSERT_TRUE(peer.WaitForPrefix(ChildProcess::Out, "> 0E 00", Patience)) << Both();
    ASSERT_TRUE(peer.WriteLine("drop"));
    EXPECT_TRUE(client.WaitForPrefix(ChildProcess::Out, "lost", Patience)) << Both();
    EXPECT_EQ(client.Wait(Patience), 0);
}

TEST_F(PeerWithLibrary, SilentPeerLeavesTheLibraryWaiting) {
    std::string port = StartPeer({"--silent"});
    ASSERT_NE(port, "") << Both();
    ASSERT_TRUE(StartClient(port));
    // The library blocks in its first query; only the watchdog ends the client.
    EXPECT_EQ(client.NextLine(ChildProcess::Out, 1500ms), "installed 0x0000");
    EXPECT_FALSE(client.NextLine(ChildProcess::Out, 1500ms)) << Both();
    EXPECT_TRUE(client.Running());
    client.Kill(SIGKILL);
    EXPECT_EQ(client.Wait(Patience), 128 + SIGKILL);
}

TEST_F(PeerWithLibrary, NoServerAtAll) {
    // A port that was free a moment ago and has no listener now.
    std::string port = StartPeer({});
    ASSERT_NE(port, "");
    ASSERT_TRUE(peer.WriteLine("quit"));
    ASSERT_EQ(peer.Wait(Patience), 0);
    ASSERT_TRUE(StartClient(port));
    EXPECT_EQ(client.NextLine(ChildProcess::Out, Patience), "installed 0x1009") << Both();
    EXPECT_TRUE(client.WaitForPrefix(ChildProcess::Out, "profile-error", Patience)) << Both();
}

TEST(PeerProgram, HelpBadArgumentsAndBadCommands) {
    ChildProcess help;
    ASSERT_TRUE(help.Start({PEER_PATH, "--help"}));
    EXPECT_EQ(help.Wait(Patience), 0);
    std::string text;
    for (const auto& line : help.Lines(ChildProcess::Out))
        text += line + "\n";
    for (const char* option : {"--listen", "--controllers", "--refuse-register", "--silent",
                               "--hang-register", "ring", "hangup", "raw", "drop", "quit"})
        EXPECT_NE(text.find(option), std::string::npos) << option;

    ChildProcess bad;
    ASSERT_TRUE(bad.Start({PEER_PATH, "--listen", "127.0.0.1:0", "--controllers", "x"}));
    EXPECT_EQ(bad.Wait(Patience), 2);
    EXPECT_FALSE(bad.Lines(ChildProcess::Err).empty());

    // A bad command line costs one line on standard error and nothing else.
    ChildProcess peer;
    ASSERT_TRUE(peer.Start({PEER_PATH, "--listen", "127.0.0.1:0"}));
    ASSERT_TRUE(peer.WaitForPrefix(ChildProcess::Out, "listening ", Patience));
    ASSERT_TRUE(peer.WriteLine("ring 12x 34"));
    ASSERT_TRUE(peer.WriteLine("frobnicate"));
    EXPECT_TRUE(peer.NextLine(ChildProcess::Err, Patience));
    EXPECT_TRUE(peer.NextLine(ChildProcess::Err, Patience));
    EXPECT_TRUE(peer.Running());
    peer.CloseInput(); // end of input ends the peer
    EXPECT_EQ(peer.Wait(Patience), 0);
    EXPECT_EQ(peer.Lines(ChildProcess::Out).size(), 1u) << peer.Transcript();
}

} // namespace
