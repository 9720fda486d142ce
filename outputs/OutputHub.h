#pragma once
// Every output the settings switch on, fed from one place. The core hands each announced call
// (and each repeat) and each change of the line's state to the hub; the hub posts it to every
// running output's own queue and returns at once. Apply switches outputs on, off or over to new
// settings while TAVO runs.

#include "outputs/BoundedQueue.h"
#include "outputs/CallOutput.h"
#include "outputs/DesktopNotifier.h"
#include "settings/TavoConf.h"

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

class CallCommand;
class MqttPublisher;
class NcidServer;

class OutputHub {
public:
    // The calls of the history, oldest first, for the NCID server's replay.
    using History = std::function<std::vector<CallEvent>()>;

    explicit OutputHub(History history, OutputLog log = LogToStandardError);
    ~OutputHub();
    OutputHub(const OutputHub&) = delete;
    OutputHub& operator=(const OutputHub&) = delete;

    // Starts, stops or restarts each output whose settings differ from the last ones. Returns
    // what the user should be told (an address in use, a CA file missing, ...). Call it on the
    // thread with the event loop (the notifier receives its signals there).
    std::vector<std::string> Apply(const OutputSettings& settings);

    // From any thread; never blocks on an output.
    void OnCall(const CallEvent& call);
    void OnLine(const LineEvent& line);

    // Whether TAVO's own popup should show a call: chosen, or no notification server to take it.
    bool OwnPopupWanted() const;
    // Called on the Apply thread when the user picks an action of a call's notification.
    void SetNotificationActions(DesktopNotifier::ActionHandler handler);

    // The running ones, or nullptr (for tests and measurements).
    NcidServer* Ncid() const { return ncid.get(); }
    MqttPublisher* Mqtt() const { return mqtt.get(); }

private:
    void Each(const OutputEvent& event);
    void Dispatch();
    void Post(const OutputEvent& event); // on the dispatcher

    History history;
    OutputLog log;
    DesktopNotifier::ActionHandler notificationActions;
    OutputSettings current;
    bool applied = false;
    std::optional<LineEvent> lastLine; // told again to outputs started later (under mutex)

    mutable std::mutex mutex; // guards the pointers while events are posted
    std::unique_ptr<NcidServer> ncid;
    std::unique_ptr<MqttPublisher> mqtt;
    std::unique_ptr<DesktopNotifier> notifier;
    std::unique_ptr<CallCommand> command;

    // The handler wakes one thread, which hands the event to every output's own queue: a call
    // costs its handler one hand-over, however many outputs are on.
    BoundedQueue<OutputEvent> handOver{256};
    std::thread dispatcher;
};
