#pragma once
// The contact pane: the search field and sort button over the list of the current node's contacts
// (tag filter, search, sort; refiltered behind a loading mask), and the right-hand pane beside it.
// The right-hand pane shows a read-only summary until the full editor is plugged in with
// setDetailView.

#include "app/windows/KQContactListFilter.h"
#include "store/KQGroupTreeNode.h"
#include "store/KQTag.h"

#include <QPointer>
#include <QWidget>
#include <atomic>
#include <functional>
#include <memory>

class KQContactListModel;
class KQContactMover;
class KQContactSummaryView;
class KQContactManager;
class QLabel;
class QLineEdit;
class QListView;
class QMenu;
class QSplitter;
class QToolButton;

class KQContactsViewController : public QWidget
{
    Q_OBJECT
public:
    // Shows records in the right-hand pane; and turns its edit mode on or off.
    using DetailShow = std::function<void(const KQContactHelperList&)>;
    using DetailEditable = std::function<void(bool)>;

    KQContactsViewController(KQContactManager* manager, KQContactMover* mover, QWidget* parent = nullptr);
    ~KQContactsViewController() override;

    // ---- the right-hand pane: the one place where the contact editor plugs in. view replaces the
    // summary (which is hidden, not deleted); show and editable are called with the selection and
    // when a new contact is to be edited.
    void setDetailView(QWidget* view, DetailShow show, DetailEditable editable = {});
    QWidget* detailView() const;
    KQContactSummaryView* summaryView() const { return m_summary; }

    // ---- the list
    void loadContactsFromGroupNode(const KQGroupTreeNodePtr& node, std::function<void()> handler = {});
    KQGroupTreeNodePtr currentGroupTreeNode() const { return m_node; }
    const KQContactHelperList& contactHelpers() const;
    void setCurrentTag(const KQTagPtr& tag);
    KQTagPtr currentTag() const { return m_tag; }
    void setSearchKeywords(const QString& text);
    QString searchKeywords() const { return m_search; }
    void setSortType(int type);
    int sortType() const { return m_sortType; }
    void sortAction();
    // Refilters now (bulk operations call it when they end).
    void updatePersonList();
    // True while a refilter runs behind the mask.
    bool isLoading() const { return m_loading; }
    void setNotRespondGroupContactsChanged(bool ignore);
    bool notRespondGroupContactsChanged() const { return m_ignoreNodeChanges; }

    // ---- selection
    KQContactHelperList selectedContactHelpers() const;
    void selectContactHelpersAtIndexes(const QList<int>& rows);
    // Selects those of contacts that are listed; false when none is.
    bool selectContactHelpers(const KQContactHelperList& contacts);
    void resetSelectedAndDetailControl();

    // ---- commands
    bool enableAdd() const;
    void newPersonInCurrentGroup();
    // Asks as the current node requires, then deletes or removes from group.
    void deleteContact();
    void putbackAction();
    void sendEmailContact();
    // A new mail with the summaries and the cards of the selected contacts attached.
    void shareWithMail();
    void copyAsVCard();
    void copyAsText();
    // The Move-to menu for the selected rows.
    QMenu* moveToMenu(QWidget* parent);
    // A new tag with name (or the existing one) on the selected records; none with an empty name.
    void addTagToSelection(const KQTagPtr& tag);
    void removeTagFromSelection(const KQTagPtr& tag);

    QListView* listView() const { return m_list; }
    KQContactListModel* listModel() const { return m_model; }
    QLineEdit* searchField() const { return m_searchField; }
    // The list's index is made and has its search texts: a keystroke now only scans it.
    bool isSearchPrepared() const;
    QSplitter* splitter() const { return m_split; }

    // Sorts as the list does (type 0 ascending, 1 descending, 2 unsorted).
    static KQContactHelperList sortContactHelpers(const KQContactHelperList& contacts, int type);

Q_SIGNALS:
    void selectionChanged();
    // The list shows the result of the latest refilter.
    void listUpdated();
    void exportRequested(const KQContactHelperList& contacts);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void scheduleRefilter();
    void refilter();
    // Gives the index its search texts on a worker, so that the first keystroke finds them made;
    // called when the search field takes the focus.
    void prepareSearch();
    void applyFiltered(KQContactHelperList filtered, quint64 generation,
                       std::shared_ptr<const std::vector<QString>> identifiers = {});
    // Lists the node's names, fetched ahead of its records, while the records load.
    // handler and load are loadRecords' once the preview's fetch ended; false when there is no
    // preview, so the caller loads the records at once.
    bool startPreview(const KQGroupTreeNodePtr& node, quint64 load, std::function<void()> handler);
    void loadRecords(const KQGroupTreeNodePtr& node, quint64 load, std::function<void()> handler);
    void stopPreview();
    void showPreviewRows(std::shared_ptr<std::vector<KQContactListRow>> rows, size_t from, quint64 token);
    void showLoadingMask(bool show);
    void selectionDidChange();
    void showInDetail(const KQContactHelperList& contacts);
    void updatePlaceholder();
    void updateCount();
    void showContextMenu(const QPoint& position);
    void afterBulk(bool success);

    KQContactManager* m_manager;
    KQContactMover* m_mover;
    KQGroupTreeNodePtr m_node;
    KQTagPtr m_tag;
    QString m_search;
    int m_sortType = 0;
    bool m_loading = false;
    bool m_ignoreNodeChanges = false;
    bool m_refilterQueued = false;
    quint64 m_generation = 0;
    std::shared_ptr<std::atomic<quint64>> m_latest;
    // The preview being fetched or shown; another value stops it.
    std::shared_ptr<std::atomic<quint64>> m_previewLatest;
    quint64 m_previewGeneration = 0;
    // The latest node load; a load handler of an earlier one does nothing.
    quint64 m_loadGeneration = 0;
    // The current node's records indexed for search and sort; dropped when the node's list changes.
    std::shared_ptr<const KQContactSearchIndex> m_index;
    std::shared_ptr<const KQContactSearchIndex> m_preparingSearch; // being given its search texts
    // The last answer, which a search text that extends the last one only needs to narrow.
    struct Narrowing
    {
        std::shared_ptr<const KQContactSearchIndex> index;
        QString text;
        KQTagPtr tag;
        std::shared_ptr<const std::vector<int>> matched;
    };
    Narrowing m_narrowing;
    std::vector<QMetaObject::Connection> m_nodeConnections;
    KQContactHelperList m_restoreSelection;

    QLineEdit* m_searchField;
    QToolButton* m_sortButton;
    QListView* m_list;
    KQContactListModel* m_model;
    QLabel* m_mask;
    QLabel* m_count;
    QSplitter* m_split;
    QWidget* m_detailPane;
    KQContactSummaryView* m_summary;
    QPointer<QWidget> m_detail;
    DetailShow m_detailShow;
    DetailEditable m_detailEditable;
};
