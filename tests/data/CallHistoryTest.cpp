// The compact call history: texts of any bytes, files written back byte for byte, the time
// lookups against a plain filter of the whole list, times that follow the time zone.
#include "TempDir.h"
#include "data/CallList.h"
#include "data/ListFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>

namespace {

const std::string Fixtures = TAVO_FIXTURES_DIR;

std::string EveryByteBut(char left) {
    std::string text;
    for (int b = 0; b < 256; ++b)
        if (static_cast<char>(b) != left)
            text.push_back(static_cast<char>(b));
    return text;
}

// The stored fields and the time flag of every record, for comparing lists.
std::vector<std::string> Fields(const CallList& list) {
    std::vector<std::string> out;
    for (const CallRecord& r : list) {
        std::string line;
        for (const RecordText* text : {&r.key, &r.value, &r.speakText})
            line += (*text ? "+" + std::string(text->view()) : std::string("-")) + "|";
        line += std::to_string(r.reserved) + "|" + std::to_string(r.callTime) + "|" +
                std::to_string(r.cipValue) + "|" + (r.hasTime ? "t" : "");
        out.push_back(line);
    }
    return out;
}

std::vector<const CallRecord*> Filter(const CallList& list, int64_t first, int64_t last) {
    std::vector<const CallRecord*> out;
    for (const CallRecord& r : list)
        if (r.callTime >= first && r.callTime <= last)
            out.push_back(&r);
    return out;
}

CallRecord Timed(int32_t time, uint32_t connectionId = 0) {
    CallRecord r;
    r.callTime = time;
    r.hasTime = true;
    r.connectionId = connectionId;
    r.key = "555";
    r.value = std::to_string(time);
    return r;
}

} // namespace

TEST(CallHistory, TextsHoldEveryByteValueInPlaceAndOnTheHeap) {
    // 15 bytes fit in the record, 16 do not: both sides, with the awkward bytes of the format.
    const std::string awkward = std::string("\x00\x0A\x0D\x1A\xFF", 5);
    for (size_t size : {0u, 1u, 14u, 15u, 16u, 17u, 300u}) {
        std::string bytes;
        for (size_t i = 0; i < size; ++i)
            bytes.push_back(awkward[i % awkward.size()]);
        RecordText text(bytes);
        ASSERT_TRUE(text.has_value());
        EXPECT_EQ(text.view(), bytes) << size;
        RecordText copy = text;
        RecordText moved = std::move(text);
        EXPECT_FALSE(text.has_value());
        EXPECT_EQ(copy, moved);
        copy = copy; // self-assignment keeps the text
        moved = RecordText("other");
        EXPECT_EQ(copy.view(), bytes);
        EXPECT_EQ(*moved, "other");
    }
    EXPECT_NE(RecordText(""), RecordText());
    EXPECT_EQ(RecordText(OptText()), RecordText(std::nullopt));
}

TEST(CallHistory, EveryByteValueRoundTripsThroughTheFile) {
    CallList list;
    CallRecord r;
    r.key = EveryByteBut('\0');
    r.value = std::string("ab\0cd", 5); // the format ends a text at its first zero
    r.speakText = "\r\n\x1a\xff\n";
    r.reserved = 0x0A0D0A1A;
    r.callTime = 0x0D0A0A0D;
    r.cipValue = -1;
    list.append(r);
    list.append(CallRecord{});
    const std::string disk = EncodeListFile(list);
    CallList back;
    const ListFileDecode decoded = DecodeListFile(disk, back);
    EXPECT_TRUE(decoded.complete);
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back.at(0)->key, r.key);
    EXPECT_EQ(back.at(0)->value, "ab");
    EXPECT_EQ(back.at(0)->speakText, r.speakText);
    EXPECT_EQ(back.at(0)->reserved, r.reserved);
    EXPECT_EQ(back.at(0)->callTime, r.callTime);
    EXPECT_EQ(back.at(0)->cipValue, -1);
    EXPECT_FALSE(back.at(1)->key.has_value());
    EXPECT_EQ(EncodeListFile(back), disk);
}

TEST(CallHistory, EveryVersionLoadsSavesAndLoadsAgainUnchanged) {
    TempDir dir;
    for (const char* name : {"version1.dat", "version2.dat", "version3.his", "line-ends.his",
                             "phonebook-example.dat"}) {
        CallList first;
        const ListFileLoad load = LoadListFile(first, Fixtures + "/" + name);
        ASSERT_TRUE(load.Clean()) << name;
        ASSERT_FALSE(first.empty()) << name;
        ASSERT_TRUE(SaveListFile(first, dir.file(name)));
        CallList second;
        ASSERT_TRUE(LoadListFile(second, dir.file(name)).Clean());
        std::vector<std::string> expected = Fields(first);
        // Saved as version 4, a record of an older version has its time (0) stored.
        for (std::string& line : expected)
            if (line.back() == '|')
                line += "t";
        EXPECT_EQ(Fields(second), expected) << name;
        if (load.decoded.version == ListFileVersion) {
            EXPECT_EQ(ReadBytes(dir.file(name)), ReadBytes(Fixtures + "/" + name)) << name;
        }
    }
}

TEST(CallHistory, ALongRandomHistoryIsWrittenBackByteForByte) {
    std::mt19937 random(18);
    CallList list;
    auto text = [&](size_t most) -> RecordText {
        if (random() % 8 == 0)
            return std::nullopt;
        std::string bytes(random() % (most + 1), '\0');
        for (char& c : bytes)
            c = static_cast<char>(1 + random() % 255);
        return bytes;
    };
    for (int i = 0; i < 5000; ++i) {
        CallRecord r;
        r.key = text(12);
        r.value = text(40);
        r.speakText = text(20);
        r.reserved = static_cast<int32_t>(random());
        r.callTime = static_cast<int32_t>(random());
        r.cipValue = static_cast<int32_t>(random());
        list.append(std::move(r));
    }
    TempDir dir;
    ASSERT_TRUE(SaveListFile(list, dir.file("caller.his")));
    const std::string disk = ReadBytes(dir.file("caller.his"));
    EXPECT_EQ(disk, EncodeListFile(list));
    CallList back;
    const ListFileLoad load = LoadListFile(back, dir.file("caller.his"));
    EXPECT_TRUE(load.Clean());
    EXPECT_EQ(Fields(back).size(), 5000u);
    ASSERT_TRUE(SaveListFile(back, dir.file("again.his")));
    EXPECT_EQ(ReadBytes(dir.file("again.his")), disk);

    // Damaged: cut inside the last record, the others load; a wild length keeps what was before.
    CallList cut;
    const ListFileDecode partial = DecodeListFile(disk.substr(0, disk.size() - 3), cut);
    EXPECT_FALSE(partial.complete);
    EXPECT_EQ(cut.size(), 5000u); // the last one cut short, kept as far as it was read
    std::vector<std::string> whole = Fields(back), kept = Fields(cut);
    EXPECT_TRUE(std::equal(whole.begin(), whole.end() - 1, kept.begin()));
}

// A long file is loaded a piece at a time: a 0x0D 0x0A pair split between two pieces is still
// one 0x0A, and a 0x0A alone first in a piece still tells that saving would not write the file
// as it is.
TEST(CallHistory, PiecesOfALoadMeetInsideALineEndOrBeforeALoneLineFeed) {
    TempDir dir;
    const size_t boundary = ListFileLoadPiece;
    // Records of `fill` bytes behind a key of `shift` bytes, enough for three pieces; the first
    // shift that puts the bytes `before` and `after` around the boundary is taken.
    auto make = [&](char fill, char before, char after) {
        for (int shift = 0; shift < 8; ++shift) {
            CallList list;
            CallRecord first;
            first.key = std::string(static_cast<size_t>(shift), 'k');
            list.append(std::move(first));
            while (list.size() < 8000) {
                CallRecord r;
                r.key = "0301234";
                r.value = std::string(397, fill);
                list.append(std::move(r));
            }
            std::string disk = EncodeListFile(list);
            if (disk.size() > 2 * boundary && disk[boundary - 1] == before &&
                disk[boundary] == after)
                return disk;
        }
        ADD_FAILURE() << "no shift puts the bytes around the boundary";
        return std::string();
    };
    auto load = [&](const std::string& disk, bool& savedAlike) {
        const std::string path = dir.file("caller.his");
        std::FILE* f = std::fopen(path.c_str(), "wb");
        std::fwrite(disk.data(), 1, disk.size(), f);
        std::fclose(f);
        CallList back;
        ListFileLoad loaded = LoadListFile(back, path, KeptFile::IfSavedAlike);
        EXPECT_TRUE(loaded.Clean());
        EXPECT_EQ(loaded.fileSize, disk.size());
        savedAlike = static_cast<bool>(loaded.savedAlike);
        return Fields(back);
    };
    auto decoded = [](const std::string& disk) {
        CallList list;
        DecodeListFile(disk, list);
        return Fields(list);
    };

    const std::string split = make('\n', '\r', '\n');
    bool savedAlike = false;
    const std::vector<std::string> fields = load(split, savedAlike);
    EXPECT_EQ(fields.size(), 8000u);
    EXPECT_EQ(fields, decoded(split));
    EXPECT_TRUE(savedAlike);

    std::string lone = make('x', 'x', 'x');
    lone[boundary] = '\n';
    EXPECT_EQ(load(lone, savedAlike), decoded(lone));
    EXPECT_FALSE(savedAlike);
}

// The load from a file, a piece at a time, must read damaged files exactly as the decoder of
// bytes in memory does: the same records, the same verdicts.
TEST(CallHistory, LoadingAFileReadsWhatDecodingItsBytesReads) {
    std::mt19937 random(99);
    CallList list;
    for (int i = 0; i < 12000; ++i) {
        CallRecord r;
        r.key = std::string(random() % 20, '\n');
        r.value = std::string(random() % 400, static_cast<char>(random() % 3 ? '\r' : 'x'));
        r.callTime = static_cast<int32_t>(random());
        list.append(std::move(r));
    }
    const std::string whole = EncodeListFile(list);
    ASSERT_GT(whole.size(), 2 * ListFileLoadPiece);
    TempDir dir;
    for (int trial = 0; trial < 24; ++trial) {
        std::string disk = trial < 12 ? whole.substr(0, random() % (whole.size() + 1))
                                      : std::string(random() % 64, '\0');
        for (int flips = static_cast<int>(random() % 4); flips > 0 && !disk.empty(); --flips)
            disk[random() % disk.size()] = static_cast<char>(random());
        if (trial >= 12)
            for (char& c : disk)
                c = "\r\n\x04\0\x01"[random() % 5];
        SCOPED_TRACE("trial " + std::to_string(trial) + ", " + std::to_string(disk.size()) +
                     " bytes");
        std::FILE* f = std::fopen(dir.file("caller.his").c_str(), "wb");
        std::fwrite(disk.data(), 1, disk.size(), f);
        std::fclose(f);
        CallList fromFile, fromBytes;
        const ListFileLoad load = LoadListFile(fromFile, dir.file("caller.his"));
        const ListFileDecode decoded = DecodeListFile(disk, fromBytes);
        EXPECT_EQ(load.fileSize, disk.size());
        EXPECT_EQ(load.decoded.added, decoded.added);
        EXPECT_EQ(load.decoded.version, decoded.version);
        EXPECT_EQ(load.decoded.complete, decoded.complete);
        EXPECT_EQ(load.decoded.canonical, decoded.canonical);
        EXPECT_EQ(load.decoded.whole, decoded.whole);
        EXPECT_EQ(Fields(fromFile), Fields(fromBytes));
    }
}

// A file cut anywhere (a CR LF pair split too) counts as whole exactly the records whose bytes
// are all there; the start-up repair of a torn append finds the cut from that count.
TEST(CallHistory, ACutFileCountsTheRecordsReadWhole) {
    CallList list;
    for (int i = 0; i < 3; ++i) {
        CallRecord r = Timed(0x0A0A0A0A + i);
        r.key = std::string(static_cast<size_t>(i), '\n') + "555";
        list.append(std::move(r));
    }
    std::string whole = EncodeListFile(CallList());
    std::vector<size_t> ends;
    for (const CallRecord& r : list) {
        AppendRecordBytes(whole, r);
        ends.push_back(whole.size());
    }
    ASSERT_EQ(whole, EncodeListFile(list));
    TempDir dir;
    for (size_t cut = 4; cut <= whole.size(); ++cut) {
        SCOPED_TRACE(cut);
        std::FILE* f = std::fopen(dir.file("caller.his").c_str(), "wb");
        std::fwrite(whole.data(), 1, cut, f);
        std::fclose(f);
        CallList read;
        const ListFileLoad load = LoadListFile(read, dir.file("caller.his"));
        const auto expected = static_cast<size_t>(
            std::count_if(ends.begin(), ends.end(), [cut](size_t end) { return end <= cut; }));
        EXPECT_EQ(load.decoded.whole, expected);
        EXPECT_TRUE(load.lineEndsAsSaved);
    }
    // A 0x0A without its 0x0D is not as a save writes it.
    std::string lone = whole;
    lone.erase(lone.find("\r\n"), 1);
    std::FILE* f = std::fopen(dir.file("lone.his").c_str(), "wb");
    std::fwrite(lone.data(), 1, lone.size(), f);
    std::fclose(f);
    CallList read;
    EXPECT_FALSE(LoadListFile(read, dir.file("lone.his")).lineEndsAsSaved);
}

TEST(CallHistory, TimeLookupsMatchAPlainFilterWithCallsOutOfOrder) {
    CallList list;
    const int32_t start = 1'700'000'000;
    std::vector<CallRecord*> removed;
    for (int i = 0; i < 3000; ++i) {
        CallRecord* r = list.append(Timed(start + i * 60, static_cast<uint32_t>(i % 7)));
        if (i % 500 == 250)
            removed.push_back(r);
        if (i == 1000)
            list.append(Timed(start - 86400)); // a clock that was a day behind
        if (i == 2000)
            list.append(Timed(start + 50'000'000)); // and one far ahead
    }
    list.append(Timed(0)); // a record of an old file at the end
    for (CallRecord* r : removed)
        list.remove(r);
    CallRecord* latest = list.append(Timed(start + 3000 * 60, 3));

    const std::vector<std::pair<int64_t, int64_t>> ranges = {
        {start, start + 86400},
        {start - 86400, start - 86400},
        {start + 59, start + 61},
        {start + 15'000, start + 15'000},
        {0, 0},
        {start + 179'940, INT64_MAX},
        {INT64_MIN, INT64_MAX},
        {start + 50'000'000, start + 50'000'000},
        {start + 10, start + 5},
        {start + 900'000, start + 1'000'000}};
    for (auto [first, last] : ranges) {
        const auto found = std::as_const(list).inTimeRange(first, last);
        EXPECT_EQ(found, Filter(list, first, last)) << first << ".." << last;
    }
    // The repeat check: made less than five seconds before now, or after it.
    const std::time_t now = start + 3000 * 60 + 4;
    EXPECT_EQ(list.findRepeat(3, now), latest);
    EXPECT_EQ(list.findRepeat(3, now + 1), nullptr);
    EXPECT_EQ(list.findRepeat(0, start + 50'000'000 - 3600),
              Filter(list, start + 50'000'000, start + 50'000'000)[0]);
}

TEST(CallHistory, RemovedRecordsLeaveOthersInPlaceAndTheRestUsable) {
    CallList list;
    std::vector<CallRecord*> kept;
    for (int i = 0; i < 600; ++i)
        kept.push_back(list.append(Timed(1000 + i)));
    CallRecord* gone = kept[300];
    gone->key = "9999"; // the only record with this key
    list.remove(gone);
    kept.erase(kept.begin() + 300);
    EXPECT_EQ(list.size(), 599u);
    EXPECT_EQ(list.findByKey("9999"), nullptr);
    EXPECT_EQ(list.at(300), kept[300]);
    CallList moved = std::move(list);
    size_t i = 0;
    for (CallRecord& r : moved)
        EXPECT_EQ(&r, kept[i++]);
    EXPECT_EQ(i, 599u);
    auto it = moved.end();
    --it;
    EXPECT_EQ(&*it, kept.back());
    EXPECT_EQ(std::prev(moved.end(), 300)->callTime, 1299); // backwards over the gap

    // A removed record is no repeat: the one before it with the same connection is.
    CallRecord* first = moved.append(Timed(5000, 42));
    moved.remove(moved.append(Timed(5001, 42)));
    EXPECT_EQ(moved.findRepeat(42, 5003), first);
}

TEST(CallHistory, TimeTextFollowsTheTimeZoneInForce) {
    const char* saved = std::getenv("TZ");
    const std::string before = saved ? saved : "";
    CallRecord r = Timed(962974800); // 2000-07-07 13:00 UTC
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    EXPECT_EQ(r.timeText(), "2000-07-07 13:00:00");
    ::setenv("TZ", "Europe/Berlin", 1);
    ::tzset();
    EXPECT_EQ(r.timeText(), "2000-07-07 15:00:00"); // summer time
    r.hasTime = false;
    EXPECT_FALSE(r.timeText().has_value());
    if (saved)
        ::setenv("TZ", before.c_str(), 1);
    else
        ::unsetenv("TZ");
    ::tzset();
}
