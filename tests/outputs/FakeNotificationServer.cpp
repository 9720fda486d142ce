#include "FakeNotificationServer.h"

namespace {
const QString Connection = QStringLiteral("fake-notification-server");
}

uint NotificationServerObject::Notify(const QString& appName, uint replacesId, const QString& icon,
                                      const QString& summary, const QString& body,
                                      const QStringList& actions, const QVariantMap& hints,
                                      int expireMs) {
    std::lock_guard lock(mutex);
    calls.push_back({appName, replacesId, icon, summary, body, actions, hints, expireMs});
    return replacesId != 0 ? replacesId : nextId++;
}

FakeNotificationServer::FakeNotificationServer(QStringList capabilities)
    : object(new NotificationServerObject(std::move(capabilities))) {
    QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, Connection);
    registered =
        bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), object,
                           QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals) &&
        bus.registerService(QStringLiteral("org.freedesktop.Notifications"));
    // Moved after registering: the connection's helpers are its children and move with it.
    object->moveToThread(&thread);
    thread.start();
}

FakeNotificationServer::~FakeNotificationServer() {
    {
        QDBusConnection bus(Connection);
        bus.unregisterService(QStringLiteral("org.freedesktop.Notifications"));
        bus.unregisterObject(QStringLiteral("/org/freedesktop/Notifications"));
    }
    QDBusConnection::disconnectFromBus(Connection);
    thread.quit();
    thread.wait();
    delete object;
}

std::vector<NotifyCall> FakeNotificationServer::Calls() {
    std::lock_guard lock(object->mutex);
    return object->calls;
}

void FakeNotificationServer::InvokeAction(uint id, const QString& action) {
    QMetaObject::invokeMethod(object, "EmitAction", Qt::QueuedConnection, Q_ARG(uint, id),
                              Q_ARG(QString, action));
}
