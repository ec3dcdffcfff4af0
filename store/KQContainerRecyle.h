#pragma once

#include "KQGroupTreeNode.h"

// The Trash pseudo-account. It holds Trash entries and no groups, and is never loaded from the store.
class KQContainerRecyle : public KQGroupTreeNode
{
    Q_OBJECT
public:
    KQContainerRecyle();
    static const QString kIdentifier;
    QString identifier() const override { return kIdentifier; }
    QString image() const override;
};
