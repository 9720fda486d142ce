#include "core/IncomingCallRepeats.h"
#include "HandlerTestSupport.h"
#include "core/IncomingCallHistory.h"
#include "data/ListFile.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <random>
#include <unistd.h>

namespace {

CallRecord Call(int32_t time, uint32_t plci, const std::string& caller = "0123") {
    CallRecord record;
    record.callTime = time;
    record.connectionId = plci;
    record.key = "555";
    record.value = caller;
    record.repeatCount = 1;
    return record;
}

IncomingCallNotice NoticeFor(uint32_t plci) {
    IncomingCallNotice notice;
    notice.connectionId = plci;
    return notice;
}

TEST(RepeatFinderTest, FindsOnlyWithinFiveSeconds) {
    CallList list;
    list.append(Call(1000, 7));
    RepeatFinder finder(list);
    EXPECT_EQ(finder.Find(NoticeFor(7), 1004), &*list.begin());
    EXPECT_EQ(finder.Find(NoticeFor(7), 1005), nullptr);
    EXPECT_EQ(finder.Find(NoticeFor(8), 1001), nullptr);
    // A record from the future counts as recent, as a negative difference is less than 5.
    EXPECT_EQ(finder.Find(NoticeFor(7), 900), &*list.begin());
}

TEST(RepeatFinderTest, LastMatchWinsAcrossOldAndNewRecords) {
    CallList list;
    list.append(Call(1000, 7, "first"));
    RepeatFinder finder(list);
    list.append(Call(1001, 7, "second"));
    EXPECT_EQ(finder.Find(NoticeFor(7), 1002)->value, "second");
}

// The finder must give exactly what walking the whole list gives, whatever the clock does:
// compare both on random histories with times going back and forth, records appended and
// removed behind the finder's back, and plenty of old records.
TEST(RepeatFinderTest, AgreesWithTheFullWalk) {
    std::mt19937 random(4711);
    for (int round = 0; round < 20; ++round) {
        CallList list;
        const int loaded = std::uniform_int_distribution<int>(0, 600)(random);
        for (int i = 0; i < loaded; ++i)
            list.append(Call(10000 + i * 3 + std::uniform_int_distribution<int>(-20, 20)(random),
                             std::uniform_int_distribution<uint32_t>(1, 12)(random)));
        RepeatFinder finder(list);
        int32_t now = 10000 + loaded * 3;
        for (int step = 0; step < 800; ++step) {
            now += std::uniform_int_distribution<int>(-4, 6)(random);
            const IncomingCallNotice notice =
                NoticeFor(std::uniform_int_distribution<uint32_t>(1, 12)(random));
            CallRecord* expected = list.findRepeat(notice.connectionId, now);
            ASSERT_EQ(finder.Find(notice, now), expected) << "round " << round << " step " << step;
            const int action = std::uniform_int_distribution<int>(0, 99)(random);
            if (!expected && action < 70)
                list.append(Call(now, notice.connectionId));
            else if (action == 70 && !list.empty())
                list.remove(&*std::prev(list.end()));
            else if (action == 71 && !list.empty())
                list.remove(&*list.begin());
            else if (action == 72)
                now -= 3000; // the clock is set back
        }
    }
}

class HistoryWriterTest : public ::testing::Test {
protected:
    TempDataDir dir;
};

TEST_F(HistoryWriterTest, IncrementalSavesEqualAFullEncoding) {
    CallList list;
    list.append(Call(1000, 1));
    HistoryWriter writer;
    writer.Prepare(list);
    for (int i = 0; i < 30; ++i) {
        // Times and lengths with the byte 0x0A, which the file stores as 0x0D 0x0A.
        list.append(Call(0x0A0A + i, 2, std::string(10 + i, 'x')));
        writer.RequestSave(list, "caller.his");
    }
    writer.Flush();
    EXPECT_EQ(dir.Read("caller.his"), EncodeListFile(list));
    const HistoryWriter::Counts counts = writer.Written();
    EXPECT_GE(counts.written, 1u);
    EXPECT_LE(counts.written, 30u);
    EXPECT_EQ(counts.failed, 0u);
}

TEST_F(HistoryWriterTest, ListChangedBehindTheWriterIsWrittenWhole) {
    CallList list;
    for (int i = 0; i < 5; ++i)
        list.append(Call(1000 + i, i));
    HistoryWriter writer;
    writer.RequestSave(list, "caller.his");
    list.remove(&*std::prev(list.end()));
    list.append(Call(2000, 9, "replacement"));
    writer.RequestSave(list, "caller.his");
    writer.Flush();
    EXPECT_EQ(dir.Read("caller.his"), EncodeListFile(list));
    list.clear();
    writer.RequestSave(list, "caller.his");
    writer.Flush();
    EXPECT_EQ(dir.Read("caller.his"), std::string("\x04\0\0\0", 4));
}

// The writer does not hold the file's bytes: it copies the file it wrote last (or the one it
// was handed at start-up), kept open. Whatever happens to the name meanwhile, what it writes is
// the whole list.
TEST_F(HistoryWriterTest, SavesStartFromTheKeptFileWhateverBecomesOfItsName) {
    CallList list;
    for (int i = 0; i < 3; ++i)
        list.append(Call(0x0A0A + i, i, std::string(10, '\n')));
    ASSERT_TRUE(SaveListFile(list, "caller.his"));
    FileHandle loaded(::open("caller.his", O_RDONLY | O_CLOEXEC));
    const size_t loadedSize = dir.Read("caller.his").size();
    HistoryWriter writer;
    writer.Prepare(list, std::move(loaded), loadedSize);

    // Another file put in its place.
    std::filesystem::remove("caller.his");
    { std::ofstream("caller.his") << "something else"; }
    list.append(Call(3000, 7));
    writer.RequestSave(list, "caller.his");
    writer.Flush();
    EXPECT_EQ(dir.Read("caller.his"), EncodeListFile(list));

    // The file the writer wrote cut short in place: that save cannot be made from it, and the
    // next request writes the list whole.
    ASSERT_EQ(::truncate("caller.his", 3), 0);
    list.append(Call(3001, 8));
    writer.RequestSave(list, "caller.his");
    writer.Flush();
    writer.RequestSave(list, "caller.his");
    writer.Flush();
    EXPECT_EQ(dir.Read("caller.his"), EncodeListFile(list));

    // Another directory gets the whole list, not an addition to the last file.
    std::filesystem::create_directory("elsewhere");
    list.append(Call(3002, 9));
    writer.RequestSave(list, "elsewhere/caller.his");
    writer.Flush();
    EXPECT_EQ(dir.Read("elsewhere/caller.his"), EncodeListFile(list));
    EXPECT_EQ(writer.Written().failed, 0u);
}

TEST_F(HistoryWriterTest, FailedSaveKeepsTheOldFileAndIsCounted) {
    CallList list;
    list.append(Call(1000, 1));
    HistoryWriter writer;
    writer.RequestSave(list, "caller.his");
    writer.Flush();
    const std::string before = dir.Read("caller.his");
    writer.RequestSave(list, "no-such-dir/caller.his");
    writer.Flush();
    EXPECT_EQ(writer.Written().failed, 1u);
    EXPECT_EQ(dir.Read("caller.his"), before);
}

TEST_F(HistoryWriterTest, DestructionWritesWhatIsPending) {
    CallList list;
    list.append(Call(1000, 1));
    {
        HistoryWriter writer;
        writer.RequestSave(list, "caller.his");
    }
    EXPECT_EQ(dir.Read("caller.his"), EncodeListFile(list));
}

} // namespace
