#pragma once
// The one record and list type behind the call list, the phone book and the MSN list. Their
// file format is in data/ListFile.h.

#include "data/RecordText.h"

#include <cstdint>
#include <ctime>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

struct CallRecord {
    RecordText key;       // call list: the called number (MSN); directories: the number
    RecordText value;     // call list: the calling number ("0" withheld); directories: name
    RecordText speakText; // directories: spoken instead of the name when non-empty
    int32_t callTime = 0; // seconds since 1970-01-01 00:00:00 UTC
    int32_t reserved = 0;
    int32_t repeatCount = 0;   // call list: 1 when made, +1 per repeated notice
    uint32_t connectionId = 0; // call list: the PLCI of the notice that made the record
    int32_t cipValue = 0;
    bool hasTime = false; // callTime was stored with the record (files of version 3 on)

    // The local time of callTime as "%Y-%m-%d %H:%M:%S", worked out now so that it follows the
    // time zone and daylight-saving time in force; absent when the record has no time.
    OptText timeText() const;

private:
    friend class CallList;
    bool removed = false; // taken out of its list, which keeps the place so addresses stay
};

// Absent texts count as empty wherever a text is shown, compared or spoken.
inline const std::string& TextOf(const OptText& text) {
    static const std::string empty;
    return text ? *text : empty;
}
inline std::string TextOf(const RecordText& text) {
    return std::string(text.view());
}

// callTime as local time "%Y-%m-%d %H:%M:%S".
std::string FormatCallTime(int32_t callTime);

// Records in append order. Pointers to records stay valid until the record is removed or the
// list cleared. The monitor's lists are shared under one lock (data/SharedLists.h).
//
// The records sit in chunks of ChunkSize slots that never move. A removed record keeps its
// slot, marked, until the list is cleared or assigned. For the call list, which is appended to
// in time order (mostly: clocks go wrong), the list keeps the earliest and latest callTime of
// each block of slots, so the calls of one day or of the last seconds are found without
// reading the rest. The callTime of a record in a list must not be changed.
class CallList {
    template <typename List, typename Record> class Iterator {
    public:
        using iterator_category = std::bidirectional_iterator_tag;
        using value_type = CallRecord;
        using difference_type = std::ptrdiff_t;
        using pointer = Record*;
        using reference = Record&;

        Iterator() = default;
        Iterator(List* list, size_t slot) : list(list), slot(slot) { SkipRemoved(); }
        template <typename L, typename R>
        Iterator(const Iterator<L, R>& other) : list(other.list), slot(other.slot) {}

        Record& operator*() const { return list->Slot(slot); }
        Record* operator->() const { return &list->Slot(slot); }
        Iterator& operator++() {
            ++slot;
            SkipRemoved();
            return *this;
        }
        Iterator operator++(int) {
            Iterator old = *this;
            ++*this;
            return old;
        }
        Iterator& operator--() {
            do
                --slot;
            while (list->Slot(slot).removed);
            return *this;
        }
        Iterator operator--(int) {
            Iterator old = *this;
            --*this;
            return old;
        }
        friend bool operator==(const Iterator& a, const Iterator& b) { return a.slot == b.slot; }

    private:
        template <typename, typename> friend class Iterator;
        void SkipRemoved() {
            while (slot < list->used && list->Slot(slot).removed)
                ++slot;
        }
        List* list = nullptr;
        size_t slot = 0;
    };

public:
    using iterator = Iterator<CallList, CallRecord>;
    using const_iterator = Iterator<const CallList, const CallRecord>;

    CallList() = default;
    ~CallList() { clear(); }
    CallList(const CallList&) = delete;
    CallList& operator=(const CallList&) = delete;
    CallList(CallList&& other) noexcept; // records keep their addresses
    CallList& operator=(CallList&& other) noexcept;

    CallRecord* append(const CallRecord& record); // O(1); returns the stored copy
    CallRecord* append(CallRecord&& record);      // O(1); takes the texts over
    CallRecord* at(size_t position);              // nullptr past the end
    void assign(const CallList& other); // clear, then append each record of other (self: no-op)
    CallRecord* findByKey(const std::string& key); // case-insensitive ASCII; last match wins
    const CallRecord* findByKey(const std::string& key) const;
    // The newest record made by the same connection (PLCI) less than five seconds before `now`.
    CallRecord* findRepeat(uint32_t connectionId, std::time_t now);
    // The records whose callTime lies in [first, last], in list order.
    std::vector<CallRecord*> inTimeRange(int64_t first, int64_t last);
    std::vector<const CallRecord*> inTimeRange(int64_t first, int64_t last) const;
    void remove(const CallRecord* record); // by identity; unknown records leave the list as is
    void clear();
    size_t size() const { return live; }
    bool empty() const { return live == 0; }
    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, used}; }
    iterator begin() { return {this, 0}; }
    iterator end() { return {this, used}; }

private:
    static constexpr size_t ChunkSize = 4096;
    // Storage for ChunkSize records; slots are constructed as they are appended.
    struct Chunk {
        alignas(CallRecord) unsigned char bytes[ChunkSize * sizeof(CallRecord)];
    };
    struct ChunkRelease {
        bool mapped = false;
        void operator()(Chunk* chunk) const;
    };
    using ChunkPointer = std::unique_ptr<Chunk, ChunkRelease>;
    static ChunkPointer NewChunk(bool prefault);
    // The callTimes of BlockSize consecutive slots, and bounds that hold for every slot before
    // (latest) and from (earliest) this block on: both only grow along the list.
    struct Block {
        int32_t earliest;
        int32_t latest;
        int32_t latestSoFar;    // the latest callTime of this block and all before
        int32_t earliestFromOn; // the earliest callTime of this block and all after
    };
    static constexpr size_t BlockSize = 256;

    CallRecord& Slot(size_t slot) const {
        return reinterpret_cast<CallRecord*>(chunks[slot / ChunkSize]->bytes)[slot % ChunkSize];
    }
    CallRecord* NewSlot();
    CallRecord* Stored(CallRecord& record);
    template <typename Visit> void VisitTimeRange(int64_t first, int64_t last, Visit visit) const;

    std::vector<ChunkPointer> chunks;
    size_t used = 0; // slots taken, removed records included
    size_t live = 0;
    std::vector<Block> blocks;
};

// The directories are the same types with other meanings of the fields.
using DirectoryEntry = CallRecord;
using Directory = CallList;
