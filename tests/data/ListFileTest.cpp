#include "data/ListFile.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

const std::string Fixtures = TAVO_FIXTURES_DIR;

std::string Bytes(std::initializer_list<int> values) {
    std::string out;
    for (int v : values)
        out.push_back(static_cast<char>(v));
    return out;
}

CallList Decode(const std::string& disk) {
    CallList list;
    DecodeListFile(disk, list);
    return list;
}

CallList LoadFixture(const std::string& name) {
    CallList list;
    std::string error;
    EXPECT_TRUE(LoadExistingListFile(list, Fixtures + "/" + name, error)) << error;
    return list;
}

// Time zone fixed for texts built from callTime; restored afterwards.
class ListFileInUtc : public ::testing::Test {
protected:
    void SetUp() override {
        const char* tz = std::getenv("TZ");
        if (tz)
            saved = tz;
        ::setenv("TZ", "UTC", 1);
        ::tzset();
    }
    void TearDown() override {
        if (saved)
            ::setenv("TZ", saved->c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    }
    std::optional<std::string> saved;
};

} // namespace

TEST(ListFile, PhoneBookExampleIsExactlyFortyBytes) {
    CallList book;
    CallRecord entry;
    entry.key = "123";
    entry.value = "Office";
    entry.speakText = "";
    book.append(entry);
    const std::string expected =
        Bytes({0x04, 0, 0,    0,    0x04, 0,    0,    0,    0x31, 0x32, 0x33, 0, 0x07, 0,
               0,    0, 0x4F, 0x66, 0x66, 0x69, 0x63, 0x65, 0,    0,    0,    0, 0,    0x01,
               0,    0, 0,    0,    0,    0,    0,    0,    0,    0,    0,    0});
    EXPECT_EQ(EncodeListFile(book), expected);
    EXPECT_EQ(ReadBytes(Fixtures + "/phonebook-example.dat"), expected);
}

TEST(ListFile, AbsentAndEmptyTextsDifferOnDisk) {
    CallList list;
    CallRecord r;
    r.key = std::nullopt;
    r.value = "";
    list.append(r);
    // version, key length 0, value length 1 + zero byte, ...
    EXPECT_EQ(EncodeListFile(list).substr(4, 9), Bytes({0, 0, 0, 0, 1, 0, 0, 0, 0}));
    CallList back = Decode(EncodeListFile(list));
    ASSERT_EQ(back.size(), 1u);
    EXPECT_FALSE(back.at(0)->key.has_value());
    ASSERT_TRUE(back.at(0)->value.has_value());
    EXPECT_EQ(*back.at(0)->value, "");
}

TEST_F(ListFileInUtc, SaveAndLoadRoundTripEveryStoredField) {
    TempDir dir;
    CallList calls;
    CallRecord r;
    r.key = "555";
    r.value = "0301234";
    r.speakText = "caller\twith\\odd\rbytes\n\x1a\xff";
    r.reserved = -2;
    r.callTime = 947941407; // 2000-01-15 13:03:27 UTC
    r.cipValue = 16;
    r.repeatCount = 3;
    r.connectionId = 0x10101;
    calls.append(r);
    CallRecord min;
    min.callTime = INT32_MIN;
    min.reserved = INT32_MAX;
    min.cipValue = -1;
    calls.append(min);
    ASSERT_TRUE(SaveListFile(calls, dir.file("caller.his")));

    CallList back;
    LoadListFile(back, dir.file("caller.his"));
    ASSERT_EQ(back.size(), 2u);
    const CallRecord& a = *back.at(0);
    EXPECT_EQ(a.key, r.key);
    EXPECT_EQ(a.value, r.value);
    EXPECT_EQ(a.speakText, r.speakText);
    EXPECT_EQ(a.reserved, -2);
    EXPECT_EQ(a.callTime, 947941407);
    EXPECT_EQ(a.cipValue, 16);
    EXPECT_EQ(a.timeText(), "2000-01-15 13:03:27");
    EXPECT_EQ(a.repeatCount, 0);
    EXPECT_EQ(a.connectionId, 0u);
    const CallRecord& b = *back.at(1);
    EXPECT_FALSE(b.key || b.value || b.speakText);
    EXPECT_EQ(b.callTime, INT32_MIN);
    EXPECT_EQ(b.reserved, INT32_MAX);
    EXPECT_EQ(b.cipValue, -1);
}

TEST(ListFile, EveryLineFeedIsStoredWithACarriageReturn) {
    CallList list;
    CallRecord r;
    r.key = "123456789"; // length 10 = 0x0A
    r.callTime = 0x0A0A0A0A;
    list.append(r);
    const std::string disk = EncodeListFile(list);
    EXPECT_EQ(disk.substr(4, 5), Bytes({0x0D, 0x0A, 0, 0, 0}));
    // version 4 + length 5 + text 10 + value 4 + reserved 4 + speak 4 + time 8 + cip 4
    EXPECT_EQ(disk.size(), 43u);
    EXPECT_EQ(disk.substr(31, 8), Bytes({0x0D, 0x0A, 0x0D, 0x0A, 0x0D, 0x0A, 0x0D, 0x0A}));
    CallList back = Decode(disk);
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back.at(0)->key, "123456789");
    EXPECT_EQ(back.at(0)->callTime, 0x0A0A0A0A);
}

TEST(ListFile, ReadingTranslatesOnlyCarriageReturnLineFeedPairs) {
    EXPECT_EQ(StripLineEnds(Bytes({0x0D, 0x0A})), "\n");
    EXPECT_EQ(StripLineEnds(Bytes({0x0D, 0x0D, 0x0A})), "\r\n");
    EXPECT_EQ(StripLineEnds(Bytes({0x0D, 0x41, 0x0D})), "\rA\r");
    EXPECT_EQ(StripLineEnds(Bytes({0x0A, 0x1A, 0x0A})), Bytes({0x0A, 0x1A, 0x0A}));
    std::string disk;
    AppendWithLineEnds(disk, "\r\n\n");
    EXPECT_EQ(disk, "\r\r\n\r\n");
}

TEST_F(ListFileInUtc, LineEndAndEndOfTextBytesFixture) {
    CallList list = LoadFixture("line-ends.his");
    ASSERT_EQ(list.size(), 1u);
    const CallRecord& r = *list.at(0);
    EXPECT_EQ(r.key, "123456789");
    EXPECT_EQ(r.value, "a\nb\x1a"
                       "c\rd");
    EXPECT_EQ(r.reserved, 0x0A1A0A0D);
    EXPECT_EQ(r.speakText, "\n");
    EXPECT_EQ(r.callTime, 0x0A0A0A0A);
    EXPECT_EQ(r.cipValue, 0x1A);
    // Written back, the file is the same bytes.
    EXPECT_EQ(EncodeListFile(list), ReadBytes(Fixtures + "/line-ends.his"));
}

TEST(ListFile, VersionOneHasKeyValueAndReservedOnly) {
    CallList list = LoadFixture("version1.dat");
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list.at(0)->key, "0301234");
    EXPECT_EQ(list.at(0)->value, "Anna");
    EXPECT_EQ(list.at(0)->reserved, 7);
    EXPECT_FALSE(list.at(0)->speakText.has_value());
    EXPECT_FALSE(list.at(0)->timeText().has_value());
    EXPECT_EQ(list.at(0)->callTime, 0);
    EXPECT_EQ(list.at(1)->key, "0409999");
    EXPECT_FALSE(list.at(1)->value.has_value());
}

TEST(ListFile, VersionTwoAddsSpeakText) {
    CallList list = LoadFixture("version2.dat");
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list.at(0)->speakText, "Auntie Anna");
    EXPECT_EQ(list.at(1)->value, "");
    EXPECT_EQ(list.at(1)->reserved, -1);
    EXPECT_FALSE(list.at(1)->speakText.has_value());
    EXPECT_FALSE(list.at(1)->timeText().has_value());
}

TEST_F(ListFileInUtc, VersionThreeAddsCallTime) {
    CallList list = LoadFixture("version3.his");
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list.at(0)->callTime, 947941407);
    EXPECT_EQ(list.at(0)->timeText(), "2000-01-15 13:03:27");
    EXPECT_EQ(list.at(0)->cipValue, 0);
}

TEST(ListFile, VersionsAboveFourAndEmptyFilesLoadNothing) {
    EXPECT_TRUE(LoadFixture("version5.his").empty());
    EXPECT_TRUE(Decode("").empty());
    EXPECT_TRUE(Decode(Bytes({4, 0, 0})).empty());
    // Version 0 and negative versions read like version 1.
    std::string v0 = Bytes({0xFF, 0xFF, 0xFF, 0xFF, 2, 0, 0, 0, 'x', 0, 0, 0, 0, 0, 3, 0, 0, 0});
    CallList list = Decode(v0);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list.at(0)->key, "x");
    EXPECT_EQ(list.at(0)->reserved, 3);
}

TEST(ListFile, FileCutShortKeepsWhatWasRead) {
    CallList list = LoadFixture("cut-short.his");
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list.at(1)->cipValue, 16);
    const CallRecord& cut = *list.at(2);
    EXPECT_EQ(cut.key, "557");
    EXPECT_FALSE(cut.value.has_value());
    EXPECT_EQ(cut.reserved, 0);
    EXPECT_EQ(cut.callTime, 0);
    EXPECT_FALSE(cut.timeText().has_value());
}

TEST(ListFile, FileEndingAfterAWholeRecordAddsNoExtraOne) {
    std::string disk = ReadBytes(Fixtures + "/cut-short.his");
    // Drop the third record: key 3+1+4 bytes, then the cut value (4 + 5 bytes).
    disk.resize(disk.size() - 8 - 9);
    EXPECT_EQ(Decode(disk).size(), 2u);
}

TEST(ListFile, EveryShorterCutKeepsOnlyReadRecords) {
    CallList full;
    for (int i = 0; i < 3; ++i) {
        CallRecord r;
        r.key = std::string(static_cast<size_t>(9 + i), 'k'); // lengths 10, 11, 12
        r.value = "v";
        r.callTime = 0x0A + i;
        r.cipValue = i;
        full.append(r);
    }
    const std::string disk = EncodeListFile(full);
    size_t previous = 0;
    for (size_t cut = 0; cut <= disk.size(); ++cut) {
        CallList part = Decode(disk.substr(0, cut));
        ASSERT_LE(part.size(), 3u) << cut;
        ASSERT_GE(part.size(), previous) << cut;
        previous = part.size();
        size_t i = 0;
        for (const CallRecord& r : part) {
            // A kept key is always whole; later fields are whole or empty.
            ASSERT_EQ(r.key, full.at(i)->key) << cut;
            if (r.value) {
                ASSERT_EQ(r.value, "v") << cut;
            }
            ++i;
        }
    }
    EXPECT_EQ(previous, 3u);
}

TEST(ListFile, ImpossibleLengthsEndTheLoadWithoutReadingFurther) {
    // version 4; key "a"; value absent; reserved, speakText absent, callTime, cipValue all 0
    const std::string good = Bytes({4, 0, 0, 0, 2, 0, 0, 0, 'a', 0}) + std::string(20, '\0');
    const std::string negativeValue = Bytes({2, 0, 0, 0, 'b', 0, 0xFE, 0xFF, 0xFF, 0xFF});
    CallList list = Decode(good + negativeValue + std::string(64, '\x01'));
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list.at(1)->key, "b");
    EXPECT_FALSE(list.at(1)->value.has_value());
    EXPECT_EQ(list.at(1)->reserved, 0);

    // A key claiming 2 GB in a tiny file is dropped like a key cut short.
    CallList huge = Decode(good + Bytes({0xFF, 0xFF, 0xFF, 0x7F, 'x', 0}));
    EXPECT_EQ(huge.size(), 1u);
}

TEST(ListFile, TextWithoutItsZeroByteKeepsAllItsBytes) {
    CallList list = Decode(Bytes({1, 0, 0, 0, 3, 0, 0, 0, 'a', 'b', 'c', 0, 0, 0, 0, 9, 0, 0, 0}));
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list.at(0)->key, "abc");
    EXPECT_EQ(list.at(0)->reserved, 9);
}

TEST(ListFile, LoadAppendsAndCreatesAMissingFile) {
    TempDir dir;
    CallList list;
    list.append(CallRecord{});
    LoadListFile(list, dir.file("names.dat"));
    EXPECT_EQ(list.size(), 1u);
    EXPECT_TRUE(Exists(dir.file("names.dat")));
    EXPECT_EQ(ReadBytes(dir.file("names.dat")), "");

    std::string error;
    EXPECT_FALSE(LoadExistingListFile(list, dir.file("msn.dat"), error));
    EXPECT_FALSE(Exists(dir.file("msn.dat")));
    EXPECT_NE(error.find("msn.dat"), std::string::npos);
    EXPECT_FALSE(LoadExistingListFile(list, dir.path(), error));
}

TEST(ListFile, SaveReplacesTheWholeFileAndLeavesNoTemporary) {
    TempDir dir;
    WriteBytes(dir.file("msn.dat"), std::string(500, 'x'));
    ::chmod(dir.file("msn.dat").c_str(), 0640);
    CallList list;
    CallRecord r;
    r.key = "1";
    list.append(r);
    ASSERT_TRUE(SaveListFile(list, dir.file("msn.dat")));
    EXPECT_EQ(ReadBytes(dir.file("msn.dat")), EncodeListFile(list));
    struct stat st {};
    ASSERT_EQ(::stat(dir.file("msn.dat").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);

    // A new file follows the umask.
    const mode_t mask = ::umask(027);
    const bool saved = SaveListFile(list, dir.file("names.dat"));
    ::umask(mask);
    ASSERT_TRUE(saved);
    ASSERT_EQ(::stat(dir.file("names.dat").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST(ListFile, SaveFollowsASymbolicLink) {
    TempDir dir;
    WriteBytes(dir.file("real.his"), "old");
    ::symlink("real.his", dir.file("caller.his").c_str());
    CallList list;
    ASSERT_TRUE(SaveListFile(list, dir.file("caller.his")));
    EXPECT_EQ(ReadBytes(dir.file("real.his")), Bytes({4, 0, 0, 0}));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file("caller.his")));
}

TEST(ListFile, FailedSaveKeepsTheOldFile) {
    TempDir dir;
    const std::string old = ReadBytes(Fixtures + "/cut-short.his");
    WriteBytes(dir.file("caller.his"), old);
    CallList big;
    CallRecord r;
    r.key = std::string(4000, 'k');
    for (int i = 0; i < 10; ++i)
        big.append(r);

    // A disk that fills up part-way: the file size limit makes the write fail.
    struct rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 1000;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool saved_ok = SaveListFile(big, dir.file("caller.his"));
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);

    EXPECT_FALSE(saved_ok);
    EXPECT_EQ(ReadBytes(dir.file("caller.his")), old);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);

    // A directory that does not exist cannot be written either.
    EXPECT_FALSE(SaveListFile(big, dir.file("no-such-dir/caller.his")));
}

TEST_F(ListFileInUtc, CallTimeTextCoversTheWholeRange) {
    EXPECT_EQ(FormatCallTime(0), "1970-01-01 00:00:00");
    EXPECT_EQ(FormatCallTime(951782400), "2000-02-29 00:00:00");
    EXPECT_EQ(FormatCallTime(INT32_MAX), "2038-01-19 03:14:07");
    EXPECT_EQ(FormatCallTime(INT32_MIN), "1901-12-13 20:45:52");
    EXPECT_EQ(FormatCallTime(-1), "1969-12-31 23:59:59");
}

TEST_F(ListFileInUtc, CallTimeTextIsLocalTime) {
    ::setenv("TZ", "Europe/Berlin", 1);
    ::tzset();
    EXPECT_EQ(FormatCallTime(947941407), "2000-01-15 14:03:27");
    EXPECT_EQ(FormatCallTime(962974800), "2000-07-07 15:00:00"); // 13:00 UTC in summer time
}
