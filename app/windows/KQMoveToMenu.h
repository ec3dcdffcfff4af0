#pragma once
// The contact list's Move-to menu: the sidebar's root items, each account with its groups as
// nested submenus. Entries the rules give no operation from source are disabled.

#include "store/KQGroupTreeNode.h"

#include <functional>

class QMenu;
class QWidget;

class KQMoveToMenu
{
public:
    using Chosen = std::function<void(const KQGroupTreeNodePtr& target)>;
    static QMenu* movetoMenuByParentGroupNode(const KQGroupTreeNodeList& roots, const KQGroupTreeNode* source,
                                              QWidget* parent, Chosen chosen);
};
