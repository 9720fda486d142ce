#pragma once
// Calls as desktop notifications (org.freedesktop.Notifications over D-Bus), sent from a thread
// of their own so a slow notification server delays nothing. The notification: summary
// "Incoming call", the popup's text, TAVO's icon and desktop entry, category call.incoming,
// shown as long as the popup would be. A repeat of a call replaces its notification. Where the
// server offers actions there are two: "Add to phone book" and the default (show the call).
//
// Without a server the own popup takes over: Available() says whether one was found, and the
// first time none is, the log says so once.
//
// The body is plain text: where the server reads markup in it (the "body-markup" capability),
// it goes escaped, so a name from an address book such as "<a href=...>" shows as written.

#include "outputs/BoundedQueue.h"
#include "outputs/CallOutput.h"
#include "outputs/OutputStatus.h"

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

// The text as a notification body that a server reading markup shows as written: "&", "<" and
// ">" escaped (quotes mean something only inside a tag, and some servers do not know "&quot;").
std::string NotificationMarkupEscaped(const std::string& text);

class DesktopNotifier final : public CallOutput {
public:
    // Called on the thread that made the notifier (its event loop delivers the signals) with
    // the action's key and the call it was shown for.
    using ActionHandler = std::function<void(const std::string& action, const CallEvent& call)>;

    // `everyCall` false: a call posted while no server is there is left to the own popup and
    // not shown again when a server comes. `status`: whether a server is there.
    explicit DesktopNotifier(OutputLog log = LogToStandardError, OutputStatusSink status = {},
                             bool everyCall = true);
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

    void SetAvailable(bool found, const std::string& why);

    OutputLog log;
    OutputStatusSink status;
    const bool everyCall;
    BoundedQueue<OutputEvent> queue{64};
    std::thread thread;
    std::atomic<bool> available{false};
    bool actions = false;      // the thread's own
    bool markup = false;       // the thread's own: the server reads markup in the body
    bool notedMissing = false; // the thread's own (and Start's, before it)
    std::unique_ptr<QObject> receiver;

    std::mutex mutex; // guards what follows
    ActionHandler actionHandler;
    std::map<uint32_t, CallEvent> shown;       // notification id -> call, the latest few
    std::map<uint32_t, uint32_t> byConnection; // PLCI -> notification id
};
