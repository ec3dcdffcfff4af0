#include "app/windows/KQContactListFilter.h"

#include "model/KQFullName.h"
#include "platform/CNContactKeys.h"

#include <algorithm>
#include <limits>
#include <numeric>

namespace {

// Between the fields of a search text, so that a match never spans two of them.
constexpr QChar kFieldBreak(0x1F);

void appendDigits(QString& to, const QString& text)
{
    for (const QChar c : text) {
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
            to.append(c);
    }
}

// Ascending by key with an empty key greater than any other.
bool keyLess(const QString& x, const QString& y)
{
    if (x.isEmpty() != y.isEmpty())
        return y.isEmpty();
    return QString::compare(x, y, Qt::CaseSensitive) < 0;
}

// Orders entries and rows by their packed prefixes, then by keyLess.
template <typename Keyed> bool prefixedKeyLess(const Keyed& a, const Keyed& b)
{
    if (a.sortPrefix != b.sortPrefix)
        return a.sortPrefix < b.sortPrefix;
    return keyLess(a.sortKey, b.sortKey);
}

// A text field of a fetched contact; none when it was not fetched.
std::optional<QString> fetched(const CNContact& contact, CNKeyId key, const QString& field)
{
    if (!contact.isKeyAvailable(key))
        return std::nullopt;
    return field;
}

// The same name a record builds from its fields.
QString fullNameOf(const CNContact& contact, bool familyNameFirst)
{
    return kqJoinFullName(fetched(contact, CNKeyId::NamePrefix, contact.namePrefix()),
                          fetched(contact, CNKeyId::GivenName, contact.givenName()),
                          fetched(contact, CNKeyId::MiddleName, contact.middleName()),
                          fetched(contact, CNKeyId::FamilyName, contact.familyName()),
                          fetched(contact, CNKeyId::NameSuffix, contact.nameSuffix()), familyNameFirst);
}

QString jobFullNameOf(const CNContact& contact)
{
    return kqJoinJobName(fetched(contact, CNKeyId::JobTitle, contact.jobTitle()),
                         fetched(contact, CNKeyId::DepartmentName, contact.departmentName()),
                         fetched(contact, CNKeyId::OrganizationName, contact.organizationName()));
}

} // namespace

KQSortPrefix kqSortPrefix(const QString& sortKey)
{
    if (sortKey.isEmpty())
        return {std::numeric_limits<quint64>::max(), std::numeric_limits<quint64>::max()};
    const qsizetype size = sortKey.size();
    const auto pack = [&sortKey, size](qsizetype from) {
        quint64 packed = 0;
        for (qsizetype i = from; i < from + 4; ++i)
            packed = (packed << 16) | (i < size ? sortKey.at(i).unicode() : 0u);
        return packed;
    };
    return {pack(0), pack(4)};
}

QString KQContactListFilter::fullName(const KQContactHelper& contact, bool familyNameFirst)
{
    return kqJoinFullName(contact.namePrefix(), contact.givenName(), contact.middleName(), contact.familyName(),
                          contact.nameSuffix(), familyNameFirst);
}

QString KQContactListFilter::sortName(const KQContactHelper& contact, bool familyNameFirst)
{
    return kqSortKey(contact.companyContact() ? contact.jobFullName() : fullName(contact, familyNameFirst));
}

KQContactSearchIndex::Entry KQContactSearchIndex::makeEntry(const KQContactHelperPtr& contact, int position,
                                                            bool familyNameFirst, bool searchNote)
{
    Entry entry;
    entry.contact = contact;
    entry.position = position;
    entry.sortKey = KQContactListFilter::sortName(*contact, familyNameFirst);
    entry.sortPrefix = kqSortPrefix(entry.sortKey);
    addSearchTexts(entry, familyNameFirst, searchNote);
    return entry;
}

void KQContactSearchIndex::addSearchTexts(Entry& entry, bool familyNameFirst, bool searchNote)
{
    const KQContactHelper& contact = *entry.contact;
    entry.folded = KQContactListFilter::fullName(contact, familyNameFirst).toLower() + kFieldBreak +
                   contact.jobFullName().toLower();
    if (searchNote) {
        if (const std::optional<QString> note = contact.note(); note && !note->isEmpty())
            entry.folded += kFieldBreak + note->toLower();
    }
    entry.exact.clear();
    const CNContactPtr record = contact.effectiveContact();
    if (record->isKeyAvailable(CNKeyId::PhoneNumbers)) {
        for (const auto& phone : record->phoneNumbers()) {
            entry.exact += phone.value().stringValue() + kFieldBreak;
            appendDigits(entry.exact, phone.value().stringValue());
            entry.exact += kFieldBreak;
        }
    }
    if (record->isKeyAvailable(CNKeyId::EmailAddresses)) {
        for (const auto& email : record->emailAddresses())
            entry.exact += email.value() + kFieldBreak;
    }
    // A hundred thousand entries stay for as long as the list shows the node: no spare room.
    entry.folded.squeeze();
    entry.exact.squeeze();
}

std::shared_ptr<const KQContactSearchIndex>
KQContactSearchIndex::withSearchTexts(const std::function<bool()>& stop) const
{
    if (m_hasSearchTexts)
        return shared_from_this();
    auto index = std::make_shared<KQContactSearchIndex>();
    index->m_familyNameFirst = m_familyNameFirst;
    index->m_searchNote = m_searchNote;
    index->m_sorted = m_sorted;
    int done = 0;
    for (Entry& entry : index->m_sorted) {
        if (stop && done++ % 1024 == 0 && stop())
            return nullptr;
        addSearchTexts(entry, m_familyNameFirst, m_searchNote);
    }
    return index;
}

bool KQContactSearchIndex::Entry::matches(const QString& text, const QString& lowerText, bool) const
{
    if (text.isEmpty())
        return true;
    return folded.contains(lowerText) || exact.contains(text);
}

std::shared_ptr<const KQContactSearchIndex> KQContactSearchIndex::build(const KQContactHelperList& contacts,
                                                                        bool familyNameFirst, bool searchNote,
                                                                        const std::function<bool()>& stop,
                                                                        bool searchTexts)
{
    auto index = std::make_shared<KQContactSearchIndex>();
    index->m_familyNameFirst = familyNameFirst;
    index->m_searchNote = searchNote;
    index->m_hasSearchTexts = searchTexts;
    index->m_sorted.reserve(contacts.size());
    int position = 0;
    for (const auto& contact : contacts) {
        if (stop && position % 1024 == 0 && stop())
            return nullptr;
        Entry entry;
        entry.contact = contact;
        entry.position = position++;
        entry.sortKey = KQContactListFilter::sortName(*contact, familyNameFirst);
        entry.sortPrefix = kqSortPrefix(entry.sortKey);
        if (searchTexts)
            addSearchTexts(entry, familyNameFirst, searchNote);
        index->m_sorted.push_back(std::move(entry));
    }
    std::stable_sort(index->m_sorted.begin(), index->m_sorted.end(),
                     [](const Entry& a, const Entry& b) { return prefixedKeyLess(a, b); });
    return index;
}

KQContactHelperList KQContactSearchIndex::filter(const KQContactListQuery& query, const std::function<bool()>& stop,
                                                 const std::vector<int>* within, std::vector<int>* matched) const
{
    const QString& text = query.searchText;
    Q_ASSERT(text.isEmpty() || m_hasSearchTexts);
    const QString lower = text.toLower();
    std::vector<const Entry*> kept;
    kept.reserve(query.searchText.isEmpty() && !query.taggedIdentifiers ? m_sorted.size() : 256);
    if (matched != nullptr)
        matched->clear();
    size_t sinceCheck = 0;
    const size_t count = within != nullptr ? within->size() : m_sorted.size();
    for (size_t k = 0; k < count; ++k) {
        const int place = within != nullptr ? (*within)[k] : static_cast<int>(k);
        if (place < 0 || place >= static_cast<int>(m_sorted.size()))
            continue;
        const Entry& entry = m_sorted[static_cast<size_t>(place)];
        if (stop && ++sinceCheck == 4096) {
            sinceCheck = 0;
            if (stop())
                return {};
        }
        if (query.taggedIdentifiers && !query.taggedIdentifiers->contains(entry.contact->identifier()))
            continue;
        if (entry.matches(text, lower, m_searchNote)) {
            kept.push_back(&entry);
            if (matched != nullptr)
                matched->push_back(place);
        }
    }
    if (query.sortType == KQContactListFilter::Descending)
        std::reverse(kept.begin(), kept.end());
    else if (query.sortType == KQContactListFilter::Unsorted)
        std::sort(kept.begin(), kept.end(), [](const Entry* a, const Entry* b) { return a->position < b->position; });
    KQContactHelperList listed;
    listed.reserve(kept.size());
    for (const Entry* entry : kept)
        listed.push_back(entry->contact);
    return listed;
}

bool KQContactListFilter::matchesSearch(const KQContactHelper& contact, const QString& text, bool familyNameFirst,
                                        bool searchNote)
{
    if (text.isEmpty())
        return true;
    // The same test the index makes.
    const KQContactHelperPtr shared = std::const_pointer_cast<KQContactHelper>(contact.shared_from_this());
    return KQContactSearchIndex::makeEntry(shared, 0, familyNameFirst, searchNote)
        .matches(text, text.toLower(), searchNote);
}

KQContactHelperList KQContactListFilter::sortContactHelpers(const KQContactHelperList& contacts, int type,
                                                            bool familyNameFirst)
{
    if (type != Ascending && type != Descending)
        return contacts;
    KQContactListQuery query;
    query.sortType = type;
    const auto index = KQContactSearchIndex::build(contacts, familyNameFirst, false);
    return index->filter(query);
}

KQContactHelperList KQContactListFilter::filter(const KQContactHelperList& contacts, const KQContactListQuery& query,
                                                const std::function<bool()>& stop)
{
    const auto index = KQContactSearchIndex::build(contacts, query.familyNameFirst, true, stop);
    if (!index)
        return {};
    return index->filter(query, stop);
}

QStringList KQContactListFilter::listKeys()
{
    return {CNContactIdentifierKey,      CNContactTypeKey,       CNContactNamePrefixKey,
            CNContactGivenNameKey,       CNContactMiddleNameKey, CNContactFamilyNameKey,
            CNContactNameSuffixKey,      CNContactJobTitleKey,   CNContactDepartmentNameKey,
            CNContactOrganizationNameKey};
}

KQContactListRow KQContactListFilter::listRow(const CNContact& contact, int position, bool familyNameFirst)
{
    KQContactListRow row;
    row.identifier = contact.identifier();
    row.position = position;
    const QString name = fullNameOf(contact, familyNameFirst);
    const QString job = jobFullNameOf(contact);
    const bool company = contact.contactType() == CNContactType::Organization;
    row.name = company ? job : name;
    row.subtitle = company ? name : job;
    row.sortKey = kqSortKey(row.name);
    row.sortPrefix = kqSortPrefix(row.sortKey);
    return row;
}

void KQContactListFilter::sortRows(std::vector<KQContactListRow>& rows, int type)
{
    std::sort(rows.begin(), rows.end(), KQContactListRowOrder{type});
}

bool KQContactListRowOrder::operator()(const KQContactListRow& a, const KQContactListRow& b) const
{
    if (sortType != KQContactListFilter::Ascending && sortType != KQContactListFilter::Descending)
        return a.position < b.position;
    // Descending is the ascending order read backwards, ties included, as the records' sort does.
    const KQContactListRow& x = sortType == KQContactListFilter::Ascending ? a : b;
    const KQContactListRow& y = sortType == KQContactListFilter::Ascending ? b : a;
    if (x.sortPrefix != y.sortPrefix)
        return x.sortPrefix < y.sortPrefix;
    // As keyLess: an empty key is greater than any other.
    if (x.sortKey.isEmpty() != y.sortKey.isEmpty())
        return y.sortKey.isEmpty();
    const int order = QString::compare(x.sortKey, y.sortKey, Qt::CaseSensitive);
    return order != 0 ? order < 0 : x.position < y.position;
}
