#pragma once
// Every output the settings switch on, fed from one place. The core hands each announced call
// (and each repeat) and each change of the line's state to the hub; the hub posts it to every
// running output's own queue and returns at once. Apply switches outputs on, off or over to new
// settings while TAVO runs.
//
// The outputs are rows of one table (OutputHub.cpp, OutputKinds): its name, whether the
// settings switch it on, which settings make it new, and how it is made and started. A new
// output is one row there.

#include "outputs/BoundedQueue.h"
#include "outputs/CallOutput.h"
#include "outputs/DesktopNotifier.h"
#include "outputs/OutputStatus.h"
#include "settings/TavoConf.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

class MqttPublisher;
class NcidServer;

class OutputHub {
public:
    // The calls of the history, oldest first, for the NCID server's replay.
    using History = std::function<std::vector<CallEvent>()>;
    // Every switched-on output's state, in a fixed order (NCID, MQTT, notifications, command).
    using StatusListener = std::function<void(const std::vector<OutputStatus>& statuses)>;

    explicit OutputHub(History history, OutputLog log = LogToStandardError);
    ~OutputHub();
    OutputHub(const OutputHub&) = delete;
    OutputHub& operator=(const OutputHub&) = delete;

    // Starts, stops or restarts each output whose settings differ from the last ones, and tries
    // again each one switched on that could not start. Returns
    // what the user should be told (an address in use, a CA file missing, ...). Call it on the
    // thread with the event loop (the notifier receives its signals there).
    std::vector<std::string> Apply(const OutputSettings& settings);

    // From any thread; never blocks on an output.
    void OnCall(const CallEvent& call);
    void OnLine(const LineEvent& line);
    void OnCallEnd(const CallEndEvent& end);

    // Whether TAVO's own popup should show a call: chosen, or no notification server to take it.
    bool OwnPopupWanted() const;
    // Called on the Apply thread when the user picks an action of a call's notification.
    void SetNotificationActions(DesktopNotifier::ActionHandler handler);

    // The state of every output that is switched on (one that could not start is Failing with
    // the reason); empty when none is. From any thread.
    std::vector<OutputStatus> Statuses() const;
    // `listener` gets all statuses, as Statuses() gives them, once at once (on the calling
    // thread) and again after every change: on the thread of the output whose state changed,
    // or on the Apply thread when outputs are switched on or off. Calls never overlap and come
    // in the order of the changes, so the last one holds. The listener must return soon and
    // not wait for the Apply thread (post what it got to the thread that shows it), and must
    // not call SetStatusListener. An empty listener stops the calls.
    void SetStatusListener(StatusListener listener);

    // The running ones, or nullptr (for tests and measurements).
    NcidServer* Ncid() const;
    MqttPublisher* Mqtt() const;

    // What a row of the table gets to make its output with.
    struct Context {
        OutputLog log;
        OutputStatusSink status;
        const History& history;
        DesktopNotifier::ActionHandler notificationActions;
    };
    struct Kind {
        const char* name; // OutputStatus::output
        bool (*on)(const OutputSettings& settings);
        // Whether going from `before` to `now` needs a new output; else a running one goes on.
        bool (*changed)(const OutputSettings& before, const OutputSettings& now);
        // A started output, or nullptr with `error` set.
        std::unique_ptr<CallOutput> (*make)(const OutputSettings& settings, const Context& context,
                                            std::string& error);
    };

private:
    struct Entry {
        const Kind* kind = nullptr;
        std::unique_ptr<CallOutput> output;
        std::optional<OutputStatus> status; // while switched on
        uint64_t generation = 0;            // a report of an output replaced since is stale
    };

    void Each(const OutputEvent& event);
    void Dispatch();
    void Post(const OutputEvent& event); // on the dispatcher
    void Switch(size_t index, const OutputSettings& settings, std::vector<std::string>& problems);
    void Replace(size_t index, std::unique_ptr<CallOutput> next);
    // Sets (or with nullopt clears) an entry's status and tells the listener of a change.
    void SetStatus(size_t index, uint64_t generation, std::optional<OutputStatus> status);
    uint64_t NextGeneration(size_t index);
    std::vector<OutputStatus> StatusesLocked() const;
    template <typename T> T* RunningLocked() const; // under mutex

    History history;
    OutputLog log;
    DesktopNotifier::ActionHandler notificationActions;
    OutputSettings current;
    bool applied = false;
    std::optional<LineEvent> lastLine; // told again to outputs started later (under mutex)

    mutable std::mutex mutex;   // guards the outputs while events are posted, and `current`
    std::vector<Entry> entries; // one per row of the table, in its order

    mutable std::mutex statusMutex; // guards the statuses and generations
    std::mutex listenerMutex;       // one listener call at a time, in order
    StatusListener statusListener;  // under listenerMutex

    // The handler wakes one thread, which hands the event to every output's own queue: a call
    // costs its handler one hand-over, however many outputs are on.
    BoundedQueue<OutputEvent> handOver{256};
    std::thread dispatcher;
};
