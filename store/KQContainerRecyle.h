#pragma once

#include "store/KQContactRecyle.h"
#include "store/KQGroupTreeNode.h"

// The Trash pseudo-account. It holds Trash entries and no groups, counts as loaded from the start
// and is never loaded from the store; the storage reads and writes its entries.
class KQContainerRecyle : public KQGroupTreeNode
{
    Q_OBJECT
public:
    KQContainerRecyle();
    static const QString kIdentifier;
    QString identifier() const override { return kIdentifier; }
    QString image() const override;

    // The listed entries, in Trash order (records that are not entries are left out).
    std::vector<KQContactRecylePtr> recyleEntries() const;
    void addContactRecyles(const std::vector<KQContactRecylePtr>& entries);
};
