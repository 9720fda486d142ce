// Call history at its largest expected size: load, save and lookups, with plain stdio reads
// and writes of the same number of bytes as the yardstick.
#include "data/CallList.h"
#include "data/ListFile.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <malloc.h>
#include <map>
#include <string>
#include <unistd.h>

namespace {

constexpr int HistoryCalls = 1'000'000;
constexpr int BookEntries = 10'000;

std::string WorkFile(const char* name) {
    const char* dir = std::getenv("TAVO_BENCH_DIR");
    return std::string(dir ? dir : "/tmp") + "/tavo-bench-" + name;
}

void FillHistory(CallList& calls, int count) {
    const int32_t start = 946'684'800; // 2000-01-01: one call every ten minutes from then on
    for (int i = 0; i < count; ++i) {
        CallRecord r;
        r.key = "4711" + std::to_string(i % 5);
        r.value = i % 7 == 0 ? "0" : "030" + std::to_string(1'000'000 + i % 90'000);
        r.callTime = start + i * 600;
        r.hasTime = true;
        r.cipValue = i % 3 == 0 ? 1 : 16;
        r.repeatCount = 1;
        r.connectionId = static_cast<uint32_t>(0x101 + (i % 4) * 0x100);
        calls.append(std::move(r));
    }
}

const std::string& HistoryFile() {
    static const std::string path = [] {
        CallList calls;
        FillHistory(calls, HistoryCalls);
        const std::string file = WorkFile("caller.his");
        if (!SaveListFile(calls, file))
            std::abort();
        return file;
    }();
    return path;
}

size_t FileSize(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    std::fseek(f, 0, SEEK_END);
    const long size = std::ftell(f);
    std::fclose(f);
    return static_cast<size_t>(size);
}

// Resident set size of the process in bytes.
size_t ResidentBytes() {
    long pages = 0, resident = 0;
    if (std::FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return static_cast<size_t>(resident) * static_cast<size_t>(sysconf(_SC_PAGESIZE));
}

// Memory of the loaded history: the heap in use and the resident size, before and after the
// load, per call and against the file's size.
void BM_LoadHistory(benchmark::State& state) {
    const std::string& file = HistoryFile();
    const double fileSize = static_cast<double>(FileSize(file));
    double heapGrowth = 0, residentGrowth = 0, count = 1;
    for (auto _ : state) {
        CallList calls;
        malloc_trim(0);
        const size_t before = mallinfo2().uordblks;
        const size_t residentBefore = ResidentBytes();
        LoadListFile(calls, file);
        const size_t after = mallinfo2().uordblks;
        const size_t residentAfter = ResidentBytes();
        // Freed memory may be taken again by a later load: the largest growth is the true one.
        heapGrowth = std::max(heapGrowth, static_cast<double>(after - before));
        residentGrowth =
            std::max(residentGrowth, static_cast<double>(residentAfter) - double(residentBefore));
        count = static_cast<double>(calls.size());
        state.PauseTiming();
        calls.clear();
        state.ResumeTiming();
    }
    state.counters["heap_bytes_per_call"] = heapGrowth / count;
    state.counters["rss_bytes_per_call"] = residentGrowth / count;
    state.counters["rss_to_file"] = residentGrowth / fileSize;
    state.counters["file_bytes_per_call"] = fileSize / count;
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * FileSize(file)));
}

void BM_SaveHistory(benchmark::State& state) {
    CallList calls;
    FillHistory(calls, HistoryCalls);
    const std::string file = WorkFile("caller-save.his");
    for (auto _ : state) {
        if (!SaveListFile(calls, file))
            state.SkipWithError("save failed");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * FileSize(file)));
}

void BM_EncodeHistoryOnly(benchmark::State& state) {
    CallList calls;
    FillHistory(calls, HistoryCalls);
    for (auto _ : state)
        benchmark::DoNotOptimize(EncodeListFile(calls));
}

void BM_RawRead(benchmark::State& state) {
    const std::string& file = HistoryFile();
    const size_t size = FileSize(file);
    std::string buffer(size, '\0');
    for (auto _ : state) {
        std::FILE* f = std::fopen(file.c_str(), "rb");
        benchmark::DoNotOptimize(std::fread(buffer.data(), 1, size, f));
        std::fclose(f);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
}

// The same read into a buffer made for it, as any load of the file must: the first touch of
// fresh memory is part of the cost on every system, and a large part on a virtual machine.
void BM_RawReadFresh(benchmark::State& state) {
    const std::string& file = HistoryFile();
    const size_t size = FileSize(file);
    for (auto _ : state) {
        malloc_trim(0);
        std::string buffer;
        buffer.reserve(size);
        buffer.resize(size);
        std::FILE* f = std::fopen(file.c_str(), "rb");
        benchmark::DoNotOptimize(std::fread(buffer.data(), 1, size, f));
        std::fclose(f);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
}

// fsync included so the comparison with save, which flushes to the disk, is fair.
void BM_RawWrite(benchmark::State& state) {
    const size_t size = FileSize(HistoryFile());
    const std::string bytes(size, 'x');
    const std::string file = WorkFile("raw.bin");
    for (auto _ : state) {
        std::FILE* f = std::fopen(file.c_str(), "wb");
        std::fwrite(bytes.data(), 1, size, f);
        std::fflush(f);
        if (state.range(0) != 0)
            ::fsync(fileno(f));
        std::fclose(f);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
}

void BM_FindByKeyPhoneBook(benchmark::State& state) {
    Directory book;
    for (int i = 0; i < BookEntries; ++i) {
        DirectoryEntry e;
        e.key = "030" + std::to_string(1'000'000 + i);
        e.value = "Name " + std::to_string(i);
        e.speakText = "";
        book.append(std::move(e));
    }
    const std::string hit = "0301000000"; // the first entry: the walk from the end is longest
    const std::string miss = "0409999999";
    for (auto _ : state) {
        benchmark::DoNotOptimize(book.findByKey(hit));
        benchmark::DoNotOptimize(book.findByKey(miss));
    }
    state.SetItemsProcessed(state.iterations() * 2);
}

void BM_FindRepeatHistory(benchmark::State& state) {
    CallList calls;
    FillHistory(calls, HistoryCalls);
    const uint32_t connectionId =
        0x101; // matches many records, all too old: the whole list is walked
    const std::time_t now = calls.at(0)->callTime + static_cast<std::time_t>(HistoryCalls) * 600;
    for (auto _ : state)
        benchmark::DoNotOptimize(calls.findRepeat(connectionId, now));
    state.SetItemsProcessed(state.iterations() * HistoryCalls);
}

BENCHMARK(BM_LoadHistory)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_RawRead)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawReadFresh)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveHistory)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_EncodeHistoryOnly)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_RawWrite)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindByKeyPhoneBook)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FindRepeatHistory)->Unit(benchmark::kMillisecond);

// Prints the usual table, then how load and save compare with the plain reads and writes.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            times[run.benchmark_name()] = run.GetAdjustedRealTime();
            cpuTimes[run.benchmark_name()] = run.GetAdjustedCPUTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
    void PrintRatios() const {
        auto ratio = [&](const char* a, const char* b) {
            auto x = times.find(a), y = times.find(b);
            if (x != times.end() && y != times.end() && y->second > 0)
                std::printf("%-32s / %-24s = %.2f (CPU time %.2f)\n", a, b, x->second / y->second,
                            cpuTimes.at(a) / cpuTimes.at(b));
        };
        ratio("BM_LoadHistory/iterations:3", "BM_RawRead");
        ratio("BM_LoadHistory/iterations:3", "BM_RawReadFresh");
        ratio("BM_SaveHistory/iterations:3", "BM_RawWrite/1");
        ratio("BM_SaveHistory/iterations:3", "BM_RawWrite/0");
    }

private:
    std::map<std::string, double> times;
    std::map<std::string, double> cpuTimes;
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatios();
    for (const char* name : {"caller.his", "caller-save.his", "caller-append.his", "raw.bin"})
        std::remove(WorkFile(name).c_str());
    benchmark::Shutdown();
    return 0;
}
