#include "app/windows/KQDropRules.h"

#include "store/KQContainerHelper.h"
#include "store/KQContainerLatestImport.h"
#include "store/KQContainerRecyle.h"
#include "store/KQGroupHelper.h"

bool KQDropRules::isTrash(const KQGroupTreeNode* node)
{
    return qobject_cast<const KQContainerRecyle*>(node) != nullptr;
}

bool KQDropRules::isLastImport(const KQGroupTreeNode* node)
{
    return qobject_cast<const KQContainerLatestImport*>(node) != nullptr;
}

bool KQDropRules::isPseudoAccount(const KQGroupTreeNode* node)
{
    return isTrash(node) || isLastImport(node);
}

bool KQDropRules::isGroup(const KQGroupTreeNode* node)
{
    return qobject_cast<const KQGroupHelper*>(node) != nullptr;
}

bool KQDropRules::isAccount(const KQGroupTreeNode* node)
{
    return qobject_cast<const KQContainerHelper*>(node) != nullptr;
}

bool KQDropRules::sameAccount(const KQGroupTreeNode* a, const KQGroupTreeNode* b)
{
    if (a == nullptr || b == nullptr || isPseudoAccount(a) || isPseudoAccount(b))
        return false;
    auto* first = const_cast<KQGroupTreeNode*>(a)->containerHelper();
    auto* second = const_cast<KQGroupTreeNode*>(b)->containerHelper();
    return first != nullptr && second != nullptr && first->identifier() == second->identifier();
}

KQDropOperation KQDropRules::operationForDrop(const KQGroupTreeNode* source, const KQGroupTreeNode* target)
{
    if (source == nullptr || target == nullptr)
        return KQDropOperation::None;
    if (isPseudoAccount(source))
        return isPseudoAccount(target) ? KQDropOperation::None : KQDropOperation::Move;
    if (isTrash(target))
        return KQDropOperation::Delete;
    if (isLastImport(target))
        return KQDropOperation::None;
    if (isAccount(source)) {
        if (isAccount(target))
            return source->identifier() == target->identifier() ? KQDropOperation::None : KQDropOperation::Copy;
        return KQDropOperation::Copy;
    }
    // From a group.
    if (isAccount(target))
        return sameAccount(source, target) ? KQDropOperation::Move : KQDropOperation::Copy;
    if (source->identifier() == target->identifier())
        return KQDropOperation::None;
    // Between groups of one account the contacts change group; elsewhere they are copied.
    return sameAccount(source, target) ? KQDropOperation::Move : KQDropOperation::Copy;
}

QString KQDropRules::operationName(KQDropOperation operation)
{
    switch (operation) {
    case KQDropOperation::Move:
        return QStringLiteral("move");
    case KQDropOperation::Copy:
        return QStringLiteral("copy");
    case KQDropOperation::Delete:
        return QStringLiteral("delete");
    case KQDropOperation::None:
        break;
    }
    return QStringLiteral("none");
}
