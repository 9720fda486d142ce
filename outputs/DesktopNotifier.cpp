#include "outputs/DesktopNotifier.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

namespace {

const QString Service = QStringLiteral("org.freedesktop.Notifications");
const QString Path = QStringLiteral("/org/freedesktop/Notifications");
const QString Interface = QStringLiteral("org.freedesktop.Notifications");
// A call to the server that takes longer than this counts as failed.
constexpr int CallTimeoutMs = 5000;
// Notifications remembered for their actions and repeats.
constexpr size_t Remembered = 50;
// How often a missing server is looked for again.
constexpr auto LookAgainAfter = std::chrono::seconds(2);

} // namespace

// Receives the server's signals on the thread that made the notifier.
class NotificationSignals : public QObject {
    Q_OBJECT
public:
    explicit NotificationSignals(DesktopNotifier& notifier) : notifier(notifier) {}
public Q_SLOTS:
    void ActionInvoked(uint id, const QString& action) {
        notifier.OnActionInvoked(id, action.toStdString());
    }

private:
    DesktopNotifier& notifier;
};

std::string NotificationMarkupEscaped(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

DesktopNotifier::DesktopNotifier(OutputLog log, OutputStatusSink status, bool everyCall)
    : log(log ? std::move(log) : LogToStandardError), status(std::move(status)),
      everyCall(everyCall) {}

DesktopNotifier::~DesktopNotifier() {
    queue.Close();
    if (thread.joinable())
        thread.join();
    if (receiver)
        QDBusConnection::sessionBus().disconnect(Service, Path, Interface,
                                                 QStringLiteral("ActionInvoked"), receiver.get(),
                                                 SLOT(ActionInvoked(uint, QString)));
}

void DesktopNotifier::Start() {
    receiver = std::make_unique<NotificationSignals>(*this);
    QDBusConnection::sessionBus().connect(Service, Path, Interface, QStringLiteral("ActionInvoked"),
                                          receiver.get(), SLOT(ActionInvoked(uint, QString)));
    LookForServer();
    thread = std::thread([this] {
        BecomeBackgroundThread();
        Run();
    });
}

void DesktopNotifier::SetActionHandler(ActionHandler handler) {
    std::lock_guard lock(mutex);
    actionHandler = std::move(handler);
}

void DesktopNotifier::Post(const OutputEvent& event) {
    if (!std::holds_alternative<CallEvent>(event) || (!everyCall && !available))
        return;
    if (!queue.Push(event))
        log("notifications: calls came faster than the server took them; the oldest was skipped");
}

bool DesktopNotifier::LookForServer() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    bool found = false;
    if (bus.isConnected()) {
        QDBusMessage ask = QDBusMessage::createMethodCall(Service, Path, Interface,
                                                          QStringLiteral("GetCapabilities"));
        QDBusReply<QStringList> reply = bus.call(ask, QDBus::Block, CallTimeoutMs);
        found = reply.isValid();
        actions = found && reply.value().contains(QStringLiteral("actions"));
        markup = found && reply.value().contains(QStringLiteral("body-markup"));
    }
    SetAvailable(found, found               ? "a notification server is there"
                        : bus.isConnected() ? "no notification server on the session bus"
                                            : "no session bus");
    if (!found && !notedMissing) {
        log("notifications: no notification server on the session bus; TAVO's own popup "
            "shows the calls instead");
        notedMissing = true;
    }
    if (found)
        notedMissing = false;
    return found;
}

void DesktopNotifier::SetAvailable(bool found, const std::string& why) {
    available = found;
    if (status)
        status(found ? OutputHealth::Working : OutputHealth::Failing, why);
}

void DesktopNotifier::Run() {
    auto lastLook = std::chrono::steady_clock::now();
    while (!queue.Closed()) {
        for (const OutputEvent& event : queue.TakeAll(std::chrono::milliseconds(500)))
            if (const CallEvent* call = std::get_if<CallEvent>(&event))
                Notify(*call);
        // A server that was missing may come (a desktop session starting after TAVO).
        const auto now = std::chrono::steady_clock::now();
        if (!available && now - lastLook > LookAgainAfter) {
            LookForServer();
            lastLook = now;
        }
    }
}

void DesktopNotifier::Notify(const CallEvent& call) {
    if (call.showSeconds <= 0)
        return;
    // A server that was missing may have come since.
    if (!available && !LookForServer())
        return;
    uint32_t replaces = 0;
    {
        std::lock_guard lock(mutex);
        if (call.Repeat())
            if (auto it = byConnection.find(call.connectionId); it != byConnection.end())
                replaces = it->second;
    }
    QStringList actionList;
    if (actions) {
        actionList << QString::fromLatin1(DefaultAction) << QStringLiteral("Show the call");
        // Only a number that was delivered and is not in the book yet can be added.
        if (call.callerKind == CallerKind::Number && call.callerName.empty())
            actionList << QString::fromLatin1(AddToPhoneBookAction)
                       << QStringLiteral("Add to phone book");
    }
    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("tavo"));
    hints.insert(QStringLiteral("category"), QStringLiteral("call.incoming"));
    QDBusMessage notify =
        QDBusMessage::createMethodCall(Service, Path, Interface, QStringLiteral("Notify"));
    notify << QStringLiteral("TAVO") << replaces << QStringLiteral("tavo")
           << QStringLiteral("Incoming call")
           << QString::fromStdString(markup ? NotificationMarkupEscaped(call.text) : call.text)
           << actionList << hints << static_cast<int32_t>(call.showSeconds * 1000);
    QDBusReply<uint> reply =
        QDBusConnection::sessionBus().call(notify, QDBus::Block, CallTimeoutMs);
    if (!reply.isValid()) {
        const std::string why = "the notification server did not take the call: " +
                                reply.error().message().toStdString();
        SetAvailable(false, why);
        log("notifications: " + why);
        notedMissing = true;
        return;
    }
    const uint32_t id = reply.value();
    std::lock_guard lock(mutex);
    shown[id] = call;
    byConnection[call.connectionId] = id;
    while (shown.size() > Remembered)
        shown.erase(shown.begin());
    while (byConnection.size() > Remembered)
        byConnection.erase(byConnection.begin());
}

void DesktopNotifier::OnActionInvoked(uint32_t id, const std::string& action) {
    ActionHandler handler;
    CallEvent call;
    {
        std::lock_guard lock(mutex);
        const auto it = shown.find(id);
        if (it == shown.end() || !actionHandler)
            return; // not ours, or from another program
        handler = actionHandler;
        call = it->second;
    }
    handler(action, call);
}

#include "DesktopNotifier.moc"
