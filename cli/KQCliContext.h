#pragma once
// What every peoplekeeper-cli subcommand shares: option parsing, messages on standard error, a
// progress bar (only when standard error is a terminal), and the store's accounts.

#include "store/KQContainerHelper.h"

#include <QString>
#include <QStringList>
#include <optional>

// Thrown by the helpers below for a failure the command cannot go on from; main prints the text
// and exits with the status. Commands may also return a status themselves.
struct KQCliFailure
{
    QString message;
    int status = 1;
};

// A command's arguments: "--name VALUE", "--name=VALUE", bare flags and positional words.
class KQCliArguments
{
public:
    // valueOptions take a value; flagOptions do not. Anything else starting with "--" fails.
    KQCliArguments(const QStringList& arguments, const QStringList& valueOptions, const QStringList& flagOptions);

    bool flag(const QString& name) const { return m_flags.contains(name); }
    std::optional<QString> value(const QString& name) const;
    // Every value given for an option that may repeat.
    QStringList values(const QString& name) const;
    const QStringList& positional() const { return m_positional; }

private:
    QStringList m_flags;
    QList<std::pair<QString, QString>> m_values;
    QStringList m_positional;
};

class KQCliContext
{
public:
    KQCliContext();

    // Standard output and standard error as UTF-8 text.
    void out(const QString& text) const;
    void err(const QString& text) const;

    // A progress bar on standard error ("label  42%"), redrawn when the percentage changes; nothing
    // when standard error is not a terminal. finish() ends the line.
    void progress(const QString& label, double fraction);
    void finishProgress();

    // Opens the store and reloads its accounts (once); fails with a message when the store cannot
    // be opened.
    void loadAccounts();
    // The account of that name, or the default account for an empty name; fails with the list of
    // accounts when there is none of that name.
    KQContainerHelperPtr account(const QString& name);
    // Loads the node's contacts with all keys; fails when the store reports an error.
    KQContactHelperList loadAllContacts(KQGroupTreeNode& node);

private:
    bool m_terminal = false;
    bool m_accountsLoaded = false;
    int m_lastPercent = -1;
    QString m_lastLabel;
};
