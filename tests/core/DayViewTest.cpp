#include "core/DayView.h"

#include <gtest/gtest.h>

// Local times in Europe/Berlin as seconds since 1970 (UTC), worked out by hand from the zone.
constexpr int32_t Feb06Midnight = 949791600;         // Sun 2000-02-06 00:00 CET
constexpr int32_t Feb07Midnight = 949878000;         // Mon 2000-02-07 00:00 CET
constexpr int32_t Feb07Noon = 949921200;             // Mon 2000-02-07 12:00 CET
constexpr int32_t Feb08Midnight = 949964400;         // Tue 2000-02-08 00:00 CET
constexpr int32_t Mar27HalfPastMidnight = 954109800; // Mon 2000-03-27 00:30 CEST
constexpr int32_t Mar26Midnight = 954025200;         // Sun 2000-03-26 00:00 CET (a 23-hour day)
constexpr int32_t Oct29HalfPastEleven = 972858600;   // Sun 2000-10-29 23:30 CET (a 25-hour day)
constexpr int32_t Oct28Midnight = 972684000;         // Sat 2000-10-28 00:00 CEST

TEST(DayTabs, EightCaptionsBackFromAMonday) {
    std::vector<DayTab> tabs = BuildDayTabs(Feb07Noon);
    ASSERT_EQ(tabs.size(), 8u);
    const char* expected[] = {"Mon 07.02.2000", "Sun 06.02.2000", "Sat 05.02.2000",
                              "Fri 04.02.2000", "Thu 03.02.2000", "Wed 02.02.2000",
                              "Tue 01.02.2000", "Mon 31.01.2000"};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(tabs[i].caption, expected[i]) << i;
        EXPECT_EQ(tabs[i].dayStart, Feb07Midnight - i * 86400) << i;
    }
}

TEST(DayTabs, MidnightIsTheStartOfTheNewDate) {
    EXPECT_EQ(LocalDayStart(Feb08Midnight), Feb08Midnight);
    EXPECT_EQ(LocalDayStart(Feb08Midnight - 1), Feb07Midnight);
    EXPECT_EQ(DayTabCaption(Feb08Midnight), "Tue 08.02.2000");
    EXPECT_EQ(DayTabCaption(Feb08Midnight - 1), "Mon 07.02.2000");
}

TEST(DayTabs, DaylightSavingChangesNeitherSkipNorRepeatADate) {
    // Half an hour after the midnight that follows the 23-hour day.
    std::vector<DayTab> spring = BuildDayTabs(Mar27HalfPastMidnight);
    EXPECT_EQ(spring[0].caption, "Mon 27.03.2000");
    EXPECT_EQ(spring[1].caption, "Sun 26.03.2000");
    EXPECT_EQ(spring[1].dayStart, Mar26Midnight);
    EXPECT_EQ(spring[2].caption, "Sat 25.03.2000");
    // Late on the 25-hour day.
    std::vector<DayTab> autumn = BuildDayTabs(Oct29HalfPastEleven);
    EXPECT_EQ(autumn[0].caption, "Sun 29.10.2000");
    EXPECT_EQ(autumn[1].caption, "Sat 28.10.2000");
    EXPECT_EQ(autumn[1].dayStart, Oct28Midnight);
    EXPECT_EQ(autumn[0].dayStart - autumn[1].dayStart, 86400);
}

TEST(DayRange, BothMidnightsBelongToTheDay) {
    EXPECT_TRUE(InDayRange(Feb07Midnight, Feb07Midnight));
    EXPECT_TRUE(InDayRange(Feb08Midnight, Feb07Midnight));
    EXPECT_FALSE(InDayRange(Feb08Midnight + 1, Feb07Midnight));
    EXPECT_FALSE(InDayRange(Feb07Midnight - 1, Feb07Midnight));
    // Negative times compare as signed numbers.
    EXPECT_FALSE(InDayRange(-5, Feb07Midnight));
    EXPECT_TRUE(InDayRange(-5, -86400));
}

namespace {

struct Lists {
    Directory phoneBook;
    Directory msnList;
    CallList calls;
    AreaCodeTable areaCodes;

    Lists() {
        msnList.append(Entry("5551", "Office"));
        phoneBook.append(Entry("0301234567", "Anna"));
        phoneBook.append(Entry("0999888", "Far Away"));
        areaCodes.AddAreaCodes("030\tBerlin\n0201\tEssen\n");
    }
    static DirectoryEntry Entry(const std::string& key, const std::string& name) {
        DirectoryEntry entry;
        entry.key = key;
        entry.value = name;
        entry.speakText = "";
        return entry;
    }
    CallRecord* Call(int32_t time, const std::string& msn, const std::string& caller, int cip) {
        CallRecord record;
        record.callTime = time;
        record.hasTime = true;
        record.key = msn;
        record.value = caller;
        record.cipValue = cip;
        record.repeatCount = 1;
        return calls.append(record);
    }
    ResolvedCall Resolved(const CallRecord& record) {
        return ResolveCall(record, msnList, phoneBook, areaCodes);
    }
    std::string Who(const std::string& caller) {
        CallRecord record;
        record.value = caller;
        return DayWhoText(ResolveCall(record, msnList, phoneBook, areaCodes));
    }
};

} // namespace

TEST(DayTexts, ToShowsTheMsnNameAndService) {
    Lists lists;
    CallRecord* named = lists.Call(Feb07Noon, "5551", "0", 1);
    CallRecord* unknown = lists.Call(Feb07Noon, "7777", "0", 16);
    CallRecord* noService = lists.Call(Feb07Noon, "5551", "0", 0);
    CallRecord* outOfTable = lists.Call(Feb07Noon, "7777", "0", 32);
    EXPECT_EQ(DayToText(lists.Resolved(*named)), "Office/speech");
    EXPECT_EQ(DayToText(lists.Resolved(*unknown)), "7777/telephony");
    EXPECT_EQ(DayToText(lists.Resolved(*noService)), "Office");
    EXPECT_EQ(DayToText(lists.Resolved(*outOfTable)), "7777");
}

TEST(DayTexts, WhoByTheFirstRuleThatApplies) {
    Lists lists;
    EXPECT_EQ(lists.Who("0"), "<< unknown >>");
    EXPECT_EQ(lists.Who("*"), "<< ISDN unknown >>");
    EXPECT_EQ(lists.Who("0301234567"), "Anna  030/1234567");
    EXPECT_EQ(lists.Who("0307654321"), "030/7654321");
    // Without an area code the number shows as it is, unsplit.
    EXPECT_EQ(lists.Who("0999888"), "Far Away  0999888");
    EXPECT_EQ(lists.Who("0999777"), "0999777");
    EXPECT_EQ(lists.Who(""), "");
    // The area code is the whole number: the slash comes last.
    EXPECT_EQ(lists.Who("0201"), "0201/");
}

TEST(DayRows, NewestFirstAndMidnightCallsUnderTwoDays) {
    Lists lists;
    lists.Call(Feb06Midnight + 3600, "5551", "0", 1);
    CallRecord* atMidnight = lists.Call(Feb07Midnight, "5551", "0301234567", 1);
    CallRecord* morning = lists.Call(Feb07Midnight + 9 * 3600, "7777", "*", 0);
    CallRecord* evening = lists.Call(Feb07Midnight + 20 * 3600, "5551", "0", 16);
    lists.Call(Feb08Midnight + 1, "5551", "0", 1);

    std::vector<DayRow> monday =
        BuildDayRows(lists.calls, lists.msnList, lists.phoneBook, lists.areaCodes, Feb07Midnight);
    ASSERT_EQ(monday.size(), 3u);
    EXPECT_EQ(monday[0].record, evening);
    EXPECT_EQ(monday[1].record, morning);
    EXPECT_EQ(monday[2].record, atMidnight);
    EXPECT_EQ(monday[0].toText, "Office/telephony");
    EXPECT_EQ(monday[1].whoText, "<< ISDN unknown >>");
    EXPECT_EQ(monday[2].whoText, "Anna  030/1234567");
    EXPECT_EQ(monday[2].timeText, FormatCallTime(Feb07Midnight));

    std::vector<DayRow> sunday =
        BuildDayRows(lists.calls, lists.msnList, lists.phoneBook, lists.areaCodes, Feb06Midnight);
    ASSERT_EQ(sunday.size(), 2u);
    EXPECT_EQ(sunday[0].record, atMidnight);
}

TEST(DayRows, RecordsWithoutATimeNeverShow) {
    Lists lists;
    CallRecord old;
    old.key = "5551";
    old.value = "0";
    lists.calls.append(old); // callTime 0, as loaded from an old file version
    std::vector<DayRow> rows =
        BuildDayRows(lists.calls, lists.msnList, lists.phoneBook, lists.areaCodes, -3600);
    EXPECT_TRUE(rows.empty());
}
