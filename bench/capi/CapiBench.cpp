// Cost of the call capture path: encoding and decoding single messages, the listener's work
// from fetching a CONNECT_IND to putting its CONNECT_RESP, and the question to the monitor that
// comes before the CONNECT_RESP while a rule may refuse calls.
#include "capi/CCAPIAccess.h"
#include "capi/CapiErrors.h"
#include "capi/DemoCalls.h"
#include "capi/LineChild.h"
#include "capi/LineProtocol.h"
#include "capi/SimulatedLine.h"
#include "capi/msg.h"

#include <benchmark/benchmark.h>

#include <array>
#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <thread>
#include <unistd.h>

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

// One question from the line process's listener to the monitor and its answer, through two real
// pipes: the monitor's side decodes the "ask" and writes "refuse", the line process's input loop
// decodes that into the mailbox the listener waits on. The judging itself is left out (see
// bench/core's rules benchmark).
void QuestionRoundTrip(benchmark::State& state) {
    int toMonitor[2], toLine[2];
    if (::pipe2(toMonitor, O_CLOEXEC) != 0 || ::pipe2(toLine, O_CLOEXEC) != 0) {
        state.SkipWithError("no pipes");
        return;
    }
    std::atomic<bool> done{false};
    const auto pump = [&done](int from, const std::function<void(std::string_view)>& feed) {
        char buffer[512];
        while (!done) {
            pollfd p{from, POLLIN, 0};
            if (::poll(&p, 1, 50) != 1)
                continue;
            const ssize_t n = ::read(from, buffer, sizeof buffer);
            if (n <= 0)
                return;
            feed(std::string_view(buffer, static_cast<size_t>(n)));
        }
    };
    LinePipeReader monitorReader(
        [&](LinePipeMessage&& message) {
            const std::string answer =
                EncodeLineCommand({LineCommand::Kind::Refuse, message.notice.connectionId});
            if (::write(toLine[1], answer.data(), answer.size()) < 0)
                return;
        },
        [](const std::string&) {});
    std::thread monitor(pump, toMonitor[0], [&](std::string_view bytes) { monitorReader.Feed(bytes); });
    RefusalMailbox mailbox;
    mailbox.SetScreening(true);
    LineCommandReader commands([&mailbox](const LineCommand& command) {
        mailbox.Answer(command.connectionId, command.kind == LineCommand::Kind::Refuse);
    });
    std::thread input(pump, toLine[0], [&](std::string_view bytes) { commands.Feed(bytes); });
    LinePipeWriter writer(toMonitor[1]);
    LinePipeReceiver receiver(writer, mailbox, std::chrono::seconds(5));
    IncomingCallNotice notice{"0900123456", "5551", 0x101, 16};
    for (auto _ : state) {
        ++notice.connectionId;
        if (!receiver.RefusesCall(notice)) {
            state.SkipWithError("no answer");
            break;
        }
    }
    done = true;
    monitor.join();
    input.join();
    for (int fd : {toMonitor[0], toMonitor[1], toLine[0], toLine[1]})
        ::close(fd);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(QuestionRoundTrip)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
