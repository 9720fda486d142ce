#include "outputs/NcidServer.h"
#include "outputs/NcidAllowList.h"
#include "outputs/NcidLines.h"
#include "platform/Version.h"

#include "OutputTestCalls.h"
#include "TelnetTestClient.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>
#include <netdb.h>
#include <netinet/in.h>

namespace {

class NcidClient : public TestClient {
public:
    using TestClient::TestClient;
    std::string Line() {
        std::string line = ReadUntil("\r\n");
        if (line.size() >= 2 && line.compare(line.size() - 2, 2, "\r\n") == 0)
            line.resize(line.size() - 2);
        else
            line = "<no line: " + line + ">";
        return line;
    }
};

// A server on a free port of 127.0.0.1 whose log the test can read.
struct Server {
    explicit Server(NcidSettings settings, std::vector<CallEvent> history = {},
                    NcidServerOptions options = {}, const std::string& address = "127.0.0.1") {
        settings.address = address;
        settings.port = 0;
        options.log = [this](const std::string& line) {
            std::lock_guard lock(mutex);
            log += line + "\n";
        };
        options.helloWait = std::chrono::milliseconds(100);
        server = std::make_unique<NcidServer>(settings, history, std::move(options));
        std::string error;
        started = server->Start(error);
        EXPECT_TRUE(started) << error;
    }
    std::string Log() {
        std::lock_guard lock(mutex);
        return log;
    }
    std::unique_ptr<NcidServer> server;
    bool started = false;
    std::mutex mutex;
    std::string log;
};

NcidSettings Settings(int replay = 50, std::string allow = "127.0.0.1/32") {
    NcidSettings settings;
    settings.enabled = true;
    settings.replay = replay;
    settings.allow = std::move(allow);
    return settings;
}

TEST(NcidLines, FieldsFollowTheClientsRules) {
    CallEvent call = SampleCall();
    EXPECT_EQ(NcidCallLine("CID", call), "CID: *DATE*03012026*TIME*1805*LINE*Office*NMBR*"
                                         "04012345678*MESG*NONE*NAME*Anna Berg*");

    call.msnName = "Front desk*upstairs";
    call.callerName = "Evil*Name\r\n200 fake";
    EXPECT_EQ(NcidLineLabel(call), "Front de");
    EXPECT_EQ(NcidName(call), "Evil Name  200 fake");

    call.msnName.clear();
    EXPECT_EQ(NcidLineLabel(call), "1234");
    call.msn.clear();
    EXPECT_EQ(NcidLineLabel(call), "-");

    call.callerName.clear();
    EXPECT_EQ(NcidName(call), "Hamburg");
    call.place.clear();
    EXPECT_EQ(NcidName(call), "NO NAME");

    call.callerKind = CallerKind::Withheld;
    call.number = "0";
    EXPECT_EQ(NcidNumber(call), "PRIVATE");
    call.callerKind = CallerKind::Absent;
    call.number.clear();
    EXPECT_EQ(NcidNumber(call), "NO-NUMBER");
}

TEST(NcidAllowList, AddressesAndNetworks) {
    std::vector<std::string> problems;
    const NcidAllowList list =
        NcidAllowList::Parse(" 192.168.1.0/24, 10.0.0.7 ,fd00::/8, bogus, 1.2.3.4/33", problems);
    ASSERT_EQ(problems.size(), 2u);
    EXPECT_NE(problems[0].find("\"bogus\""), std::string::npos);
    EXPECT_NE(problems[1].find("\"1.2.3.4/33\""), std::string::npos);

    const auto v4 = [&](const char* text) {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        inet_pton(AF_INET, text, &a.sin_addr);
        return list.Allows(reinterpret_cast<sockaddr*>(&a));
    };
    const auto v6 = [&](const char* text) {
        sockaddr_in6 a{};
        a.sin6_family = AF_INET6;
        inet_pton(AF_INET6, text, &a.sin6_addr);
        return list.Allows(reinterpret_cast<sockaddr*>(&a));
    };
    EXPECT_TRUE(v4("192.168.1.200"));
    EXPECT_FALSE(v4("192.168.2.1"));
    EXPECT_TRUE(v4("10.0.0.7"));
    EXPECT_FALSE(v4("10.0.0.8"));
    EXPECT_TRUE(v6("::ffff:192.168.1.9")); // an IPv4 client on an IPv6 socket
    EXPECT_TRUE(v6("fd12::1"));
    EXPECT_FALSE(v6("fe80::1"));
}

TEST(NcidServer, StartupReplaysTheLastCallsThenSendsNewOnes) {
    std::vector<CallEvent> history{SampleCall("0301111"), SampleCall("0302222"),
                                   SampleCall("0303333")};
    Server s(Settings(2), history);
    ASSERT_TRUE(s.started);
    NcidClient client(s.server->Port());
    ASSERT_TRUE(client.Connected());
    EXPECT_EQ(client.Line(), std::string("200 Server: TAVO ") + TavoVersion);
    const std::string api = client.Line();
    EXPECT_EQ(api.rfind("210 API: ", 0), 0u) << api;
    EXPECT_NE(api.find("Feature Set 1"), std::string::npos) << api;
    EXPECT_NE(client.Line().find("CIDLOG: *DATE*03012026*TIME*1805*LINE*Office*NMBR*0302222*"),
              std::string::npos);
    EXPECT_NE(client.Line().find("*NMBR*0303333*"), std::string::npos);
    EXPECT_EQ(client.Line(), "250 End of call log");
    EXPECT_EQ(client.Line(), "300 End of connection startup");

    // Keepalives and lines the server does not know change nothing; CR alone ends a line.
    ASSERT_TRUE(client.Send("\r\n\nREQ: something new\rjunk"));
    s.server->Post(SampleCall("0304444", "Bob*Stone"));
    EXPECT_EQ(client.Line(), "CID: *DATE*03012026*TIME*1805*LINE*Office*NMBR*0304444*MESG*NONE*"
                             "NAME*Bob Stone*");
    // A repeat of a call is not a new call; a line event is no call.
    CallEvent repeat = SampleCall("0304444");
    repeat.repeatCount = 2;
    s.server->Post(repeat);
    s.server->Post(LineEvent{SampleTime, LineState::Lost});
    EXPECT_TRUE(client.NothingFor(std::chrono::milliseconds(300)));

    // The next client's log holds the new call.
    NcidClient second(s.server->Port());
    for (int i = 0; i < 3; ++i)
        second.Line();
    EXPECT_NE(second.Line().find("CIDLOG: *DATE*03012026*TIME*1805*LINE*Office*NMBR*0304444*"),
              std::string::npos);
}

TEST(NcidServer, ClientsMayDeclineTheLogAndAnEmptyLogIsSaidSo) {
    Server empty(Settings());
    NcidClient client(empty.server->Port());
    client.Line();
    client.Line();
    EXPECT_EQ(client.Line(), "252 Call log empty");
    EXPECT_EQ(client.Line(), "300 End of connection startup");

    Server full(Settings(), {SampleCall()});
    NcidClient declining(full.server->Port());
    ASSERT_TRUE(declining.Send("HELLO: IDENT: client test 1.0\nHELLO: CMD: no_log\n"));
    declining.Line();
    declining.Line();
    EXPECT_EQ(declining.Line(), "251 Call log not sent");
    EXPECT_EQ(declining.Line(), "300 End of connection startup");
}

TEST(NcidServer, AddressesOffTheListGetNothing) {
    Server s(Settings(50, "10.0.0.0/8"));
    NcidClient client(s.server->Port());
    bool closed = false;
    EXPECT_EQ(client.ReadToEnd(&closed), "");
    EXPECT_TRUE(closed);
    EXPECT_NE(s.Log().find("refused 127.0.0.1: not in [ncid] allow"), std::string::npos);
}

TEST(NcidClientLines, LinesEndAtCrOrLfAndOverlongOnesAreDropped) {
    NcidClientLines input;
    std::vector<std::string> lines;
    input.Take("HELLO: IDENT: a\r\n\nHEL", lines);
    EXPECT_EQ(lines, std::vector<std::string>{"HELLO: IDENT: a"});
    input.Take("LO: CMD: no_log\r" + std::string(NcidClientLines::MaxLine + 1, 'x') + "\nend", lines);
    EXPECT_EQ(lines, (std::vector<std::string>{"HELLO: IDENT: a", "HELLO: CMD: no_log"}));
    input.Take(std::string(NcidClientLines::MaxLine - 3, 'y') + "\n", lines);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[2], "end" + std::string(NcidClientLines::MaxLine - 3, 'y'));

    EXPECT_TRUE(ReadHello("HELLO: CMD: no_log").noLog);
    EXPECT_TRUE(ReadHello("HELLO: CMD: no_log").endsStartup);
    EXPECT_FALSE(ReadHello("HELLO: IDENT: x").endsStartup);
    EXPECT_TRUE(ReadHello("REQ: x").endsStartup);
    EXPECT_FALSE(ReadHello("REQ: no_log").noLog);
}

TEST(NcidServer, RefusalsAreToldOncePerAddressAndMinuteWithACount) {
    std::atomic<int> minutes{0};
    const auto start = std::chrono::steady_clock::now();
    NcidServerOptions options;
    options.clock = [&] { return start + std::chrono::minutes(minutes.load()); };
    Server s(Settings(50, "10.0.0.0/8"), {}, options);
    auto refusedOnce = [&] {
        NcidClient client(s.server->Port());
        bool closed = false;
        EXPECT_EQ(client.ReadToEnd(&closed), "");
        EXPECT_TRUE(closed);
    };
    for (int i = 0; i < 300; ++i)
        refusedOnce();
    EXPECT_EQ(s.Log(), "ncid: refused 127.0.0.1: not in [ncid] allow\n");
    // The next refusal after the minute first tells the count of the minute before.
    minutes = 1;
    refusedOnce();
    EXPECT_EQ(s.Log(), "ncid: refused 127.0.0.1: not in [ncid] allow\n"
                       "ncid: refused 127.0.0.1 299 more times within a minute: not in [ncid] "
                       "allow\n");
    // What is counted when the server ends is told then.
    s.server.reset();
    EXPECT_TRUE(std::string_view(s.Log()).ends_with(
        "ncid: refused 127.0.0.1 1 more time within a minute: not in [ncid] allow\n"));
}

TEST(NcidRefusals, QuietAddressesAreToldAtOnceAgainAndManyAreCountedTogether) {
    std::vector<std::string> told;
    NcidRefusals refusals([&](const std::string& line) { told.push_back(line); });
    const auto t0 = std::chrono::steady_clock::time_point{};
    refusals.Refused("192.0.2.1", "r", t0);
    EXPECT_EQ(refusals.Tick(t0 + std::chrono::seconds(30)), t0 + std::chrono::minutes(1));
    EXPECT_FALSE(refusals.Tick(t0 + std::chrono::minutes(1))); // nothing more: forgotten
    refusals.Refused("192.0.2.1", "r", t0 + std::chrono::minutes(2));
    EXPECT_EQ(told, (std::vector<std::string>{"ncid: refused 192.0.2.1: r",
                                              "ncid: refused 192.0.2.1: r"}));
    told.clear();
    for (size_t i = 0; i < NcidRefusals::maxAddresses + 10; ++i)
        refusals.Refused("10.0." + std::to_string(i / 256) + "." + std::to_string(i % 256), "r",
                         t0 + std::chrono::minutes(2));
    EXPECT_EQ(told.size(), NcidRefusals::maxAddresses);
    EXPECT_EQ(told.back(), "ncid: refused other addresses: r");
    refusals.Flush();
    // 192.0.2.1 still holds its place: ten came after the table was full.
    EXPECT_EQ(told.back(), "ncid: refused other addresses 10 more times within a minute: r");
}

// Connects to `address` on `port` and returns the first four bytes the server sends.
std::string GreetingAt(const sockaddr_storage& address, int port) {
    sockaddr_storage target = address;
    socklen_t length = sizeof(sockaddr_in);
    if (target.ss_family == AF_INET6) {
        reinterpret_cast<sockaddr_in6&>(target).sin6_port = htons(static_cast<uint16_t>(port));
        length = sizeof(sockaddr_in6);
    } else {
        reinterpret_cast<sockaddr_in&>(target).sin_port = htons(static_cast<uint16_t>(port));
    }
    const int client = socket(target.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    timeval limit{10, 0};
    setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    char greeting[4] = {};
    std::string got;
    if (connect(client, reinterpret_cast<sockaddr*>(&target), length) != 0)
        got = std::string("connect: ") + std::strerror(errno);
    else if (recv(client, greeting, 4, MSG_WAITALL) == 4)
        got.assign(greeting, 4);
    close(client);
    return got;
}

std::vector<sockaddr_storage> Resolve(const char* host) {
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    std::vector<sockaddr_storage> addresses;
    if (getaddrinfo(host, nullptr, &hints, &found) != 0)
        return addresses;
    for (addrinfo* a = found; a; a = a->ai_next) {
        sockaddr_storage address{};
        std::memcpy(&address, a->ai_addr, a->ai_addrlen);
        addresses.push_back(address);
    }
    freeaddrinfo(found);
    return addresses;
}

TEST(NcidServer, AHostNameIsListenedOnAtEveryAddressItNames) {
    const std::vector<sockaddr_storage> local = Resolve("localhost");
    ASSERT_FALSE(local.empty());
    Server named(Settings(50, "127.0.0.0/8, ::1/128"), {}, {}, "localhost");
    ASSERT_TRUE(named.started);
    for (const sockaddr_storage& address : local)
        EXPECT_EQ(GreetingAt(address, named.server->Port()), "200 ")
            << AddressText(reinterpret_cast<const sockaddr*>(&address));

    // No address: every address of both families, IPv6 where this machine has it.
    Server everywhere(Settings(50, "127.0.0.0/8, ::1/128"), {}, {}, "");
    ASSERT_TRUE(everywhere.started);
    const std::vector<sockaddr_storage> v4 = Resolve("127.0.0.1");
    EXPECT_EQ(GreetingAt(v4.front(), everywhere.server->Port()), "200 ");
    const std::vector<sockaddr_storage> v6 = Resolve("::1");
    const int probe = socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const bool haveV6 =
        probe >= 0 && bind(probe, reinterpret_cast<const sockaddr*>(&v6.front()),
                           sizeof(sockaddr_in6)) == 0;
    if (probe >= 0)
        close(probe);
    if (!haveV6)
        GTEST_SKIP() << "no IPv6 loopback on this machine";
    EXPECT_EQ(GreetingAt(v6.front(), everywhere.server->Port()), "200 ");
}

TEST(NcidServer, TheFiftyFirstClientIsTurnedAway) {
    Server s(Settings());
    std::vector<std::unique_ptr<NcidClient>> clients;
    for (int i = 0; i < 50; ++i) {
        clients.push_back(std::make_unique<NcidClient>(s.server->Port()));
        ASSERT_EQ(clients.back()->Line().rfind("200 ", 0), 0u);
    }
    NcidClient extra(s.server->Port());
    bool closed = false;
    const std::string said = extra.ReadToEnd(&closed);
    EXPECT_TRUE(closed);
    EXPECT_EQ(said.rfind("MSG: ", 0), 0u) << said;
    EXPECT_NE(said.find("50"), std::string::npos) << said;

    // One leaves: there is room again.
    clients.front()->Close();
    clients.erase(clients.begin());
    for (int tries = 0; tries < 100 && s.server->ClientCount() != 49; ++tries)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    NcidClient next(s.server->Port());
    EXPECT_EQ(next.Line().rfind("200 ", 0), 0u);
}

TEST(NcidServer, AClientThatDoesNotReadIsDroppedAndNobodyWaits) {
    NcidServerOptions options;
    options.clientBacklogBytes = 4096;
    options.clientSendBufferBytes = 4096;
    Server s(Settings(0), {}, options);
    NcidClient reader(s.server->Port());
    NcidClient sleeper(s.server->Port(), std::chrono::seconds(10), 1024);
    for (int i = 0; i < 4; ++i)
        reader.Line();
    // Far more than the sleeper's buffers hold, in bursts the reader's backlog holds.
    for (int burst = 0; burst < 150; ++burst) {
        for (int i = 0; i < 20; ++i)
            s.server->Post(SampleCall("030" + std::to_string(burst * 100 + i)));
        for (int i = 0; i < 20; ++i) {
            const std::string line = reader.Line();
            ASSERT_NE(line.find("*NMBR*030" + std::to_string(burst * 100 + i) + "*"),
                      std::string::npos)
                << line;
        }
    }
    EXPECT_TRUE(sleeper.WaitForClose());
    EXPECT_NE(s.Log().find("dropped 127.0.0.1: it does not read"), std::string::npos) << s.Log();
}

} // namespace
