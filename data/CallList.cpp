#include "data/CallList.h"

#include "platform/Text.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <limits>
#include <new>
#include <sys/mman.h>
#include <utility>

namespace {

// Two texts of the same length. Numbers of one phone book mostly share their first digits and
// differ in their last ones, so the last byte rules most of them out without a call to memcmp.
bool SameNumber(std::string_view text, std::string_view key) {
    return key.empty() ||
           (text.back() == key.back() && std::memcmp(text.data(), key.data(), key.size()) == 0);
}

} // namespace

OptText CallRecord::timeText() const {
    if (!hasTime)
        return std::nullopt;
    return FormatCallTime(callTime);
}

std::string FormatCallTime(int32_t callTime) {
    const std::time_t t = callTime;
    std::tm local{};
    if (localtime_r(&t, &local) == nullptr)
        return std::string();
    // "%Y-%m-%d %H:%M:%S" by hand: the fields are plain numbers, and strftime costs more than
    // the rest of showing a record. Years of a 32-bit time have four digits.
    const int year = local.tm_year + 1900;
    if (year < 1000 || year > 9999) {
        char text[64];
        std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
        return text;
    }
    char text[20];
    auto put2 = [](char* at, int value) {
        at[0] = static_cast<char>('0' + value / 10);
        at[1] = static_cast<char>('0' + value % 10);
    };
    put2(text, year / 100);
    put2(text + 2, year % 100);
    text[4] = '-';
    put2(text + 5, local.tm_mon + 1);
    text[7] = '-';
    put2(text + 8, local.tm_mday);
    text[10] = ' ';
    put2(text + 11, local.tm_hour);
    text[13] = ':';
    put2(text + 14, local.tm_min);
    text[16] = ':';
    put2(text + 17, local.tm_sec);
    return std::string(text, 19);
}

CallList::CallList(CallList&& other) noexcept
    : chunks(std::move(other.chunks)), used(std::exchange(other.used, 0)),
      live(std::exchange(other.live, 0)), blocks(std::move(other.blocks)) {}

CallList& CallList::operator=(CallList&& other) noexcept {
    if (this != &other) {
        clear();
        chunks = std::move(other.chunks);
        used = std::exchange(other.used, 0);
        live = std::exchange(other.live, 0);
        blocks = std::move(other.blocks);
    }
    return *this;
}

void CallList::ChunkRelease::operator()(Chunk* chunk) const {
    if (mapped)
        ::munmap(chunk, sizeof(Chunk));
    else
        delete chunk;
}

CallList::ChunkPointer CallList::NewChunk(bool prefault) {
    // A list that outgrows its first chunk is a history, which will fill the next one: its pages
    // are all made at once, which costs half of making them one fault at a time as the records
    // arrive. Directories of a few entries stay in a chunk whose pages come when they are used.
    if (prefault) {
        void* pages = ::mmap(nullptr, sizeof(Chunk), PROT_READ | PROT_WRITE,
                             MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
        if (pages != MAP_FAILED)
            return ChunkPointer(static_cast<Chunk*>(pages), ChunkRelease{true});
    }
    return ChunkPointer(new Chunk, ChunkRelease{false});
}

CallRecord* CallList::NewSlot() {
    if (used == chunks.size() * ChunkSize)
        chunks.push_back(NewChunk(!chunks.empty()));
    return reinterpret_cast<CallRecord*>(chunks.back()->bytes) + used % ChunkSize;
}

CallRecord* CallList::Stored(CallRecord& stored) {
    stored.removed = false;
    ++live;
    const size_t slot = used++;
    const int32_t time = stored.callTime;
    if (slot % BlockSize == 0) {
        const int32_t before = blocks.empty() ? time : std::max(blocks.back().latestSoFar, time);
        blocks.push_back({time, time, before, time});
    } else {
        Block& block = blocks.back();
        block.earliest = std::min(block.earliest, time);
        block.latest = std::max(block.latest, time);
        block.latestSoFar = std::max(block.latestSoFar, time);
        block.earliestFromOn = std::min(block.earliestFromOn, time);
    }
    // A call earlier than calls before it lowers the bound of the blocks before; in time order
    // this stops at once.
    for (size_t i = blocks.size() - 1; i-- > 0 && blocks[i].earliestFromOn > time;)
        blocks[i].earliestFromOn = time;
    return &stored;
}

CallRecord* CallList::append(const CallRecord& record) {
    return Stored(*new (NewSlot()) CallRecord(record));
}

CallRecord* CallList::append(CallRecord&& record) {
    return Stored(*new (NewSlot()) CallRecord(std::move(record)));
}

CallRecord* CallList::at(size_t position) {
    if (position >= live)
        return nullptr;
    if (live == used)
        return &Slot(position);
    return &*std::next(begin(), static_cast<std::ptrdiff_t>(position));
}

void CallList::assign(const CallList& other) {
    // Copying a list onto itself would first clear the very records it is about to copy.
    if (&other == this)
        return;
    CallList copy;
    for (const CallRecord& record : other)
        copy.append(record);
    *this = std::move(copy);
}

const CallRecord* CallList::findByKey(const std::string& key) const {
    // A key without letters (every number) equals another ignoring case only when their bytes
    // are the same, which is one memcmp; this walk runs for every call over the whole phone book.
    const bool hasLetters = std::any_of(key.begin(), key.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    });
    // The last match in list order wins, so the walk starts at the end.
    for (size_t chunk = (used + ChunkSize - 1) / ChunkSize; chunk-- > 0;) {
        const auto* first = reinterpret_cast<const CallRecord*>(chunks[chunk]->bytes);
        const CallRecord* record = first + std::min(ChunkSize, used - chunk * ChunkSize);
        while (record-- != first) {
            const std::string_view text = record->key.view();
            if (text.size() != key.size() || !record->key || record->removed)
                continue;
            if (hasLetters ? EqualIgnoringCase(text, key) : SameNumber(text, key))
                return record;
        }
    }
    return nullptr;
}

CallRecord* CallList::findByKey(const std::string& key) {
    return const_cast<CallRecord*>(std::as_const(*this).findByKey(key));
}

template <typename Visit>
void CallList::VisitTimeRange(int64_t first, int64_t last, Visit visit) const {
    if (first > last || blocks.empty())
        return;
    // Blocks wholly before the range end where the latest time so far reaches it; blocks
    // wholly after it begin where the earliest time from there on passes it. Both bounds only
    // grow along the list, so each is one binary search.
    const auto from = std::partition_point(blocks.begin(), blocks.end(),
                                           [&](const Block& b) { return b.latestSoFar < first; });
    const auto to = std::partition_point(from, blocks.end(),
                                         [&](const Block& b) { return b.earliestFromOn <= last; });
    for (auto block = from; block != to; ++block) {
        if (block->latest < first || block->earliest > last)
            continue;
        const size_t start = static_cast<size_t>(block - blocks.begin()) * BlockSize;
        const size_t stop = std::min(start + BlockSize, used);
        for (size_t slot = start; slot < stop; ++slot) {
            const CallRecord& record = Slot(slot);
            if (!record.removed && record.callTime >= first && record.callTime <= last)
                visit(slot);
        }
    }
}

std::vector<const CallRecord*> CallList::inTimeRange(int64_t first, int64_t last) const {
    std::vector<const CallRecord*> found;
    VisitTimeRange(first, last, [&](size_t slot) { found.push_back(&Slot(slot)); });
    return found;
}

std::vector<CallRecord*> CallList::inTimeRange(int64_t first, int64_t last) {
    std::vector<CallRecord*> found;
    VisitTimeRange(first, last, [&](size_t slot) { found.push_back(&Slot(slot)); });
    return found;
}

CallRecord* CallList::findRepeat(uint32_t connectionId, std::time_t now) {
    // Less than five seconds before now: callTime above now - 5, or any time after now.
    CallRecord* found = nullptr;
    VisitTimeRange(int64_t(now) - 4, std::numeric_limits<int64_t>::max(), [&](size_t slot) {
        if (Slot(slot).connectionId == connectionId)
            found = &Slot(slot);
    });
    return found;
}

void CallList::remove(const CallRecord* record) {
    // The chunk that holds the address, then its slot.
    for (size_t chunk = 0; chunk < chunks.size(); ++chunk) {
        const auto* first = reinterpret_cast<const CallRecord*>(chunks[chunk]->bytes);
        const std::less<const CallRecord*> before;
        if (before(record, first) || !before(record, first + ChunkSize))
            continue;
        const size_t slot = chunk * ChunkSize + static_cast<size_t>(record - first);
        CallRecord& stored = Slot(slot);
        if (slot >= used || stored.removed)
            return;
        stored.removed = true;
        // The slot stays for the addresses of the others; its texts are let go.
        stored.key = std::nullopt;
        stored.value = std::nullopt;
        stored.speakText = std::nullopt;
        --live;
        return;
    }
}

void CallList::clear() {
    for (size_t slot = 0; slot < used; ++slot)
        Slot(slot).~CallRecord();
    chunks.clear();
    blocks.clear();
    used = 0;
    live = 0;
}

