// Screening rules: what a rules file means, what is wrong with a bad one, and how each call of a
// history is judged at its own time. Local times are Europe/Berlin (tests/support).
#include "core/CallRules.h"
#include "core/CallVerdicts.h"
#include "core/NumberKinds.h"
#include "core/PhoneNumbers.h"
#include "core/RulesCommand.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>

#include <stdlib.h>

namespace {

// A local time in Europe/Berlin.
std::time_t Local(int year, int month, int day, int hour, int minute, int second = 0) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

ListFileReader Files(std::map<std::string, std::string> files) {
    return [files](const std::string& path, std::string& error) -> std::optional<std::string> {
        const auto found = files.find(path);
        if (found == files.end()) {
            error = "No such file or directory";
            return std::nullopt;
        }
        return found->second;
    };
}

RulesParse Parse(const std::string& text, ListFileReader files = Files({})) {
    return ParseCallRules(text, "/home/u/.config/TAVO/rules.conf", "DE", files);
}

CallFacts Call(std::string calling, std::time_t time, bool known = false) {
    CallFacts facts;
    facts.calling = std::move(calling);
    facts.called = "5551234";
    facts.time = time;
    facts.inPhoneBook = known;
    return facts;
}

// The line of the rule that decided, 0 when none did.
int Decided(const RulesParse& parsed, const CallFacts& facts) {
    const RuleVerdict verdict = JudgeCall(parsed.rules, facts);
    return verdict.rule ? verdict.rule->line : 0;
}

const char* const Example = "# screening\n"
                            "announce known\n"
                            "announce repeat=2/5\n"
                            "quiet    time=22:00-07:00   # nights\n"
                            "reject   type=premium\n"
                            "reject   list=spam-numbers.txt\n"
                            "\n"
                            "quiet    withheld days=sat,sun\n";

} // namespace

TEST(CallRules, TheExampleReadsAsWrittenWithCommentsGoneAndBlanksCollapsed) {
    const RulesParse parsed =
        Parse(Example, Files({{"/home/u/.config/TAVO/spam-numbers.txt", "0301234567\n"}}));
    ASSERT_TRUE(parsed.faults.empty()) << FaultLine(parsed.faults[0]);
    ASSERT_EQ(parsed.rules.rules.size(), 6u);
    EXPECT_EQ(parsed.rules.rules[0].line, 2);
    EXPECT_EQ(parsed.rules.rules[2].text, "quiet time=22:00-07:00");
    EXPECT_EQ(parsed.rules.rules[5].line, 8);
    EXPECT_EQ(parsed.rules.rules[5].text, "quiet withheld days=sat,sun");
    EXPECT_EQ(parsed.rules.rules[3].action, RuleAction::Reject);
    EXPECT_TRUE(parsed.rules.HasReject());
    EXPECT_EQ(parsed.rules.ListFiles(),
              std::vector<std::string>{"/home/u/.config/TAVO/spam-numbers.txt"});
}

TEST(CallRules, EveryFaultIsToldWithItsFileAndLine) {
    const RulesParse parsed = Parse("ignore known\n"          // 1: unknown action
                                    "quiet colour=red\n"      // 2: unknown condition
                                    "quiet time=25:00-07:00\n" // 3
                                    "quiet time=22:00-22:00\n" // 4: empty window
                                    "quiet days=mon-xyz\n"    // 5
                                    "quiet repeat=0/5\n"      // 6
                                    "quiet repeat=2\n"        // 7
                                    "reject list=missing.txt\n" // 8
                                    "quiet number=09a*\n"     // 9
                                    "quiet type=spam\n"       // 10
                                    "quiet msn\n"             // 11
                                    "announce known\n");
    std::vector<int> lines;
    for (const RuleFault& fault : parsed.faults) {
        lines.push_back(fault.line);
        EXPECT_EQ(fault.file, "/home/u/.config/TAVO/rules.conf");
    }
    EXPECT_EQ(lines, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}));
    EXPECT_EQ(FaultLine(parsed.faults[7]).rfind("/home/u/.config/TAVO/rules.conf:8: list file ", 0),
              0u)
        << FaultLine(parsed.faults[7]);
    // Only the good rule is kept.
    ASSERT_EQ(parsed.rules.rules.size(), 1u);
    EXPECT_EQ(parsed.rules.rules[0].line, 12);
}

TEST(CallRules, ANightWindowHoldsFromItsStartUpToButExcludingItsEnd) {
    const RulesParse parsed = Parse("quiet time=22:00-07:00\n");
    EXPECT_EQ(Decided(parsed, Call("0301111", Local(2026, 12, 9, 21, 59, 59))), 0);
    EXPECT_EQ(Decided(parsed, Call("0301111", Local(2026, 12, 9, 22, 0, 0))), 1);
    EXPECT_EQ(Decided(parsed, Call("0301111", Local(2026, 12, 10, 0, 30))), 1);
    EXPECT_EQ(Decided(parsed, Call("0301111", Local(2026, 12, 10, 6, 59, 59))), 1);
    EXPECT_EQ(Decided(parsed, Call("0301111", Local(2026, 12, 10, 7, 0, 0))), 0);
    // A day window, and one that ends at midnight.
    const RulesParse day = Parse("quiet time=09:30-17:00\nquiet time=23:00-24:00\n");
    EXPECT_EQ(Decided(day, Call("0301111", Local(2026, 12, 9, 9, 29, 59))), 0);
    EXPECT_EQ(Decided(day, Call("0301111", Local(2026, 12, 9, 12, 0))), 1);
    EXPECT_EQ(Decided(day, Call("0301111", Local(2026, 12, 9, 23, 59, 59))), 2);
    EXPECT_EQ(Decided(day, Call("0301111", Local(2026, 12, 10, 0, 0))), 0);
    // Local time across the change to summer time: 03:30 local is in the window.
    EXPECT_EQ(Decided(parsed, Call("0301111", Local(2026, 3, 29, 3, 30))), 1);
}

TEST(CallRules, DayRangesGoForwardAndWrapPastSunday) {
    const RulesParse parsed = Parse("quiet days=fri-mon\n");
    // 2026-12-11 is a Friday.
    EXPECT_EQ(Decided(parsed, Call("0301111", Local(2026, 12, 10, 12, 0))), 0); // Thu
    EXPECT_EQ(Decided(parsed, Call("0301111", Local(2026, 12, 11, 12, 0))), 1); // Fri
    EXPECT_EQ(Decided(parsed, Call("0301111", Local(2026, 12, 13, 12, 0))), 1); // Sun
    EXPECT_EQ(Decided(parsed, Call("0301111", Local(2026, 12, 14, 12, 0))), 1); // Mon
    EXPECT_EQ(Decided(parsed, Call("0301111", Local(2026, 12, 15, 12, 0))), 0); // Tue
    const RulesParse list = Parse("quiet days=sat,sun,wed\n");
    EXPECT_EQ(Decided(list, Call("0301111", Local(2026, 12, 9, 12, 0))), 1);  // Wed
    EXPECT_EQ(Decided(list, Call("0301111", Local(2026, 12, 12, 12, 0))), 1); // Sat
    EXPECT_EQ(Decided(list, Call("0301111", Local(2026, 12, 14, 12, 0))), 0); // Mon
}

TEST(CallRules, AWithheldCallIsWithheldOnlyAndNeverMatchesANumberOrARepeat) {
    const RulesParse parsed = Parse("announce known\n"
                                    "quiet unknown\n"
                                    "reject number=0*\n"
                                    "reject repeat=1/5\n"
                                    "quiet withheld\n");
    const std::time_t now = Local(2026, 12, 9, 12, 0);
    CallFacts withheld = Call("0", now, true);
    withheld.earlierCallsSince = [](std::time_t) { return 10; };
    EXPECT_EQ(Decided(parsed, withheld), 5);
    EXPECT_EQ(Decided(parsed, Call("0301111", now, true)), 1);
    EXPECT_EQ(Decided(parsed, Call("0301111", now, false)), 2);
    // No number at all: the network's marks are no number for number=.
    const RulesParse numbers = Parse("reject number=*\n");
    EXPECT_EQ(Decided(numbers, Call("", now)), 0);
    EXPECT_EQ(Decided(numbers, Call("*", now)), 0);
    EXPECT_EQ(Decided(numbers, Call("0301111", now)), 1);
}

TEST(CallRules, NumberPatternsMatchRunsOfDigits) {
    EXPECT_TRUE(NumberMatchesPattern("09001234567", "0900*"));
    EXPECT_TRUE(NumberMatchesPattern("0900", "0900*"));
    EXPECT_FALSE(NumberMatchesPattern("0800123", "0900*"));
    EXPECT_TRUE(NumberMatchesPattern("0301234567", "0301234567"));
    EXPECT_FALSE(NumberMatchesPattern("03012345678", "0301234567"));
    EXPECT_TRUE(NumberMatchesPattern("0301234567", "*4567"));
    EXPECT_TRUE(NumberMatchesPattern("0301234567", "030*45*"));
    EXPECT_FALSE(NumberMatchesPattern("030#4567", "030*"));
    EXPECT_TRUE(NumberMatchesPattern("+4930123", "+49*"));
}

TEST(CallRules, RepeatCountsThisCallAndTheEarlierOnesInTheWindow) {
    const RulesParse parsed = Parse("announce repeat=2/5\nquiet\n");
    const std::time_t now = Local(2026, 12, 9, 12, 0);
    std::vector<std::time_t> earlier;
    CallFacts facts = Call("0301111", now);
    facts.earlierCallsSince = [&](std::time_t since) {
        int count = 0;
        for (std::time_t t : earlier)
            count += t >= since && t <= now;
        return count;
    };
    EXPECT_EQ(Decided(parsed, facts), 2); // the first call
    earlier = {now - 5 * 60};             // exactly five minutes ago: outside
    EXPECT_EQ(Decided(parsed, facts), 2);
    earlier = {now - 5 * 60 + 1};
    EXPECT_EQ(Decided(parsed, facts), 1);
}

TEST(CallRules, ListFilesTakeEveryFormImportReadsAndTellBadLines) {
    std::vector<RuleFault> faults;
    const auto list = ParseNumberList("# spam\n"
                                      "0301234567\n"
                                      "+49 30 7654321\r\n"
                                      "+44 20 7946 0018\n"
                                      "   \n"
                                      "not a number\n",
                                      "spam.txt", "DE", faults);
    EXPECT_EQ(list->numbers.count("0301234567"), 1u);
    EXPECT_EQ(list->numbers.count("0307654321"), 1u);
    EXPECT_EQ(list->numbers.count("00442079460018"), 1u);
    EXPECT_EQ(list->numbers.size(), 3u);
    ASSERT_EQ(faults.size(), 1u);
    EXPECT_EQ(faults[0].line, 6);
    EXPECT_EQ(faults[0].file, "spam.txt");

    const RulesParse parsed =
        Parse("reject list=lists/spam.txt\n",
              Files({{"/home/u/.config/TAVO/lists/spam.txt", "0301234567\n+49 30 7654321\n"}}));
    ASSERT_TRUE(parsed.faults.empty());
    EXPECT_EQ(Decided(parsed, Call("0307654321", 0)), 1);
    EXPECT_EQ(Decided(parsed, Call("0307654322", 0)), 0);
}

// Lists are read without the numbering plan where the form is plain; what they hold must be what
// the plan would have made of each number, as the phone book's import does.
TEST(CallRules, PlainlyWrittenListNumbersMatchWhatTheNumberingPlanMakesOfThem) {
    const std::vector<std::string> written{
        "030 1234567",     "030/1234567",        "030 / 123 45 67",   "030-1234567",
        "+49 30 1234567",  "+49-151-2345-6789",  "+49 (0)30 1234567", "+49 030 1234567",
        "0044 20 7946 0018", "+44 20 7946 0018", "(030) 1234567",     "089.12345678"};
    for (const std::string& number : written) {
        std::vector<RuleFault> faults;
        const auto list = ParseNumberList(number + "\n", "spam.txt", "DE", faults);
        const LineNumber planned = NumberAsLineDelivers(number, "DE");
        ASSERT_FALSE(planned.number.empty()) << number;
        EXPECT_TRUE(faults.empty()) << number;
        ASSERT_EQ(list->numbers.size(), 1u) << number;
        EXPECT_EQ(*list->numbers.begin(), planned.number) << number;
    }
    // Not plain: left to the plan, which knows "+49 030" and a "+" abroad.
    const HomeDialling home = *HomeDiallingOf("DE");
    EXPECT_EQ(PlainLineForm("+49 30 1234567", home), "0301234567");
    EXPECT_EQ(PlainLineForm("+49 030 1234567", home), std::nullopt);
    EXPECT_EQ(PlainLineForm("+44 20 7946 0018", home), std::nullopt);
    EXPECT_EQ(PlainLineForm("- 030 1234567", home), std::nullopt);
    EXPECT_EQ(PlainLineForm("030 CALL ME", home), std::nullopt);
    // A country without a trunk prefix cannot tell a national number by its start.
    EXPECT_EQ(PlainLineForm("06 1234 5678", HomeDialling{"39", ""}), std::nullopt);
}

TEST(CallRules, NumberTypesAreWhatTheNumberingPlanSays) {
    EXPECT_NE(NumberKindsOf("09001234567", "DE") & NumberKindBit(NumberKind::Premium), 0u);
    EXPECT_NE(NumberKindsOf("08001234567", "DE") & NumberKindBit(NumberKind::TollFree), 0u);
    EXPECT_NE(NumberKindsOf("015112345678", "DE") & NumberKindBit(NumberKind::Mobile), 0u);
    EXPECT_NE(NumberKindsOf("0301234567", "DE") & NumberKindBit(NumberKind::Fixed), 0u);
    EXPECT_EQ(NumberKindsOf("0301234567", "DE") & NumberKindBit(NumberKind::Premium), 0u);
    EXPECT_EQ(NumberKindsOf("12", "DE"), NumberKindBit(NumberKind::Invalid));
    // Asked once per call however many type= rules there are.
    const RulesParse parsed = Parse("reject type=premium\nreject type=tollfree\nquiet type=fixed\n");
    int asked = 0;
    CallFacts facts = Call("0301234567", 0);
    facts.numberKinds = [&] {
        ++asked;
        return NumberKindBit(NumberKind::Fixed);
    };
    EXPECT_EQ(Decided(parsed, facts), 3);
    EXPECT_EQ(asked, 1);
}

TEST(RulesReplay, EachCallIsJudgedAtItsOwnTimeWithRepeatsFromTheHistoryBeforeIt) {
    const RulesParse parsed = Parse("announce known\n"
                                    "announce repeat=2/5\n"
                                    "quiet time=22:00-07:00\n"
                                    "reject number=0900*\n");
    ASSERT_TRUE(parsed.faults.empty());
    Directory phoneBook;
    CallRecord entry;
    entry.key = RecordText("0301111");
    entry.value = RecordText("Anna");
    phoneBook.append(entry);

    CallList calls;
    const auto call = [&](const char* number, std::time_t time) {
        CallRecord record;
        record.key = RecordText("5551234");
        record.value = RecordText(number);
        record.callTime = int32_t(time);
        record.hasTime = true;
        record.repeatCount = 1;
        calls.append(record);
    };
    const std::time_t day = Local(2026, 12, 9, 0, 0);
    call("0302222", day - 60);                 // 23:59 the day before: before the range
    call("0302222", day + 2 * 60);             // 00:02: a repeat of the one before the range
    call("0301111", day + 23 * 3600);          // known, at night
    call("0", day + 23 * 3600 + 60);           // withheld at night
    call("0", day + 23 * 3600 + 120);          // withheld again: no repeat
    call("09001234", day + 12 * 3600);         // premium at noon
    call("0303333", day + 12 * 3600 + 60);     // nothing holds
    call("0303333", day + 24 * 3600 + 12 * 3600); // the day after: outside the range

    const ReplayCounts counts = ReplayRules(parsed.rules, calls, phoneBook, "DE", int64_t(day),
                                            int64_t(day + 24 * 3600));
    EXPECT_EQ(counts.perRule, (std::vector<int64_t>{1, 1, 2, 1}));
    EXPECT_EQ(counts.undecided, 1);
}

TEST(CallVerdicts, VerdictsComeBackAfterARestartAndATornLastLineIsCutOff) {
    char dirTemplate[] = "/tmp/tavo-verdicts-XXXXXX";
    ASSERT_NE(mkdtemp(dirTemplate), nullptr);
    const std::string path = std::string(dirTemplate) + "/caller.verdicts";
    const RulesParse parsed = Parse("quiet   withheld   # weekends\nreject number=0900*\n");
    ASSERT_EQ(parsed.rules.rules.size(), 2u);
    CallRecord first;
    first.callTime = 1765281600;
    first.connectionId = 0x101;
    first.value = RecordText("0");
    CallRecord second = first;
    second.connectionId = 0x102;
    second.value = RecordText("09001234");
    CallRecord undecided = first;
    undecided.value = RecordText("0301111");

    std::string error;
    {
        CallVerdicts verdicts;
        ASSERT_TRUE(verdicts.Load(path, error)) << error; // no file yet: none
        EXPECT_TRUE(verdicts.Record(path, first, {&parsed.rules.rules[0], RuleAction::Quiet}, error));
        EXPECT_TRUE(verdicts.Record(path, undecided, {}, error));
    }
    // A crash in the middle of the next line, then garbage from elsewhere.
    {
        std::FILE* file = std::fopen(path.c_str(), "ab");
        std::fputs("1765281600\t258\t0900", file);
        std::fclose(file);
    }
    CallVerdicts verdicts;
    ASSERT_TRUE(verdicts.Load(path, error)) << error;
    EXPECT_EQ(verdicts.size(), 1u);
    EXPECT_TRUE(verdicts.Record(path, second, {&parsed.rules.rules[1], RuleAction::Reject}, error));

    CallVerdicts again;
    ASSERT_TRUE(again.Load(path, error)) << error;
    ASSERT_EQ(again.size(), 2u);
    const StoredVerdict* quiet = again.Find(first);
    ASSERT_NE(quiet, nullptr);
    EXPECT_EQ(quiet->action, RuleAction::Quiet);
    EXPECT_EQ(quiet->line, 1);
    EXPECT_EQ(quiet->rule, "quiet withheld");
    const StoredVerdict* reject = again.Find(second);
    ASSERT_NE(reject, nullptr);
    EXPECT_EQ(reject->action, RuleAction::Reject);
    EXPECT_EQ(reject->rule, "reject number=0900*");
    EXPECT_EQ(again.Find(undecided), nullptr);
    std::filesystem::remove_all(dirTemplate);
}
