#include "app/KQSingleInstance.h"

#include <QDir>
#include <QLocalSocket>
#include <QLoggingCategory>
#include <QStandardPaths>
#include <memory>

Q_LOGGING_CATEGORY(kqInstanceLog, "kq.app.instance")

namespace {

const QByteArray kActivate = "activate\n";
// Each file a later launch was given follows the activation as one line "open <absolute path>".
const QByteArray kOpenPrefix = "open ";
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
            auto received = std::make_shared<QByteArray>();
            connect(socket, &QLocalSocket::readyRead, this,
                    [socket, received] { received->append(socket->readAll()); });
            connect(socket, &QLocalSocket::disconnected, this, [this, socket, received] {
                received->append(socket->readAll());
                socket->deleteLater();
                if (!received->startsWith(kActivate))
                    return;
                Q_EMIT activationRequested();
                QStringList files;
                for (const QByteArray& line : received->mid(kActivate.size()).split('\n')) {
                    if (line.startsWith(kOpenPrefix))
                        files.append(QString::fromUtf8(line.mid(kOpenPrefix.size())));
                }
                if (!files.isEmpty())
                    Q_EMIT filesOpened(files);
            });
        }
    });
}

KQSingleInstance::~KQSingleInstance()
{
    m_server.close();
}

bool KQSingleInstance::start(const QStringList& files)
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
        QByteArray message = kActivate;
        for (const QString& file : files)
            message += kOpenPrefix + file.toUtf8() + '\n';
        socket.write(message);
        socket.waitForBytesWritten(kHandOverWaitMs);
        socket.disconnectFromServer();
    } else {
        qCWarning(kqInstanceLog) << "another copy runs but does not answer:" << socket.errorString();
    }
    return false;
}
