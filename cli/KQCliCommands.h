#pragma once
// The subcommands of peoplekeeper-cli. A command gets its own arguments (after the subcommand's
// name), returns the process's exit status and writes its failures to standard error. Commands run
// on a worker thread while the main thread runs the event loop, so they may wait for the main
// thread (the store's node loads do).

#include <QStringList>

class KQCliContext;

struct KQCliCommand
{
    const char* name;
    const char* usage;   // the synopsis printed by "help"
    int (*run)(KQCliContext& context, const QStringList& arguments);
};

int kqCliScan(KQCliContext& context, const QStringList& arguments);
int kqCliImport(KQCliContext& context, const QStringList& arguments);
int kqCliExport(KQCliContext& context, const QStringList& arguments);
int kqCliBackup(KQCliContext& context, const QStringList& arguments);
int kqCliBackups(KQCliContext& context, const QStringList& arguments);
int kqCliRestore(KQCliContext& context, const QStringList& arguments);

// Every subcommand, in the order "help" lists them. Add a line here for a new one.
inline constexpr KQCliCommand kKQCliCommands[] = {
    {"scan", "scan [--account NAME] [--kinds default|all|NAME,NAME...] [--mask N] [--json] [FILE.vcf...]", &kqCliScan},
    {"import", "import FILE... [--account NAME [--group NAME]] [--map auto|FILE.json]", &kqCliImport},
    {"export", "export --format vcard|csv|csv-outlook|txt|xlsx|docx|pages|numbers|html|pdf [--account NAME] [--group NAME] [--tag NAME] [--fields KEY,KEY...] [--split-name] OUT", &kqCliExport},
    {"backup", "backup [--account NAME] [--folder DIR]", &kqCliBackup},
    {"backups", "backups", &kqCliBackups},
    {"restore", "restore [--yes] [--account NAME] BACKUP", &kqCliRestore},
};
