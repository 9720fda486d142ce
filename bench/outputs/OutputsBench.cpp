// A new call's handling with every output on (50 NCID clients, MQTT to a real broker, a desktop
// notification asked for, a command per call) against the same with the outputs off; and the
// listener's CONNECT_IND-to-CONNECT_RESP time either way, with the proof that the CONNECT_RESP
// is put before the handler starts.
//
// "CPU" is the handling thread's own time; "Time" is wall time, which on a machine busy with
// other work mostly measures the wait for a free core.

#include "capi/CCAPIAccess.h"
#include "capi/CapiErrors.h"
#include "capi/DemoCalls.h"
#include "capi/SimulatedLine.h"
#include "capi/msg.h"
#include "core/IncomingCallHandler.h"
#include "core/IncomingCallTexts.h"
#include "data/ListFile.h"
#include "outputs/NcidServer.h"
#include "outputs/OutputHub.h"

#include "MqttTestBroker.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>

#include <arpa/inet.h>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr std::time_t Start = 1700000000;
constexpr int NcidClients = 50;

struct QuietAnnouncer : CallAnnouncer {
    void ShowToday() override {}
    void ShowPopup(const std::string& text, CallRecord&) override {
        benchmark::DoNotOptimize(text.data());
    }
    void BeepMelody() override {}
    void Speak(const std::string& text) override { benchmark::DoNotOptimize(text.data()); }
};

// NCID clients that read everything they are sent, on a thread of their own.
class NcidReaders {
public:
    explicit NcidReaders(int port) {
        for (int i = 0; i < NcidClients; ++i) {
            const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            address.sin_port = htons(static_cast<uint16_t>(port));
            if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0)
                fds.push_back(fd);
            else
                ::close(fd);
        }
        thread = std::thread([this] {
            BecomeBackgroundThread(); // the clients stand for other machines
            std::vector<pollfd> waits;
            for (int fd : fds)
                waits.push_back({fd, POLLIN, 0});
            char buffer[65536];
            while (!stop) {
                if (::poll(waits.data(), waits.size(), 100) <= 0)
                    continue;
                for (pollfd& wait : waits)
                    if (wait.revents & POLLIN)
                        received += static_cast<size_t>(
                            std::max<ssize_t>(0, ::recv(wait.fd, buffer, sizeof buffer, 0)));
            }
        });
    }
    ~NcidReaders() {
        stop = true;
        thread.join();
        for (int fd : fds)
            ::close(fd);
    }
    size_t Connected() const { return fds.size(); }
    std::atomic<size_t> received{0};

private:
    std::vector<int> fds;
    std::atomic<bool> stop{false};
    std::thread thread;
};

// Every output on, fed to the handler.
struct Outputs {
    Outputs() {
        brokerUp = broker.Start();
        // The broker stands for another machine: it must not take the measured cores first.
        if (brokerUp) {
            sched_param parameter{};
            sched_setscheduler(broker.Pid(), SCHED_BATCH, &parameter);
        }
        hub = std::make_unique<OutputHub>([] { return std::vector<CallEvent>{}; }, [](auto&) {});
        OutputSettings settings;
        const char* only = std::getenv("TAVO_BENCH_OUTPUTS");
        const auto on = [only](const char* name) {
            return only == nullptr || std::strstr(only, name) != nullptr;
        };
        settings.ncid.enabled = on("ncid");
        settings.ncid.port = 0;
        settings.mqtt.enabled = on("mqtt");
        settings.mqtt.host = "127.0.0.1";
        settings.mqtt.port = broker.port;
        if (on("notify"))
            settings.notify.announceWith = AnnounceWith::Both;
        if (on("command"))
            settings.command.program = "/bin/true";
        hub->Apply(settings);
        readers = std::make_unique<NcidReaders>(hub->Ncid() ? hub->Ncid()->Port() : 0);
        // The clients' start-up is over before anything is measured.
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
    }
    TestBroker broker;
    bool brokerUp = false;
    std::unique_ptr<OutputHub> hub;
    std::unique_ptr<NcidReaders> readers;
};

struct World {
    explicit World(bool withOutputs) {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "tavo-bench-XXXXXX").string();
        dir = ::mkdtemp(pattern.data());
        std::filesystem::current_path(dir);
        for (const char* msn : {"555", "556"}) {
            DirectoryEntry entry;
            entry.key = msn;
            entry.value = std::string("MSN ") + msn;
            lists.Write()->msnList.append(entry);
        }
        for (int i = 0; i < 1000; ++i) {
            CallRecord record;
            record.callTime = static_cast<int32_t>(Start - (1000 - i) * 60);
            record.hasTime = true;
            record.key = "555";
            record.value = "0301" + std::to_string(200000 + i);
            record.repeatCount = 1;
            record.connectionId = static_cast<uint32_t>(0x100 + i);
            record.cipValue = 16;
            lists.Write()->callList.append(std::move(record));
        }
        SaveListFile(lists.Read()->callList, IncomingCallHandler::HistoryFileName);
        SetDefaultSettings(*settings.Write());
        if (withOutputs)
            outputs = std::make_unique<Outputs>();
        handler = std::make_unique<IncomingCallHandler>(
            IncomingCallParts{lists,
                              settings,
                              announcer,
                              [this] { return now; },
                              {},
                              outputs ? outputs->hub.get() : nullptr});
    }
    ~World() {
        handler.reset();
        outputs.reset();
        std::error_code error;
        std::filesystem::remove_all(dir, error);
    }
    IncomingCallNotice Notice() {
        IncomingCallNotice notice;
        notice.callingNumber = "0301234567";
        notice.calledNumber = "555";
        notice.connectionId = nextPlci++;
        notice.cipValue = 16;
        return notice;
    }

    std::filesystem::path dir;
    GuardedLists lists;
    GuardedSettings settings;
    QuietAnnouncer announcer;
    std::time_t now = Start;
    uint32_t nextPlci = 0x10000;
    std::unique_ptr<Outputs> outputs;
    std::unique_ptr<IncomingCallHandler> handler;
};

void Describe(benchmark::State& state, const World& world) {
    if (!world.outputs)
        return;
    state.counters["ncid_clients"] = static_cast<double>(world.outputs->readers->Connected());
    state.counters["broker"] = world.outputs->brokerUp ? 1 : 0;
}

// Calls come seconds apart on a real line: each is handled after the outputs have dealt with
// the one before (a pause, not timed), so what is measured is the handler's own time beside
// outputs at work, not a backlog that no line could make.
void Pace(benchmark::State& state) {
    state.PauseTiming();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    state.ResumeTiming();
}

void BM_NewCall(benchmark::State& state) {
    World world(state.range(0) != 0);
    Describe(state, world);
    for (auto _ : state) {
        Pace(state);
        world.now += 10;
        world.handler->OnIncomingCall(world.Notice());
    }
    world.handler->FlushHistory();
}
BENCHMARK(BM_NewCall)
    ->ArgName("outputs")
    ->Arg(0)
    ->Arg(1)
    ->Iterations(300)
    ->Unit(benchmark::kMicrosecond);

// The hand-over alone: the event posted to every output's queue.
void BM_HubPost(benchmark::State& state) {
    World world(true);
    Describe(state, world);
    CallEvent call;
    call.number = "0301234567";
    call.text = "0301234567  ( MSN 555 ) ";
    call.showSeconds = 10;
    for (auto _ : state) {
        Pace(state);
        world.outputs->hub->OnCall(call);
    }
}
BENCHMARK(BM_HubPost)->Iterations(300)->Unit(benchmark::kMicrosecond);

// The line with time stamps: when the CONNECT_IND leaves it and when the CONNECT_RESP arrives.
class TimedLine : public SimulatedLine {
public:
    using Clock = std::chrono::steady_clock;
    unsigned GetMessage(unsigned applId, std::span<const uint8_t>& message) override {
        const unsigned result = SimulatedLine::GetMessage(applId, message);
        if (result == CapiNoError)
            fetched = Clock::now();
        return result;
    }
    unsigned PutMessage(unsigned applId, const uint8_t* message) override {
        const Clock::time_point now = Clock::now();
        if (message[4] == CAPI_CONNECT)
            answered = now;
        return SimulatedLine::PutMessage(applId, message);
    }
    Clock::time_point fetched;
    Clock::time_point answered;
};

// Hands each call to the handler at once, as the core does while the listener waits.
class HandlingReceiver : public IncomingCallReceiver {
public:
    explicit HandlingReceiver(World& world) : world(world) {}
    void DeliverIncomingCall(const IncomingCallNotice& notice) override {
        handlerStarted = TimedLine::Clock::now();
        world.now += 10;
        world.handler->OnIncomingCall(notice);
    }
    World& world;
    TimedLine::Clock::time_point handlerStarted;
};

void BM_ConnectResp(benchmark::State& state) {
    World world(state.range(0) != 0);
    Describe(state, world);
    TimedLine line;
    HandlingReceiver receiver(world);
    CCAPIAccess capi(&line, receiver);
    if (capi.RegisterCAPI(false)) {
        state.SkipWithError("registration failed");
        return;
    }
    line.SetPutResult([](const std::vector<uint8_t>&) { return CapiSendQueueFull; });
    double respNs = 0;
    double respBeforeHandler = 0;
    uint32_t plci = 0x00010201;
    for (auto _ : state) {
        state.PauseTiming();
        const SampleCall call{plci, 16, "555", 0x21, 0x80, "301234567"};
        plci += 0x100;
        line.Inject(ConnectIndMessage(call, 7));
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        state.ResumeTiming();
        capi.FetchMessages();
        state.PauseTiming();
        respNs += std::chrono::duration<double, std::nano>(line.answered - line.fetched).count();
        respBeforeHandler += line.answered <= receiver.handlerStarted ? 1 : 0;
        state.ResumeTiming();
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["fetch_to_resp_ns"] = respNs / n;
    // 1: every CONNECT_RESP was put before the handler (and so the outputs) saw the call.
    state.counters["resp_before_handler"] = respBeforeHandler / n;
    world.handler->FlushHistory();
}
BENCHMARK(BM_ConnectResp)
    ->ArgName("outputs")
    ->Arg(0)
    ->Arg(1)
    ->Iterations(300)
    ->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    // The notifier asks the session bus through Qt.
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
