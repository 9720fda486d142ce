#include "platform/Cp1252.h"

#include <gtest/gtest.h>

namespace {

TEST(Cp1252, EveryByteSurvivesTheRoundTrip) {
    std::string all;
    for (int byte = 0; byte < 256; ++byte)
        all += char(byte);
    const Cp1252Encoding back = Utf8ToCp1252(Cp1252ToUtf8(all));
    EXPECT_TRUE(back.refused.empty());
    EXPECT_EQ(back.bytes, all);
}

TEST(Cp1252, TheCodePagesOwnCharacters) {
    // The euro sign, the low quote and the small s with caron sit where Latin-1 has controls.
    EXPECT_EQ(Cp1252ToUtf8("\x80\x84\x9a"), "\u20ac\u201e\u0161");
    EXPECT_EQ(Cp1252ToUtf8("M\xfcller \xc9"), "M\u00fcller \u00c9");
    EXPECT_EQ(Utf8ToCp1252("M\u00fcller \u20ac \u0178").bytes, "M\xfcller \x80 \x9f");
    EXPECT_EQ(Cp1252Byte(U'\u2122'), 0x99);
    // The five unused bytes keep their control characters, and only those.
    EXPECT_EQ(Cp1252Character(0x81), U'\u0081');
    EXPECT_EQ(Cp1252Byte(U'\u0081'), 0x81);
    EXPECT_EQ(Cp1252Byte(U'\u0080'), std::nullopt);
}

TEST(Cp1252, CharactersItCannotHoldAreRefusedNotReplaced) {
    const Cp1252Encoding result = Utf8ToCp1252("\u0141ukasz M\u00fcller \u20ac \u0142");
    EXPECT_EQ(result.refused, U"\u0141\u0142");
    EXPECT_TRUE(result.bytes.empty());
    EXPECT_EQ(Utf8ToCp1252("\U0001F600").refused, U"\U0001F600");
    // Malformed UTF-8 (a lone continuation byte, a cut sequence, an overlong form) is refused.
    EXPECT_EQ(Utf8ToCp1252("a\x80").refused, U"\uFFFD");
    EXPECT_EQ(Utf8ToCp1252("\xc3").refused, U"\uFFFD");
    EXPECT_EQ(Utf8ToCp1252("\xc0\xaf").refused, U"\uFFFD");
}

} // namespace
