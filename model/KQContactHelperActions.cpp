// The record's actions: call, message, video call, e-mail and web addresses, handed to the desktop.

#include "model/KQContactHelper.h"
#include "model/KQLabeledEmail.h"
#include "model/KQLabeledPhoneNumber.h"
#include "model/KQLabeledURL.h"

#include <QDesktopServices>

namespace {

std::function<bool(const QUrl&)>& urlOpener()
{
    static std::function<bool(const QUrl&)> opener = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
    return opener;
}

} // namespace

void KQContactHelper::setUrlOpener(std::function<bool(const QUrl&)> opener)
{
    urlOpener() = std::move(opener);
}

void KQContactHelper::openUrl(const QString& text)
{
    const QUrl url(text, QUrl::StrictMode);
    if (url.isValid() && !url.scheme().isEmpty())
        urlOpener()(url);
}

bool KQContactHelper::enableCall()
{
    return propertyPhoneNumbers()->countOfLabeledValueHelpers() > 0;
}

bool KQContactHelper::enableEmail()
{
    return propertyEmails()->countOfLabeledValueHelpers() > 0;
}

QStringList KQContactHelper::availableNames(KQLabeledValueProperty* property)
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

QStringList KQContactHelper::availableCallNames()
{
    return availableNames(propertyPhoneNumbers());
}

QStringList KQContactHelper::availableEmailNames()
{
    return availableNames(propertyEmails());
}

QStringList KQContactHelper::availableFacetimeNames()
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

void KQContactHelper::callToPersonAtIndex(int index)
{
    callToPersonWithPhoneName(phoneAt(propertyPhoneNumbers(), index));
}

void KQContactHelper::messageToPersonAtIndex(int index)
{
    messageToPersonWithPhoneNumber(phoneAt(propertyPhoneNumbers(), index));
}

void KQContactHelper::emailToPersonAtIndex(int index)
{
    emailToPersonWithEmail(emailAt(propertyEmails(), index));
}

void KQContactHelper::facetimeToPersonAtIndex(int index)
{
    const int calls = static_cast<int>(availableCallNames().size());
    if (index < calls)
        facetimeToPersonWithPhoneNumber(phoneAt(propertyPhoneNumbers(), index));
    else
        facetimeToPersonWithEmail(emailAt(propertyEmails(), index - calls));
}

void KQContactHelper::callToPersonWithName(const QString& name)
{
    KQLabeledValueProperty* phones = propertyPhoneNumbers();
    callToPersonAtIndex(phones->indexOfLabeledValueHelper(phones->labeledValueHelperWithName(name).get()));
}

void KQContactHelper::messageToPersonWithName(const QString& name)
{
    KQLabeledValueProperty* phones = propertyPhoneNumbers();
    messageToPersonAtIndex(phones->indexOfLabeledValueHelper(phones->labeledValueHelperWithName(name).get()));
}

void KQContactHelper::emailToPersonWithName(const QString& name)
{
    KQLabeledValueProperty* emails = propertyEmails();
    emailToPersonAtIndex(emails->indexOfLabeledValueHelper(emails->labeledValueHelperWithName(name).get()));
}

void KQContactHelper::facetimeToPersonWithName(const QString& name)
{
    KQLabeledValueProperty* phones = propertyPhoneNumbers();
    if (const auto phone = phones->labeledValueHelperWithName(name)) {
        facetimeToPersonWithPhoneNumber(phoneAt(phones, phones->indexOfLabeledValueHelper(phone.get())));
        return;
    }
    KQLabeledValueProperty* emails = propertyEmails();
    if (const auto email = emails->labeledValueHelperWithName(name))
        facetimeToPersonWithEmail(emailAt(emails, emails->indexOfLabeledValueHelper(email.get())));
}

void KQContactHelper::callToPersonWithPhoneName(const std::optional<QString>& number)
{
    if (number)
        openUrl(QStringLiteral("tel:%1").arg(adjustPhoneNumber(*number)));
}

void KQContactHelper::messageToPersonWithPhoneNumber(const std::optional<QString>& number)
{
    if (number)
        openUrl(QStringLiteral("sms:%1").arg(adjustPhoneNumber(*number)));
}

void KQContactHelper::facetimeToPersonWithPhoneNumber(const std::optional<QString>& number)
{
    if (number)
        openUrl(QStringLiteral("facetime:%1").arg(adjustPhoneNumber(*number)));
}

void KQContactHelper::facetimeToPersonWithEmail(const std::optional<QString>& email)
{
    if (email)
        openUrl(QStringLiteral("facetime:%1").arg(*email));
}

void KQContactHelper::emailToPersonWithEmail(const std::optional<QString>& email)
{
    if (email)
        openUrl(QStringLiteral("mailto:%1").arg(*email));
}

QString KQContactHelper::adjustPhoneNumber(const QString& number)
{
    QString digits;
    for (const QChar c : number) {
        const int code = c.unicode() % 256;
        if (code >= '0' && code <= '9')
            digits.append(QLatin1Char(static_cast<char>(code)));
    }
    return digits;
}

void KQContactHelper::openURLWithURLAddresses(const KQLabeledValueHelper* url)
{
    const auto* link = qobject_cast<const KQLabeledURL*>(url);
    if (link != nullptr && !link->urlString().isEmpty())
        openUrl(link->urlString());
}
