#pragma once
// Which operation a drop of contact rows offers, by where they come from and where they land.

#include <QString>

class KQGroupTreeNode;

enum class KQDropOperation
{
    None,
    Move,
    Copy,
    Delete
};

class KQDropRules
{
public:
    // source is the node the drag started from, target the sidebar row under the pointer.
    static KQDropOperation operationForDrop(const KQGroupTreeNode* source, const KQGroupTreeNode* target);

    // Both nodes are, or belong to, the same account.
    static bool sameAccount(const KQGroupTreeNode* a, const KQGroupTreeNode* b);
    static bool isPseudoAccount(const KQGroupTreeNode* node);
    static bool isTrash(const KQGroupTreeNode* node);
    static bool isLastImport(const KQGroupTreeNode* node);
    static bool isGroup(const KQGroupTreeNode* node);
    static bool isAccount(const KQGroupTreeNode* node);
    static QString operationName(KQDropOperation operation);
};
