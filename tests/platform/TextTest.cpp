// The small text helpers, at the edges where the copies they replace disagreed.
#include "platform/Text.h"

#include <gtest/gtest.h>

TEST(TextTest, TrimTakesTheGivenBlanksOrAllWhiteSpace) {
    // The CSV reader trimmed every white-space byte, tavo.conf only blanks and tabs.
    EXPECT_EQ(Trim(" \t\r\nname\r\n\v\f"), "name");
    EXPECT_EQ(Trim("\r key \t", " \t"), "\r key");
    EXPECT_EQ(Trim(" \t ", " \t"), "");
    EXPECT_EQ(Trim(""), "");
}

TEST(TextTest, CaseIsIgnoredOnlyForAsciiLetters) {
    EXPECT_TRUE(EqualIgnoringCase("Admin", "aDMIN"));
    // Windows-1252 "Ä" and "ä" are other bytes, not other cases of one letter here.
    EXPECT_FALSE(EqualIgnoringCase("\xC4", "\xE4"));
    EXPECT_FALSE(EqualIgnoringCase("@", "`")); // 0x40 and 0x60 differ by the case bit
    EXPECT_FALSE(EqualIgnoringCase("abc", "abcd"));
}

TEST(TextTest, FieldTextOfAFieldWithoutTerminatorIsTheWholeField) {
    const char full[4] = {'a', 'b', 'c', 'd'};
    const char shortOne[4] = {'a', '\0', 'c', 'd'};
    EXPECT_EQ(FieldText(full), "abcd");
    EXPECT_EQ(FieldText(shortOne), "a");
}

TEST(TextTest, DirectoryOfANameInTheRootIsTheRoot) {
    // One copy made "" of it, so that the root could not be opened to be flushed.
    EXPECT_EQ(DirectoryOf("/tavo.conf"), "/");
    EXPECT_EQ(DirectoryOf("tavo.conf"), ".");
    EXPECT_EQ(DirectoryOf("/home/u/.config/tavo/tavo.conf"), "/home/u/.config/tavo");
}
