#pragma once
// One editable entry of a multi-valued contact field (a phone number, an e-mail address, ...).
// Kinds derive from this class; every change of a label or value is reported to the owning
// property (the delegate), which writes the field back into the record's edit copy.

#include "model/KQAnyLabeledValue.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <memory>

class KQLabeledValueProperty;

class KQLabeledValueHelper : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString label READ label WRITE setLabel NOTIFY labelChanged)
    Q_PROPERTY(QString localizedLabel READ localizedLabel NOTIFY labelChanged)
    Q_PROPERTY(QString valueString READ valueString NOTIFY valueChanged)
public:
    explicit KQLabeledValueHelper(const KQAnyLabeledValue& labeledValue);
    ~KQLabeledValueHelper() override;

    const QString& label() const { return m_label; }
    void setLabel(const QString& label);
    // The display text of the label, or the label itself when it is no known label; empty for none.
    QString localizedLabel() const;

    const KQAnyLabeledValue& originalLabeledValue() const { return m_original; }
    void replaceOriginalWithLabeledValueObject(const KQAnyLabeledValue& labeledValue);
    // A store entry made from the current label and value; the base returns the original entry.
    virtual KQAnyLabeledValue editedLabeledValue() const;

    virtual QString valueString() const;
    virtual bool containString(const QString& text) const;
    // Same value; the base compares valueString() texts exactly.
    virtual bool isEqualToValue(const KQLabeledValueHelper* other) const;
    // Same display label (or both without one) and same value.
    bool isEqualTo(const KQLabeledValueHelper* other) const;

    KQLabeledValueProperty* delegate() const;
    void setDelegate(KQLabeledValueProperty* delegate);
    bool isTemplate() const { return m_isTemplate; }
    void setIsTemplate(bool isTemplate) { m_isTemplate = isTemplate; }

    // Validity tests used by the problem scanner.
    static const QString& regexEmail();
    static bool stringValueValidWithRegex(const QString& text, const QString& pattern);
    static bool findValidEmailAddressString(const QString& text);
    static bool findValidPhoneNumberString(const QString& text);

Q_SIGNALS:
    void labelChanged();
    void valueChanged();

protected:
    // Called after every change of a label or value field.
    void labelValueDidChanged();
    // The identifier the edited entry keeps: the original's, or a new one for a new entry.
    QString entryIdentifier() const;

private:
    KQAnyLabeledValue m_original;
    QString m_label;
    QPointer<KQLabeledValueProperty> m_delegate;
    bool m_isTemplate = false;
};

using KQLabeledValueHelperPtr = std::shared_ptr<KQLabeledValueHelper>;
