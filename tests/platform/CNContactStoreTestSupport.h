#pragma once
// Helpers shared by the contact store tests: sample contacts, a raw dump of every table, and
// waiting for a signal with the event loop.

#include "platform/CNContactStore.h"
#include "platform/KQNotificationCenter.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QImage>
#include <QTimer>
#include <atomic>
#include <gtest/gtest.h>
#include <ostream>
#include <sqlite3.h>

// Readable QString values in test failures.
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace storetest {

inline QString operator""_q(const char* text, size_t size)
{
    return QString::fromUtf8(text, static_cast<qsizetype>(size));
}

inline QByteArray pngImage(int width, int height, QColor color = Qt::darkCyan)
{
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

inline CNDateComponents date(std::optional<int> year, std::optional<int> month, std::optional<int> day,
                             const QString& calendar = {})
{
    CNDateComponents d;
    d.year = year;
    d.month = month;
    d.day = day;
    d.calendarIdentifier = calendar;
    return d;
}

// A contact with every field set, labels both constant and custom, and texts beyond ASCII.
inline CNMutableContactPtr fullContact(const QString& identifier = QStringLiteral("FULL-CONTACT"))
{
    auto c = std::make_shared<CNMutableContact>();
    c->setIdentifier(identifier);
    c->setContactType(CNContactType::Organization);
    c->setNamePrefix(QStringLiteral("Dr."));
    c->setGivenName(QStringLiteral("Zoë"));
    c->setMiddleName(QStringLiteral("Ann"));
    c->setFamilyName(QStringLiteral("Ångström"));
    c->setPreviousFamilyName(QStringLiteral("Berg"));
    c->setNameSuffix(QStringLiteral("PhD"));
    c->setNickname(QStringLiteral("Zo"));
    c->setOrganizationName(QStringLiteral("Acme ✓"));
    c->setDepartmentName(QStringLiteral("R&D"));
    c->setJobTitle(QStringLiteral("Chemist"));
    c->setPhoneticGivenName(QStringLiteral("Zo-ee"));
    c->setPhoneticMiddleName(QStringLiteral("An"));
    c->setPhoneticFamilyName(QStringLiteral("Ong-strum"));
    c->setPhoneticOrganizationName(QStringLiteral("Ak-mee"));
    c->setBirthday(date(std::nullopt, 2, 29));
    c->setNonGregorianBirthday(date(5784, 7, 1, CNCalendarIdentifierHebrew));
    c->setNote(QStringLiteral("Line one\nLine two 日本語"));
    c->setImageData(pngImage(40, 30));
    c->setThumbnailImageData(QByteArray("given thumbnail"));
    c->setPhoneNumbers({{CNLabelPhoneNumberMobile, CNPhoneNumber(QStringLiteral("+1 555 0100"))},
                        {QStringLiteral("lowercase-id"), QStringLiteral("Boat"), CNPhoneNumber(QStringLiteral("12"))}});
    c->setEmailAddresses({{CNLabelWork, QStringLiteral("zoe@example.com")}, {QString(), QStringLiteral("x@y.z")}});
    CNPostalAddress address;
    address.street = QStringLiteral("1 Main St\nApt 2");
    address.subLocality = QStringLiteral("Old Town");
    address.city = QStringLiteral("Springfield");
    address.subAdministrativeArea = QStringLiteral("County");
    address.state = QStringLiteral("IL");
    address.postalCode = QStringLiteral("62701");
    address.country = QStringLiteral("United States");
    address.isoCountryCode = QStringLiteral("us");
    c->setPostalAddresses({{CNLabelHome, address}});
    c->setDates({{CNLabelDateAnniversary, date(2001, 6, 15)}, {QStringLiteral("Met"), date(-44, 3, 15)}});
    c->setUrlAddresses({{CNLabelURLAddressHomePage, QStringLiteral("https://example.com/ä")}});
    c->setContactRelations({{CNLabelContactRelationSpouse, CNContactRelation(QStringLiteral("Sam"))}});
    c->setSocialProfiles(
        {{CNSocialProfileServiceTwitter, CNSocialProfile(QStringLiteral("https://t.example/zoe"), QStringLiteral("zoe"),
                                                         QStringLiteral("42"), CNSocialProfileServiceTwitter)},
         {QStringLiteral("custom"), CNSocialProfile({}, QStringLiteral("z"), {}, QStringLiteral("Mastodon"))}});
    c->setInstantMessageAddresses(
        {{CNLabelHome, CNInstantMessageAddress(QStringLiteral("zoe.s"), CNInstantMessageServiceSkype)},
         {CNLabelOther, CNInstantMessageAddress(QStringLiteral("zz"), QStringLiteral("Matrix"))}});
    return c;
}

inline CNMutableContactPtr person(const QString& identifier, const QString& given, const QString& family = {})
{
    auto c = std::make_shared<CNMutableContact>(CNContactData{}, CNKeySet());
    c->setIdentifier(identifier);
    c->setGivenName(given);
    c->setFamilyName(family);
    return c;
}

// Every row of every table, blobs in hex, plus the schema version: equal dumps mean an
// untouched database.
inline QStringList dumpDatabase(const QString& path)
{
    QStringList lines;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return {QStringLiteral("cannot open")};
    }
    std::vector<QString> tables;
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db, "SELECT name FROM sqlite_schema WHERE type = 'table' ORDER BY name", -1, &s, nullptr);
    while (sqlite3_step(s) == SQLITE_ROW)
        tables.push_back(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(s, 0))));
    sqlite3_finalize(s);
    sqlite3_prepare_v2(db, "PRAGMA user_version", -1, &s, nullptr);
    sqlite3_step(s);
    lines << QStringLiteral("user_version=%1").arg(sqlite3_column_int(s, 0));
    sqlite3_finalize(s);
    for (const QString& table : tables) {
        const QByteArray sql = "SELECT * FROM \"" + table.toUtf8() + "\"";
        sqlite3_prepare_v2(db, sql.constData(), -1, &s, nullptr);
        while (sqlite3_step(s) == SQLITE_ROW) {
            QString line = table;
            for (int i = 0; i < sqlite3_column_count(s); ++i) {
                line += QLatin1Char('|');
                if (sqlite3_column_type(s, i) == SQLITE_NULL)
                    line += QStringLiteral("NULL");
                else
                    line += QString::fromLatin1(
                        QByteArray(static_cast<const char*>(sqlite3_column_blob(s, i)), sqlite3_column_bytes(s, i))
                            .toHex());
            }
            lines << line;
        }
        sqlite3_finalize(s);
    }
    sqlite3_close(db);
    return lines;
}

inline qint64 queryInt(const QString& path, const char* sql)
{
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_stmt* s = nullptr;
    qint64 value = -1;
    if (sqlite3_prepare_v2(db, sql, -1, &s, nullptr) == SQLITE_OK && sqlite3_step(s) == SQLITE_ROW)
        value = sqlite3_column_int64(s, 0);
    sqlite3_finalize(s);
    sqlite3_close(db);
    return value;
}

inline bool execSql(const QString& path, const char* sql)
{
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    const bool ok = sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return ok;
}

inline CNContactList fetch(const CNContactStore& store, const QStringList& keys,
                           const std::optional<CNContactPredicate>& predicate = std::nullopt, CNError* error = nullptr)
{
    CNContactFetchRequest request(keys);
    if (predicate)
        request.setPredicate(*predicate);
    CNContactList contacts;
    store.enumerateContactsWithFetchRequest(request, error,
                                            [&](const CNContactPtr& c, bool*) { contacts.push_back(c); });
    return contacts;
}

inline QStringList identifiers(const CNContactList& contacts)
{
    QStringList ids;
    for (const auto& c : contacts)
        ids << c->identifier();
    return ids;
}

// Counts the store's change signals and notifications from the moment it is made.
class ChangeSpy
{
public:
    explicit ChangeSpy(CNContactStore& store)
    {
        QObject::connect(&store, &CNContactStore::didChange, &m_context, [this] { ++m_signals; });
        KQNotificationCenter::defaultCenter()->addObserver(
            CNContactStoreDidChangeNotification, &m_context, [this](const KQNotification&) { ++m_notifications; },
            &store);
    }
    int signalCount() const { return m_signals; }
    int notificationCount() const { return m_notifications; }

    // Runs the event loop until at least count signals arrived or the timeout passed.
    bool wait(int count = 1, int timeoutMs = 10000)
    {
        QEventLoop loop;
        QTimer poll;
        QElapsedTimer clock;
        clock.start();
        QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
            if (m_signals >= count || clock.elapsed() > timeoutMs)
                loop.quit();
        });
        poll.start(10);
        if (m_signals < count)
            loop.exec();
        return m_signals >= count;
    }

private:
    QObject m_context;
    std::atomic<int> m_signals{0};
    std::atomic<int> m_notifications{0};
};

} // namespace storetest
