// "caller.his" kept current by appending each call's bytes: what is on the disk after any number
// of calls, an append a crash cut short, a disk that fills up, a history from an older version,
// and kill -9 at any moment.
#include "HandlerTestSupport.h"

#include "core/HistoryJournal.h"
#include "core/HistoryLoad.h"
#include "core/IncomingCallHistory.h"
#include "data/ListFile.h"
#include "platform/ShowMessage.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

CallRecord Call(int32_t time, const std::string& calling, const std::string& called = "555") {
    CallRecord record;
    record.key = called;
    record.value = calling;
    record.callTime = time;
    record.hasTime = true;
    record.cipValue = 16;
    record.repeatCount = 1;
    return record;
}

void Write(const std::string& name, const std::string& bytes) {
    std::ofstream(name, std::ios::binary | std::ios::trunc) << bytes;
}

ino_t Inode(const std::string& name) {
    struct stat st {};
    return ::stat(name.c_str(), &st) == 0 ? st.st_ino : 0;
}

std::vector<std::string> Aside(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir))
        if (entry.path().filename().string().find(".damaged-") != std::string::npos)
            names.push_back(entry.path().filename().string());
    return names;
}

std::string BytesOf(const CallRecord& record) {
    std::string bytes;
    AppendRecordBytes(bytes, record);
    return bytes;
}

class HistoryAppend : public ::testing::Test {
protected:
    void SetUp() override { UseUtc(); }
    TempDataDir dir;
};

TEST_F(HistoryAppend, BytesAfterEachCallAreAFreshSaveAndTheFileIsNeverReplaced) {
    CallList list;
    list.append(Call(1000, "0301"));
    ASSERT_TRUE(SaveListFile(list, "caller.his"));
    CallList loaded;
    HistoryLoadResult load = LoadCallHistory(loaded, "caller.his", 0);
    ASSERT_TRUE(load.savedFile);
    const ino_t inode = Inode("caller.his");
    HistoryWriter writer;
    writer.Prepare(loaded, std::move(load.savedFile), load.savedSize);
    for (int i = 0; i < 40; ++i) {
        // Times and texts with the byte 0x0A, which the file stores as 0x0D 0x0A, and texts
        // longer than fit in a record's own bytes.
        loaded.append(Call(0x0A0A + i, std::string(static_cast<size_t>(i), '\n') + "x",
                           std::string(static_cast<size_t>(i % 20), '7')));
        writer.RequestSave(loaded, "caller.his");
        if (i % 7 == 0) {
            writer.Flush();
            EXPECT_EQ(dir.Read("caller.his"), EncodeListFile(loaded)) << i;
        }
    }
    writer.Flush();
    EXPECT_EQ(dir.Read("caller.his"), EncodeListFile(loaded));
    EXPECT_EQ(Inode("caller.his"), inode);
    HistoryWriter::Counts counts = writer.Written();
    EXPECT_EQ(counts.written, 0u);
    EXPECT_GE(counts.appended, 6u);
    EXPECT_EQ(counts.failed, 0u);

    // A repeat notice changes nothing that is stored: nothing is written.
    const auto modified = fs::last_write_time("caller.his");
    writer.RequestSave(loaded, "caller.his");
    writer.Flush();
    EXPECT_EQ(writer.Written().appended, counts.appended);
    EXPECT_EQ(fs::last_write_time("caller.his"), modified);
}

TEST_F(HistoryAppend, AHistoryFromAnOlderVersionIsRewrittenWholeOnceThenAppendedTo) {
    const fs::path fixture = fs::path(TAVO_FIXTURES_DIR) / "version3.his";
    fs::copy_file(fixture, "caller.his");
    const std::string old = dir.Read("caller.his");
    CallList list;
    HistoryLoadResult load = LoadCallHistory(list, "caller.his", 0);
    ASSERT_TRUE(load.messages.empty());
    ASSERT_GT(list.size(), 0u);
    EXPECT_FALSE(load.savedFile);
    const ino_t oldInode = Inode("caller.his");

    HistoryWriter writer;
    writer.Prepare(list, std::move(load.savedFile), load.savedSize);
    list.append(Call(5000, "0401"));
    writer.RequestSave(list, "caller.his");
    writer.Flush();
    // A new file in version 4, not version 3 bytes with a version 4 record after them.
    const std::string rewritten = dir.Read("caller.his");
    EXPECT_EQ(rewritten, EncodeListFile(list));
    EXPECT_NE(rewritten.substr(0, old.size()), old);
    EXPECT_NE(Inode("caller.his"), oldInode);
    EXPECT_EQ(writer.Written().written, 1u);

    const ino_t newInode = Inode("caller.his");
    list.append(Call(5001, "0402"));
    writer.RequestSave(list, "caller.his");
    writer.Flush();
    EXPECT_EQ(dir.Read("caller.his"), EncodeListFile(list));
    EXPECT_EQ(Inode("caller.his"), newInode);
    EXPECT_EQ(writer.Written().appended, 1u);
}

// The writer died while appending: the file ends in the first bytes of a record the journal
// holds. Cut anywhere (a CR LF split in two too), start-up puts it right without calling it
// damaged.
TEST_F(HistoryAppend, TornTailOfEachLengthIsRepairedFromTheJournal) {
    CallList saved;
    saved.append(Call(1000, "0301"));
    saved.append(Call(2000, "0302\n"));
    CallList journal;
    journal.append(Call(3000, "0303"));
    journal.append(Call(0x0A0A0A0A, "\n\n0304", "556"));
    journal.append(Call(3002, "0305", "555"));
    const std::string base = EncodeListFile(saved);
    std::string appended, journalBytes;
    std::vector<size_t> boundaries{0};
    for (const CallRecord& record : journal) {
        appended += BytesOf(record);
        journalBytes += JournalEntry(record);
        boundaries.push_back(appended.size());
    }
    CallList expected;
    expected.assign(saved);
    for (const CallRecord& record : journal)
        expected.append(record);
    const std::string repaired = EncodeListFile(expected);

    for (size_t cut = 1; cut < appended.size(); ++cut) {
        if (std::find(boundaries.begin(), boundaries.end(), cut) != boundaries.end())
            continue; // a whole record is no torn tail
        SCOPED_TRACE(cut);
        for (const auto& entry : fs::directory_iterator(dir.Path()))
            fs::remove_all(entry.path());
        Write("caller.his", base + appended.substr(0, cut));
        Write("caller.his.journal", journalBytes);
        const ino_t inode = Inode("caller.his");
        CallList list;
        HistoryLoadResult result = LoadCallHistory(list, "caller.his", 1765250100);
        EXPECT_TRUE(result.messages.empty()) << result.messages.front();
        EXPECT_TRUE(result.saveAllowed);
        EXPECT_TRUE(Aside(dir.Path()).empty());
        ASSERT_EQ(dir.Read("caller.his"), repaired);
        EXPECT_EQ(EncodeListFile(list), repaired);
        // Put right in place, and handed on for the next calls to be appended to.
        EXPECT_EQ(Inode("caller.his"), inode);
        EXPECT_EQ(result.savedSize, repaired.size());
        EXPECT_TRUE(result.savedFile);
        EXPECT_FALSE(dir.Exists("caller.his.journal"));
    }
}

TEST_F(HistoryAppend, ACutTailThatNoJournalExplainsIsStillDamage) {
    CallList saved;
    saved.append(Call(1000, "0301"));
    saved.append(Call(2000, "0302"));
    const std::string base = EncodeListFile(saved);
    const std::string next = BytesOf(Call(3000, "0303"));
    struct Case {
        const char* name;
        std::string tail;
        bool journal;
    };
    const std::vector<Case> cases = {
        {"no journal", next.substr(0, 9), false},
        {"bytes that do not begin the journal's record", std::string(9, '\x7f'), true},
        {"zeros", std::string(9, '\0'), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const auto& entry : fs::directory_iterator(dir.Path()))
            fs::remove_all(entry.path());
        Write("caller.his", base + c.tail);
        if (c.journal)
            Write("caller.his.journal", JournalEntry(Call(3000, "0303")));
        CallList list;
        HistoryLoadResult result = LoadCallHistory(list, "caller.his", 1765250100);
        ASSERT_EQ(result.messages.size(), 1u);
        const std::vector<std::string> aside = Aside(dir.Path());
        ASSERT_EQ(aside.size(), 1u);
        EXPECT_EQ(dir.Read(aside[0]), base + c.tail);
        // What could be read and the journal's call are kept.
        CallList reread;
        EXPECT_TRUE(LoadListFile(reread, "caller.his").Clean());
        EXPECT_GE(reread.size(), 2u);
        EXPECT_EQ(reread.size(), list.size());
        if (c.journal) {
            EXPECT_EQ(BytesOf(*std::prev(reread.end())), next);
        }
    }
}

// The disk fills up in the middle of an append: the part written is taken back, the failure is
// told, the journal keeps the calls, and the first save once there is room again writes them.
TEST_F(HistoryAppend, AFullDiskCutsTheAppendBackAndTheCallsFollowLater) {
    CallList list;
    for (int i = 0; i < 50; ++i)
        list.append(Call(1000 + i, "0301" + std::to_string(i)));
    ASSERT_TRUE(SaveListFile(list, "caller.his"));
    CallList loaded;
    HistoryLoadResult load = LoadCallHistory(loaded, "caller.his", 0);
    HistoryWriter writer;
    writer.Prepare(loaded, std::move(load.savedFile), load.savedSize);
    std::vector<std::pair<bool, std::string>> reports;
    writer.SetSaveReport([&](const std::string&, bool ok, const std::string& error) {
        reports.emplace_back(ok, error);
    });
    const std::string before = dir.Read("caller.his");

    // A file size limit makes write() stop short exactly as a full disk does; the journal, a
    // small file, still fits.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit small = old;
    small.rlim_cur = before.size() + 5;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    std::string error;
    for (int i = 0; i < 2; ++i) {
        CallRecord* record = loaded.append(Call(5000 + i, "0999" + std::to_string(i)));
        const bool journaled = writer.JournalRecord(*record, "caller.his", error);
        writer.RequestSave(loaded, "caller.his");
        writer.Flush();
        EXPECT_TRUE(journaled) << error;
    }
    const std::string whileFull = dir.Read("caller.his");
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &old), 0);

    EXPECT_EQ(whileFull, before);
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_FALSE(reports[0].first);
    EXPECT_NE(reports[0].second.find("caller.his"), std::string::npos) << reports[0].second;
    CallList journaled;
    EXPECT_EQ(DecodeJournal(dir.Read("caller.his.journal"), journaled), 2u);

    // A notice that adds nothing (a repeat) is enough to write what is pending.
    writer.RequestSave(loaded, "caller.his");
    writer.Flush();
    EXPECT_EQ(dir.Read("caller.his"), EncodeListFile(loaded));
    ASSERT_EQ(reports.size(), 3u);
    EXPECT_TRUE(reports[2].first);
    EXPECT_FALSE(dir.Exists("caller.his.journal"));
}

// kill -9 at a random moment while calls arrive one after another: every call that was
// announced is in the history at the next start, which finds nothing damaged.
TEST(HistoryAppendCrash, NoAnnouncedCallIsLostWhereverTheProcessDies) {
    UseUtc();
    TempDataDir dir;
    std::mt19937 random(20261209);
    size_t announcedSoFar = 0;
    for (int trial = 0; trial < 10; ++trial) {
        SCOPED_TRACE(trial);
        int pipeFds[2];
        ASSERT_EQ(::pipe(pipeFds), 0);
        const pid_t child = ::fork(); // no threads of this test run in the child
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(pipeFds[0]);
            struct Announcer : RecordingAnnouncer {
                int fd = -1;
                void LogLineWritten(const std::string&) override {
                    if (::write(fd, "x", 1) != 1)
                        ::_exit(5);
                }
            } announcer;
            announcer.fd = pipeFds[1];
            SetMessageHandler([](const std::string&) {});
            GuardedSettings settings;
            SetDefaultSettings(*settings.Write());
            settings.Write()->speak = 0;
            GuardedLists lists;
            HistoryLoadResult load = LoadCallHistory(lists.Write()->callList, "caller.his", 0);
            if (!load.messages.empty())
                ::_exit(6);
            std::time_t now = ExampleTime + trial * 100000;
            IncomingCallHandler handler(IncomingCallParts{lists, settings, announcer,
                                                          [&now] { return now; }, {}, nullptr,
                                                          std::move(load.savedFile),
                                                          load.savedSize});
            for (uint32_t plci = 1;; ++plci) {
                ++now;
                IncomingCallNotice notice;
                notice.calledNumber = "555";
                notice.callingNumber = "030" + std::to_string(trial * 1000 + plci);
                notice.connectionId = plci;
                handler.OnIncomingCall(notice);
                if (plci % 3 == 0)
                    handler.OnIncomingCall(notice); // a repeat
            }
        }
        ::close(pipeFds[1]);
        const int wanted = std::uniform_int_distribution<int>(1, 15)(random);
        int announced = 0;
        char byte;
        while (announced < wanted && ::read(pipeFds[0], &byte, 1) == 1)
            ++announced;
        if (std::uniform_int_distribution<int>(0, 1)(random) == 1)
            ::usleep(static_cast<useconds_t>(std::uniform_int_distribution<int>(0, 3000)(random)));
        ::kill(child, SIGKILL);
        // Calls announced between the count and the kill count too.
        while (::read(pipeFds[0], &byte, 1) == 1)
            ++announced;
        ::close(pipeFds[0]);
        int status = 0;
        ::waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << status;
        announcedSoFar += static_cast<size_t>(announced);

        CallList list;
        HistoryLoadResult load = LoadCallHistory(list, "caller.his", 0);
        EXPECT_TRUE(load.messages.empty()) << load.messages.front();
        EXPECT_TRUE(Aside(dir.Path()).empty());
        EXPECT_EQ(dir.Read("caller.his"), EncodeListFile(list));
        // Every announced call; one more when the kill came between its journal entry and its
        // announcement. Each call has a number of its own: none is there twice.
        EXPECT_GE(list.size(), announcedSoFar);
        EXPECT_LE(list.size(), announcedSoFar + 1);
        std::set<std::string> numbers;
        for (const CallRecord& record : list)
            numbers.insert(std::string(TextOf(record.value)));
        EXPECT_EQ(numbers.size(), list.size());
        announcedSoFar = list.size();
    }
}

} // namespace
