#pragma once
// One call resolved against the directories and the area-code table: which MSN was dialled and
// under what name, who called and how they are known. Every text about a call (log line, popup,
// speech, day view, telnet listing, the outputs) is formatted from this one value, so a call is
// looked up once and every view agrees on what was found.

#include "data/AreaCodeTable.h"
#include "data/CallList.h"
#include "data/DirectoryIndex.h"

#include <cstddef>
#include <optional>
#include <string>

enum class CallerKind {
    Number,      // a number was delivered
    Withheld,    // the mark "0": the caller withheld the number
    IsdnUnknown, // the mark "*": the network had no number
    Absent,      // no number at all (empty, or absent in a stored record)
};

struct ResolvedCall {
    // The called MSN: as delivered or stored; empty when absent.
    std::string calledNumber;
    bool msnKnown = false;         // an entry of the MSN list matched
    std::string msnName;           // that entry's name (may be empty)
    std::string msnSpokenName;     // its speak text when it has one, else its name
    const char* service = nullptr; // the service name of the CIP value; nullptr shows none

    // The caller.
    CallerKind callerKind = CallerKind::Absent;
    std::string callingNumber;             // as delivered or stored; empty when absent
    std::optional<std::string> callerName; // the phone book's name, when an entry matched
    std::string callerSpokenName;          // its speak text when it has one, else its name
    bool areaCodeFound = false;            // an entry of the area-code table matched
    size_t areaCodeLength = 0;             // the length of its code (at most the number's)
    std::string placeName;                 // its place name
};

// Looks a call up once. An absent number matches nothing: only a present text can find an entry.
// The marks "0" and "*" are looked up like any number (a user may have named them).
ResolvedCall ResolveCall(const OptText& calledNumber, const OptText& callingNumber, int cipValue,
                         const Directory& msnList, const Directory& phoneBook,
                         const AreaCodeTable& areaCodes);

// The same without the area-code table, for views that show numbers unsplit.
ResolvedCall ResolveCall(const OptText& calledNumber, const OptText& callingNumber, int cipValue,
                         const Directory& msnList, const Directory& phoneBook);

// A stored call record: key is the called number, value the calling number.
inline ResolvedCall ResolveCall(const CallRecord& call, const Directory& msnList,
                                const Directory& phoneBook, const AreaCodeTable& areaCodes) {
    return ResolveCall(call.key, call.value, call.cipValue, msnList, phoneBook, areaCodes);
}

// The same through indexes of the directories, for many calls at a time.
ResolvedCall ResolveCall(const CallRecord& call, const DirectoryIndex& msnList,
                         const DirectoryIndex& phoneBook, const AreaCodeTable& areaCodes);

// "<area code>/<the rest>" when an area code matched, else the number as it is.
std::string SplitNumber(const ResolvedCall& call);
