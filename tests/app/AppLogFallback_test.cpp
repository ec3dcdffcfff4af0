// The log file's disk fills up during a run: the rest of the log goes to the original standard
// error, with a warning that says why, and no line is lost.
#include "app/AppLogHelper.h"
#include "platform/KQLog.h"

#include <QFile>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

QByteArray readAllFrom(int fd)
{
    QByteArray all;
    char buffer[4096];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;)
        all.append(buffer, n);
    return all;
}

} // namespace

TEST(AppLogFallback, FullLogDiskSendsTheRestToTheOriginalStandardError)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("run.log"));
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    const pid_t pid = ::fork();
    if (pid == 0) {
        // The pipe stands for the terminal; it is not subject to the file-size limit.
        ::dup2(pipeFds[1], STDERR_FILENO);
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        ::signal(SIGXFSZ, SIG_IGN);
        if (!AppLogHelper::sharedLogHelper()->newLogToFile(path))
            ::_exit(2);
        const rlimit limit{300, 300};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        for (int i = 0; i < 20; ++i)
            KQLog(QStringLiteral("line %1 of the run, long enough to fill the disk").arg(i));
        qWarning("a warning from Qt after the disk filled up");
        ::_exit(0);
    }
    ::close(pipeFds[1]);
    const QByteArray terminal = readAllFrom(pipeFds[0]);
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray logged = file.readAll();
    EXPECT_LE(logged.size(), 300);
    EXPECT_TRUE(terminal.startsWith("Warning: the log file \"" + QFile::encodeName(path) + "\" cannot be written"))
        << terminal.left(200).toStdString();
    for (int i = 0; i < 20; ++i) {
        const QByteArray line = QStringLiteral("line %1 of the run, long enough to fill the disk\n").arg(i).toUtf8();
        EXPECT_TRUE(logged.contains(line) || terminal.contains(line)) << "lost: " << line.toStdString();
    }
    EXPECT_TRUE(terminal.contains("a warning from Qt after the disk filled up"));
}
