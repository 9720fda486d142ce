#pragma once
// The day views of the main window without any widget: which day each of the eight tabs shows,
// their captions, and the rows of one day with their "to" and "who" texts. The window only puts
// what these functions return on the screen.

#include "data/ResolvedCall.h"

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

inline constexpr int DayTabCount = 8;
inline constexpr int32_t SecondsPerDay = 86400;

struct DayTab {
    std::string caption;  // "%a %d.%m.%Y", weekday in English whatever the locale
    int32_t dayStart = 0; // local midnight at the start of that date
};

// Local midnight at the start of the date of `moment` (daylight-saving time of that date).
int32_t LocalDayStart(std::time_t moment);

// "Mon 07.02.2000" for a moment on that local date.
std::string DayTabCaption(std::time_t moment);

// Today and the seven days before, tab 0 first, one calendar day apart.
std::vector<DayTab> BuildDayTabs(std::time_t now);

// A day runs from its midnight to the next one, both included: a call at exactly midnight
// belongs to two days.
inline bool InDayRange(int32_t callTime, int32_t dayStart) {
    return callTime >= dayStart && int64_t(callTime) <= int64_t(dayStart) + SecondsPerDay;
}

// The called MSN's name from the MSN list, else the called number; then "/" and the service
// name for CIP values 1 to 31.
std::string DayToText(const ResolvedCall& call);

// "<< unknown >>" for "0", "<< ISDN unknown >>" for "*", else the number with the area-code
// slash (as it is without an area code), preceded by the phone-book name and two blanks.
std::string DayWhoText(const ResolvedCall& call);

struct DayRow {
    std::string timeText;
    std::string toText;
    std::string whoText;
    CallRecord* record = nullptr; // belongs to the call list
};

// The rows of the day that starts at `dayStart`, newest first (the reverse of list order).
// The lists come from a view of the shared lists (data/SharedLists.h).
std::vector<DayRow> BuildDayRows(CallList& callList, Directory& msnList, Directory& phoneBook,
                                 const AreaCodeTable& areaCodes, int32_t dayStart);
