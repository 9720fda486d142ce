#pragma once
// The one record and list type behind the call list, the phone book and the MSN list, and the
// version-4 list file format they share.

#include "IncomingCallNotice.h"

#include <cstdint>
#include <ctime>
#include <list>
#include <mutex>
#include <optional>
#include <string>

using OptText = std::optional<std::string>;

struct FileIdentity;

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
    CallRecord* findRepeat(const IncomingCallNotice& notice, std::time_t now);
    CallRecord* findRepeat(const IncomingCallNotice& notice) {
        return findRepeat(notice, std::time(nullptr));
    }
    void remove(const CallRecord* record); // by identity; unknown records leave the list as is
    void clear();
    bool save(const std::string& fileName) const; // atomic replace; false when it failed
    // After one append, writes just the new last record to the end of the file, when the file is
    // still exactly what this list last saved or loaded there; otherwise it is a full save.
    // Meant for the call list, whose stored fields never change after append: an edit in place
    // is not seen. False when the file could not be written; it is then as it was.
    bool appendSave(const std::string& fileName);
    void load(const std::string& fileName); // appends; creates a missing file empty
    // Loads like load() but never creates a file: false, with `error` set, when the file cannot
    // be opened for reading (missing, a directory, no permission).
    bool loadExisting(const std::string& fileName, std::string& error);

    size_t size() const { return records.size(); }
    bool empty() const { return records.empty(); }
    const_iterator begin() const { return records.begin(); }
    const_iterator end() const { return records.end(); }
    iterator begin() { return records.begin(); }
    iterator end() { return records.end(); }

private:
    // What the file last written or read by this list holds: its first `records` records.
    struct FileState {
        std::string fileName;
        size_t records = 0;
        uint64_t device = 0, inode = 0, size = 0;
    };
    mutable std::optional<FileState> inFile;

    void loadBytes(const std::string& fileName, const std::string& bytes,
                   const std::optional<FileIdentity>& identity);

    Records records;
};

// The directories are the same types with other meanings of the fields.
using DirectoryEntry = CallRecord;
using Directory = CallList;

// The one lock of the three lists (see CallList).
std::mutex& ListsMutex();
