#include "core/IncomingCallHandler.h"
#include "HandlerTestSupport.h"
#include "core/IncomingCallConsole.h"
#include "data/ListFile.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <memory>

namespace {

IncomingCallNotice Notice(const std::string& calling, const std::string& called, uint32_t plci,
                          int32_t cip) {
    IncomingCallNotice notice;
    notice.callingNumber = calling;
    notice.calledNumber = called;
    notice.connectionId = plci;
    notice.cipValue = cip;
    return notice;
}

class HandlerTest : public ::testing::Test {
protected:
    void SetUp() override {
        UseUtc();
        SetDefaultSettings(*settings.Write());
        std::ofstream(dir.Path() / "areacode.lst") << "012\tSomewhere\n";
        lists.Write()->areaCodes.LoadAreaCodes();
        lists.Write()->msnList.append(Entry("555", "Office"));
        lists.Write()->msnList.append(Entry("557", ""));
    }

    IncomingCallHandler& Handler() {
        if (!handler) {
            handler = std::make_unique<IncomingCallHandler>(
                IncomingCallParts{lists, settings, announcer,
                                  [this] { return now; }, [this] { ++directoryChanges; }});
        }
        return *handler;
    }

    // The bytes "caller.his" must hold for the list as it is.
    std::string ExpectedHistory() const { return EncodeListFile(lists.Read()->callList); }

    TempDataDir dir;
    GuardedSettings settings;
    GuardedLists lists;
    RecordingAnnouncer announcer;
    std::time_t now = ExampleTime;
    int directoryChanges = 0;
    std::unique_ptr<IncomingCallHandler> handler;
};

TEST_F(HandlerTest, WorkedExampleThroughEveryOutput) {
    EXPECT_EQ(Handler().OnIncomingCall(Notice("01234", "555", 0x101, 1)),
              IncomingCallHandler::Outcome::Announced);
    Handler().FlushHistory();

    EXPECT_EQ(dir.Read("caller.txt"), "2000-01-15 14:03:27 - 012/34 -->> Office/speech(555)\r\n");
    ASSERT_EQ(announcer.popups.size(), 1u);
    EXPECT_EQ(announcer.popups[0].text, "012/34  ( Office/speech ) ");
    ASSERT_EQ(announcer.spoken.size(), 1u);
    EXPECT_EQ(announcer.spoken[0],
              "Incoming call on Office from 0 1 2 \\Pau=500\\3 4" + std::string(3, ' '));
    EXPECT_EQ(announcer.beeps, 1);
    EXPECT_EQ(announcer.todayShown, 1);
    EXPECT_EQ(directoryChanges, 1);

    ASSERT_EQ(lists.Read()->callList.size(), 1u);
    const CallRecord& record = *lists.Read()->callList.begin();
    EXPECT_EQ(announcer.popups[0].record, &record);
    EXPECT_EQ(record.timeText(), "2000-01-15 14:03:27");
    EXPECT_EQ(record.callTime, ExampleTime);
    EXPECT_EQ(record.key, "555");
    EXPECT_EQ(record.value, "01234");
    EXPECT_EQ(record.speakText, std::nullopt);
    EXPECT_EQ(record.repeatCount, 1);
    EXPECT_EQ(record.connectionId, 0x101u);
    EXPECT_EQ(record.cipValue, 1);

    // The record as the list file stores it: version 4, then key, value, reserved, speakText
    // (absent), callTime and cipValue.
    const std::string his = dir.Read("caller.his");
    auto int32 = [](uint32_t v) {
        return std::string{char(v & 0xFF), char(v >> 8 & 0xFF), char(v >> 16 & 0xFF),
                           char(v >> 24)};
    };
    auto text = [&](const std::string& t) { return int32(t.size() + 1) + t + '\0'; };
    const std::string expected =
        int32(4) + text("555") + text("01234") + int32(0) + int32(0) + int32(0x38807e2f) + int32(1);
    EXPECT_EQ(his, expected);
}

TEST_F(HandlerTest, RepeatAfterThreeSecondsOnlyCountsAndSpeaks) {
    Handler().OnIncomingCall(Notice("01234", "555", 7, 1));
    now += 3;
    std::filesystem::remove(dir.Path() / "caller.his");
    EXPECT_EQ(Handler().OnIncomingCall(Notice("01234", "555", 7, 1)),
              IncomingCallHandler::Outcome::Repeat);
    Handler().FlushHistory();

    ASSERT_EQ(lists.Read()->callList.size(), 1u);
    EXPECT_EQ(lists.Read()->callList.begin()->repeatCount, 2);
    ASSERT_EQ(announcer.repeatsSeen.size(), 1u);
    EXPECT_EQ(announcer.repeatsSeen[0], &*lists.Read()->callList.begin());
    EXPECT_EQ(announcer.popups.size(), 1u);
    EXPECT_EQ(announcer.logLines.size(), 1u);
    EXPECT_EQ(announcer.beeps, 1);
    EXPECT_EQ(announcer.todayShown, 1);
    EXPECT_EQ(announcer.spoken.size(), 2u);
    EXPECT_EQ(announcer.spoken[1], announcer.spoken[0]);
    EXPECT_EQ(dir.Read("caller.txt"), "2000-01-15 14:03:27 - 012/34 -->> Office/speech(555)\r\n");
    EXPECT_EQ(dir.Read("caller.his"), ExpectedHistory());
}

TEST_F(HandlerTest, SameConnectionAfterSixSecondsIsANewCall) {
    Handler().OnIncomingCall(Notice("01234", "555", 7, 1));
    now += 6;
    EXPECT_EQ(Handler().OnIncomingCall(Notice("01234", "555", 7, 1)),
              IncomingCallHandler::Outcome::Announced);
    Handler().FlushHistory();
    ASSERT_EQ(lists.Read()->callList.size(), 2u);
    EXPECT_EQ(lists.Read()->callList.begin()->repeatCount, 1);
    EXPECT_EQ(std::next(lists.Read()->callList.begin())->repeatCount, 1);
    EXPECT_EQ(announcer.popups.size(), 2u);
    EXPECT_EQ(dir.Read("caller.txt"), "2000-01-15 14:03:27 - 012/34 -->> Office/speech(555)\r\n"
                                      "2000-01-15 14:03:33 - 012/34 -->> Office/speech(555)\r\n");
    EXPECT_EQ(dir.Read("caller.his"), ExpectedHistory());
}

TEST_F(HandlerTest, RepeatOfACallFromTheLoadedHistory) {
    CallRecord earlier;
    earlier.callTime = static_cast<int32_t>(ExampleTime - 2);
    earlier.connectionId = 9;
    earlier.repeatCount = 1;
    lists.Write()->callList.append(earlier);
    EXPECT_EQ(Handler().OnIncomingCall(Notice("01234", "555", 9, 1)),
              IncomingCallHandler::Outcome::Repeat);
    EXPECT_EQ(lists.Read()->callList.begin()->repeatCount, 2);
    // A record appended behind the handler's back is found as well.
    earlier.connectionId = 10;
    lists.Write()->callList.append(earlier);
    EXPECT_EQ(Handler().OnIncomingCall(Notice("01234", "555", 10, 1)),
              IncomingCallHandler::Outcome::Repeat);
}

TEST_F(HandlerTest, OnlyNamedMsnsLeavesNoTraceButTheRewrittenHistory) {
    settings.Write()->onlyNamedMsns = 1;
    CallRecord old;
    old.key = "555";
    old.value = "0999";
    old.callTime = 1000;
    lists.Write()->callList.append(old);
    const std::string before = EncodeListFile(lists.Read()->callList);
    std::filesystem::remove(dir.Path() / "caller.his");

    EXPECT_EQ(Handler().OnIncomingCall(Notice("01234", "999", 1, 1)),
              IncomingCallHandler::Outcome::Dropped);
    EXPECT_EQ(Handler().OnIncomingCall(Notice("01234", "557", 2, 1)),
              IncomingCallHandler::Outcome::Dropped);
    Handler().FlushHistory();

    EXPECT_EQ(lists.Read()->callList.size(), 1u);
    EXPECT_FALSE(dir.Exists("caller.txt"));
    EXPECT_EQ(dir.Read("caller.his"), before);
    EXPECT_EQ(announcer.todayShown, 0);
    EXPECT_TRUE(announcer.popups.empty());
    EXPECT_TRUE(announcer.logLines.empty());
    EXPECT_EQ(announcer.beeps, 0);
    EXPECT_TRUE(announcer.spoken.empty());
    // The MSN with a name still gets through.
    EXPECT_EQ(Handler().OnIncomingCall(Notice("01234", "555", 3, 1)),
              IncomingCallHandler::Outcome::Announced);
}

TEST_F(HandlerTest, UnknownMsnShowsTheCalledNumber) {
    Handler().OnIncomingCall(Notice("0777", "4711", 1, 16));
    EXPECT_EQ(announcer.logLines.at(0), "2000-01-15 14:03:27 - 0777 -->> 4711/telephony(4711)");
    EXPECT_EQ(announcer.popups.at(0).text, "0777  ( 4711/telephony ) ");
    EXPECT_EQ(announcer.spoken.at(0), "Incoming call on 4 7 1 1 from 0777" + std::string(2, ' '));
}

TEST_F(HandlerTest, WithheldNumberWithAPhoneBookEntryForZero) {
    lists.Write()->phoneBook.append(Entry("0", "Secret", "a secret caller"));
    Handler().OnIncomingCall(Notice("0", "555", 1, 0));
    EXPECT_EQ(announcer.logLines.at(0), "2000-01-15 14:03:27 - << unknown >> -->> Office(555)");
    EXPECT_EQ(announcer.spoken.at(0),
              "Incoming call on Office from a secret caller" + std::string(3, ' '));
}

TEST_F(HandlerTest, WithheldNumberIsSpokenAsTheUnknownText) {
    std::strcpy(settings.Write()->unknownSpeakText, "somebody");
    Handler().OnIncomingCall(Notice("0", "555", 1, 0));
    EXPECT_EQ(announcer.spoken.at(0),
              "Incoming call on Office from somebody" + std::string(2, ' '));
}

TEST_F(HandlerTest, CommaAfterToIsConsumed) {
    std::strcpy(settings.Write()->speakTemplate, "%to%, %from%");
    Handler().OnIncomingCall(Notice("01234", "555", 1, 1));
    EXPECT_EQ(announcer.spoken.at(0), "Office  0 1 2 \\Pau=500\\3 4" + std::string(3, ' '));
}

TEST_F(HandlerTest, SwitchesTurnEachAnnouncementOff) {
    settings.Write()->displaySeconds = 0;
    settings.Write()->systemBeep = 0;
    settings.Write()->speak = 0;
    Handler().OnIncomingCall(Notice("01234", "555", 1, 1));
    Handler().FlushHistory();
    EXPECT_TRUE(announcer.popups.empty());
    EXPECT_EQ(announcer.beeps, 0);
    EXPECT_TRUE(announcer.spoken.empty());
    EXPECT_EQ(announcer.logLines.size(), 1u);
    EXPECT_EQ(dir.Read("caller.his"), ExpectedHistory());
}

TEST_F(HandlerTest, UnwritableLogDoesNotStopTheCall) {
    std::filesystem::create_directory(dir.Path() / "caller.txt");
    Handler().OnIncomingCall(Notice("01234", "555", 1, 1));
    Handler().FlushHistory();
    EXPECT_EQ(announcer.popups.size(), 1u);
    EXPECT_EQ(announcer.spoken.size(), 1u);
    EXPECT_EQ(dir.Read("caller.his"), ExpectedHistory());
}

TEST_F(HandlerTest, HistoryOfManyCallsMatchesAFullSave) {
    for (int i = 0; i < 40; ++i) {
        now += 10;
        Handler().OnIncomingCall(Notice("0" + std::to_string(1000 + i), "555", 20 + i, i % 33));
    }
    Handler().FlushHistory();
    EXPECT_EQ(dir.Read("caller.his"), ExpectedHistory());
    CallList loaded;
    LoadListFile(loaded, "caller.his");
    ASSERT_EQ(loaded.size(), 40u);
    EXPECT_EQ(std::prev(loaded.end())->value, "01039");
    EXPECT_EQ(std::prev(loaded.end())->cipValue, 39 % 33);
}

TEST(ConsoleAnnouncerTest, PrintsEachLogLineAndPlaysTheMelody) {
    struct CountingSink : SoundSink {
        int rings = 0, melodies = 0;
        void PlayRingIn() override { ++rings; }
        void PlayBeepMelody() override { ++melodies; }
    } sink;
    std::FILE* out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    std::string said;
    ConsoleCallAnnouncer console(out, sink, [&](const std::string& text) { said = text; });
    console.LogLineWritten("2000-01-15 14:03:27 - 012/34 -->> Office/speech(555)");
    console.BeepMelody();
    console.Speak("hello");
    CallRecord record;
    console.ShowPopup("text", record);
    std::rewind(out);
    char buffer[128] = {};
    const size_t got = std::fread(buffer, 1, sizeof buffer - 1, out);
    std::fclose(out);
    EXPECT_EQ(std::string(buffer, got), "2000-01-15 14:03:27 - 012/34 -->> Office/speech(555)\n");
    EXPECT_EQ(sink.melodies, 1);
    EXPECT_EQ(sink.rings, 0);
    EXPECT_EQ(said, "hello");
}

} // namespace
