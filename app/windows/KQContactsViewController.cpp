#include "app/windows/KQContactsViewController.h"

#include "app/windows/KQAlerts.h"
#include "app/windows/KQContactCellDelegate.h"
#include "app/windows/KQContactListModel.h"
#include "app/windows/KQContactMover.h"
#include "app/windows/KQContactSharing.h"
#include "app/windows/KQContactSummaryView.h"
#include "app/windows/KQDropRules.h"
#include "app/windows/KQMoveToMenu.h"
#include "app/windows/KQNewContactDialog.h"
#include "platform/CNContactFetchRequest.h"
#include "platform/CNContactStore.h"
#include "store/KQContactManager.h"
#include "store/KQContactStoreHelper.h"
#include "store/KQGroupHelper.h"
#include "store/KQPreferences.h"
#include "store/KQStorage.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QSplitter>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// Below this many records a refilter runs at once; above it, on a worker behind the mask.
constexpr size_t kSyncFilterLimit = 3000;
// Preview rows go into the list a slice at a time between other events: a first screenful at
// once, then slices of a few milliseconds each.
constexpr size_t kFirstPreviewSlice = 100;
constexpr size_t kPreviewSlice = 5000;

} // namespace

KQContactsViewController::KQContactsViewController(KQContactManager* manager, KQContactMover* mover, QWidget* parent)
    : QWidget(parent), m_manager(manager), m_mover(mover), m_latest(std::make_shared<std::atomic<quint64>>(0)),
      m_previewLatest(std::make_shared<std::atomic<quint64>>(0)), m_searchField(new QLineEdit(this)),
      m_sortButton(new QToolButton(this)), m_list(new QListView(this)), m_model(new KQContactListModel(this)),
      m_mask(new QLabel(m_list)), m_count(new QLabel(this)), m_split(new QSplitter(Qt::Horizontal, this)),
      m_detailPane(new QWidget(this)), m_summary(new KQContactSummaryView(m_detailPane))
{
    setObjectName(QStringLiteral("contactPane"));
    m_searchField->setObjectName(QStringLiteral("searchField"));
    m_searchField->setAccessibleName(QStringLiteral("Search contacts"));
    m_searchField->setClearButtonEnabled(true);
    connect(m_searchField, &QLineEdit::textChanged, this, &KQContactsViewController::setSearchKeywords);
    m_searchField->installEventFilter(this);
    m_sortButton->setObjectName(QStringLiteral("sortButton"));
    m_sortButton->setAccessibleName(QStringLiteral("Sort order"));
    m_sortButton->setAutoRaise(true);
    m_sortButton->setText(QStringLiteral("A\u2192Z"));
    m_sortButton->setToolTip(QStringLiteral("Sort ascending or descending"));
    connect(m_sortButton, &QToolButton::clicked, this, &KQContactsViewController::sortAction);

    m_list->setObjectName(QStringLiteral("contactList"));
    m_list->setAccessibleName(QStringLiteral("Contacts"));
    m_list->setModel(m_model);
    m_list->setItemDelegate(new KQContactCellDelegate(m_list));
    m_list->setUniformItemSizes(true);
    // Rows of a large node are laid out a batch at a time, between other events.
    m_list->setLayoutMode(QListView::Batched);
    m_list->setBatchSize(2000);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setDragEnabled(true);
    m_list->setDragDropMode(QAbstractItemView::DragOnly);
    m_list->setDefaultDropAction(Qt::CopyAction);
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    m_list->installEventFilter(this);
    m_list->setMinimumWidth(220);
    connect(m_list, &QWidget::customContextMenuRequested, this, &KQContactsViewController::showContextMenu);
    connect(m_list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &KQContactsViewController::selectionDidChange);

    m_mask->setObjectName(QStringLiteral("loadingMask"));
    m_mask->setText(QStringLiteral("Loading..."));
    m_mask->setAlignment(Qt::AlignCenter);
    m_mask->setAutoFillBackground(true);
    m_mask->hide();
    m_count->setObjectName(QStringLiteral("contactCount"));

    auto* listSide = new QWidget(m_split);
    auto* listLayout = new QVBoxLayout(listSide);
    listLayout->setContentsMargins(0, 0, 0, 0);
    listLayout->setSpacing(4);
    auto* searchRow = new QHBoxLayout;
    searchRow->setContentsMargins(6, 6, 6, 0);
    searchRow->addWidget(m_searchField, 1);
    searchRow->addWidget(m_sortButton);
    listLayout->addLayout(searchRow);
    listLayout->addWidget(m_list, 1);
    auto* countRow = new QHBoxLayout;
    countRow->setContentsMargins(8, 0, 8, 4);
    countRow->addWidget(m_count);
    listLayout->addLayout(countRow);

    m_detailPane->setObjectName(QStringLiteral("detailPane"));
    auto* detailLayout = new QVBoxLayout(m_detailPane);
    detailLayout->setContentsMargins(0, 0, 0, 0);
    detailLayout->addWidget(m_summary);
    m_detail = m_summary;
    m_detailShow = [this](const KQContactHelperList& contacts) { m_summary->setContactHelpers(contacts); };

    m_split->setObjectName(QStringLiteral("contactSplit"));
    m_split->addWidget(listSide);
    m_split->addWidget(m_detailPane);
    m_split->setStretchFactor(0, 0);
    m_split->setStretchFactor(1, 1);
    m_split->setChildrenCollapsible(false);
    m_split->setSizes({280, 460});
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_split);

    // Tags of a record changed: the tag filter may now keep or drop it.
    connect(m_manager->tagsMgr().get(), &KQTagsManager::tagsForContactChanged, this, [this] {
        m_narrowing = {};
        if (m_tag)
            scheduleRefilter();
    });
    updatePlaceholder();
    updateCount();
}

KQContactsViewController::~KQContactsViewController()
{
    m_latest->store(0);
    m_previewLatest->store(0);
}

void KQContactsViewController::setDetailView(QWidget* view, DetailShow show, DetailEditable editable)
{
    if (view == nullptr || view == m_detail)
        return;
    m_detail->hide();
    if (view->parentWidget() != m_detailPane)
        view->setParent(m_detailPane);
    m_detailPane->layout()->addWidget(view);
    view->show();
    m_detail = view;
    m_detailShow = std::move(show);
    m_detailEditable = std::move(editable);
    showInDetail(selectedContactHelpers());
}

QWidget* KQContactsViewController::detailView() const
{
    return m_detail;
}

const KQContactHelperList& KQContactsViewController::contactHelpers() const
{
    return m_model->contactHelpers();
}

void KQContactsViewController::loadContactsFromGroupNode(const KQGroupTreeNodePtr& node, std::function<void()> handler)
{
    for (const auto& connection : m_nodeConnections)
        disconnect(connection);
    m_nodeConnections.clear();
    m_node = node;
    m_index.reset();
    stopPreview();
    m_model->setSourceNode(node);
    m_model->setContactHelpers({});
    m_restoreSelection.clear();
    resetSelectedAndDetailControl();
    updatePlaceholder();
    if (!m_node) {
        updateCount();
        if (handler)
            handler();
        return;
    }
    KQGroupTreeNode* raw = m_node.get();
    const auto changed = [this] {
        m_index.reset();
        if (!m_ignoreNodeChanges)
            scheduleRefilter();
    };
    m_nodeConnections.push_back(connect(raw, &KQGroupTreeNode::contactsInserted, this, changed));
    m_nodeConnections.push_back(connect(raw, &KQGroupTreeNode::contactsRemoved, this, changed));
    m_nodeConnections.push_back(connect(raw, &KQGroupTreeNode::contactsReplaced, this, changed));
    m_nodeConnections.push_back(connect(raw, &KQGroupTreeNode::contactsChanged, this, changed));
    m_nodeConnections.push_back(
        connect(raw, &KQGroupTreeNode::displayGroupNameChanged, this, &KQContactsViewController::updatePlaceholder));
    showLoadingMask(true);
    const quint64 load = ++m_loadGeneration;
    // The records are fetched once the preview has its names, so the two fetches do not compete.
    if (!node->isContactsLoaded() && startPreview(node, load, handler))
        return;
    loadRecords(node, load, std::move(handler));
}

void KQContactsViewController::loadRecords(const KQGroupTreeNodePtr& node, quint64 load, std::function<void()> handler)
{
    if (node != m_node || load != m_loadGeneration)
        return;
    QPointer<KQContactsViewController> self(this);
    node->loadContactsWithCompleteHandler([self, wanted = node, load, handler](KQGroupTreeNode*, bool) {
        if (!self || self->m_node != wanted || self->m_loadGeneration != load)
            return;
        self->refilter();
        if (handler) {
            // The handler sees the filtered list.
            if (!self->m_loading) {
                handler();
            } else {
                auto once = std::make_shared<QMetaObject::Connection>();
                *once = connect(self.data(), &KQContactsViewController::listUpdated, self.data(), [once, handler] {
                    disconnect(*once);
                    handler();
                });
            }
        }
    });
}

void KQContactsViewController::setCurrentTag(const KQTagPtr& tag)
{
    if (tag == m_tag)
        return;
    m_tag = tag;
    refilter();
}

void KQContactsViewController::setSearchKeywords(const QString& text)
{
    if (text == m_search)
        return;
    m_search = text;
    if (m_searchField->text() != text)
        m_searchField->setText(text);
    refilter();
}

void KQContactsViewController::setSortType(int type)
{
    if (type == m_sortType)
        return;
    m_sortType = type;
    m_sortButton->setText(type == 1 ? QStringLiteral("Z\u2192A") : QStringLiteral("A\u2192Z"));
    refilter();
}

void KQContactsViewController::sortAction()
{
    setSortType(m_sortType == 0 ? 1 : 0);
}

void KQContactsViewController::updatePersonList()
{
    m_index.reset();
    refilter();
}

void KQContactsViewController::setNotRespondGroupContactsChanged(bool ignore)
{
    m_ignoreNodeChanges = ignore;
}

KQContactHelperList KQContactsViewController::sortContactHelpers(const KQContactHelperList& contacts, int type)
{
    return KQContactListFilter::sortContactHelpers(contacts, type,
                                                   KQPreferences::sharePreferences()->showFirstNameFollowingLastName());
}

void KQContactsViewController::scheduleRefilter()
{
    if (m_refilterQueued)
        return;
    m_refilterQueued = true;
    QTimer::singleShot(0, this, [this] {
        m_refilterQueued = false;
        refilter();
    });
}

void KQContactsViewController::refilter()
{
    if (!m_node)
        return;
    if (!m_node->isContactsLoaded()) {
        // Preview rows list everyone in the first order: not what a search, a tag or another
        // order shows.
        if (m_model->isPreview() && (!m_search.trimmed().isEmpty() || m_tag)) {
            stopPreview();
            m_model->setContactHelpers({});
        }
        showLoadingMask(true);
        return;
    }
    m_restoreSelection = selectedContactHelpers();
    KQContactListQuery query;
    query.searchText = m_search.trimmed();
    query.sortType = m_sortType;
    query.familyNameFirst = KQPreferences::sharePreferences()->showFirstNameFollowingLastName();
    if (m_tag) {
        const KQTagsManagerPtr& tags = m_manager->tagsMgr();
        QSet<QString> tagged;
        for (const QString& identifier : tags->contactIdentifiers()) {
            for (const auto& carried : tags->tagsForContactWithIdentifier(identifier)) {
                if (carried->name() == m_tag->name()) {
                    tagged.insert(identifier);
                    break;
                }
            }
        }
        query.taggedIdentifiers = std::move(tagged);
    }
    const quint64 generation = ++m_generation;
    m_latest->store(generation);
    std::shared_ptr<const KQContactSearchIndex> index = m_index;
    if (index && index->familyNameFirst() != query.familyNameFirst)
        index.reset();
    // Typing on narrows the last answer instead of the whole node.
    std::shared_ptr<const std::vector<int>> within;
    if (index && m_narrowing.index == index && m_narrowing.tag == m_tag && !m_narrowing.text.isEmpty() &&
        query.searchText.contains(m_narrowing.text))
        within = m_narrowing.matched;
    const KQTagPtr tag = m_tag;
    if (static_cast<size_t>(m_node->countOfContacts()) <= kSyncFilterLimit) {
        if (!index)
            m_index = index = KQContactSearchIndex::build(m_node->contacts(), query.familyNameFirst);
        auto matched = std::make_shared<std::vector<int>>();
        KQContactHelperList filtered = index->filter(query, {}, within.get(), matched.get());
        m_narrowing = {index, query.searchText, tag, matched};
        applyFiltered(std::move(filtered), generation);
        return;
    }
    showLoadingMask(true);
    QPointer<KQContactsViewController> self(this);
    const auto latest = m_latest;
    KQContactHelperList contacts = index ? KQContactHelperList() : m_node->contacts();
    // Preview rows are replaced by comparing identifiers, which are read here rather than on the
    // main thread.
    const bool previewing = m_model->isPreview();
    KQDispatch::globalAsync(
        [self, latest, generation, query, index, within, tag, previewing, contacts = std::move(contacts)] {
            const auto stop = [&latest, generation] { return latest->load() != generation; };
            // The search texts are made when the first search needs them (see prepareSearch).
            const bool texts = !query.searchText.isEmpty();
            std::shared_ptr<const KQContactSearchIndex> used =
                index ? index : KQContactSearchIndex::build(contacts, query.familyNameFirst, true, stop, texts);
            if (used && texts)
                used = used->withSearchTexts(stop);
            if (!used)
                return;
            auto matched = std::make_shared<std::vector<int>>();
            KQContactHelperList filtered = used->filter(query, stop, index ? within.get() : nullptr, matched.get());
            if (stop())
                return;
            std::shared_ptr<std::vector<QString>> identifiers;
            if (previewing) {
                identifiers = std::make_shared<std::vector<QString>>();
                identifiers->reserve(filtered.size());
                for (const auto& contact : filtered)
                    identifiers->push_back(contact->identifier());
            }
            KQDispatch::mainAsync([self, generation, used, built = used != index, matched, query, tag, identifiers,
                                   filtered = std::move(filtered)]() mutable {
                if (!self || generation != self->m_generation)
                    return;
                if (built)
                    self->m_index = used;
                self->m_narrowing = {used, query.searchText, tag, matched};
                self->applyFiltered(std::move(filtered), generation, identifiers);
            });
        });
}

void KQContactsViewController::applyFiltered(KQContactHelperList filtered, quint64 generation,
                                             std::shared_ptr<const std::vector<QString>> identifiers)
{
    if (generation != m_generation)
        return;
    const KQContactHelperList keep = m_restoreSelection;
    const QSignalBlocker blocker(m_list->selectionModel());
    stopPreview();
    m_model->setContactHelpers(std::move(filtered), identifiers.get());
    showLoadingMask(false);
    updateCount();
    if (!keep.empty() && !selectContactHelpers(keep))
        showInDetail({});
    else if (keep.empty())
        showInDetail({});
    Q_EMIT listUpdated();
    Q_EMIT selectionChanged();
}

bool KQContactsViewController::startPreview(const KQGroupTreeNodePtr& node, quint64 load, std::function<void()> handler)
{
    const std::optional<CNContactPredicate> predicate = node->loadPredicateForContacts();
    // The preview lists names only, so it can stand for the list only when nothing filters it.
    if (!predicate || !m_search.trimmed().isEmpty() || m_tag)
        return false;
    const quint64 token = ++m_previewGeneration;
    m_previewLatest->store(token);
    m_model->beginPreview();
    QPointer<KQContactsViewController> self(this);
    const bool familyNameFirst = KQPreferences::sharePreferences()->showFirstNameFollowingLastName();
    // The worker holds no reference to the node: it must never be the one to destroy it.
    const std::weak_ptr<KQGroupTreeNode> weakNode = node;
    KQDispatch::globalAsync([self, weakNode, load, handler, token, latest = m_previewLatest, predicate = *predicate,
                             familyNameFirst, sortType = m_sortType] {
        const auto stop = [&latest, token] { return latest->load() != token; };
        CNContactFetchRequest request(KQContactListFilter::listKeys());
        request.setPredicate(predicate);
        request.setUnifyResults(false);
        std::vector<KQContactListRow> rows;
        int position = 0;
        CNError error;
        rows.reserve(4096);
        KQContactStoreHelper::shared()->contactStore()->enumerateTransientContactsWithFetchRequest(
            request, &error, [&](const CNContact& contact, bool* halt) {
                if (position % 1024 == 0 && stop()) {
                    *halt = true;
                    return;
                }
                if (!contact.identifier().isEmpty())
                    rows.push_back(KQContactListFilter::listRow(contact, position++, familyNameFirst));
            });
        // A failed fetch shows nothing early: the records' own load reports the failure.
        const bool show = !error.isError() && !stop();
        // The first screenful is sorted ahead of the rest and shown while the rest is sorted.
        const KQContactListRowOrder order{sortType};
        const size_t first = show ? std::min(rows.size(), kFirstPreviewSlice) : 0;
        std::partial_sort(rows.begin(), rows.begin() + static_cast<std::ptrdiff_t>(first), rows.end(), order);
        auto screen = std::make_shared<std::vector<KQContactListRow>>(
            std::make_move_iterator(rows.begin()),
            std::make_move_iterator(rows.begin() + static_cast<std::ptrdiff_t>(first)));
        KQDispatch::mainAsync([self, weakNode, load, handler, token, screen] {
            const KQGroupTreeNodePtr loading = weakNode.lock();
            if (!self || !loading)
                return;
            self->showPreviewRows(screen, 0, token);
            self->loadRecords(loading, load, handler);
        });
        if (!show || first == rows.size() || stop())
            return;
        rows.erase(rows.begin(), rows.begin() + static_cast<std::ptrdiff_t>(first));
        std::sort(rows.begin(), rows.end(), order);
        auto rest = std::make_shared<std::vector<KQContactListRow>>(std::move(rows));
        KQDispatch::mainAsync([self, token, rest] {
            if (self)
                self->showPreviewRows(rest, 0, token);
        });
    });
    return true;
}

void KQContactsViewController::showPreviewRows(std::shared_ptr<std::vector<KQContactListRow>> rows, size_t from,
                                               quint64 token)
{
    if (token != m_previewGeneration || !m_model->isPreview() || from >= rows->size())
        return;
    const bool firstRows = m_model->rowCount() == 0;
    const size_t end = std::min(rows->size(), from + kPreviewSlice);
    m_model->appendPreviewRows(
        std::vector<KQContactListRow>(std::make_move_iterator(rows->begin() + static_cast<std::ptrdiff_t>(from)),
                                      std::make_move_iterator(rows->begin() + static_cast<std::ptrdiff_t>(end))));
    if (firstRows)
        showLoadingMask(m_loading);
    updateCount();
    if (end < rows->size())
        QTimer::singleShot(0, this, [this, rows, end, token] { showPreviewRows(rows, end, token); });
}

void KQContactsViewController::stopPreview()
{
    ++m_previewGeneration;
    m_previewLatest->store(m_previewGeneration);
}

void KQContactsViewController::showLoadingMask(bool show)
{
    m_loading = show;
    // Preview rows stand in for the list while it loads; the mask would hide them.
    const bool masked = show && !(m_model->isPreview() && m_model->rowCount() > 0);
    m_mask->setGeometry(m_list->rect());
    m_mask->setVisible(masked);
    if (masked)
        m_mask->raise();
}

void KQContactsViewController::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_mask->setGeometry(m_list->rect());
}

KQContactHelperList KQContactsViewController::selectedContactHelpers() const
{
    QModelIndexList rows = m_list->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(), [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    KQContactHelperList selected;
    for (const QModelIndex& row : rows) {
        if (auto contact = m_model->contactAt(row.row()))
            selected.push_back(contact);
    }
    return selected;
}

void KQContactsViewController::selectContactHelpersAtIndexes(const QList<int>& rows)
{
    QItemSelection selection;
    for (const int row : rows) {
        if (row >= 0 && row < m_model->rowCount())
            selection.select(m_model->index(row), m_model->index(row));
    }
    m_list->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    if (!rows.isEmpty() && rows.front() < m_model->rowCount()) {
        m_list->selectionModel()->setCurrentIndex(m_model->index(rows.front()), QItemSelectionModel::NoUpdate);
        m_list->scrollTo(m_model->index(rows.front()));
    }
}

bool KQContactsViewController::selectContactHelpers(const KQContactHelperList& contacts)
{
    QList<int> rows;
    for (const auto& contact : contacts) {
        const int row = m_model->rowOfContact(contact.get());
        if (row >= 0)
            rows.append(row);
    }
    if (rows.isEmpty())
        return false;
    selectContactHelpersAtIndexes(rows);
    showInDetail(selectedContactHelpers());
    return true;
}

void KQContactsViewController::resetSelectedAndDetailControl()
{
    m_list->selectionModel()->clearSelection();
    showInDetail({});
}

void KQContactsViewController::selectionDidChange()
{
    showInDetail(selectedContactHelpers());
    Q_EMIT selectionChanged();
}

void KQContactsViewController::showInDetail(const KQContactHelperList& contacts)
{
    if (m_detailShow)
        m_detailShow(contacts);
}

void KQContactsViewController::updatePlaceholder()
{
    m_searchField->setPlaceholderText(m_node ? QStringLiteral("Search ") + m_node->groupName()
                                             : QStringLiteral("Search "));
}

void KQContactsViewController::updateCount()
{
    const int shown = m_model->rowCount();
    m_count->setText(shown == 1 ? QStringLiteral("1 card") : QStringLiteral("%1 cards").arg(shown));
}

bool KQContactsViewController::isSearchPrepared() const
{
    return m_index && m_index->hasSearchTexts();
}

void KQContactsViewController::prepareSearch()
{
    const std::shared_ptr<const KQContactSearchIndex> index = m_index;
    if (!index || index->hasSearchTexts() || m_preparingSearch == index)
        return;
    m_preparingSearch = index;
    QPointer<KQContactsViewController> self(this);
    KQDispatch::globalAsync([self, index] {
        std::shared_ptr<const KQContactSearchIndex> texts = index->withSearchTexts();
        KQDispatch::mainAsync([self, index, texts = std::move(texts)] {
            if (!self || self->m_preparingSearch != index)
                return;
            self->m_preparingSearch.reset();
            // A refilter meanwhile may have replaced the index; then this one is of no use.
            if (self->m_index == index)
                self->m_index = texts;
        });
    });
}

bool KQContactsViewController::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_searchField && event->type() == QEvent::FocusIn)
        prepareSearch();
    if (watched == m_list && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Delete || key->key() == Qt::Key_Backspace) && !selectedContactHelpers().empty()) {
            deleteContact();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

// ---------------------------------------------------------------- commands

bool KQContactsViewController::enableAdd() const
{
    return m_node && !KQDropRules::isPseudoAccount(m_node.get());
}

void KQContactsViewController::afterBulk(bool success)
{
    Q_UNUSED(success);
    m_ignoreNodeChanges = false;
    refilter();
}

void KQContactsViewController::newPersonInCurrentGroup()
{
    if (!enableAdd())
        return;
    KQContainerHelper* account = m_node->containerHelper();
    if (account == nullptr)
        return;
    auto group = std::dynamic_pointer_cast<KQGroupHelper>(m_node);
    CNMutableContactPtr contact = m_manager->storeHelper()->newContact();
    if (!m_search.trimmed().isEmpty())
        contact->setGivenName(m_search.trimmed());
    const bool editorPlugged = static_cast<bool>(m_detailEditable);
    if (!editorPlugged) {
        // Without the editor the new card is filled in a small dialog and written at once.
        KQNewContactDialog dialog(contact, window());
        if (dialog.exec() != QDialog::Accepted)
            return;
        if (!m_manager->storeHelper()->importContacts({contact}, account->identifier(),
                                                      group ? &group->group() : nullptr)) {
            KQAlerts::run(window(), {QMessageBox::Warning,
                                     QStringLiteral("The new contact could not be saved."),
                                     QStringLiteral("The contact store refused it."),
                                     {QStringLiteral("OK")}});
            return;
        }
    }
    m_ignoreNodeChanges = true;
    const KQContactHelperPtr record = account->makeContactHelperIfNecessaryWithContact(contact, true);
    record->preImported = editorPlugged;
    if (m_tag)
        record->addTag(m_tag);
    account->addContactHelper(record);
    if (group)
        group->addContactHelper(record);
    m_ignoreNodeChanges = false;
    // Shown even when the search or tag would hide it, until the next refilter.
    KQContactHelperList rows = m_model->contactHelpers();
    rows.push_back(record);
    m_model->setContactHelpers(std::move(rows));
    updateCount();
    selectContactHelpers({record});
    if (editorPlugged)
        m_detailEditable(true);
}

void KQContactsViewController::deleteContact()
{
    const KQContactHelperList selected = selectedContactHelpers();
    if (selected.empty() || !m_node)
        return;
    const KQGroupTreeNodePtr node = m_node;
    bool removeFromGroup = false;
    if (KQDropRules::isGroup(node.get())) {
        const int answer = KQAlerts::run(
            window(),
            {QMessageBox::Warning,
             QStringLiteral("Do you want to delete the selected cards or remove them from the group \u201c%1\u201d?")
                 .arg(node->groupName()),
             QString(),
             {QStringLiteral("Remove from group"), QStringLiteral("Delete"), QStringLiteral("Cancel")}});
        if (answer != 0 && answer != 1)
            return;
        removeFromGroup = answer == 0;
    } else {
        const QString message = KQDropRules::isTrash(node.get())
                                    ? QStringLiteral("Are you sure you want to delete the selected cards permanently?")
                                    : QStringLiteral("Are you sure you want to delete the selected cards?");
        if (KQAlerts::run(
                window(),
                {QMessageBox::Warning, message, QString(), {QStringLiteral("Delete"), QStringLiteral("Cancel")}}) != 0)
            return;
    }
    m_ignoreNodeChanges = true;
    QPointer<KQContactsViewController> self(this);
    const auto done = [self](bool success) {
        if (self)
            self->afterBulk(success);
    };
    if (removeFromGroup)
        m_mover->removeContactsFromGroup(selected, node, done);
    else
        m_mover->deleteContacts(selected, node, done);
}

void KQContactsViewController::putbackAction()
{
    if (!KQDropRules::isTrash(m_node.get()))
        return;
    std::vector<KQContactRecylePtr> entries;
    for (const auto& record : selectedContactHelpers()) {
        if (auto entry = std::dynamic_pointer_cast<KQContactRecyle>(record))
            entries.push_back(entry);
    }
    if (entries.empty())
        return;
    m_ignoreNodeChanges = true;
    QPointer<KQContactsViewController> self(this);
    m_mover->putBack(entries, [self](bool success) {
        if (self)
            self->afterBulk(success);
    });
}

void KQContactsViewController::sendEmailContact()
{
    KQContactSharing::sendEmailToContacts(selectedContactHelpers());
}

void KQContactsViewController::shareWithMail()
{
    QString why;
    if (!KQContactSharing::shareWithMail(selectedContactHelpers(), &why))
        KQAlerts::run(
            window(),
            {QMessageBox::Warning, QStringLiteral("The contacts could not be shared."), why, {QStringLiteral("OK")}});
}

void KQContactsViewController::copyAsVCard()
{
    KQContactSharing::copyAsVCard(selectedContactHelpers());
}

void KQContactsViewController::copyAsText()
{
    KQContactSharing::copyAsText(selectedContactHelpers());
}

QMenu* KQContactsViewController::moveToMenu(QWidget* parent)
{
    const KQContactHelperList selected = selectedContactHelpers();
    const KQGroupTreeNodePtr source = m_node;
    QPointer<KQContactsViewController> self(this);
    return KQMoveToMenu::movetoMenuByParentGroupNode(
        m_manager->allRootContainers(), source.get(), parent, [self, selected, source](const KQGroupTreeNodePtr& to) {
            if (!self)
                return;
            self->m_ignoreNodeChanges = true;
            const bool started = self->m_mover->moveContacts(selected, source, to, [self](bool success) {
                if (self)
                    self->afterBulk(success);
            });
            if (!started)
                self->m_ignoreNodeChanges = false;
        });
}

void KQContactsViewController::addTagToSelection(const KQTagPtr& tag)
{
    if (!tag)
        return;
    const KQTagsManagerPtr& tags = m_manager->tagsMgr();
    if (tags->indexOfTag(tag.get()) < 0)
        tags->addTag(tag);
    for (const auto& record : selectedContactHelpers()) {
        bool carries = false;
        for (const auto& carried : record->tags())
            carries = carries || carried == tag;
        if (!carries)
            record->addTag(tag);
    }
    m_manager->storage()->saveDefaultTagsManager(tags.get());
}

void KQContactsViewController::removeTagFromSelection(const KQTagPtr& tag)
{
    for (const auto& record : selectedContactHelpers())
        record->removeTag(tag);
    m_manager->storage()->saveDefaultTagsManager(m_manager->tagsMgr().get());
}

void KQContactsViewController::showContextMenu(const QPoint& position)
{
    const QModelIndex row = m_list->indexAt(position);
    if (row.isValid() && !m_list->selectionModel()->isSelected(row))
        m_list->selectionModel()->select(row, QItemSelectionModel::ClearAndSelect);
    const KQContactHelperList selected = selectedContactHelpers();
    auto* menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("contactContextMenu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addAction(QStringLiteral("New Contact"), this, &KQContactsViewController::newPersonInCurrentGroup)
        ->setEnabled(enableAdd());
    if (!selected.empty()) {
        if (KQDropRules::isTrash(m_node.get()))
            menu->addAction(QStringLiteral("Put Back"), this, &KQContactsViewController::putbackAction);
        menu->addAction(QStringLiteral("Delete"), this, &KQContactsViewController::deleteContact);
        menu->addMenu(moveToMenu(menu));
        menu->addSeparator();
        bool email = false;
        for (const auto& contact : selected)
            email = email || contact->enableEmail();
        menu->addAction(QStringLiteral("Send Email"), this, &KQContactsViewController::sendEmailContact)
            ->setEnabled(email);
        QMenu* share = menu->addMenu(QStringLiteral("Share"));
        share->addAction(QStringLiteral("Mail with Cards..."), this, &KQContactsViewController::shareWithMail);
        share->addAction(QStringLiteral("Copy as vCard"), this, &KQContactsViewController::copyAsVCard);
        share->addAction(QStringLiteral("Copy as Text"), this, &KQContactsViewController::copyAsText);
        menu->addAction(QStringLiteral("Export..."), this, [this, selected] { Q_EMIT exportRequested(selected); });
    }
    menu->popup(m_list->viewport()->mapToGlobal(position));
}
