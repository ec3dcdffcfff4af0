#include "store/KQExportField.h"

#include "platform/CNContactKeys.h"

#include <mutex>

KQExportField::KQExportField(QString field) : m_fieldKey(std::move(field)) {}

const QString& KQExportField::tagsFieldKey()
{
    static const QString key = QStringLiteral("Tags");
    return key;
}

QString KQExportField::fieldName() const
{
    if (m_fieldKey == tagsFieldKey())
        return QStringLiteral("Tags");
    if (m_fieldKey == CNContactNonGregorianBirthdayKey)
        return QStringLiteral("Lunar Birthday");
    return CNContactLocalizedStringForKey(m_fieldKey);
}

void KQExportField::setValidate(bool validate)
{
    if (m_validate == validate)
        return;
    m_validate = validate;
    Q_EMIT validateChanged();
}

QStringList KQExportField::archiveClassNames() const
{
    return {QStringLiteral("KQExportField"), QStringLiteral("NSObject")};
}

void KQExportField::encodeWithCoder(KQKeyedArchiver& coder) const
{
    coder.encodeString(m_fieldKey, QStringLiteral("fieldKey"));
    coder.encodeBool(m_validate, QStringLiteral("validate"));
}

void KQExportField::registerArchiveClass()
{
    static std::once_flag once;
    std::call_once(once, [] {
        KQRegisterArchiveClass(QStringLiteral("KQExportField"), [](KQKeyedUnarchiver& coder) -> KQCodingPtr {
            const auto key = coder.decodeString(QStringLiteral("fieldKey"));
            const bool validate = coder.decodeBool(QStringLiteral("validate"));
            if (!key || coder.failed())
                return nullptr;
            auto field = create(*key);
            field->m_validate = validate;
            return field;
        });
    });
}

QSet<QString> KQExportField::archiveClasses()
{
    return {QStringLiteral("KQExportField")};
}
