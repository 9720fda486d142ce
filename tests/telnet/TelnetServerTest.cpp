// The server over real TCP connections on 127.0.0.1: start, stop and restart, one client at a
// time, and clients that misbehave. Every wait is bounded by the clients' socket timeouts.

#include "telnet/TelnetServer.h"
#include "TelnetTestClient.h"

#include <dirent.h>
#include <fstream>
#include <future>
#include <gtest/gtest.h>
#include <random>

namespace {
const std::string banner = "TAVO --- Version 1.3.3  (c) 2026 the TAVO developers\n\r\n\r";
const std::string menu = "Menu\n\r----\n\r\n\r"
                         "   1 ) incoming calls from today \n\r"
                         "   2 ) incoming calls from yesterday \n\r"
                         "   3 ) incoming calls from day before yesterday \n\r"
                         "\n\r x,0 ) EXIT \n\r\n\rTAVO> ";
const std::string goodbye = "\n\r\n\r---\n\rCU @ home !";
using namespace std::chrono_literals;

int FreePort() {
    int probe = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
    close(probe);
    return ntohs(address.sin_port);
}

size_t CountEntries(const char* directory) {
    size_t count = 0;
    if (DIR* dir = opendir(directory)) {
        while (readdir(dir))
            ++count;
        closedir(dir);
    }
    return count;
}

long ResidentKilobytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return 0;
}

class ServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetDefaultSettings(settings);
        settings.telnetEnabled = 1;
        settings.telnetPort = 0; // a free port of the system's choosing
    }
    void TearDown() override { server.reset(); }

    void Start(TelnetServerOptions options = {}) {
        options.message = [this](const std::string& text) {
            std::lock_guard lock(messagesMutex);
            messages.push_back(text);
        };
        server = std::make_unique<TelnetServer>(TelnetSources{calls, phoneBook, msnList}, settings,
                                                std::move(options));
        Restart(0);
    }
    void Restart(int port) { server->RestartTelnetServer(port); }
    void SetTelnet(uint8_t enabled, int port, const char* userId = "") {
        std::lock_guard lock(SettingsMutex());
        settings.telnetEnabled = enabled;
        settings.telnetPort = port;
        std::snprintf(settings.telnetUserId, sizeof settings.telnetUserId, "%s", userId);
        std::snprintf(settings.telnetPassword, sizeof settings.telnetPassword, "%s", "pw");
    }
    std::vector<std::string> Messages() {
        std::lock_guard lock(messagesMutex);
        return messages;
    }
    // The server thread reports after the restart has returned.
    std::vector<std::string> AwaitMessages() {
        for (int i = 0; i < 500 && Messages().empty(); ++i)
            std::this_thread::sleep_for(10ms);
        return Messages();
    }
    int Port() const { return server->ListeningPort(); }
    void AddCallsOfToday(int count) {
        std::lock_guard lock(ListsMutex());
        for (int i = 0; i < count; ++i) {
            CallRecord call;
            call.hasTime = true;
            call.callTime = static_cast<int32_t>(std::time(nullptr));
            call.key = "555";
            call.value = "0301234";
            call.cipValue = 1;
            calls.append(call);
        }
    }
    // Reads the menu, leaves, and expects the goodbye and the server's close.
    void LeaveAfterMenu(TestClient& client) {
        EXPECT_EQ(client.ReadUntil("TAVO> "), banner + menu);
        client.Send("x");
        bool closed = false;
        EXPECT_EQ(client.ReadToEnd(&closed), "x" + goodbye);
        EXPECT_TRUE(closed);
    }

    Settings settings{};
    CallList calls;
    Directory phoneBook;
    Directory msnList;
    std::unique_ptr<TelnetServer> server;
    std::mutex messagesMutex;
    std::vector<std::string> messages;
};
} // namespace

TEST(TelnetOptions, OnlyTheFirstMatchingCaseActs) {
    EXPECT_EQ(TelnetChangeAfterOptions(0, true, 6100, 6100), TelnetChange::Stop);
    EXPECT_EQ(TelnetChangeAfterOptions(0, true, 23, 6100), TelnetChange::Stop);
    EXPECT_EQ(TelnetChangeAfterOptions(1, false, 6100, 6100), TelnetChange::Start);
    EXPECT_EQ(TelnetChangeAfterOptions(1, false, 23, 6100), TelnetChange::Start);
    EXPECT_EQ(TelnetChangeAfterOptions(1, true, 23, 6100), TelnetChange::Restart);
    EXPECT_EQ(TelnetChangeAfterOptions(1, true, 6100, 6100), TelnetChange::None);
    EXPECT_EQ(TelnetChangeAfterOptions(0, false, 6100, 6100), TelnetChange::None);
    EXPECT_EQ(TelnetChangeAfterOptions(2, true, 6100, 6100), TelnetChange::None);
    EXPECT_EQ(TelnetChangeAfterOptions(2, true, 23, 6100), TelnetChange::Restart);
}

TEST_F(ServerTest, ServesTheMenuOverTcpAndKeepsListening) {
    Start();
    ASSERT_NE(Port(), 0);
    EXPECT_TRUE(server->IsRunning());
    for (int round = 0; round < 2; ++round) {
        TestClient client(Port());
        ASSERT_TRUE(client.Connected());
        LeaveAfterMenu(client);
    }
}

TEST_F(ServerTest, EnabledMustBeExactlyOne) {
    settings.telnetEnabled = 2;
    Start();
    EXPECT_EQ(Port(), 0);
    EXPECT_FALSE(server->IsRunning());
}

TEST_F(ServerTest, SecondClientWaitsUntilTheFirstHasLeft) {
    Start();
    TestClient first(Port());
    EXPECT_EQ(first.ReadUntil("TAVO> "), banner + menu);
    TestClient second(Port());
    ASSERT_TRUE(second.Connected()); // waiting in the listen queue
    EXPECT_TRUE(second.NothingFor(300ms));
    first.Send("x");
    EXPECT_TRUE(first.WaitForClose());
    LeaveAfterMenu(second);
}

TEST_F(ServerTest, SwitchingOffEndsTheDialogueAndSwitchingOnListensAgain) {
    const int port = FreePort();
    settings.telnetPort = port;
    Start();
    ASSERT_EQ(Port(), port);
    TestClient client(port);
    EXPECT_EQ(client.ReadUntil("TAVO> "), banner + menu);

    SetTelnet(0, port);
    server->ApplyTelnetOptions(port);
    EXPECT_FALSE(server->IsRunning());
    bool closed = false;
    EXPECT_EQ(client.ReadToEnd(&closed), ""); // no goodbye: the dialogue just ends
    EXPECT_TRUE(closed);
    EXPECT_FALSE(TestClient(port).Connected());

    SetTelnet(1, port);
    server->ApplyTelnetOptions(port);
    TestClient again(port);
    ASSERT_TRUE(again.Connected());
    LeaveAfterMenu(again);
}

TEST_F(ServerTest, ChangingThePortMovesTheServer) {
    const int oldPort = FreePort();
    settings.telnetPort = oldPort;
    Start();
    TestClient connected(oldPort);
    EXPECT_EQ(connected.ReadUntil("TAVO> "), banner + menu);
    const int newPort = FreePort();
    SetTelnet(1, newPort);
    server->ApplyTelnetOptions(oldPort);
    EXPECT_TRUE(connected.WaitForClose());
    EXPECT_EQ(Port(), newPort);
    EXPECT_FALSE(TestClient(oldPort).Connected());
    TestClient client(newPort);
    LeaveAfterMenu(client);
}

TEST_F(ServerTest, RestartDoesNotWaitForAClientThatStoppedReading) {
    AddCallsOfToday(100000); // several megabytes of listing: more than the sockets can hold
    Start();
    TestClient client(Port(), 10s, 4096);
    EXPECT_EQ(client.ReadUntil("TAVO> "), banner + menu);
    client.Send("1");
    std::this_thread::sleep_for(200ms); // the server is now blocked in its send
    auto restart = std::async(std::launch::async, [&] { server->RestartTelnetServer(Port()); });
    EXPECT_EQ(restart.wait_for(10s), std::future_status::ready);
    restart.wait();
    TestClient next(Port());
    LeaveAfterMenu(next);
}

TEST_F(ServerTest, AStalledClientIsGivenUpAndTheNextServed) {
    AddCallsOfToday(100000);
    TelnetServerOptions options;
    options.times.sendTimeout = 200ms;
    Start(options);
    TestClient stalled(Port(), 10s, 4096);
    EXPECT_EQ(stalled.ReadUntil("TAVO> "), banner + menu);
    stalled.Send("1"); // and never read the listing
    TestClient next(Port(), 20s);
    LeaveAfterMenu(next);
}

TEST_F(ServerTest, PortInUseIsReportedAndTheServerStaysStopped) {
    const int port = FreePort();
    int other = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(static_cast<uint16_t>(port));
    ASSERT_EQ(bind(other, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(other, 1), 0);
    settings.telnetPort = port;
    Start();
    EXPECT_EQ(AwaitMessages(), std::vector<std::string>{"Unable to create telnet server on port " +
                                                        std::to_string(port)});
    EXPECT_FALSE(server->IsRunning());
    close(other);
    Restart(port); // the port is free now
    TestClient client(port);
    LeaveAfterMenu(client);
    EXPECT_EQ(Messages().size(), 1u);
}

TEST_F(ServerTest, PortsOutOfRangeAreReportedToo) {
    settings.telnetPort = 70000;
    Start();
    EXPECT_EQ(AwaitMessages(),
              std::vector<std::string>{"Unable to create telnet server on port 70000"});
    EXPECT_FALSE(server->IsRunning());
}

TEST_F(ServerTest, LogonSettingsApplyToTheNextConnection) {
    Start();
    SetTelnet(1, 0, "Admin");
    TestClient client(Port());
    EXPECT_EQ(client.ReadUntil(": "), banner + "userid   : ");
    client.Send("admin\r\n");
    EXPECT_EQ(client.ReadUntil(": "), "admin\r\npassword : ");
    client.Send("PW\r\n");
    EXPECT_EQ(client.ReadUntil("TAVO> "), "\n\r\n\r" + menu);
}

TEST_F(ServerTest, ClientLeavingInThePasswordDoesNotHoldTheServer) {
    SetTelnet(1, 0, "admin");
    Start();
    {
        TestClient leaving(Port());
        EXPECT_EQ(leaving.ReadUntil(": "), banner + "userid   : ");
        leaving.Send("admin\r\n");
        EXPECT_EQ(leaving.ReadUntil(": "), "admin\r\npassword : ");
        leaving.Send("pa");
    }
    TestClient next(Port());
    EXPECT_EQ(next.ReadUntil(": "), banner + "userid   : ");
}

TEST_F(ServerTest, TenMegabytesOfRandomKeysAreAnsweredOneByOne) {
    Start();
    std::mt19937 random(42);
    std::string keys(10 * 1024 * 1024, '\0');
    size_t listings = 0;
    size_t bells = 0;
    for (char& key : keys) {
        do {
            key = static_cast<char>(random() & 0xff);
        } while (key == 'x' || key == 'X' || key == '0');
        if (key >= '1' && key <= '3')
            ++listings;
        else
            ++bells;
    }
    TestClient client(Port());
    ASSERT_TRUE(client.Connected());
    // Read while sending: the server's answers would otherwise fill both sockets.
    auto answers = std::async(std::launch::async, [&] { return client.ReadToEnd(); });
    EXPECT_TRUE(client.Send(keys));
    EXPECT_TRUE(client.Send("x"));
    std::string got = answers.get();
    // Each listing key: its echo, an empty day (heading and two rules) and the menu again.
    const size_t listing = 1 + (4 + 25 + 2 + 18 + 75 + 75) + menu.size();
    EXPECT_EQ(got.size(),
              banner.size() + menu.size() + bells + listings * listing + 1 + goodbye.size());
    EXPECT_EQ(static_cast<size_t>(std::count(got.begin(), got.end(), '\a')), bells);
    EXPECT_TRUE(std::string_view(got).ends_with("x" + goodbye));
}

TEST_F(ServerTest, FiftyWaitingClientsAreServedInTurn) {
    Start();
    TestClient first(Port());
    EXPECT_EQ(first.ReadUntil("TAVO> "), banner + menu);
    std::vector<std::unique_ptr<TestClient>> waiting;
    for (int i = 0; i < 50; ++i) {
        waiting.push_back(std::make_unique<TestClient>(Port()));
        ASSERT_TRUE(waiting.back()->Connected());
    }
    first.Send("x");
    EXPECT_TRUE(first.WaitForClose());
    for (auto& client : waiting) {
        LeaveAfterMenu(*client);
        client->Close();
    }
}

TEST_F(ServerTest, ThousandConnectionsLeaveNoThreadsDescriptorsOrMemoryBehind) {
    Start();
    auto cycle = [&](int i) {
        TestClient client(Port());
        if (i % 2 == 0) {
            LeaveAfterMenu(client);
        } else {
            client.Send("\xff\xfb\x18"); // and go without a word
        }
    };
    for (int i = 0; i < 50; ++i)
        cycle(i);
    // Counted while a client is in its dialogue, so that every earlier connection is closed.
    auto countWhileServing = [&](size_t& threads, size_t& descriptors, long& memory) {
        TestClient client(Port());
        EXPECT_EQ(client.ReadUntil("TAVO> "), banner + menu);
        threads = CountEntries("/proc/self/task");
        descriptors = CountEntries("/proc/self/fd");
        memory = ResidentKilobytes();
        client.Send("x");
        EXPECT_TRUE(client.WaitForClose());
    };
    size_t threadsBefore, descriptorsBefore, threadsAfter, descriptorsAfter;
    long memoryBefore, memoryAfter;
    countWhileServing(threadsBefore, descriptorsBefore, memoryBefore);
    for (int i = 0; i < 1000; ++i)
        cycle(i);
    countWhileServing(threadsAfter, descriptorsAfter, memoryAfter);
    EXPECT_EQ(threadsAfter, threadsBefore);
    EXPECT_EQ(descriptorsAfter, descriptorsBefore);
    RecordProperty("resident_growth_kb", std::to_string(memoryAfter - memoryBefore));
    EXPECT_LT(memoryAfter - memoryBefore, 8 * 1024);
}

TEST_F(ServerTest, ListingWhileCallsAreAppended) {
    Start();
    std::atomic<bool> done{false};
    std::thread recorder([&] {
        for (int i = 0; i < 5000 && !done; ++i)
            AddCallsOfToday(1);
    });
    TestClient client(Port());
    EXPECT_EQ(client.ReadUntil("TAVO> "), banner + menu);
    // Each line: the call's local time (19 characters), then the rest as below.
    const std::string rest = "  555/speech\t0301234\n\r";
    const size_t lineSize = 19 + rest.size();
    for (int i = 0; i < 50; ++i) {
        client.Send("1");
        std::string listing = client.ReadUntil("TAVO> ");
        ASSERT_TRUE(std::string_view(listing).ends_with(std::string(73, '-') + "\n\r" + menu));
        // Between the heading's rule and the closing rule: whole lines only.
        size_t first = listing.find(std::string(73, '-')) + 75;
        size_t last = listing.rfind(std::string(73, '-'));
        ASSERT_EQ((last - first) % lineSize, 0u);
        for (size_t at = first; at < last; at += lineSize)
            ASSERT_EQ(listing.compare(at + 19, rest.size(), rest), 0);
    }
    done = true;
    recorder.join();
    client.Send("x");
    EXPECT_EQ(client.ReadToEnd(), "x" + goodbye);
}
