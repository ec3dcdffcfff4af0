#pragma once
// Helpers of the import and export tests: generated contacts, files in a temporary folder, and a
// recording import delegate.

#include "exchange/KQImportExportMgr.h"
#include "platform/CNLabels.h"
#include "platform/CNMutableContact.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <ostream>

inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace exchangetest {

inline QByteArray pngImage(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor(40, 120, 200));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

inline bool writeFile(const QString& path, const QByteArray& data)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

inline QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Contact number i with every field kind, custom labels, a note with line breaks and commas, and
// (every tenth) a photo. No double quotation marks anywhere.
inline CNMutableContactPtr generatedContact(int i, bool photo = true)
{
    auto c = std::make_shared<CNMutableContact>();
    static const char* given[] = {"Anna", "Jürgen", "Zoë", "李", "Øyvind", "María José"};
    static const char* family[] = {"Smith", "Müller", "Nowak", "王", "Ó Súilleabháin", "Lefèvre"};
    c->setNamePrefix(i % 7 == 0 ? QStringLiteral("Dr.") : QString());
    c->setGivenName(QString::fromUtf8(given[i % 6]) + QString::number(i));
    c->setMiddleName(i % 3 == 0 ? QStringLiteral("Lee") : QString());
    c->setFamilyName(QString::fromUtf8(family[i % 6]));
    c->setNameSuffix(i % 11 == 0 ? QStringLiteral("Jr.") : QString());
    c->setNickname(QStringLiteral("nick%1").arg(i));
    c->setOrganizationName(QStringLiteral("Firm %1").arg(i % 13));
    c->setDepartmentName(QStringLiteral("Sales"));
    c->setJobTitle(QStringLiteral("Agent"));
    c->setPhoneticGivenName(QStringLiteral("ahn-na"));
    c->setPhoneticFamilyName(QStringLiteral("smith"));
    c->setNote(QStringLiteral("Met at the fair, line one;\nline two, with commas\\ and a backslash"));
    CNDateComponents birthday;
    birthday.year = 1970 + i % 40;
    birthday.month = 1 + i % 12;
    birthday.day = 1 + i % 28;
    c->setBirthday(birthday);
    c->setPhoneNumbers({{CNLabelPhoneNumberMobile, CNPhoneNumber(QStringLiteral("+1 555 %1").arg(1000 + i))},
                        {CNLabelHome, CNPhoneNumber(QStringLiteral("030 %1").arg(200000 + i))},
                        {QStringLiteral("Boat"), CNPhoneNumber(QStringLiteral("+44 20 %1").arg(7000 + i))}});
    c->setEmailAddresses({{CNLabelWork, QStringLiteral("user%1@example.org").arg(i)},
                          {CNLabelHome, QStringLiteral("home%1@example.net").arg(i)}});
    c->setUrlAddresses({{CNLabelURLAddressHomePage, QStringLiteral("https://example.org/%1").arg(i)}});
    CNPostalAddress address;
    address.street = QStringLiteral("%1 Main Street").arg(i);
    address.city = QStringLiteral("Springfield");
    address.state = QStringLiteral("IL");
    address.postalCode = QStringLiteral("62701");
    address.country = QStringLiteral("USA");
    c->setPostalAddresses({{CNLabelHome, address}});
    CNDateComponents anniversary;
    anniversary.year = 2001;
    anniversary.month = 6;
    anniversary.day = 15;
    c->setDates({{CNLabelDateAnniversary, anniversary}});
    c->setContactRelations({{CNLabelContactRelationSpouse, CNContactRelation(QStringLiteral("Pat"))}});
    c->setSocialProfiles(
        {{CNLabelHome, CNSocialProfile(QStringLiteral("https://social.example/u%1").arg(i),
                                       QStringLiteral("u%1").arg(i), QString(), CNSocialProfileServiceTwitter)}});
    c->setInstantMessageAddresses(
        {{CNLabelHome, CNInstantMessageAddress(QStringLiteral("im%1").arg(i), CNInstantMessageServiceSkype)}});
    if (photo && i % 10 == 0)
        c->setImageData(pngImage(32 + i % 5, 24));
    return c;
}

inline KQContactHelperList generatedRecords(int count, bool photo = true)
{
    KQContactHelperList records;
    for (int i = 0; i < count; ++i)
        records.push_back(KQContactHelper::create(generatedContact(i, photo), true));
    return records;
}

// Records what an import hands to its delegate; answers progress with cancelAt (never by default).
class RecordingDelegate : public KQImportExportMgrDelegate
{
public:
    bool importExportMgrProgress(KQImportExportMgr*, double percent, const QString&) override
    {
        progress.push_back(percent);
        return cancelAt >= 0 && percent >= cancelAt;
    }
    void importExportMgrGetContacts(KQImportExportMgr*, const KQContactHelperList& contacts) override
    {
        received.insert(received.end(), contacts.begin(), contacts.end());
    }
    std::optional<QStringList> importExportMgrMapFields(KQImportExportMgr*, const QString&, const QStringList& t,
                                                        const QStringList& k) override
    {
        titles = t;
        proposal = k;
        return mapAnswer;
    }
    void importExportMgrCompleteProcess(KQImportExportMgr*) override { completed = true; }

    std::vector<double> progress;
    KQContactHelperList received;
    QStringList titles;
    QStringList proposal;
    std::optional<QStringList> mapAnswer;
    double cancelAt = -1;
    bool completed = false;
};

} // namespace exchangetest
