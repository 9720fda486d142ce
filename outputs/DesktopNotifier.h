#pragma once
// Calls as desktop notifications (org.freedesktop.Notifications over D-Bus), sent from a thread
// of their own so a slow notification server delays nothing. The notification: summary
// "Incoming call", the popup's text, TAVO's icon and desktop entry, category call.incoming,
// shown as long as the popup would be. A repeat of a call replaces its notification. Where the
// server offers actions there are two: "Add to phone book" and the default (show the call).
//
// Without a server the own popup takes over: Available() says whether one was found, and the
// first time none is, the log says so once.

#include "outputs/BoundedQueue.h"
#include "outputs/CallOutput.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

class QObject;

inline constexpr const char* AddToPhoneBookAction = "add-to-phone-book";
inline constexpr const char* DefaultAction = "default";

class DesktopNotifier final : public CallOutput {
public:
    // Called on the thread that made the notifier (its event loop delivers the signals) with
    // the action's key and the call it was shown for.
    using ActionHandler = std::function<void(const std::string& action, const CallEvent& call)>;

    explicit DesktopNotifier(OutputLog log = LogToStandardError);
    ~DesktopNotifier() override;
    DesktopNotifier(const DesktopNotifier&) = delete;
    DesktopNotifier& operator=(const DesktopNotifier&) = delete;

    // Asks the session bus for a notification server (waiting at most a moment) and starts the
    // thread. Needs a QCoreApplication.
    void Start();
    // A notification server was there when last looked for.
    bool Available() const { return available.load(); }
    void SetActionHandler(ActionHandler handler);

    void Post(const OutputEvent& event) override;

    // For the signal receiver.
    void OnActionInvoked(uint32_t id, const std::string& action);

private:
    void Run();
    bool LookForServer();
    void Notify(const CallEvent& call);

    OutputLog log;
    BoundedQueue<OutputEvent> queue{64};
    std::thread thread;
    std::atomic<bool> available{false};
    bool actions = false;      // the thread's own
    bool notedMissing = false; // the thread's own (and Start's, before it)
    std::unique_ptr<QObject> receiver;

    std::mutex mutex; // guards what follows
    ActionHandler actionHandler;
    std::map<uint32_t, CallEvent> shown;       // notification id -> call, the latest few
    std::map<uint32_t, uint32_t> byConnection; // PLCI -> notification id
};
