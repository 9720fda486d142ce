#pragma once
// The call listings of the telnet menu: which seconds a day covers and the lines that show it.
// Plain functions over the lists; the caller holds a view of the shared lists.

#include "data/CallList.h"

#include <ctime>
#include <string>
#include <vector>

struct ListingDay {
    std::time_t start = 0; // local midnight that begins the day
    std::time_t end = 0;   // now for today, else the start of the following day (inclusive)
};

// Local midnight of the day that holds `now`.
std::time_t StartOfLocalDay(std::time_t now);

// Day 1 is today up to now, 2 yesterday, 3 the day before. Each earlier day begins at its own
// local midnight, so a day with a clock change is still one whole calendar day.
ListingDay ListingDayRange(int day, std::time_t now);

// The instant in local time as the C library's ctime writes it: 24 characters and a LF,
// with English day and month names whatever the process locale is.
std::string CtimeText(std::time_t instant);

// One listing line: time text, two blanks, the "to" text, a tab, the "who" text, LF CR.
std::string ListingLine(const CallRecord& call, const Directory& msnList,
                        const Directory& phoneBook);

// The whole listing in the pieces it is sent in: the heading, one line per call of the day in
// list order, and the closing rule.
std::vector<std::string> BuildCallListing(const ListingDay& day, const CallList& callList,
                                          const Directory& msnList, const Directory& phoneBook);
