#pragma once
// The clipboard of a drag of contact rows: the node the rows come from and the dragged records by
// identifier. The pasteboard itself only carries the identifiers.

#include "store/KQGroupTreeNode.h"

#include <QHash>

extern const QString KQContactPasteboardType;

class KQContainerHelper;
class KQGroupHelper;

class KQContactPasteDataStore
{
public:
    static KQContactPasteDataStore& sharedContactPasteDataStore();

    KQGroupTreeNodePtr currentGroupNode() const { return m_node; }
    void setCurrentGroupNode(const KQGroupTreeNodePtr& node) { m_node = node; }
    void setContactHelper(const KQContactHelperPtr& contact, const QString& key);
    KQContactHelperPtr contactHelperForKey(const QString& key) const { return m_contacts.value(key); }
    KQContactHelperList pasteContactHelpers() const;
    void clearPasteData();

    // The source node when it is a group, else nullptr.
    KQGroupHelper* currentGroupHelper() const;
    // The group's account, or the node itself when it is an account, else nullptr.
    KQContainerHelper* currentContainerHelper() const;
    bool isGroupHelper() const;
    bool isContainerHelper() const;
    bool isLastestImportContainer() const;
    bool isRecyleContainer() const;

private:
    KQGroupTreeNodePtr m_node;
    QHash<QString, KQContactHelperPtr> m_contacts;
};
