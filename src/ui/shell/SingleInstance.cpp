#include "shell/SingleInstance.h"

#include <QDataStream>
#include <QLocalSocket>
#include <QLockFile>

namespace klv::ui {

namespace {
constexpr int handOverTimeoutMs = 2000;
}

SingleInstance::SingleInstance(QString socketPath, QObject *parent)
    : QObject(parent)
    , m_socketPath(std::move(socketPath)) {
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&m_server, &QLocalServer::newConnection, this, &SingleInstance::readActivation);
}

SingleInstance::~SingleInstance() {
    release();
}

bool SingleInstance::claim(const QStringList &arguments) {
    // Two launches at the same moment must not both remove the other's socket and listen.
    QLockFile claiming(m_socketPath + QStringLiteral(".lock"));
    claiming.lock();
    if (handOver(arguments))
        return false;
    QLocalServer::removeServer(m_socketPath);
    return m_server.listen(m_socketPath);
}

void SingleInstance::release() {
    if (m_server.isListening())
        m_server.close();
}

bool SingleInstance::handOver(const QStringList &arguments) const {
    QLocalSocket socket;
    socket.connectToServer(m_socketPath);
    if (!socket.waitForConnected(handOverTimeoutMs))
        return false;
    QByteArray message;
    QDataStream stream(&message, QIODevice::WriteOnly);
    stream << arguments;
    socket.write(message);
    const bool written = socket.waitForBytesWritten(handOverTimeoutMs);
    socket.disconnectFromServer();
    return written;
}

void SingleInstance::readActivation() {
    while (QLocalSocket *socket = m_server.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readChannelFinished, this, [this, socket] {
            QDataStream stream(socket->readAll());
            QStringList arguments;
            stream >> arguments;
            Q_EMIT activationRequested(arguments);
        });
    }
}

} // namespace klv::ui
