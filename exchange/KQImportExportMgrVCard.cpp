// vCard import and export of the orchestrator, over the platform's vCard serializer.
#include "exchange/KQImportExportMgr.h"
#include "exchange/KQImportExportMgrReporter.h"
#include "platform/CNContactVCardSerialization.h"
#include "platform/KQLog.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QSaveFile>

namespace {

// The last bytes of every card the serializer writes: "END:VCARD\r\n".
constexpr qsizetype kEndLineBytes = 11;

QString escapeText(const QString& text)
{
    QString escaped;
    escaped.reserve(text.size() + 8);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        switch (c.unicode()) {
        case u'\\':
            escaped += QStringLiteral("\\\\");
            break;
        case u',':
            escaped += QStringLiteral("\\,");
            break;
        case u';':
            escaped += QStringLiteral("\\;");
            break;
        case u'\r':
            if (i + 1 < text.size() && text.at(i + 1) == u'\n')
                ++i;
            escaped += QStringLiteral("\\n");
            break;
        case u'\n':
            escaped += QStringLiteral("\\n");
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

// One content line folded at 75 octets, never inside a UTF-8 sequence, ending in CR LF.
QByteArray foldedLine(const QByteArray& line)
{
    QByteArray out;
    out.reserve(line.size() + line.size() / 70 * 3 + 2);
    qsizetype start = 0;
    qsizetype limit = 75;
    while (line.size() - start > limit) {
        qsizetype cut = start + limit;
        while (cut > start && (static_cast<unsigned char>(line.at(cut)) & 0xC0) == 0x80)
            --cut;
        out.append(line.constData() + start, cut - start);
        out.append("\r\n ");
        start = cut;
        limit = 74; // the leading blank of a continuation counts
    }
    out.append(line.constData() + start, line.size() - start);
    out.append("\r\n");
    return out;
}

} // namespace

QByteArray KQImportExportMgr::makeContactNoteData(const CNContact& contact)
{
    if (!contact.isKeyAvailable(CNKeyId::Note) || contact.note().isEmpty())
        return {};
    return foldedLine(QByteArrayLiteral("NOTE:") + escapeText(contact.note()).toUtf8());
}

QByteArray KQImportExportMgr::makeContactUIDData(const CNContact& contact)
{
    const QString uid = contact.cardUID().isEmpty() ? contact.identifier() : contact.cardUID();
    if (uid.isEmpty())
        return {};
    return foldedLine(QByteArrayLiteral("UID:") + escapeText(uid).toUtf8());
}

QByteArray KQImportExportMgr::makeContactProfilePictureData(const CNContact& contact)
{
    QByteArray data;
    if (contact.isKeyAvailable(CNKeyId::ImageData))
        data = contact.imageData();
    if (data.isEmpty() && contact.isKeyAvailable(CNKeyId::ThumbnailImageData))
        data = contact.thumbnailImageData();
    if (data.isEmpty())
        return {};
    const QImage image = QImage::fromData(data);
    if (image.isNull())
        return {};
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "JPEG"))
        return {};
    return QByteArrayLiteral("PHOTO;ENCODING=b;TYPE=JPEG:") + jpeg.toBase64() + '\n';
}

void KQImportExportMgr::importFromvCardFile(const QString& path)
{
    QFile file(path);
    QByteArray data;
    if (file.open(QIODevice::ReadOnly))
        data = file.readAll();
    if (data.isEmpty()) {
        KQLog(QStringLiteral("vCard(%1) is empty or not allowed to read").arg(path));
        addError(QStringLiteral("%1: the file is empty or cannot be read").arg(path));
        return;
    }
    Reporter reporter(this, path);
    if (reporter.report(0.0, true))
        return;
    CNError error;
    CNContactList contacts = CNContactVCardSerialization::contactsWithData(data, &error);
    data.clear();
    if (error.isError())
        KQLog(error.description());
    if (contacts.empty()) {
        addError(QStringLiteral("%1: no vCard could be read%2")
                     .arg(path,
                          error.isError() ? QStringLiteral(" (") + error.description() + QLatin1Char(')') : QString()));
    }
    const size_t n = contacts.size();
    for (size_t k = 0; k < n; ++k) {
        if (CNContactPtr contact = std::move(contacts[k]))
            reporter.add(KQContactHelper::create(contact, true));
        if (reporter.report(static_cast<double>(k) * 100.0 / static_cast<double>(n)))
            return; // cancelled: no final report
    }
    reporter.report(100.0, true);
}

bool KQImportExportMgr::exportContactsWithVCardOption(const KQContactHelperList& contacts, const QString& path,
                                                      const KQContactFormat& format)
{
    Q_UNUSED(format);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        KQLog(QStringLiteral("Failed to create vCard File."));
        addError(QStringLiteral("cannot create %1: %2").arg(path, file.errorString()));
        return false;
    }
    Reporter reporter(this, QString());
    bool ok = true;
    const size_t n = contacts.size();
    for (size_t k = 0; k < n && ok; ++k) {
        KQContactHelper& record = *contacts[k];
        record.syncLoadAllKeysIfNecessary();
        const CNContactPtr contact = record.effectiveContact();
        const QByteArray card = CNContactVCardSerialization::dataWithContacts({contact});
        if (card.size() >= kEndLineBytes) {
            QByteArray added = makeContactUIDData(*contact);
            added += makeContactNoteData(*contact);
            added += makeContactProfilePictureData(*contact);
            const qsizetype body = card.size() - kEndLineBytes;
            ok = file.write(card.constData(), body) == body && file.write(added) == added.size() &&
                 file.write(card.constData() + body, kEndLineBytes) == kEndLineBytes;
        }
        if (reporter.report(static_cast<double>(static_cast<float>(k) * 100.0f / static_cast<float>(n))))
            break; // the file keeps the cards written so far
    }
    if (!ok || !file.flush() || file.error() != QFileDevice::NoError || !file.commit()) {
        addError(QStringLiteral("cannot write %1: %2").arg(path, file.errorString()));
        KQLog(QStringLiteral("Failed to write vCard File %1: %2").arg(path, file.errorString()));
        file.cancelWriting();
        return false;
    }
    return true;
}
