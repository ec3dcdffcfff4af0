#pragma once

#include "KQGroupTreeNode.h"

// The "Last Import" pseudo-account: contacts read by imports and not yet placed in an account.
class KQContainerLatestImport : public KQGroupTreeNode
{
    Q_OBJECT
public:
    KQContainerLatestImport();
    static const QString kIdentifier;
    QString identifier() const override { return kIdentifier; }
    QString image() const override;
};
