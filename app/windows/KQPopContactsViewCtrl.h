#pragma once
// The quick-look popup of every contact of every account, opened from the tray icon (or from the
// Window menu where the desktop has no tray): a search field over the list, a button that opens
// the main window and one that starts a new contact there. Double-clicking a row opens the main
// window on that contact.

#include "store/KQGroupTreeNode.h"

#include <QWidget>
#include <memory>

class KQContactListModel;
class KQContactManager;
class QLabel;
class QLineEdit;
class QListView;
class QToolButton;

class KQPopContactsViewCtrl : public QWidget
{
    Q_OBJECT
public:
    explicit KQPopContactsViewCtrl(KQContactManager* manager, QWidget* parent = nullptr);

    // Shows the popup with its top-right corner at anchor (global), loading every account.
    void popupAt(const QPoint& anchor);
    // Loads every account's contacts behind the mask, then lists them.
    void reloadContacts();
    bool isLoading() const { return m_loading; }
    const KQContactHelperList& allContacts() const { return m_all; }
    KQContactListModel* listModel() const { return m_model; }
    void setSearchText(const QString& text);

Q_SIGNALS:
    void contactActivated(const KQContactHelperPtr& contact);
    void showMainWindowRequested();
    void addContactRequested();

private:
    void refilter();

    KQContactManager* m_manager;
    KQContactHelperList m_all;
    std::shared_ptr<const class KQContactSearchIndex> m_index;
    bool m_loading = false;
    quint64 m_generation = 0;
    QLineEdit* m_search;
    QListView* m_list;
    KQContactListModel* m_model;
    QLabel* m_mask;
    QToolButton* m_open;
    QToolButton* m_add;
};
