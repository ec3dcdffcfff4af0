#pragma once

#include "store/KQGroupTreeNode.h"

// The "Last Import" pseudo-account: contacts read by imports and not yet placed in an account.
// Its records are not store contacts. It counts as loaded from the start, holds no groups, and
// grows with every import made with the Last Import mark until the user deletes records or drags
// them onto an account.
class KQContainerLatestImport : public KQGroupTreeNode
{
    Q_OBJECT
public:
    KQContainerLatestImport();
    static const QString kIdentifier;
    QString identifier() const override { return kIdentifier; }
    QString image() const override;

    // The Last Import mark: set when an import starts from the toolbar or on this node. While it is
    // set, imported contacts come here and go nowhere else.
    bool needSaveLatestImport() const { return m_needSaveLatestImport; }
    void setNeedSaveLatestImport(bool mark) { m_needSaveLatestImport = mark; }
    // Appends a delivered batch when the mark is set; false (nothing taken) otherwise, and the
    // caller imports the batch into its target instead.
    bool receiveImportedContacts(const KQContactHelperList& records);

private:
    bool m_needSaveLatestImport = false;
};
