#include "outputs/OutputHub.h"

#include "outputs/CallCommand.h"
#include "outputs/MqttPublisher.h"
#include "outputs/NcidServer.h"

namespace {

using Context = OutputHub::Context;

template <auto Part> bool Differs(const OutputSettings& before, const OutputSettings& now) {
    return !(before.*Part == now.*Part);
}

std::unique_ptr<CallOutput> MakeNcid(const OutputSettings& settings, const Context& context,
                                     std::string& error) {
    NcidServerOptions options;
    options.log = context.log;
    auto server = std::make_unique<NcidServer>(
        settings.ncid, context.history ? context.history() : std::vector<CallEvent>{}, options);
    if (!server->Start(error))
        return nullptr;
    context.status(OutputHealth::Working, "listening on " + settings.ncid.address + " port " +
                                              std::to_string(server->Port()));
    return server;
}

std::unique_ptr<CallOutput> MakeMqtt(const OutputSettings& settings, const Context& context,
                                     std::string& error) {
    MqttPublisherOptions options;
    options.log = context.log;
    options.status = context.status;
    auto publisher = std::make_unique<MqttPublisher>(settings.mqtt, options);
    if (!publisher->Start(error))
        return nullptr;
    return publisher;
}

std::unique_ptr<CallOutput> MakeNotifier(const OutputSettings& settings, const Context& context,
                                         std::string&) {
    // With "notification" alone, a call the own popup showed for want of a server is not shown
    // again when one comes.
    auto notifier = std::make_unique<DesktopNotifier>(
        context.log, context.status, settings.notify.announceWith == AnnounceWith::Both);
    if (context.notificationActions)
        notifier->SetActionHandler(context.notificationActions);
    notifier->Start();
    return notifier;
}

std::unique_ptr<CallOutput> MakeCommand(const OutputSettings& settings, const Context& context,
                                        std::string& error) {
    auto command = std::make_unique<CallCommand>(settings.command, context.log, context.status);
    if (!command->Start(error))
        return nullptr;
    return command;
}

// In the order events are handed on.
const OutputHub::Kind OutputKinds[] = {
    {"NCID", [](const OutputSettings& s) { return s.ncid.enabled; }, Differs<&OutputSettings::ncid>,
     MakeNcid},
    {"MQTT", [](const OutputSettings& s) { return s.mqtt.enabled; }, Differs<&OutputSettings::mqtt>,
     MakeMqtt},
    {"notifications",
     [](const OutputSettings& s) { return s.notify.announceWith != AnnounceWith::Popup; },
     Differs<&OutputSettings::notify>, MakeNotifier},
    {"command", [](const OutputSettings& s) { return !s.command.program.empty(); },
     Differs<&OutputSettings::command>, MakeCommand},
};

} // namespace

OutputHub::OutputHub(History history, OutputLog log)
    : history(std::move(history)), log(log ? std::move(log) : LogToStandardError) {
    for (const Kind& kind : OutputKinds)
        entries.push_back(Entry{&kind, nullptr, std::nullopt, 0});
    dispatcher = std::thread([this] {
        BecomeBackgroundThread();
        Dispatch();
    });
}

OutputHub::~OutputHub() {
    handOver.Close();
    dispatcher.join();
    for (size_t i = entries.size(); i-- > 0;) {
        NextGeneration(i);
        Replace(i, nullptr);
    }
}

std::vector<std::string> OutputHub::Apply(const OutputSettings& settings) {
    std::vector<std::string> problems;
    for (size_t i = 0; i < entries.size(); ++i) {
        const Kind& kind = *entries[i].kind;
        bool running;
        {
            std::lock_guard lock(mutex);
            running = entries[i].output != nullptr;
        }
        // One that could not start is tried again (the port it wanted may be free now).
        if (!applied || kind.changed(current, settings) || (kind.on(settings) && !running))
            Switch(i, settings, problems);
    }
    {
        std::lock_guard lock(mutex);
        current = settings;
        applied = true;
    }
    // The line may have been listening long before an output started.
    std::optional<LineEvent> line;
    {
        std::lock_guard lock(mutex);
        line = lastLine;
    }
    if (line)
        Each(*line);
    return problems;
}

void OutputHub::Switch(size_t index, const OutputSettings& settings,
                       std::vector<std::string>& problems) {
    const Kind& kind = *entries[index].kind;
    // From here on, whatever the old output still says of itself is stale.
    const uint64_t generation = NextGeneration(index);
    Replace(index, nullptr);
    if (!kind.on(settings)) {
        SetStatus(index, generation, std::nullopt);
        return;
    }
    const std::string name = kind.name;
    SetStatus(index, generation, OutputStatus{name, OutputHealth::Starting, "starting"});
    const Context context{
        log,
        [this, index, generation, name](OutputHealth health, const std::string& text) {
            SetStatus(index, generation, OutputStatus{name, health, text});
        },
        history, notificationActions};
    std::string error;
    std::unique_ptr<CallOutput> output = kind.make(settings, context, error);
    if (!output) {
        SetStatus(index, generation, OutputStatus{name, OutputHealth::Failing, error});
        problems.push_back(error);
        return;
    }
    Replace(index, std::move(output));
}

void OutputHub::Replace(size_t index, std::unique_ptr<CallOutput> next) {
    // Swapped under the lock; the old one ends outside it, so events posted meanwhile never
    // wait for an output to wind down.
    std::unique_ptr<CallOutput> old;
    {
        std::lock_guard lock(mutex);
        old = std::move(entries[index].output);
        entries[index].output = std::move(next);
    }
    old.reset();
}

uint64_t OutputHub::NextGeneration(size_t index) {
    std::lock_guard lock(statusMutex);
    return ++entries[index].generation;
}

void OutputHub::SetStatus(size_t index, uint64_t generation, std::optional<OutputStatus> status) {
    std::lock_guard tell(listenerMutex);
    std::vector<OutputStatus> all;
    {
        std::lock_guard lock(statusMutex);
        Entry& entry = entries[index];
        if (entry.generation != generation || entry.status == status)
            return;
        entry.status = std::move(status);
        all = StatusesLocked();
    }
    if (statusListener)
        statusListener(all);
}

std::vector<OutputStatus> OutputHub::StatusesLocked() const {
    std::vector<OutputStatus> all;
    for (const Entry& entry : entries)
        if (entry.status)
            all.push_back(*entry.status);
    return all;
}

std::vector<OutputStatus> OutputHub::Statuses() const {
    std::lock_guard lock(statusMutex);
    return StatusesLocked();
}

void OutputHub::SetStatusListener(StatusListener listener) {
    std::lock_guard tell(listenerMutex);
    statusListener = std::move(listener);
    if (statusListener)
        statusListener(Statuses());
}

void OutputHub::Each(const OutputEvent& event) {
    if (!handOver.Push(event))
        log("outputs: events came faster than they could be handed on; the oldest was dropped");
}

void OutputHub::Dispatch() {
    while (!handOver.Closed())
        for (const OutputEvent& event : handOver.TakeAll(std::chrono::milliseconds(1000)))
            Post(event);
}

void OutputHub::Post(const OutputEvent& event) {
    std::lock_guard lock(mutex);
    for (const Entry& entry : entries)
        if (entry.output)
            entry.output->Post(event);
}

void OutputHub::OnCall(const CallEvent& call) {
    Each(call);
}

void OutputHub::OnLine(const LineEvent& line) {
    {
        std::lock_guard lock(mutex);
        lastLine = line;
    }
    Each(line);
}

void OutputHub::OnCallEnd(const CallEndEvent& end) {
    Each(end);
}

template <typename T> T* OutputHub::RunningLocked() const {
    for (const Entry& entry : entries)
        if (T* output = dynamic_cast<T*>(entry.output.get()))
            return output;
    return nullptr;
}

NcidServer* OutputHub::Ncid() const {
    std::lock_guard lock(mutex);
    return RunningLocked<NcidServer>();
}

MqttPublisher* OutputHub::Mqtt() const {
    std::lock_guard lock(mutex);
    return RunningLocked<MqttPublisher>();
}

bool OutputHub::OwnPopupWanted() const {
    std::lock_guard lock(mutex);
    switch (current.notify.announceWith) {
    case AnnounceWith::Popup:
    case AnnounceWith::Both:
        return true;
    case AnnounceWith::Notification: {
        const DesktopNotifier* notifier = RunningLocked<DesktopNotifier>();
        return notifier == nullptr || !notifier->Available();
    }
    }
    return true;
}

void OutputHub::SetNotificationActions(DesktopNotifier::ActionHandler handler) {
    notificationActions = handler;
    std::lock_guard lock(mutex);
    if (DesktopNotifier* notifier = RunningLocked<DesktopNotifier>())
        notifier->SetActionHandler(std::move(handler));
}
