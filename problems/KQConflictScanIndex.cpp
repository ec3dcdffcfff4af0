#include "problems/KQConflictScanIndex.h"

#include "model/KQLabeledEmail.h"
#include "model/KQLabeledPhoneNumber.h"
#include "model/KQLabeledPostalAddress.h"
#include "model/KQLabeledURL.h"

#include <algorithm>

int KQConflictScanKeyTable::intern(quint64 digest)
{
    const auto [it, added] = m_ids.try_emplace(digest, static_cast<int>(m_ids.size()));
    Q_UNUSED(added);
    return it->second;
}

namespace {

// Keys are 64-bit digests of the compared texts. Two contacts the test can accept always get the
// same digest; two others rarely do, and then they are merely tried and rejected by the test.
struct Digest
{
    quint64 value = 0x84222325cbf29ce4ULL;
    void add(quint64 part) { value = (value ^ part) * 0x100000001b3ULL + (value >> 29); }
    void add(const QString& text)
    {
        add(static_cast<quint64>(text.size()));
        add(static_cast<quint64>(qHash(text, 0x5bd1e995U)));
    }
    void add(const std::optional<QString>& text) { add(text ? *text : QString()); }
};

} // namespace

namespace KQConflictScanIndex {

std::optional<QString> valueKey(const KQLabeledValueHelper* value)
{
    if (value == nullptr)
        return std::nullopt;
    // Each kind's key follows that kind's own value equality.
    if (const auto* phone = qobject_cast<const KQLabeledPhoneNumber*>(value)) {
        if (!phone->phoneNumaber())
            return QStringLiteral("N");
        return QLatin1Char('P') + phone->phoneNumaber()->stringValue();
    }
    if (const auto* email = qobject_cast<const KQLabeledEmail*>(value)) {
        if (email->email().isEmpty())
            return std::nullopt;
        return QLatin1Char('E') + email->email();
    }
    if (const auto* address = qobject_cast<const KQLabeledPostalAddress*>(value)) {
        const CNPostalAddress& a = address->effectivePostalAddresses();
        QString key = QStringLiteral("A");
        for (const QString* part : {&a.city, &a.street, &a.state, &a.country, &a.postalCode, &a.isoCountryCode,
                                    &a.subLocality, &a.subAdministrativeArea}) {
            key += QString::number(part->size());
            key += QLatin1Char(':');
            key += *part;
        }
        return key;
    }
    if (const auto* url = qobject_cast<const KQLabeledURL*>(value))
        return QLatin1Char('U') + url->urlString();
    return QLatin1Char('V') + value->valueString();
}

KQConflictScanKeys exactDuplicateKeys(KQContactHelper* contact, KQConflictScanKeyTable& table)
{
    Digest coarse;
    for (const auto& text :
         {contact->namePrefix(), contact->givenName(), contact->middleName(), contact->familyName(),
          contact->nameSuffix(), contact->jobTitle(), contact->department(), contact->organizationName(),
          contact->phoneticGivenName(), contact->phoneticMiddleName(), contact->phoneticFamilyName(),
          contact->phoneticOrgName(), contact->nickName(), contact->note()})
        coarse.add(text);
    KQLabeledValueProperty* properties[] = {contact->propertyUrls(),          contact->propertyEmails(),
                                            contact->propertyPostalAddress(), contact->propertyPhoneNumbers(),
                                            contact->propertySocial(),        contact->propertyDates(),
                                            contact->propertyRelation(),      contact->propertyInstantMsg()};
    Digest fine;
    bool clean = true;     // no field repeats a value
    bool matchable = true; // no value that equals nothing
    std::vector<quint64> values;
    for (KQLabeledValueProperty* property : properties) {
        coarse.add(static_cast<quint64>(property->countOfLabeledValueHelpers()));
        values.clear();
        for (const auto& value : property->labeledValueHelpers()) {
            const std::optional<QString> key = valueKey(value.get());
            if (!key) {
                matchable = false;
                continue;
            }
            Digest entry;
            entry.add(value->localizedLabel());
            entry.add(*key);
            values.push_back(entry.value);
        }
        std::sort(values.begin(), values.end());
        if (std::adjacent_find(values.cbegin(), values.cend()) != values.cend())
            clean = false;
        fine.add(static_cast<quint64>(values.size()));
        for (quint64 value : values)
            fine.add(value);
    }
    KQConflictScanKeys keys;
    const int coarseId = table.intern(coarse.value);
    keys.registered.push_back(coarseId);
    if (clean && matchable) {
        // With distinct values, "each of mine has an equal among the same number of theirs" means
        // both hold the same values.
        fine.add(coarse.value);
        const int fineId = table.intern(fine.value ^ 0x9e3779b97f4a7c15ULL);
        keys.registered.push_back(fineId);
        keys.queried.push_back(fineId);
    } else if (matchable) {
        keys.queried.push_back(coarseId);
    }
    return keys;
}

KQConflictScanKeys duplicateNameKeys(KQContactHelper* contact, int mask, KQConflictScanKeyTable& table)
{
    KQConflictScanKeys keys;
    const std::pair<int, std::optional<QString> (KQContactHelper::*)() const> parts[] = {
        {1, &KQContactHelper::namePrefix},
        {4, &KQContactHelper::givenName},
        {8, &KQContactHelper::middleName},
        {16, &KQContactHelper::familyName},
        {2, &KQContactHelper::nameSuffix}};
    Digest key;
    bool someFilled = false;
    for (const auto& [bit, read] : parts) {
        if ((mask & bit) == 0)
            continue;
        const QString text = (contact->*read)().value_or(QString());
        someFilled = someFilled || !text.isEmpty();
        key.add(text);
    }
    if (someFilled) {
        const int id = table.intern(key.value);
        keys.registered.push_back(id);
        keys.queried.push_back(id);
    }
    return keys;
}

KQConflictScanKeys sharedValueKeys(KQLabeledValueProperty* property, KQConflictScanKeyTable& table)
{
    KQConflictScanKeys keys;
    for (const auto& value : property->labeledValueHelpers()) {
        if (const std::optional<QString> key = valueKey(value.get())) {
            Digest digest;
            digest.add(*key);
            keys.registered.push_back(table.intern(digest.value));
        }
    }
    std::sort(keys.registered.begin(), keys.registered.end());
    keys.registered.erase(std::unique(keys.registered.begin(), keys.registered.end()), keys.registered.end());
    keys.queried = keys.registered;
    return keys;
}

Pass findConflicts(int n, const std::vector<int>& sameContact, const std::vector<KQConflictScanKeys>& keys,
                   int keyCount, const std::vector<KQContactHelperPtr>& existingFirsts,
                   const std::function<bool(int i, const KQContactHelperPtr& first)>& testExisting,
                   const std::function<bool(int i, int j)>& test, const std::function<bool(int i)>& progress)
{
    Pass pass;
    pass.placed.assign(static_cast<size_t>(n), 0);
    pass.joinedExisting.resize(existingFirsts.size());

    // Who is registered under each key, in list order; a cursor per key skips the positions that can
    // no longer be partners (at or before the current one, or placed).
    std::vector<std::vector<int>> postings(static_cast<size_t>(keyCount));
    for (int i = 0; i < n; ++i) {
        for (int key : keys[static_cast<size_t>(i)].registered)
            postings[static_cast<size_t>(key)].push_back(i);
    }
    std::vector<size_t> cursor(static_cast<size_t>(keyCount), 0);
    // The new items whose first member is registered under each key, in creation order.
    std::vector<std::vector<int>> itemsByKey(static_cast<size_t>(keyCount));
    std::vector<char> placedContact(static_cast<size_t>(n), 0);
    const auto isPlaced = [&](int i) {
        return placedContact[static_cast<size_t>(sameContact[static_cast<size_t>(i)])] != 0;
    };
    const auto place = [&](int i) { placedContact[static_cast<size_t>(sameContact[static_cast<size_t>(i)])] = 1; };

    std::vector<int> candidates;
    for (int i = 0; i < n; ++i) {
        if (isPlaced(i))
            continue;
        const std::vector<int>& queried = keys[static_cast<size_t>(i)].queried;
        bool done = false;

        // The items found before, in their order.
        for (size_t e = 0; e < existingFirsts.size() && !done; ++e) {
            if (testExisting(i, existingFirsts[e])) {
                pass.joinedExisting[e].push_back(i);
                place(i);
                done = true;
            }
        }
        // The items of this pass that the keys lead to, in creation order.
        if (!done) {
            candidates.clear();
            for (int key : queried) {
                const auto& list = itemsByKey[static_cast<size_t>(key)];
                candidates.insert(candidates.end(), list.begin(), list.end());
            }
            std::sort(candidates.begin(), candidates.end());
            candidates.erase(std::unique(candidates.begin(), candidates.end()), candidates.end());
            for (int item : candidates) {
                auto& members = pass.items[static_cast<size_t>(item)];
                if (test(i, members.front())) {
                    members.push_back(i);
                    place(i);
                    done = true;
                    break;
                }
            }
        }
        // The first later contact not yet placed that passes the test: walk the keys' lists
        // together in list order.
        if (!done) {
            std::vector<size_t> heads;
            heads.reserve(queried.size());
            for (int key : queried) {
                const auto& list = postings[static_cast<size_t>(key)];
                size_t& at = cursor[static_cast<size_t>(key)];
                while (at < list.size() && (list[at] <= i || isPlaced(list[at])))
                    ++at;
                heads.push_back(at);
            }
            int partner = -1;
            for (;;) {
                int next = n;
                for (size_t k = 0; k < queried.size(); ++k) {
                    const auto& list = postings[static_cast<size_t>(queried[k])];
                    size_t& at = heads[k];
                    while (at < list.size() && (list[at] <= i || isPlaced(list[at])))
                        ++at;
                    if (at < list.size())
                        next = std::min(next, list[at]);
                }
                if (next >= n)
                    break;
                if (test(i, next)) {
                    partner = next;
                    break;
                }
                for (size_t k = 0; k < queried.size(); ++k) {
                    const auto& list = postings[static_cast<size_t>(queried[k])];
                    if (heads[k] < list.size() && list[heads[k]] == next)
                        ++heads[k];
                }
            }
            if (partner >= 0) {
                place(i);
                place(partner);
                const int item = static_cast<int>(pass.items.size());
                pass.items.push_back({i, partner});
                for (int key : keys[static_cast<size_t>(i)].registered)
                    itemsByKey[static_cast<size_t>(key)].push_back(item);
            }
        }
        if (progress && progress(i)) {
            pass.cancelled = true;
            break;
        }
    }
    for (int i = 0; i < n; ++i)
        pass.placed[static_cast<size_t>(i)] = isPlaced(i) ? 1 : 0;
    return pass;
}

} // namespace KQConflictScanIndex
