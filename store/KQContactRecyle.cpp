#include "store/KQContactRecyle.h"

KQContactRecyle::KQContactRecyle(CNContactPtr contact, QString containerIdentifier, QStringList groupsIdentifier)
    : KQContactHelper(std::move(contact), true), m_containerIdentifier(std::move(containerIdentifier)),
      m_groupsIdentifier(std::move(groupsIdentifier))
{
}

QStringList KQContactRecyle::archiveClassNames() const
{
    return {QStringLiteral("KQContactRecyle"), QStringLiteral("KQContactHelper"), QStringLiteral("NSObject")};
}

void KQContactRecyle::encodeWithCoder(KQKeyedArchiver& coder) const
{
    KQContactHelper::encodeWithCoder(coder);
    coder.encodeString(m_containerIdentifier, QStringLiteral("containerIdentifier"));
    coder.encodeStringArray(m_groupsIdentifier, QStringLiteral("groupsIdentifier"));
}

void KQContactRecyle::registerArchiveClass()
{
    KQContactHelper::registerArchiveClass();
    KQRegisterArchiveClass(QStringLiteral("KQContactRecyle"), [](KQKeyedUnarchiver& coder) -> KQCodingPtr {
        CNContactPtr contact =
            coder.decodeObjectOfClass<CNContact>(CNContact::archiveClasses(), QStringLiteral("contact"));
        if (!contact || coder.failed())
            return nullptr;
        const QString container = coder.decodeString(QStringLiteral("containerIdentifier")).value_or(QString());
        const QStringList groups = coder.decodeStringArray(QStringLiteral("groupsIdentifier"));
        return std::make_shared<KQContactRecyle>(contact, container, groups);
    });
}
