#include "store/KQTagsManager.h"

#include <QSet>
#include <algorithm>

namespace {

const QString kTagsKey = QStringLiteral("tags");
const QString kContactKeysKey = QStringLiteral("_tagsForContacts.allKeys");

// A contact identifier that equals one of the archive's own keys cannot carry an index set.
bool isReservedKey(const QString& key)
{
    return key == kTagsKey || key == kContactKeysKey;
}

} // namespace

bool KQTagsManager::tagNameLessThan(const QString& a, const QString& b)
{
    if (a.isEmpty() || b.isEmpty())
        return !a.isEmpty() && b.isEmpty();
    return QString::compare(a, b, Qt::CaseSensitive) < 0;
}

KQTagPtr KQTagsManager::objectInTagsAtIndex(int index) const
{
    if (index < 0 || index >= countOfTags())
        return nullptr;
    return m_tags[static_cast<size_t>(index)];
}

int KQTagsManager::insertSorted(const KQTagPtr& tag)
{
    const auto at = std::upper_bound(m_tags.begin(), m_tags.end(), tag, [](const KQTagPtr& a, const KQTagPtr& b) {
        return tagNameLessThan(a->name(), b->name());
    });
    const auto place = static_cast<int>(at - m_tags.begin());
    m_tags.insert(at, tag);
    return place;
}

QList<int> KQTagsManager::placesOf(const KQTagList& tags) const
{
    QList<int> places;
    for (const auto& tag : tags)
        places.append(indexOfTag(tag.get()));
    std::sort(places.begin(), places.end());
    return places;
}

void KQTagsManager::insertTags(const KQTagList& tags, const QList<int>& indexes)
{
    if (static_cast<qsizetype>(tags.size()) != indexes.size())
        return;
    KQTagList added;
    for (const auto& tag : tags) {
        if (!tag || indexOfTag(tag.get()) >= 0)
            continue;
        insertSorted(tag);
        added.push_back(tag);
    }
    if (!added.empty())
        Q_EMIT tagsInserted(placesOf(added));
}

void KQTagsManager::insertObjectInTagsAtIndex(const KQTagPtr& tag, int index)
{
    insertTags({tag}, {index});
}

void KQTagsManager::replaceObjectInTagsAtIndex(int index, const KQTagPtr& tag)
{
    if (!tag || index < 0 || index >= countOfTags())
        return;
    const int listed = indexOfTag(tag.get());
    if (listed == index)
        return;
    if (listed >= 0) // the new tag is listed elsewhere: the replacement only drops the old one
        return removeObjectFromTagsAtIndex(index);
    m_tags.erase(m_tags.begin() + index);
    const int place = insertSorted(tag);
    if (place == index) {
        Q_EMIT tagsReplaced({index});
    } else {
        Q_EMIT tagsRemoved({index});
        Q_EMIT tagsInserted({place});
    }
}

void KQTagsManager::removeTagsAtIndexes(const QList<int>& indexes)
{
    QList<int> sorted = indexes;
    std::sort(sorted.begin(), sorted.end());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
    QList<int> done;
    for (auto it = sorted.crbegin(); it != sorted.crend(); ++it) {
        if (*it >= 0 && *it < countOfTags()) {
            m_tags.erase(m_tags.begin() + *it);
            done.prepend(*it);
        }
    }
    if (!done.isEmpty())
        Q_EMIT tagsRemoved(done);
}

void KQTagsManager::removeObjectFromTagsAtIndex(int index)
{
    removeTagsAtIndexes({index});
}

void KQTagsManager::setTags(const KQTagList& tags)
{
    clearTags();
    addTags(tags);
}

void KQTagsManager::addTag(const KQTagPtr& tag)
{
    addTags({tag});
}

void KQTagsManager::addTags(const KQTagList& tags)
{
    QList<int> indexes;
    for (size_t i = 0; i < tags.size(); ++i)
        indexes.append(countOfTags() + static_cast<int>(i));
    insertTags(tags, indexes);
}

void KQTagsManager::removeTags(const KQTagList& tags)
{
    removeTagsAtIndexes(indexesOfTags(tags));
}

void KQTagsManager::clearTags()
{
    QList<int> all;
    for (int i = 0; i < countOfTags(); ++i)
        all.append(i);
    removeTagsAtIndexes(all);
}

void KQTagsManager::removeTag(const KQTagPtr& tag)
{
    const int index = indexOfTag(tag.get());
    if (index < 0)
        return;
    removeObjectFromTagsAtIndex(index);
    for (const QString& identifier : m_tagsForContacts.keys()) {
        if (indexOfTagForContactWithIdentifier(tag.get(), identifier) >= 0)
            removeTagFromContactWithIdentifier(tag.get(), identifier);
    }
}

void KQTagsManager::removeTagIfNoneUsed(const KQTagPtr& tag)
{
    if (!tagBeUsed(tag.get()))
        removeTag(tag);
}

int KQTagsManager::indexOfTag(const KQTag* tag) const
{
    const auto it = std::find_if(m_tags.begin(), m_tags.end(), [tag](const KQTagPtr& t) { return t.get() == tag; });
    return it == m_tags.end() || tag == nullptr ? -1 : static_cast<int>(it - m_tags.begin());
}

QList<int> KQTagsManager::indexesOfTags(const KQTagList& tags) const
{
    QList<int> indexes;
    for (const auto& tag : tags) {
        const int index = indexOfTag(tag.get());
        if (index >= 0 && !indexes.contains(index))
            indexes.append(index);
    }
    std::sort(indexes.begin(), indexes.end());
    return indexes;
}

KQTagPtr KQTagsManager::tagWithName(const QString& name) const
{
    const auto it =
        std::find_if(m_tags.begin(), m_tags.end(), [&name](const KQTagPtr& t) { return t->name() == name; });
    return it == m_tags.end() ? nullptr : *it;
}

bool KQTagsManager::tagBeUsed(const KQTag* tag) const
{
    for (const KQTagList& list : m_tagsForContacts) {
        if (std::any_of(list.begin(), list.end(), [tag](const KQTagPtr& t) { return t.get() == tag; }))
            return true;
    }
    return false;
}

bool KQTagsManager::canRenameTag(const KQTag* tag, const QString& name) const
{
    // The tag found by the new name must carry the edited tag's current name: then the name is
    // unchanged, and no other tag is named like that.
    const KQTagPtr owner = tagWithName(name);
    return tag != nullptr && (!owner || owner->isEqualTo(tag));
}

bool KQTagsManager::renameTag(const KQTagPtr& tag, const QString& name)
{
    if (!canRenameTag(tag.get(), name))
        return false;
    if (tag->name() == name)
        return true;
    tag->setName(name);
    const int index = indexOfTag(tag.get());
    if (index >= 0) {
        m_tags.erase(m_tags.begin() + index);
        const int place = insertSorted(tag);
        if (place == index) {
            Q_EMIT tagsReplaced({index});
        } else {
            Q_EMIT tagsRemoved({index});
            Q_EMIT tagsInserted({place});
        }
    }
    return true;
}

QString KQTagsManager::renameRefusedMessage(const QString& name)
{
    return QStringLiteral("The tag named %1 allready exist.").arg(name);
}

QString KQTagsManager::renameRefusedInformativeText()
{
    return QStringLiteral("It's not allowed to exist the same name tag.");
}

// ---------------------------------------------------------------- per contact

KQTagList KQTagsManager::tagsForContactWithIdentifier(const QString& identifier) const
{
    return m_tagsForContacts.value(identifier);
}

void KQTagsManager::setTagsForContactWithIdentifier(const KQTagList& tags, const QString& identifier)
{
    KQTagList list;
    std::copy_if(tags.begin(), tags.end(), std::back_inserter(list), [](const KQTagPtr& t) { return t != nullptr; });
    m_tagsForContacts.insert(identifier, list);
    Q_EMIT tagsForContactChanged(identifier);
}

void KQTagsManager::addTagToContactWithIdentifier(const KQTagPtr& tag, const QString& identifier)
{
    if (!tag)
        return;
    m_tagsForContacts[identifier].push_back(tag);
    Q_EMIT tagsForContactChanged(identifier);
}

void KQTagsManager::removeTagFromContactWithIdentifier(const KQTag* tag, const QString& identifier)
{
    const auto it = m_tagsForContacts.find(identifier);
    if (it == m_tagsForContacts.end())
        return;
    const auto before = it->size();
    it->erase(std::remove_if(it->begin(), it->end(), [tag](const KQTagPtr& t) { return t.get() == tag; }), it->end());
    if (it->size() != before)
        Q_EMIT tagsForContactChanged(identifier);
}

int KQTagsManager::indexOfTagForContactWithIdentifier(const KQTag* tag, const QString& identifier) const
{
    const auto it = m_tagsForContacts.constFind(identifier);
    if (it == m_tagsForContacts.constEnd() || tag == nullptr)
        return -1;
    const auto found = std::find_if(it->begin(), it->end(), [tag](const KQTagPtr& t) { return t.get() == tag; });
    return found == it->end() ? -1 : static_cast<int>(found - it->begin());
}

void KQTagsManager::insertTagsAtIndexesForContactWithIdentifier(const KQTagList& tags, const QList<int>& indexes,
                                                                const QString& identifier)
{
    if (static_cast<qsizetype>(tags.size()) != indexes.size())
        return;
    KQTagList& list = m_tagsForContacts[identifier];
    // Indexes are places in the resulting list, paired with the tags in ascending order.
    QList<int> sorted = indexes;
    std::sort(sorted.begin(), sorted.end());
    bool changed = false;
    for (qsizetype i = 0; i < sorted.size(); ++i) {
        const KQTagPtr& tag = tags[static_cast<size_t>(i)];
        if (!tag || sorted[i] < 0 || sorted[i] > static_cast<int>(list.size()))
            continue;
        list.insert(list.begin() + sorted[i], tag);
        changed = true;
    }
    if (changed)
        Q_EMIT tagsForContactChanged(identifier);
}

void KQTagsManager::insertObjectInTagsAtIndexForContactWithIdentifier(const KQTagPtr& tag, int index,
                                                                      const QString& identifier)
{
    insertTagsAtIndexesForContactWithIdentifier({tag}, {index}, identifier);
}

void KQTagsManager::removeTagsAtIndexesForContactWithIdentifier(const QList<int>& indexes, const QString& identifier)
{
    const auto it = m_tagsForContacts.find(identifier);
    if (it == m_tagsForContacts.end())
        return;
    QList<int> sorted = indexes;
    std::sort(sorted.begin(), sorted.end());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
    bool changed = false;
    for (auto i = sorted.crbegin(); i != sorted.crend(); ++i) {
        if (*i >= 0 && *i < static_cast<int>(it->size())) {
            it->erase(it->begin() + *i);
            changed = true;
        }
    }
    if (changed)
        Q_EMIT tagsForContactChanged(identifier);
}

void KQTagsManager::removeObjectFromTagsAtIndexForContactWithIdentifier(int index, const QString& identifier)
{
    removeTagsAtIndexesForContactWithIdentifier({index}, identifier);
}

KQTagPtr KQTagsManager::newTagWithNameToContactWithIdentifier(const QString& name, const QString& identifier)
{
    KQTagPtr tag = tagWithName(name);
    if (!tag) {
        tag = KQTag::create(name);
        addTag(tag);
    }
    addTagToContactWithIdentifier(tag, identifier);
    return tag;
}

// ---------------------------------------------------------------- archive

QStringList KQTagsManager::archiveClassNames() const
{
    return {QStringLiteral("KQTagsManager"), QStringLiteral("NSObject")};
}

QSet<QString> KQTagsManager::archiveClasses()
{
    return {QStringLiteral("KQTagsManager"), QStringLiteral("KQTag")};
}

void KQTagsManager::encodeWithCoder(KQKeyedArchiver& coder) const
{
    std::vector<const KQCoding*> tags;
    tags.reserve(m_tags.size());
    for (const auto& tag : m_tags)
        tags.push_back(tag.get());
    coder.encodeArray(tags, kTagsKey);

    QStringList identifiers;
    for (auto it = m_tagsForContacts.cbegin(); it != m_tagsForContacts.cend(); ++it) {
        if (isReservedKey(it.key()))
            continue;
        identifiers.append(it.key());
        std::vector<qint64> positions;
        for (const auto& tag : it.value()) {
            // A tag taken off the list (removeTags, clearTags) has no position and is not kept.
            if (const int index = indexOfTag(tag.get()); index >= 0)
                positions.push_back(index);
        }
        if (!positions.empty())
            coder.encodeIndexSet(positions, it.key());
    }
    coder.encodeStringArray(identifiers, kContactKeysKey);
}

void KQTagsManager::registerArchiveClass()
{
    KQTag::registerArchiveClass();
    KQRegisterArchiveClass(QStringLiteral("KQTagsManager"), [](KQKeyedUnarchiver& coder) -> KQCodingPtr {
        KQTagList stored;
        for (const KQCodingPtr& object : coder.decodeArrayOfClasses({QStringLiteral("KQTag")}, kTagsKey)) {
            if (auto tag = std::dynamic_pointer_cast<KQTag>(object))
                stored.push_back(tag);
        }
        auto manager = std::make_shared<KQTagsManager>();
        for (const QString& identifier : coder.decodeStringArray(kContactKeysKey)) {
            if (isReservedKey(identifier) || coder.valueKindForKey(identifier) != KQArchiveValueKind::Object)
                continue;
            KQTagList list;
            for (const qint64 position : coder.decodeIndexSet(identifier)) {
                // Positions past the stored list come from damage and are dropped.
                if (position >= 0 && position < static_cast<qint64>(stored.size()))
                    list.push_back(stored[static_cast<size_t>(position)]);
            }
            if (!list.empty())
                manager->m_tagsForContacts.insert(identifier, list);
        }
        if (coder.failed())
            return nullptr;
        for (const auto& tag : stored) {
            if (manager->indexOfTag(tag.get()) < 0)
                manager->insertSorted(tag);
        }
        return manager;
    });
}
