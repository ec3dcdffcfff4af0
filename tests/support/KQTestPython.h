#pragma once
// Test helper: runs a python3 snippet on a file, for checks against an independent reader.

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <optional>

// The first python3 (the one on PATH, then the system's) that can import module; empty when none can.
// A private interpreter on PATH may lack the system's Python packages.
inline QString KQPythonWithModule(const QString& module)
{
    QStringList candidates{QStandardPaths::findExecutable(QStringLiteral("python3")),
                           QStringLiteral("/usr/bin/python3")};
    for (const QString& python : candidates) {
        if (python.isEmpty() || !QFileInfo::exists(python))
            continue;
        QProcess process;
        process.start(python, {QStringLiteral("-c"), QStringLiteral("import ") + module});
        if (process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0)
            return python;
    }
    return {};
}

// Standard output of `python3 -c script file` with data written to file; none when python3 is absent
// (or, with module given, when no python3 has that module). A failing script yields its standard
// error prefixed with "FAILED: ".
inline std::optional<QString> KQRunPythonOnData(const QString& script, const QByteArray& data,
                                                const QString& module = QString())
{
    const QString python =
        module.isEmpty() ? QStandardPaths::findExecutable(QStringLiteral("python3")) : KQPythonWithModule(module);
    if (python.isEmpty())
        return std::nullopt;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("archive.bin"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size())
        return QStringLiteral("FAILED: could not write the file");
    file.close();
    QProcess process;
    process.start(python, {QStringLiteral("-c"), script, path});
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        return QStringLiteral("FAILED: ") + QString::fromUtf8(process.readAllStandardError());
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

// Prints "$archiver" and then the class names found in "$objects", sorted, one per line.
inline const QString KQPythonArchiveSummary = QStringLiteral(
    "import plistlib,sys\n"
    "d=plistlib.load(open(sys.argv[1],'rb'))\n"
    "print(d['$archiver'])\n"
    "print('\\n'.join(sorted(o['$classname'] for o in d['$objects'] if isinstance(o,dict) and '$classname' in o)))\n");
