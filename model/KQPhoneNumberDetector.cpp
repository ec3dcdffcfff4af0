#include "model/KQPhoneNumberDetector.h"

#include <QLocale>
#include <phonenumbers/phonenumbermatch.h>
#include <phonenumbers/phonenumbermatcher.h>
#include <phonenumbers/phonenumberutil.h>

using i18n::phonenumbers::PhoneNumberMatch;
using i18n::phonenumbers::PhoneNumberMatcher;
using i18n::phonenumbers::PhoneNumberUtil;

namespace {

QString localeRegion()
{
    const QLocale locale = QLocale::system();
    const QString name = locale.name(); // "en_GB", or "C"
    const qsizetype underscore = name.indexOf(QLatin1Char('_'));
    if (underscore > 0 && name.size() - underscore - 1 == 2)
        return name.mid(underscore + 1).toUpper();
    return QStringLiteral("US");
}

} // namespace

const KQPhoneNumberDetector& KQPhoneNumberDetector::shared()
{
    // Never destroyed: a scan on a worker may still detect numbers while the program exits.
    static const KQPhoneNumberDetector& detector = *new KQPhoneNumberDetector(localeRegion());
    return detector;
}

KQPhoneNumberDetector::KQPhoneNumberDetector(QString regionCode) : m_region(std::move(regionCode)) {}

bool KQPhoneNumberDetector::matchesWholeText(const QString& text) const
{
    if (text.isEmpty())
        return false;
    const PhoneNumberUtil& util = *PhoneNumberUtil::GetInstance();
    const std::string utf8 = text.toStdString();
    PhoneNumberMatcher matcher(util, utf8, m_region.toStdString(), PhoneNumberMatcher::POSSIBLE, 65535);
    if (!matcher.HasNext())
        return false;
    PhoneNumberMatch match;
    if (!matcher.Next(&match))
        return false;
    // The matcher reports positions in bytes of the UTF-8 text.
    return match.start() == 0 && match.length() == static_cast<int>(utf8.size());
}
