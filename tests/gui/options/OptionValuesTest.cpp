// How typed texts become stored values: the display time, the font label, the port, and
// texts cut to their fields.
#include "gui/options/COptionValues.h"

#include <gtest/gtest.h>

TEST(DisplaySecondsCheck, AcceptsWholeNumbersFromZeroToTen) {
    for (const char* text : {"0", "10", " 7 ", "+3", "-0"}) {
        int32_t seconds = -1;
        EXPECT_EQ(CheckDisplaySeconds(text, seconds), std::nullopt) << text;
        EXPECT_EQ(seconds, std::stoi(text)) << text;
    }
}

TEST(DisplaySecondsCheck, RefusesNumbersOutsideTheRange) {
    for (const char* text : {"11", "-1", "2147483647", "-2147483648"}) {
        int32_t seconds = 4;
        EXPECT_EQ(CheckDisplaySeconds(text, seconds),
                  std::optional<std::string>("Please enter an integer between 0 and 10."))
            << text;
        EXPECT_EQ(seconds, 4) << "a refused value is not stored";
    }
}

TEST(DisplaySecondsCheck, RefusesTextsThatAreNoWholeNumber) {
    for (const char* text :
         {"abc", "", " ", "5x", "1.5", "+", "- 3", "2147483648", "99999999999"}) {
        int32_t seconds = 4;
        EXPECT_EQ(CheckDisplaySeconds(text, seconds),
                  std::optional<std::string>("Please enter an integer."))
            << '"' << text << '"';
        EXPECT_EQ(seconds, 4);
    }
}

TEST(FontLabel, ShowsWholePointsAFullStopAndTheFace) {
    EXPECT_EQ(FontLabelText(240, "Arial"), "24.Arial");
    EXPECT_EQ(FontLabelText(100, "Courier New"), "10.Courier New");
    EXPECT_EQ(FontLabelText(95, "X"), "9.X"); // whole points are cut, not rounded
}

TEST(PortText, ReadsLeadingDigitsOfTheFirstNineCharacters) {
    EXPECT_EQ(ParsePortText("6100"), 6100);
    EXPECT_EQ(ParsePortText("6100x"), 6100);
    EXPECT_EQ(ParsePortText("abc"), 0);
    EXPECT_EQ(ParsePortText(""), 0);
    EXPECT_EQ(ParsePortText("  +42"), 42);
    EXPECT_EQ(ParsePortText("-5"), -5);
    EXPECT_EQ(ParsePortText("1234567890"), 123456789);
    // Blanks count among the nine: only "610" of the port is left to read.
    EXPECT_EQ(ParsePortText("      6100"), 610);
    EXPECT_EQ(ParsePortText("         6100"), 0);
}

TEST(StoredTexts, AreCutToTheFieldAndAlwaysTerminated) {
    char field[8];
    std::memset(field, 'x', sizeof field);
    StoreText(field, "abcdefghijk");
    EXPECT_EQ(std::string(field), "abcdefg");
    StoreText(field, "ab");
    EXPECT_EQ(FieldText(field), "ab");
    for (size_t i = 2; i < sizeof field; ++i)
        EXPECT_EQ(field[i], '\0') << "no earlier text lingers at " << i;
}

TEST(StoredTexts, FieldWithoutTerminatorIsReadToItsEnd) {
    char field[4] = {'a', 'b', 'c', 'd'};
    EXPECT_EQ(FieldText(field), "abcd");
}
