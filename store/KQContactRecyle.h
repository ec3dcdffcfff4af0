#pragma once

#include "model/KQContactHelper.h"

// One Trash entry: the contact as it was when deleted (all fields loaded), the account that held it
// and the groups it was a member of. Shown, never edited.
class KQContactRecyle : public KQContactHelper
{
    Q_OBJECT
public:
    KQContactRecyle(CNContactPtr contact, QString containerIdentifier, QStringList groupsIdentifier);

    const QString& containerIdentifier() const { return m_containerIdentifier; }
    const QStringList& groupsIdentifier() const { return m_groupsIdentifier; }
    bool editable() const override { return false; }

    QStringList archiveClassNames() const override;
    void encodeWithCoder(KQKeyedArchiver& coder) const override;
    static void registerArchiveClass();

private:
    QString m_containerIdentifier;
    QStringList m_groupsIdentifier;
};

using KQContactRecylePtr = std::shared_ptr<KQContactRecyle>;

// A put-back waiting to be shown in the account's groups.
struct KQRestoreRecyleObject
{
    KQContactHelperPtr contact;
    QStringList groupList;
};
