// The server over real TCP connections on 127.0.0.1: start, stop and restart, sessions side by
// side, the telnet protocol, logon limits, and clients that misbehave. Every wait is bounded by
// the clients' socket timeouts.

#include "TelnetServerFixture.h"

#include <algorithm>
#include <future>

using namespace std::string_literals;

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
    settings.Write()->telnetEnabled = 2;
    Start();
    EXPECT_EQ(Port(), 0);
    EXPECT_FALSE(server->IsRunning());
}

TEST_F(ServerTest, SwitchingOffEndsTheDialogueAndSwitchingOnListensAgain) {
    const int port = FreePort();
    settings.Write()->telnetPort = port;
    Start();
    ASSERT_EQ(Port(), port);
    TestClient client(port);
    EXPECT_EQ(client.ReadUntil("TAVO> "), greeting + menu);

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
    settings.Write()->telnetPort = oldPort;
    Start();
    TestClient connected(oldPort);
    EXPECT_EQ(connected.ReadUntil("TAVO> "), greeting + menu);
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
    EXPECT_EQ(client.ReadUntil("TAVO> "), greeting + menu);
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
    EXPECT_EQ(stalled.ReadUntil("TAVO> "), greeting + menu);
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
    settings.Write()->telnetPort = port;
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
    settings.Write()->telnetPort = 70000;
    Start();
    EXPECT_EQ(AwaitMessages(),
              std::vector<std::string>{"Unable to create telnet server on port 70000"});
    EXPECT_FALSE(server->IsRunning());
}

TEST_F(ServerTest, LogonSettingsApplyToTheNextConnection) {
    Start();
    SetTelnet(1, 0, "Admin");
    TestClient client(Port());
    EXPECT_EQ(client.ReadUntil(": "), greeting + "userid   : ");
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
        EXPECT_EQ(leaving.ReadUntil(": "), greeting + "userid   : ");
        leaving.Send("admin\r\n");
        EXPECT_EQ(leaving.ReadUntil(": "), "admin\r\npassword : ");
        leaving.Send("pa");
    }
    TestClient next(Port());
    EXPECT_EQ(next.ReadUntil(": "), greeting + "userid   : ");
}

TEST_F(ServerTest, ListingWhileCallsAreAppended) {
    Start();
    std::atomic<bool> done{false};
    std::thread recorder([&] {
        for (int i = 0; i < 5000 && !done; ++i)
            AddCallsOfToday(1);
    });
    TestClient client(Port());
    EXPECT_EQ(client.ReadUntil("TAVO> "), greeting + menu);
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

TEST_F(ServerTest, ASilentClientDoesNotKeepAnotherFromItsListing) {
    AddCallsOfToday(3);
    SetTelnet(1, 0, "admin");
    Start();
    TestClient silent(Port());
    EXPECT_EQ(silent.ReadUntil(": "), greeting + "userid   : ");
    TestClient busy(Port());
    EXPECT_EQ(busy.ReadUntil(": "), greeting + "userid   : ");
    busy.Send("admin\r\npw\r\n1");
    EXPECT_EQ(busy.ReadUntil("TAVO> "), "admin\r\npassword : \n\r\n\r" + menu);
    const std::string listing = busy.ReadUntil("TAVO> ");
    EXPECT_EQ(std::count(listing.begin(), listing.end(), '\t'), 5 + 3); // the heading, 3 calls
    EXPECT_TRUE(std::string_view(listing).ends_with(menu));
    busy.Send("x");
    EXPECT_EQ(busy.ReadToEnd(), "x" + goodbye);
    EXPECT_TRUE(silent.NothingFor(0ms)); // and still waits for its user id
    silent.Send("admin\r\npw\r\n");
    EXPECT_EQ(silent.ReadUntil("TAVO> "), "admin\r\npassword : \n\r\n\r" + menu);
}

TEST_F(ServerTest, TheConnectionBeyondTheLimitIsTurnedAwayWithALine) {
    TelnetServerOptions options;
    options.maxSessions = 8;
    Start(options);
    std::vector<std::unique_ptr<TestClient>> clients;
    for (int i = 0; i < 8; ++i) {
        clients.push_back(std::make_unique<TestClient>(Port()));
        EXPECT_EQ(clients.back()->ReadUntil("TAVO> "), greeting + menu);
    }
    TestClient ninth(Port());
    bool closed = false;
    EXPECT_EQ(ninth.ReadToEnd(&closed),
              "Too many telnet sessions at once, please try again later.\n\r");
    EXPECT_TRUE(closed);
    clients.front()->Send("x");
    EXPECT_TRUE(clients.front()->WaitForClose());
    ASSERT_TRUE(AwaitSessions(7));
    TestClient next(Port());
    LeaveAfterMenu(next);
    // Those that were served all along still are.
    clients.back()->Send("q");
    EXPECT_EQ(clients.back()->Read(1), "\a");
}

TEST_F(ServerTest, ClientsThatTakeTooLongAreClosed) {
    TelnetServerOptions options;
    options.dialogue.logonTimeout = 200ms;
    options.dialogue.menuIdleTimeout = 200ms;
    SetTelnet(1, 0, "admin");
    Start(options);
    {
        // The logon as a whole is limited, however slowly its keys come.
        TestClient typing(Port());
        EXPECT_EQ(typing.ReadUntil(": "), greeting + "userid   : ");
        bool closed = false;
        for (int i = 0; i < 100 && !closed; ++i) {
            typing.Send("a");
            closed = typing.Read(1).empty();
            std::this_thread::sleep_for(10ms);
        }
        EXPECT_TRUE(closed);
    }
    SetTelnet(1, 0, "");
    TestClient idle(Port());
    EXPECT_EQ(idle.ReadUntil("TAVO> "), greeting + menu);
    bool closed = false;
    EXPECT_EQ(idle.ReadToEnd(&closed), ""); // no goodbye
    EXPECT_TRUE(closed);
    EXPECT_TRUE(AwaitSessions(0));
}

TEST_F(ServerTest, FailedLogonsLockTheAddressOutForAWhile) {
    std::atomic<int> minutes{0};
    const auto start = std::chrono::steady_clock::now();
    TelnetServerOptions options;
    options.dialogue.failedLogonPause = 0ms;
    options.lockoutClock = [&] { return start + std::chrono::minutes(minutes.load()); };
    SetTelnet(1, 0, "admin");
    Start(options);
    auto failOnce = [&](const std::string& keys) {
        TestClient client(Port());
        client.Send(keys);
        bool closed = false;
        EXPECT_TRUE(client.ReadToEnd(&closed).ends_with(goodbye));
        EXPECT_TRUE(closed);
    };
    // Four failures, then a minute without: the count starts again.
    for (int i = 0; i < 4; ++i)
        failOnce("admin\r\nguess\r\n");
    minutes = 1;
    for (int i = 0; i < 4; ++i)
        failOnce(i % 2 ? "admin\r\nguess\r\n" : "root\r\n"); // a wrong user id counts as well
    EXPECT_TRUE(Logged().empty());
    failOnce("admin\r\nguess\r\n");
    EXPECT_EQ(Logged(), std::vector<std::string>{"telnet: 127.0.0.1 refused for 5 minutes after 5 "
                                                 "failed logons within 60 seconds"});
    // Refused even with the right password, until five minutes have passed.
    for (int wait : {0, 4}) {
        minutes = 1 + wait;
        TestClient refused(Port());
        bool closed = false;
        EXPECT_EQ(refused.ReadToEnd(&closed),
                  "Too many failed logons from your address, please try again later.\n\r");
        EXPECT_TRUE(closed);
    }
    minutes = 6;
    TestClient client(Port());
    client.Send("admin\r\npw\r\n");
    EXPECT_EQ(client.ReadUntil("TAVO> "),
              greeting + "userid   : admin\r\npassword : \n\r\n\r" + menu);
}

TEST_F(ServerTest, AFailedLogonPausesBeforeTheGoodbyeButNotARestart) {
    TelnetServerOptions options;
    options.dialogue.failedLogonPause = 1h;
    SetTelnet(1, 0, "admin");
    Start(options);
    TestClient client(Port());
    client.Send("admin\r\nguess\r\n");
    EXPECT_EQ(client.ReadUntil("password : \n\r\n\r"),
              greeting + "userid   : admin\r\npassword : \n\r\n\r");
    EXPECT_TRUE(client.NothingFor(300ms));
    Restart(Port());
    EXPECT_TRUE(client.WaitForClose());
}

TEST_F(ServerTest, TelnetCommandsNeverBecomeTypedBytes) {
    SetTelnet(1, 0, "admin");
    {
        const auto stored = settings.Write();
        std::snprintf(stored->telnetPassword, sizeof stored->telnetPassword, "p\xffw");
    }
    Start();
    TestClient client(Port());
    EXPECT_EQ(client.ReadUntil(": "), greeting + "userid   : ");
    // Acknowledgements of the offer, a question for an option the server lacks, an offer of a
    // client option, a subnegotiation (with an escaped 255 in it) and a no-operation, between
    // the letters of the user id.
    client.Send("\xff\xfd\x01\xff\xfd\x03"
                "ad\xff\xfd\x18m\xff\xfa\x18\x01\xff\xff\xff\xf0i\xff\xf1n\xff\xfb\x1f\r\n");
    EXPECT_EQ(client.ReadUntil(": "), "ad\xff\xfc\x18min\xff\xfe\x1f\r\npassword : ");
    // IAC IAC is the byte 255 of the password.
    client.Send("p\xff\xf1\xff\xffw\r\n");
    EXPECT_EQ(client.ReadUntil("TAVO> "), "\n\r\n\r" + menu);
    // In the menu: no bell for any of it; an option switched off is answered once, not twice.
    client.Send("\xff\xfe\x01\xff\xfe\x01\xff\xfa\x1f\x00\x50\xff\xf0\xff\xf6x"s);
    EXPECT_EQ(client.ReadToEnd(), "\xff\xfc\x01x" + goodbye);
}

TEST_F(ServerTest, AClientThatNegotiatesNothingGetsTheDialogueAfterTheOffer) {
    setenv("TZ", "UTC0", 1);
    tzset();
    TelnetServerOptions options;
    options.clock = [] { return std::time_t{1767268800}; }; // Thursday 1 January 2026, 12:00
    SetTelnet(1, 0, "admin");
    Start(options);
    TestClient client(Port());
    client.Send("ADMIN\r\npw\r\n2q\r\nx");
    const std::string rule = std::string(73, '-') + "\n\r";
    EXPECT_EQ(client.ReadToEnd(), offer + banner + "userid   : ADMIN\r\npassword : \n\r\n\r" +
                                      menu + "2\n\r\n\rWed Dec 31 00:00:00 2025\n\n\r" +
                                      "  date\t\t\tto\t\twho\n\r" + rule + rule + menu + "\a\a\ax" +
                                      goodbye);
}

TEST_F(ServerTest, TheServerListensOnlyOnTheAddressItIsGiven) {
    Start();
    server->RestartTelnetServer(Port(), "127.0.0.2");
    ASSERT_TRUE(server->IsRunning());
    EXPECT_FALSE(TestClient(Port()).Connected()); // 127.0.0.1
    TestClient client(Port(), 10s, 0, "127.0.0.2");
    LeaveAfterMenu(client);
    // The options sheet's restart keeps the address.
    const int port = Port();
    SetTelnet(1, FreePort());
    server->ApplyTelnetOptions(port);
    EXPECT_FALSE(TestClient(Port()).Connected());
    TestClient moved(Port(), 10s, 0, "127.0.0.2");
    LeaveAfterMenu(moved);

    server->RestartTelnetServer(Port(), "127.0.0.300");
    EXPECT_EQ(AwaitMessages(), std::vector<std::string>{"Unable to create telnet server on port " +
                                                        std::to_string(settings.Read()->telnetPort) +
                                                        " at address 127.0.0.300"});
    EXPECT_FALSE(server->IsRunning());
}
