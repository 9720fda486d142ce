// Command lines typed at the peer and its own command line.
#include "tools/capi-peer/PeerCommand.h"
#include "tools/capi-peer/PeerOptions.h"

#include <gtest/gtest.h>

namespace {

template <typename T> T Parse(const char* line) {
    PeerCommandResult r = ParsePeerCommand(line);
    EXPECT_EQ(r.error, "") << line;
    EXPECT_TRUE(std::holds_alternative<T>(r.command)) << line;
    return std::holds_alternative<T>(r.command) ? std::get<T>(r.command) : T{};
}

TEST(PeerCommand, RingDefaultsAndOptions) {
    auto ring = Parse<RingCommand>("ring 5551 0301234");
    EXPECT_EQ(ring.call.called, "5551");
    EXPECT_EQ(ring.call.calling, "0301234");
    EXPECT_EQ(ring.call.cip, 16);
    EXPECT_EQ(ring.call.callingType, 0x21);
    EXPECT_EQ(ring.call.presentation, 0x80);
    EXPECT_FALSE(ring.plciGiven);
    EXPECT_EQ(ring.controller, 1u);

    ring = Parse<RingCommand>("  ring 5551 - cip=1 type=0x11 pres=0xA0 plci=0x00000302 ctrl=2\r");
    EXPECT_FALSE(ring.call.calling);
    EXPECT_EQ(ring.call.cip, 1);
    EXPECT_EQ(ring.call.callingType, 0x11);
    EXPECT_EQ(ring.call.presentation, 0xA0);
    EXPECT_TRUE(ring.plciGiven);
    EXPECT_EQ(ring.call.plci, 0x302u);
    EXPECT_EQ(ring.controller, 2u);

    ring = Parse<RingCommand>("ring - ~");
    EXPECT_EQ(ring.call.called, "");
    EXPECT_EQ(ring.call.calling, std::string());
}

TEST(PeerCommand, OtherCommands) {
    auto hangup = Parse<HangupCommand>("hangup 0x0201");
    EXPECT_EQ(hangup.plci, 0x201u);
    EXPECT_EQ(hangup.reason, 0x3490);
    EXPECT_EQ(Parse<HangupCommand>("hangup 513 reason=0x3491").reason, 0x3491);
    EXPECT_EQ(Parse<RawCommand>("raw 0C 00 01 00 04 82 00 00 01 01 00 00").message.size(), 12u);
    EXPECT_EQ(FormatHex(Parse<FrameCommand>("frame 00 00 0C").bytes), "00 00 0C");
    Parse<DropCommand>("drop");
    Parse<QuitCommand>("quit");
    Parse<EmptyCommand>("");
    Parse<EmptyCommand>("# a comment");
}

TEST(PeerCommand, BadLinesAreErrors) {
    for (const char* bad : {"ring",
                            "ring 5551",
                            "ring 55a1 123",
                            "ring 5551 12-3",
                            "ring 5551 123 cip=70000",
                            "ring 5551 123 type=0x100",
                            "ring 5551 123 pres=",
                            "ring 5551 123 ctrl=0",
                            "ring 5551 123 ctrl=128",
                            "ring 5551 123 colour=red",
                            "hangup",
                            "hangup x",
                            "hangup 1 2",
                            "hangup 1 reason=0x10000",
                            "raw",
                            "raw 0",
                            "raw zz",
                            "frame",
                            "frame 0",
                            "drop now",
                            "quit 1",
                            "dial 123"}) {
        PeerCommandResult r = ParsePeerCommand(bad);
        EXPECT_NE(r.error, "") << bad;
    }
    std::string tooLong = "ring 1 " + std::string(MaxNumberDigits + 1, '1');
    EXPECT_NE(ParsePeerCommand(tooLong).error, "");
    std::string rawTooLong = "raw " + std::string(2 * 4097, 'A');
    EXPECT_NE(ParsePeerCommand(rawTooLong).error, "");
}

TEST(PeerOptions, ListenControllersAndSwitches) {
    auto r = ParsePeerOptions({"--listen", "127.0.0.1:0", "--controllers=2", "--silent"});
    ASSERT_EQ(r.error, "");
    EXPECT_EQ(r.options.host, "127.0.0.1");
    EXPECT_EQ(r.options.port, 0u);
    EXPECT_EQ(r.options.controllers, 2u);
    EXPECT_TRUE(r.options.silent);
    EXPECT_FALSE(r.options.refuseRegister);

    r = ParsePeerOptions({"--listen=[::1]:2662", "--refuse-register"});
    ASSERT_EQ(r.error, "");
    EXPECT_EQ(r.options.host, "::1");
    EXPECT_EQ(r.options.port, 2662u);
    EXPECT_TRUE(r.options.refuseRegister);
    EXPECT_FALSE(r.options.hangRegister);
    EXPECT_TRUE(ParsePeerOptions({"--listen=127.0.0.1:0", "--hang-register"}).options.hangRegister);

    EXPECT_TRUE(ParsePeerOptions({"--help"}).options.help);
    for (std::vector<std::string> bad :
         std::vector<std::vector<std::string>>{{},
                                               {"--listen"},
                                               {"--listen", "127.0.0.1"},
                                               {"--listen", ":80"},
                                               {"--listen", "h:65536"},
                                               {"--listen", "h:1", "--controllers", "128"},
                                               {"--listen", "h:1", "--controllers"},
                                               {"--listen", "h:1", "--bogus"}})
        EXPECT_NE(ParsePeerOptions(bad).error, "") << (bad.empty() ? "" : bad.back());
}

} // namespace
