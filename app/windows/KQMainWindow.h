#pragma once
// The main window: the toolbar strip across the top; the sidebar (accounts and groups over tags)
// beside the contact pane (list and the right-hand pane). It wires the panes to each other, keeps
// its geometry and split positions for the next start, and owns the menus.

#include "store/KQGroupTreeNode.h"

#include <QMainWindow>
#include <functional>

class KQContactManager;
class KQContactMover;
class KQContactsViewController;
class KQGroupViewController;
class KQMainWindowMenus;
class KQTagsViewController;
class KQToolbarViewCtrl;
class QSplitter;

class KQMainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit KQMainWindow(KQContactManager* manager, QWidget* parent = nullptr);
    ~KQMainWindow() override;

    KQGroupViewController* groupsViewController() const { return m_groups; }
    KQTagsViewController* tagsViewController() const { return m_tags; }
    KQContactsViewController* contactsViewController() const { return m_contacts; }
    KQToolbarViewCtrl* toolbarViewCtrl() const { return m_toolbar; }
    KQContactMover* contactMover() const { return m_mover; }
    KQMainWindowMenus* menus() const { return m_menus; }
    QSplitter* contentSplit() const { return m_contentSplit; }
    QSplitter* sidebarSplit() const { return m_sidebarSplit; }

    KQGroupTreeNodePtr selectedGroupTreeNode() const;
    bool selectGroupTreeNode(const KQGroupTreeNode* node);
    // Brings the window up; with a contact, selects it once its account's list has loaded.
    void showContact(const KQContactHelperPtr& contact);

    // The selected contacts, else those of the selected node (sorted ascending).
    KQContactHelperList contactsForExport() const;
    void exportCurrentSelect();
    // Prints the selected contacts, or the selected node's: name, phone and address, or every field.
    void printCurrentSelect(bool defaultFields);

    // Geometry and split positions: restored at construction, saved when the window closes.
    void saveWindowState() const;
    bool restoreWindowState();
    // The first-start layout: 990 x 650 centred, sidebar 250 wide, groups 350 high.
    void applyDefaultLayout();

    // Opens the preferences window (set by the application).
    void setPreferencesOpener(std::function<void()> opener) { m_openPreferences = std::move(opener); }
    void showPreferences();

Q_SIGNALS:
    // The contact list shows the node's contacts after a selection (or a refresh).
    void contactsLoaded(const KQGroupTreeNodePtr& node);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void nodeSelected(const KQGroupTreeNodePtr& node);
    void applySplitLimits();

    KQContactManager* m_manager;
    KQContactMover* m_mover;
    KQToolbarViewCtrl* m_toolbar;
    KQGroupViewController* m_groups;
    KQTagsViewController* m_tags;
    KQContactsViewController* m_contacts;
    KQMainWindowMenus* m_menus;
    QSplitter* m_contentSplit;
    QSplitter* m_sidebarSplit;
    KQContactHelperList m_requestSelectedContacts;
    std::function<void()> m_openPreferences;
};
