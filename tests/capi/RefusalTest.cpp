// Refusing a call on the line: the line process's question to the monitor and the wait for its
// answer, through CCAPIAccess over a scripted line, the pipe read back as the monitor reads it.
#include "WireBytes.h"
#include "capi/CCAPIAccess.h"
#include "capi/DemoCalls.h"
#include "capi/LineChild.h"
#include "capi/LineProtocol.h"
#include "capi/RefusalMailbox.h"
#include "capi/SimulatedLine.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

const SampleCall kCall{0x00010201, 16, "5551", 0x21, 0x80, "900123456"};

// The CONNECT_RESP to kCall (message number 0x42) with this Reject value.
std::vector<uint8_t> ConnectResp(uint8_t reject) {
    auto bytes = Hex("20 00 03 00 02 83 42 00 01 02 01 00 01 00"
                     " 09 00 00 00 00 00 00 00 00 00 00 00 00 04 00 00 00 00");
    bytes[12] = reject;
    return bytes;
}

// The line process's side: CCAPIAccess over a scripted line, its receiver writing into a pipe
// that the test reads as the monitor does.
class LineQuestions : public ::testing::Test {
protected:
    LineQuestions() : line(1) {
        line.SetFirstApplId(3);
        EXPECT_EQ(::pipe2(fds, O_CLOEXEC), 0);
        writer = std::make_unique<LinePipeWriter>(fds[1]);
    }
    ~LineQuestions() override {
        ::close(fds[0]);
        ::close(fds[1]);
    }

    // Rings kCall, answering the listener's question (if one comes) with `answer`, which gets
    // what was asked; returns what reached the pipe.
    std::vector<LinePipeMessage>
    Ring(std::chrono::milliseconds timeout,
         const std::function<void(const LinePipeMessage& asked)>& answer) {
        LinePipeReceiver receiver(*writer, mailbox, timeout);
        CCAPIAccess capi(&line, receiver);
        EXPECT_EQ(capi.RegisterCAPI(false), std::nullopt);
        line.Inject(ConnectIndMessage(kCall, 0x0042));
        std::thread listener([&] { capi.FetchMessages(); });
        std::vector<LinePipeMessage> messages;
        LinePipeReader reader(
            [&](LinePipeMessage&& message) {
                if (message.kind == LinePipeMessage::Kind::Ask)
                    answer(message);
                messages.push_back(std::move(message));
            },
            [](const std::string& complaint) { ADD_FAILURE() << complaint; });
        // Until the call itself has come through.
        while (messages.empty() || messages.back().kind != LinePipeMessage::Kind::Call) {
            pollfd p{fds[0], POLLIN, 0};
            if (::poll(&p, 1, 20000) != 1) {
                ADD_FAILURE() << "nothing came through the pipe";
                break;
            }
            char buffer[512];
            const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
            if (n <= 0)
                break;
            reader.Feed(std::string_view(buffer, static_cast<size_t>(n)));
        }
        listener.join();
        return messages;
    }

    SimulatedLine line;
    RefusalMailbox mailbox;
    int fds[2] = {-1, -1};
    std::unique_ptr<LinePipeWriter> writer;
};

TEST_F(LineQuestions, WithoutScreeningNothingIsAskedAndTheCallIsIgnored) {
    auto messages = Ring(10s, [](const LinePipeMessage&) { ADD_FAILURE() << "asked"; });
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_FALSE(messages[0].notice.refused);
    ASSERT_EQ(line.Puts().size(), 1u);
    EXPECT_EQ(line.Puts()[0], ConnectResp(1));
}

TEST_F(LineQuestions, RefusedWhenTheMonitorSaysSoAndToldAsRefused) {
    mailbox.SetScreening(true);
    auto messages = Ring(10s, [&](const LinePipeMessage& asked) {
        // The answer about another call first: dropped, the listener waits on.
        mailbox.Answer(asked.notice.connectionId + 1, false);
        mailbox.Answer(asked.notice.connectionId, true);
    });
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].kind, LinePipeMessage::Kind::Ask);
    EXPECT_EQ(messages[0].notice.callingNumber, "0900123456");
    EXPECT_EQ(messages[0].notice.calledNumber, "5551");
    EXPECT_EQ(messages[0].notice.connectionId, kCall.plci);
    EXPECT_EQ(messages[0].notice.cipValue, 16);
    EXPECT_TRUE(messages[1].notice.refused);
    ASSERT_EQ(line.Puts().size(), 1u);
    EXPECT_EQ(line.Puts()[0], ConnectResp(3));
}

TEST_F(LineQuestions, IgnoredWhenTheMonitorSaysSo) {
    mailbox.SetScreening(true);
    auto messages = Ring(10s, [&](const LinePipeMessage& asked) {
        mailbox.Answer(asked.notice.connectionId, false);
    });
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_FALSE(messages[1].notice.refused);
    ASSERT_EQ(line.Puts().size(), 1u);
    EXPECT_EQ(line.Puts()[0], ConnectResp(1));
}

TEST_F(LineQuestions, IgnoredWhenNoAnswerComesInTime) {
    mailbox.SetScreening(true);
    // An answer about another call only: as good as none.
    auto messages = Ring(50ms, [&](const LinePipeMessage& asked) {
        mailbox.Answer(asked.notice.connectionId + 1, true);
    });
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_FALSE(messages[1].notice.refused);
    ASSERT_EQ(line.Puts().size(), 1u);
    EXPECT_EQ(line.Puts()[0], ConnectResp(1));
}

TEST(RefusalMailbox, AnswersCountOnlyForTheQuestionBeingAsked) {
    RefusalMailbox mailbox;
    // Before any question, and after one timed out: neither is taken for the next.
    mailbox.Answer(0x101, true);
    EXPECT_EQ(mailbox.Ask(0x101, [] {}, 1ms), std::nullopt);
    mailbox.Answer(0x101, true);
    // Put while the question is being sent, as a quick monitor does.
    EXPECT_EQ(mailbox.Ask(0x101, [&] { mailbox.Answer(0x101, false); }, 10s), false);
    // The first answer counts; one more for the same call changes nothing.
    EXPECT_EQ(mailbox.Ask(
                  0x202,
                  [&] {
                      mailbox.Answer(0x202, true);
                      mailbox.Answer(0x202, false);
                  },
                  10s),
              true);
    // From another thread, while the listener waits.
    std::thread monitor;
    EXPECT_EQ(mailbox.Ask(
                  0x303,
                  [&] {
                      monitor = std::thread([&] {
                          mailbox.Answer(0x404, false);
                          mailbox.Answer(0x303, true);
                      });
                  },
                  20s),
              true);
    monitor.join();
}

} // namespace
