#include "app/windows/KQMainWindow.h"

#include "app/windows/KQContactMover.h"
#include "app/windows/KQContactsViewController.h"
#include "app/windows/KQGroupTreeView.h"
#include "app/windows/KQGroupViewController.h"
#include "app/windows/KQMainWindowMenus.h"
#include "app/windows/KQPrintExport.h"
#include "app/windows/KQTagsViewController.h"
#include "app/windows/KQToolbarViewCtrl.h"
#include "store/KQContactManager.h"

#include <QCloseEvent>
#include <QScreen>
#include <QSettings>
#include <QSplitter>
#include <QVBoxLayout>

namespace {

const QString kGeometryKey = QStringLiteral("mainWindow/geometry");
const QString kContentSplitKey = QStringLiteral("mainWindow/contentSplit");
const QString kSidebarSplitKey = QStringLiteral("mainWindow/sidebarSplit");
const QString kContactSplitKey = QStringLiteral("mainWindow/contactSplit");

// Limits of the splits: the sidebar at least 250 wide and the contact pane at least 730 (so that both fit the 990-wide
// first-start window with the divider); the group pane at least 150 high. The tag pane keeps 160, so that the
// first-start layout (groups 350 high in a 650-high window) fits beside the menu bar and the toolbar.
constexpr int kSidebarMinWidth = 250;
constexpr int kContactPaneMinWidth = 730;
constexpr int kGroupPaneMinHeight = 150;
constexpr int kTagPaneMinHeight = 160;

} // namespace

KQMainWindow::KQMainWindow(KQContactManager* manager, QWidget* parent)
    : QMainWindow(parent), m_manager(manager), m_mover(new KQContactMover(manager, this, this)),
      m_toolbar(new KQToolbarViewCtrl(manager, this, this)), m_groups(new KQGroupViewController(manager, m_mover)),
      m_tags(new KQTagsViewController(manager->tagsMgr(), manager->storage())),
      m_contacts(new KQContactsViewController(manager, m_mover)), m_menus(nullptr),
      m_contentSplit(new QSplitter(Qt::Horizontal, this)), m_sidebarSplit(new QSplitter(Qt::Vertical))
{
    setObjectName(QStringLiteral("mainWindow"));
    setWindowTitle(QStringLiteral("Peoplekeeper"));
    addToolBar(Qt::TopToolBarArea, m_toolbar);

    m_sidebarSplit->setObjectName(QStringLiteral("sidebarSplit"));
    m_sidebarSplit->addWidget(m_groups);
    m_sidebarSplit->addWidget(m_tags);
    m_sidebarSplit->setStretchFactor(0, 1);
    m_sidebarSplit->setStretchFactor(1, 0);
    m_sidebarSplit->setChildrenCollapsible(false);
    m_contentSplit->setObjectName(QStringLiteral("contentSplit"));
    m_contentSplit->addWidget(m_sidebarSplit);
    m_contentSplit->addWidget(m_contacts);
    m_contentSplit->setStretchFactor(0, 0);
    m_contentSplit->setStretchFactor(1, 1);
    m_contentSplit->setChildrenCollapsible(false);
    setCentralWidget(m_contentSplit);
    applySplitLimits();

    m_menus = new KQMainWindowMenus(this);

    // Sidebar -> contact pane and toolbar.
    connect(m_groups, &KQGroupViewController::selectedGroupTreeNodeChanged, this, &KQMainWindow::nodeSelected);
    connect(m_tags, &KQTagsViewController::selectedTagChanged, m_contacts, &KQContactsViewController::setCurrentTag);
    connect(m_groups, &KQGroupViewController::willRearrangeContacts, this,
            [this] { m_contacts->setNotRespondGroupContactsChanged(true); });
    connect(m_groups, &KQGroupViewController::didRearrangeContacts, this, [this](bool update) {
        m_contacts->setNotRespondGroupContactsChanged(false);
        if (update)
            m_contacts->updatePersonList();
    });
    connect(m_groups, &KQGroupViewController::importRequested, m_toolbar, &KQToolbarViewCtrl::importContactsToNode);
    connect(m_groups, &KQGroupViewController::exportRequested, m_toolbar, &KQToolbarViewCtrl::exportContacts);
    connect(m_groups, &KQGroupViewController::addContactRequested, m_contacts,
            &KQContactsViewController::newPersonInCurrentGroup);
    // Toolbar -> contact pane.
    connect(m_toolbar, &KQToolbarViewCtrl::newContactRequested, m_contacts,
            &KQContactsViewController::newPersonInCurrentGroup);
    connect(m_toolbar, &KQToolbarViewCtrl::exportRequested, this, &KQMainWindow::exportCurrentSelect);
    connect(m_toolbar, &KQToolbarViewCtrl::importStarted, this,
            [this] { m_contacts->setNotRespondGroupContactsChanged(true); });
    connect(m_toolbar, &KQToolbarViewCtrl::importFinished, this, [this] {
        m_contacts->setNotRespondGroupContactsChanged(false);
        m_contacts->updatePersonList();
    });
    connect(m_contacts, &KQContactsViewController::exportRequested, m_toolbar, &KQToolbarViewCtrl::exportContacts);

    if (!restoreWindowState())
        applyDefaultLayout();
    nodeSelected(m_groups->selectedGroupTreeNode());
}

KQMainWindow::~KQMainWindow() = default;

void KQMainWindow::applySplitLimits()
{
    m_sidebarSplit->setMinimumWidth(kSidebarMinWidth);
    m_contacts->setMinimumWidth(kContactPaneMinWidth);
    m_groups->setMinimumHeight(kGroupPaneMinHeight);
    m_tags->setMinimumHeight(kTagPaneMinHeight);
}

void KQMainWindow::applyDefaultLayout()
{
    resize(990, 650);
    if (const QScreen* screen = this->screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    m_contentSplit->setSizes({250, 740});
    m_sidebarSplit->setSizes({350, 260});
    m_contacts->splitter()->setSizes({300, 440});
}

bool KQMainWindow::restoreWindowState()
{
    QSettings settings;
    const QByteArray geometry = settings.value(kGeometryKey).toByteArray();
    if (geometry.isEmpty() || !restoreGeometry(geometry))
        return false;
    m_contentSplit->restoreState(settings.value(kContentSplitKey).toByteArray());
    m_sidebarSplit->restoreState(settings.value(kSidebarSplitKey).toByteArray());
    m_contacts->splitter()->restoreState(settings.value(kContactSplitKey).toByteArray());
    return true;
}

void KQMainWindow::saveWindowState() const
{
    QSettings settings;
    settings.setValue(kGeometryKey, saveGeometry());
    settings.setValue(kContentSplitKey, m_contentSplit->saveState());
    settings.setValue(kSidebarSplitKey, m_sidebarSplit->saveState());
    settings.setValue(kContactSplitKey, m_contacts->splitter()->saveState());
}

void KQMainWindow::closeEvent(QCloseEvent* event)
{
    // Closing hides the window; the application keeps running for the tray and a reopen.
    saveWindowState();
    QMainWindow::closeEvent(event);
}

KQGroupTreeNodePtr KQMainWindow::selectedGroupTreeNode() const
{
    return m_groups->selectedGroupTreeNode();
}

bool KQMainWindow::selectGroupTreeNode(const KQGroupTreeNode* node)
{
    return m_groups->selectGroupTreeNode(node);
}

void KQMainWindow::nodeSelected(const KQGroupTreeNodePtr& node)
{
    m_toolbar->setCurrentGroupTreeNode(node);
    QPointer<KQMainWindow> self(this);
    m_contacts->loadContactsFromGroupNode(node, [self, node] {
        if (!self || self->m_contacts->currentGroupTreeNode() != node)
            return;
        if (!self->m_requestSelectedContacts.empty())
            self->m_contacts->selectContactHelpers(self->m_requestSelectedContacts);
        self->m_requestSelectedContacts.clear();
        Q_EMIT self->contactsLoaded(node);
    });
}

void KQMainWindow::showContact(const KQContactHelperPtr& contact)
{
    show();
    raise();
    activateWindow();
    m_requestSelectedContacts.clear();
    if (!contact)
        return;
    KQContainerHelperPtr account = m_manager->containerHelperWithContactIdentifier(contact->identifier());
    if (account && account == selectedGroupTreeNode()) {
        m_contacts->selectContactHelpers({contact});
        return;
    }
    m_requestSelectedContacts = {contact};
    if (account)
        selectGroupTreeNode(account.get());
}

KQContactHelperList KQMainWindow::contactsForExport() const
{
    KQContactHelperList selected = m_contacts->selectedContactHelpers();
    if (!selected.empty())
        return selected;
    return m_groups->contactsOfNode(selectedGroupTreeNode());
}

void KQMainWindow::exportCurrentSelect()
{
    m_toolbar->exportContacts(contactsForExport());
}

void KQMainWindow::printCurrentSelect(bool defaultFields)
{
    const KQContactHelperList contacts = contactsForExport();
    if (!contacts.empty())
        KQPrintExport::printContacts(this, contacts, defaultFields);
}

void KQMainWindow::showPreferences()
{
    if (m_openPreferences)
        m_openPreferences();
}
