#pragma once
// The user's tag set: the tag list, kept sorted by name, and for each contact identifier the tags
// that contact carries, in the order they were added. Lives on the main thread; the contact
// manager owns the process's one set and the storage writes it to "tags.peoplekeeper".
//
// Tags are matched by identity (the same object) everywhere, except tagWithName and KQTag's
// isEqualTo, which compare names.
//
// Archived form: "tags" holds the tag list, "_tagsForContacts.allKeys" every contact identifier of
// the map, and each identifier with a non-empty list an index set of its tags' positions in
// "tags". A contact's list therefore comes back in tag-list order, without repeats.

#include "store/KQTag.h"

#include <QList>
#include <QMap>
#include <QObject>
#include <vector>

class KQTagsManager;
using KQTagsManagerPtr = std::shared_ptr<KQTagsManager>;
using KQTagList = std::vector<KQTagPtr>;

class KQTagsManager : public QObject, public KQCoding
{
    Q_OBJECT
public:
    KQTagsManager() = default;

    // Name order: by character code (capitals first), unnamed tags last.
    static bool tagNameLessThan(const QString& a, const QString& b);

    // --- the tag list (observable; reading returns a copy). Every insertion and replacement puts
    // the tags at their sorted places, so the indexes given to the inserting calls only pair the
    // tags with the call; the signals report the places the tags took. A tag already listed is not
    // listed twice.
    KQTagList tags() const { return m_tags; }
    int countOfTags() const { return static_cast<int>(m_tags.size()); }
    KQTagPtr objectInTagsAtIndex(int index) const;
    void insertTags(const KQTagList& tags, const QList<int>& indexes);
    void insertObjectInTagsAtIndex(const KQTagPtr& tag, int index);
    void replaceObjectInTagsAtIndex(int index, const KQTagPtr& tag);
    void removeTagsAtIndexes(const QList<int>& indexes);
    void removeObjectFromTagsAtIndex(int index);
    void setTags(const KQTagList& tags);
    void addTag(const KQTagPtr& tag);
    void addTags(const KQTagList& tags);
    // The list only; contacts keep carrying the tags.
    void removeTags(const KQTagList& tags);
    void clearTags();
    // From the list and from every contact; nothing for a tag that is not listed.
    void removeTag(const KQTagPtr& tag);
    // removeTag, only when no contact carries the tag.
    void removeTagIfNoneUsed(const KQTagPtr& tag);
    int indexOfTag(const KQTag* tag) const;
    QList<int> indexesOfTags(const KQTagList& tags) const;
    // The first tag in list order with exactly that name, or none.
    KQTagPtr tagWithName(const QString& name) const;
    bool tagExist(const KQTag* tag) const { return tag != nullptr && tagWithName(tag->name()) != nullptr; }
    bool tagBeUsed(const KQTag* tag) const;

    // --- renaming: refused when the name belongs to another tag (renaming a tag to its own name is
    // allowed). An accepted rename moves the tag to its new sorted place.
    bool canRenameTag(const KQTag* tag, const QString& name) const;
    bool renameTag(const KQTagPtr& tag, const QString& name);
    // The alert the sidebar shows for a refused rename (%1: the new name).
    static QString renameRefusedMessage(const QString& name);
    static QString renameRefusedInformativeText();

    // --- per contact identifier; every insertion creates the contact's list when it has none
    KQTagList tagsForContactWithIdentifier(const QString& identifier) const;
    void setTagsForContactWithIdentifier(const KQTagList& tags, const QString& identifier);
    // Appends, without looking for the tag first.
    void addTagToContactWithIdentifier(const KQTagPtr& tag, const QString& identifier);
    // Removes every occurrence.
    void removeTagFromContactWithIdentifier(const KQTag* tag, const QString& identifier);
    int indexOfTagForContactWithIdentifier(const KQTag* tag, const QString& identifier) const;
    void insertTagsAtIndexesForContactWithIdentifier(const KQTagList& tags, const QList<int>& indexes,
                                                     const QString& identifier);
    void insertObjectInTagsAtIndexForContactWithIdentifier(const KQTagPtr& tag, int index, const QString& identifier);
    void removeTagsAtIndexesForContactWithIdentifier(const QList<int>& indexes, const QString& identifier);
    void removeObjectFromTagsAtIndexForContactWithIdentifier(int index, const QString& identifier);
    // The tag with that name, or a new one added to the list; then appended to the contact's list.
    KQTagPtr newTagWithNameToContactWithIdentifier(const QString& name, const QString& identifier);
    // Every contact identifier in the map, also those whose list is empty.
    QStringList contactIdentifiers() const { return m_tagsForContacts.keys(); }

    QStringList archiveClassNames() const override;
    void encodeWithCoder(KQKeyedArchiver& coder) const override;
    static void registerArchiveClass();
    static QSet<QString> archiveClasses();

Q_SIGNALS:
    void tagsInserted(const QList<int>& indexes);
    void tagsRemoved(const QList<int>& indexes);
    void tagsReplaced(const QList<int>& indexes);
    // The list of one contact changed; records announce their "tags" from it.
    void tagsForContactChanged(const QString& identifier);

private:
    // Puts tag at its sorted place (after equal names); returns the place.
    int insertSorted(const KQTagPtr& tag);
    QList<int> placesOf(const KQTagList& tags) const;

    KQTagList m_tags;
    QMap<QString, KQTagList> m_tagsForContacts;
};
