// Listing texts and day ranges. The expected texts are written out from the dialogue's
// description, in a time zone with a clock change so that the day arithmetic is exercised.

#include "telnet/TelnetListing.h"
#include "data/CipServiceNames.h"

#include <cstdlib>
#include <ctime>
#include <gtest/gtest.h>

namespace {
std::time_t Utc(int year, int month, int day, int hour, int minute = 0, int second = 0) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    return timegm(&t);
}

// Central European time; summer time began on Sunday 29 March 2026 at 02:00.
class ListingTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
        tzset();
        msnList.append(Entry("555", "Office"));
        phoneBook.append(Entry("0301234", "Alice"));
    }
    static CallRecord Entry(const std::string& number, const std::string& name) {
        CallRecord entry;
        entry.key = number;
        entry.value = name;
        return entry;
    }
    static CallRecord Call(std::time_t when, const std::string& msn, const std::string& caller,
                           int cip) {
        CallRecord call;
        call.callTime = static_cast<int32_t>(when);
        call.hasTime = true;
        call.key = msn;
        call.value = caller;
        call.cipValue = cip;
        call.repeatCount = 1;
        return call;
    }
    std::string Line(const CallRecord& call) { return ListingLine(call, msnList, phoneBook); }

    Directory msnList;
    Directory phoneBook;
    const std::time_t now = Utc(2026, 3, 30, 8); // Monday 10:00 summer time
};

const std::string rule(73, '-');
} // namespace

TEST(CipServiceNames, NamesOnlyForOneToThirtyOne) {
    EXPECT_STREQ(CipServiceName(1), "speech");
    EXPECT_STREQ(CipServiceName(4), "3.1 kHz audio");
    EXPECT_STREQ(CipServiceName(9), "digital");
    EXPECT_STREQ(CipServiceName(15), "unknown");
    EXPECT_STREQ(CipServiceName(16), "telephony");
    EXPECT_STREQ(CipServiceName(19), "Teletex service (basic and mixed), fax group 4 class 2");
    EXPECT_STREQ(CipServiceName(24), "unknown");
    EXPECT_STREQ(CipServiceName(28), "Video Telephony F.721, second connection");
    EXPECT_STREQ(CipServiceName(31), "reserved");
    EXPECT_EQ(CipServiceName(0), nullptr);
    EXPECT_EQ(CipServiceName(32), nullptr);
    EXPECT_EQ(CipServiceName(-1), nullptr);
    EXPECT_EQ(CipServiceName(65536 + 1), nullptr);
}

TEST_F(ListingTest, DaysBeginAtLocalMidnightAcrossTheClockChange) {
    ListingDay today = ListingDayRange(1, now);
    EXPECT_EQ(today.start, Utc(2026, 3, 29, 22)); // 00:00 summer time
    EXPECT_EQ(today.end, now);
    // Sunday had only 23 hours: yesterday still begins at its own midnight (winter time).
    ListingDay yesterday = ListingDayRange(2, now);
    EXPECT_EQ(yesterday.start, Utc(2026, 3, 28, 23));
    EXPECT_EQ(yesterday.end, today.start);
    ListingDay before = ListingDayRange(3, now);
    EXPECT_EQ(before.start, Utc(2026, 3, 27, 23));
    EXPECT_EQ(before.end, yesterday.start);
    EXPECT_EQ(StartOfLocalDay(today.start), today.start);
}

TEST_F(ListingTest, HeadingShowsTheDayStartAsCtimeDoes) {
    EXPECT_EQ(CtimeText(Utc(2026, 3, 29, 22)), "Mon Mar 30 00:00:00 2026\n");
    EXPECT_EQ(CtimeText(Utc(2026, 2, 28, 23, 4, 5)), "Sun Mar  1 00:04:05 2026\n");
}

TEST_F(ListingTest, ToTextIsTheMsnNameOrNumberWithTheService) {
    EXPECT_EQ(Line(Call(Utc(2026, 3, 30, 7, 15), "555", "0301234", 1)),
              "2026-03-30 09:15:00  Office/speech\tAlice  0301234\n\r");
    EXPECT_EQ(Line(Call(now, "777", "0301234", 16)),
              "2026-03-30 10:00:00  777/telephony\tAlice  0301234\n\r");
    EXPECT_EQ(Line(Call(now, "777", "0301234", 0)), "2026-03-30 10:00:00  777\tAlice  0301234\n\r");
    EXPECT_EQ(Line(Call(now, "777", "0301234", 32)),
              "2026-03-30 10:00:00  777\tAlice  0301234\n\r");
    EXPECT_EQ(Line(Call(now, "777", "0301234", -5)),
              "2026-03-30 10:00:00  777\tAlice  0301234\n\r");
    // Lookups ignore the case of letters, as the directories do.
    msnList.append(Entry("abc", "Lab"));
    EXPECT_EQ(Line(Call(now, "ABC", "0", 0)), "2026-03-30 10:00:00  Lab\t<< unknown >>\n\r");
}

TEST_F(ListingTest, WhoTextForWithheldUnknownAndKnownCallers) {
    EXPECT_EQ(Line(Call(now, "555", "0", 0)), "2026-03-30 10:00:00  Office\t<< unknown >>\n\r");
    EXPECT_EQ(Line(Call(now, "555", "*", 0)),
              "2026-03-30 10:00:00  Office\t<< ISDN unknown >>\n\r");
    EXPECT_EQ(Line(Call(now, "555", "0891234", 0)), "2026-03-30 10:00:00  Office\t0891234\n\r");
    // Only the exact marks are special.
    EXPECT_EQ(Line(Call(now, "555", "00", 0)), "2026-03-30 10:00:00  Office\t00\n\r");
    CallRecord bare;
    EXPECT_EQ(Line(bare), "  \t\n\r");
}

TEST_F(ListingTest, ControlBytesInNamesAndNumbersAreShownAsQuestionMarks) {
    // A forged listing line, a terminal's title set by OSC, a clear screen, DEL and a tab.
    phoneBook.append(Entry("0302222", "Eve\r\n2026-01-01 00:00:00  Bank\tcall back"));
    msnList.append(Entry("666", "\x1b]0;owned\x07Home\x7f"));
    EXPECT_EQ(Line(Call(now, "666", "0302222", 1)),
              "2026-03-30 10:00:00  ?]0;owned?Home?/speech\t"
              "Eve??2026-01-01 00:00:00  Bank?call back  0302222\n\r");
    EXPECT_EQ(Line(Call(now, "77\x1b[2J7", "03\n01\x01", 0)),
              "2026-03-30 10:00:00  77?[2J7\t03?01?\n\r");
    // Windows-1252 letters and signs in 0x80-0x9F and above are text, and stay.
    phoneBook.append(Entry("0303333", "Gr\xfc\xdf" "e \x80\x84\x9c"));
    EXPECT_EQ(Line(Call(now, "555", "0303333", 0)),
              "2026-03-30 10:00:00  Office\tGr\xfc\xdf" "e \x80\x84\x9c  0303333\n\r");
}

TEST_F(ListingTest, LongTextsAreCutToTheirWidths) {
    msnList.append(Entry("900", std::string(200, 'm')));
    phoneBook.append(Entry("0900", std::string(200, 'w')));
    std::string line = Line(Call(Utc(2026, 3, 30, 7, 15), "900", "0900", 1));
    std::string to(127, 'm'); // the name fills the field; no room is left for the service
    std::string who(127, 'w');
    std::string whole = "2026-03-30 09:15:00  " + to + "\t" + who;
    ASSERT_GT(whole.size(), 253u);
    EXPECT_EQ(line, whole.substr(0, 253) + "\n\r");
    EXPECT_EQ(line.size(), 255u);

    // A caller with a long name: the name, two blanks and the number share 127 characters.
    phoneBook.append(Entry("0901", std::string(130, 'n')));
    EXPECT_EQ(Line(Call(now, "777", "0901", 0)),
              "2026-03-30 10:00:00  777\t" + std::string(127, 'n') + "\n\r");
}

TEST_F(ListingTest, ListingHoldsTheDaysCallsWithBothBoundsIncluded) {
    const ListingDay today = ListingDayRange(1, now);
    CallList calls;
    calls.append(Call(today.start - 1, "555", "0", 1));
    calls.append(Call(today.start, "555", "0", 1));
    calls.append(Call(now, "555", "0301234", 0));
    calls.append(Call(now + 1, "555", "0", 0));

    const std::string heading =
        "\n\r\n\rMon Mar 30 00:00:00 2026\n\n\r  date\t\t\tto\t\twho\n\r" + rule + "\n\r";
    std::vector<std::string> expected = {
        heading, "2026-03-30 00:00:00  Office/speech\t<< unknown >>\n\r",
        "2026-03-30 10:00:00  Office\tAlice  0301234\n\r", rule + "\n\r"};
    EXPECT_EQ(BuildCallListing(today, calls, msnList, phoneBook), expected);

    // The call at midnight belongs to yesterday as well.
    auto yesterday = BuildCallListing(ListingDayRange(2, now), calls, msnList, phoneBook);
    ASSERT_EQ(yesterday.size(), 4u);
    EXPECT_EQ(yesterday[0].substr(4, 25), "Sun Mar 29 00:00:00 2026\n");
    EXPECT_EQ(yesterday[1], "2026-03-29 23:59:59  Office/speech\t<< unknown >>\n\r");
    EXPECT_EQ(yesterday[2], "2026-03-30 00:00:00  Office/speech\t<< unknown >>\n\r");

    auto empty = BuildCallListing(ListingDayRange(3, now), calls, msnList, phoneBook);
    std::vector<std::string> emptyDay = {
        "\n\r\n\rSat Mar 28 00:00:00 2026\n\n\r  date\t\t\tto\t\twho\n\r" + rule + "\n\r",
        rule + "\n\r"};
    EXPECT_EQ(empty, emptyDay);
}
