#pragma once
// Label and service constants. Labels keep the stored values other programs use, so that labels
// read from their vCards round-trip; the English display texts come from one table (CNLabels.cpp).

#include <QString>
#include <QStringList>

extern const QString CNLabelHome;
extern const QString CNLabelWork;
extern const QString CNLabelOther;
extern const QString CNLabelSchool;
extern const QString CNLabelEmailiCloud;
extern const QString CNLabelURLAddressHomePage;
extern const QString CNLabelDateAnniversary;

extern const QString CNLabelPhoneNumberiPhone;
extern const QString CNLabelPhoneNumberMobile;
extern const QString CNLabelPhoneNumberMain;
extern const QString CNLabelPhoneNumberHomeFax;
extern const QString CNLabelPhoneNumberWorkFax;
extern const QString CNLabelPhoneNumberOtherFax;
extern const QString CNLabelPhoneNumberPager;

extern const QString CNLabelContactRelationFather;
extern const QString CNLabelContactRelationMother;
extern const QString CNLabelContactRelationParent;
extern const QString CNLabelContactRelationBrother;
extern const QString CNLabelContactRelationSister;
extern const QString CNLabelContactRelationChild;
extern const QString CNLabelContactRelationFriend;
extern const QString CNLabelContactRelationSpouse;
extern const QString CNLabelContactRelationPartner;
extern const QString CNLabelContactRelationAssistant;
extern const QString CNLabelContactRelationManager;
extern const QString CNLabelContactRelationSon;
extern const QString CNLabelContactRelationDaughter;

extern const QString CNSocialProfileServiceFacebook;
extern const QString CNSocialProfileServiceFlickr;
extern const QString CNSocialProfileServiceGameCenter;
extern const QString CNSocialProfileServiceLinkedIn;
extern const QString CNSocialProfileServiceMySpace;
extern const QString CNSocialProfileServiceSinaWeibo;
extern const QString CNSocialProfileServiceTencentWeibo;
extern const QString CNSocialProfileServiceTwitter;
extern const QString CNSocialProfileServiceYelp;

extern const QString CNInstantMessageServiceAIM;
extern const QString CNInstantMessageServiceFacebook;
extern const QString CNInstantMessageServiceGaduGadu;
extern const QString CNInstantMessageServiceGoogleTalk;
extern const QString CNInstantMessageServiceICQ;
extern const QString CNInstantMessageServiceJabber;
extern const QString CNInstantMessageServiceMSN;
extern const QString CNInstantMessageServiceQQ;
extern const QString CNInstantMessageServiceSkype;
extern const QString CNInstantMessageServiceYahoo;

// English display text of a label constant; an empty text when the label is no known constant.
QString CNLocalizedStringForLabel(const QString& label);
// English display text of a social-profile or instant-message service; the service itself when unknown.
QString CNLocalizedStringForSocialService(const QString& service);
QString CNLocalizedStringForInstantMessageService(const QString& service);
