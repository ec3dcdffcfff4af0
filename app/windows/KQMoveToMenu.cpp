#include "app/windows/KQMoveToMenu.h"

#include "app/windows/KQDropRules.h"

#include <QMenu>

namespace {

void addNode(QMenu* menu, const KQGroupTreeNodePtr& node, const KQGroupTreeNode* source,
             const KQMoveToMenu::Chosen& chosen)
{
    const QString name = node->groupName().isEmpty() ? QStringLiteral("Untitled") : node->groupName();
    const bool allowed = KQDropRules::operationForDrop(source, node.get()) != KQDropOperation::None;
    const KQGroupTreeNodeList children = node->subGroupsForSort();
    if (children.empty()) {
        QAction* action = menu->addAction(name, [node, chosen] { chosen(node); });
        action->setEnabled(allowed);
        return;
    }
    QMenu* sub = menu->addMenu(name);
    QAction* self = sub->addAction(name, [node, chosen] { chosen(node); });
    self->setEnabled(allowed);
    sub->addSeparator();
    for (const auto& child : children)
        addNode(sub, child, source, chosen);
}

} // namespace

QMenu* KQMoveToMenu::movetoMenuByParentGroupNode(const KQGroupTreeNodeList& roots, const KQGroupTreeNode* source,
                                                 QWidget* parent, Chosen chosen)
{
    auto* menu = new QMenu(QStringLiteral("Move to"), parent);
    menu->setObjectName(QStringLiteral("moveToMenu"));
    for (const auto& root : roots)
        addNode(menu, root, source, chosen);
    return menu;
}
