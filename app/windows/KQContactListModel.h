#pragma once
// The contact list's rows: the filtered, sorted records of the current node, with their display
// name, second line and picture. Rows are dragged as the contact pasteboard type: one identifier a
// line, while the paste store keeps the records and the node they came from.

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

    const KQContactHelperList& contactHelpers() const { return m_contacts; }
    void setContactHelpers(KQContactHelperList contacts);
    KQContactHelperPtr contactAt(int row) const;
    int rowOfContact(const KQContactHelper* contact) const;
    // The node dragged rows come from.
    void setSourceNode(const KQGroupTreeNodePtr& node) { m_source = node; }
    // Rows whose record changed its names or picture repaint.
    void contactChanged(const KQContactHelper* contact);

    static QPixmap iconForContact(const KQContactHelper& contact, int size);

private:
    KQContactHelperList m_contacts;
    KQGroupTreeNodePtr m_source;
    mutable QCache<QString, QPixmap> m_icons;
};
