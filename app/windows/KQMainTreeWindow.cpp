#include "app/windows/KQMainTreeWindow.h"

#include "store/KQContactManager.h"
#include "app/windows/KQGroupTreeModel.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QStatusBar>
#include <QTreeView>

namespace {

QString counted(int count, const char* singular, const char* plural)
{
    return QStringLiteral("%1 %2").arg(count).arg(QLatin1String(count == 1 ? singular : plural));
}

} // namespace

KQMainTreeWindow::KQMainTreeWindow(KQContactManager* manager, QWidget* parent)
    : QMainWindow(parent), m_manager(manager), m_model(new KQGroupTreeModel(manager, this)),
      m_tree(new QTreeView(this)), m_status(new QLabel(this))
{
    setWindowTitle(QStringLiteral("Peoplekeeper"));
    m_tree->setObjectName(QStringLiteral("groupTree"));
    m_tree->setModel(m_model);
    m_tree->setHeaderHidden(true);
    m_tree->setSelectionMode(QAbstractItemView::SingleSelection);
    m_tree->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_tree->setUniformRowHeights(true);
    setCentralWidget(m_tree);

    m_status->setObjectName(QStringLiteral("statusText"));
    statusBar()->addWidget(m_status, 1);

    connect(m_tree->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &KQMainTreeWindow::refreshSelection);
    connect(m_tree, &QTreeView::expanded, this, &KQMainTreeWindow::rowExpanded);
    // A reload of the accounts may hand the selected row a new node object.
    connect(m_model, &QAbstractItemModel::dataChanged, this, &KQMainTreeWindow::refreshSelection);
    connect(m_model, &QAbstractItemModel::rowsInserted, this, &KQMainTreeWindow::refreshSelection);
    connect(m_model, &QAbstractItemModel::rowsRemoved, this, &KQMainTreeWindow::refreshSelection);
    refreshSelection();
}

KQMainTreeWindow::~KQMainTreeWindow()
{
    for (const auto& connection : m_selectedConnections)
        disconnect(connection);
    if (m_selected)
        m_selected->setSelected(false);
}

bool KQMainTreeWindow::selectGroupTreeNode(const KQGroupTreeNode* node)
{
    const QModelIndex index = m_model->indexForNode(node);
    if (!index.isValid())
        return false;
    for (QModelIndex up = index.parent(); up.isValid(); up = up.parent())
        m_tree->expand(up);
    m_tree->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    m_tree->scrollTo(index);
    return true;
}

QString KQMainTreeWindow::statusText() const
{
    return m_status->text();
}

void KQMainTreeWindow::refreshSelection()
{
    if (m_selectingFirstRow)
        return;
    const QModelIndex row = m_tree->selectionModel()->selectedRows().value(0);
    const bool atFirstRow = row.isValid() && row.row() == 0 && !row.parent().isValid();
    const KQGroupTreeNodePtr node = m_model->nodeForIndex(row);
    if (row.isValid() && node != m_selected && !atFirstRow)
        m_firstRowSelectedByWindow = false; // another row was chosen
    // Until another row is chosen, the first root row is the selected one: the default account
    // once the accounts have loaded, the first remaining row when the selected one goes away.
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

void KQMainTreeWindow::setSelectedNode(const KQGroupTreeNodePtr& node)
{
    if (node == m_selected) {
        updateStatus();
        return;
    }
    for (const auto& connection : m_selectedConnections)
        disconnect(connection);
    m_selectedConnections.clear();
    if (m_selected)
        m_selected->setSelected(false);
    m_selected = node;
    if (m_selected) {
        m_selected->setSelected(true);
        m_selectedConnections.push_back(connect(m_selected.get(), &KQGroupTreeNode::displayGroupNameChanged, this,
                                                &KQMainTreeWindow::updateStatus));
        m_selectedConnections.push_back(connect(m_selected.get(), &KQGroupTreeNode::subGroupsForSortChanged, this,
                                                &KQMainTreeWindow::updateStatus));
        loadNode(m_selected, true);
    }
    updateStatus();
    Q_EMIT selectedGroupTreeNodeChanged(m_selected.get());
}

void KQMainTreeWindow::rowExpanded(const QModelIndex& index)
{
    const KQGroupTreeNodePtr node = m_model->nodeForIndex(index);
    if (!node)
        return;
    loadNode(node, true);
    // The children's counts show as soon as the row opens.
    for (const auto& child : node->subGroups())
        loadNode(child, false);
}

void KQMainTreeWindow::loadNode(const KQGroupTreeNodePtr& node, bool withSubGroups)
{
    QPointer<KQMainTreeWindow> self(this);
    node->loadContactsWithCompleteHandler([self](KQGroupTreeNode* loaded, bool) {
        if (!self)
            return;
        self->updateStatus();
        Q_EMIT self->groupTreeNodeLoaded(loaded);
    });
    if (withSubGroups)
        node->loadSubGroupsWithCompleteHandler(nullptr);
}

void KQMainTreeWindow::updateStatus()
{
    if (!m_selected) {
        int accounts = 0;
        for (const auto& root : m_manager->allRootContainers()) {
            if (qobject_cast<KQContainerHelper*>(root.get()) != nullptr)
                ++accounts;
        }
        m_status->setText(counted(accounts, "account", "accounts"));
        return;
    }
    const QString name = m_selected->groupName();
    if (!m_selected->isContactsLoaded()) {
        m_status->setText(QStringLiteral("%1: loading...").arg(name));
        return;
    }
    m_status->setText(QStringLiteral("%1: %2, %3")
                          .arg(name, counted(m_selected->countOfContacts(), "contact", "contacts"),
                               counted(m_selected->countOfSubGroups(), "group", "groups")));
}
