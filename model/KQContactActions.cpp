// The record's actions: call, message, video call, e-mail and web addresses, handed to the desktop.

#include "model/KQContactActions.h"

#include "model/KQContactHelper.h"
#include "model/KQLabeledEmail.h"
#include "model/KQLabeledPhoneNumber.h"
#include "model/KQLabeledURL.h"

#include <QDesktopServices>

namespace {

std::function<bool(const QUrl&)>& urlOpener()
{
    static auto& opener =
        *new std::function<bool(const QUrl&)>([](const QUrl& url) { return QDesktopServices::openUrl(url); });
    return opener;
}

} // namespace

void KQContactActions::setUrlOpener(std::function<bool(const QUrl&)> opener)
{
    urlOpener() = std::move(opener);
}

void KQContactActions::openUrl(const QString& text)
{
    const QUrl url(text, QUrl::StrictMode);
    if (url.isValid() && !url.scheme().isEmpty())
        urlOpener()(url);
}

bool KQContactActions::enableCall()
{
    return m_record.propertyPhoneNumbers()->countOfLabeledValueHelpers() > 0;
}

bool KQContactActions::enableEmail()
{
    return m_record.propertyEmails()->countOfLabeledValueHelpers() > 0;
}

QStringList KQContactActions::availableNames(KQLabeledValueProperty* property)
{
    QStringList names;
    for (const auto& helper : property->labeledValueHelpers()) {
        if (!helper->localizedLabel().isEmpty())
            names.append(helper->localizedLabel());
        else if (!helper->label().isEmpty())
            names.append(helper->label());
        else if (!helper->valueString().isEmpty())
            names.append(helper->valueString());
    }
    return names;
}

QStringList KQContactActions::availableCallNames()
{
    return availableNames(m_record.propertyPhoneNumbers());
}

QStringList KQContactActions::availableEmailNames()
{
    return availableNames(m_record.propertyEmails());
}

QStringList KQContactActions::availableFacetimeNames()
{
    return availableCallNames() + availableEmailNames();
}

namespace {

std::optional<QString> phoneAt(KQLabeledValueProperty* phones, int index)
{
    const auto phone =
        std::dynamic_pointer_cast<KQLabeledPhoneNumber>(phones->objectInLabeledValueHelpersAtIndex(index));
    if (!phone || !phone->phoneNumaber())
        return std::nullopt;
    return phone->phoneNumberStringValue();
}

std::optional<QString> emailAt(KQLabeledValueProperty* emails, int index)
{
    const auto email = std::dynamic_pointer_cast<KQLabeledEmail>(emails->objectInLabeledValueHelpersAtIndex(index));
    if (!email)
        return std::nullopt;
    return email->email();
}

} // namespace

void KQContactActions::callToPersonAtIndex(int index)
{
    callToPersonWithPhoneName(phoneAt(m_record.propertyPhoneNumbers(), index));
}

void KQContactActions::messageToPersonAtIndex(int index)
{
    messageToPersonWithPhoneNumber(phoneAt(m_record.propertyPhoneNumbers(), index));
}

void KQContactActions::emailToPersonAtIndex(int index)
{
    emailToPersonWithEmail(emailAt(m_record.propertyEmails(), index));
}

void KQContactActions::facetimeToPersonAtIndex(int index)
{
    const int calls = static_cast<int>(availableCallNames().size());
    if (index < calls)
        facetimeToPersonWithPhoneNumber(phoneAt(m_record.propertyPhoneNumbers(), index));
    else
        facetimeToPersonWithEmail(emailAt(m_record.propertyEmails(), index - calls));
}

void KQContactActions::callToPersonWithName(const QString& name)
{
    KQLabeledValueProperty* phones = m_record.propertyPhoneNumbers();
    callToPersonAtIndex(phones->indexOfLabeledValueHelper(phones->labeledValueHelperWithName(name).get()));
}

void KQContactActions::messageToPersonWithName(const QString& name)
{
    KQLabeledValueProperty* phones = m_record.propertyPhoneNumbers();
    messageToPersonAtIndex(phones->indexOfLabeledValueHelper(phones->labeledValueHelperWithName(name).get()));
}

void KQContactActions::emailToPersonWithName(const QString& name)
{
    KQLabeledValueProperty* emails = m_record.propertyEmails();
    emailToPersonAtIndex(emails->indexOfLabeledValueHelper(emails->labeledValueHelperWithName(name).get()));
}

void KQContactActions::facetimeToPersonWithName(const QString& name)
{
    KQLabeledValueProperty* phones = m_record.propertyPhoneNumbers();
    if (const auto phone = phones->labeledValueHelperWithName(name)) {
        facetimeToPersonWithPhoneNumber(phoneAt(phones, phones->indexOfLabeledValueHelper(phone.get())));
        return;
    }
    KQLabeledValueProperty* emails = m_record.propertyEmails();
    if (const auto email = emails->labeledValueHelperWithName(name))
        facetimeToPersonWithEmail(emailAt(emails, emails->indexOfLabeledValueHelper(email.get())));
}

void KQContactActions::callToPersonWithPhoneName(const std::optional<QString>& number)
{
    if (number)
        openUrl(QStringLiteral("tel:%1").arg(adjustPhoneNumber(*number)));
}

void KQContactActions::messageToPersonWithPhoneNumber(const std::optional<QString>& number)
{
    if (number)
        openUrl(QStringLiteral("sms:%1").arg(adjustPhoneNumber(*number)));
}

void KQContactActions::facetimeToPersonWithPhoneNumber(const std::optional<QString>& number)
{
    if (number)
        openUrl(QStringLiteral("facetime:%1").arg(adjustPhoneNumber(*number)));
}

void KQContactActions::facetimeToPersonWithEmail(const std::optional<QString>& email)
{
    if (email)
        openUrl(QStringLiteral("facetime:%1").arg(*email));
}

void KQContactActions::emailToPersonWithEmail(const std::optional<QString>& email)
{
    if (email)
        openUrl(QStringLiteral("mailto:%1").arg(*email));
}

QString KQContactActions::adjustPhoneNumber(const QString& number)
{
    QString digits;
    for (const QChar c : number) {
        const int code = c.unicode() % 256;
        if (code >= '0' && code <= '9')
            digits.append(QLatin1Char(static_cast<char>(code)));
    }
    return digits;
}

void KQContactActions::openURLWithURLAddresses(const KQLabeledValueHelper* url)
{
    const auto* link = qobject_cast<const KQLabeledURL*>(url);
    if (link != nullptr && !link->urlString().isEmpty())
        openUrl(link->urlString());
}
