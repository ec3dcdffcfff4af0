#include "platform/CNVCardLabels.h"

#include "platform/CNLabels.h"
#include "platform/CNVCardLexer.h"

namespace {

template <size_t N> bool is(QByteArrayView a, const char (&b)[N])
{
    return CNVCardCodec::equalsNoCase(a, QByteArrayView(b, N - 1));
}

bool is(QByteArrayView a, QByteArrayView b)
{
    return CNVCardCodec::equalsNoCase(a, b);
}

struct TypeFlags
{
    bool home = false, work = false, other = false, school = false;
    bool cell = false, iphone = false, main = false, pager = false, fax = false;
    QByteArrayView firstUnknown;
    int unknownCount = 0;
};

const QByteArrayView kQualifiers[] = {"pref",   "voice",  "internet", "x400", "msg",      "video",
                                      "text",   "bbs",    "modem",    "car",  "isdn",     "pcs",
                                      "postal", "parcel", "dom",      "intl", "textphone"};

struct RelationName
{
    QByteArrayView type;
    const QString* label;
};

const RelationName kRelations[] = {
    {"father", &CNLabelContactRelationFather},     {"mother", &CNLabelContactRelationMother},
    {"parent", &CNLabelContactRelationParent},     {"brother", &CNLabelContactRelationBrother},
    {"sister", &CNLabelContactRelationSister},     {"child", &CNLabelContactRelationChild},
    {"friend", &CNLabelContactRelationFriend},     {"spouse", &CNLabelContactRelationSpouse},
    {"partner", &CNLabelContactRelationPartner},   {"assistant", &CNLabelContactRelationAssistant},
    {"manager", &CNLabelContactRelationManager},   {"son", &CNLabelContactRelationSon},
    {"daughter", &CNLabelContactRelationDaughter},
};

struct ImService
{
    const QString* service;
    QByteArrayView scheme;
    QByteArrayView property;
};

const ImService kImServices[] = {
    {&CNInstantMessageServiceAIM, "aim", "X-AIM"},
    {&CNInstantMessageServiceFacebook, "x-im", "X-FACEBOOK"},
    {&CNInstantMessageServiceGaduGadu, "gg", "X-GADUGADU"},
    {&CNInstantMessageServiceGoogleTalk, "gtalk", "X-GOOGLE-TALK"},
    {&CNInstantMessageServiceICQ, "icq", "X-ICQ"},
    {&CNInstantMessageServiceJabber, "xmpp", "X-JABBER"},
    {&CNInstantMessageServiceMSN, "msnim", "X-MSN"},
    {&CNInstantMessageServiceQQ, "qq", "X-QQ"},
    {&CNInstantMessageServiceSkype, "skype", "X-SKYPE"},
    {&CNInstantMessageServiceYahoo, "ymsgr", "X-YAHOO"},
};

} // namespace

bool CNVCardIsQualifierType(QByteArrayView type)
{
    for (const QByteArrayView q : kQualifiers) {
        if (is(type, q))
            return true;
    }
    return false;
}

QString CNVCardLabelForTypes(CNVCardValueKind kind, const std::vector<QByteArrayView>& types)
{
    TypeFlags f;
    for (const QByteArrayView t : types) {
        if (is(t, "home"))
            f.home = true;
        else if (is(t, "work"))
            f.work = true;
        else if (is(t, "other"))
            f.other = true;
        else if (is(t, "school"))
            f.school = true;
        else if (kind == CNVCardValueKind::Phone && (is(t, "cell") || is(t, "mobile")))
            f.cell = true;
        else if (kind == CNVCardValueKind::Phone && is(t, "iphone"))
            f.iphone = true;
        else if (kind == CNVCardValueKind::Phone && is(t, "main"))
            f.main = true;
        else if (kind == CNVCardValueKind::Phone && is(t, "pager"))
            f.pager = true;
        else if (kind == CNVCardValueKind::Phone && is(t, "fax"))
            f.fax = true;
        else if (!t.isEmpty() && !CNVCardIsQualifierType(t)) {
            if (f.unknownCount++ == 0)
                f.firstUnknown = t;
        }
    }
    if (kind == CNVCardValueKind::Phone) {
        if (f.iphone)
            return CNLabelPhoneNumberiPhone;
        if (f.cell)
            return CNLabelPhoneNumberMobile;
        if (f.pager)
            return CNLabelPhoneNumberPager;
        if (f.fax)
            return f.home ? CNLabelPhoneNumberHomeFax : f.work ? CNLabelPhoneNumberWorkFax : CNLabelPhoneNumberOtherFax;
        if (f.main)
            return CNLabelPhoneNumberMain;
    }
    if (f.home)
        return CNLabelHome;
    if (f.work)
        return CNLabelWork;
    if (f.school)
        return CNLabelSchool;
    if (f.other)
        return CNLabelOther;
    if (f.unknownCount != 1)
        return {};
    if (kind == CNVCardValueKind::Url && is(f.firstUnknown, "homepage"))
        return CNLabelURLAddressHomePage;
    if (kind == CNVCardValueKind::Date && is(f.firstUnknown, "anniversary"))
        return CNLabelDateAnniversary;
    if (kind == CNVCardValueKind::Relation) {
        for (const RelationName& r : kRelations) {
            if (is(f.firstUnknown, r.type))
                return *r.label;
        }
    }
    return QString::fromUtf8(f.firstUnknown);
}

QByteArray CNVCardTypesForLabel(CNVCardValueKind kind, const QString& label)
{
    if (kind == CNVCardValueKind::Date || kind == CNVCardValueKind::Relation || kind == CNVCardValueKind::SocialProfile)
        return {};
    if (label == CNLabelHome)
        return QByteArrayLiteral("HOME");
    if (label == CNLabelWork)
        return QByteArrayLiteral("WORK");
    if (label == CNLabelOther)
        return QByteArrayLiteral("OTHER");
    if (label == CNLabelSchool)
        return QByteArrayLiteral("SCHOOL");
    if (kind != CNVCardValueKind::Phone)
        return {};
    if (label == CNLabelPhoneNumberiPhone)
        return QByteArrayLiteral("IPHONE,CELL");
    if (label == CNLabelPhoneNumberMobile)
        return QByteArrayLiteral("CELL");
    if (label == CNLabelPhoneNumberMain)
        return QByteArrayLiteral("MAIN");
    if (label == CNLabelPhoneNumberPager)
        return QByteArrayLiteral("PAGER");
    if (label == CNLabelPhoneNumberHomeFax)
        return QByteArrayLiteral("HOME,FAX");
    if (label == CNLabelPhoneNumberWorkFax)
        return QByteArrayLiteral("WORK,FAX");
    if (label == CNLabelPhoneNumberOtherFax)
        return QByteArrayLiteral("OTHER,FAX");
    return {};
}

QString CNVCardInstantMessageServiceForName(const QString& service)
{
    for (const ImService& s : kImServices) {
        if (service.compare(*s.service, Qt::CaseInsensitive) == 0)
            return *s.service;
    }
    const QString folded = service.toLower().remove(QLatin1Char(' ')).remove(QLatin1Char('-'));
    if (folded == QLatin1String("gtalk") || folded == QLatin1String("googletalk") ||
        folded == QLatin1String("hangouts"))
        return CNInstantMessageServiceGoogleTalk;
    if (folded == QLatin1String("gadugadu"))
        return CNInstantMessageServiceGaduGadu;
    if (folded == QLatin1String("yahoo!"))
        return CNInstantMessageServiceYahoo;
    if (folded == QLatin1String("xmpp"))
        return CNInstantMessageServiceJabber;
    return service;
}

QString CNVCardInstantMessageServiceForScheme(QByteArrayView scheme)
{
    for (const ImService& s : kImServices) {
        if (is(scheme, s.scheme) && !is(scheme, "x-im"))
            return *s.service;
    }
    if (is(scheme, "callto"))
        return CNInstantMessageServiceSkype;
    if (is(scheme, "ymsgr") || is(scheme, "yahoo"))
        return CNInstantMessageServiceYahoo;
    if (is(scheme, "msn"))
        return CNInstantMessageServiceMSN;
    return {};
}

QString CNVCardInstantMessageServiceForProperty(QByteArrayView name)
{
    for (const ImService& s : kImServices) {
        if (is(name, s.property))
            return *s.service;
    }
    if (is(name, "X-GTALK") || is(name, "X-GOOGLETALK"))
        return CNInstantMessageServiceGoogleTalk;
    if (is(name, "X-GADU-GADU"))
        return CNInstantMessageServiceGaduGadu;
    if (is(name, "X-SKYPE-USERNAME"))
        return CNInstantMessageServiceSkype;
    return {};
}

QByteArray CNVCardSchemeForInstantMessageService(const QString& service)
{
    for (const ImService& s : kImServices) {
        if (service == *s.service)
            return s.scheme.toByteArray();
    }
    return QByteArrayLiteral("x-im");
}

QString CNVCardSocialProfileServiceForName(const QString& service)
{
    for (const QString* s :
         {&CNSocialProfileServiceFacebook, &CNSocialProfileServiceFlickr, &CNSocialProfileServiceGameCenter,
          &CNSocialProfileServiceLinkedIn, &CNSocialProfileServiceMySpace, &CNSocialProfileServiceSinaWeibo,
          &CNSocialProfileServiceTencentWeibo, &CNSocialProfileServiceTwitter, &CNSocialProfileServiceYelp}) {
        if (service.compare(*s, Qt::CaseInsensitive) == 0)
            return *s;
    }
    return service;
}
