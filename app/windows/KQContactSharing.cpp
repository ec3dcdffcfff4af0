#include "app/windows/KQContactSharing.h"

#include "exchange/KQImportExportMgr.h"
#include "model/KQLabeledEmail.h"
#include "platform/CNContactVCardSerialization.h"
#include "platform/KQLog.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStandardPaths>

QUrl KQContactSharing::mailtoURLForContacts(const std::vector<KQContactHelperPtr>& contacts)
{
    QStringList addresses;
    for (const auto& contact : contacts) {
        if (!contact || !contact->enableEmail())
            continue;
        const auto email = contact->propertyEmails()->firstValidEmail();
        const QString address = email ? email->email().trimmed() : QString();
        if (address.isEmpty() || addresses.contains(address))
            continue;
        addresses.append(address);
    }
    if (addresses.isEmpty())
        return {};
    const QString text = QStringLiteral("mailto:") + addresses.join(QLatin1Char(','));
    const QUrl url(text);
    if (!url.isValid())
        KQLog(QStringLiteral("Email string - %1").arg(text));
    return url;
}

bool KQContactSharing::sendEmailToContacts(const std::vector<KQContactHelperPtr>& contacts)
{
    const QUrl url = mailtoURLForContacts(contacts);
    if (!url.isValid() || url.isEmpty())
        return false;
    return QDesktopServices::openUrl(url);
}

QString KQContactSharing::shareFilePath(const std::vector<KQContactHelperPtr>& contacts)
{
    QString name = contacts.size() == 1 && contacts.front() ? contacts.front()->fullName() : QString();
    // Only what every file system and mail program takes in a file name.
    static const QRegularExpression unsafe(QStringLiteral("[/\\\\:*?\"<>|\\x00-\\x1f]"));
    name = name.replace(unsafe, QStringLiteral(" ")).simplified().left(80);
    if (name.isEmpty() || name.startsWith(QLatin1Char('.')))
        name = QStringLiteral("Contacts");
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::CacheLocation) + QStringLiteral("/share");
    return folder + QLatin1Char('/') + name + QStringLiteral(".vcf");
}

bool KQContactSharing::shareWithMail(const std::vector<KQContactHelperPtr>& contacts, QString* why)
{
    const auto fail = [why](const QString& reason) {
        KQLog(QStringLiteral("Share with mail - %1").arg(reason));
        if (why != nullptr)
            *why = reason;
        return false;
    };
    if (contacts.empty())
        return fail(QStringLiteral("No contacts to share."));
    const QString body = textForContacts(contacts);
    const QString mailer = QStandardPaths::findExecutable(QStringLiteral("xdg-email"));
    if (mailer.isEmpty()) {
        const QUrl url = QUrl::fromEncoded("mailto:?body=" + QUrl::toPercentEncoding(body));
        if (!QDesktopServices::openUrl(url))
            return fail(QStringLiteral("No mail program could be opened."));
        return true;
    }
    const QString path = shareFilePath(contacts);
    QDir().mkpath(QFileInfo(path).path());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(vCardDataForContacts(contacts)) < 0 || !file.commit())
        return fail(QStringLiteral("The cards could not be written to %1: %2").arg(path, file.errorString()));
    if (!QProcess::startDetached(
            mailer, {QStringLiteral("--utf8"), QStringLiteral("--body"), body, QStringLiteral("--attach"), path}))
        return fail(QStringLiteral("The mail program %1 could not be started.").arg(mailer));
    return true;
}

QByteArray KQContactSharing::vCardDataForContacts(const std::vector<KQContactHelperPtr>& contacts)
{
    QByteArray data;
    for (const auto& contact : contacts) {
        if (!contact)
            continue;
        contact->syncLoadAllKeysIfNecessary();
        const CNContactPtr card = contact->effectiveContact();
        QByteArray one = CNContactVCardSerialization::dataWithContacts({card});
        // The note and the picture travel inside the card, as in a vCard export.
        const QByteArray extra =
            KQImportExportMgr::makeContactNoteData(*card) + KQImportExportMgr::makeContactProfilePictureData(*card);
        const int end = one.lastIndexOf("END:VCARD");
        if (!extra.isEmpty() && end >= 0)
            one.insert(end, extra);
        data += one;
    }
    return data;
}

QString KQContactSharing::textForContacts(const std::vector<KQContactHelperPtr>& contacts)
{
    QString text;
    for (const auto& contact : contacts) {
        if (!contact)
            continue;
        contact->syncLoadAllKeysIfNecessary();
        text += QStringLiteral("%1\n\n").arg(contact->info());
    }
    return text;
}

std::unique_ptr<QMimeData> KQContactSharing::vCardMimeData(const std::vector<KQContactHelperPtr>& contacts)
{
    auto mime = std::make_unique<QMimeData>();
    const QByteArray cards = vCardDataForContacts(contacts);
    mime->setData(QStringLiteral("text/vcard"), cards);
    mime->setData(QStringLiteral("text/x-vcard"), cards);
    mime->setText(QString::fromUtf8(cards));
    return mime;
}

std::unique_ptr<QMimeData> KQContactSharing::textMimeData(const std::vector<KQContactHelperPtr>& contacts)
{
    auto mime = std::make_unique<QMimeData>();
    mime->setText(textForContacts(contacts));
    return mime;
}

void KQContactSharing::copyAsVCard(const std::vector<KQContactHelperPtr>& contacts)
{
    QGuiApplication::clipboard()->setMimeData(vCardMimeData(contacts).release());
}

void KQContactSharing::copyAsText(const std::vector<KQContactHelperPtr>& contacts)
{
    QGuiApplication::clipboard()->setMimeData(textMimeData(contacts).release());
}
