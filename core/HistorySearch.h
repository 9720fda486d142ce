#pragma once
// Searching the whole history by number, name or place, and counting it for the statistics.
// Both work on a snapshot of the lists, so they can run off the window's thread while calls come
// in.

#include "core/DayView.h"
#include "data/AreaCodeTable.h"
#include "data/CallList.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Copies of the lists taken under their lock, shared by the searches made on them.
struct HistorySnapshot {
    std::vector<CallRecord> calls; // list order
    Directory msnList;
    Directory phoneBook;
    AreaCodeTable areaCodes;
};

// Takes the copies from a view of the shared lists.
std::shared_ptr<const HistorySnapshot> TakeHistorySnapshot(const CallList& calls,
                                                           const Directory& msnList,
                                                           const Directory& phoneBook,
                                                           const AreaCodeTable& areaCodes);

struct SearchRow {
    std::string timeText;
    std::string toText;
    std::string whoText;
    size_t index = 0; // the call's position in the snapshot
};

struct SearchResult {
    std::vector<SearchRow> rows; // newest first, at most `limit`
    size_t matches = 0;          // all calls that matched
    bool cancelled = false;
};

// Calls whose calling number, phone-book name or place holds `query` (ignoring case), newest
// first, with the day view's texts. A blank query matches nothing. `cancel` is checked now and
// then; when it is set the search stops early.
SearchResult SearchHistory(const HistorySnapshot& snapshot, const std::string& query, size_t limit,
                           const std::atomic<bool>* cancel = nullptr);

struct CallStatistics {
    std::vector<int> perDay;  // the last 30 days, the oldest first; today last
    std::vector<int> perHour; // 24 hours of the day, over the whole history
    struct Caller {
        std::string number;
        std::string name; // phone-book name, may be empty
        int calls = 0;
    };
    std::vector<Caller> topCallers; // at most ten, most calls first
};

inline constexpr int StatisticsDays = 30;

// Counted in local time. Withheld and absent numbers count per day and hour, not as callers.
CallStatistics CountCalls(const HistorySnapshot& snapshot, std::time_t now);
