#pragma once
// The "Duplicate name" kind, with the user's choice of the name parts that two contacts must share.

#include "problems/KQConflictMeta.h"

class KQConflictMetaDuplicateName : public KQConflictMeta
{
    Q_OBJECT
    Q_PROPERTY(
        bool duplicateGivenName READ duplicateGivenName WRITE setDuplicateGivenName NOTIFY duplicateGivenNameChanged)
    Q_PROPERTY(bool duplicateFamilyName READ duplicateFamilyName WRITE setDuplicateFamilyName NOTIFY
                   duplicateFamilyNameChanged)
    Q_PROPERTY(bool duplicateMiddleName READ duplicateMiddleName WRITE setDuplicateMiddleName NOTIFY
                   duplicateMiddleNameChanged)
    Q_PROPERTY(bool duplicateNamePrefix READ duplicateNamePrefix WRITE setDuplicateNamePrefix NOTIFY
                   duplicateNamePrefixChanged)
    Q_PROPERTY(bool duplicateNameSuffix READ duplicateNameSuffix WRITE setDuplicateNameSuffix NOTIFY
                   duplicateNameSuffixChanged)
    // Derived from the five parts above; changes with any of them.
    Q_PROPERTY(
        bool duplicateFullName READ duplicateFullName WRITE setDuplicateFullName NOTIFY duplicateNamePartsChanged)
    Q_PROPERTY(qint64 duplicateNameMask READ duplicateNameMask NOTIFY duplicateNamePartsChanged)
public:
    // Every name part takes part.
    explicit KQConflictMetaDuplicateName(QString name);

    bool duplicateGivenName() const { return m_given; }
    void setDuplicateGivenName(bool on);
    bool duplicateFamilyName() const { return m_family; }
    void setDuplicateFamilyName(bool on);
    bool duplicateMiddleName() const { return m_middle; }
    void setDuplicateMiddleName(bool on);
    bool duplicateNamePrefix() const { return m_prefix; }
    void setDuplicateNamePrefix(bool on);
    bool duplicateNameSuffix() const { return m_suffix; }
    void setDuplicateNameSuffix(bool on);

    // True when all five parts take part; setting it sets all five.
    bool duplicateFullName() const;
    void setDuplicateFullName(bool on);
    // The mask of the record's name comparison: prefix 1, suffix 2, given 4, middle 8, family 16.
    qint64 duplicateNameMask() const;

    // --- keyed archive: the base keys, then the five parts
    QStringList archiveClassNames() const override;
    void encodeWithCoder(KQKeyedArchiver& coder) const override;
    static KQCodingPtr decodeWithCoder(KQKeyedUnarchiver& coder);

Q_SIGNALS:
    void duplicateGivenNameChanged();
    void duplicateFamilyNameChanged();
    void duplicateMiddleNameChanged();
    void duplicateNamePrefixChanged();
    void duplicateNameSuffixChanged();
    void duplicateNamePartsChanged();

private:
    void setPart(bool& part, bool on, void (KQConflictMetaDuplicateName::*changed)());

    bool m_given = true;
    bool m_family = true;
    bool m_middle = true;
    bool m_prefix = true;
    bool m_suffix = true;
};
