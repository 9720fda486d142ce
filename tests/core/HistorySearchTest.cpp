// Searching the whole history and counting it for the statistics, on snapshots.
#include "core/HistorySearch.h"

#include <gtest/gtest.h>

namespace {

struct History {
    CallList calls;
    Directory msnList, phoneBook;
    AreaCodeTable areaCodes;
    History() {
        DirectoryEntry anna;
        anna.key = "0301234567";
        anna.value = "Anna M\xFCller";
        phoneBook.append(anna);
        areaCodes.AddAreaCodes("030\tBerlin\n040\tHamburg\n");
    }
    void Call(int32_t time, const std::string& caller) {
        CallRecord record;
        record.callTime = time;
        record.hasTime = true;
        record.key = "5551";
        record.value = caller;
        record.repeatCount = 1;
        calls.append(record);
    }
    std::shared_ptr<const HistorySnapshot> Snapshot() const {
        return TakeHistorySnapshot(calls, msnList, phoneBook, areaCodes);
    }
};

std::vector<std::string> Times(const SearchResult& result) {
    std::vector<std::string> times;
    for (const SearchRow& row : result.rows)
        times.push_back(row.timeText);
    return times;
}

} // namespace

TEST(HistorySearch, ByNumberNameOrPlaceNewestFirst) {
    History h;
    h.Call(100, "0301234567");
    h.Call(200, "040555");
    h.Call(300, "0");
    h.Call(400, "0301234567");
    h.Call(500, "0899");
    const auto snapshot = h.Snapshot();
    EXPECT_EQ(
        Times(SearchHistory(*snapshot, "m\xDCLLER", 10)),
        (std::vector<std::string>{FormatCallTime(400), FormatCallTime(100)})); // name, any case
    EXPECT_EQ(Times(SearchHistory(*snapshot, "hamburg", 10)),
              std::vector<std::string>{FormatCallTime(200)});
    EXPECT_EQ(Times(SearchHistory(*snapshot, "089", 10)),
              std::vector<std::string>{FormatCallTime(500)});
    EXPECT_TRUE(SearchHistory(*snapshot, "  ", 10).rows.empty());
    const SearchResult limited = SearchHistory(*snapshot, "0", 2);
    EXPECT_EQ(limited.matches, 5u);
    EXPECT_EQ(Times(limited), (std::vector<std::string>{FormatCallTime(500), FormatCallTime(400)}));
    // The rows carry the day view's texts.
    EXPECT_EQ(SearchHistory(*snapshot, "anna", 1).rows.at(0).whoText,
              "Anna M\xFCller  030/1234567");
    // The snapshot does not follow later changes of the lists.
    h.Call(600, "0301234567");
    EXPECT_EQ(SearchHistory(*snapshot, "anna", 10).matches, 2u);
    std::atomic<bool> cancel{true};
    EXPECT_TRUE(SearchHistory(*h.Snapshot(), "anna", 10, &cancel).cancelled);
}

TEST(HistorySearch, ALargeHistoryIsSearchedWhole) {
    History h;
    for (int i = 0; i < 200000; ++i)
        h.Call(1000 + i, i == 7 ? "0301234567" : "0401" + std::to_string(i % 5000));
    const SearchResult result = SearchHistory(*h.Snapshot(), "anna", 10);
    EXPECT_EQ(result.matches, 1u);
    EXPECT_EQ(Times(result), std::vector<std::string>{FormatCallTime(1007)});
}

TEST(CallStatistics, PerDayPerHourAndTopCallers) {
    History h;
    std::tm noon{};
    noon.tm_year = 100;
    noon.tm_mon = 1;
    noon.tm_mday = 7;
    noon.tm_hour = 12;
    noon.tm_isdst = -1;
    const std::time_t now = std::mktime(&noon);
    h.Call(int32_t(now - 3600), "0301234567");     // today, 11 o'clock
    h.Call(int32_t(now - 3600 * 2), "0301234567"); // today, 10 o'clock
    h.Call(int32_t(now - 86400), "040555");        // yesterday, 12 o'clock
    h.Call(int32_t(now - 86400 * 29), "0");        // the oldest day counted
    h.Call(int32_t(now - 86400 * 30), "040555");   // too old for the days
    const CallStatistics stats = CountCalls(*h.Snapshot(), now);
    ASSERT_EQ(stats.perDay.size(), 30u);
    EXPECT_EQ(stats.perDay[29], 2);
    EXPECT_EQ(stats.perDay[28], 1);
    EXPECT_EQ(stats.perDay[0], 1);
    EXPECT_EQ(stats.perHour[11], 1);
    EXPECT_EQ(stats.perHour[12], 3);
    ASSERT_EQ(stats.topCallers.size(), 2u); // the withheld number is no caller
    EXPECT_EQ(stats.topCallers[0].number, "0301234567");
    EXPECT_EQ(stats.topCallers[0].name, "Anna M\xFCller");
    EXPECT_EQ(stats.topCallers[0].calls, 2);
    EXPECT_EQ(stats.topCallers[1].calls, 2);
}
