// One incoming call with a long history: the whole handler for a new call, a repeat and a call
// dropped by the MSN filter, and each of its steps, with 0 and 1,000,000 calls in "caller.his".

#include "core/DayView.h"
#include "core/IncomingCallHandler.h"
#include "core/HistorySearch.h"
#include "core/IncomingCallHistory.h"
#include "core/IncomingCallRepeats.h"
#include "core/IncomingCallTexts.h"
#include "data/ListFile.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>

#include <unistd.h>

namespace {

constexpr std::time_t Start = 1700000000;

struct QuietAnnouncer : CallAnnouncer {
    void ShowToday() override {}
    void ShowPopup(const std::string& text, CallRecord&) override {
        benchmark::DoNotOptimize(text.data());
    }
    void BeepMelody() override {}
    void Speak(const std::string& text) override { benchmark::DoNotOptimize(text.data()); }
};

// The data of one history size, made once and shared by the benchmarks of that size.
struct World {
    explicit World(int64_t calls) {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "tavo-bench-XXXXXX").string();
        dir = mkdtemp(pattern.data());
        std::filesystem::current_path(dir);
        {
            std::ofstream codes("areacode.lst");
            for (int i = 0; i < 5000; ++i)
                codes << "0" << (2000 + i) << "\tPlace " << i << "\n";
            codes << "030\tBerlin\n";
        }
        const auto shared = lists.Write();
        AreaCodeTable& areaCodes = shared->areaCodes;
        Directory& phoneBook = shared->phoneBook;
        Directory& msnList = shared->msnList;
        CallList& callList = shared->callList;
        areaCodes.LoadAreaCodes();
        for (int i = 0; i < 1000; ++i) {
            DirectoryEntry entry;
            entry.key = "0301" + std::to_string(100000 + i);
            entry.value = "Name " + std::to_string(i);
            entry.speakText = "";
            phoneBook.append(entry);
        }
        for (const char* msn : {"555", "556", "557"}) {
            DirectoryEntry entry;
            entry.key = msn;
            entry.value = std::string("MSN ") + msn;
            msnList.append(entry);
        }
        for (int64_t i = 0; i < calls; ++i) {
            CallRecord record;
            record.callTime = static_cast<int32_t>(Start - (calls - i) * 60);
            record.hasTime = true;
            record.key = "555";
            record.value = "0301" + std::to_string(200000 + i % 700000);
            record.repeatCount = 1;
            record.connectionId = static_cast<uint32_t>(0x100 + i % 4096);
            record.cipValue = i % 2 ? 1 : 16;
            callList.append(std::move(record));
        }
        SaveListFile(callList, IncomingCallHandler::HistoryFileName);
        SetDefaultSettings(*settings.Write());
        settings.Write()->speak = 1;
    }
    // The handler is made once the lists are filled (it reads them itself).
    // As the monitor starts: with the file just loaded, which the saves append to.
    void MakeHandler() {
        FileHandle file(::open(IncomingCallHandler::HistoryFileName, O_RDONLY | O_CLOEXEC));
        handler = std::make_unique<IncomingCallHandler>(IncomingCallParts{
            lists, settings, announcer, [this] { return now; }, {}, nullptr, std::move(file),
            std::filesystem::file_size(IncomingCallHandler::HistoryFileName)});
    }
    ~World() {
        handler.reset();
        std::error_code error;
        std::filesystem::remove_all(dir, error);
    }

    std::filesystem::path dir;
    GuardedLists lists;
    GuardedSettings settings;
    QuietAnnouncer announcer;
    std::time_t now = Start;
    uint32_t nextPlci = 0x10000;
    std::unique_ptr<IncomingCallHandler> handler;
};

// The long history is made once; an empty one is made afresh for each benchmark, as the calls
// of one benchmark would otherwise fill it for the next.
World& WorldOf(int64_t calls) {
    static std::map<int64_t, std::unique_ptr<World>> worlds;
    auto& world = worlds[calls];
    if (calls == 0)
        world.reset();
    if (!world) {
        world = std::make_unique<World>(calls);
        std::filesystem::current_path(world->dir);
        world->MakeHandler();
    }
    std::filesystem::current_path(world->dir);
    return *world;
}

IncomingCallNotice Notice(uint32_t plci, const std::string& called = "555") {
    IncomingCallNotice notice;
    notice.callingNumber = "0301234567";
    notice.calledNumber = called;
    notice.connectionId = plci;
    notice.cipValue = 1;
    return notice;
}

// The process's write counters (/proc/self/io): bytes handed to write calls, and bytes that
// went (or will go) to the disk, counted as pages made dirty.
struct WriteCounters {
    double handed = 0;
    double toDisk = 0;
};

WriteCounters ReadWriteCounters() {
    WriteCounters counters;
    std::ifstream io("/proc/self/io");
    std::string name;
    double value = 0;
    while (io >> name >> value) {
        if (name == "wchar:")
            counters.handed = value;
        else if (name == "write_bytes:")
            counters.toDisk = value;
    }
    return counters;
}

void CountWritesPerCall(benchmark::State& state, const WriteCounters& before) {
    const WriteCounters after = ReadWriteCounters();
    const auto calls = static_cast<double>(state.iterations());
    state.counters["wchar_per_call"] = (after.handed - before.handed) / calls;
    state.counters["write_bytes_per_call"] = (after.toDisk - before.toDisk) / calls;
}

// The handler's time for a new call; the history is saved behind it.
void BM_NewCall(benchmark::State& state) {
    World& world = WorldOf(state.range(0));
    world.settings.Write()->onlyNamedMsns = 0;
    world.handler->FlushHistory();
    const WriteCounters before = ReadWriteCounters();
    for (auto _ : state) {
        world.now += 10;
        world.handler->OnIncomingCall(Notice(world.nextPlci++));
    }
    world.handler->FlushHistory();
    CountWritesPerCall(state, before);
}

// A new call until "caller.his" holds it: the handler, then the save waited for.
void BM_NewCallSaved(benchmark::State& state) {
    World& world = WorldOf(state.range(0));
    world.settings.Write()->onlyNamedMsns = 0;
    world.handler->FlushHistory();
    const WriteCounters before = ReadWriteCounters();
    for (auto _ : state) {
        world.now += 10;
        world.handler->OnIncomingCall(Notice(world.nextPlci++));
        world.handler->FlushHistory();
    }
    CountWritesPerCall(state, before);
}

void BM_RepeatCall(benchmark::State& state) {
    World& world = WorldOf(state.range(0));
    world.now += 10;
    const uint32_t plci = world.nextPlci++;
    world.handler->OnIncomingCall(Notice(plci));
    for (auto _ : state)
        world.handler->OnIncomingCall(Notice(plci));
    world.handler->FlushHistory();
}

void BM_DroppedCall(benchmark::State& state) {
    World& world = WorldOf(state.range(0));
    world.settings.Write()->onlyNamedMsns = 1;
    for (auto _ : state) {
        world.now += 10;
        world.handler->OnIncomingCall(Notice(world.nextPlci++, "999"));
    }
    world.settings.Write()->onlyNamedMsns = 0;
    world.handler->FlushHistory();
}

// The steps of a new call, one by one.

void BM_Step_RepeatCheck(benchmark::State& state) {
    World& world = WorldOf(state.range(0));
    const auto lists = world.lists.Write();
    RepeatFinder finder(lists->callList);
    for (auto _ : state)
        benchmark::DoNotOptimize(finder.Find(Notice(1), world.now));
}

void BM_Step_RepeatCheckFullWalk(benchmark::State& state) {
    World& world = WorldOf(state.range(0));
    const auto lists = world.lists.Write();
    for (auto _ : state)
        benchmark::DoNotOptimize(lists->callList.findRepeat(1, world.now));
}

void BM_Step_Texts(benchmark::State& state) {
    World& world = WorldOf(state.range(0));
    const IncomingCallNotice notice = Notice(1);
    const auto lists = world.lists.Read();
    for (auto _ : state) {
        const std::string time = TimeText(world.now);
        const ResolvedCall call =
            ResolveCall(notice.calledNumber, notice.callingNumber, notice.cipValue, lists->msnList,
                        lists->phoneBook, lists->areaCodes);
        const auto msn = MsnText(call, false);
        const std::string caller = CallerText(call);
        benchmark::DoNotOptimize(LogLine(time, caller, *msn, notice.calledNumber));
        benchmark::DoNotOptimize(PopupText(caller, *msn));
        const std::string to = ToSpeech(call, "unknown");
        const std::string from = FromSpeech(call, "unknown");
        benchmark::DoNotOptimize(SpeechText("Incoming call on %to% from %from%", to, from));
    }
}

void BM_Step_LogLine(benchmark::State& state) {
    WorldOf(state.range(0));
    const std::string line = "2023-11-14 23:13:20 - 030/1234567 -->> MSN 555/speech(555)";
    for (auto _ : state) {
        std::FILE* file = std::fopen("caller.txt", "ab");
        std::fwrite(line.data(), 1, line.size(), file);
        std::fwrite("\r\n", 1, 2, file);
        std::fclose(file);
    }
}

void BM_Step_SaveRequest(benchmark::State& state) {
    World& world = WorldOf(state.range(0));
    HistoryWriter writer;
    const auto lists = world.lists.Read();
    writer.Prepare(lists->callList);
    for (auto _ : state)
        writer.RequestSave(lists->callList, "bench-request.his");
    writer.Flush();
    state.counters["files_written"] = static_cast<double>(writer.Written().written);
}

// One save of the writer thread after a new call: the new record appended to the file loaded at
// start-up and flushed.
void BM_WriterSave(benchmark::State& state) {
    World& world = WorldOf(state.range(0));
    std::filesystem::copy_file(IncomingCallHandler::HistoryFileName, "bench-writer.his",
                               std::filesystem::copy_options::overwrite_existing);
    CallList list;
    ListFileLoad load = LoadListFile(list, "bench-writer.his", KeptFile::IfSavedAlike);
    HistoryWriter writer;
    writer.Prepare(list, std::move(load.savedAlike), load.fileSize);
    int32_t time = static_cast<int32_t>(world.now);
    for (auto _ : state) {
        CallRecord record;
        record.callTime = ++time;
        record.hasTime = true;
        record.key = "555";
        record.value = "0301234567";
        list.append(std::move(record));
        writer.RequestSave(list, "bench-writer.his");
        writer.Flush();
    }
    state.counters["files_written"] = static_cast<double>(writer.Written().written);
    state.counters["appends"] = static_cast<double>(writer.Written().appended);
}

// What the handler would wait for if it saved in place: the whole list encoded and written.
void BM_Save_WholeFile(benchmark::State& state) {
    World& world = WorldOf(state.range(0));
    const auto lists = world.lists.Read();
    for (auto _ : state)
        SaveListFile(lists->callList, "bench-full.his");
    state.counters["bytes"] =
        static_cast<double>(std::filesystem::file_size(world.dir / "bench-full.his"));
}

// The rows of one day (840 calls, the last 14 hours before Start) from the whole history.
void BM_DayRows(benchmark::State& state) {
    World& world = WorldOf(state.range(0));
    const int32_t dayStart = static_cast<int32_t>(Start - 14 * 3600);
    size_t rows = 0;
    const auto lists = world.lists.Write();
    for (auto _ : state) {
        const auto built = BuildDayRows(lists->callList, lists->msnList, lists->phoneBook,
                                        lists->areaCodes, dayStart);
        rows = built.size();
        benchmark::DoNotOptimize(built.data());
    }
    state.counters["rows"] = static_cast<double>(rows);
}

// Start-up of the handler as the monitor makes it: with the history file as loaded, which the
// writer's first save copies, so the list is not encoded again.
void BM_HandlerStart(benchmark::State& state) {
    World& world = WorldOf(state.range(0));
    const size_t size = std::filesystem::file_size(IncomingCallHandler::HistoryFileName);
    for (auto _ : state) {
        FileHandle file(::open(IncomingCallHandler::HistoryFileName, O_RDONLY | O_CLOEXEC));
        IncomingCallHandler handler(IncomingCallParts{world.lists,
                                                      world.settings,
                                                      world.announcer,
                                                      {},
                                                      {},
                                                      nullptr,
                                                      std::move(file),
                                                      size});
        benchmark::DoNotOptimize(&handler);
    }
}

constexpr int64_t Million = 1000000;

// The window's search and statistics over a million calls, as their worker thread runs them:
// the copy taken under the lock, then a search that finds nothing (the whole walk), one that
// finds every call by its place, one that finds a number's calls, and the counts.
void BM_HistorySnapshot(benchmark::State& state) {
    World& world = WorldOf(Million);
    const auto lists = world.lists.Read();
    for (auto _ : state)
        benchmark::DoNotOptimize(TakeHistorySnapshot(lists->callList, lists->msnList,
                                                     lists->phoneBook, lists->areaCodes));
}

void BM_SearchHistory(benchmark::State& state) {
    World& world = WorldOf(Million);
    const auto snapshot = [&world] {
        const auto lists = world.lists.Read();
        return TakeHistorySnapshot(lists->callList, lists->msnList, lists->phoneBook,
                                   lists->areaCodes);
    }();
    const std::string query = std::vector<std::string>{"zzz", "berlin", "0301234567"}.at(
        static_cast<size_t>(state.range(0)));
    size_t matches = 0;
    for (auto _ : state)
        matches = SearchHistory(*snapshot, query, 500).matches;
    state.counters["matches"] = static_cast<double>(matches);
}

void BM_CountCalls(benchmark::State& state) {
    World& world = WorldOf(Million);
    const auto snapshot = [&world] {
        const auto lists = world.lists.Read();
        return TakeHistorySnapshot(lists->callList, lists->msnList, lists->phoneBook,
                                   lists->areaCodes);
    }();
    for (auto _ : state)
        benchmark::DoNotOptimize(CountCalls(*snapshot, world.now));
}

// First, while the long history holds only its million calls.
BENCHMARK(BM_DayRows)->Arg(1000)->Arg(Million)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_NewCall)->Arg(0)->Arg(Million)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_NewCallSaved)->Arg(0)->Arg(Million)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RepeatCall)->Arg(0)->Arg(Million)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DroppedCall)->Arg(0)->Arg(Million)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Step_RepeatCheck)->Arg(0)->Arg(1000)->Arg(Million)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Step_RepeatCheckFullWalk)->Arg(0)->Arg(Million)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Step_Texts)->Arg(0)->Arg(Million)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Step_LogLine)->Arg(0)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Step_SaveRequest)->Arg(0)->Arg(Million)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_HandlerStart)->Arg(Million)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HistorySnapshot)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchHistory)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CountCalls)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriterSave)->Arg(0)->Arg(Million)->Iterations(20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Save_WholeFile)->Arg(0)->Arg(Million)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
