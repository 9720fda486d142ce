#include "core/MonitorCore.h"

#include "capi/CCAPIAccess.h"
#include "capi/CCAPIThread.h"
#include "capi/CapiLine.h"
#include "capi/LineSupervisor.h"
#include "core/CallMerge.h"
#include "core/CallScreening.h"
#include "core/CallVerdicts.h"
#include "core/CapiLineCommand.h"
#include "core/HistoryLoad.h"
#include "core/IncomingCallTexts.h"
#include "core/NetworkLines.h"
#include "core/RulesCommand.h"
#include "core/UserCountry.h"
#include "data/ListFile.h"
#include "outputs/OutputHub.h"
#include "platform/DataDirectory.h"
#include "platform/ShowMessage.h"
#include "platform/SoundCanberra.h"
#include "platform/SoundSink.h"
#include "settings/LineSettings.h"
#include "settings/SettingsRanges.h"
#include "speech/CSpeechEngine.h"
#include "speech/SpeechSettings.h"
#include "telnet/TelnetServer.h"

#include <QCoreApplication>
#include <QEventLoop>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

class MonitorCore::Receiver final : public IncomingCallReceiver {
public:
    using Refuses = std::function<bool(const IncomingCallNotice&)>;
    Receiver(CallSink deliver, Refuses refuses)
        : deliver(std::move(deliver)), refuses(std::move(refuses)) {}
    void DeliverIncomingCall(const IncomingCallNotice& notice) override { deliver(notice); }
    const CallSink& Sink() const { return deliver; }
    // The simulated line asks in this process, on its listener's thread.
    bool RefusesCall(const IncomingCallNotice& notice) override { return refuses(notice); }

private:
    CallSink deliver;
    Refuses refuses;
};

// Declared in this order so the listener goes first, then the access object, then the line.
// libcapi20 runs in a line process of its own (supervised); the simulated line in this one.
struct MonitorCore::Capture {
    std::unique_ptr<CapiProvider> line;
    std::unique_ptr<Receiver> receiver;
    std::unique_ptr<CCAPIAccess> access;
    std::unique_ptr<CCAPIThread> listener;
    std::unique_ptr<CapiLineSupervisor> supervisor;
    std::vector<std::unique_ptr<NetworkLine>> networkLines;
    std::vector<LineInUse> inUse;

    void RequestStop() {
        if (listener)
            listener->RequestStop();
        if (supervisor)
            supervisor->RequestStop();
        for (const auto& line : networkLines)
            line->RequestStop();
    }
    bool IsFinished() const {
        for (const auto& line : networkLines)
            if (!line->IsFinished())
                return false;
        return (!listener || listener->IsFinished()) && (!supervisor || supervisor->IsFinished());
    }
};

namespace {

// The calls of the history as the outputs see them, oldest first, at most `count`.
std::vector<CallEvent> HistoryEvents(const MonitorCore& core, size_t count) {
    const auto lists = core.lists.Read();
    const size_t skip = lists->callList.size() > count ? lists->callList.size() - count : 0;
    std::vector<CallEvent> events;
    size_t index = 0;
    for (const CallRecord& record : lists->callList) {
        if (index++ < skip)
            continue;
        const ResolvedCall call =
            ResolveCall(record, lists->msnList, lists->phoneBook, lists->areaCodes);
        events.push_back(MakeCallEvent(
            call, record, PopupText(CallerText(call), MsnText(call, false).value_or(""))));
    }
    return events;
}

// What the line reports goes to the log of line events, as the line's state to the outputs, and
// to whoever listens (the window). A listener left behind at the end may still report: it holds
// the outputs only weakly.
// With several line sources, the outputs hear one state: lost while any of them is lost.
std::function<void(const LineReport&)>
LineReports(const std::weak_ptr<OutputHub>& hub, std::function<std::time_t()> clock,
            std::shared_ptr<const Guarded<MonitorCore::LineListener>> listener, uint8_t source,
            const std::shared_ptr<Guarded<CombinedLineState>>& states) {
    auto toLogAndOutputs = LineReportsTo(
        [hub, source, states](const LineEvent& line) {
            LineEvent combined = line;
            combined.state = states->Write()->After(source, line.state);
            if (const std::shared_ptr<OutputHub> outputs = hub.lock())
                outputs->OnLine(combined);
        },
        std::move(clock));
    return [toLogAndOutputs = std::move(toLogAndOutputs),
            listener = std::move(listener)](const LineReport& report) {
        toLogAndOutputs(report);
        const MonitorCore::LineListener tell = listener->Copy();
        if (tell)
            tell(report);
    };
}

bool Names(const std::vector<LineSource>& sources, LineSource source) {
    return std::find(sources.begin(), sources.end(), source) != sources.end();
}

// --line, else the demo's simulated line, else tavo.conf's [line] sources (CAPI without one).
std::vector<LineSource> ChosenSources(const CommandLine& options, const LineSettings& settings) {
    if (options.lineSources)
        return *options.lineSources;
    if (options.line == LineKind::Sim || options.demo)
        return {LineSource::Sim};
    return settings.sources;
}

std::unique_ptr<CapiProvider> OpenLine(const CommandLine& options, bool simulated) {
    CapiLineChoice choice;
    choice.simulated = simulated || options.demo;
    choice.demo = options.demo;
    if (options.capiRemote)
        choice.remote = CapiRemoteServer{options.capiRemote->driver, options.capiRemote->host,
                                         options.capiRemote->port};
    return OpenCapiLine(choice);
}

} // namespace

MonitorCore::MonitorCore(CommandLine options, Clock clock, std::unique_ptr<SoundSink> sound)
    : options(std::move(options)),
      clock(clock ? std::move(clock) : Clock([] { return std::time(nullptr); })),
      sound(sound ? std::move(sound) : std::make_unique<CanberraSoundSink>()),
      merge(std::make_shared<Guarded<CallMerge>>()),
      lineStates(std::make_shared<Guarded<CombinedLineState>>()),
      outputs(std::make_shared<OutputHub>([this] { return HistoryEvents(*this, 10000); })) {
    SetDefaultSettings(*settings.Write());
}

MonitorCore::~MonitorCore() {
    Shutdown();
    const auto shared = lists.Write();
    shared->phoneBook.clear();
    shared->msnList.clear();
    shared->callList.clear();
    shared->areaCodes.ClearAreaCodes();
}

void MonitorCore::SetStorageListener(StorageListener listener) {
    storage->SetListener(std::move(listener));
}

void MonitorCore::SetLineListener(LineListener listener) {
    *lineListener->Write() = std::move(listener);
}

void MonitorCore::LoadData() {
    HistoryLoadResult history;
    {
        const auto shared = lists.Write();
        LoadListFile(shared->phoneBook, "names.dat");
        LoadListFile(shared->msnList, "msn.dat");
        history = LoadCallHistory(shared->callList, IncomingCallHandler::HistoryFileName, clock());
        shared->areaCodes.LoadAreaCodes("areacode.lst");
    }
    for (const std::string& message : history.messages)
        ShowMessage(message);
    if (!DataDirectoryWritable()) {
        const std::string path = DataDirectoryPath();
        storage->ReportKnownFailure("The data directory " + (path.empty() ? "." : path) +
                                    " cannot be written: calls are announced, but nothing is "
                                    "saved until it can be written.");
    }
    {
        const auto stored = settings.Write();
        if (std::string note = LoadSettings(*stored); !note.empty())
            std::fprintf(stderr, "tavo: %s\n", note.c_str());
        if (const std::string replaced = UseDefaultsForValuesOutOfRange(*stored);
            !replaced.empty())
            std::fprintf(stderr, "tavo: settings out of range, defaults used: %s\n",
                         replaced.c_str());
    }
    StartScreening();
    if (announcer != nullptr) {
        handler = std::make_unique<IncomingCallHandler>(IncomingCallParts{
            lists, settings, *announcer, clock,
            [] { ChangeToProgramDirectory(); }, outputs.get(), std::move(history.savedFile),
            history.savedSize, screening.get(), verdicts.get()});
        handler->SetStorageReport(
            [state = storage.get()](const std::string& file, bool ok, const std::string& error) {
                state->Report(file, ok, error);
            });
        if (!history.saveAllowed)
            handler->KeepHistoryFileAsItIs();
    }
}

void MonitorCore::StartScreening() {
    verdicts = std::make_unique<CallVerdicts>();
    if (std::string error; !verdicts->Load(CallVerdicts::FileName, error))
        ShowMessage(std::string("The verdicts of the screening rules in ") +
                    CallVerdicts::FileName + " cannot be read: " + error);
    CallScreening::Options screeningOptions;
    screeningOptions.path = RulesFilePath();
    screeningOptions.country = ChooseCountry(std::nullopt).country;
    screening = std::make_unique<CallScreening>(std::move(screeningOptions));
    screening->SetRejectListener([this](bool hasReject) {
        if (capture && capture->supervisor)
            capture->supervisor->SetScreening(hasReject);
    });
    screening->Start();
}

const StoredVerdict* MonitorCore::VerdictOf(const CallRecord& call) const {
    return verdicts ? verdicts->Find(call) : nullptr;
}

void MonitorCore::StartCallCapture(CallSink deliver) {
    const TavoConfLoad load = LoadTavoConf(TavoConfPath());
    const size_t problemsBefore = load.conf.Problems().size();
    const LineSettings lineSettings = ReadLineSettings(load.conf);
    std::vector<std::string> problems(load.conf.Problems().begin() + long(problemsBefore),
                                      load.conf.Problems().end());
    StartLines(std::move(deliver), lineSettings, std::move(problems));
}

void MonitorCore::StartLines(CallSink deliver, const LineSettings& lineSettings,
                             std::vector<std::string> problems) {
    StopCallCapture();
    capture = std::make_unique<Capture>();
    // On the line's thread, before the call is answered there; the screening lives longer than
    // any capture.
    Receiver::Refuses refuses = [this](const IncomingCallNotice& notice) {
        return screening && RefusesIncomingCall(*screening, notice, clock(), lists, settings);
    };
    capture->receiver = std::make_unique<Receiver>(std::move(deliver), refuses);

    const std::string path = TavoConfPath();
    const std::vector<LineSource> sources = ChosenSources(options, lineSettings);
    if (options.capiRemote && !Names(sources, LineSource::Capi))
        problems.push_back("--capi-remote applies to the CAPI line, which [line] sources in " +
                           path + " does not name (" + LineSourcesText(sources) +
                           "): it is not used.");

    NetworkLineSinks sinks;
    sinks.call = [receiver = capture->receiver.get()](const IncomingCallNotice& notice) {
        receiver->DeliverIncomingCall(notice);
    };
    sinks.outcome = [merge = merge, hub = std::weak_ptr<OutputHub>(outputs),
                     clock = clock](uint8_t source, const CallOutcome& outcome) {
        const std::optional<CallMerge::Record> record =
            merge->Write()->Ended(source, outcome.connectionId);
        const std::shared_ptr<OutputHub> outputs = hub.lock();
        if (!record || !outputs)
            return;
        CallEndEvent end;
        end.time = clock();
        end.callTime = record->callTime;
        end.connectionId = record->connectionId;
        end.msn = outcome.calledNumber;
        end.number = outcome.callingNumber;
        end.answered = outcome.answered;
        end.extension = outcome.extension;
        end.seconds = outcome.seconds;
        end.cause = outcome.cause;
        end.causeText = outcome.causeText;
        outputs->OnCallEnd(end);
    };
    sinks.message = [](const std::string& text) { ShowMessage(text); };
    for (LineSource source : sources) {
        if (source != LineSource::CallMonitor && source != LineSource::Ami)
            continue;
        sinks.report = LineReports(outputs, clock, lineListener, LineSourceId(source), lineStates);
        for (auto& line : MakeNetworkLines(lineSettings, {source}, sinks, problems)) {
            capture->networkLines.push_back(std::move(line));
            const bool feed = source == LineSource::CallMonitor;
            const std::string name(LineSourceName(source));
            capture->inUse.push_back(
                {name, name,
                 (feed ? lineSettings.callMonitor.host : lineSettings.ami.host) + ":" +
                     std::to_string(feed ? lineSettings.callMonitor.port : lineSettings.ami.port)});
        }
    }
    for (const std::string& problem : problems)
        ShowMessage(problem);
    for (const auto& line : capture->networkLines)
        line->Start();

    const bool simulated = Names(sources, LineSource::Sim);
    if (!simulated && !Names(sources, LineSource::Capi))
        return;
    capture->inUse.insert(capture->inUse.begin(),
                          LineInUse{"", std::string(LineSourceName(simulated || options.demo
                                                                       ? LineSource::Sim
                                                                       : LineSource::Capi)),
                                    ""});
    std::vector<std::string> lineCommand = CapiLineCommandFor(options);
    if (!simulated && !options.demo && !lineCommand.empty()) {
        // libcapi20 dies or hangs on some frames a server may send: it must not take the
        // monitor with it.
        CapiLineSupervisor::Options lineOptions;
        lineOptions.command = std::move(lineCommand);
        lineOptions.report = LineReports(outputs, clock, lineListener, 0, lineStates);
        lineOptions.refuses = refuses;
        capture->supervisor =
            std::make_unique<CapiLineSupervisor>(*capture->receiver, std::move(lineOptions));
        // The line process asks about calls only while a rule may refuse one.
        capture->supervisor->SetScreening(screening && screening->HasReject());
        capture->supervisor->Start();
        return;
    }
    capture->line = OpenLine(options, simulated);
    capture->access = std::make_unique<CCAPIAccess>(capture->line.get(), *capture->receiver);
    CCAPIThread::Options listenerOptions;
    listenerOptions.report = LineReports(outputs, clock, lineListener, 0, lineStates);
    capture->listener = std::make_unique<CCAPIThread>(*capture->access, listenerOptions);
    capture->listener->Start();
}

void MonitorCore::StopCallCapture() {
    if (!capture)
        return;
    // The listener may be waiting for this very thread to handle a call: keep handling events
    // until it has seen the stop request. Not the user's: a click must not start another stop
    // (the options sheet's OK) inside this one.
    capture->RequestStop();
    while (!capture->IsFinished()) {
        if (QCoreApplication::instance() != nullptr)
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (capture->listener) {
        capture->listener->Stop();
        capture->listener.reset();
    }
    if (capture->supervisor) {
        capture->supervisor->Stop();
        capture->supervisor.reset();
    }
    capture.reset(); // releases CAPI, after the listener has ended
}

bool MonitorCore::LinesFromCommandLine() const {
    return options.lineSources.has_value() || options.line == LineKind::Sim || options.demo;
}

std::vector<MonitorCore::LineInUse> MonitorCore::LinesInUse() const {
    return capture ? capture->inUse : std::vector<LineInUse>{};
}

void MonitorCore::ApplyLineSettings(const LineSettings& lineSettings) {
    if (!capture || LinesFromCommandLine())
        return;
    // The same hand-over as before: the copy outlives the capture that holds it.
    CallSink deliver = capture->receiver->Sink();
    StopCallCapture();
    // What the lines that went told no longer counts; the new ones tell their own.
    *lineStates->Write() = CombinedLineState();
    StartLines(std::move(deliver), lineSettings, {});
}

void MonitorCore::SaveLineSettings(const LineSettings& lineSettings) {
    const std::string path = TavoConfPath();
    TavoConfLoad load = LoadTavoConf(path);
    std::string error = load.error;
    if (load.ok) {
        WriteLineSettings(load.conf, lineSettings);
        if (SaveTavoConf(load.conf, path, error))
            error.clear();
    }
    if (!error.empty())
        ShowMessage("The line settings could not be saved to " + path + ".\n" + error);
    ApplyLineSettings(lineSettings);
}

void MonitorCore::StartSpeech() {
    speechEngine = std::make_unique<CSpeechEngine>();
    speechEngine->CreateEnumerator();
    speechEngine->EnumerateModes();
    ApplyStoredSpeechSettings(*speechEngine, *settings.Read());
}

void MonitorCore::StartTelnet() {
    if (!telnet)
        telnet = std::make_unique<TelnetServer>(TelnetSources{lists}, settings);
    const int32_t port = settings.Read()->telnetPort;
    // [telnet] address= in tavo.conf: the one address to listen on; empty: all, as always.
    const TavoConfLoad conf = LoadTavoConf(TavoConfPath());
    telnet->RestartTelnetServer(port, conf.conf.GetString("telnet", "address", ""));
}

void MonitorCore::StartOutputs() {
    const std::string path = TavoConfPath();
    TavoConfLoad load = LoadTavoConf(path);
    if (!load.ok)
        ShowMessage("The settings in " + path + " cannot be read; the outputs stay off.\n" +
                    load.error);
    if (!load.warning.empty())
        ShowMessage(load.warning);
    ApplyOutputSettings(ReadOutputSettings(load.conf));
    if (!load.conf.Problems().empty()) {
        std::string text = "Some settings in " + path + " were not used:";
        for (const std::string& problem : load.conf.Problems())
            text += "\n" + problem;
        ShowMessage(text);
    }
}

void MonitorCore::ApplyOutputSettings(const OutputSettings& settings) {
    outputSettings = settings;
    if (!outputs)
        return;
    for (const std::string& problem : outputs->Apply(settings))
        ShowMessage(problem);
}

void MonitorCore::SaveOutputSettings(const OutputSettings& settings) {
    if (settings == outputSettings)
        return;
    const std::string path = TavoConfPath();
    TavoConfLoad load = LoadTavoConf(path);
    std::string error = load.error;
    if (load.ok) {
        WriteOutputSettings(load.conf, settings);
        if (SaveTavoConf(load.conf, path, error))
            error.clear();
    }
    if (!error.empty())
        ShowMessage("The network settings could not be saved; they hold until TAVO ends.\n" +
                    error);
    ApplyOutputSettings(settings);
}

void MonitorCore::OnIncomingCall(const IncomingCallNotice& notice) {
    if (!handler)
        return;
    if (merge->Write()->Seen(notice, std::chrono::steady_clock::now()))
        return;
    const IncomingCallHandler::Outcome outcome = handler->OnIncomingCall(notice);
    std::optional<CallMerge::Record> record;
    if (outcome == IncomingCallHandler::Outcome::Announced ||
        outcome == IncomingCallHandler::Outcome::Quiet) {
        // The handler has just appended the call's record.
        const auto shared = lists.Write();
        if (const size_t count = shared->callList.size(); count > 0)
            if (const CallRecord* last = shared->callList.at(count - 1))
                record = CallMerge::Record{std::time_t(last->callTime), last->connectionId};
    }
    merge->Write()->Handled(notice, record);
}

void MonitorCore::SpeakText(const std::string& text) {
    if (speechEngine)
        speechEngine->Speak(text);
}

void MonitorCore::Shutdown() {
    StopCallCapture();
    telnet.reset();
    if (speechEngine) {
        speechEngine->ReleaseEngine();
        speechEngine.reset();
    }
    if (handler) {
        // The writer may be telling of a failed save in a box, which this thread shows.
        while (!handler->FlushHistoryFor(std::chrono::milliseconds(5)))
            if (QCoreApplication::instance() != nullptr)
                QCoreApplication::processEvents();
        handler.reset();
    }
    outputs.reset();
}

void MonitorCore::EndSession() {
    // Only asked, not waited for: this may run inside an event loop that the listener itself
    // waits on (an error box it asked for). The listener is joined when the core goes.
    if (capture)
        capture->RequestStop();
    speechEngine.reset();
}

bool MonitorCore::SaveSettingsNow() {
    return SaveSettings(*settings.Read());
}
