// How long an announcement takes to queue, to turn into markup, and to synthesize.

#include "speech/CSpeechEngine.h"
#include "speech/SpeechText.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>

namespace {

const std::string Announcement = "Incoming call on Office from 0 1 2 \\Pau=500\\3 4   ";

// Counts samples and keeps nothing.
class CountingSink final : public SpeechSink {
public:
    bool Begin(int rate) override {
        sampleRate = rate;
        return true;
    }
    bool Write(std::span<const int16_t> s) override {
        samples += s.size();
        return true;
    }
    bool Finish() override { return true; }
    int sampleRate = 0;
    size_t samples = 0;
};

CSpeechEngine& Engine() {
    static CSpeechEngine* engine = [] {
        setenv("LC_ALL", "C", 1);
        auto* e = new CSpeechEngine;
        e->CreateEnumerator();
        e->EnumerateModes();
        e->SelectMode(e->GetModeId(0));
        return e;
    }();
    return *engine;
}

void BM_AnnouncementMarkup(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(SpeechTextToSsml(Announcement));
}
BENCHMARK(BM_AnnouncementMarkup);

// The time the caller (the incoming-call handler) spends in SpeakTo; the synthesis runs on the
// worker and is waited for outside the measured time.
void BM_QueueAnnouncement(benchmark::State& state) {
    CSpeechEngine& engine = Engine();
    for (auto _ : state) {
        auto sink = std::make_shared<CountingSink>();
        const auto start = std::chrono::steady_clock::now();
        engine.SpeakTo(Announcement, sink);
        const auto end = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
        engine.WaitUntilDone(std::chrono::seconds(60));
    }
}
BENCHMARK(BM_QueueAnnouncement)->UseManualTime()->Unit(benchmark::kMicrosecond);

// Synthesis of the whole announcement; "audio_per_second" is the real-time factor.
void BM_SynthesizeAnnouncement(benchmark::State& state) {
    CSpeechEngine& engine = Engine();
    double audioSeconds = 0;
    for (auto _ : state) {
        auto sink = std::make_shared<CountingSink>();
        engine.SpeakTo(Announcement, sink);
        engine.WaitUntilDone(std::chrono::seconds(60));
        audioSeconds += sink->sampleRate ? double(sink->samples) / sink->sampleRate : 0.0;
    }
    state.counters["audio_per_second"] =
        benchmark::Counter(audioSeconds, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SynthesizeAnnouncement)->UseRealTime()->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
