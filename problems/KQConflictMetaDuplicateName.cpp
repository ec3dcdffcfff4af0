#include "problems/KQConflictMetaDuplicateName.h"

KQConflictMetaDuplicateName::KQConflictMetaDuplicateName(QString name) : KQConflictMeta(std::move(name)) {}

void KQConflictMetaDuplicateName::setPart(bool& part, bool on, void (KQConflictMetaDuplicateName::*changed)())
{
    if (part == on)
        return;
    part = on;
    Q_EMIT(this->*changed)();
    Q_EMIT duplicateNamePartsChanged();
}

void KQConflictMetaDuplicateName::setDuplicateGivenName(bool on)
{
    setPart(m_given, on, &KQConflictMetaDuplicateName::duplicateGivenNameChanged);
}

void KQConflictMetaDuplicateName::setDuplicateFamilyName(bool on)
{
    setPart(m_family, on, &KQConflictMetaDuplicateName::duplicateFamilyNameChanged);
}

void KQConflictMetaDuplicateName::setDuplicateMiddleName(bool on)
{
    setPart(m_middle, on, &KQConflictMetaDuplicateName::duplicateMiddleNameChanged);
}

void KQConflictMetaDuplicateName::setDuplicateNamePrefix(bool on)
{
    setPart(m_prefix, on, &KQConflictMetaDuplicateName::duplicateNamePrefixChanged);
}

void KQConflictMetaDuplicateName::setDuplicateNameSuffix(bool on)
{
    setPart(m_suffix, on, &KQConflictMetaDuplicateName::duplicateNameSuffixChanged);
}

bool KQConflictMetaDuplicateName::duplicateFullName() const
{
    return m_given && m_family && m_middle && m_prefix && m_suffix;
}

void KQConflictMetaDuplicateName::setDuplicateFullName(bool on)
{
    setDuplicateGivenName(on);
    setDuplicateFamilyName(on);
    setDuplicateMiddleName(on);
    setDuplicateNamePrefix(on);
    setDuplicateNameSuffix(on);
}

qint64 KQConflictMetaDuplicateName::duplicateNameMask() const
{
    qint64 mask = 0;
    if (m_prefix)
        mask |= 1;
    if (m_suffix)
        mask |= 2;
    if (m_given)
        mask |= 4;
    if (m_middle)
        mask |= 8;
    if (m_family)
        mask |= 16;
    return mask;
}

QStringList KQConflictMetaDuplicateName::archiveClassNames() const
{
    return {QStringLiteral("KQConflictMetaDuplicateName"), QStringLiteral("KQConflictMeta"),
            QStringLiteral("NSObject")};
}

void KQConflictMetaDuplicateName::encodeWithCoder(KQKeyedArchiver& coder) const
{
    KQConflictMeta::encodeWithCoder(coder);
    coder.encodeBool(m_middle, QStringLiteral("duplicateMiddleName"));
    coder.encodeBool(m_family, QStringLiteral("duplicateFamilyName"));
    coder.encodeBool(m_given, QStringLiteral("duplicateGivenName"));
    coder.encodeBool(m_suffix, QStringLiteral("duplicateNameSuffix"));
    coder.encodeBool(m_prefix, QStringLiteral("duplicateNamePrefix"));
}

KQCodingPtr KQConflictMetaDuplicateName::decodeWithCoder(KQKeyedUnarchiver& coder)
{
    bool validate = false;
    const auto name = decodeBaseWithCoder(coder, &validate);
    if (!name)
        return nullptr;
    auto meta = std::make_shared<KQConflictMetaDuplicateName>(*name);
    meta->setValidate(validate);
    meta->m_middle = coder.decodeBool(QStringLiteral("duplicateMiddleName"));
    meta->m_family = coder.decodeBool(QStringLiteral("duplicateFamilyName"));
    meta->m_given = coder.decodeBool(QStringLiteral("duplicateGivenName"));
    meta->m_suffix = coder.decodeBool(QStringLiteral("duplicateNameSuffix"));
    meta->m_prefix = coder.decodeBool(QStringLiteral("duplicateNamePrefix"));
    return meta;
}
