#include "outputs/OutputHub.h"

#include "outputs/CallCommand.h"
#include "outputs/MqttPublisher.h"
#include "outputs/NcidServer.h"

namespace {

// Swaps `running` for `next` under the lock and lets the old one end outside it, so events
// posted meanwhile never wait for an output to wind down.
template <typename T>
void Replace(std::mutex& mutex, std::unique_ptr<T>& running, std::unique_ptr<T> next) {
    std::unique_ptr<T> old;
    {
        std::lock_guard lock(mutex);
        old = std::move(running);
        running = std::move(next);
    }
    old.reset();
}

} // namespace

OutputHub::OutputHub(History history, OutputLog log)
    : history(std::move(history)), log(log ? std::move(log) : LogToStandardError) {
    dispatcher = std::thread([this] {
        BecomeBackgroundThread();
        Dispatch();
    });
}

OutputHub::~OutputHub() {
    handOver.Close();
    dispatcher.join();
    Replace(mutex, command, {});
    Replace(mutex, notifier, {});
    Replace(mutex, mqtt, {});
    Replace(mutex, ncid, {});
}

std::vector<std::string> OutputHub::Apply(const OutputSettings& settings) {
    std::vector<std::string> problems;
    std::string error;

    if (!applied || !(settings.ncid == current.ncid)) {
        Replace(mutex, ncid, {});
        if (settings.ncid.enabled) {
            NcidServerOptions options;
            options.log = log;
            auto server = std::make_unique<NcidServer>(
                settings.ncid, history ? history() : std::vector<CallEvent>{}, options);
            if (server->Start(error))
                Replace(mutex, ncid, std::move(server));
            else
                problems.push_back(error);
        }
    }
    if (!applied || !(settings.mqtt == current.mqtt)) {
        Replace(mutex, mqtt, {});
        if (settings.mqtt.enabled) {
            MqttPublisherOptions options;
            options.log = log;
            auto publisher = std::make_unique<MqttPublisher>(settings.mqtt, options);
            if (publisher->Start(error))
                Replace(mutex, mqtt, std::move(publisher));
            else
                problems.push_back(error);
        }
    }
    const bool notifications = settings.notify.announceWith != AnnounceWith::Popup;
    if (!notifications) {
        Replace(mutex, notifier, {});
    } else if (!notifier) {
        auto next = std::make_unique<DesktopNotifier>(log);
        if (notificationActions)
            next->SetActionHandler(notificationActions);
        next->Start();
        Replace(mutex, notifier, std::move(next));
    }
    if (!applied || !(settings.command == current.command)) {
        Replace(mutex, command, {});
        if (!settings.command.program.empty()) {
            auto next = std::make_unique<CallCommand>(settings.command, log);
            if (next->Start(error))
                Replace(mutex, command, std::move(next));
            else
                problems.push_back(error);
        }
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
    if (ncid)
        ncid->Post(event);
    if (mqtt)
        mqtt->Post(event);
    // A call the own popup shows for want of a server is not shown again when one comes.
    if (notifier && (current.notify.announceWith == AnnounceWith::Both || notifier->Available()))
        notifier->Post(event);
    if (command)
        command->Post(event);
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

bool OutputHub::OwnPopupWanted() const {
    std::lock_guard lock(mutex);
    switch (current.notify.announceWith) {
    case AnnounceWith::Popup:
    case AnnounceWith::Both:
        return true;
    case AnnounceWith::Notification:
        return !notifier || !notifier->Available();
    }
    return true;
}

void OutputHub::SetNotificationActions(DesktopNotifier::ActionHandler handler) {
    notificationActions = handler;
    std::lock_guard lock(mutex);
    if (notifier)
        notifier->SetActionHandler(std::move(handler));
}
