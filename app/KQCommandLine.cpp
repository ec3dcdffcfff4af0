#include "app/KQCommandLine.h"

#include <QDir>
#include <QFileInfo>

KQCommandLine KQCommandLine::parse(const QStringList& arguments, const QString& currentFolder)
{
    KQCommandLine line;
    bool onlyFiles = false;
    // The first argument is the program.
    for (qsizetype index = 1; index < arguments.size(); ++index) {
        const QString& argument = arguments.at(index);
        if (!onlyFiles && argument == QStringLiteral("--")) {
            onlyFiles = true;
        } else if (!onlyFiles && (argument == QStringLiteral("--help") || argument == QStringLiteral("-h"))) {
            line.action = Action::ShowHelp;
            return line;
        } else if (!onlyFiles && (argument == QStringLiteral("--version") || argument == QStringLiteral("-v"))) {
            line.action = Action::ShowVersion;
            return line;
        } else if (!onlyFiles && argument.startsWith(QLatin1Char('-')) && argument.size() > 1) {
            // Qt's own options (-platform, -style, ...) are taken by the application object.
            static const QStringList qtOptionsWithValue = {QStringLiteral("-platform"), QStringLiteral("-style"),
                                                           QStringLiteral("-qwindowgeometry"),
                                                           QStringLiteral("-qwindowtitle")};
            if (qtOptionsWithValue.contains(argument)) {
                ++index;
                continue;
            }
            if (argument == QStringLiteral("-reverse") || argument.startsWith(QStringLiteral("-platform=")))
                continue;
            line.action = Action::Error;
            line.errorText = QStringLiteral("peoplekeeper: unknown option \u2018%1\u2019").arg(argument);
            return line;
        } else {
            const QString path = QDir(currentFolder).absoluteFilePath(argument);
            line.files.append(QDir::cleanPath(path));
        }
    }
    return line;
}

QString KQCommandLine::helpText()
{
    return QStringLiteral(
        "Usage: peoplekeeper [OPTION]... [FILE]...\n"
        "Manage the address book: browse and edit contacts, find and fix duplicates, import, export\n"
        "and back up.\n"
        "\n"
        "Each FILE (vCard .vcf/.vcard or .csv) is imported into Last Import; a CSV file first shows\n"
        "the field map. When Peoplekeeper is already running, the files go to the running copy.\n"
        "\n"
        "  -h, --help     show this help and exit\n"
        "  -v, --version  show the version and exit\n"
        "\n"
        "The command-line tool peoplekeeper-cli scans, imports, exports and backs up without windows.\n");
}

QString KQCommandLine::versionText(const QString& version)
{
    return QStringLiteral("peoplekeeper %1\n").arg(version);
}
