// How many lines of a router's feed and of a manager's packets the sources read a second, as
// the thread of a source does: bytes in pieces of one read, cut into lines, parsed, and each call
// handed to a listener that returns at once. The resident memory before and after the run shows
// whether a flood leaves anything behind.
#include "sources/AmiSource.h"
#include "sources/FeedSource.h"
#include "sources/LineSplitter.h"

#include <benchmark/benchmark.h>

#include <fstream>
#include <string>

namespace {

struct Counting : SourceListener {
    size_t calls = 0, outcomes = 0;
    void Call(const IncomingCallNotice&) override { ++calls; }
    void Outcome(const CallOutcome&) override { ++outcomes; }
    void State(SourceState, const std::string&) override {}
};

long ResidentKilobytes() {
    std::ifstream status("/proc/self/status");
    std::string word;
    while (status >> word)
        if (word == "VmRSS:") {
            long kb = 0;
            status >> kb;
            return kb;
        }
    return 0;
}

// 10,000 lines: calls that ring, are answered and end, outgoing calls and lines of no event.
std::string FeedFlood() {
    std::string text;
    for (int i = 0; i < 2000; ++i) {
        const std::string id = std::to_string(i % 32);
        text += "09.12.26 19:30:00;RING;" + id + ";0301234" + std::to_string(i) + ";5551;SIP0;\r\n";
        text += "09.12.26 19:30:01;CALL;40;1;5551;0409876;SIP0;\r\n";
        text += "09.12.26 19:30:02;CONNECT;" + id + ";2;0301234;\r\n";
        text += "09.12.26 19:30:09;DISCONNECT;" + id + ";7;\r\n";
        text += "not an event at all\n";
    }
    return text;
}

void BM_FeedFlood(benchmark::State& state) {
    const std::string flood = FeedFlood();
    FeedProtocol feed;
    Counting listener;
    LineSplitter splitter(8192);
    const long before = ResidentKilobytes();
    for (auto _ : state) {
        for (size_t at = 0; at < flood.size(); at += 16384)
            splitter.Feed(std::string_view(flood).substr(at, 16384),
                          [&](std::string_view line) { feed.Line(line, listener); });
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * 10000);
    state.counters["rss_growth_kb"] = double(ResidentKilobytes() - before);
    benchmark::DoNotOptimize(listener.calls);
}
BENCHMARK(BM_FeedFlood)->Unit(benchmark::kMillisecond);

void BM_AmiFlood(benchmark::State& state) {
    // 1,000 calls of two channels each, ended: 10 packets, about 75 lines a call.
    std::string flood = "Asterisk Call Manager/5.0.1\r\n"
                        "Response: Success\r\nActionID: tavo-login\r\n\r\n";
    for (int i = 0; i < 1000; ++i) {
        const std::string call = std::to_string(i) + ".1";
        flood += "Event: Newchannel\r\nChannel: PJSIP/trunk-1\r\nContext: from-external\r\n"
                 "CallerIDNum: 030" + std::to_string(i) + "\r\nExten: 5551\r\nUniqueid: " + call +
                 "\r\nLinkedid: " + call + "\r\n\r\n";
        flood += "Event: Newchannel\r\nChannel: PJSIP/201-2\r\nContext: from-internal\r\n"
                 "Uniqueid: " + std::to_string(i) + ".2\r\nLinkedid: " + call + "\r\n\r\n";
        flood += "Event: Newstate\r\nChannel: PJSIP/201-2\r\nChannelState: 6\r\nUniqueid: " +
                 std::to_string(i) + ".2\r\nLinkedid: " + call + "\r\n\r\n";
        flood += "Event: Hangup\r\nUniqueid: " + call + "\r\nLinkedid: " + call +
                 "\r\nCause: 16\r\n\r\n";
    }
    Counting listener;
    const long before = ResidentKilobytes();
    size_t lines = 0;
    for (auto _ : state) {
        AmiSourceProtocol ami("tavo", "pw", "from-external");
        ami.Greeting();
        LineSplitter splitter(8192);
        splitter.Feed(flood, [&](std::string_view line) {
            ami.Line(line, listener);
            ++lines;
        });
    }
    state.SetItemsProcessed(int64_t(lines));
    state.counters["rss_growth_kb"] = double(ResidentKilobytes() - before);
}
BENCHMARK(BM_AmiFlood)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
