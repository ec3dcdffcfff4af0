#include "KQContainerRecyle.h"

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
