// What the router's call-monitor feed and the PBX manager send, read into calls: well-formed
// lines and packets, the forms of a withheld number, and what a careless or hostile peer sends.
#include "sources/AmiProtocol.h"
#include "sources/CallMonitorFeed.h"
#include "sources/LineSplitter.h"

#include <gtest/gtest.h>

TEST(CallMonitorFeed, EachKindOfLineReadsIntoItsEvent) {
    const auto ring = ParseFeedLine("09.12.26 18:05:09;RING;0;0301234567;5551234;SIP0;");
    ASSERT_TRUE(ring);
    EXPECT_EQ(ring->kind, FeedEvent::Kind::Ring);
    EXPECT_EQ(ring->id, 0u);
    EXPECT_EQ(ring->caller, "0301234567");
    EXPECT_EQ(ring->called, "5551234");
    EXPECT_EQ(ring->line, "SIP0");

    const auto withheld = ParseFeedLine("09.12.26 18:05:09;RING;2;;5551234;SIP0;");
    ASSERT_TRUE(withheld);
    EXPECT_EQ(withheld->caller, "");
    EXPECT_EQ(withheld->id, 2u);

    const auto connect = ParseFeedLine("09.12.26 18:05:15;CONNECT;2;4;0301234567;");
    ASSERT_TRUE(connect);
    EXPECT_EQ(connect->kind, FeedEvent::Kind::Connect);
    EXPECT_EQ(connect->extension, "4");

    const auto end = ParseFeedLine("09.12.26 18:06:15;DISCONNECT;2;60;");
    ASSERT_TRUE(end);
    EXPECT_EQ(end->kind, FeedEvent::Kind::Disconnect);
    EXPECT_EQ(end->seconds, 60);

    const auto call = ParseFeedLine("09.12.26 18:07:00;CALL;1;4;5551234;0301234567;SIP0;");
    ASSERT_TRUE(call);
    EXPECT_EQ(call->kind, FeedEvent::Kind::Call);
}

TEST(CallMonitorFeed, WhatIsNoEventIsNoCallAndNumbersKeepOnlyDiallingCharacters) {
    for (const char* bad : {"", "hello", "09.12.26 18:05:09;RING;", "9.12.26 18:05:09;RING;0;1;2;",
                            "09.12.26 18:05:09;RING;x;1;2;", "09.12.26 18:05:09;HOLD;0;1;",
                            "09.12.26 18:05:09;DISCONNECT;0;-5;", "GET / HTTP/1.1",
                            "09.12.26 18:05:09;RING;99999999999;1;2;"})
        EXPECT_FALSE(ParseFeedLine(bad)) << bad;
    const auto forged = ParseFeedLine("09.12.26 18:05:09;RING;1;030\x1b]0;x\x07 1234;555;SIP0;");
    // The ';' inside the escape splits fields; whatever lands in the numbers is digits only.
    ASSERT_TRUE(forged);
    for (char c : forged->caller + forged->called)
        EXPECT_TRUE((c >= '0' && c <= '9') || c == '*' || c == '#' || c == '+') << int(c);
}

TEST(LineSplitter, LinesComeWholeWhateverThePiecesAndOverlongOnesAreDropped) {
    LineSplitter splitter(16);
    std::vector<std::string> lines;
    const auto take = [&](std::string_view line) { lines.emplace_back(line); };
    splitter.Feed("first\r", take);
    splitter.Feed("\nsec", take);
    splitter.Feed("ond\n\nthis line is far too long for the limit\nafter\n", take);
    EXPECT_EQ(lines, (std::vector<std::string>{"first", "second", "", "after"}));
    EXPECT_EQ(splitter.Overlong(), 1u);
    // A flood without a line end never grows the buffer past its limit and ends at the next LF.
    splitter.Feed(std::string(1 << 20, 'x'), take);
    splitter.Feed("\nok\n", take);
    EXPECT_EQ(lines.back(), "ok");
    EXPECT_EQ(splitter.Overlong(), 2u);
}

namespace {

std::vector<AmiPacket> Packets(const std::string& text) {
    AmiPacketReader reader;
    LineSplitter splitter;
    std::vector<AmiPacket> packets;
    splitter.Feed(text, [&](std::string_view line) {
        if (auto packet = reader.Line(line))
            packets.push_back(std::move(*packet));
    });
    return packets;
}

} // namespace

TEST(AmiProtocol, PacketsAndTheLoginAnswer) {
    const auto packets = Packets("Asterisk Call Manager/5.0.1\r\n"
                                 "Response: Success\r\nActionID: tavo-login\r\n"
                                 "Message: Authentication accepted\r\n\r\n"
                                 "Response: Error\r\nActionID: tavo-login\r\n\r\n"
                                 "Response: Success\r\nActionID: tavo-ping\r\nPing: Pong\r\n\r\n");
    ASSERT_EQ(packets.size(), 3u);
    EXPECT_EQ(packets[0].Field("message"), "Authentication accepted");
    EXPECT_EQ(LoginAnswerOf(packets[0]), AmiLoginAnswer::Accepted);
    EXPECT_EQ(LoginAnswerOf(packets[1]), AmiLoginAnswer::Refused);
    EXPECT_EQ(LoginAnswerOf(packets[2]), AmiLoginAnswer::None);
    const auto login = AmiLoginAction("tavo", "s3cret");
    ASSERT_TRUE(login);
    EXPECT_NE(login->find("Username: tavo\r\nSecret: s3cret\r\nEvents: call\r\n\r\n"),
              std::string::npos);
    EXPECT_FALSE(AmiLoginAction("tavo\r\nAction: Originate", "x"));
}

TEST(AmiProtocol, OneCallPerLinkedidInTheContextEndedByTheHangupOfItsFirstChannel) {
    AmiCallTracker tracker("from-external");
    const auto packets = Packets(
        "Event: Newchannel\r\nChannel: SIP/trunk-1\r\nContext: from-external\r\n"
        "CallerIDNum: 0301234567\r\nExten: 5551234\r\nUniqueid: 1.1\r\nLinkedid: 1.1\r\n\r\n"
        "Event: Newchannel\r\nChannel: SIP/200-2\r\nContext: from-internal\r\n"
        "CallerIDNum: 200\r\nExten: 5551234\r\nUniqueid: 1.2\r\nLinkedid: 1.1\r\n\r\n"
        "Event: Newchannel\r\nContext: from-external\r\nCallerIDNum: 0301234567\r\n"
        "Exten: 5551234\r\nUniqueid: 1.3\r\nLinkedid: 1.1\r\n\r\n"
        "Event: Newchannel\r\nContext: from-external\r\nCallerIDNum: <unknown>\r\n"
        "Exten: 5551235\r\nUniqueid: 2.1\r\nLinkedid: 2.1\r\n\r\n"
        "Event: Newchannel\r\nContext: from-external\r\nCallerIDNum: anonymous\r\n"
        "Exten: 5551235\r\nUniqueid: 3.1\r\nLinkedid: 3.1\r\n\r\n"
        "Event: Hangup\r\nUniqueid: 1.2\r\nLinkedid: 1.1\r\nCause: 16\r\n\r\n"
        "Event: Hangup\r\nUniqueid: 1.1\r\nLinkedid: 1.1\r\nCause: 16\r\n"
        "Cause-txt: Normal Clearing\r\n\r\n");
    std::vector<AmiCall> calls;
    std::vector<AmiCallEnd> ends;
    for (const AmiPacket& packet : packets) {
        if (auto call = tracker.NewCall(packet))
            calls.push_back(*call);
        if (auto end = tracker.EndedCall(packet))
            ends.push_back(*end);
    }
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].callingNumber, "0301234567");
    EXPECT_EQ(calls[0].calledNumber, "5551234");
    EXPECT_EQ(calls[1].callingNumber, "0");
    EXPECT_EQ(calls[2].callingNumber, "0");
    EXPECT_NE(calls[0].connectionId, calls[1].connectionId);
    ASSERT_EQ(ends.size(), 1u);
    EXPECT_EQ(ends[0].call.linkedId, "1.1");
    EXPECT_EQ(ends[0].cause, 16);
    EXPECT_EQ(ends[0].causeText, "Normal Clearing");
    EXPECT_EQ(tracker.OpenCalls(), 2u);

    // An empty context takes every context.
    AmiCallTracker every("");
    EXPECT_TRUE(every.NewCall(packets[1]));
}

TEST(AmiProtocol, ACallIsAnsweredWhenOneOfItsChannelsGoesUpAtTheDeviceThatTookIt) {
    using namespace std::chrono_literals;
    AmiCallTracker tracker("from-external");
    const auto packets = Packets(
        "Event: Newchannel\r\nChannel: PJSIP/trunk-1\r\nContext: from-external\r\n"
        "CallerIDNum: 0301234567\r\nExten: 5551234\r\nUniqueid: 1.1\r\nLinkedid: 1.1\r\n\r\n"
        "Event: Newstate\r\nChannel: PJSIP/201-0000002a\r\nChannelState: 6\r\n"
        "ChannelStateDesc: Up\r\nUniqueid: 1.2\r\nLinkedid: 1.1\r\n\r\n"
        "Event: Newstate\r\nChannel: PJSIP/trunk-1\r\nChannelState: 6\r\n"
        "ChannelStateDesc: Up\r\nUniqueid: 1.1\r\nLinkedid: 1.1\r\n\r\n"
        "Event: Hangup\r\nUniqueid: 1.1\r\nLinkedid: 1.1\r\nCause: 16\r\n\r\n"
        // Ringing, never up: missed.
        "Event: Newchannel\r\nContext: from-external\r\nCallerIDNum: 040\r\n"
        "Exten: 5551234\r\nUniqueid: 2.1\r\nLinkedid: 2.1\r\n\r\n"
        "Event: Newstate\r\nChannel: PJSIP/201-0000002b\r\nChannelState: 5\r\n"
        "ChannelStateDesc: Ringing\r\nUniqueid: 2.2\r\nLinkedid: 2.1\r\n\r\n"
        "Event: Hangup\r\nUniqueid: 2.1\r\nLinkedid: 2.1\r\nCause: 19\r\n\r\n");
    ASSERT_EQ(packets.size(), 7u);
    const AmiCallTracker::Clock::time_point t0{};
    ASSERT_TRUE(tracker.NewCall(packets[0]));
    EXPECT_TRUE(tracker.Answered(packets[1], t0 + 1s));
    EXPECT_TRUE(tracker.Answered(packets[2], t0 + 2s));
    const auto answered = tracker.EndedCall(packets[3], t0 + 43s);
    ASSERT_TRUE(answered);
    EXPECT_TRUE(answered->answered);
    EXPECT_EQ(answered->extension, "201");
    EXPECT_EQ(answered->seconds, 42);

    ASSERT_TRUE(tracker.NewCall(packets[4]));
    EXPECT_FALSE(tracker.Answered(packets[5], t0 + 50s));
    const auto missed = tracker.EndedCall(packets[6], t0 + 60s);
    ASSERT_TRUE(missed);
    EXPECT_FALSE(missed->answered);
    EXPECT_EQ(missed->seconds, 0);
    EXPECT_EQ(missed->cause, 19);
}

TEST(AmiProtocol, AFloodOfCallsThatNeverEndKeepsABoundedTable) {
    AmiCallTracker tracker("");
    for (int i = 0; i < 5000; ++i) {
        AmiPacket packet;
        packet.fields = {{"Event", "Newchannel"}, {"CallerIDNum", "030"},
                         {"Uniqueid", std::to_string(i)}, {"Linkedid", std::to_string(i)}};
        ASSERT_TRUE(tracker.NewCall(packet));
    }
    EXPECT_EQ(tracker.OpenCalls(), AmiCallTracker::MaxOpenCalls);
}
