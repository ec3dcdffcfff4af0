#include "platform/CNLabels.h"

#include <QHash>

const QString CNLabelHome = QStringLiteral("_$!<Home>!$_");
const QString CNLabelWork = QStringLiteral("_$!<Work>!$_");
const QString CNLabelOther = QStringLiteral("_$!<Other>!$_");
const QString CNLabelSchool = QStringLiteral("_$!<School>!$_");
const QString CNLabelEmailiCloud = QStringLiteral("iCloud");
const QString CNLabelURLAddressHomePage = QStringLiteral("_$!<HomePage>!$_");
const QString CNLabelDateAnniversary = QStringLiteral("_$!<Anniversary>!$_");

const QString CNLabelPhoneNumberiPhone = QStringLiteral("iPhone");
const QString CNLabelPhoneNumberMobile = QStringLiteral("_$!<Mobile>!$_");
const QString CNLabelPhoneNumberMain = QStringLiteral("_$!<Main>!$_");
const QString CNLabelPhoneNumberHomeFax = QStringLiteral("_$!<HomeFAX>!$_");
const QString CNLabelPhoneNumberWorkFax = QStringLiteral("_$!<WorkFAX>!$_");
const QString CNLabelPhoneNumberOtherFax = QStringLiteral("_$!<OtherFAX>!$_");
const QString CNLabelPhoneNumberPager = QStringLiteral("_$!<Pager>!$_");

const QString CNLabelContactRelationFather = QStringLiteral("_$!<Father>!$_");
const QString CNLabelContactRelationMother = QStringLiteral("_$!<Mother>!$_");
const QString CNLabelContactRelationParent = QStringLiteral("_$!<Parent>!$_");
const QString CNLabelContactRelationBrother = QStringLiteral("_$!<Brother>!$_");
const QString CNLabelContactRelationSister = QStringLiteral("_$!<Sister>!$_");
const QString CNLabelContactRelationChild = QStringLiteral("_$!<Child>!$_");
const QString CNLabelContactRelationFriend = QStringLiteral("_$!<Friend>!$_");
const QString CNLabelContactRelationSpouse = QStringLiteral("_$!<Spouse>!$_");
const QString CNLabelContactRelationPartner = QStringLiteral("_$!<Partner>!$_");
const QString CNLabelContactRelationAssistant = QStringLiteral("_$!<Assistant>!$_");
const QString CNLabelContactRelationManager = QStringLiteral("_$!<Manager>!$_");
const QString CNLabelContactRelationSon = QStringLiteral("_$!<Son>!$_");
const QString CNLabelContactRelationDaughter = QStringLiteral("_$!<Daughter>!$_");

const QString CNSocialProfileServiceFacebook = QStringLiteral("facebook");
const QString CNSocialProfileServiceFlickr = QStringLiteral("flickr");
const QString CNSocialProfileServiceGameCenter = QStringLiteral("GameCenter");
const QString CNSocialProfileServiceLinkedIn = QStringLiteral("linkedin");
const QString CNSocialProfileServiceMySpace = QStringLiteral("myspace");
const QString CNSocialProfileServiceSinaWeibo = QStringLiteral("sinaweibo");
const QString CNSocialProfileServiceTencentWeibo = QStringLiteral("tencentweibo");
const QString CNSocialProfileServiceTwitter = QStringLiteral("twitter");
const QString CNSocialProfileServiceYelp = QStringLiteral("yelp");

const QString CNInstantMessageServiceAIM = QStringLiteral("AIM");
const QString CNInstantMessageServiceFacebook = QStringLiteral("Facebook");
const QString CNInstantMessageServiceGaduGadu = QStringLiteral("GaduGadu");
const QString CNInstantMessageServiceGoogleTalk = QStringLiteral("GoogleTalk");
const QString CNInstantMessageServiceICQ = QStringLiteral("ICQ");
const QString CNInstantMessageServiceJabber = QStringLiteral("Jabber");
const QString CNInstantMessageServiceMSN = QStringLiteral("MSN");
const QString CNInstantMessageServiceQQ = QStringLiteral("QQ");
const QString CNInstantMessageServiceSkype = QStringLiteral("Skype");
const QString CNInstantMessageServiceYahoo = QStringLiteral("Yahoo");

namespace {

using Table = QHash<QString, QString>;

const Table& labelTable()
{
    // Never destroyed: workers may still read it while the program exits.
    static const Table& table = *new Table{
        {CNLabelHome, QStringLiteral("home")},
        {CNLabelWork, QStringLiteral("work")},
        {CNLabelOther, QStringLiteral("other")},
        {CNLabelSchool, QStringLiteral("school")},
        {CNLabelEmailiCloud, QStringLiteral("iCloud")},
        {CNLabelURLAddressHomePage, QStringLiteral("homepage")},
        {CNLabelDateAnniversary, QStringLiteral("anniversary")},
        {CNLabelPhoneNumberiPhone, QStringLiteral("iPhone")},
        {CNLabelPhoneNumberMobile, QStringLiteral("mobile")},
        {CNLabelPhoneNumberMain, QStringLiteral("main")},
        {CNLabelPhoneNumberHomeFax, QStringLiteral("home fax")},
        {CNLabelPhoneNumberWorkFax, QStringLiteral("work fax")},
        {CNLabelPhoneNumberOtherFax, QStringLiteral("other fax")},
        {CNLabelPhoneNumberPager, QStringLiteral("pager")},
        {CNLabelContactRelationFather, QStringLiteral("father")},
        {CNLabelContactRelationMother, QStringLiteral("mother")},
        {CNLabelContactRelationParent, QStringLiteral("parent")},
        {CNLabelContactRelationBrother, QStringLiteral("brother")},
        {CNLabelContactRelationSister, QStringLiteral("sister")},
        {CNLabelContactRelationChild, QStringLiteral("child")},
        {CNLabelContactRelationFriend, QStringLiteral("friend")},
        {CNLabelContactRelationSpouse, QStringLiteral("spouse")},
        {CNLabelContactRelationPartner, QStringLiteral("partner")},
        {CNLabelContactRelationAssistant, QStringLiteral("assistant")},
        {CNLabelContactRelationManager, QStringLiteral("manager")},
        {CNLabelContactRelationSon, QStringLiteral("son")},
        {CNLabelContactRelationDaughter, QStringLiteral("daughter")},
        // Social-profile services double as labels of their entries.
        {CNSocialProfileServiceFacebook, QStringLiteral("Facebook")},
        {CNSocialProfileServiceFlickr, QStringLiteral("Flickr")},
        {CNSocialProfileServiceGameCenter, QStringLiteral("Game Center")},
        {CNSocialProfileServiceLinkedIn, QStringLiteral("LinkedIn")},
        {CNSocialProfileServiceMySpace, QStringLiteral("MySpace")},
        {CNSocialProfileServiceSinaWeibo, QStringLiteral("Sina Weibo")},
        {CNSocialProfileServiceTencentWeibo, QStringLiteral("Tencent Weibo")},
        {CNSocialProfileServiceTwitter, QStringLiteral("Twitter")},
        {CNSocialProfileServiceYelp, QStringLiteral("Yelp")},
    };
    return table;
}

const Table& imServiceTable()
{
    // Never destroyed: workers may still read it while the program exits.
    static const Table& table = *new Table{
        {CNInstantMessageServiceAIM, QStringLiteral("AIM")},
        {CNInstantMessageServiceFacebook, QStringLiteral("Facebook")},
        {CNInstantMessageServiceGaduGadu, QStringLiteral("Gadu-Gadu")},
        {CNInstantMessageServiceGoogleTalk, QStringLiteral("Google Talk")},
        {CNInstantMessageServiceICQ, QStringLiteral("ICQ")},
        {CNInstantMessageServiceJabber, QStringLiteral("Jabber")},
        {CNInstantMessageServiceMSN, QStringLiteral("MSN")},
        {CNInstantMessageServiceQQ, QStringLiteral("QQ")},
        {CNInstantMessageServiceSkype, QStringLiteral("Skype")},
        {CNInstantMessageServiceYahoo, QStringLiteral("Yahoo!")},
    };
    return table;
}

} // namespace

QString CNLocalizedStringForLabel(const QString& label)
{
    return labelTable().value(label);
}

QString CNLocalizedStringForSocialService(const QString& service)
{
    const QString text = labelTable().value(service);
    return text.isEmpty() ? service : text;
}

QString CNLocalizedStringForInstantMessageService(const QString& service)
{
    return imServiceTable().value(service, service);
}
