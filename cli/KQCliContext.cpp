#include "cli/KQCliContext.h"

#include "store/KQContactManager.h"
#include "store/KQContactStoreHelper.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <cstdio>
#include <unistd.h>

KQCliArguments::KQCliArguments(const QStringList& arguments, const QStringList& valueOptions,
                               const QStringList& flagOptions)
{
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& word = arguments.at(i);
        if (word == QLatin1String("--")) {
            m_positional += arguments.mid(i + 1);
            break;
        }
        if (!word.startsWith(QLatin1String("--")) || word.size() == 2) {
            m_positional.append(word);
            continue;
        }
        QString name = word.mid(2);
        std::optional<QString> inlineValue;
        if (const qsizetype eq = name.indexOf(QLatin1Char('=')); eq >= 0) {
            inlineValue = name.mid(eq + 1);
            name.truncate(eq);
        }
        if (flagOptions.contains(name) && !inlineValue) {
            m_flags.append(name);
        } else if (valueOptions.contains(name)) {
            if (inlineValue) {
                m_values.append({name, *inlineValue});
            } else if (i + 1 < arguments.size()) {
                m_values.append({name, arguments.at(++i)});
            } else {
                throw KQCliFailure{QStringLiteral("--%1 needs a value").arg(name), 2};
            }
        } else {
            throw KQCliFailure{QStringLiteral("unknown option --%1").arg(name), 2};
        }
    }
}

std::optional<QString> KQCliArguments::value(const QString& name) const
{
    std::optional<QString> found;
    for (const auto& [key, value] : m_values)
        if (key == name)
            found = value; // the last one given wins
    return found;
}

QStringList KQCliArguments::values(const QString& name) const
{
    QStringList found;
    for (const auto& [key, value] : m_values)
        if (key == name)
            found.append(value);
    return found;
}

KQCliContext::KQCliContext() : m_terminal(::isatty(STDERR_FILENO) == 1) {}

void KQCliContext::out(const QString& text) const
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
}

void KQCliContext::err(const QString& text) const
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
    std::fflush(stderr);
}

void KQCliContext::progress(const QString& label, double fraction)
{
    if (!m_terminal)
        return;
    const int percent = qBound(0, static_cast<int>(fraction * 100.0), 100);
    if (percent == m_lastPercent && label == m_lastLabel)
        return;
    m_lastPercent = percent;
    m_lastLabel = label;
    constexpr int kWidth = 30;
    const int filled = percent * kWidth / 100;
    const QString bar = QString(filled, QLatin1Char('#')) + QString(kWidth - filled, QLatin1Char('.'));
    err(QStringLiteral("\r%1 [%2] %3%").arg(label, bar).arg(percent, 3));
}

void KQCliContext::finishProgress()
{
    if (m_terminal && m_lastPercent >= 0)
        err(QStringLiteral("\n"));
    m_lastPercent = -1;
    m_lastLabel.clear();
}

void KQCliContext::loadAccounts()
{
    if (m_accountsLoaded)
        return;
    KQContactManager* manager = nullptr;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [&manager] { manager = KQContactManager::sharedContactManager(); },
        Qt::BlockingQueuedConnection);
    // The manager starts loading the accounts as it is made. A second load beside that one could
    // finish first and then be replaced by the older list (empty, when it ran before the store was
    // open), so the load below waits for it.
    while (manager->storeHelper()->updatingStore())
        QThread::msleep(2);
    if (manager->contactStore()->authorizationStatusForEntityType(CNEntityType::Contacts) !=
        CNAuthorizationStatus::Authorized) {
        CNError error;
        manager->contactStore()->requestAccessForEntityType(
            CNEntityType::Contacts, [&error](bool, const CNError& refused) { error = refused; });
        if (error.isError())
            throw KQCliFailure{QStringLiteral("cannot open the contact store %1: %2")
                                   .arg(CNContactStore::defaultDatabasePath(), error.description())};
    }
    manager->storeHelper()->loadContainerHelpers();
    if (const QString failure = manager->storeHelper()->loadErrorMessage(); !failure.isEmpty())
        throw KQCliFailure{failure};
    m_accountsLoaded = true;
}

KQContainerHelperPtr KQCliContext::account(const QString& name)
{
    loadAccounts();
    KQContactManager* manager = KQContactManager::sharedContactManager();
    KQContainerHelperPtr found = name.isEmpty() ? manager->defaultContainerHelper() : nullptr;
    if (!found) {
        for (const KQContainerHelperPtr& candidate : manager->storeHelper()->allContainerHelpers())
            if (candidate->groupName() == name || (name.isEmpty() && !found))
                found = candidate;
    }
    if (!found) {
        const QStringList names = manager->storeHelper()->availableContainerHelperNames();
        throw KQCliFailure{
            name.isEmpty()
                ? QStringLiteral("the store has no account")
                : QStringLiteral("no account named \"%1\" (accounts: %2)").arg(name, names.join(QStringLiteral(", ")))};
    }
    return found;
}

KQContactHelperList KQCliContext::loadAllContacts(KQGroupTreeNode& node)
{
    if (!node.syncLoadContactsIfNecessary() && !node.isContactsLoaded())
        throw KQCliFailure{QStringLiteral("cannot read the contacts of \"%1\"").arg(node.groupName())};
    // One store fetch for the whole node rather than one per record.
    CNError error;
    node.syncLoadAllKeysOfContacts(&error);
    // Nothing is worked on from a partial list.
    if (KQContainerHelper* account = node.containerHelper(); account != nullptr && account->hasLoadError())
        throw KQCliFailure{account->loadErrorMessage()};
    if (error.isError())
        throw KQCliFailure{
            QStringLiteral("cannot read the contacts of \"%1\": %2").arg(node.groupName(), error.localizedDescription)};
    return node.contacts();
}
