// The peer's byte-level pieces: hex text, rcapi framing and the messages it builds and reads.
// Expected bytes are written out from the layouts of the remote protocol and of CAPI 2.0.
#include "tools/capi-peer/Hex.h"
#include "tools/capi-peer/PeerMessages.h"
#include "tools/capi-peer/RcapiFrame.h"
#include "tools/capi-peer/RouterFrame.h"

#include <gtest/gtest.h>

namespace {

Bytes H(const char* text) {
    return ParseHex(text).value();
}

TEST(PeerHex, FormatsAndReadsDigitPairs) {
    EXPECT_EQ(FormatHex({0x02, 0x83, 0x0A, 0xFF}), "02 83 0A FF");
    EXPECT_EQ(FormatHex({}), "");
    EXPECT_EQ(ParseHex("02 83 0a ff"), (Bytes{0x02, 0x83, 0x0A, 0xFF}));
    EXPECT_EQ(ParseHex("0283"), (Bytes{0x02, 0x83}));
    EXPECT_EQ(ParseHex("  "), Bytes{});
    EXPECT_FALSE(ParseHex("0"));    // a digit left over
    EXPECT_FALSE(ParseHex("0 2"));  // a blank inside a pair
    EXPECT_FALSE(ParseHex("0g"));   // not a digit
    EXPECT_FALSE(ParseHex("0x12")); // no prefixes
}

TEST(RcapiFrame, LengthPrefixCountsItselfBigEndian) {
    Bytes payload(300, 0xAB);
    Bytes frame = EncodeFrame(payload);
    ASSERT_EQ(frame.size(), 302u);
    EXPECT_EQ(frame[0], 0x01);
    EXPECT_EQ(frame[1], 0x2E);
    EXPECT_EQ(frame[2], 0xAB);
}

TEST(RcapiFrame, ReaderReassemblesSplitAndJoinedFrames) {
    Bytes a = EncodeFrame(H("0E 00 01 00 05 81 00 00 01 00 00 00 00 00"));
    Bytes b = EncodeFrame(H("00 00 00 00 E0 FF 00 00 00 00 00 00"));
    Bytes stream = a;
    stream.insert(stream.end(), b.begin(), b.end());
    FrameReader reader;
    // Byte by byte: nothing comes out before a frame is complete.
    for (size_t i = 0; i + 1 < a.size(); ++i) {
        reader.Append(&stream[i], 1);
        EXPECT_FALSE(reader.NextPayload()) << "after byte " << i;
    }
    reader.Append(&stream[a.size() - 1], stream.size() - a.size() + 1);
    EXPECT_EQ(reader.NextPayload(), Bytes(a.begin() + 2, a.end()));
    EXPECT_EQ(reader.NextPayload(), Bytes(b.begin() + 2, b.end()));
    EXPECT_FALSE(reader.NextPayload());
    EXPECT_FALSE(reader.Broken());
}

TEST(RcapiFrame, ImpossibleLengthsBreakTheStreamForGood) {
    for (Bytes prefix : {Bytes{0x00, 0x00}, Bytes{0x00, 0x09}, Bytes{0x10, 0x03}}) {
        FrameReader reader;
        reader.Append(prefix.data(), prefix.size());
        EXPECT_FALSE(reader.NextPayload());
        EXPECT_TRUE(reader.Broken()) << FormatHex(prefix);
        Bytes good = EncodeFrame(Bytes(12, 0));
        reader.Append(good.data(), good.size());
        EXPECT_FALSE(reader.NextPayload());
    }
    // The largest CAPI message still passes.
    FrameReader reader;
    Bytes big = EncodeFrame(Bytes(4096, 1));
    reader.Append(big.data(), big.size());
    EXPECT_EQ(reader.NextPayload()->size(), 4096u);
}

TEST(RouterFrame, MessagesAreMarkedAndCarryALittleEndianLength) {
    EXPECT_EQ(FormatHex(EncodeRouterFrame(H("0A 00 01 00 05 81 01 00 01 00"))),
              "80 0A 00 0A 00 01 00 05 81 01 00 01 00");
    // What the library sends for a profile query and a registration (2, 7, 2048), split
    // anywhere and joined.
    const Bytes stream = H("80 12 00 12 00 00 00 20 80 01 00 02 00 05 02 00 02 01 00 00 00"
                           "80 14 00 14 00 00 00 20 80 01 00 02 00 09 00 00 06 02 00 07 00 00 08");
    RouterFrameReader reader;
    reader.Append(stream.data(), 5);
    EXPECT_FALSE(reader.NextMessage());
    reader.Append(stream.data() + 5, stream.size() - 5);
    const auto profile = reader.NextMessage();
    const auto registration = reader.NextMessage();
    ASSERT_TRUE(profile && registration);
    EXPECT_FALSE(reader.NextMessage());
    const auto profileRequest = ParseRouterRequest(*profile);
    ASSERT_TRUE(profileRequest);
    EXPECT_EQ(profileRequest->kind, RouterRequest::Kind::Profile);
    EXPECT_EQ(profileRequest->controller, 1u);
    ASSERT_TRUE(ParseRouterRequest(*registration));
    EXPECT_EQ(ParseRouterRequest(*registration)->kind, RouterRequest::Kind::Register);
    // A LISTEN_REQ is a CAPI message, no request of the library's.
    EXPECT_FALSE(ParseRouterRequest(H("1A 00 01 00 05 80 01 00 01 00 00 00 FF 03 FF 1F 00 00 00 00 00 00 00 00 00 00")));

    // A frame without its mark, or announcing less than a header, breaks the stream for good.
    for (const char* bad : {"81 0A 00 0A 00 01 00 05 81 01 00 01 00", "80 04 00 01 02 03 04"}) {
        RouterFrameReader broken;
        const Bytes bytes = H(bad);
        broken.Append(bytes.data(), bytes.size());
        EXPECT_FALSE(broken.NextMessage()) << bad;
        EXPECT_TRUE(broken.Broken()) << bad;
        const Bytes good = EncodeRouterFrame(H("0A 00 01 00 05 81 01 00 01 00"));
        broken.Append(good.data(), good.size());
        EXPECT_FALSE(broken.NextMessage()) << bad;
    }
}

TEST(RouterFrame, AnswersHaveATwoOctetHeaderAndTheirFieldsAtFixedOffsets) {
    const Bytes registered = RouterRegisterAnswer(0x0102, 0x1001);
    ASSERT_EQ(registered.size(), 2u + 18u);
    EXPECT_EQ(registered[0], 0x80);
    EXPECT_EQ(registered[1], 18);
    EXPECT_EQ(registered[2 + 2], 0x02); // the application id, little-endian
    EXPECT_EQ(registered[2 + 3], 0x01);
    EXPECT_EQ(registered[2 + 16], 0x01); // the error
    EXPECT_EQ(registered[2 + 17], 0x10);
    Bytes profile(64, 0);
    profile[0] = 2;
    profile[63] = 0xEE;
    const Bytes answer = RouterProfileAnswer(profile);
    ASSERT_EQ(answer.size(), 2u + 18u + 64u);
    EXPECT_EQ(answer[1], 82);
    EXPECT_EQ(answer[2 + 18], 2);
    EXPECT_EQ(answer.back(), 0xEE);
}

TEST(ControlReply, AnswersEachQueryInItsLayout) {
    PeerIdentity identity{3, 0};
    // Register: code F3 FF, info 0 at payload byte 8.
    Bytes reg = H("00 00 00 00 F2 FF 00 00 00 00 00 00 00 08 02 00 07 00 00 08 02");
    EXPECT_EQ(BuildControlReply(reg, identity), H("00 00 00 00 F3 FF 00 00 00 00"));
    EXPECT_EQ(BuildControlReply(reg, PeerIdentity{3, 0x1001}), H("00 00 00 00 F3 FF 00 00 01 10"));

    // Profile of controller 0: info, then the controller count in the first profile word.
    auto profile = BuildControlReply(H("00 00 00 00 E0 FF 00 00 00 00 00 00"), identity);
    ASSERT_TRUE(profile);
    ASSERT_EQ(profile->size(), 8u + 2 + 64);
    EXPECT_EQ((*profile)[4], 0xE1);
    EXPECT_EQ((*profile)[5], 0xFF);
    EXPECT_EQ((*profile)[8], 0);
    EXPECT_EQ((*profile)[9], 0);
    EXPECT_EQ((*profile)[10], 3);
    EXPECT_EQ((*profile)[11], 0);
    // Controller 4 of 3 does not exist.
    profile = BuildControlReply(H("00 00 00 00 E0 FF 00 00 04 00 00 00"), identity);
    ASSERT_TRUE(profile);
    EXPECT_EQ((*profile)[8], 0x02);
    EXPECT_EQ((*profile)[9], 0x20);

    auto maker = BuildControlReply(H("00 00 00 00 FA FF 00 00 00 00 00 00"), identity);
    ASSERT_TRUE(maker);
    EXPECT_EQ(maker->size(), 8u + 1 + 64);
    EXPECT_EQ(maker->back(), 0); // zero-padded
    auto version = BuildControlReply(H("00 00 00 00 FC FF 00 00 00 00 00 00"), identity);
    ASSERT_TRUE(version);
    EXPECT_EQ(version->size(), 8u + 1 + 16);
    EXPECT_EQ((*version)[9], 2); // CAPI major 2
    auto serial = BuildControlReply(H("00 00 00 00 FE FF 00 00 00 00 00 00"), identity);
    ASSERT_TRUE(serial);
    EXPECT_EQ(serial->size(), 8u + 1 + 8);
    EXPECT_EQ(serial->back(), 0); // at most seven characters and a terminator

    EXPECT_FALSE(BuildControlReply(H("00 00 00 00 EE FF 00 00 00 00 00 00"), identity));
    // A CAPI message is not a control request.
    EXPECT_FALSE(ParseControlRequest(H("0C 00 01 00 04 83 00 00 01 01 00 00")));
}

TEST(PeerMessages, ListenRequestAndConfirmation) {
    Bytes request = H("1A 00 07 00 05 80 00 00 02 00 00 00 00 00 00 00 FF 03 FF 1F "
                      "00 00 00 00 00 00");
    auto listen = ParseListenRequest(request);
    ASSERT_TRUE(listen);
    EXPECT_EQ(listen->applId, 7);
    EXPECT_EQ(listen->controller, 2u);
    EXPECT_EQ(listen->cipMask, 0x1FFF03FFu);
    EXPECT_EQ(BuildListenConf(*listen, 0), H("0E 00 07 00 05 81 00 00 02 00 00 00 00 00"));
    EXPECT_FALSE(ParseListenRequest(H("0C 00 01 00 04 83 00 00 01 01 00 00")));
    EXPECT_FALSE(ParseListenRequest(H("0C 00 01 00 05 80 00 00 01 00 00 00")));
}

TEST(PeerMessages, ConnectIndicationCarriesBothNumbers) {
    IncomingCall call;
    call.plci = 0x00000201;
    call.cip = 1;
    call.called = "5551";
    call.calling = std::string("0301234");
    call.callingType = 0x11;
    call.presentation = 0xA0;
    // Header, PLCI, CIP, called (05 81 '5551'), calling (09 11 A0 '0301234'), six empty structs.
    EXPECT_EQ(BuildConnectInd(3, 0x1234, call),
              H("24 00 03 00 02 82 34 12 01 02 00 00 01 00 "
                "05 81 35 35 35 31 09 11 A0 30 33 30 31 32 33 34 00 00 00 00 00 00"));

    call.called.clear();
    call.calling.reset();
    EXPECT_EQ(BuildConnectInd(0, 1, call),
              H("16 00 00 00 02 82 01 00 01 02 00 00 01 00 00 00 00 00 00 00 00 00"));

    call.calling = std::string(); // type and presentation octets only
    call.presentation = 0xC0;
    Bytes noDigits = BuildConnectInd(0, 1, call);
    EXPECT_EQ(Bytes(noDigits.begin() + 14, noDigits.begin() + 18), H("00 02 11 C0"));
}

TEST(PeerMessages, LongNumbersUseTheEscapedStructLength) {
    IncomingCall call;
    call.called = std::string(300, '7');
    Bytes message = BuildConnectInd(1, 1, call);
    // 0xFF, then a u16 of 301 (type octet and digits), then the type octet.
    EXPECT_EQ(message[14], 0xFF);
    EXPECT_EQ(message[15], 301 & 0xFF);
    EXPECT_EQ(message[16], 301 >> 8);
    EXPECT_EQ(message[17], 0x81);
    EXPECT_EQ(message.size(), message[0] | message[1] << 8);

    Bytes exact;
    AppendStruct(exact, Bytes(254, 1));
    EXPECT_EQ(exact[0], 254);
    EXPECT_EQ(exact.size(), 255u);
}

TEST(PeerMessages, DisconnectIndication) {
    EXPECT_EQ(BuildDisconnectInd(2, 9, 0x00000101, 0x3490),
              H("0E 00 02 00 04 82 09 00 01 01 00 00 90 34"));
}

} // namespace
