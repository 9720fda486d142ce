#include "telnet/TelnetListing.h"

#include "data/ControlBytes.h"
#include "data/ResolvedCall.h"
#include "telnet/TelnetTexts.h"

#include <cstdio>

namespace {
const std::string rule = std::string(73, '-') + "\n\r";

std::string CutTo(std::string text, size_t width) {
    if (text.size() > width)
        text.resize(width);
    return text;
}

// Stored texts are zero-terminated on disk: a NUL in a name ends it.
std::string ShownName(const std::string& text) {
    return text.substr(0, text.find('\0'));
}
std::string ShownText(const OptText& text) {
    return ShownName(TextOf(text));
}

// Names and numbers come from address books and the line: a control byte in them would reach
// the client's terminal, where a CR LF forges a listing line and ESC starts a command. They are
// shown as '?' (ReplaceControlBytes), which keeps the field's width and tells that something was
// there. The texts are Windows-1252, where 0x80-0x9F are letters and signs, so those stay.
std::string ToText(const ResolvedCall& call) {
    std::string text = call.msnKnown ? ShownName(call.msnName) : call.calledNumber;
    if (call.service) {
        text += '/';
        text += call.service;
    }
    return CutTo(ReplaceControlBytes(text), kTelnetFieldWidth);
}

std::string WhoText(const ResolvedCall& call) {
    if (call.callerKind == CallerKind::Withheld)
        return "<< unknown >>";
    if (call.callerKind == CallerKind::IsdnUnknown)
        return "<< ISDN unknown >>";
    if (!call.callerName)
        return CutTo(ReplaceControlBytes(call.callingNumber), kTelnetFieldWidth);
    return CutTo(ReplaceControlBytes(ShownName(*call.callerName) + "  " + call.callingNumber),
                 kTelnetFieldWidth);
}

std::time_t LocalMidnight(std::time_t now, int daysBack) {
    std::tm local{};
    localtime_r(&now, &local);
    local.tm_hour = 0;
    local.tm_min = 0;
    local.tm_sec = 0;
    local.tm_mday -= daysBack;
    local.tm_isdst = -1; // let the C library decide for that day
    return std::mktime(&local);
}
} // namespace

std::time_t StartOfLocalDay(std::time_t now) {
    return LocalMidnight(now, 0);
}

ListingDay ListingDayRange(int day, std::time_t now) {
    ListingDay range{StartOfLocalDay(now), now};
    for (int step = 1; step < day; ++step) {
        range.end = range.start;
        range.start = LocalMidnight(now, step);
    }
    return range;
}

std::string CtimeText(std::time_t instant) {
    static const char* const weekdays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::tm local{};
    if (!localtime_r(&instant, &local))
        return "??? ??? ?? ??:??:?? ????\n";
    char text[64];
    std::snprintf(text, sizeof text, "%.3s %.3s%3d %.2d:%.2d:%.2d %d\n",
                  weekdays[(local.tm_wday % 7 + 7) % 7], months[(local.tm_mon % 12 + 12) % 12],
                  local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, local.tm_year + 1900);
    return text;
}

std::string ListingLine(const CallRecord& call, const Directory& msnList,
                        const Directory& phoneBook) {
    // Numbers are looked up as they are shown: up to a NUL. Numbers are shown unsplit here.
    const auto shown = [](const OptText& text) {
        return text ? OptText(ShownText(text)) : OptText();
    };
    const ResolvedCall resolved =
        ResolveCall(shown(call.key), shown(call.value), call.cipValue, msnList, phoneBook);
    std::string line =
        ShownText(call.timeText()) + "  " + ToText(resolved) + "\t" + WhoText(resolved);
    // Keep the line end even when the texts fill the line.
    return CutTo(std::move(line), kTelnetListingLineWidth - 2) + "\n\r";
}

std::vector<std::string> BuildCallListing(const ListingDay& day, const CallList& callList,
                                          const Directory& msnList, const Directory& phoneBook) {
    std::vector<std::string> pieces;
    pieces.push_back("\n\r\n\r" + CtimeText(day.start) + "\n\r" +
                     std::string(kTelnetColumnHeading) + rule);
    // Only the records of that day are read, however long the history.
    for (const CallRecord* call : callList.inTimeRange(day.start, day.end))
        pieces.push_back(ListingLine(*call, msnList, phoneBook));
    pieces.push_back(rule);
    return pieces;
}
