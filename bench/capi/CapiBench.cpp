// Cost of the call capture path: encoding and decoding single messages, and the listener's work
// from fetching a CONNECT_IND to putting its CONNECT_RESP.
#include "capi/CCAPIAccess.h"
#include "capi/CapiErrors.h"
#include "capi/DemoCalls.h"
#include "capi/SimulatedLine.h"
#include "capi/msg.h"

#include <benchmark/benchmark.h>

#include <array>
#include <chrono>

namespace {

const SampleCall kCall{0x00010201, 16, "5551", 0x21, 0x80, "301234567"};

void EncodeConnectResp(benchmark::State& state) {
    std::array<uint8_t, kSendBufferSize> buffer{};
    cmsg c;
    for (auto _ : state) {
        FillCmsgHeader(c, 1, CAPI_CONNECT, CAPI_RESP, 7, 0x00010201);
        c.reject = 1;
        benchmark::DoNotOptimize(CmsgToMessage(c, buffer));
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(EncodeConnectResp);

void DecodeConnectInd(benchmark::State& state) {
    const std::vector<uint8_t> message = ConnectIndMessage(kCall, 7);
    cmsg c;
    for (auto _ : state) {
        benchmark::DoNotOptimize(MessageToCmsg(c, message));
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(DecodeConnectInd);

class NullReceiver : public IncomingCallReceiver {
public:
    void DeliverIncomingCall(const IncomingCallNotice& notice) override {
        benchmark::DoNotOptimize(notice.callingNumber.data());
    }
};

// Time stamps taken inside the line: when the CONNECT_IND leaves it and when the CONNECT_RESP
// arrives. Everything in between is the listener's own work.
class TimedLine : public SimulatedLine {
public:
    using Clock = std::chrono::steady_clock;
    unsigned GetMessage(unsigned applId, std::span<const uint8_t>& message) override {
        unsigned result = SimulatedLine::GetMessage(applId, message);
        if (result == CapiNoError)
            fetched = Clock::now();
        return result;
    }
    unsigned PutMessage(unsigned applId, const uint8_t* message) override {
        Clock::time_point now = Clock::now();
        if (message[4] == CAPI_CONNECT)
            answered = now;
        return SimulatedLine::PutMessage(applId, message);
    }
    Clock::time_point fetched;
    Clock::time_point answered;
};

void ConnectIndToConnectResp(benchmark::State& state) {
    TimedLine line;
    NullReceiver receiver;
    CCAPIAccess capi(&line, receiver);
    if (capi.RegisterCAPI(false)) {
        state.SkipWithError("registration failed");
        return;
    }
    const std::vector<uint8_t> message = ConnectIndMessage(kCall, 7);
    // The recorded puts would grow without end; answers are timed, not kept.
    line.SetPutResult([](const std::vector<uint8_t>&) { return CapiSendQueueFull; });
    for (auto _ : state) {
        state.PauseTiming();
        line.Inject(message);
        state.ResumeTiming();
        capi.FetchMessages();
        state.PauseTiming();
        auto elapsed = std::chrono::duration<double>(line.answered - line.fetched).count();
        state.counters["fetch_to_resp_ns"] += elapsed * 1e9;
        state.ResumeTiming();
    }
    state.counters["fetch_to_resp_ns"] /= static_cast<double>(state.iterations());
}
BENCHMARK(ConnectIndToConnectResp);

} // namespace

BENCHMARK_MAIN();
