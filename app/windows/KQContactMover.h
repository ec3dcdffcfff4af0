#pragma once
// Carries out what the sidebar and the contact list ask of selected contacts: drops and the
// Move-to menu (move, copy, delete, take out of Trash or Last Import), Delete, Remove from group
// and Put back. Each long operation runs on the background queue behind the shared progress sheet
// on the given window; done(success) runs on the main thread at the end.

#include "app/windows/KQDropRules.h"
#include "store/KQContactRecyle.h"
#include "store/KQGroupTreeNode.h"

#include <QObject>
#include <QPointer>
#include <functional>

class KQContactManager;
class KQContactStoreHelper;

class KQContactMover : public QObject
{
    Q_OBJECT
public:
    using Done = std::function<void(bool success)>;

    KQContactMover(KQContactManager* manager, QWidget* window, QObject* parent = nullptr);

    // The drop's operation by the rules; refused drops do nothing and answer false at once.
    bool moveContacts(const KQContactHelperList& records, const KQGroupTreeNodePtr& source,
                      const KQGroupTreeNodePtr& target, Done done);

    // Records of an account or a group go to the Trash; entries of the Trash are deleted for good;
    // records of Last Import leave it. No question is asked here.
    void deleteContacts(const KQContactHelperList& records, const KQGroupTreeNodePtr& node, Done done);
    // The contacts stay in the account.
    void removeContactsFromGroup(const KQContactHelperList& records, const KQGroupTreeNodePtr& group, Done done);
    void putBack(const std::vector<KQContactRecylePtr>& entries, Done done);

    // Store errors and messages for the user go through this (a message box by default).
    void setAlertPresenter(std::function<void(const QString&, const QString&)> presenter)
    {
        m_alert = std::move(presenter);
    }

private:
    class SheetDelegate;
    void beginSheet();
    void endSheet();
    void copyInto(const KQContactHelperList& records, const KQGroupTreeNodePtr& target, Done done);
    void changeGroup(const KQContactHelperList& records, const KQGroupTreeNodePtr& source,
                     const KQGroupTreeNodePtr& target, Done done);

    KQContactManager* m_manager;
    QPointer<QWidget> m_window;
    std::function<void(const QString&, const QString&)> m_alert;
};
