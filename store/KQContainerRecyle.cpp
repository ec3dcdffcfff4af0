#include "store/KQContainerRecyle.h"

const QString KQContainerRecyle::kIdentifier = QStringLiteral("16119B2F-B470-42CC-9209-0522A8930E6D");

KQContainerRecyle::KQContainerRecyle() : KQGroupTreeNode(true)
{
    setGroupName(QStringLiteral("Trash"));
    setContactsLoaded(true);
}

QString KQContainerRecyle::image() const
{
    return selected() ? QStringLiteral("containerRecyleSelected") : QStringLiteral("containerRecyle");
}

std::vector<KQContactRecylePtr> KQContainerRecyle::recyleEntries() const
{
    std::vector<KQContactRecylePtr> entries;
    for (const auto& record : contacts()) {
        if (auto entry = std::dynamic_pointer_cast<KQContactRecyle>(record))
            entries.push_back(std::move(entry));
    }
    return entries;
}

void KQContainerRecyle::addContactRecyles(const std::vector<KQContactRecylePtr>& entries)
{
    addContactHelpers(KQContactHelperList(entries.begin(), entries.end()));
}
