// Writing contacts and reading them back gives the same contacts: every field the writer writes,
// every label kind and text that needs escaping, folding or more than one byte per character.
#include "platform/CNContactVCardSerialization.h"
#include "platform/CNLabels.h"
#include "platform/CNMutableContact.h"
#include "KQTestUtil.h"

#include <QTextStream>
#include <gtest/gtest.h>
#include <random>

namespace {

class Generator
{
public:
    explicit Generator(unsigned seed) : m_random(seed) {}

    CNMutableContactPtr contact()
    {
        auto c = std::make_shared<CNMutableContact>();
        c->setContactType(chance(5) ? CNContactType::Organization : CNContactType::Person);
        c->setNamePrefix(maybe(text()));
        c->setGivenName(maybe(text()));
        c->setMiddleName(maybe(text()));
        c->setFamilyName(maybe(text()));
        c->setPreviousFamilyName(maybe(text()));
        c->setNameSuffix(maybe(text()));
        c->setNickname(maybe(text()));
        c->setOrganizationName(maybe(text()));
        c->setDepartmentName(maybe(text()));
        c->setJobTitle(maybe(text()));
        c->setPhoneticGivenName(maybe(text()));
        c->setPhoneticMiddleName(maybe(text()));
        c->setPhoneticFamilyName(maybe(text()));
        c->setPhoneticOrganizationName(maybe(text()));
        if (!chance(3))
            c->setBirthday(date(QString()));
        if (chance(3))
            c->setNonGregorianBirthday(
                date(pick({CNCalendarIdentifierChinese, CNCalendarIdentifierHebrew, CNCalendarIdentifierIslamic})));
        c->setNote(text());
        c->setImageData(QByteArray("\x89PNG", 4));

        const QStringList general = {CNLabelHome, CNLabelWork, CNLabelOther, CNLabelSchool};
        c->setPhoneNumbers(list<CNPhoneNumber>(
            general + QStringList{CNLabelPhoneNumberiPhone, CNLabelPhoneNumberMobile, CNLabelPhoneNumberMain,
                                  CNLabelPhoneNumberHomeFax, CNLabelPhoneNumberWorkFax, CNLabelPhoneNumberOtherFax,
                                  CNLabelPhoneNumberPager},
            [this] { return CNPhoneNumber(text()); }));
        c->setEmailAddresses(list<QString>(general + QStringList{CNLabelEmailiCloud}, [this] { return text(); }));
        c->setUrlAddresses(list<QString>(general + QStringList{CNLabelURLAddressHomePage}, [this] { return text(); }));
        c->setPostalAddresses(list<CNPostalAddress>(general, [this] {
            CNPostalAddress a;
            a.street = maybe(text());
            a.subLocality = maybe(text());
            a.city = maybe(text());
            a.subAdministrativeArea = maybe(text());
            a.state = maybe(text());
            a.postalCode = maybe(text());
            a.country = text(); // never an empty address
            a.isoCountryCode =
                chance(2) ? pick({QStringLiteral("ch"), QStringLiteral("us"), QStringLiteral("jp")}) : QString();
            return a;
        }));
        c->setDates(
            list<CNDateComponents>(general + QStringList{CNLabelDateAnniversary}, [this] { return date(QString()); }));
        c->setContactRelations(list<CNContactRelation>(
            {CNLabelContactRelationFather, CNLabelContactRelationMother, CNLabelContactRelationParent,
             CNLabelContactRelationBrother, CNLabelContactRelationSister, CNLabelContactRelationChild,
             CNLabelContactRelationFriend, CNLabelContactRelationSpouse, CNLabelContactRelationPartner,
             CNLabelContactRelationAssistant, CNLabelContactRelationManager, CNLabelContactRelationSon,
             CNLabelContactRelationDaughter, CNLabelHome},
            [this] { return CNContactRelation(text()); }));
        c->setInstantMessageAddresses(list<CNInstantMessageAddress>(general, [this] {
            return CNInstantMessageAddress(
                text(),
                pick({CNInstantMessageServiceAIM, CNInstantMessageServiceFacebook, CNInstantMessageServiceGaduGadu,
                      CNInstantMessageServiceGoogleTalk, CNInstantMessageServiceICQ, CNInstantMessageServiceJabber,
                      CNInstantMessageServiceMSN, CNInstantMessageServiceQQ, CNInstantMessageServiceSkype,
                      CNInstantMessageServiceYahoo, QStringLiteral("Matrix, \"chat\"; x"), QString()}));
        }));
        // A social profile's label is its service, as the program's entries keep it.
        CNSocialProfileList profiles;
        for (int i = number(0, 2); i > 0; --i) {
            const QString service =
                pick({CNSocialProfileServiceFacebook, CNSocialProfileServiceFlickr, CNSocialProfileServiceGameCenter,
                      CNSocialProfileServiceLinkedIn, CNSocialProfileServiceMySpace, CNSocialProfileServiceSinaWeibo,
                      CNSocialProfileServiceTencentWeibo, CNSocialProfileServiceTwitter, CNSocialProfileServiceYelp,
                      QStringLiteral("My Service"), QString()});
            profiles.emplace_back(service, CNSocialProfile(text(), maybe(text()), maybe(text()), service));
        }
        c->setSocialProfiles(profiles);
        return c;
    }

private:
    bool chance(int oneIn) { return std::uniform_int_distribution<int>(0, oneIn - 1)(m_random) == 0; }
    int number(int from, int to) { return std::uniform_int_distribution<int>(from, to)(m_random); }
    QString pick(const QStringList& items) { return items[number(0, int(items.size()) - 1)]; }
    QString maybe(const QString& s) { return chance(4) ? QString() : s; }

    // Texts built from pieces that stress escaping, folding, charsets and parameter quoting.
    QString text()
    {
        static const QStringList pieces = {
            QStringLiteral("Anna"),
            QStringLiteral("O'Brien, Jr."),
            QStringLiteral("a;b"),
            QStringLiteral("back\\slash"),
            QStringLiteral("line\nbreak"),
            QStringLiteral("Zoë Ünal"),
            QStringLiteral("東京都"),
            QStringLiteral("Ελληνικά"),
            QStringLiteral("Москва"),
            QStringLiteral("שלום"),
            QStringLiteral("😀👍🏽"),
            QStringLiteral("\"quoted\""),
            QStringLiteral("caret^n^'"),
            QStringLiteral("colon:yes"),
            QStringLiteral("=3D=\\n"),
            QStringLiteral("tab\there"),
            QStringLiteral(" edge "),
            QStringLiteral("x@example.com"),
            QStringLiteral("+41 (0)79 123 45 67"),
            QStringLiteral("a rather long piece of text that by itself forces the writer to fold the line"),
        };
        QString out;
        const int count = number(1, 4);
        for (int i = 0; i < count; ++i)
            out += pieces[number(0, int(pieces.size()) - 1)];
        return out;
    }

    CNDateComponents date(const QString& calendar)
    {
        CNDateComponents d;
        if (!chance(4))
            d.year = number(1900, 2030);
        d.month = number(1, 12);
        d.day = number(1, 28);
        d.calendarIdentifier = calendar;
        return d;
    }

    // A label from the kind's constants, a custom text, or none.
    template <typename T, typename Make> std::vector<CNLabeledValue<T>> list(const QStringList& constants, Make make)
    {
        std::vector<CNLabeledValue<T>> out;
        const int count = number(0, 3);
        for (int i = 0; i < count; ++i) {
            const int kind = number(0, 5);
            const QString label = kind == 0 ? QString() : kind == 1 ? text() : pick(constants);
            out.emplace_back(label, make());
        }
        return out;
    }

    std::mt19937 m_random;
};

// Every field but the identifiers, the note and the image, as text: a failure shows the difference.
QString describe(const CNContactData& d)
{
    QString out;
    QTextStream s(&out);
    const auto date = [&s](const char* name, const std::optional<CNDateComponents>& v) {
        if (v)
            s << name << '=' << v->year.value_or(-1) << '-' << v->month.value_or(-1) << '-' << v->day.value_or(-1)
              << '/' << v->hour.value_or(-1) << ':' << v->minute.value_or(-1) << '@' << v->calendarIdentifier << '\n';
    };
    s << "type=" << int(d.contactType) << "\nprefix=" << d.rare().namePrefix << "\ngiven=" << d.givenName
      << "\nmiddle=" << d.rare().middleName << "\nfamily=" << d.familyName
      << "\nprevious=" << d.rare().previousFamilyName << "\nsuffix=" << d.rare().nameSuffix
      << "\nnick=" << d.rare().nickname << "\norg=" << d.organizationName << "\ndept=" << d.departmentName
      << "\ntitle=" << d.jobTitle << "\nphGiven=" << d.rare().phoneticGivenName
      << "\nphMiddle=" << d.rare().phoneticMiddleName << "\nphFamily=" << d.rare().phoneticFamilyName
      << "\nphOrg=" << d.rare().phoneticOrganizationName << '\n';
    date("birthday", d.rare().birthday);
    date("altBirthday", d.rare().nonGregorianBirthday);
    for (const auto& lv : d.phoneNumbers)
        s << "tel[" << lv.label() << "]=" << lv.value().stringValue() << '\n';
    for (const auto& lv : d.emailAddresses)
        s << "email[" << lv.label() << "]=" << lv.value() << '\n';
    for (const auto& lv : d.rare().urlAddresses)
        s << "url[" << lv.label() << "]=" << lv.value() << '\n';
    for (const auto& lv : d.postalAddresses) {
        const CNPostalAddress& a = lv.value();
        s << "adr[" << lv.label() << "]=" << a.street << '|' << a.subLocality << '|' << a.city << '|'
          << a.subAdministrativeArea << '|' << a.state << '|' << a.postalCode << '|' << a.country << '|'
          << a.isoCountryCode << '\n';
    }
    for (const auto& lv : d.rare().dates)
        date(qPrintable(QStringLiteral("date[%1]").arg(lv.label())), lv.value());
    for (const auto& lv : d.rare().contactRelations)
        s << "rel[" << lv.label() << "]=" << lv.value().name << '\n';
    for (const auto& lv : d.rare().instantMessageAddresses)
        s << "im[" << lv.label() << "]=" << lv.value().service << ':' << lv.value().username << '\n';
    for (const auto& lv : d.rare().socialProfiles)
        s << "social[" << lv.label() << "]=" << lv.value().service << '|' << lv.value().username << '|'
          << lv.value().userIdentifier << '|' << lv.value().urlString << '\n';
    return out;
}

template <typename T> void dropIdentifiers(std::vector<CNLabeledValue<T>>& list)
{
    for (auto& lv : list)
        lv = CNLabeledValue<T>(QString(), lv.label(), lv.value());
}

// The fields the writer writes: identifiers, note and image are left out.
CNContactData comparable(CNContactData d)
{
    d.identifier.clear();
    d.note.clear();
    d.imageData.clear();
    d.thumbnailImageData.clear();
    dropIdentifiers(d.phoneNumbers);
    dropIdentifiers(d.emailAddresses);
    dropIdentifiers(d.postalAddresses);
    dropIdentifiers(d.editRare().dates);
    dropIdentifiers(d.editRare().urlAddresses);
    dropIdentifiers(d.editRare().contactRelations);
    dropIdentifiers(d.editRare().socialProfiles);
    dropIdentifiers(d.editRare().instantMessageAddresses);
    return d;
}

TEST(CNVCardRoundTrip, ThousandGeneratedContactsReadBackEqual)
{
    Generator generator(20240607);
    CNContactList written;
    for (int i = 0; i < kqScaled(1000, 50); ++i)
        written.push_back(generator.contact());

    // One card per call, as the exporter writes them, and all cards in one file.
    QByteArray file;
    for (const CNContactPtr& contact : written) {
        const QByteArray cardData = CNContactVCardSerialization::dataWithContacts({contact});
        ASSERT_TRUE(cardData.endsWith("END:VCARD\r\n"));
        file += cardData;
    }
    CNError error;
    const CNContactList read = CNContactVCardSerialization::contactsWithData(file, &error);
    EXPECT_FALSE(error.isError()) << error.description().toStdString();
    ASSERT_EQ(read.size(), written.size());
    int failures = 0;
    for (size_t i = 0; i < written.size() && failures < 5; ++i) {
        const QString expected = describe(written[i]->data());
        const QString actual = describe(read[i]->data());
        if (expected != actual)
            ++failures;
        EXPECT_EQ(actual.toStdString(), expected.toStdString()) << "contact " << i;
        // Nothing the description leaves out may differ either.
        EXPECT_TRUE(comparable(read[i]->data()) == comparable(written[i]->data())) << "contact " << i;
    }
}

} // namespace
