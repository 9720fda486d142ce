#pragma once
// The one record and list type behind the call list, the phone book and the MSN list. Their
// file format is in data/ListFile.h.

#include <cstdint>
#include <ctime>
#include <list>
#include <mutex>
#include <optional>
#include <string>

using OptText = std::optional<std::string>;

struct CallRecord {
    OptText timeText;     // local time of the call, "%Y-%m-%d %H:%M:%S"; absent in directories
    int32_t callTime = 0; // seconds since 1970-01-01 00:00:00 UTC
    OptText key;          // call list: the called number (MSN); directories: the number
    OptText value;        // call list: the calling number ("0" withheld); directories: name
    OptText speakText;    // directories: spoken instead of the name when non-empty
    int32_t reserved = 0;
    int32_t repeatCount = 0;   // call list: 1 when made, +1 per repeated notice
    uint32_t connectionId = 0; // call list: the PLCI of the notice that made the record
    int32_t cipValue = 0;
};

// Absent texts count as empty wherever a text is shown, compared or spoken.
inline const std::string& TextOf(const OptText& text) {
    static const std::string empty;
    return text ? *text : empty;
}

// Records in append order. Pointers to records stay valid until the record is removed or the
// list cleared. The three lists of the monitor share one mutex (ListsMutex()): every writer
// takes it, and the telnet thread holds it while it reads.
class CallList {
public:
    using Records = std::list<CallRecord>;
    using const_iterator = Records::const_iterator;
    using iterator = Records::iterator;

    CallList() = default;
    CallList(const CallList&) = delete;
    CallList& operator=(const CallList&) = delete;
    CallList(CallList&&) = default; // records keep their addresses
    CallList& operator=(CallList&&) = default;

    CallRecord* append(const CallRecord& record); // O(1); returns the stored copy
    CallRecord* append(CallRecord&& record);      // O(1); takes the texts over
    CallRecord* at(size_t position);              // nullptr past the end (walks: avoid in loops)
    void assign(const CallList& other); // clear, then append each record of other (self: no-op)
    CallRecord* findByKey(const std::string& key); // case-insensitive ASCII; last match wins
    const CallRecord* findByKey(const std::string& key) const;
    // The newest record made by the same connection (PLCI) less than five seconds before `now`.
    CallRecord* findRepeat(uint32_t connectionId, std::time_t now);
    void remove(const CallRecord* record); // by identity; unknown records leave the list as is
    void clear();
    size_t size() const { return records.size(); }
    bool empty() const { return records.empty(); }
    const_iterator begin() const { return records.begin(); }
    const_iterator end() const { return records.end(); }
    iterator begin() { return records.begin(); }
    iterator end() { return records.end(); }

private:
    Records records;
};

// The directories are the same types with other meanings of the fields.
using DirectoryEntry = CallRecord;
using Directory = CallList;

// The one lock of the three lists (see CallList).
std::mutex& ListsMutex();
