#include "app/KQSingleInstance.h"

#include <QDir>
#include <QLocalSocket>
#include <QLoggingCategory>
#include <QStandardPaths>

Q_LOGGING_CATEGORY(kqInstanceLog, "kq.app.instance")

namespace {

const QByteArray kActivate = "activate\n";
constexpr int kHandOverWaitMs = 2000;

QString runtimeFolder(const QString& folder)
{
    const QString path = folder.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) : folder;
    QDir().mkpath(path);
    return path;
}

} // namespace

KQSingleInstance::KQSingleInstance(const QString& folder, QObject* parent)
    : QObject(parent), m_folder(runtimeFolder(folder)), m_lock(lockFilePath())
{
    // A lock left by a copy that crashed is taken over at once (the lock file names its process).
    m_lock.setStaleLockTime(0);
    connect(&m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server.nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (socket->readAll().contains(kActivate))
                    Q_EMIT activationRequested();
            });
        }
    });
}

KQSingleInstance::~KQSingleInstance()
{
    m_server.close();
}

bool KQSingleInstance::start()
{
    if (m_lock.tryLock(0)) {
        // Ours now: a socket left by a crashed copy is in the way.
        QLocalServer::removeServer(socketPath());
        if (!m_server.listen(socketPath()))
            qCWarning(kqInstanceLog) << "later launches cannot reach this copy:" << m_server.errorString();
        return true;
    }
    if (m_lock.error() != QLockFile::LockFailedError) {
        // No lock can be made (a read-only runtime folder): better two copies than none.
        qCWarning(kqInstanceLog) << "cannot make the lock file" << lockFilePath() << "- running without it";
        return true;
    }
    QLocalSocket socket;
    socket.connectToServer(socketPath());
    if (socket.waitForConnected(kHandOverWaitMs)) {
        socket.write(kActivate);
        socket.waitForBytesWritten(kHandOverWaitMs);
        socket.disconnectFromServer();
    } else {
        qCWarning(kqInstanceLog) << "another copy runs but does not answer:" << socket.errorString();
    }
    return false;
}
