#pragma once
// A second start with the same data directory hands over to the running monitor: it asks it,
// over a local socket named for the directory, to show its window, and ends. The running
// monitor listens while it has windows.

#include <QObject>
#include <QString>

#include <string>

class QLocalServer;

// The socket's name: one per user and data directory (the directory's absolute path, hashed to
// fit any length into a socket name).
QString HandOverSocketName(const std::string& dataDirectory);

// Asks the monitor listening at `name` to show its window. False when none answered in time.
bool AskRunningMonitorToShow(const QString& name);

class InstanceHandOverServer : public QObject {
    Q_OBJECT
public:
    explicit InstanceHandOverServer(QObject* parent = nullptr);
    // Listens at `name`; a socket file left by a monitor that was killed is replaced, which is
    // safe only while the instance lock is held. False with `error` set when it cannot listen.
    bool Listen(const QString& name, QString& error);

signals:
    // A second start asked for the window.
    void ShowRequested();

private:
    QLocalServer* server;
};
