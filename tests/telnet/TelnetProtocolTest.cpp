// The telnet protocol in what clients send: which bytes are typed, and what the server answers.

#include "telnet/TelnetProtocol.h"

#include <gtest/gtest.h>

using namespace std::string_literals;

namespace {
struct Fed {
    std::string typed;
    std::string answers;
};

Fed Feed(TelnetProtocol& protocol, const std::string& bytes) {
    Fed fed;
    for (char byte : bytes) {
        int typed = protocol.Take(static_cast<unsigned char>(byte), fed.answers);
        if (typed >= 0)
            fed.typed += static_cast<char>(typed);
    }
    return fed;
}
} // namespace

TEST(TelnetProtocol, OfferedOptionsAreSettledWithoutEndlessAcknowledgements) {
    TelnetProtocol protocol;
    EXPECT_EQ(protocol.Offer(), "\xff\xfb\x01\xff\xfb\x03");
    // The client agrees: nothing to answer, however often it repeats itself.
    EXPECT_EQ(Feed(protocol, "\xff\xfd\x01\xff\xfd\x03\xff\xfd\x01").answers, "");
    // Switched off: confirmed once; switched on again: confirmed once.
    EXPECT_EQ(Feed(protocol, "\xff\xfe\x01\xff\xfe\x01").answers, "\xff\xfc\x01");
    EXPECT_EQ(Feed(protocol, "\xff\xfd\x01\xff\xfd\x01").answers, "\xff\xfb\x01");

    // A client that refuses the offer gets no answer to its refusal.
    TelnetProtocol refused;
    refused.Offer();
    EXPECT_EQ(Feed(refused, "\xff\xfe\x01\xff\xfe\x03").answers, "");
}

TEST(TelnetProtocol, OptionsTheServerLacksAreRefused) {
    TelnetProtocol protocol;
    // Terminal type asked of the server, window size and line mode offered by the client.
    EXPECT_EQ(Feed(protocol, "\xff\xfd\x18\xff\xfb\x1f\xff\xfb\x22").answers,
              "\xff\xfc\x18\xff\xfe\x1f\xff\xfe\x22");
    // Refusals of what is off anyway need no answer.
    EXPECT_EQ(Feed(protocol, "\xff\xfc\x1f\xff\xfe\x18").answers, "");
}

TEST(TelnetProtocol, OnlyTypedBytesComeThrough) {
    TelnetProtocol protocol;
    Fed fed = Feed(protocol, "a\xff\xff"
                             "b\xff\xfa\x18\x00xterm\xff\xff\xff\xf0"
                             "c\xff\xf1\xff\xf6\xff\xf4"
                             "d\r\0e\r\nf\0"s);
    EXPECT_EQ(fed.typed, "a\xff"
                         "bcd\r\ne\r\nf\0"s);
    EXPECT_EQ(fed.answers, "");
    // A command split over two receives is the same command.
    EXPECT_EQ(Feed(protocol, "\xff").typed, "");
    EXPECT_EQ(Feed(protocol, "\xfd").typed, "");
    EXPECT_EQ(Feed(protocol, "\x18g").typed, "g");
}

TEST(TelnetProtocol, Byte255IsDoubledOnlyForClientsThatSpeakTelnet) {
    TelnetProtocol protocol;
    std::string out;
    protocol.Escape("M\xfcller \xff", out);
    EXPECT_EQ(out, "M\xfcller \xff");
    Feed(protocol, "\xff\xf1");
    out.clear();
    protocol.Escape("M\xfcller \xff", out);
    EXPECT_EQ(out, "M\xfcller \xff\xff");
}
