#include "problems/KQConflictMetaPrefix.h"

#include <QLocale>
#include <algorithm>

KQConflictMetaPrefix::KQConflictMetaPrefix(QString name) : KQConflictMeta(std::move(name))
{
    if (this->name() == KQConflictName::UnusualPrefix)
        m_fixs = defaultAvailablePrefix();
    else if (this->name() == KQConflictName::UnusualSuffix)
        m_fixs = defaultAvailableSuffix();
}

QString KQConflictMetaPrefix::currentLocaleIdentifier()
{
    // The locale as the user set it in the environment, so that a language given without a region
    // ("fr") is not widened to its most likely region the way QLocale names it.
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        QString value = qEnvironmentVariable(variable);
        // "fr_FR.UTF-8", "de_DE@euro": the codeset and the modifier are not part of the identifier.
        const auto end = std::find_if(value.cbegin(), value.cend(),
                                      [](QChar c) { return c == QLatin1Char('.') || c == QLatin1Char('@'); });
        value.truncate(end - value.cbegin());
        if (!value.isEmpty())
            return value;
    }
    return QLocale::system().name();
}

QStringList KQConflictMetaPrefix::defaultAvailablePrefix()
{
    if (currentLocaleIdentifier() == QLatin1String("fr_FR")) {
        return {QStringLiteral("1er"),  QStringLiteral("1re"), QStringLiteral("2d"), QStringLiteral("2de"),
                QStringLiteral("2e"),   QStringLiteral("3e"),  QStringLiteral("M."), QStringLiteral("Mme"),
                QStringLiteral("Mlle"), QStringLiteral("Dr"),  QStringLiteral("Pr"), QStringLiteral("Me"),
                QStringLiteral("Mgr"),  QStringLiteral("no")};
    }
    return {
        QStringLiteral("1LT"),      QStringLiteral("1ST"),     QStringLiteral("2LT"),       QStringLiteral("2ND"),
        QStringLiteral("3RD"),      QStringLiteral("Adm"),     QStringLiteral("Admiral"),   QStringLiteral("Cardinal"),
        QStringLiteral("Capt"),     QStringLiteral("Captain"), QStringLiteral("CDR"),       QStringLiteral("Chief"),
        QStringLiteral("Col"),      QStringLiteral("Colonel"), QStringLiteral("Count"),     QStringLiteral("Cpt"),
        QStringLiteral("Doctor"),   QStringLiteral("Dr"),      QStringLiteral("Gen"),       QStringLiteral("General"),
        QStringLiteral("LCDR"),     QStringLiteral("Lord"),    QStringLiteral("Lt"),        QStringLiteral("LTC"),
        QStringLiteral("LTG"),      QStringLiteral("LTJG"),    QStringLiteral("Maj"),       QStringLiteral("Major"),
        QStringLiteral("MG"),       QStringLiteral("Mr"),      QStringLiteral("Mrs"),       QStringLiteral("Ms"),
        QStringLiteral("Pastor"),   QStringLiteral("Prof"),    QStringLiteral("Professor"), QStringLiteral("Rep"),
        QStringLiteral("Reverend"), QStringLiteral("Sen"),     QStringLiteral("Senator"),   QStringLiteral("Sir")};
}

QStringList KQConflictMetaPrefix::defaultAvailableSuffix()
{
    if (currentLocaleIdentifier() == QLatin1String("fr_FR")) {
        return {QStringLiteral("etc."), QStringLiteral("h"),   QStringLiteral("s"),    QStringLiteral("km"),
                QStringLiteral("min"),  QStringLiteral("al"),  QStringLiteral("I"),    QStringLiteral("II"),
                QStringLiteral("III"),  QStringLiteral("IV"),  QStringLiteral("IX"),   QStringLiteral("V"),
                QStringLiteral("VI"),   QStringLiteral("VII"), QStringLiteral("VIII"), QStringLiteral("X")};
    }
    return {QStringLiteral("2nd"), QStringLiteral("3rd"), QStringLiteral("4th"),    QStringLiteral("5th"),
            QStringLiteral("6th"), QStringLiteral("BA"),  QStringLiteral("DDS"),    QStringLiteral("ESQ"),
            QStringLiteral("I"),   QStringLiteral("II"),  QStringLiteral("III"),    QStringLiteral("IV"),
            QStringLiteral("IX"),  QStringLiteral("Jr"),  QStringLiteral("Junior"), QStringLiteral("MA"),
            QStringLiteral("MD"),  QStringLiteral("MS"),  QStringLiteral("PhD"),    QStringLiteral("Sr"),
            QStringLiteral("V"),   QStringLiteral("VI"),  QStringLiteral("VII"),    QStringLiteral("VIII"),
            QStringLiteral("X")};
}

QStringList& KQConflictMetaPrefix::fixs()
{
    if (!m_fixs)
        m_fixs.emplace();
    return *m_fixs;
}

QStringList KQConflictMetaPrefix::availableFixs() const
{
    return m_fixs.value_or(QStringList());
}

void KQConflictMetaPrefix::setAvailableFixs(const QStringList& newFixs)
{
    QList<int> all;
    for (int i = 0; i < countOfAvailableFixs(); ++i)
        all.append(i);
    removeAvailableFixsAtIndexes(all);
    all.clear();
    for (int i = 0; i < newFixs.size(); ++i)
        all.append(i);
    insertAvailableFixsAtIndexes(newFixs, all);
}

int KQConflictMetaPrefix::countOfAvailableFixs() const
{
    return m_fixs ? static_cast<int>(m_fixs->size()) : 0;
}

std::optional<QString> KQConflictMetaPrefix::objectInAvailableFixsAtIndex(int index) const
{
    if (index < 0 || index >= countOfAvailableFixs())
        return std::nullopt;
    return m_fixs->at(index);
}

void KQConflictMetaPrefix::insertObjectInAvailableFixsAtIndex(const QString& fix, int index)
{
    if (index < 0 || index > countOfAvailableFixs())
        return;
    fixs().insert(index, fix);
    Q_EMIT availableFixsInserted({index});
}

void KQConflictMetaPrefix::insertAvailableFixsAtIndexes(const QStringList& newFixs, QList<int> indexes)
{
    if (newFixs.size() != indexes.size() || newFixs.isEmpty())
        return;
    std::sort(indexes.begin(), indexes.end());
    QList<int> done;
    for (qsizetype i = 0; i < indexes.size(); ++i) {
        const int index = indexes[i];
        if (index < 0 || index > countOfAvailableFixs())
            continue;
        fixs().insert(index, newFixs[i]);
        done.append(index);
    }
    if (!done.isEmpty())
        Q_EMIT availableFixsInserted(done);
}

void KQConflictMetaPrefix::removeObjectFromAvailableFixsAtIndex(int index)
{
    if (index < 0 || index >= countOfAvailableFixs())
        return;
    m_fixs->removeAt(index);
    Q_EMIT availableFixsRemoved({index});
}

void KQConflictMetaPrefix::removeAvailableFixsAtIndexes(QList<int> indexes)
{
    std::sort(indexes.begin(), indexes.end());
    indexes.erase(std::unique(indexes.begin(), indexes.end()), indexes.end());
    QList<int> done;
    for (auto it = indexes.crbegin(); it != indexes.crend(); ++it) {
        if (*it < 0 || *it >= countOfAvailableFixs())
            continue;
        m_fixs->removeAt(*it);
        done.prepend(*it);
    }
    if (!done.isEmpty())
        Q_EMIT availableFixsRemoved(done);
}

void KQConflictMetaPrefix::replaceObjectInAvailableFixsAtIndex(int index, const QString& fix)
{
    if (index < 0 || index >= countOfAvailableFixs())
        return;
    (*m_fixs)[index] = fix;
    Q_EMIT availableFixsReplaced({index});
}

void KQConflictMetaPrefix::addAvailableFix(const QString& fix)
{
    insertObjectInAvailableFixsAtIndex(fix, countOfAvailableFixs());
}

void KQConflictMetaPrefix::removeAvailableFix(const QString& fix)
{
    removeObjectFromAvailableFixsAtIndex(indexOfAvailableFix(fix));
}

int KQConflictMetaPrefix::indexOfAvailableFix(const QString& fix) const
{
    if (!m_fixs)
        return NotFound;
    return static_cast<int>(m_fixs->indexOf(fix));
}

bool KQConflictMetaPrefix::isUnusualFix(const QString& text) const
{
    const QString lowered = text.toLower();
    if (!m_fixs)
        return true;
    return std::none_of(m_fixs->cbegin(), m_fixs->cend(),
                        [&lowered](const QString& entry) { return entry.toLower() == lowered; });
}

QStringList KQConflictMetaPrefix::archiveClassNames() const
{
    return {QStringLiteral("KQConflictMetaPrefix"), QStringLiteral("KQConflictMeta"), QStringLiteral("NSObject")};
}

void KQConflictMetaPrefix::encodeWithCoder(KQKeyedArchiver& coder) const
{
    KQConflictMeta::encodeWithCoder(coder);
    if (m_fixs)
        coder.encodeStringArray(*m_fixs, QStringLiteral("availableFixs"));
}

KQCodingPtr KQConflictMetaPrefix::decodeWithCoder(KQKeyedUnarchiver& coder)
{
    bool validate = false;
    const auto name = decodeBaseWithCoder(coder, &validate);
    if (!name)
        return nullptr;
    auto meta = std::make_shared<KQConflictMetaPrefix>(*name);
    meta->setValidate(validate);
    // The stored list replaces the defaults the constructor put in; no stored list, no list.
    if (coder.valueKindForKey(QStringLiteral("availableFixs")) == KQArchiveValueKind::None)
        meta->m_fixs.reset();
    else
        meta->m_fixs = coder.decodeStringArray(QStringLiteral("availableFixs"));
    return meta;
}
