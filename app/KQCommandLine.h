#pragma once
// The command line of the application: --help, --version and files to import into Last Import.
// Parsed before anything else runs, so that help and errors reach the terminal, not the log.

#include <QString>
#include <QStringList>

struct KQCommandLine
{
    enum class Action
    {
        Run,         // start the application (files, when any, are imported)
        ShowHelp,    // print helpText and end with 0
        ShowVersion, // print versionText and end with 0
        Error        // print errorText and helpText's usage line, end with 2
    };
    Action action = Action::Run;
    QStringList files; // absolute paths
    QString errorText;

    static KQCommandLine parse(const QStringList& arguments, const QString& currentFolder);
    static QString helpText();
    static QString versionText(const QString& version);
};
