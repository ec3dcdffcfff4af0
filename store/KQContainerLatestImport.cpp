#include "store/KQContainerLatestImport.h"

const QString KQContainerLatestImport::kIdentifier = QStringLiteral("645B8483-C0CC-44CB-ABD2-4571C9A56EF7");

KQContainerLatestImport::KQContainerLatestImport() : KQGroupTreeNode(true)
{
    setGroupName(QStringLiteral("Last Import"));
    setContactsLoaded(true);
}

QString KQContainerLatestImport::image() const
{
    return selected() ? QStringLiteral("containerImportSelected") : QStringLiteral("containerImport");
}

bool KQContainerLatestImport::receiveImportedContacts(const KQContactHelperList& records)
{
    if (!m_needSaveLatestImport)
        return false;
    addContactHelpers(records);
    return true;
}
