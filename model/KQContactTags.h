#pragma once
// A record's tags: the list the tags manager keeps under the record's identifier, with the
// observable list accessors. A record hands one out with KQContactHelper::tagging(); it holds no
// state of its own.

#include <QList>
#include <QString>
#include <memory>
#include <vector>

class KQContactHelper;
class KQTag;

class KQContactTags
{
public:
    explicit KQContactTags(const KQContactHelper& record) : m_record(record) {}

    std::vector<std::shared_ptr<KQTag>> tags() const;
    void setTags(const std::vector<std::shared_ptr<KQTag>>& tags);
    void insertObjectInTagsAtIndex(const std::shared_ptr<KQTag>& tag, int index);
    void removeObjectFromTagsAtIndex(int index);
    void insertTagsAtIndexes(const std::vector<std::shared_ptr<KQTag>>& tags, const QList<int>& indexes);
    void removeTagsAtIndexes(const QList<int>& indexes);
    // Appends the tag unless the record has it.
    void addTag(const std::shared_ptr<KQTag>& tag);
    void removeTag(const std::shared_ptr<KQTag>& tag);
    // The manager's tag of that name (a new one, added to the manager, when there is none), added to
    // the record.
    std::shared_ptr<KQTag> addTagsWithName(const QString& name);

private:
    const KQContactHelper& m_record;
};
