#include "outputs/NcidServer.h"
#include "outputs/NcidAllowList.h"
#include "outputs/NcidLines.h"
#include "platform/Version.h"

#include "OutputTestCalls.h"
#include "TelnetTestClient.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <memory>
#include <mutex>
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
                    NcidServerOptions options = {}) {
        settings.address = "127.0.0.1";
        settings.port = 0;
        options.log = [this](const std::string& line) {
            std::lock_guard lock(mutex);
            log += line + "\n";
        };
        options.helloWait = std::chrono::milliseconds(100);
        server = std::make_unique<NcidServer>(settings, history, options);
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
