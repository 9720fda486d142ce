#include "gui/InstanceHandOver.h"

#include <QCryptographicHash>
#include <QLocalServer>
#include <QLocalSocket>

#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace {

const QByteArray ShowRequest = QByteArrayLiteral("show\n");
const QByteArray ShownAnswer = QByteArrayLiteral("shown\n");
constexpr int AnswerMilliseconds = 3000;

} // namespace

QString HandOverSocketName(const std::string& dataDirectory) {
    // Two spellings of one directory (a link, a trailing slash) name one socket.
    std::error_code ec;
    std::string path = std::filesystem::weakly_canonical(dataDirectory, ec).string();
    if (ec || path.empty())
        path = dataDirectory;
    const QByteArray hash =
        QCryptographicHash::hash(QByteArray::fromStdString(path), QCryptographicHash::Sha256)
            .toHex()
            .left(24);
    return QStringLiteral("tavo-%1-%2").arg(getuid()).arg(QString::fromLatin1(hash));
}

bool AskRunningMonitorToShow(const QString& name) {
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(AnswerMilliseconds))
        return false;
    socket.write(ShowRequest);
    if (!socket.waitForBytesWritten(AnswerMilliseconds))
        return false;
    // The monitor answers once its window is shown.
    while (!socket.canReadLine())
        if (!socket.waitForReadyRead(AnswerMilliseconds))
            return false;
    return socket.readLine() == ShownAnswer;
}

InstanceHandOverServer::InstanceHandOverServer(QObject* parent)
    : QObject(parent), server(new QLocalServer(this)) {
    // Only this user's programs may ask.
    server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* client = server->nextPendingConnection()) {
            connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
            connect(client, &QLocalSocket::readyRead, this, [this, client] {
                if (!client->canReadLine()) {
                    if (client->bytesAvailable() > ShowRequest.size())
                        client->disconnectFromServer(); // not a start of ours
                    return;
                }
                if (client->readLine() == ShowRequest) {
                    emit ShowRequested();
                    client->write(ShownAnswer);
                }
                client->disconnectFromServer();
            });
        }
    });
}

bool InstanceHandOverServer::Listen(const QString& name, QString& error) {
    QLocalServer::removeServer(name);
    if (server->listen(name))
        return true;
    error = server->errorString();
    return false;
}
