#include "model/KQLabeledValueHelper.h"

#include "model/KQLabeledValueProperty.h"
#include "model/KQPhoneNumberDetector.h"

#include <QRegularExpression>

KQLabeledValueHelper::KQLabeledValueHelper(const KQAnyLabeledValue& labeledValue)
    : m_original(labeledValue), m_label(KQLabelOf(labeledValue))
{
}

KQLabeledValueHelper::~KQLabeledValueHelper() = default;

void KQLabeledValueHelper::setLabel(const QString& label)
{
    m_label = label;
    Q_EMIT labelChanged();
    labelValueDidChanged();
}

QString KQLabeledValueHelper::localizedLabel() const
{
    if (m_label.isEmpty())
        return {};
    const QString text = CNLocalizedStringForLabel(m_label);
    return text.isEmpty() ? m_label : text;
}

void KQLabeledValueHelper::replaceOriginalWithLabeledValueObject(const KQAnyLabeledValue& labeledValue)
{
    m_original = labeledValue;
}

KQAnyLabeledValue KQLabeledValueHelper::editedLabeledValue() const
{
    return m_original;
}

QString KQLabeledValueHelper::valueString() const
{
    return {};
}

bool KQLabeledValueHelper::containString(const QString& text) const
{
    return m_label.contains(text) || valueString().contains(text);
}

bool KQLabeledValueHelper::isEqualToValue(const KQLabeledValueHelper* other) const
{
    return other != nullptr && valueString() == other->valueString();
}

bool KQLabeledValueHelper::isEqualTo(const KQLabeledValueHelper* other) const
{
    if (other == nullptr)
        return false;
    const QString mine = localizedLabel();
    const QString theirs = other->localizedLabel();
    if (mine.isEmpty() != theirs.isEmpty())
        return false;
    if (!mine.isEmpty() && mine != theirs)
        return false;
    return isEqualToValue(other);
}

KQLabeledValueProperty* KQLabeledValueHelper::delegate() const
{
    return m_delegate;
}

void KQLabeledValueHelper::setDelegate(KQLabeledValueProperty* delegate)
{
    m_delegate = delegate;
}

void KQLabeledValueHelper::labelValueDidChanged()
{
    if (m_delegate)
        m_delegate->labeledValueDidChanged(this);
}

QString KQLabeledValueHelper::entryIdentifier() const
{
    const QString id = std::visit(
        [](const auto& v) -> QString {
            if constexpr (std::is_same_v<std::decay_t<decltype(v)>, std::monostate>)
                return {};
            else
                return v.identifier();
        },
        m_original);
    return id.isEmpty() ? CNMakeIdentifier() : id;
}

const QString& KQLabeledValueHelper::regexEmail()
{
    // The RFC 5322 general e-mail pattern, as published.
    static const QString pattern = QStringLiteral(
        "(?:[a-z0-9!#$%\\&'*+/=?\\^_`{|}~-]+(?:\\.[a-z0-9!#$%\\&'*+/=?\\^_`{|}~-]+)*|\"(?:[\\x01-\\x08\\x0b\\x0c"
        "\\x0e-\\x1f\\x21\\x23-\\x5b\\x5d-\\x7f]|\\\\[\\x01-\\x09\\x0b\\x0c\\x0e-\\x7f])*\")@(?:(?:[a-z0-9](?:"
        "[a-z0-9-]*[a-z0-9])?\\.)+[a-z0-9](?:[a-z0-9-]*[a-z0-9])?|\\[(?:(?:25[0-5]|2[0-4][0-9]|[01]?[0-9][0-9]?)"
        "\\.){3}(?:25[0-5]|2[0-4][0-9]|[01]?[0-9][0-9]?|[a-z0-9-]*[a-z0-9]:(?:[\\x01-\\x08\\x0b\\x0c\\x0e-\\x1f"
        "\\x21-\\x5a\\x53-\\x7f]|\\\\[\\x01-\\x09\\x0b\\x0c\\x0e-\\x7f])+)\\])");
    return pattern;
}

bool KQLabeledValueHelper::stringValueValidWithRegex(const QString& text, const QString& pattern)
{
    if (text.isEmpty() || pattern.isEmpty())
        return true;
    // Whole-text, case-insensitive match. Compiled patterns are cached per thread.
    thread_local QString cachedPattern;
    thread_local QRegularExpression cached;
    if (cachedPattern != pattern) {
        cached =
            QRegularExpression(QRegularExpression::anchoredPattern(pattern), QRegularExpression::CaseInsensitiveOption);
        cachedPattern = pattern;
    }
    return cached.isValid() && cached.match(text).hasMatch();
}

bool KQLabeledValueHelper::findValidEmailAddressString(const QString& text)
{
    if (text.isEmpty())
        return true;
    return stringValueValidWithRegex(text, regexEmail());
}

bool KQLabeledValueHelper::findValidPhoneNumberString(const QString& text)
{
    QString padded = text;
    // Short local numbers are padded with the digit 1 so that the detector sees a full-length number.
    if (padded.size() >= 4 && padded.size() <= 9) {
        while (padded.size() < 10)
            padded.append(QLatin1Char('1'));
    }
    return KQPhoneNumberDetector::shared().matchesWholeText(padded);
}
