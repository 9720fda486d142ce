// The call history and the log under faults: a crash between announcement and save, damaged
// histories, interrupted saves, a full disk, files that cannot be written.
#include "HandlerTestSupport.h"

#include "core/HistoryJournal.h"
#include "core/HistoryLoad.h"
#include "core/IncomingCallHandler.h"
#include "core/StorageState.h"
#include "data/ListFile.h"
#include "platform/FileBytes.h"
#include "platform/ShowMessage.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

CallRecord Call(const std::string& called, const std::string& calling, int32_t time) {
    CallRecord record;
    record.key = called;
    record.value = calling;
    record.callTime = time;
    record.cipValue = 16;
    return record;
}

void Write(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::vector<std::string> Names(const fs::path& dir, const std::string& prefix) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir))
        if (entry.path().filename().string().rfind(prefix, 0) == 0)
            names.push_back(entry.path().filename().string());
    return names;
}

// Messages shown while the object lives.
struct CapturedMessages {
    CapturedMessages() {
        previous = SetMessageHandler([this](const std::string& text) { texts.push_back(text); });
    }
    ~CapturedMessages() { SetMessageHandler(previous); }
    std::vector<std::string> texts;
    MessageHandler previous;
};

class HistoryStartup : public ::testing::Test {
protected:
    void SetUp() override { UseUtc(); }
    TempDataDir dir;
};

TEST_F(HistoryStartup, JournalOfACrashedRunIsFoldedInOnceAndATornEntryIgnored) {
    CallList saved;
    saved.append(Call("555", "0301", 1000));
    saved.append(Call("555", "0302", 2000));
    const std::string savedBytes = EncodeListFile(saved);
    Write(dir.Path() / "caller.his", savedBytes);
    // The second call reached the history before the crash, the third did not, and the fourth
    // was being written to the journal when the power went.
    std::string journal =
        JournalEntry(*std::next(saved.begin())) + JournalEntry(Call("556", "0303", 3000));
    const std::string torn = JournalEntry(Call("557", "0304", 4000));
    journal += torn.substr(0, torn.size() - 3);
    Write(dir.Path() / "caller.his.journal", journal);
    // A save interrupted by a crash (a process that is gone) and one of this process.
    Write(dir.Path() / "caller.his.tmp999999999-3", std::string(1000, 'x'));
    Write(dir.Path() / "names.dat.tmp999999999-0", "x");
    const std::string ours = "caller.his.tmp" + std::to_string(::getpid()) + "-7";
    Write(dir.Path() / ours, "x");

    CallList list;
    HistoryLoadResult result = LoadCallHistory(list, "caller.his", 0);
    EXPECT_TRUE(result.messages.empty());
    EXPECT_EQ(result.journaled, 1u);
    CallList expected;
    expected.assign(saved);
    expected.append(Call("556", "0303", 3000));
    // The history holds exactly what a save of the three calls writes; the journal is gone.
    EXPECT_EQ(dir.Read("caller.his"), EncodeListFile(expected));
    EXPECT_EQ(EncodeListFile(list), EncodeListFile(expected));
    EXPECT_FALSE(dir.Exists("caller.his.journal"));
    EXPECT_EQ(Names(dir.Path(), "caller.his.tmp"), std::vector<std::string>{ours});
    EXPECT_FALSE(dir.Exists("names.dat.tmp999999999-0"));
}

TEST_F(HistoryStartup, DamagedHistoryIsKeptAsideAndWhatCouldBeReadGoesOn) {
    CallList two;
    two.append(Call("555", "0301", 1000));
    two.append(Call("555", "0302", 2000));
    const std::string whole = EncodeListFile(two);
    std::string version5 = whole;
    version5[0] = 5;
    const std::vector<std::pair<std::string, size_t>> cases = {
        {"\x13\x37garbage that is no list file at all", 0},
        {version5, 0},
        // The second record cut inside its last field: what was read of it is kept.
        {whole.substr(0, whole.size() - 2), 2},
    };
    for (const auto& [bytes, readable] : cases) {
        SCOPED_TRACE(readable);
        for (const auto& name : Names(dir.Path(), "caller.his"))
            fs::remove(dir.Path() / name);
        Write(dir.Path() / "caller.his", bytes);
        CallList list;
        HistoryLoadResult result = LoadCallHistory(list, "caller.his", 1765250100);
        ASSERT_EQ(result.messages.size(), 1u);
        EXPECT_TRUE(result.saveAllowed);
        const std::string aside = "caller.his.damaged-20251209-031500";
        // Named from the root, as a service's log is read far from the data directory.
        EXPECT_NE(result.messages[0].find((fs::current_path() / aside).string()),
                  std::string::npos)
            << result.messages[0];
        EXPECT_TRUE(dir.Read(aside) == bytes);
        EXPECT_EQ(list.size(), readable);
        // The history now holds what could be read, as a clean file.
        CallList reread;
        ListFileLoad load = LoadListFile(reread, "caller.his");
        EXPECT_TRUE(load.Clean());
        EXPECT_EQ(reread.size(), readable);
    }
}

TEST_F(HistoryStartup, UnreadableHistoryIsLeftAlone) {
    fs::create_directory(dir.Path() / "caller.his");
    CallList list;
    HistoryLoadResult result = LoadCallHistory(list, "caller.his", 0);
    EXPECT_FALSE(result.saveAllowed);
    ASSERT_EQ(result.messages.size(), 1u);
    EXPECT_NE(result.messages[0].find("caller.his"), std::string::npos);
    EXPECT_TRUE(fs::is_directory(dir.Path() / "caller.his"));
}

namespace {

std::string Int(int32_t value) {
    const auto bits = static_cast<uint32_t>(value);
    return {static_cast<char>(bits & 0xFF), static_cast<char>((bits >> 8) & 0xFF),
            static_cast<char>((bits >> 16) & 0xFF), static_cast<char>((bits >> 24) & 0xFF)};
}

void ClearDirectory(const fs::path& dir) {
    for (const auto& entry : fs::directory_iterator(dir))
        fs::remove_all(entry.path());
}

// A stored text: its length, then its bytes as given (a save adds one zero).
std::string Text(const std::string& bytes) {
    return Int(static_cast<int32_t>(bytes.size())) + bytes;
}

} // namespace

// What the writer would copy: the first savedSize bytes of the file kept open.
std::string KeptBytes(const HistoryLoadResult& result) {
    if (!result.savedFile)
        return {};
    std::string bytes(result.savedSize, '\0');
    const ssize_t n = ::pread(result.savedFile.get(), bytes.data(), bytes.size(), 0);
    bytes.resize(n < 0 ? 0 : static_cast<size_t>(n));
    return bytes;
}

TEST_F(HistoryStartup, BytesKeptForTheWriterAreExactlyWhatASaveWrites) {
    CallList saved;
    saved.append(Call("0301\r\n\n", std::string("x\r\0", 3) + "\xff", 100));
    saved.append(Call("", "0401", -5));
    const std::string zero(1, '\0');
    const std::string record =
        Text("030" + zero) + Text("0401" + zero) + Int(0) + Int(0) + Int(7) + Int(16);
    const std::vector<std::pair<std::string, std::string>> files = {
        {"as saved", EncodeListFile(saved)},
        {"a line feed alone",
         Int(4) + Text("0\n" + zero) + Int(0) + Int(0) + Int(0) + Int(0) + Int(0)},
        {"a text without its zero",
         Int(4) + Text("030") + Int(0) + Int(0) + Int(0) + Int(0) + Int(0)},
        {"bytes after the zero",
         Int(4) + Text("030" + zero + "9" + zero) + Int(0) + Int(0) + Int(0) + Int(0) + Int(0)},
        {"version 3", Int(3) + Text("030" + zero) + Int(0) + Int(0) + Int(0) + Int(0)},
        {"cut short", Int(4) + record + record.substr(0, 5)},
        {"empty", ""},
    };
    for (const auto& [name, bytes] : files) {
        SCOPED_TRACE(name);
        ClearDirectory(dir.Path());
        Write(dir.Path() / "caller.his", bytes);
        CallList list;
        HistoryLoadResult result = LoadCallHistory(list, "caller.his", 0);
        if (name == "as saved") {
            EXPECT_EQ(KeptBytes(result), bytes);
            // The kept file is the one that was read, whatever is put in its place.
            Write(dir.Path() / "other", "something else");
            std::filesystem::rename(dir.Path() / "other", dir.Path() / "caller.his");
            EXPECT_EQ(KeptBytes(result), bytes);
        } else if (result.savedFile) {
            EXPECT_EQ(KeptBytes(result), EncodeListFile(list));
            EXPECT_EQ(KeptBytes(result), dir.Read("caller.his"));
        }
    }
    // A journal's records are in the bytes too, as they were saved at the load.
    ClearDirectory(dir.Path());
    Write(dir.Path() / "caller.his", EncodeListFile(saved));
    std::string error;
    ASSERT_TRUE(AppendJournalEntry(JournalPathFor("caller.his"), Call("089", "0711", 300), error));
    CallList list;
    HistoryLoadResult result = LoadCallHistory(list, "caller.his", 0);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(KeptBytes(result), EncodeListFile(list));
    EXPECT_EQ(KeptBytes(result), dir.Read("caller.his"));
}

TEST(AppendWhole, AFullDiskLeavesNoPartOfALine) {
    TempDataDir dir;
    // A file size limit makes write() stop short exactly as a full disk does.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const std::string first = "2025-12-09 03:15:00 first line\r\n";
    std::string error;
    ASSERT_TRUE(AppendWhole("caller.txt", first, error));
    rlimit small = old;
    small.rlim_cur = first.size() + 10;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool cut = AppendWhole("caller.txt", "2025-12-09 03:15:01 second line\r\n", error);
    const bool none = AppendWhole("caller.txt", "x", error) &&
                      AppendWhole("caller.txt", std::string(20, 'y'), error);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &old), 0);
    EXPECT_FALSE(cut);
    EXPECT_FALSE(none);
    EXPECT_NE(error.find("caller.txt"), std::string::npos) << error;
    // The line that fitted in part is gone; the one-byte line fitted whole.
    EXPECT_EQ(dir.Read("caller.txt"), first + "x");
    ASSERT_TRUE(AppendWhole("caller.txt", "third\r\n", error));
    EXPECT_EQ(dir.Read("caller.txt"), first + "x" + "third\r\n");
}

class HandlerStorage : public ::testing::Test {
protected:
    void SetUp() override {
        UseUtc();
        SetDefaultSettings(*settings.Write());
        settings.Write()->speak = 0;
        handler = std::make_unique<IncomingCallHandler>(IncomingCallParts{lists,
                                                                          settings,
                                                                          announcer,
                                                                          [this] { return now; },
                                                                          {}});
        storage.SetListener(
            [this](bool writable, const std::string&) { states.push_back(writable); });
        handler->SetStorageReport(
            [this](const std::string& file, bool ok, const std::string& error) {
                storage.Report(file, ok, error);
            });
    }
    IncomingCallNotice Notice(uint32_t plci) {
        IncomingCallNotice notice;
        notice.calledNumber = "555";
        notice.callingNumber = "0301";
        notice.connectionId = plci;
        notice.cipValue = 16;
        return notice;
    }
    TempDataDir dir;
    CapturedMessages messages;
    GuardedSettings settings;
    GuardedLists lists;
    RecordingAnnouncer announcer;
    std::time_t now = ExampleTime;
    StorageState storage;
    std::vector<bool> states;
    std::unique_ptr<IncomingCallHandler> handler;
};

TEST_F(HandlerStorage, UnwritableHistoryIsToldOnceAndItsComebackOnce) {
    fs::create_directory(dir.Path() / "caller.his");
    for (uint32_t plci = 1; plci <= 3; ++plci) {
        now += 10;
        handler->OnIncomingCall(Notice(plci));
        handler->FlushHistory();
    }
    // Every call is in the journal while the history cannot be written.
    CallList journaled;
    EXPECT_EQ(DecodeJournal(dir.Read("caller.his.journal"), journaled), 3u);
    EXPECT_EQ(states, std::vector<bool>{false});
    ASSERT_EQ(messages.texts.size(), 1u);
    EXPECT_NE(messages.texts[0].find("caller.his"), std::string::npos) << messages.texts[0];

    fs::remove(dir.Path() / "caller.his");
    now += 10;
    handler->OnIncomingCall(Notice(4));
    handler->FlushHistory();
    EXPECT_EQ(states, (std::vector<bool>{false, true}));
    EXPECT_EQ(messages.texts.size(), 2u);
    EXPECT_EQ(dir.Read("caller.his"), EncodeListFile(lists.Read()->callList));
    EXPECT_EQ(lists.Read()->callList.size(), 4u);
    // A save that holds every journaled call removes the journal.
    EXPECT_FALSE(dir.Exists("caller.his.journal"));
}

// The process that handles a call dies (kill -9) right after the call was announced, before
// its save could run: the next start must still have the call.
TEST(HistoryCrash, ACallAnnouncedBeforeAKillIsInTheHistoryAtTheNextStart) {
    UseUtc();
    TempDataDir dir;
    int announced[2];
    ASSERT_EQ(::pipe(announced), 0);
    const pid_t child = ::fork(); // no threads run yet in this test's child
    ASSERT_GE(child, 0);
    if (child == 0) {
        struct Announcer : RecordingAnnouncer {
            int fd;
            void LogLineWritten(const std::string&) override {
                // Announced: now die before anything else happens.
                if (::write(fd, "x", 1) == 1)
                    ::pause();
                ::_exit(3);
            }
        } announcer;
        announcer.fd = announced[1];
        GuardedSettings settings;
        SetDefaultSettings(*settings.Write());
        GuardedLists lists;
        LoadCallHistory(lists.Write()->callList, "caller.his", 0);
        IncomingCallHandler handler(IncomingCallParts{lists,
                                                      settings,
                                                      announcer,
                                                      [] { return ExampleTime; },
                                                      {}});
        IncomingCallNotice notice;
        notice.calledNumber = "555";
        notice.callingNumber = "0301";
        notice.connectionId = 0x101;
        handler.OnIncomingCall(notice);
        ::_exit(4);
    }
    char byte;
    ASSERT_EQ(::read(announced[0], &byte, 1), 1);
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));

    CallList list;
    LoadCallHistory(list, "caller.his", 0);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(TextOf(list.begin()->value), "0301");
    EXPECT_EQ(list.begin()->callTime, ExampleTime);
    CallList reread;
    EXPECT_TRUE(LoadListFile(reread, "caller.his").Clean());
    EXPECT_EQ(reread.size(), 1u);
}

} // namespace
