#pragma once
// The contact list's rows: the filtered, sorted records of the current node, with their display
// name, second line and picture. Rows are dragged as the contact pasteboard type: one identifier a
// line, while the paste store keeps the records and the node they came from.
//
// While a large node loads, the model may list preview rows instead: names fetched ahead of the
// records, appended a slice at a time. They can be neither selected nor dragged; the records
// replace them in place when they arrive in the same order.

#include "app/windows/KQContactListFilter.h"
#include "store/KQGroupTreeNode.h"

#include <QAbstractListModel>
#include <QCache>
#include <QPixmap>

class KQContactListModel : public QAbstractListModel
{
    Q_OBJECT
public:
    enum Role
    {
        ContactRole = Qt::UserRole + 1, // KQContactHelper*
        SubtitleRole,
        IdentifierRole,
    };

    explicit KQContactListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDragActions() const override;

    // The records listed; empty while preview rows are shown.
    const KQContactHelperList& contactHelpers() const { return m_contacts; }
    // Lists contacts; when they are the preview rows' records in the same order, the rows keep
    // their places (and the view its scroll position and layout). identifiers, when given, are
    // the contacts' identifiers in order, read beforehand off the main thread.
    void setContactHelpers(KQContactHelperList contacts, const std::vector<QString>* identifiers = nullptr);
    // Drops every row and lists preview rows from now on.
    void beginPreview();
    // Appends preview rows; nothing unless the model lists preview rows.
    void appendPreviewRows(std::vector<KQContactListRow> rows);
    bool isPreview() const { return m_previewing; }
    KQContactHelperPtr contactAt(int row) const;
    int rowOfContact(const KQContactHelper* contact) const;
    // The node dragged rows come from.
    void setSourceNode(const KQGroupTreeNodePtr& node) { m_source = node; }
    // Rows whose record changed its names or picture repaint.
    void contactChanged(const KQContactHelper* contact);

    static QPixmap iconForContact(const KQContactHelper& contact, int size);
    static QPixmap defaultFace(int size);

private:
    QVariant previewData(const KQContactListRow& row, int role) const;

    KQContactHelperList m_contacts;
    std::vector<KQContactListRow> m_preview;
    bool m_previewing = false;
    KQGroupTreeNodePtr m_source;
    mutable QCache<QString, QPixmap> m_icons;
};
