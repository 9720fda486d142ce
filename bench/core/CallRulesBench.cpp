// Screening rules on the path of a call: judging one call against 1,000 rules and a list of
// 100,000 numbers (the decision a reject needs before the line is answered), and reading such
// a list.

#include "core/CallRules.h"
#include "core/NumberKinds.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

std::string NumberList(int count) {
    std::string text;
    text.reserve(size_t(count) * 12);
    for (int i = 0; i < count; ++i)
        text += "0301" + std::to_string(1000000 + i) + "\n";
    return text;
}

// 1,000 rules of every kind, none of which holds for the call judged, so every one is tried.
std::string ManyRules() {
    std::string text;
    for (int i = 0; i < 1000; ++i) {
        switch (i % 8) {
        case 0: text += "reject number=0900" + std::to_string(i) + "*\n"; break;
        case 1: text += "quiet msn=99" + std::to_string(i) + "\n"; break;
        case 2: text += "quiet time=03:00-04:00 days=mon-fri\n"; break;
        case 3: text += "reject type=premium\n"; break;
        case 4: text += "announce repeat=3/5 known\n"; break;
        case 5: text += "quiet withheld days=sat,sun\n"; break;
        case 6: text += "reject list=spam.txt msn=12345\n"; break;
        default: text += "reject list=spam.txt\n"; break;
        }
    }
    return text;
}

void JudgeWithThousandRules(benchmark::State& state) {
    const std::string spam = NumberList(100000);
    const RulesParse parsed = ParseCallRules(
        ManyRules(), "/rules.conf", "DE",
        [&](const std::string&, std::string&) -> std::optional<std::string> { return spam; });
    if (!parsed.faults.empty())
        state.SkipWithError("rules did not parse");
    CallFacts facts;
    facts.calling = "0307654321";
    facts.called = "5551234";
    facts.time = 1765281600; // a Tuesday, noon in Europe
    facts.earlierCallsSince = [](std::time_t) { return 0; };
    facts.numberKinds = [&] { return NumberKindsOf(facts.calling, "DE"); };
    for (auto _ : state) {
        const RuleVerdict verdict = JudgeCall(parsed.rules, facts);
        benchmark::DoNotOptimize(verdict.rule);
    }
}
BENCHMARK(JudgeWithThousandRules)->Unit(benchmark::kMicrosecond);

void ReadHundredThousandNumbers(benchmark::State& state) {
    const std::string text = NumberList(100000);
    for (auto _ : state) {
        std::vector<RuleFault> faults;
        auto list = ParseNumberList(text, "spam.txt", "DE", faults);
        benchmark::DoNotOptimize(list->numbers.size());
    }
}
BENCHMARK(ReadHundredThousandNumbers)->Unit(benchmark::kMillisecond);

void ReadHundredThousandWrittenNumbers(benchmark::State& state) {
    std::string text;
    for (int i = 0; i < 100000; ++i)
        text += "+49 30 " + std::to_string(1000000 + i) + "\n";
    for (auto _ : state) {
        std::vector<RuleFault> faults;
        auto list = ParseNumberList(text, "spam.txt", "DE", faults);
        benchmark::DoNotOptimize(list->numbers.size());
    }
}
BENCHMARK(ReadHundredThousandWrittenNumbers)->Unit(benchmark::kMillisecond);

} // namespace
BENCHMARK_MAIN();
