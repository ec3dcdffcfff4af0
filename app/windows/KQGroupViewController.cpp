#include "app/windows/KQGroupViewController.h"

#include "app/windows/KQAlerts.h"
#include "app/windows/KQContactMover.h"
#include "app/windows/KQContactSharing.h"
#include "app/windows/KQContactsViewController.h"
#include "app/windows/KQDropRules.h"
#include "app/windows/KQGroupTreeModel.h"
#include "app/windows/KQGroupTreeView.h"
#include "app/windows/KQPrintExport.h"
#include "platform/KQNotificationCenter.h"
#include "store/KQContactManager.h"
#include "store/KQContactPasteDataStore.h"
#include "store/KQGroupHelper.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

KQGroupViewController::KQGroupViewController(KQContactManager* manager, KQContactMover* mover, QWidget* parent)
    : QWidget(parent), m_manager(manager), m_mover(mover), m_model(new KQGroupTreeModel(manager, this)),
      m_tree(new KQGroupTreeView(this)), m_refreshBar(new QFrame(this)), m_refreshText(new QLabel(m_refreshBar)),
      m_refreshButton(new QPushButton(QStringLiteral("Refresh"), m_refreshBar))
{
    setObjectName(QStringLiteral("groupPane"));
    m_refreshBar->setObjectName(QStringLiteral("refreshBar"));
    m_refreshBar->setFrameShape(QFrame::StyledPanel);
    m_refreshBar->setAutoFillBackground(true);
    QPalette bar = m_refreshBar->palette();
    bar.setColor(QPalette::Window, bar.color(QPalette::ToolTipBase));
    bar.setColor(QPalette::WindowText, bar.color(QPalette::ToolTipText));
    m_refreshBar->setPalette(bar);
    m_refreshText->setText(QStringLiteral("Contacts changed in another program."));
    m_refreshText->setWordWrap(true);
    m_refreshButton->setObjectName(QStringLiteral("refreshButton"));
    auto* barLayout = new QHBoxLayout(m_refreshBar);
    barLayout->setContentsMargins(8, 4, 4, 4);
    barLayout->addWidget(m_refreshText, 1);
    barLayout->addWidget(m_refreshButton);
    m_refreshBar->hide();
    connect(m_refreshButton, &QPushButton::clicked, this, &KQGroupViewController::refreshContactsStore);

    m_tree->setObjectName(QStringLiteral("groupTree"));
    m_tree->setAccessibleName(QStringLiteral("Accounts and groups"));
    m_tree->setModel(m_model);
    m_tree->setHeaderHidden(true);
    m_tree->setSelectionMode(QAbstractItemView::SingleSelection);
    m_tree->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_tree->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    m_tree->setUniformRowHeights(true);
    m_tree->setContextMenuPolicy(Qt::CustomContextMenu);
    m_tree->installEventFilter(this);
    m_tree->setDropHandlers(
        [](const KQGroupTreeNodePtr& target) {
            const KQGroupTreeNodePtr source = KQContactPasteDataStore::sharedContactPasteDataStore().currentGroupNode();
            return KQDropRules::operationForDrop(source.get(), target.get());
        },
        [this](const KQGroupTreeNodePtr& target) { dropOnNode(target); });
    m_model->setRenameHandler(
        [this](const KQGroupTreeNodePtr& group, const QString& name) { groupNameEdited(group, name); });

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_refreshBar);
    layout->addWidget(m_tree, 1);

    connect(m_tree->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &KQGroupViewController::refreshSelection);
    connect(m_tree, &QTreeView::expanded, this, &KQGroupViewController::rowExpanded);
    connect(m_tree, &QWidget::customContextMenuRequested, this, &KQGroupViewController::showContextMenu);
    // A reload of the accounts may hand the selected row a new node object.
    connect(m_model, &QAbstractItemModel::dataChanged, this, &KQGroupViewController::refreshSelection);
    connect(m_model, &QAbstractItemModel::rowsInserted, this, &KQGroupViewController::refreshSelection);
    connect(m_model, &QAbstractItemModel::rowsRemoved, this, &KQGroupViewController::refreshSelection);

    KQNotificationCenter* center = KQNotificationCenter::defaultCenter();
    center->addObserver(KQContactsStoreDidChangedNotification, this, [this](const KQNotification&) { storeChanged(); });
    center->addObserver(KQManualRefreshContactsStoreNotification, this,
                        [this](const KQNotification&) { manualRefresh(); });
    refreshSelection();
}

KQGroupViewController::~KQGroupViewController()
{
    if (m_selected)
        m_selected->setSelected(false);
}

bool KQGroupViewController::selectGroupTreeNode(const KQGroupTreeNode* node)
{
    m_model->syncNow();
    const QModelIndex index = m_model->indexForNode(node);
    if (!index.isValid())
        return false;
    for (QModelIndex up = index.parent(); up.isValid(); up = up.parent())
        m_tree->expand(up);
    m_tree->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    m_tree->scrollTo(index);
    // Chosen on purpose: it stays selected when the accounts arrive.
    m_firstRowSelectedByWindow = false;
    return true;
}

bool KQGroupViewController::isRefreshBarVisible() const
{
    return !m_refreshBar->isHidden();
}

void KQGroupViewController::refreshSelection()
{
    if (m_selectingFirstRow)
        return;
    const QModelIndex row = m_tree->selectionModel()->selectedRows().value(0);
    const bool atFirstRow = row.isValid() && row.row() == 0 && !row.parent().isValid();
    const KQGroupTreeNodePtr node = m_model->nodeForIndex(row);
    if (row.isValid() && node != m_selected && !atFirstRow)
        m_firstRowSelectedByWindow = false;
    // Until the user picks a row, the first root row (the default account once loaded) is selected.
    if ((!row.isValid() || (m_firstRowSelectedByWindow && !atFirstRow)) && m_model->rowCount() > 0) {
        const QModelIndex first = m_model->index(0, 0);
        m_selectingFirstRow = true;
        m_tree->selectionModel()->setCurrentIndex(first, QItemSelectionModel::ClearAndSelect);
        m_selectingFirstRow = false;
        m_firstRowSelectedByWindow = true;
        setSelectedNode(m_model->nodeForIndex(first));
        return;
    }
    setSelectedNode(node);
}

void KQGroupViewController::setSelectedNode(const KQGroupTreeNodePtr& node)
{
    if (node == m_selected)
        return;
    if (m_selected)
        m_selected->setSelected(false);
    m_selected = node;
    if (m_selected) {
        m_selected->setSelected(true);
        m_selected->loadSubGroupsWithCompleteHandler(nullptr);
    }
    Q_EMIT selectedGroupTreeNodeChanged(m_selected);
}

void KQGroupViewController::rowExpanded(const QModelIndex& index)
{
    const KQGroupTreeNodePtr node = m_model->nodeForIndex(index);
    if (!node)
        return;
    node->loadSubGroupsWithCompleteHandler(nullptr);
    // The children's counts show as soon as the row opens.
    for (const auto& child : node->subGroups())
        child->loadContactsWithCompleteHandler(nullptr);
}

bool KQGroupViewController::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_tree && event->type() == QEvent::KeyPress && !m_tree->isEditing()) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Delete || key->key() == Qt::Key_Backspace) &&
            KQDropRules::isGroup(m_selected.get())) {
            deleteGroup(m_selected);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

// ---------------------------------------------------------------- groups

void KQGroupViewController::addAGroup(const KQGroupTreeNodePtr& parent)
{
    if (!parent || KQDropRules::isPseudoAccount(parent.get()))
        return;
    KQContainerHelper* account = parent->containerHelper();
    if (account == nullptr)
        return;
    KQContactStoreHelper* store = m_manager->storeHelper();
    CNMutableGroupPtr group = store->newGroupWithName(QString());
    bool added = store->addGroup(*group, account->identifier());
    if (added) {
        if (auto parentGroup = std::dynamic_pointer_cast<KQGroupHelper>(parent))
            added = store->addSubGroup(*group, parentGroup->group());
    }
    if (!added) {
        KQAlerts::run(window(), {QMessageBox::Warning,
                                 QStringLiteral("The group could not be created."),
                                 QStringLiteral("The contact store refused it."),
                                 {QStringLiteral("OK")}});
        return;
    }
    auto node = std::make_shared<KQGroupHelper>(*group);
    node->setEditable(true);
    parent->addSubGroup(node);
    m_model->syncNow();
    const QModelIndex parentRow = m_model->indexForNode(parent.get());
    m_tree->expand(parentRow);
    selectGroupTreeNode(node.get());
    QPointer<KQGroupViewController> self(this);
    const std::weak_ptr<KQGroupTreeNode> weak = node;
    QTimer::singleShot(200, this, [self, weak] {
        if (auto made = weak.lock(); self && made)
            self->renameGroup(made);
    });
}

void KQGroupViewController::renameGroup(const KQGroupTreeNodePtr& group)
{
    if (!KQDropRules::isGroup(group.get()))
        return;
    const QModelIndex row = m_model->indexForNode(group.get());
    if (row.isValid())
        m_tree->edit(row);
}

void KQGroupViewController::groupNameEdited(const KQGroupTreeNodePtr& node, const QString& edited)
{
    auto group = std::dynamic_pointer_cast<KQGroupHelper>(node);
    if (!group)
        return;
    QString name = edited.trimmed();
    if (name.isEmpty()) {
        KQAlerts::run(window(), {QMessageBox::Warning,
                                 QStringLiteral("The name of group can not be empty."),
                                 QStringLiteral("The name of group will be change to untitled."),
                                 {QStringLiteral("OK")}});
        name = QStringLiteral("Untitled");
    }
    if (name == group->groupName())
        return;
    group->setGroupName(name);
    group->updateGroupToStore();
}

void KQGroupViewController::deleteGroup(const KQGroupTreeNodePtr& node)
{
    auto group = std::dynamic_pointer_cast<KQGroupHelper>(node);
    if (!group)
        return;
    const int answer = KQAlerts::run(
        window(), {QMessageBox::Warning,
                   QStringLiteral("Are you sure you want to delete the group \u201c%1\u201d?").arg(group->groupName()),
                   QString(),
                   {QStringLiteral("Delete"), QStringLiteral("Cancel")}});
    if (answer != 0)
        return;
    const bool wasSelected = group == m_selected;
    const QModelIndex row = m_model->indexForNode(group.get());
    const int rowNumber = row.row();
    const QModelIndex parentRow = row.parent();
    if (!m_manager->storeHelper()->deleteGroup(group->group())) {
        KQAlerts::run(window(), {QMessageBox::Warning,
                                 QStringLiteral("The group could not be deleted."),
                                 QStringLiteral("The contact store refused it."),
                                 {QStringLiteral("OK")}});
        return;
    }
    if (KQGroupTreeNode* parent = group->parent())
        parent->removeSubGroup(group);
    m_model->syncNow();
    if (wasSelected) {
        const int rows = m_model->rowCount(parentRow);
        const QModelIndex next = rows == 0 ? parentRow : m_model->index(std::min(rowNumber, rows - 1), 0, parentRow);
        if (next.isValid())
            m_tree->selectionModel()->setCurrentIndex(next, QItemSelectionModel::ClearAndSelect);
    }
}

KQContactHelperList KQGroupViewController::contactsOfNode(const KQGroupTreeNodePtr& node) const
{
    if (!node)
        return {};
    return KQContactsViewController::sortContactHelpers(node->contacts(), 0);
}

// ---------------------------------------------------------------- context menu

QMenu* KQGroupViewController::contextMenuForNode(const KQGroupTreeNodePtr& node)
{
    auto* menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("groupContextMenu"));
    const bool accountOrGroup = node && !KQDropRules::isPseudoAccount(node.get());
    const bool group = KQDropRules::isGroup(node.get());
    QPointer<KQGroupViewController> self(this);
    QAction* add = menu->addAction(QStringLiteral("New Group"), this, [self, node] {
        if (self)
            self->addAGroup(node);
    });
    add->setEnabled(accountOrGroup);
    menu->addAction(QStringLiteral("Rename Group"), this,
                    [self, node] {
                        if (self)
                            self->renameGroup(node);
                    })
        ->setEnabled(group);
    menu->addAction(QStringLiteral("Delete Group"), this,
                    [self, node] {
                        if (self)
                            self->deleteGroup(node);
                    })
        ->setEnabled(group);
    menu->addSeparator();
    menu->addAction(QStringLiteral("New Contact"), this,
                    [self, node] {
                        if (!self)
                            return;
                        self->selectGroupTreeNode(node.get());
                        Q_EMIT self->addContactRequested();
                    })
        ->setEnabled(accountOrGroup);
    menu->addAction(QStringLiteral("Import..."), this,
                    [self, node] {
                        if (self)
                            Q_EMIT self->importRequested(node, KQDropRules::isLastImport(node.get()));
                    })
        ->setEnabled(accountOrGroup || KQDropRules::isLastImport(node.get()));
    if (accountOrGroup) {
        menu->addAction(QStringLiteral("Export..."), this, [self, node] {
            if (self)
                Q_EMIT self->exportRequested(self->contactsOfNode(node));
        });
        menu->addAction(QStringLiteral("Print..."), this, [self, node] {
            if (self)
                KQPrintExport::printContacts(self->window(), self->contactsOfNode(node), true);
        });
        menu->addAction(QStringLiteral("Print All Fields..."), this, [self, node] {
            if (self)
                KQPrintExport::printContacts(self->window(), self->contactsOfNode(node), false);
        });
        menu->addAction(QStringLiteral("Send Email"), this, [self, node] {
            if (self)
                KQContactSharing::sendEmailToContacts(self->contactsOfNode(node));
        });
        QMenu* share = menu->addMenu(QStringLiteral("Share"));
        share->addAction(QStringLiteral("Mail with Cards..."), this, [self, node] {
            QString why;
            if (self && !KQContactSharing::shareWithMail(self->contactsOfNode(node), &why))
                KQAlerts::run(self->window(), {QMessageBox::Warning,
                                               QStringLiteral("The contacts could not be shared."),
                                               why,
                                               {QStringLiteral("OK")}});
        });
        share->addAction(QStringLiteral("Copy as vCard"), this, [self, node] {
            if (self)
                KQContactSharing::copyAsVCard(self->contactsOfNode(node));
        });
        share->addAction(QStringLiteral("Copy as Text"), this, [self, node] {
            if (self)
                KQContactSharing::copyAsText(self->contactsOfNode(node));
        });
    }
    return menu;
}

void KQGroupViewController::showContextMenu(const QPoint& position)
{
    const KQGroupTreeNodePtr node = m_tree->nodeAtPosition(position);
    if (!node)
        return;
    QMenu* menu = contextMenuForNode(node);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(m_tree->viewport()->mapToGlobal(position));
}

// ---------------------------------------------------------------- drops

void KQGroupViewController::dropOnNode(const KQGroupTreeNodePtr& target)
{
    KQContactPasteDataStore& paste = KQContactPasteDataStore::sharedContactPasteDataStore();
    const KQGroupTreeNodePtr source = paste.currentGroupNode();
    const KQContactHelperList records = paste.pasteContactHelpers();
    Q_EMIT willRearrangeContacts();
    QPointer<KQGroupViewController> self(this);
    const bool started = m_mover->moveContacts(records, source, target, [self](bool) {
        if (self)
            Q_EMIT self->didRearrangeContacts(true);
    });
    if (!started)
        Q_EMIT didRearrangeContacts(false);
}

// ---------------------------------------------------------------- store changes

void KQGroupViewController::storeChanged()
{
    m_refreshBar->show();
    Q_EMIT storeDidChange();
}

void KQGroupViewController::refreshContactsStore()
{
    KQNotificationCenter::defaultCenter()->post(KQManualRefreshContactsStoreNotification, this);
}

void KQGroupViewController::manualRefresh()
{
    m_refreshBar->hide();
    QString accountIdentifier;
    QString nodeIdentifier;
    if (m_selected && !KQDropRules::isPseudoAccount(m_selected.get())) {
        if (KQContainerHelper* account = m_selected->containerHelper())
            accountIdentifier = account->identifier();
        nodeIdentifier = m_selected->identifier();
    }
    auto once = std::make_shared<QMetaObject::Connection>();
    QPointer<KQGroupViewController> self(this);
    *once = connect(m_manager, &KQContactManager::allRootContainersInserted, this,
                    [self, once, accountIdentifier, nodeIdentifier] {
                        disconnect(*once);
                        // After the rest of the reload's main-thread work.
                        QTimer::singleShot(0, self.data(), [self, accountIdentifier, nodeIdentifier] {
                            if (self)
                                self->reselectAfterReload(accountIdentifier, nodeIdentifier);
                        });
                    });
    m_manager->storeHelper()->asyncLoadContainerHelpers();
}

void KQGroupViewController::reselectAfterReload(const QString& accountIdentifier, const QString& nodeIdentifier)
{
    m_model->syncNow();
    const KQContainerHelperPtr account = m_manager->containerHelperWithIdentifier(accountIdentifier);
    if (!account) {
        // The selected node was a pseudo-account, or its account is gone: the tree keeps its rows.
        if (m_selected)
            Q_EMIT selectedGroupTreeNodeChanged(m_selected);
        return;
    }
    KQGroupTreeNodePtr node = account;
    if (nodeIdentifier != accountIdentifier) {
        if (auto group = account->groupWithIdentifier(nodeIdentifier))
            node = group;
    }
    if (node == m_selected) {
        // The same object, its contacts marked for fetching again: the list loads them afresh.
        Q_EMIT selectedGroupTreeNodeChanged(m_selected);
        return;
    }
    if (!selectGroupTreeNode(node.get()))
        selectGroupTreeNode(account.get());
}
