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

TEST_F(ServerTest, FailedLogonsSlowTheAddressDownButNeverShutTheRightPasswordOut) {
    std::atomic<int> minutes{0};
    const auto start = std::chrono::steady_clock::now();
    TelnetServerOptions options;
    options.delay.forgetAfter = std::chrono::hours(100);
    // Each attempt comes a minute after the last: past any wait, so failures only add up.
    options.delayClock = [&] { return start + std::chrono::minutes(minutes.load()); };
    SetTelnet(1, 0, "admin");
    Start(options);
    auto failOnce = [&](const std::string& keys) {
        ++minutes;
        TestClient client(Port());
        client.Send(keys);
        bool closed = false;
        EXPECT_TRUE(client.ReadToEnd(&closed).ends_with(goodbye));
        EXPECT_TRUE(closed);
    };
    // Requests of other protocols are no guesses: they never slow anybody down.
    for (int i = 0; i < 10; ++i)
        failOnce("GET / HTTP/1.1\r\nHost: x\r\n\r\n");
    for (int i = 0; i < 5; ++i)
        failOnce(i % 2 ? "admin\r\nguess\r\n" : "root\r\n"); // a wrong user id counts as well
    EXPECT_TRUE(Logged().empty());
    failOnce("admin\r\nguess\r\n"); // the sixth: 1, 2, 4, 8, 16, then 30 seconds
    EXPECT_EQ(Logged(), std::vector<std::string>{"telnet: failed logons in a row from 127.0.0.1: "
                                                 "each further logon from it waits 30 seconds"});
    ++minutes;
    TestClient client(Port());
    client.Send("admin\r\npw\r\n");
    EXPECT_EQ(client.ReadUntil("TAVO> "),
              greeting + "userid   : admin\r\npassword : \n\r\n\r" + menu);
}

TEST_F(ServerTest, AVerdictKeptWaitingEndsWithARestartAndHoldsNoSlotOnceItsClientIsGone) {
    TelnetServerOptions options;
    options.delay.first = 1h;
    options.delay.longest = 1h;
    options.dialogue.logonTimeout = 2h;
    options.maxSessions = 1;
    SetTelnet(1, 0, "admin");
    Start(options);
    {
        TestClient first(Port());
        first.Send("admin\r\nguess\r\n");
        EXPECT_TRUE(first.ReadToEnd().ends_with(goodbye)); // the first failure waits for nothing
    }
    ASSERT_TRUE(AwaitSessions(0));
    {
        TestClient waiting(Port());
        waiting.Send("admin\r\nguess\r\n");
        EXPECT_EQ(waiting.ReadUntil("password : "), greeting + "userid   : admin\r\npassword : ");
        EXPECT_TRUE(waiting.NothingFor(300ms)); // the verdict waits for the hour
    }
    // Its client has gone; the session still sleeps, but the slot is free for the next.
    TestClient next(Port());
    EXPECT_EQ(next.ReadUntil(": "), greeting + "userid   : ");
    next.Send("admin\r\npw\r\n");
    EXPECT_EQ(next.ReadUntil("password : "), "admin\r\npassword : ");
    EXPECT_TRUE(next.NothingFor(300ms)); // the right password waits as long, but no longer
    Restart(Port());
    EXPECT_TRUE(next.WaitForClose());
}

TEST_F(ServerTest, ConnectionsThatNeverLogOnCannotShutOutAnotherAddress) {
    SetTelnet(1, 0, "admin");
    Start();
    std::vector<std::unique_ptr<TestClient>> silent;
    auto connect = [&](const char* source) {
        auto client = std::make_unique<TestClient>(Port(), 10s, 0, "127.0.0.1", source);
        EXPECT_TRUE(client->Connected()) << source;
        return client;
    };
    for (const char* source : {"127.0.0.11", "127.0.0.11"}) {
        silent.push_back(connect(source));
        EXPECT_EQ(silent.back()->ReadUntil(": "), greeting + "userid   : ");
    }
    ASSERT_TRUE(AwaitSessions(2));
    // A third logon from the same address waits for one of its own to end.
    auto third = connect("127.0.0.11");
    bool closed = false;
    EXPECT_EQ(third->ReadToEnd(&closed),
              "Too many logons under way from your address, please try again later.\n\r");
    EXPECT_TRUE(closed);
    for (const char* source : {"127.0.0.12", "127.0.0.12", "127.0.0.13", "127.0.0.13",
                               "127.0.0.14", "127.0.0.14"}) {
        silent.push_back(connect(source));
        EXPECT_EQ(silent.back()->ReadUntil(": "), greeting + "userid   : ");
    }
    ASSERT_TRUE(AwaitSessions(8));
    // All slots are taken by logons that go nowhere: the oldest gives way to a new address.
    auto user = connect("127.0.0.15");
    EXPECT_EQ(user->ReadUntil(": "), greeting + "userid   : ");
    EXPECT_TRUE(silent.front()->WaitForClose());
    user->Send("admin\r\npw\r\n");
    EXPECT_EQ(user->ReadUntil("TAVO> "), "admin\r\npassword : \n\r\n\r" + menu);
    EXPECT_EQ(Logged(), std::vector<std::string>{"telnet: a logon from 127.0.0.11 gave way to a "
                                                 "client from 127.0.0.15: all sessions were taken"});
    // The others still wait for their user ids.
    for (size_t i = 1; i < silent.size(); ++i)
        EXPECT_TRUE(silent[i]->NothingFor(0ms)) << i;
}

TEST_F(ServerTest, AClientThatDoesNotReadItsEchoLosesItsSlotAtTheLogonTimeOut) {
    TelnetServerOptions options;
    options.dialogue.logonTimeout = 300ms;
    options.times.sendTimeout = 1h; // only the logon's own limit can end it
    SetTelnet(1, 0, "admin");
    Start(options);
    TestClient flooding(Port(), 30s, 4096);
    EXPECT_EQ(flooding.ReadUntil(": "), greeting + "userid   : ");
    // One endless user id, its echo never read: the server's sends stall.
    auto sending = std::async(std::launch::async, [&] {
        return flooding.Send(std::string(32 * 1024 * 1024, 'a'));
    });
    EXPECT_TRUE(AwaitSessions(0));
    flooding.ShutdownWrite();
    sending.wait();
}

TEST_F(ServerTest, TrickledKeysDoNotKeepAnIdleSessionOpen) {
    TelnetServerOptions options;
    options.dialogue.menuIdleTimeout = 300ms;
    Start(options);
    TestClient trickling(Port());
    EXPECT_EQ(trickling.ReadUntil("TAVO> "), greeting + menu);
    bool closed = false;
    // Bells and telnet no-operations are no commands; only a command counts as activity.
    for (int i = 0; i < 500 && !closed; ++i) {
        trickling.Send(i % 2 ? "q" : "\xff\xf1");
        std::this_thread::sleep_for(20ms);
        closed = !trickling.NothingFor(0ms) && trickling.Read(1) != "\a";
    }
    EXPECT_TRUE(closed);
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
