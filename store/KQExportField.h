#pragma once
// One entry of the export field check list kept by the preferences: a contact property key and
// whether the user wants it exported. Stored in a keyed archive, so the class name and the keys
// "fieldKey" and "validate" must not change.

#include "platform/KQKeyedArchiver.h"

#include <QObject>
#include <QSet>
#include <QString>
#include <memory>

class KQExportField;
using KQExportFieldPtr = std::shared_ptr<KQExportField>;

class KQExportField : public QObject, public KQCoding
{
    Q_OBJECT
    Q_PROPERTY(QString fieldKey READ fieldKey CONSTANT)
    Q_PROPERTY(QString fieldName READ fieldName CONSTANT)
    Q_PROPERTY(bool validate READ validate WRITE setValidate NOTIFY validateChanged)
public:
    // A new field starts checked.
    explicit KQExportField(QString field);
    static KQExportFieldPtr create(QString field) { return std::make_shared<KQExportField>(std::move(field)); }

    // The program's own key of the contact's tags, exported like a contact field.
    static const QString& tagsFieldKey();

    const QString& fieldKey() const { return m_fieldKey; }
    // "Tags", "Lunar Birthday" for the non-Gregorian birthday, else the key's English display name
    // (the key itself when it names no contact field).
    QString fieldName() const;
    bool validate() const { return m_validate; }
    void setValidate(bool validate);

    // --- keyed archive
    QStringList archiveClassNames() const override;
    void encodeWithCoder(KQKeyedArchiver& coder) const override;
    // Registers the decoder (once; later calls do nothing).
    static void registerArchiveClass();
    static QSet<QString> archiveClasses();

Q_SIGNALS:
    void validateChanged();

private:
    QString m_fieldKey;
    bool m_validate = true;
};
