#pragma once
// Runs the built front end as a program over a home and data folders of its own.

#include <QProcess>
#include <QTemporaryDir>

struct KQCliRun
{
    int status = -1; // -1 when the program crashed or did not end in time
    QString out;
    QString err;
};

inline QProcessEnvironment kqCliEnvironment(const QTemporaryDir& home)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_CACHE_HOME"), home.filePath(QStringLiteral("cache")));
    env.remove(QStringLiteral("QT_QPA_PLATFORM")); // the front end needs no display of its own
    return env;
}

// input is written to the program's standard input, which is then closed.
inline KQCliRun kqRunCli(const QTemporaryDir& home, const QStringList& arguments, const QByteArray& input = {},
                         int timeoutMs = 120000)
{
    QProcess process;
    process.setProcessEnvironment(kqCliEnvironment(home));
    process.start(QStringLiteral(KQ_CLI_EXECUTABLE), arguments);
    process.write(input);
    process.closeWriteChannel();
    KQCliRun run;
    if (!process.waitForFinished(timeoutMs))
        return run;
    run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}
