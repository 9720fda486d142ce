#pragma once
// A notification server for tests: registers org.freedesktop.Notifications on a connection of
// its own to the session bus, serves it from a thread of its own (as another process would:
// the client may block on its calls) and records every Notify call.

#include <QDBusConnection>
#include <QObject>
#include <QStringList>
#include <QThread>
#include <QVariantMap>

#include <memory>
#include <mutex>
#include <vector>

struct NotifyCall {
    QString appName;
    uint replacesId;
    QString icon;
    QString summary;
    QString body;
    QStringList actions;
    QVariantMap hints;
    int expireMs;
};

class NotificationServerObject : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    explicit NotificationServerObject(QStringList capabilities)
        : capabilities(std::move(capabilities)) {}

    std::mutex mutex;
    std::vector<NotifyCall> calls;

public Q_SLOTS:
    QStringList GetCapabilities() { return capabilities; }
    uint Notify(const QString& appName, uint replacesId, const QString& icon,
                const QString& summary, const QString& body, const QStringList& actions,
                const QVariantMap& hints, int expireMs);
    void CloseNotification(uint) {}
    void EmitAction(uint id, const QString& action) { emit ActionInvoked(id, action); }

Q_SIGNALS:
    void ActionInvoked(uint id, const QString& action);

private:
    QStringList capabilities;
    uint nextId = 41;
};

class FakeNotificationServer {
public:
    explicit FakeNotificationServer(QStringList capabilities);
    ~FakeNotificationServer();
    bool Registered() const { return registered; }
    std::vector<NotifyCall> Calls();
    void InvokeAction(uint id, const QString& action);

private:
    QThread thread;
    NotificationServerObject* object;
    bool registered = false;
};
