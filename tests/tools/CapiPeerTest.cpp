// The peer's state machine, driven in-process over real loopback sockets by a client that
// writes rcapi frames by hand.
#include "tools/capi-peer/CapiPeer.h"
#include "tools/capi-peer/Hex.h"
#include "tools/capi-peer/RcapiFrame.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

Bytes H(const char* text) {
    return ParseHex(text).value();
}

const Bytes RegisterRequest = H("00 00 00 00 F2 FF 00 00 00 00 00 00 00 0C 02 00 07 00 00 08 02");
const Bytes ProfileRequest = H("00 00 00 00 E0 FF 00 00 00 00 00 00");
Bytes ListenRequest(uint8_t applId, uint8_t controller, const char* cipMask) {
    Bytes m = H("1A 00 00 00 05 80 00 00 00 00 00 00 00 00 00 00");
    m[2] = applId;
    m[8] = controller;
    Bytes mask = H(cipMask);
    m.insert(m.end(), mask.begin(), mask.end());
    Bytes rest = H("00 00 00 00 00 00");
    m.insert(m.end(), rest.begin(), rest.end());
    return m;
}

PeerOptions Options(unsigned controllers = 1, bool refuseRegister = false, bool silent = false) {
    PeerOptions options;
    options.controllers = controllers;
    options.refuseRegister = refuseRegister;
    options.silent = silent;
    return options;
}

class Client {
public:
    explicit Client(unsigned port) {
        fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        connected = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    ~Client() { Close(); }
    void Close() {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
    void SendRaw(const Bytes& bytes) {
        ASSERT_EQ(::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL),
                  static_cast<ssize_t>(bytes.size()));
    }
    void Send(const Bytes& payload) { SendRaw(EncodeFrame(payload)); }
    // Whatever frame payloads arrived; `closed` tells whether the peer hung up.
    std::vector<Bytes> Received() {
        uint8_t buffer[8192];
        ssize_t n;
        while ((n = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT)) > 0)
            reader.Append(buffer, static_cast<size_t>(n));
        if (n == 0)
            closed = true;
        std::vector<Bytes> payloads;
        while (auto p = reader.NextPayload())
            payloads.push_back(*p);
        return payloads;
    }
    int fd = -1;
    bool connected = false;
    bool closed = false;

private:
    FrameReader reader;
};

class CapiPeerTest : public ::testing::Test {
protected:
    void MakePeer(PeerOptions options) {
        options.host = "127.0.0.1";
        peer = std::make_unique<CapiPeer>(
            options, CapiPeer::Output{[this](const std::string& l) { lines.push_back(l); },
                                      [this](const std::string& e) { errors.push_back(e); }});
        ASSERT_EQ(peer->Start(), "");
        ASSERT_NE(peer->Port(), 0u);
    }
    // Lets the peer serve what is pending: a few short rounds, since one round may only accept.
    void Serve() {
        for (int i = 0; i < 5; ++i)
            peer->Step(20);
    }
    // A client that registered and listened on controller 1 for every service.
    std::unique_ptr<Client> Application(uint8_t applId) {
        auto client = std::make_unique<Client>(peer->Port());
        client->Send(RegisterRequest);
        Serve();
        client->Send(ListenRequest(applId, 1, "FF 03 FF 1F"));
        Serve();
        client->Received();
        return client;
    }
    size_t Count(const std::string& prefix) const {
        size_t n = 0;
        for (const auto& l : lines)
            n += l.rfind(prefix, 0) == 0;
        return n;
    }

    std::unique_ptr<CapiPeer> peer;
    std::vector<std::string> lines;
    std::vector<std::string> errors;
};

TEST_F(CapiPeerTest, RegistersListensAndRecordsBothDirections) {
    MakePeer(Options());
    Client client(peer->Port());
    ASSERT_TRUE(client.connected);
    client.Send(RegisterRequest);
    Serve();
    auto replies = client.Received();
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0], H("00 00 00 00 F3 FF 00 00 00 00"));

    Bytes listen = ListenRequest(5, 1, "FF 03 FF 1F");
    client.Send(listen);
    Serve();
    replies = client.Received();
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0], H("0E 00 05 00 05 81 00 00 01 00 00 00 00 00"));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "registered 5");
    EXPECT_EQ(lines[1], "< " + FormatHex(listen));
    EXPECT_EQ(lines[2], "> " + FormatHex(replies[0]));

    ASSERT_TRUE(peer->HandleCommandLine("ring 5551 0301234 plci=0x00000101"));
    Serve();
    replies = client.Received();
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0][4], 0x02);
    EXPECT_EQ(replies[0][5], 0x82);
    EXPECT_EQ(replies[0][8], 0x01);
    EXPECT_EQ(replies[0][9], 0x01);

    // The response is recorded byte for byte, whatever it holds.
    Bytes response = H("20 00 05 00 02 83 01 00 01 01 00 00 01 00 09 00 00 00 00 00 00 00 00 00 "
                       "00 00 00 04 00 00 00 00");
    client.Send(response);
    ASSERT_TRUE(peer->HandleCommandLine("hangup 0x101"));
    Serve();
    EXPECT_EQ(lines.back(), "< " + FormatHex(response));
    replies = client.Received();
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0], H("0E 00 05 00 04 82 02 00 01 01 00 00 90 34"));

    client.Close();
    Serve();
    EXPECT_EQ(lines.back(), "released 5");
    EXPECT_EQ(peer->ConnectionCount(), 0u);
}

TEST_F(CapiPeerTest, ProbeIsAnsweredButNeverSentToUnasked) {
    MakePeer(Options(2));
    Client probe(peer->Port());
    probe.Send(ProfileRequest);
    Serve();
    auto replies = probe.Received();
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0][10], 2); // two controllers

    auto application = Application(1);
    peer->HandleCommandLine("ring 5551 0301234");
    peer->HandleCommandLine("raw 0C 00 00 00 04 82 00 00 01 01 00 00");
    Serve();
    EXPECT_EQ(application->Received().size(), 2u);
    EXPECT_TRUE(probe.Received().empty());
    EXPECT_FALSE(probe.closed);
    // Drop closes the application's connection only.
    peer->HandleCommandLine("drop");
    Serve();
    EXPECT_EQ(lines.back(), "dropped 1");
    application->Received();
    EXPECT_TRUE(application->closed);
    EXPECT_EQ(peer->ConnectionCount(), 1u);
}

TEST_F(CapiPeerTest, CallsGoOnlyWhereSomebodyListensForThem) {
    MakePeer(Options(2));
    auto client = std::make_unique<Client>(peer->Port());
    client->Send(RegisterRequest);
    Serve();
    client->Received();
    // Controller 1: speech only (bit 1). Controller 3 does not exist.
    client->Send(ListenRequest(4, 1, "02 00 00 00"));
    client->Send(ListenRequest(4, 3, "FF 03 FF 1F"));
    Serve();
    auto confs = client->Received();
    ASSERT_EQ(confs.size(), 2u);
    EXPECT_EQ(confs[0][12], 0);
    EXPECT_EQ(confs[1][12], 0x02); // info 0x2002, illegal controller
    EXPECT_EQ(confs[1][13], 0x20);

    peer->HandleCommandLine("ring 5551 123");        // telephony, not wanted
    peer->HandleCommandLine("ring 5551 123 ctrl=2"); // nobody listens on controller 2
    Serve();
    EXPECT_TRUE(client->Received().empty());
    EXPECT_EQ(errors.size(), 2u);
    peer->HandleCommandLine("ring 5551 123 cip=1");
    Serve();
    EXPECT_EQ(client->Received().size(), 1u);
    EXPECT_EQ(Count("> 20 00 04 00 02 82"), 1u);
}

TEST_F(CapiPeerTest, RefusedSilentAndBrokenClients) {
    MakePeer(Options(1, true));
    {
        Client client(peer->Port());
        client.Send(RegisterRequest);
        Serve();
        auto replies = client.Received();
        ASSERT_EQ(replies.size(), 1u);
        EXPECT_EQ(replies[0], H("00 00 00 00 F3 FF 00 00 01 10"));
        // A message after a refused registration is recorded but not answered.
        client.Send(ListenRequest(1, 1, "FF 03 FF 1F"));
        Serve();
        EXPECT_TRUE(client.Received().empty());
        EXPECT_EQ(Count("registered"), 0u);
        EXPECT_EQ(Count("< 1A 00"), 1u);
    }

    MakePeer(Options(1, false, true));
    Client quiet(peer->Port());
    quiet.Send(ProfileRequest);
    quiet.Send(RegisterRequest);
    Serve();
    EXPECT_TRUE(quiet.Received().empty());
    EXPECT_FALSE(quiet.closed);

    // A server that answers everything but the registration.
    PeerOptions hanging = Options();
    hanging.hangRegister = true;
    MakePeer(hanging);
    Client waiting(peer->Port());
    waiting.Send(ProfileRequest);
    waiting.Send(RegisterRequest);
    Serve();
    auto answers = waiting.Received();
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(answers[0][4], 0xE1); // the profile's answer
    EXPECT_EQ(Count("unanswered register"), 1u);
    EXPECT_FALSE(waiting.closed);

    // A frame that announces an impossible length ends that connection and only that one.
    Client broken(peer->Port());
    broken.SendRaw({0x00, 0x01, 0x00});
    Serve();
    broken.Received();
    EXPECT_TRUE(broken.closed);
    EXPECT_FALSE(waiting.closed);
    EXPECT_EQ(peer->ConnectionCount(), 1u);
}

TEST_F(CapiPeerTest, GarbageFromOneClientHarmsNobodyElse) {
    MakePeer(Options());
    auto application = Application(3);
    Client noisy(peer->Port());
    noisy.Send(RegisterRequest);
    Serve();
    // Well-framed payloads of many lengths and odd content: wrong
    // length fields, unknown control codes, responses for calls that never were.
    uint32_t seed = 12345;
    for (size_t size = 8; size <= 48; ++size) {
        Bytes payload(size);
        for (auto& b : payload) {
            seed = seed * 1103515245 + 12345;
            b = static_cast<uint8_t>(seed >> 16);
        }
        if (size % 3 == 0 && size >= 12) {
            payload[0] = payload[1] = 0;
            payload[5] = 0xFF;
        }
        if (size % 5 == 0 && size >= 12) {
            payload[4] = 0x02;
            payload[5] = 0x83;
        }
        noisy.Send(payload);
        Serve();
    }
    EXPECT_FALSE(noisy.closed);
    // The well-behaved application still gets its calls.
    peer->HandleCommandLine("ring 5551 0301234");
    Serve();
    EXPECT_EQ(application->Received().size(), 1u);
    EXPECT_FALSE(errors.empty());
}

TEST_F(CapiPeerTest, CommandsThatFindNothingAreReportedNotSent) {
    MakePeer(Options());
    EXPECT_TRUE(peer->HandleCommandLine("hangup 0x101"));
    EXPECT_TRUE(peer->HandleCommandLine("raw 0C 00 00 00 04 82 00 00 01 01 00 00"));
    EXPECT_TRUE(peer->HandleCommandLine("drop"));
    EXPECT_TRUE(peer->HandleCommandLine("nonsense"));
    EXPECT_EQ(errors.size(), 4u);
    EXPECT_TRUE(lines.empty());
    EXPECT_FALSE(peer->HandleCommandLine("quit"));
}

TEST_F(CapiPeerTest, CommandInputEndsAtEndOfFile) {
    MakePeer(Options());
    auto application = Application(2);
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    peer->SetInput(pipeFds[0]);
    // Two lines in one write, the second without a newline before the end of input.
    std::string text = "ring 5551 0301234\nring 5552 0301234";
    ASSERT_EQ(::write(pipeFds[1], text.data(), text.size()), static_cast<ssize_t>(text.size()));
    ::close(pipeFds[1]);
    bool running = true;
    for (int i = 0; i < 10 && running; ++i)
        running = peer->Step(20);
    EXPECT_FALSE(running);
    EXPECT_EQ(application->Received().size(), 2u);
    ::close(pipeFds[0]);
}

} // namespace
