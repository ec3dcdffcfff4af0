// A record's tags: the list the tags manager keeps for the record's identifier.

#include "model/KQContactTags.h"

#include "model/KQContactHelper.h"
#include "store/KQContactManager.h"
#include "store/KQTagsManager.h"

namespace {

KQTagsManager* tagsManager()
{
    return KQContactManager::sharedContactManager()->tagsMgr().get();
}

} // namespace

KQTagList KQContactTags::tags() const
{
    return tagsManager()->tagsForContactWithIdentifier(m_record.identifier());
}

void KQContactTags::setTags(const KQTagList& tags)
{
    // Remove all, then insert all, each as one change.
    QList<int> all;
    for (int i = 0; i < static_cast<int>(this->tags().size()); ++i)
        all.append(i);
    removeTagsAtIndexes(all);
    QList<int> indexes;
    for (int i = 0; i < static_cast<int>(tags.size()); ++i)
        indexes.append(i);
    insertTagsAtIndexes(tags, indexes);
}

void KQContactTags::insertObjectInTagsAtIndex(const KQTagPtr& tag, int index)
{
    tagsManager()->insertObjectInTagsAtIndexForContactWithIdentifier(tag, index, m_record.identifier());
}

void KQContactTags::removeObjectFromTagsAtIndex(int index)
{
    tagsManager()->removeObjectFromTagsAtIndexForContactWithIdentifier(index, m_record.identifier());
}

void KQContactTags::insertTagsAtIndexes(const KQTagList& tags, const QList<int>& indexes)
{
    if (!tags.empty())
        tagsManager()->insertTagsAtIndexesForContactWithIdentifier(tags, indexes, m_record.identifier());
}

void KQContactTags::removeTagsAtIndexes(const QList<int>& indexes)
{
    if (!indexes.isEmpty())
        tagsManager()->removeTagsAtIndexesForContactWithIdentifier(indexes, m_record.identifier());
}

void KQContactTags::addTag(const KQTagPtr& tag)
{
    KQTagsManager* manager = tagsManager();
    if (tag && manager->indexOfTagForContactWithIdentifier(tag.get(), m_record.identifier()) < 0)
        manager->addTagToContactWithIdentifier(tag, m_record.identifier());
}

void KQContactTags::removeTag(const KQTagPtr& tag)
{
    if (tag)
        tagsManager()->removeTagFromContactWithIdentifier(tag.get(), m_record.identifier());
}

KQTagPtr KQContactTags::addTagsWithName(const QString& name)
{
    const std::shared_ptr<KQTagsManager> manager = KQContactManager::sharedContactManager()->tagsMgr();
    KQTagPtr tag = manager->tagWithName(name);
    if (!tag) {
        tag = KQTag::create(name);
        KQDispatch::mainAsync([manager, tag] { manager->addTag(tag); });
    }
    addTag(tag);
    return tag;
}
