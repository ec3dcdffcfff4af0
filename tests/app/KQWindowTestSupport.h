#pragma once
// Helpers for the window tests: a clean store with records loaded from the default account,
// reading a contact back from the store, and the alerts the windows show.

#include "KQAppTestSupport.h"
#include "KQTestUtil.h"
#include "platform/CNContactStore.h"
#include "store/KQContactManager.h"
#include "store/KQContactStoreHelper.h"
#include "store/KQContainerHelper.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>
#include <ostream>

namespace kqwin {

inline CNContactStore* cn()
{
    return KQContactStoreHelper::shared()->contactStore();
}

// Empties the store and reloads the accounts; the default account's record.
inline KQContainerHelperPtr cleanAccount()
{
    CNSaveRequest cleanup;
    CNContactFetchRequest all({CNContactIdentifierKey});
    cn()->enumerateContactsWithFetchRequest(all, nullptr,
                                            [&cleanup](const CNContactPtr& c, bool*) { cleanup.deleteContact(*c); });
    if (!cleanup.isEmpty()) {
        EXPECT_TRUE(cn()->executeSaveRequest(cleanup));
    }
    KQContactManager::sharedContactManager();
    KQContactStoreHelper* store = KQContactStoreHelper::shared();
    EXPECT_TRUE(kqWaitUntil([store] { return !store->updatingStore(); }, 20000));
    store->asyncLoadContainerHelpers();
    EXPECT_TRUE(kqWaitUntil([store] { return !store->updatingStore(); }, 20000));
    kqSpin(30);
    return KQContactManager::sharedContactManager()->containerHelperWithIdentifier(cn()->defaultContainerIdentifier());
}

using Fill = std::function<void(CNMutableContact&)>;

// Adds contacts to the store and returns their records (all keys loaded) from the account.
inline KQContactHelperList addContacts(const KQContainerHelperPtr& account, const std::vector<Fill>& fills)
{
    CNSaveRequest request;
    QStringList identifiers;
    for (const auto& fill : fills) {
        CNMutableContact contact;
        fill(contact);
        request.addContact(contact, cn()->defaultContainerIdentifier());
        identifiers.append(contact.identifier());
    }
    EXPECT_TRUE(cn()->executeSaveRequest(request));
    account->refetchContacts();
    bool done = false;
    account->loadContactsWithCompleteHandler([&done](KQGroupTreeNode*, bool) { done = true; });
    EXPECT_TRUE(kqWaitUntil([&done] { return done; }, 20000));
    KQContactHelperList records;
    for (const QString& identifier : std::as_const(identifiers)) {
        for (const auto& contact : account->contacts()) {
            if (contact->identifier() == identifier) {
                contact->syncLoadAllKeysIfNecessary();
                records.push_back(contact);
            }
        }
    }
    return records;
}

// The stored contact with every key, or none.
inline CNContactPtr stored(const QString& identifier)
{
    const CNContactList found = cn()->unifiedContactsMatchingPredicate(
        CNContactPredicate::predicateForContactsWithIdentifiers({identifier}), CNAllContactKeys(), nullptr);
    return found.empty() ? nullptr : found.front();
}

// The open alert, if any.
inline QMessageBox* alert()
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible())
            return box;
        if (auto* box = widget->findChild<QMessageBox*>(QStringLiteral("alert")); box && box->isVisible())
            return box;
    }
    return nullptr;
}

// Waits for an alert and closes it with button; its message and informative text.
inline std::pair<QString, QString> answerAlert(QMessageBox::StandardButton button = QMessageBox::Ok)
{
    kqWaitUntil([] { return alert() != nullptr; }, 3000);
    QMessageBox* box = alert();
    if (box == nullptr)
        return {};
    const std::pair<QString, QString> texts{box->text(), box->informativeText()};
    if (QAbstractButton* b = box->button(button))
        b->click();
    kqSpin(10);
    return texts;
}

// Types text into widget key by key, any script (the test library's key clicks know ASCII only).
inline void typeText(QWidget* widget, const QString& text)
{
    for (const QChar c : text) {
        QTest::sendKeyEvent(QTest::Press, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
        QTest::sendKeyEvent(QTest::Release, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

template <typename T> T* child(QWidget* parent, const QString& name)
{
    T* found = parent->findChild<T*>(name);
    EXPECT_NE(found, nullptr) << "no widget named " << name.toStdString();
    return found;
}

} // namespace kqwin
