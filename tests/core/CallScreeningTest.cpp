// Screening in the running monitor: the rules read and watched on real files, quiet calls kept
// but not shown, verdicts kept across a restart, and the export's rule column.

#include "HandlerTestSupport.h"
#include "core/CallScreening.h"
#include "core/CallVerdicts.h"
#include "core/ExportCommand.h"
#include "core/IncomingCallConsole.h"
#include "data/ListFile.h"
#include "outputs/OutputHub.h"
#include "platform/SoundSink.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <mutex>
#include <thread>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

void Write(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// Writes a new file beside `path` and renames it over `path`, as many editors save.
void ReplaceByRename(const fs::path& path, const std::string& text) {
    const fs::path fresh = path.string() + ".new";
    Write(fresh, text);
    fs::rename(fresh, path);
}

std::string ReadAll(std::FILE* file) {
    std::fflush(file);
    std::rewind(file);
    std::string text;
    char buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        text.append(buffer, got);
    return text;
}

// The whole line of `text` (with its end) that holds `part`; "" when none does.
std::string LineWith(const std::string& text, const std::string& part) {
    const size_t at = text.find(part);
    if (at == std::string::npos)
        return "";
    const size_t start = text.rfind('\n', at) == std::string::npos ? 0 : text.rfind('\n', at) + 1;
    const size_t end = text.find('\n', at);
    return text.substr(start, end == std::string::npos ? std::string::npos : end + 1 - start);
}

// Runs the event loop until `done` holds; false when it still does not after a long time.
template <typename Condition> bool WaitFor(Condition done) {
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

IncomingCallNotice Notice(const std::string& calling, uint32_t plci,
                          const std::string& called = "555") {
    IncomingCallNotice notice;
    notice.callingNumber = calling;
    notice.calledNumber = called;
    notice.connectionId = plci;
    notice.cipValue = 1;
    return notice;
}

// The texts of the rules in force, one a line; "none" without rules.
std::string RuleTexts(const CallScreening& screening) {
    const std::shared_ptr<const CallRules> rules = screening.Current();
    if (!rules)
        return "none";
    std::string texts;
    for (const CallRule& rule : rules->rules)
        texts += rule.text + "\n";
    return texts;
}

class ScreeningTest : public ::testing::Test {
protected:
    void SetUp() override {
        UseUtc();
        SetDefaultSettings(*settings.Write());
        lists.Write()->msnList.append(Entry("555", "Office"));
        lists.Write()->phoneBook.append(Entry("0301234", "Anna"));
    }

    // The screening over `rules.conf` in the data directory (written first unless empty).
    CallScreening& Screening(const std::string& rules = "") {
        if (!rules.empty())
            Write(RulesPath(), rules);
        CallScreening::Options options;
        options.path = RulesPath().string();
        options.country = "DE";
        options.settle = 50ms;
        options.recheck = 50ms;
        options.tell = [this](const std::string& text) { told.push_back(text); };
        screening = std::make_unique<CallScreening>(std::move(options));
        screening->Start();
        return *screening;
    }

    IncomingCallHandler& Handler(CallAnnouncer* other = nullptr) {
        if (!handler) {
            IncomingCallParts parts{lists, settings, other ? *other : announcer,
                                    [this] { return now; }, {}};
            parts.outputs = outputs.get();
            parts.screening = screening.get();
            parts.verdicts = &verdicts;
            handler = std::make_unique<IncomingCallHandler>(std::move(parts));
            handler->SetStorageReport(
                [this](const std::string& file, bool ok, const std::string&) {
                    if (!ok)
                        failedFiles.push_back(file);
                });
        }
        return *handler;
    }

    fs::path RulesPath() const { return dir.Path() / "rules.conf"; }

    TempDataDir dir;
    GuardedSettings settings;
    GuardedLists lists;
    RecordingAnnouncer announcer;
    CallVerdicts verdicts;
    std::time_t now = ExampleTime;
    std::vector<std::string> told;
    std::vector<std::string> failedFiles;
    std::shared_ptr<OutputHub> outputs;
    std::unique_ptr<CallScreening> screening;
    std::unique_ptr<IncomingCallHandler> handler;
};

TEST_F(ScreeningTest, QuietCallIsKeptAndSentButNeitherShownPlayedNorSpoken) {
    // The outputs get every call: a command that notes each number.
    const std::string script = (dir.Path() / "note.sh").string();
    Write(script, "#!/bin/sh\necho \"$TAVO_NUMBER\" >> \"$1\"\n");
    fs::permissions(script, fs::perms::owner_all);
    const std::string noted = (dir.Path() / "noted").string();
    outputs = std::make_shared<OutputHub>([] { return std::vector<CallEvent>(); },
                                          [](const std::string&) {});
    OutputSettings outputSettings;
    outputSettings.command.program = script;
    outputSettings.command.arguments = noted;
    ASSERT_TRUE(outputs->Apply(outputSettings).empty());

    Screening("announce known\nquiet number=0900*  # premium lines\n");
    EXPECT_EQ(Handler().OnIncomingCall(Notice("09001234", 0x101)),
              IncomingCallHandler::Outcome::Quiet);
    // The same set-up offered again: still quiet, nothing spoken.
    now += 2;
    EXPECT_EQ(Handler().OnIncomingCall(Notice("09001234", 0x101)),
              IncomingCallHandler::Outcome::Repeat);

    EXPECT_TRUE(announcer.popups.empty());
    EXPECT_EQ(announcer.beeps, 0);
    EXPECT_TRUE(announcer.spoken.empty());
    EXPECT_TRUE(announcer.logLines.empty());
    EXPECT_EQ(announcer.todayShown, 1); // the window's list shows it
    EXPECT_EQ(dir.Read("caller.txt"),
              "2000-01-15 14:03:27 - 09001234 -->> Office/speech(555)\r\n");

    // A rule that announces: everything as always.
    now += 60;
    EXPECT_EQ(Handler().OnIncomingCall(Notice("0301234", 0x102)),
              IncomingCallHandler::Outcome::Announced);
    EXPECT_EQ(announcer.popups.size(), 1u);
    EXPECT_EQ(announcer.beeps, 1);
    EXPECT_EQ(announcer.spoken.size(), 1u);
    EXPECT_EQ(announcer.logLines.size(), 1u);

    Handler().FlushHistory();
    CallList saved;
    std::string error;
    ASSERT_TRUE(LoadExistingListFile(saved, "caller.his", error)) << error;
    ASSERT_EQ(saved.size(), 2u);
    EXPECT_EQ(saved.begin()->value, "09001234");

    const std::string kept = dir.Read(CallVerdicts::FileName);
    EXPECT_NE(kept.find("\t257\t09001234\tquiet\t2\tquiet number=0900*\n"), std::string::npos)
        << kept;
    EXPECT_NE(kept.find("\t258\t0301234\tannounce\t1\tannounce known\n"), std::string::npos)
        << kept;
    EXPECT_TRUE(failedFiles.empty());

    ASSERT_TRUE(WaitFor([&] {
        const std::string text = dir.Read("noted");
        return text.find("09001234\n") != std::string::npos &&
               text.find("0301234\n") != std::string::npos;
    })) << dir.Read("noted");
}

TEST_F(ScreeningTest, HeadlessQuietCallIsNotPrinted) {
    std::FILE* out = std::tmpfile();
    SilentSoundSink sound;
    std::vector<std::string> spoken;
    ConsoleCallAnnouncer console(out, sound, [&](const std::string& text) {
        spoken.push_back(text);
    });
    Screening("reject withheld\n");
    EXPECT_EQ(Handler(&console).OnIncomingCall(Notice("0", 0x101)),
              IncomingCallHandler::Outcome::Quiet);
    now += 30;
    EXPECT_EQ(Handler(&console).OnIncomingCall(Notice("0301234", 0x102)),
              IncomingCallHandler::Outcome::Announced);
    EXPECT_EQ(ReadAll(out), "2000-01-15 14:03:57 - Anna  0301234 -->> Office/speech(555)\n");
    EXPECT_EQ(spoken.size(), 1u);
    std::fclose(out);
    // The file has both; a reject is kept as what the rule said.
    EXPECT_EQ(dir.Read("caller.txt"),
              "2000-01-15 14:03:27 - << unknown >> -->> Office/speech(555)\r\n"
              "2000-01-15 14:03:57 - Anna  0301234 -->> Office/speech(555)\r\n");
    EXPECT_NE(dir.Read(CallVerdicts::FileName).find("\treject\t1\treject withheld\n"),
              std::string::npos);
    // Said once, when the rules were read: only a CAPI line can refuse.
    ASSERT_EQ(told.size(), 1u);
    EXPECT_NE(told[0].find("kept quiet"), std::string::npos) << told[0];
}

TEST_F(ScreeningTest, WithoutRulesFileEverythingIsAsBefore) {
    // The same calls through a handler without screening and one with it but no rules file.
    const auto run = [this](bool screened) {
        announcer = RecordingAnnouncer();
        handler.reset();
        lists.Write()->callList.clear();
        fs::remove(dir.Path() / "caller.txt");
        now = ExampleTime;
        if (screened)
            Screening();
        else
            screening.reset();
        Handler().OnIncomingCall(Notice("09001234", 0x101));
        now += 2;
        Handler().OnIncomingCall(Notice("09001234", 0x101));
        now += 60;
        Handler().OnIncomingCall(Notice("0", 0x102));
        Handler().FlushHistory();
        std::string seen = dir.Read("caller.txt");
        for (const std::string& text : announcer.spoken)
            seen += "spoken " + text + "\n";
        for (const std::string& text : announcer.logLines)
            seen += "logged " + text + "\n";
        for (const auto& popup : announcer.popups)
            seen += "popup " + popup.text + "\n";
        return seen + "beeps " + std::to_string(announcer.beeps) + "\nhistory " +
               dir.Read("caller.his");
    };
    const std::string plain = run(false);
    const std::string screened = run(true);
    EXPECT_EQ(screened, plain);
    EXPECT_NE(plain.find("popup 09001234"), std::string::npos) << plain;
    EXPECT_EQ(screening->Current(), nullptr);
    EXPECT_FALSE(dir.Exists(CallVerdicts::FileName));
    EXPECT_TRUE(told.empty());
}

TEST_F(ScreeningTest, RepeatsCountedOverRestartAndVerdictsComeBack) {
    Screening("announce repeat=2/5\nquiet unknown\n");
    EXPECT_EQ(Handler().OnIncomingCall(Notice("040999", 0x101)),
              IncomingCallHandler::Outcome::Quiet);
    Handler().FlushHistory();
    handler.reset();

    // A restart: the lists and the verdicts come back from the files.
    GuardedLists restarted;
    std::string error;
    ASSERT_TRUE(LoadExistingListFile(restarted.Write()->callList, "caller.his", error)) << error;
    verdicts = CallVerdicts();
    ASSERT_TRUE(verdicts.Load(CallVerdicts::FileName, error)) << error;
    {
        const auto view = restarted.Read();
        ASSERT_EQ(view->callList.size(), 1u);
        const StoredVerdict* verdict = verdicts.Find(*view->callList.begin());
        ASSERT_NE(verdict, nullptr);
        EXPECT_EQ(verdict->action, RuleAction::Quiet);
        EXPECT_EQ(verdict->line, 2);
        EXPECT_EQ(verdict->rule, "quiet unknown");
    }
    lists.Write()->callList.assign(restarted.Read()->callList);

    // Four minutes later the same number tries again: the second call in five minutes.
    now += 4 * 60;
    EXPECT_EQ(Handler().OnIncomingCall(Notice("040999", 0x201)),
              IncomingCallHandler::Outcome::Announced);
    // Another number is not helped by it.
    EXPECT_EQ(Handler().OnIncomingCall(Notice("040998", 0x202)),
              IncomingCallHandler::Outcome::Quiet);
    // Six minutes after the first: the first no longer counts, the second does.
    now += 2 * 60;
    EXPECT_EQ(Handler().OnIncomingCall(Notice("040999", 0x203)),
              IncomingCallHandler::Outcome::Announced);
}

TEST_F(ScreeningTest, TheLineIsAskedAboutACallAsTheHandlerJudgesIt) {
    Screening("announce repeat=2/5\nreject number=0900*\nquiet unknown\n");
    ASSERT_TRUE(screening->HasReject());
    const auto refuses = [&](const IncomingCallNotice& notice) {
        return RefusesIncomingCall(*screening, notice, now, lists, settings);
    };
    IncomingCallNotice premium = Notice("0900111", 0x101);
    ASSERT_TRUE(refuses(premium));
    premium.refused = true;
    EXPECT_EQ(Handler().OnIncomingCall(premium), IncomingCallHandler::Outcome::Quiet);
    EXPECT_NE(dir.Read(CallVerdicts::FileName).find("\treject\t2\treject number=0900*\n"),
              std::string::npos);

    // Tried again within five minutes: the earlier call counts for the question as for the
    // handler, this call included, and lets it through.
    now += 4 * 60;
    const IncomingCallNotice again = Notice("0900111", 0x201);
    EXPECT_FALSE(refuses(again));
    EXPECT_EQ(Handler().OnIncomingCall(again), IncomingCallHandler::Outcome::Announced);

    // Only "reject" refuses; a quiet call is not.
    EXPECT_FALSE(refuses(Notice("040999", 0x301)));
    // A call for an MSN the user does not watch is dropped by the handler, and left alone on the
    // line.
    settings.Write()->onlyNamedMsns = 1;
    EXPECT_FALSE(refuses(Notice("0900222", 0x401, "999")));
    EXPECT_TRUE(refuses(Notice("0900222", 0x402, "555")));
}

TEST_F(ScreeningTest, ACallRefusedOnTheLineIsNeverAnnounced) {
    // Rules changed between the question and the handling: what the line did stands.
    Screening("quiet unknown\n");
    IncomingCallNotice known = Notice("0301234", 0x101);
    known.refused = true;
    EXPECT_EQ(Handler().OnIncomingCall(known), IncomingCallHandler::Outcome::Quiet);
    EXPECT_TRUE(announcer.popups.empty());
    // No rule refused it, so none is named for it.
    EXPECT_EQ(dir.Read(CallVerdicts::FileName).find("0301234"), std::string::npos);
}

TEST_F(ScreeningTest, TheLineIsToldWhenARuleThatRefusesComesAndGoes) {
    Screening("quiet unknown\n");
    std::vector<bool> heard;
    screening->SetRejectListener([&](bool hasReject) { heard.push_back(hasReject); });
    EXPECT_FALSE(screening->HasReject());
    EXPECT_FALSE(RefusesIncomingCall(*screening, Notice("0900111", 0x101), now, lists, settings));

    ReplaceByRename(RulesPath(), "reject unknown\n");
    ASSERT_TRUE(WaitFor([&] { return !heard.empty(); }));
    EXPECT_TRUE(screening->HasReject());
    EXPECT_TRUE(RefusesIncomingCall(*screening, Notice("0900111", 0x101), now, lists, settings));
    // Said once: other sources cannot refuse.
    ASSERT_EQ(told.size(), 1u);
    EXPECT_NE(told[0].find("kept quiet"), std::string::npos) << told[0];

    // Another reject rule changes nothing the line must hear; a file without one does.
    ReplaceByRename(RulesPath(), "reject unknown\nreject withheld\n");
    ASSERT_TRUE(WaitFor([&] { return RuleTexts(*screening) == "reject unknown\nreject withheld\n"; }));
    ReplaceByRename(RulesPath(), "quiet withheld\n");
    ASSERT_TRUE(WaitFor([&] { return heard.size() == 2; }));
    EXPECT_EQ(heard, (std::vector<bool>{true, false}));
    EXPECT_FALSE(RefusesIncomingCall(*screening, Notice("0900111", 0x101), now, lists, settings));
}

TEST_F(ScreeningTest, FailedVerdictWriteIsTold) {
    fs::create_directory(dir.Path() / CallVerdicts::FileName); // cannot be appended to
    Screening("quiet unknown\n");
    EXPECT_EQ(Handler().OnIncomingCall(Notice("040999", 0x101)),
              IncomingCallHandler::Outcome::Quiet);
    EXPECT_EQ(failedFiles, std::vector<std::string>{CallVerdicts::FileName});
    // The call itself is kept all the same.
    EXPECT_FALSE(dir.Read("caller.txt").empty());
}

TEST_F(ScreeningTest, BadFileAtStartAppliesNoRuleAndSaysSo) {
    Screening("quiet unknown\nhush withheld\n");
    EXPECT_EQ(screening->Current(), nullptr);
    ASSERT_EQ(told.size(), 1u);
    EXPECT_NE(told[0].find("every call is announced"), std::string::npos) << told[0];
    EXPECT_NE(told[0].find(RulesPath().string() + ":2: "), std::string::npos) << told[0];
    EXPECT_EQ(Handler().OnIncomingCall(Notice("040999", 0x101)),
              IncomingCallHandler::Outcome::Announced);
}

TEST_F(ScreeningTest, BadFileAfterGoodKeepsTheGoodRulesAndTellsOnce) {
    Screening("quiet unknown\n");
    ASSERT_EQ(RuleTexts(*screening), "quiet unknown\n");

    Write(RulesPath(), "quiet unknown\nquiet time=25:00-07:00\n");
    ASSERT_TRUE(WaitFor([&] { return !told.empty(); }));
    EXPECT_EQ(RuleTexts(*screening), "quiet unknown\n");
    EXPECT_NE(told[0].find(RulesPath().string() + ":2: "), std::string::npos) << told[0];
    EXPECT_NE(told[0].find("stay in force"), std::string::npos) << told[0];
    EXPECT_EQ(Handler().OnIncomingCall(Notice("040999", 0x101)),
              IncomingCallHandler::Outcome::Quiet);

    // The same faulty bytes written again are no new change; a good file then is used.
    Write(RulesPath(), "quiet unknown\nquiet time=25:00-07:00\n");
    Write(RulesPath(), "quiet withheld\n");
    ASSERT_TRUE(WaitFor([&] { return RuleTexts(*screening) == "quiet withheld\n"; }))
        << RuleTexts(*screening);
    EXPECT_EQ(told.size(), 1u);
}

TEST_F(ScreeningTest, FileReplacedByRenameIsSeenEveryTime) {
    Screening("quiet unknown\n");
    ReplaceByRename(RulesPath(), "quiet   withheld   # at night\n");
    ASSERT_TRUE(WaitFor([&] { return RuleTexts(*screening) == "quiet withheld\n"; }))
        << RuleTexts(*screening);
    // The watch follows the new file.
    ReplaceByRename(RulesPath(), "announce known\n");
    ASSERT_TRUE(WaitFor([&] { return RuleTexts(*screening) == "announce known\n"; }))
        << RuleTexts(*screening);
    // Removed: no rules.
    fs::remove(RulesPath());
    ASSERT_TRUE(WaitFor([&] { return screening->Current() == nullptr; }));
    // Created again.
    ReplaceByRename(RulesPath(), "quiet known\n");
    ASSERT_TRUE(WaitFor([&] { return RuleTexts(*screening) == "quiet known\n"; }))
        << RuleTexts(*screening);
    EXPECT_TRUE(told.empty());
}

TEST_F(ScreeningTest, ListFileChangedIsReadAgainWhileCallsCome) {
    fs::create_directory(dir.Path() / "lists");
    const fs::path list = dir.Path() / "lists" / "spam.txt";
    Write(list, "040111\n");
    Screening("quiet list=lists/spam.txt\n");
    EXPECT_EQ(Handler().OnIncomingCall(Notice("040111", 0x101)),
              IncomingCallHandler::Outcome::Quiet);
    EXPECT_EQ(Handler().OnIncomingCall(Notice("040222", 0x102)),
              IncomingCallHandler::Outcome::Announced);

    const std::shared_ptr<const CallRules> before = screening->Current();
    Write(list, "040222\n+49 40 333\n"); // in place
    ASSERT_TRUE(WaitFor([&] { return screening->Current() != before; }));
    EXPECT_EQ(Handler().OnIncomingCall(Notice("040111", 0x103)),
              IncomingCallHandler::Outcome::Announced);
    EXPECT_EQ(Handler().OnIncomingCall(Notice("040222", 0x104)),
              IncomingCallHandler::Outcome::Quiet);
    EXPECT_EQ(Handler().OnIncomingCall(Notice("040333", 0x105)),
              IncomingCallHandler::Outcome::Quiet);

    // Replaced by a rename as well; a list that goes missing is a fault that keeps the rules.
    const std::shared_ptr<const CallRules> second = screening->Current();
    ReplaceByRename(list, "040444\n");
    ASSERT_TRUE(WaitFor([&] { return screening->Current() != second; }));
    EXPECT_TRUE(screening->Current()->rules[0].conditions[0].list->numbers.count("040444"));
    fs::remove(list);
    ASSERT_TRUE(WaitFor([&] { return !told.empty(); }));
    EXPECT_NE(told[0].find("spam.txt"), std::string::npos) << told[0];
    EXPECT_TRUE(screening->Current()->rules[0].conditions[0].list->numbers.count("040444"));
}

TEST(CallerRule, OnlyForANumberARuleCanNameAlone) {
    EXPECT_EQ(CallerRuleLine(RuleAction::Quiet, "0301234"), "quiet number=0301234");
    EXPECT_EQ(CallerRuleLine(RuleAction::Reject, "+4930123"), "reject number=+4930123");
    // Withheld, absent, or what a rule would read as a pattern, a comment or two words.
    for (const char* calling : {"0", "", "*", "+", "030*1", "030 1", "030#1", "030\t1", "anna",
                                "49+30"})
        EXPECT_EQ(CallerRuleLine(RuleAction::Quiet, calling), std::nullopt) << calling;
    EXPECT_EQ(CallerRuleLine(RuleAction::Announce, "0301234"), std::nullopt);
    // What is made reads back as one rule for that number alone.
    const RulesParse parse = ParseCallRules(*CallerRuleLine(RuleAction::Reject, "+4930123"),
                                            "rules.conf", "DE");
    ASSERT_TRUE(parse.faults.empty());
    ASSERT_EQ(parse.rules.rules.size(), 1u);
    EXPECT_EQ(parse.rules.rules[0].action, RuleAction::Reject);
    ASSERT_EQ(parse.rules.rules[0].conditions.size(), 1u);
    EXPECT_EQ(parse.rules.rules[0].conditions[0].text, "+4930123");
}

TEST_F(ScreeningTest, RuleAddedAtTheTopKeepsTheRestAndDecidesTheNextCall) {
    Write(RulesPath(), "# mine\r\nannounce known\nquiet withheld"); // no end of line
    Screening();
    std::string error;
    ASSERT_TRUE(AddRuleAtTop(RulesPath().string(), "quiet number=0301234", error)) << error;
    EXPECT_EQ(dir.Read("rules.conf"),
              "quiet number=0301234\n# mine\r\nannounce known\nquiet withheld");
    screening->Reread();
    ASSERT_TRUE(WaitFor([&] { return RuleTexts(*screening).starts_with("quiet number="); }))
        << RuleTexts(*screening);
    // Above "announce known": the phone book's Anna is kept quiet now.
    EXPECT_EQ(Handler().OnIncomingCall(Notice("0301234", 0x101)),
              IncomingCallHandler::Outcome::Quiet);
    EXPECT_TRUE(told.empty());
}

TEST_F(ScreeningTest, RuleAddedWithoutARulesFileMakesItAndItsDirectory) {
    // A rules file in a directory that is not there yet: nothing can be watched at the start.
    const fs::path nested = dir.Path() / "config" / "TAVO" / "rules.conf";
    CallScreening::Options options;
    options.path = nested.string();
    options.country = "DE";
    options.settle = 50ms;
    options.recheck = 50ms;
    options.tell = [this](const std::string& text) { told.push_back(text); };
    screening = std::make_unique<CallScreening>(std::move(options));
    screening->Start();
    EXPECT_EQ(screening->Current(), nullptr);

    std::string error;
    ASSERT_TRUE(AddRuleAtTop(nested.string(), "reject number=040999", error)) << error;
    EXPECT_EQ(dir.Read("config/TAVO/rules.conf"), "reject number=040999\n");
    screening->Reread();
    ASSERT_TRUE(WaitFor([&] { return RuleTexts(*screening) == "reject number=040999\n"; }))
        << RuleTexts(*screening);
    // From now on the file is watched: a change by hand is seen.
    ReplaceByRename(nested, "quiet number=040998\n");
    ASSERT_TRUE(WaitFor([&] { return RuleTexts(*screening) == "quiet number=040998\n"; }))
        << RuleTexts(*screening);

    // A rules file that is there but cannot be read is never replaced by one line.
    fs::remove(nested);
    fs::create_directory(nested);
    EXPECT_FALSE(AddRuleAtTop(nested.string(), "quiet number=1", error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(fs::is_directory(nested));
}

class RuleColumnTest : public ::testing::Test {
protected:
    void SetUp() override {
        CallList calls;
        for (const auto& [time, calling, plci] :
             {std::tuple{1000, "09001234", 7u}, std::tuple{2000, "040999", 8u}}) {
            CallRecord call;
            call.callTime = time;
            call.hasTime = true;
            call.key = "555";
            call.value = calling;
            call.connectionId = plci;
            call.repeatCount = 1;
            calls.append(call);
        }
        first = *calls.begin();
        ASSERT_TRUE(SaveListFile(calls, (dir.Path() / "caller.his").string()));
        options.command = TavoCommand::Export;
        options.exportFile = "-";
    }

    std::string Export(ExportFormat format) {
        options.exportFormat = format;
        std::FILE* out = std::tmpfile();
        std::FILE* err = std::tmpfile();
        EXPECT_EQ(RunExport(options, dir.Path().string(), out, err), 0) << ReadAll(err);
        const std::string text = ReadAll(out);
        std::fclose(out);
        std::fclose(err);
        return text;
    }

    TempDataDir dir;
    CallRecord first;
    CommandLine options;
};

TEST_F(RuleColumnTest, OnlyWithVerdictsTheRuleIsALastColumn) {
    const std::string plainCsv = Export(ExportFormat::Csv);
    EXPECT_EQ(plainCsv.substr(0, plainCsv.find('\n') + 1),
              "time,called,msn,service,calling,name,place,repeats\r\n");
    EXPECT_EQ(Export(ExportFormat::Json).find("rule"), std::string::npos);

    CallRule rule;
    rule.line = 3;
    rule.text = "quiet number=0900* \"premium\"";
    // A torn last line, as a crash leaves it while the monitor appends: read, never cut.
    const std::string verdictsFile =
        VerdictLine(first, {&rule, RuleAction::Quiet}) + "2000\t8\t040";
    Write(dir.Path() / CallVerdicts::FileName, verdictsFile);

    const std::string csv = Export(ExportFormat::Csv);
    EXPECT_EQ(csv.substr(0, csv.find('\n') + 1),
              "time,called,msn,service,calling,name,place,repeats,rule\r\n");
    // The rule is the last cell of the call it decided; the other call has an empty one.
    EXPECT_TRUE(LineWith(csv, ",09001234,").ends_with(",\"quiet number=0900* \"\"premium\"\"\"\r\n"))
        << csv;
    EXPECT_TRUE(LineWith(csv, ",040999,").ends_with(",\r\n")) << csv;
    const std::string json = Export(ExportFormat::Json);
    EXPECT_TRUE(LineWith(json, "\"09001234\"")
                    .ends_with(",\"rule\":\"quiet number=0900* \\\"premium\\\"\"}\n"))
        << json;
    EXPECT_TRUE(LineWith(json, "\"040999\"").ends_with(",\"rule\":\"\"}\n")) << json;
    EXPECT_EQ(dir.Read(CallVerdicts::FileName), verdictsFile);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
