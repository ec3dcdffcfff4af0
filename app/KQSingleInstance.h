#pragma once
// One running copy per user. The first launch holds a lock file in the user's runtime folder and
// listens on a local socket beside it; a later launch finds the lock taken, asks the first copy
// through the socket to show its window, and ends.

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>
#include <QStringList>

class KQSingleInstance : public QObject
{
    Q_OBJECT
public:
    // folder holds the lock file and the socket; the user's runtime folder when empty.
    explicit KQSingleInstance(const QString& folder = {}, QObject* parent = nullptr);
    ~KQSingleInstance() override;

    // True when this process is the running copy (it then listens for later launches). False when
    // another copy runs: it has been asked to show its window (and to open files, given as
    // absolute paths) and this process should end.
    bool start(const QStringList& files = {});

    QString lockFilePath() const { return m_folder + QStringLiteral("/Peoplekeeper.lock"); }
    QString socketPath() const { return m_folder + QStringLiteral("/Peoplekeeper.socket"); }

Q_SIGNALS:
    // A later launch asked this copy to show its window.
    void activationRequested();
    // A later launch was given these files.
    void filesOpened(const QStringList& paths);

private:
    QString m_folder;
    QLockFile m_lock;
    QLocalServer m_server;
};
