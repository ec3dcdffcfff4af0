#pragma once
// Test support for the scan: a plain pair-by-pair scan written straight from the rules (the
// reference the fast scan must agree with), a comparable form of results, and a seeded generator of
// messy address books.

#include "problems/KQConflictMetaDuplicateName.h"
#include "problems/KQConflictScanTask.h"

#include <QSet>
#include <ostream>
#include <random>

namespace kqscan {

// A result as kind names and, per item, the member identifiers in order.
struct Found
{
    QString kind;
    std::vector<QStringList> items;
    friend bool operator==(const Found&, const Found&) = default;
};
using Outcome = std::vector<Found>;

inline Outcome outcomeOf(const KQConflictResult& result)
{
    Outcome outcome;
    for (const auto& group : result.conflictGroups()) {
        Found found{group->conflictMeta()->name(), {}};
        for (const auto& item : group->conflictItems()) {
            QStringList members;
            for (const auto& contact : item->contactHelpers())
                members.append(contact->identifier());
            found.items.push_back(members);
        }
        outcome.push_back(found);
    }
    return outcome;
}

inline std::ostream& operator<<(std::ostream& os, const Outcome& outcome)
{
    for (const Found& found : outcome) {
        os << found.kind.toStdString() << ":";
        for (const QStringList& item : found.items)
            os << " [" << item.join(QLatin1Char(',')).toStdString() << "]";
        os << "\n";
    }
    return os;
}

// The scan done the slow way: every contact against every later one, exactly as the rules read.
inline Outcome literalScan(KQContactHelperList working, const KQConflictScanKinds& kinds)
{
    struct Group
    {
        KQConflictMetaPtr meta;
        std::vector<KQContactHelperList> items;
    };
    std::vector<Group> result;
    const auto findGroup = [&](const QString& name) -> Group* {
        for (Group& group : result) {
            if (group.meta->name() == name)
                return &group;
        }
        return nullptr;
    };
    using Test = std::function<bool(KQContactHelper*, KQContactHelper*)>;
    const auto pairwise = [&](const KQConflictMetaPtr& meta, const Test& test) {
        Group fresh{meta, {}};
        Group* existing = findGroup(meta->name());
        Group& group = existing ? *existing : fresh;
        QSet<QString> placed;
        const size_t n = working.size();
        for (size_t i = 0; i < n; ++i) {
            const KQContactHelperPtr& c = working[i];
            if (placed.contains(c->identifier()))
                continue;
            bool joined = false;
            for (auto& item : group.items) {
                if (test(c.get(), item.front().get())) {
                    item.push_back(c);
                    placed.insert(c->identifier());
                    joined = true;
                    break;
                }
            }
            if (joined)
                continue;
            for (size_t j = i + 1; j < n; ++j) {
                if (placed.contains(working[j]->identifier()))
                    continue;
                if (test(c.get(), working[j].get())) {
                    placed.insert(c->identifier());
                    placed.insert(working[j]->identifier());
                    group.items.push_back({c, working[j]});
                    break;
                }
            }
        }
        if (!existing && !group.items.empty())
            result.push_back(group);
        KQContactHelperList rest;
        for (const auto& contact : working) {
            if (!placed.contains(contact->identifier()))
                rest.push_back(contact);
        }
        working = rest;
    };
    const auto shared = [](KQLabeledValueProperty* a, KQLabeledValueProperty* b) {
        for (const auto& x : a->labeledValueHelpers()) {
            for (const auto& y : b->labeledValueHelpers()) {
                if (x->isEqualToValue(y.get()))
                    return true;
            }
        }
        return false;
    };
    using namespace KQConflictName;
    if (kinds.requireScanConflictWithName(ExactDuplicateContacts))
        pairwise(kinds.conflictMetaWithName(ExactDuplicateContacts),
                 [](KQContactHelper* a, KQContactHelper* b) { return a->isEqualTo(b); });
    if (kinds.requireScanConflictWithName(DuplicateName)) {
        const auto meta =
            std::dynamic_pointer_cast<KQConflictMetaDuplicateName>(kinds.conflictMetaWithName(DuplicateName));
        const int mask = meta ? static_cast<int>(meta->duplicateNameMask()) : 31;
        pairwise(kinds.conflictMetaWithName(DuplicateName),
                 [mask](KQContactHelper* a, KQContactHelper* b) { return a->isEqualToName(b, mask); });
    }
    if (kinds.requireScanConflictWithName(DuplicatePhoneInMultipleContacts))
        pairwise(kinds.conflictMetaWithName(DuplicatePhoneInMultipleContacts),
                 [&](KQContactHelper* a, KQContactHelper* b) {
                     return shared(a->propertyPhoneNumbers(), b->propertyPhoneNumbers());
                 });
    if (kinds.requireScanConflictWithName(DuplicateEmailInMultipleContacts))
        pairwise(
            kinds.conflictMetaWithName(DuplicateEmailInMultipleContacts),
            [&](KQContactHelper* a, KQContactHelper* b) { return shared(a->propertyEmails(), b->propertyEmails()); });
    if (kinds.requireScanConflictWithName(DuplicateAddressInMultipleContacts))
        pairwise(kinds.conflictMetaWithName(DuplicateAddressInMultipleContacts),
                 [&](KQContactHelper* a, KQContactHelper* b) {
                     return shared(a->propertyPostalAddress(), b->propertyPostalAddress());
                 });
    const std::vector<KQConflictMetaPtr> single = kinds.validateConflictMetaInSingleContacts();
    for (const auto& contact : working) {
        for (const auto& meta : single) {
            if (!meta->checkContactHelper(contact.get()))
                continue;
            Group* group = findGroup(meta->name());
            if (group == nullptr) {
                result.push_back(Group{meta, {}});
                group = &result.back();
            }
            group->items.push_back({contact});
            break;
        }
    }
    Outcome outcome;
    for (const Group& group : result) {
        Found found{group.meta->name(), {}};
        for (const auto& item : group.items) {
            QStringList members;
            for (const auto& contact : item)
                members.append(contact->identifier());
            found.items.push_back(members);
        }
        outcome.push_back(found);
    }
    return outcome;
}

// The fast scan of the same list, synchronously.
inline std::optional<Outcome> fastScan(const KQContactHelperList& contacts, const KQConflictScanKinds& kinds)
{
    const auto task = KQConflictScanTask::initWithContactHelpers(contacts);
    task->setKinds(kinds);
    const KQConflictResultPtr result = task->scan({});
    if (!result)
        return std::nullopt;
    return outcomeOf(*result);
}

// Every kind (the postal one that the default list lacks included), all enabled.
inline KQConflictScanKinds allKinds()
{
    std::vector<KQConflictMetaPtr> metas = KQConflictMeta::avaliableConflictMetas();
    metas.insert(metas.begin() + 10, KQConflictMeta::metaWithName(KQConflictName::DuplicateAddressInMultipleContacts));
    return KQConflictScanKinds{metas};
}

// Messy address books: exact duplicates in twos and threes with their values reordered, near
// duplicates differing in one field, shared and reformatted phones, e-mails and addresses, blank
// and partial names, invalid values, odd prefixes and suffixes, leading spaces and tabs, and
// non-Latin scripts, all drawn from small pools so that collisions are common.
class BookGenerator
{
public:
    explicit BookGenerator(quint32 seed) : m_random(seed) {}

    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(m_random); }
    bool chance(int percent) { return pick(100) < percent; }
    template <typename T> const T& any(const std::vector<T>& pool)
    {
        return pool[static_cast<size_t>(pick(static_cast<int>(pool.size())))];
    }

    QString text(const std::vector<const char*>& pool) { return QString::fromUtf8(any(pool)); }

    CNContactData contact()
    {
        static const std::vector<const char*> given = {"",    "",   "Ann",   "Ann",      "Bob", " Ann", "\tBob",
                                                       "Zoë", "王", "Ольга", "Jean Luc", "ann", "Ann "};
        static const std::vector<const char*> family = {"",   "Smith",   "Smith", "Müller",
                                                        "李", "Иванова", "smith", "O'Brien"};
        static const std::vector<const char*> middle = {"", "", "", "Q", "Marie"};
        static const std::vector<const char*> prefix = {"", "", "", "Dr", "dr", "Dr.", "Mr", "Herr", "Dr Prof", "Sir"};
        static const std::vector<const char*> suffix = {"", "", "", "Jr", "jr.", "PhD", "III", "Esq."};
        static const std::vector<const char*> phones = {"555-0100", "5550100", "(555) 0100", "+1 415 555 2671",
                                                        "123",      "5550",    "call me",    "+44 20 7946 0958",
                                                        "555-0199", ""};
        static const std::vector<const char*> emails = {
            "ann@example.org", "Ann@example.org", "bob@example.org", "", "broken@nodot", "zoë@example.org", "x@y.z"};
        static const std::vector<const char*> labels = {"_$!<Home>!$_", "_$!<Work>!$_", "_$!<Other>!$_", "custom", ""};
        static const std::vector<const char*> streets = {"1 Main St", "1 Main St.", "2 Oak Ave", ""};
        static const std::vector<const char*> cities = {"Springfield", "springfield", "Berlin", ""};
        static const std::vector<const char*> words = {"", "", "met at a fair", "call back", "Acme", "Engineer"};

        CNContactData d;
        d.identifier = CNMakeIdentifier();
        d.givenName = text(given);
        d.familyName = text(family);
        if (chance(30))
            d.setRare(&CNContactRareFields::middleName, text(middle));
        if (chance(30))
            d.setRare(&CNContactRareFields::namePrefix, text(prefix));
        if (chance(30))
            d.setRare(&CNContactRareFields::nameSuffix, text(suffix));
        if (chance(20))
            d.setRare(&CNContactRareFields::nickname, text(given));
        if (chance(30))
            d.organizationName = text(words);
        if (chance(30))
            d.jobTitle = text(words);
        d.note = text(words);
        const int phoneCount = pick(4);
        for (int i = 0; i < phoneCount; ++i)
            d.phoneNumbers.push_back({text(labels), CNPhoneNumber(text(phones))});
        const int emailCount = pick(3);
        for (int i = 0; i < emailCount; ++i)
            d.emailAddresses.push_back({text(labels), text(emails)});
        if (chance(40)) {
            CNPostalAddress a;
            a.street = text(streets);
            a.city = text(cities);
            if (chance(30))
                a.postalCode = QStringLiteral("10115");
            d.postalAddresses.push_back({text(labels), a});
            if (chance(15))
                d.postalAddresses.push_back({text(labels), a});
        }
        if (chance(15))
            d.editRare().urlAddresses.push_back({text(labels), QStringLiteral("https://example.org")});
        return d;
    }

    // A copy of d under a new identifier, its value lists reordered.
    CNContactData duplicateOf(const CNContactData& d)
    {
        CNContactData copy = d;
        copy.identifier = CNMakeIdentifier();
        std::shuffle(copy.phoneNumbers.begin(), copy.phoneNumbers.end(), m_random);
        std::shuffle(copy.emailAddresses.begin(), copy.emailAddresses.end(), m_random);
        std::shuffle(copy.postalAddresses.begin(), copy.postalAddresses.end(), m_random);
        return copy;
    }

    // A copy that differs in one field.
    CNContactData nearDuplicateOf(const CNContactData& d)
    {
        CNContactData copy = duplicateOf(d);
        switch (pick(5)) {
        case 0:
            copy.note += QStringLiteral(" (2)");
            break;
        case 1:
            copy.phoneNumbers.push_back({QStringLiteral("_$!<Work>!$_"), CNPhoneNumber(QStringLiteral("555-0100"))});
            break;
        case 2:
            if (!copy.phoneNumbers.empty())
                copy.phoneNumbers.front() = {copy.phoneNumbers.front().label(),
                                             CNPhoneNumber(QStringLiteral("5550100"))};
            break;
        case 3:
            copy.setRare(&CNContactRareFields::middleName, QStringLiteral("Q"));
            break;
        default:
            if (!copy.emailAddresses.empty())
                copy.emailAddresses.front() = {QStringLiteral("_$!<Other>!$_"), copy.emailAddresses.front().value()};
            break;
        }
        return copy;
    }

    std::vector<CNContactData> book(int size)
    {
        std::vector<CNContactData> contacts;
        while (static_cast<int>(contacts.size()) < size) {
            if (!contacts.empty() && chance(15)) {
                const CNContactData base = any(contacts);
                const int copies = chance(30) ? 2 : 1;
                for (int c = 0; c < copies; ++c)
                    contacts.push_back(duplicateOf(base));
            } else if (!contacts.empty() && chance(10)) {
                const CNContactData base = any(contacts);
                contacts.push_back(nearDuplicateOf(base));
            } else {
                contacts.push_back(contact());
            }
        }
        contacts.resize(static_cast<size_t>(size));
        // Duplicates end up anywhere in the list.
        std::shuffle(contacts.begin(), contacts.end(), m_random);
        return contacts;
    }

    // A random choice of kinds and name parts.
    KQConflictScanKinds kinds()
    {
        KQConflictScanKinds kinds = allKinds();
        for (const auto& meta : kinds.metas)
            meta->setValidate(chance(75));
        if (auto name = std::dynamic_pointer_cast<KQConflictMetaDuplicateName>(
                kinds.conflictMetaWithName(KQConflictName::DuplicateName));
            name && chance(50)) {
            const int mask = pick(32);
            name->setDuplicateNamePrefix(mask & 1);
            name->setDuplicateNameSuffix(mask & 2);
            name->setDuplicateGivenName(mask & 4);
            name->setDuplicateMiddleName(mask & 8);
            name->setDuplicateFamilyName(mask & 16);
        }
        return kinds;
    }

private:
    std::mt19937 m_random;
};

inline KQContactHelperList records(const std::vector<CNContactData>& data)
{
    KQContactHelperList list;
    for (const CNContactData& d : data)
        list.push_back(KQContactHelper::create(std::make_shared<CNContact>(d, CNAllKeysSet()), true));
    return list;
}

} // namespace kqscan
