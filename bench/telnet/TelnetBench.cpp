// How long a listing takes to build while the lists are locked, and how fast the dialogue
// answers a stream of keys.

#include "telnet/TelnetDialogue.h"
#include "telnet/TelnetListing.h"

#include <benchmark/benchmark.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {
void FillLists(CallList& calls, Directory& phoneBook, Directory& msnList, int count,
               std::time_t when) {
    for (int i = 0; i < 1000; ++i) {
        CallRecord entry;
        entry.key = "030" + std::to_string(1000000 + i);
        entry.value = "Caller number " + std::to_string(i);
        phoneBook.append(entry);
    }
    for (int i = 0; i < 10; ++i) {
        CallRecord entry;
        entry.key = "55" + std::to_string(i);
        entry.value = "MSN " + std::to_string(i);
        msnList.append(entry);
    }
    for (int i = 0; i < count; ++i) {
        CallRecord call;
        call.hasTime = true;
        call.callTime = static_cast<int32_t>(when);
        call.key = "55" + std::to_string(i % 10);
        call.value = "030" + std::to_string(1000000 + i % 2000); // half of them known
        call.cipValue = 1 + i % 31;
        calls.append(call);
    }
}

// The time the lists stay locked for one listing of a day with state.range(0) calls.
void BM_BuildCallListing(benchmark::State& state) {
    CallList calls;
    Directory phoneBook;
    Directory msnList;
    const std::time_t now = 1767268800;
    FillLists(calls, phoneBook, msnList, static_cast<int>(state.range(0)), now - 60);
    const ListingDay day = ListingDayRange(1, now);
    for (auto _ : state) {
        auto pieces = BuildCallListing(day, calls, msnList, phoneBook);
        benchmark::DoNotOptimize(pieces);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_BuildCallListing)->Arg(100)->Arg(1000)->Arg(10000);

// Yesterday's listing (144 calls) from a history of state.range(0) calls, one every ten minutes
// up to now: the cost must follow the day, not the history.
void BM_CallListingOfHistory(benchmark::State& state) {
    CallList calls;
    Directory phoneBook;
    Directory msnList;
    const std::time_t now = 1767268800; // 2026-01-01 12:00 UTC
    FillLists(calls, phoneBook, msnList, 0, now);
    const int64_t count = state.range(0);
    for (int64_t i = 0; i < count; ++i) {
        CallRecord call;
        call.callTime = static_cast<int32_t>(now - (count - i) * 600);
        call.hasTime = true;
        // The numbers follow the time, so both sizes list the same calls for the day, half of
        // them in the phone book.
        const int64_t slot = count - i;
        call.key = "55" + std::to_string(slot % 10);
        call.value = "030" + std::to_string(1000000 + slot % 2000);
        call.cipValue = 1 + static_cast<int>(slot % 31);
        calls.append(std::move(call));
    }
    const ListingDay day = ListingDayRange(2, now);
    size_t lines = 0;
    for (auto _ : state) {
        auto pieces = BuildCallListing(day, calls, msnList, phoneBook);
        lines = pieces.size();
        benchmark::DoNotOptimize(pieces);
    }
    state.counters["lines"] = static_cast<double>(lines);
}
BENCHMARK(BM_CallListingOfHistory)->Arg(1000)->Arg(1000000)->Unit(benchmark::kMicrosecond);

// Keys through the whole dialogue over a socket pair: every byte a bell, as pasted junk gives;
// with state.range(0) set, every key comes with a telnet command (IAC NOP) that is dropped.
void BM_DialogueKeys(benchmark::State& state) {
    const GuardedLists lists;
    std::string keys;
    while (keys.size() < (1u << 20))
        keys += state.range(0) ? "q\xff\xf1" : "q";
    for (auto _ : state) {
        int ends[2];
        socketpair(AF_UNIX, SOCK_STREAM, 0, ends);
        std::thread client([&] {
            size_t sent = 0;
            while (sent < keys.size()) {
                ssize_t n = write(ends[0], keys.data() + sent, keys.size() - sent);
                if (n <= 0)
                    break;
                sent += static_cast<size_t>(n);
            }
            shutdown(ends[0], SHUT_WR);
        });
        std::thread reader([&] {
            char sink[65536];
            while (read(ends[0], sink, sizeof sink) > 0) {
            }
        });
        {
            TelnetConnection connection(ends[1]);
            RunTelnetDialogue(connection, {}, {lists},
                              [] { return std::time_t{1767268800}; });
        }
        shutdown(ends[1], SHUT_RDWR);
        client.join();
        reader.join();
        close(ends[0]);
        close(ends[1]);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(keys.size()));
}
BENCHMARK(BM_DialogueKeys)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
} // namespace

BENCHMARK_MAIN();
