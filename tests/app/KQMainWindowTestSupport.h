#pragma once
// Helpers for the tests that drive the main window through its widgets: scripted alerts, contacts
// and groups in the test's private store, waits for the list, and drags onto the sidebar.
#include "KQAppTestSupport.h"
#include "app/windows/KQAlerts.h"
#include "app/windows/KQContactListModel.h"
#include "app/windows/KQContactsViewController.h"
#include "app/windows/KQGroupTreeModel.h"
#include "app/windows/KQGroupTreeView.h"
#include "app/windows/KQGroupViewController.h"
#include "app/windows/KQMainWindow.h"
#include "app/windows/KQProgressWndCtrl.h"
#include "platform/CNLabels.h"
#include "store/KQGroupHelper.h"

#include <QDragEnterEvent>
#include <QListView>
#include <QMimeData>
#include <deque>
#include <gtest/gtest.h>

// Answers alerts from a queue (button 0 when it is empty) and keeps what they said.
class KQAlertScript
{
public:
    KQAlertScript()
    {
        KQAlerts::setPresenter([this](QWidget*, const KQWindowAlert& alert) {
            alerts.push_back(alert);
            if (answers.empty())
                return 0;
            const int answer = answers.front();
            answers.pop_front();
            return answer;
        });
    }
    ~KQAlertScript() { KQAlerts::setPresenter({}); }
    QStringList messages() const
    {
        QStringList out;
        for (const auto& alert : alerts)
            out << alert.message;
        return out;
    }
    std::deque<int> answers;
    std::vector<KQWindowAlert> alerts;
};

inline QStringList kqListedNames(const KQContactsViewController* contacts)
{
    QStringList names;
    for (const auto& contact : contacts->contactHelpers())
        names << contact->displayName();
    return names;
}

// Waits until the list is loaded and shows count rows.
inline bool kqWaitListed(const KQContactsViewController* contacts, int count, int timeoutMs = 10000)
{
    return kqWaitUntil(
        [contacts, count] {
            return !contacts->isLoading() && static_cast<int>(contacts->contactHelpers().size()) == count;
        },
        timeoutMs);
}

// Waits until no long operation shows the progress sheet.
inline bool kqWaitSheetClosed(int timeoutMs = 20000)
{
    kqSpin(30);
    return kqWaitUntil([] { return !KQProgressWndCtrl::sharedProgressWndCtrl()->isVisible(); }, timeoutMs);
}

// Selects rows of the list by display name; false when one is not listed.
inline bool kqSelectByName(KQContactsViewController* contacts, const QStringList& names)
{
    QList<int> rows;
    for (const QString& name : names) {
        const QStringList listed = kqListedNames(contacts);
        const int row = static_cast<int>(listed.indexOf(name));
        if (row < 0)
            return false;
        rows.append(row);
    }
    contacts->selectContactHelpersAtIndexes(rows);
    return true;
}

// Drags the selected rows of the list onto target's row in the sidebar, as the mouse would:
// enter, move, drop. Answers the drop action the tree accepted (IgnoreAction when refused).
inline Qt::DropAction kqDragSelectionOnto(KQMainWindow& window, const KQGroupTreeNode* target)
{
    KQContactsViewController* contacts = window.contactsViewController();
    QModelIndexList rows = contacts->listView()->selectionModel()->selectedRows();
    std::unique_ptr<QMimeData> data(contacts->listModel()->mimeData(rows));
    KQGroupTreeView* tree = window.groupsViewController()->groupTree();
    auto* model = window.groupsViewController()->groupTreeModel();
    model->syncNow();
    const QModelIndex row = model->indexForNode(target);
    if (!row.isValid())
        return Qt::IgnoreAction;
    tree->scrollTo(row);
    const QPoint at = tree->visualRect(row).center();
    const Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction;
    QDragEnterEvent enter(at, offered, data.get(), Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(tree->viewport(), &enter);
    QDragMoveEvent move(at, offered, data.get(), Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(tree->viewport(), &move);
    if (!move.isAccepted())
        return Qt::IgnoreAction;
    QDropEvent drop(QPointF(at), offered, data.get(), Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(tree->viewport(), &drop);
    return drop.isAccepted() ? drop.dropAction() : Qt::IgnoreAction;
}

// A contact in the store's account (and group), with a first e-mail address.
inline CNMutableContactPtr kqAddStoreContact(const QString& given, const QString& family, const QString& account,
                                             const CNGroup* group = nullptr)
{
    KQContactStoreHelper* store = KQContactStoreHelper::shared();
    auto contact = std::make_shared<CNMutableContact>();
    contact->setGivenName(given);
    contact->setFamilyName(family);
    contact->setEmailAddresses(
        {CNLabeledValue<QString>(CNLabelHome, given.toLower() + QStringLiteral("@example.org"))});
    EXPECT_TRUE(store->importContacts({contact}, account, group));
    return contact;
}

// Identifiers of the accounts' group named name, from the in-memory tree.
inline KQGroupTreeNodePtr kqGroupNamed(const KQContainerHelperPtr& account, const QString& name)
{
    for (const auto& group : account->subGroups()) {
        if (group->groupName() == name)
            return group;
    }
    return nullptr;
}
