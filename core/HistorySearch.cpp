#include "core/HistorySearch.h"

#include "core/ResolvedCallCache.h"
#include "data/DirectoryIndex.h"

#include <algorithm>
#include <cctype>
#include <string_view>
#include <unordered_map>

namespace {

// Lower case for 8-bit (Latin-1) text, whatever the C locale: "MÜLLER" finds "Müller".
std::string Lower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        const auto byte = static_cast<unsigned char>(c);
        const bool asciiUpper = byte >= 'A' && byte <= 'Z';
        const bool latinUpper = byte >= 0xC0 && byte <= 0xDE && byte != 0xD7;
        if (asciiUpper || latinUpper)
            c = char(byte + 32);
    }
    return lower;
}

bool Holds(const std::string& text, const std::string& lowerQuery) {
    return Lower(text).find(lowerQuery) != std::string::npos;
}

// Records from old files carry no time.
bool HasTime(const CallRecord& call) {
    return call.hasTime || call.callTime != 0;
}

} // namespace

std::shared_ptr<const HistorySnapshot> TakeHistorySnapshot(const CallList& calls,
                                                           const Directory& msnList,
                                                           const Directory& phoneBook,
                                                           const AreaCodeTable& areaCodes) {
    auto snapshot = std::make_shared<HistorySnapshot>();
    snapshot->calls.assign(calls.begin(), calls.end());
    snapshot->msnList.assign(msnList);
    snapshot->phoneBook.assign(phoneBook);
    for (const AreaCodeEntry& entry : areaCodes)
        snapshot->areaCodes.AddAreaCodes(entry.areaCode + "\t" + entry.placeName + "\n");
    return snapshot;
}

SearchResult SearchHistory(const HistorySnapshot& snapshot, const std::string& query, size_t limit,
                           const std::atomic<bool>* cancel) {
    SearchResult result;
    const std::string lowerQuery = Lower(query);
    if (lowerQuery.find_first_not_of(" \t") == std::string::npos)
        return result;
    // Whether a call matches depends only on its calling number (the number itself, its
    // phone-book name, its place): asked once per number, without resolving the whole call.
    // Only the rows shown are resolved.
    const DirectoryIndex phoneBook(snapshot.phoneBook);
    std::unordered_map<std::string_view, bool> matched;
    ResolvedCallCache cache(snapshot.msnList, snapshot.phoneBook, snapshot.areaCodes);
    for (size_t i = snapshot.calls.size(); i-- > 0;) {
        if ((i & 0xFFF) == 0 && cancel != nullptr && cancel->load()) {
            result.cancelled = true;
            return result;
        }
        const CallRecord& call = snapshot.calls[i];
        if (!call.value)
            continue; // no number: nothing of it can hold the query
        const std::string_view number = call.value.view();
        auto known = matched.find(number);
        if (known == matched.end()) {
            const std::string text(number);
            const DirectoryEntry* entry = phoneBook.findByKey(number);
            const AreaCodeEntry* area = snapshot.areaCodes.FindAreaCode(text);
            const bool hit = Holds(text, lowerQuery) ||
                             (entry != nullptr && Holds(TextOf(entry->value), lowerQuery)) ||
                             (area != nullptr && Holds(area->placeName, lowerQuery));
            known = matched.emplace(number, hit).first;
        }
        if (!known->second)
            continue;
        ++result.matches;
        if (result.rows.size() < limit) {
            const ResolvedCall& resolved = cache.Resolve(call);
            result.rows.push_back(
                {TextOf(call.timeText()), DayToText(resolved), DayWhoText(resolved), i});
        }
    }
    return result;
}

CallStatistics CountCalls(const HistorySnapshot& snapshot, std::time_t now) {
    CallStatistics stats;
    stats.perDay.assign(StatisticsDays, 0);
    stats.perHour.assign(24, 0);
    const std::vector<DayTab> days = [&] {
        // The starts of the last 30 local days, today first (calendar days, as the tabs count).
        std::vector<DayTab> starts;
        std::tm today{};
        localtime_r(&now, &today);
        for (int i = 0; i < StatisticsDays; ++i) {
            std::tm noon{};
            noon.tm_year = today.tm_year;
            noon.tm_mon = today.tm_mon;
            noon.tm_mday = today.tm_mday - i;
            noon.tm_hour = 12;
            noon.tm_isdst = -1;
            starts.push_back({std::string(), LocalDayStart(std::mktime(&noon))});
        }
        return starts;
    }();
    const int64_t tomorrow = int64_t(days.front().dayStart) + SecondsPerDay + 7200;
    std::unordered_map<std::string, int> perCaller;
    for (const CallRecord& call : snapshot.calls) {
        if (!HasTime(call))
            continue;
        const std::time_t when = call.callTime;
        std::tm local{};
        if (localtime_r(&when, &local) != nullptr)
            ++stats.perHour[size_t(local.tm_hour)];
        if (call.callTime >= days.back().dayStart && call.callTime < tomorrow) {
            for (int i = 0; i < StatisticsDays; ++i) {
                if (call.callTime >= days[size_t(i)].dayStart) {
                    ++stats.perDay[size_t(StatisticsDays - 1 - i)];
                    break;
                }
            }
        }
        const std::string& number = TextOf(call.value);
        if (!number.empty() && number != "0" && number != "*")
            ++perCaller[number];
    }
    std::vector<std::pair<std::string, int>> ranked(perCaller.begin(), perCaller.end());
    std::sort(ranked.begin(), ranked.end(), [](const auto& a, const auto& b) {
        return a.second != b.second ? a.second > b.second : a.first < b.first;
    });
    if (ranked.size() > 10)
        ranked.resize(10);
    for (const auto& [number, count] : ranked) {
        const DirectoryEntry* entry = snapshot.phoneBook.findByKey(number);
        stats.topCallers.push_back({number, entry ? TextOf(entry->value) : std::string(), count});
    }
    return stats;
}
