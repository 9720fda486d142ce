// The feed and the manager over real sockets on 127.0.0.1 against small servers of the test's
// own: calls and their outcomes, a far end that restarts, a refused login.
#include "sources/AmiSource.h"
#include "sources/FeedSource.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

class Recorder : public SourceListener {
public:
    void Call(const IncomingCallNotice& notice) override {
        std::lock_guard lock(mutex);
        calls.push_back(notice);
        changed.notify_all();
    }
    void Outcome(const CallOutcome& outcome) override {
        std::lock_guard lock(mutex);
        outcomes.push_back(outcome);
        changed.notify_all();
    }
    void State(SourceState state, const std::string& detail) override {
        std::lock_guard lock(mutex);
        states.emplace_back(state, detail);
        changed.notify_all();
    }
    template <typename Done> bool WaitFor(Done done) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, 30s, [&] { return done(); });
    }
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<IncomingCallNotice> calls;
    std::vector<CallOutcome> outcomes;
    std::vector<std::pair<SourceState, std::string>> states;

    size_t Count(SourceState state) const {
        size_t n = 0;
        for (const auto& s : states)
            n += s.first == state;
        return n;
    }
};

// A listening socket on 127.0.0.1; port 0 picks a free one.
class Server {
public:
    explicit Server(unsigned port = 0) {
        fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int on = 1;
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(uint16_t(port));
        EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        EXPECT_EQ(::listen(fd, 4), 0);
        socklen_t length = sizeof address;
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
        this->port = ntohs(address.sin_port);
    }
    ~Server() {
        if (client >= 0)
            ::close(client);
        ::close(fd);
    }
    bool Accept() {
        pollfd in{fd, POLLIN, 0};
        if (::poll(&in, 1, 30000) != 1)
            return false;
        client = ::accept4(fd, nullptr, nullptr, SOCK_CLOEXEC);
        return client >= 0;
    }
    void Send(const std::string& bytes) {
        ASSERT_EQ(::send(client, bytes.data(), bytes.size(), MSG_NOSIGNAL), ssize_t(bytes.size()));
    }
    // Reads until `text` has arrived (or 30 s).
    bool Receive(const std::string& text) {
        const auto until = std::chrono::steady_clock::now() + 30s;
        while (received.find(text) == std::string::npos) {
            pollfd in{client, POLLIN, 0};
            if (std::chrono::steady_clock::now() > until || ::poll(&in, 1, 1000) < 0)
                return false;
            char buffer[4096];
            if (in.revents & POLLIN) {
                const ssize_t got = ::recv(client, buffer, sizeof buffer, 0);
                if (got <= 0)
                    return false;
                received.append(buffer, size_t(got));
            }
        }
        return true;
    }
    unsigned port = 0;
    std::string received;

private:
    int fd = -1;
    int client = -1;
};

NetworkSourceOptions Options(unsigned port) {
    NetworkSourceOptions options;
    options.name = "test";
    options.host = "127.0.0.1";
    options.port = port;
    options.firstRetry = 50ms;
    options.maxRetry = 400ms;
    return options;
}

} // namespace

TEST(FeedSource, CallsOutcomesAndAFarEndThatRestarts) {
    Recorder recorder;
    auto server = std::make_unique<Server>();
    const unsigned port = server->port;
    NetworkSource source(Options(port), std::make_unique<FeedProtocol>(), recorder);
    source.Start();
    ASSERT_TRUE(server->Accept());
    ASSERT_TRUE(recorder.WaitFor([&] { return recorder.Count(SourceState::Listening) == 1; }));
    server->Send("09.12.26 18:05:09;RING;0;0301234567;5551234;SIP0;\r\n"
                 "09.12.26 18:05:10;RING;1;;5551235;SIP0;\n"
                 "garbage that is no event\n"
                 "09.12.26 18:05:15;CONNECT;0;4;0301234567;\n"
                 "09.12.26 18:06:15;DISCONNECT;0;60;\n"
                 "09.12.26 18:06:20;DISCONNECT;1;0;\n");
    ASSERT_TRUE(recorder.WaitFor([&] { return recorder.outcomes.size() == 2; }));
    {
        std::lock_guard lock(recorder.mutex);
        ASSERT_EQ(recorder.calls.size(), 2u);
        EXPECT_EQ(recorder.calls[0].callingNumber, "0301234567");
        EXPECT_EQ(recorder.calls[0].calledNumber, "5551234");
        EXPECT_EQ(recorder.calls[0].cipValue, 16);
        EXPECT_EQ(recorder.calls[1].callingNumber, "0");
        EXPECT_TRUE(recorder.outcomes[0].answered);
        EXPECT_EQ(recorder.outcomes[0].extension, "4");
        EXPECT_EQ(recorder.outcomes[0].seconds, 60);
        EXPECT_FALSE(recorder.outcomes[1].answered);
        EXPECT_EQ(recorder.outcomes[1].calledNumber, "5551235");
    }
    // The router restarts: the connection goes, the port refuses for a while, then it is back.
    server.reset();
    ASSERT_TRUE(recorder.WaitFor([&] { return recorder.Count(SourceState::Lost) >= 1; }));
    std::this_thread::sleep_for(300ms); // refused meanwhile: retried with back-off
    server = std::make_unique<Server>(port);
    ASSERT_TRUE(server->Accept());
    ASSERT_TRUE(recorder.WaitFor([&] { return recorder.Count(SourceState::Listening) == 2; }));
    server->Send("09.12.26 18:10:00;RING;0;0307654321;5551234;SIP0;\n");
    ASSERT_TRUE(recorder.WaitFor([&] { return recorder.calls.size() == 3; }));
    source.Stop();
    EXPECT_GE(source.Connections(), 2u);
}

TEST(AmiSource, ARefusedLoginIsToldOnceAndTakesNoCallsThenALoginThatWorks) {
    Recorder recorder;
    Server server;
    NetworkSourceOptions options = Options(server.port);
    options.maxRetry = 200ms; // the refused login's pace in this test
    NetworkSource source(options,
                         std::make_unique<AmiSourceProtocol>("tavo", "wrong", "from-external", 100ms),
                         recorder);
    source.Start();
    const std::string newChannel =
        "Event: Newchannel\r\nContext: from-external\r\nCallerIDNum: 0301234567\r\n"
        "Exten: 5551234\r\nUniqueid: 7.1\r\nLinkedid: 7.1\r\n\r\n";
    for (int attempt = 0; attempt < 2; ++attempt) {
        ASSERT_TRUE(server.Accept());
        ASSERT_TRUE(server.Receive("Secret: wrong\r\nEvents: call\r\n\r\n"));
        server.received.clear();
        server.Send("Asterisk Call Manager/5.0.1\r\nResponse: Error\r\nActionID: tavo-login\r\n"
                    "Message: Authentication failed\r\n\r\n" +
                    newChannel);
    }
    ASSERT_TRUE(recorder.WaitFor([&] { return recorder.Count(SourceState::Failing) >= 1; }));
    source.Stop();
    {
        std::lock_guard lock(recorder.mutex);
        EXPECT_EQ(recorder.Count(SourceState::Failing), 1u); // told once, however often tried
        EXPECT_TRUE(recorder.calls.empty());
        EXPECT_EQ(recorder.Count(SourceState::Listening), 0u);
    }

    Recorder good;
    Server second;
    NetworkSource working(Options(second.port),
                          std::make_unique<AmiSourceProtocol>("tavo", "right", "from-external", 100ms),
                          good);
    working.Start();
    ASSERT_TRUE(second.Accept());
    ASSERT_TRUE(second.Receive("Secret: right\r\n"));
    second.Send("Asterisk Call Manager/5.0.1\r\nResponse: Success\r\nActionID: tavo-login\r\n\r\n" +
                newChannel +
                "Event: Hangup\r\nUniqueid: 7.1\r\nLinkedid: 7.1\r\nCause: 16\r\n\r\n");
    ASSERT_TRUE(good.WaitFor([&] { return good.outcomes.size() == 1; }));
    ASSERT_TRUE(second.Receive("Action: Ping\r\n")); // kept alive
    working.Stop();
    std::lock_guard lock(good.mutex);
    ASSERT_EQ(good.calls.size(), 1u);
    EXPECT_EQ(good.calls[0].callingNumber, "0301234567");
    EXPECT_EQ(good.outcomes[0].cause, 16);
    EXPECT_EQ(good.Count(SourceState::Listening), 1u);
}
