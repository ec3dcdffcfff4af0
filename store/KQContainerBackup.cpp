#include "store/KQContainerBackup.h"

#include "platform/KQBinaryKeyedArchiver.h"
#include "store/KQContactBackupInfo.h"

#include <QFile>
#include <QLocale>
#include <QRegularExpression>
#include <QtEndian>
#include <mutex>

namespace {

const QString kBackupDateKey = QStringLiteral("backupDate");
const QString kBackupFileKey = QStringLiteral("backupFile");
const QString kGroupInfoClass = QStringLiteral("KQGroupInfo");
const QString kCatalogueClass = QStringLiteral("KQBackupCatalogue");
const QString kCatalogueKeysKey = QStringLiteral("NS.keys");
const QString kRootKey = QStringLiteral("root");

QString catalogueObjectsKey(int index)
{
    return QStringLiteral("NS.objects.%1").arg(index);
}

// A group-info dictionary in archivable form.
class GroupInfoCoding final : public KQCoding
{
public:
    QString name;
    QString identifier;
    QStringList contacts;
    std::vector<std::shared_ptr<const KQCoding>> subGroups;

    static std::shared_ptr<GroupInfoCoding> fromVariant(const QVariantMap& info)
    {
        auto coding = std::make_shared<GroupInfoCoding>();
        coding->name = info.value(KQGroupInfo::nameKey).toString();
        coding->identifier = info.value(KQGroupInfo::identifierKey).toString();
        coding->contacts = info.value(KQGroupInfo::contactsKey).toStringList();
        for (const QVariant& sub : info.value(KQGroupInfo::subGroupsKey).toList())
            coding->subGroups.push_back(fromVariant(sub.toMap()));
        return coding;
    }

    QVariantMap toVariant() const
    {
        QVariantMap info;
        info.insert(KQGroupInfo::nameKey, name);
        info.insert(KQGroupInfo::identifierKey, identifier);
        if (!contacts.isEmpty())
            info.insert(KQGroupInfo::contactsKey, contacts);
        if (!subGroups.empty()) {
            QVariantList list;
            for (const auto& sub : subGroups)
                if (const auto* subInfo = dynamic_cast<const GroupInfoCoding*>(sub.get()))
                    list.append(subInfo->toVariant());
            info.insert(KQGroupInfo::subGroupsKey, list);
        }
        return info;
    }

    QStringList archiveClassNames() const override { return {kGroupInfoClass, QStringLiteral("NSObject")}; }

    void encodeWithCoder(KQKeyedArchiver& coder) const override
    {
        coder.encodeString(name, KQGroupInfo::nameKey);
        coder.encodeString(identifier, KQGroupInfo::identifierKey);
        if (!contacts.isEmpty())
            coder.encodeStringArray(contacts, KQGroupInfo::contactsKey);
        if (!subGroups.empty())
            coder.encodeRetainedArray(subGroups, KQGroupInfo::subGroupsKey);
    }

    static KQCodingPtr decode(KQKeyedUnarchiver& coder)
    {
        if (coder.valueKindForKey(KQGroupInfo::nameKey) != KQArchiveValueKind::String ||
            coder.valueKindForKey(KQGroupInfo::identifierKey) != KQArchiveValueKind::String) {
            coder.failWithError(QStringLiteral("a group has no name or identifier"));
            return nullptr;
        }
        auto coding = std::make_shared<GroupInfoCoding>();
        coding->name = coder.decodeString(KQGroupInfo::nameKey).value_or(QString());
        coding->identifier = coder.decodeString(KQGroupInfo::identifierKey).value_or(QString());
        coding->contacts = coder.decodeStringArray(KQGroupInfo::contactsKey);
        for (KQCodingPtr& sub : coder.decodeArrayOfClasses({kGroupInfoClass}, KQGroupInfo::subGroupsKey))
            coding->subGroups.push_back(std::move(sub));
        if (coder.failed())
            return nullptr;
        return coding;
    }
};

// The catalogue as an archivable object: the account identifiers, then each account's backups
// under the position of its identifier.
class CatalogueCoding final : public KQCoding
{
public:
    KQBackupCatalogue catalogue;

    QStringList archiveClassNames() const override { return {kCatalogueClass, QStringLiteral("NSObject")}; }

    void encodeWithCoder(KQKeyedArchiver& coder) const override
    {
        coder.encodeStringArray(catalogue.keys(), kCatalogueKeysKey);
        int index = 0;
        for (auto it = catalogue.cbegin(); it != catalogue.cend(); ++it, ++index) {
            std::vector<const KQCoding*> backups;
            for (const auto& backup : it.value())
                backups.push_back(backup.get());
            coder.encodeArray(backups, catalogueObjectsKey(index));
        }
    }

    static KQCodingPtr decode(KQKeyedUnarchiver& coder)
    {
        auto coding = std::make_shared<CatalogueCoding>();
        const QStringList keys = coder.decodeStringArray(kCatalogueKeysKey);
        for (int index = 0; index < keys.size() && !coder.failed(); ++index) {
            KQContainerBackupList backups;
            for (const KQCodingPtr& object :
                 coder.decodeArrayOfClasses({KQContainerBackup::className()}, catalogueObjectsKey(index))) {
                if (auto backup = std::dynamic_pointer_cast<KQContainerBackup>(object))
                    backups.push_back(std::move(backup));
            }
            if (!backups.empty())
                coding->catalogue.insert(keys.at(index), backups);
        }
        if (coder.failed())
            return nullptr;
        return coding;
    }
};

void registerClasses()
{
    static std::once_flag once;
    std::call_once(once, [] {
        KQContainerBackup::registerArchiveClass();
        KQRegisterArchiveClass(kGroupInfoClass, &GroupInfoCoding::decode);
        KQRegisterArchiveClass(kCatalogueClass, &CatalogueCoding::decode);
    });
}

} // namespace

// ---------------------------------------------------------------- KQContainerBackup

KQContainerBackupPtr KQContainerBackup::initWithBackupFile(const QString& path)
{
    if (path.isEmpty())
        return nullptr;
    return std::make_shared<KQContainerBackup>(path, QDateTime::currentDateTime());
}

KQContainerBackup::KQContainerBackup(QString path, QDateTime date)
    : m_backupFile(std::move(path)), m_backupDate(std::move(date))
{
}

QString KQContainerBackup::humanReadableDate() const
{
    // Medium date: the locale's long date without the weekday and with the short month name.
    const QLocale locale;
    QString format = locale.dateFormat(QLocale::LongFormat);
    format.remove(QRegularExpression(QStringLiteral("d{4}[^dMy]*")));
    format.replace(QStringLiteral("MMMM"), QStringLiteral("MMM"));
    const QDateTime local = m_backupDate.toLocalTime();
    return locale.toString(local.date(), format.trimmed()) + QLatin1Char(' ') +
           locale.toString(local.time(), QLocale::ShortFormat);
}

bool KQContainerBackup::isEqual(const KQContainerBackup* other) const
{
    return other != nullptr && other->m_backupFile == m_backupFile;
}

std::optional<qint64> KQContainerBackup::contactCount() const
{
    QFile file(m_backupFile);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray header = file.read(KQBackupFile::groupInfoOffset);
    if (header.size() != KQBackupFile::groupInfoOffset || !header.startsWith(QByteArray(KQBackupFile::magic)) ||
        header.at(KQBackupFile::versionOffset) != 1)
        return std::nullopt;
    const auto offset = qFromLittleEndian<quint64>(header.constData() + KQBackupFile::indexOffsetField);
    const auto length = qFromLittleEndian<quint64>(header.constData() + KQBackupFile::indexLengthField);
    const auto size = static_cast<quint64>(file.size());
    if (offset == 0 || offset > size || length > size - offset || !file.seek(static_cast<qint64>(offset)))
        return std::nullopt;
    KQContactBackupInfo::registerArchiveClass();
    const QSet<QString> classes{KQContactBackupInfo::className()};
    KQKeyedUnarchiver coder(file.read(static_cast<qint64>(length)), classes);
    const auto entries = coder.decodeArrayOfClasses(classes, kRootKey);
    if (coder.failed())
        return std::nullopt;
    return static_cast<qint64>(entries.size());
}

QStringList KQContainerBackup::archiveClassNames() const
{
    return {className(), QStringLiteral("NSObject")};
}

void KQContainerBackup::encodeWithCoder(KQKeyedArchiver& coder) const
{
    coder.encodeDate(m_backupDate, kBackupDateKey);
    coder.encodeString(m_backupFile, kBackupFileKey);
}

void KQContainerBackup::registerArchiveClass()
{
    KQRegisterArchiveClass(className(), [](KQKeyedUnarchiver& coder) -> KQCodingPtr {
        const QString file = coder.decodeString(kBackupFileKey).value_or(QString());
        const QDateTime date = coder.decodeDate(kBackupDateKey).value_or(QDateTime());
        if (coder.failed())
            return nullptr;
        if (file.isEmpty()) {
            coder.failWithError(QStringLiteral("a backup names no file"));
            return nullptr;
        }
        return std::make_shared<KQContainerBackup>(file, date);
    });
}

QByteArray KQContainerBackup::archivedCatalogue(const KQBackupCatalogue& catalogue)
{
    registerClasses();
    CatalogueCoding coding;
    coding.catalogue = catalogue;
    return KQKeyedArchiver::archivedDataWithRootObject(coding);
}

std::optional<KQBackupCatalogue> KQContainerBackup::catalogueFromData(const QByteArray& data)
{
    registerClasses();
    const auto coding = std::dynamic_pointer_cast<CatalogueCoding>(
        KQKeyedUnarchiver::unarchivedObjectOfClasses({kCatalogueClass, className()}, data));
    if (!coding)
        return std::nullopt;
    return coding->catalogue;
}

// ---------------------------------------------------------------- group infos

QByteArray KQGroupInfo::archivedGroupInfos(const QVariantList& infos)
{
    registerClasses();
    std::vector<std::shared_ptr<GroupInfoCoding>> codings;
    std::vector<const KQCoding*> objects;
    for (const QVariant& info : infos) {
        codings.push_back(GroupInfoCoding::fromVariant(info.toMap()));
        objects.push_back(codings.back().get());
    }
    return KQBinaryKeyedArchiver::archivedDataWithRootArray(objects);
}

std::optional<QVariantList> KQGroupInfo::groupInfosFromData(const QByteArray& data, QString* error)
{
    registerClasses();
    KQKeyedUnarchiver coder(data, {kGroupInfoClass});
    const std::vector<KQCodingPtr> objects = coder.decodeArrayOfClasses({kGroupInfoClass}, kRootKey);
    if (coder.failed() || coder.valueKindForKey(kRootKey) != KQArchiveValueKind::Object) {
        if (error)
            *error = coder.failed() ? coder.error().description() : QStringLiteral("the group archive holds no array");
        return std::nullopt;
    }
    QVariantList infos;
    for (const KQCodingPtr& object : objects)
        if (const auto* info = dynamic_cast<const GroupInfoCoding*>(object.get()))
            infos.append(info->toVariant());
    return infos;
}

int KQGroupInfo::countGroups(const QVariantList& infos)
{
    int count = 0;
    for (const QVariant& info : infos)
        count += 1 + countGroups(info.toMap().value(subGroupsKey).toList());
    return count;
}
