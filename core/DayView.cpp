#include "core/DayView.h"

#include <algorithm>
#include <cstdio>

namespace {

std::tm LocalTime(std::time_t moment) {
    std::tm local{};
    localtime_r(&moment, &local);
    return local;
}

} // namespace

int32_t LocalDayStart(std::time_t moment) {
    std::tm local = LocalTime(moment);
    local.tm_hour = 0;
    local.tm_min = 0;
    local.tm_sec = 0;
    local.tm_isdst = -1; // let the library decide for that date
    return int32_t(std::mktime(&local));
}

std::string DayTabCaption(std::time_t moment) {
    // Fixed English names: strftime's %a would follow the user's locale.
    static const char* const weekdays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    std::tm local = LocalTime(moment);
    char caption[64];
    std::snprintf(caption, sizeof caption, "%s %02d.%02d.%04d", weekdays[local.tm_wday % 7],
                  local.tm_mday, local.tm_mon + 1, local.tm_year + 1900);
    return caption;
}

std::vector<DayTab> BuildDayTabs(std::time_t now) {
    // Stepping back a fixed 86400 seconds would skip a date or show one twice near midnight
    // after a daylight-saving change; going back by calendar days keeps eight distinct dates.
    std::tm today = LocalTime(now);
    std::vector<DayTab> tabs;
    tabs.reserve(DayTabCount);
    for (int i = 0; i < DayTabCount; ++i) {
        std::tm noon{};
        noon.tm_year = today.tm_year;
        noon.tm_mon = today.tm_mon;
        noon.tm_mday = today.tm_mday - i; // mktime carries into the month and year
        noon.tm_hour = 12;
        noon.tm_isdst = -1;
        std::time_t moment = i == 0 ? now : std::mktime(&noon);
        tabs.push_back({DayTabCaption(moment), LocalDayStart(moment)});
    }
    return tabs;
}

std::string DayToText(const ResolvedCall& call) {
    std::string text = call.msnKnown ? call.msnName : call.calledNumber;
    if (call.service) {
        text += '/';
        text += call.service;
    }
    return text;
}

std::string DayWhoText(const ResolvedCall& call) {
    if (call.callerKind == CallerKind::Withheld)
        return "<< unknown >>";
    if (call.callerKind == CallerKind::IsdnUnknown)
        return "<< ISDN unknown >>";
    // Without an area code the number shows as it is, unsplit.
    std::string text = SplitNumber(call);
    if (call.callerName)
        text = *call.callerName + "  " + text;
    return text;
}

std::vector<DayRow> BuildDayRows(CallList& callList, Directory& msnList, Directory& phoneBook,
                                 const AreaCodeTable& areaCodes, int32_t dayStart) {
    std::vector<DayRow> rows;
    // Only the records of that day are read, however long the history.
    for (CallRecord* record : callList.inTimeRange(dayStart, int64_t(dayStart) + SecondsPerDay)) {
        // Records from old files carry no time; their callTime of 0 must not land in 1970's tab.
        if (!record->hasTime && record->callTime == 0)
            continue;
        const ResolvedCall call = ResolveCall(*record, msnList, phoneBook, areaCodes);
        rows.push_back({TextOf(record->timeText()), DayToText(call), DayWhoText(call), record});
    }
    // Walking in list order and putting each row on top shows the newest first.
    std::reverse(rows.begin(), rows.end());
    return rows;
}
