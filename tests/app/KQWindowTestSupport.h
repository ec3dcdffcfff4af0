#pragma once
// Helpers for the window tests: a clean store with records loaded from the default account,
// reading a contact back from the store, and the alerts the windows show.

#include "KQAppTestSupport.h"
#include "KQSharedStoreTestUtil.h"
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
    return kqSharedStore();
}

// Empties the store and reloads the accounts; the default account's record.
inline KQContainerHelperPtr cleanAccount()
{
    kqEmptySharedStore();
    EXPECT_TRUE(kqReloadAccounts());
    return kqLocalAccount();
}

using Fill = KQFill;

inline KQContactHelperList addContacts(const KQContainerHelperPtr& account, const std::vector<Fill>& fills)
{
    return kqAddContacts(account, fills);
}

inline CNContactPtr stored(const QString& identifier)
{
    return kqStored(identifier);
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
