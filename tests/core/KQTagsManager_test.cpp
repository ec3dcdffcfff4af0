#include "store/KQTagsManager.h"

#include <gtest/gtest.h>

namespace {

QStringList names(const KQTagList& tags)
{
    QStringList list;
    for (const auto& tag : tags)
        list.append(tag->name());
    return list;
}

const QString kAnn = QStringLiteral("ann-id");
const QString kBob = QStringLiteral("bob-id");

} // namespace

TEST(TagsManager, ListIsSortedByCharacterCodeWithUnnamedLast)
{
    KQTagsManager tags;
    QList<QList<int>> inserted;
    QObject::connect(&tags, &KQTagsManager::tagsInserted, [&inserted](const QList<int>& i) { inserted.append(i); });
    tags.addTags({KQTag::create(QStringLiteral("b")), KQTag::create(QStringLiteral("A")), KQTag::create(QString()),
                  KQTag::create(QStringLiteral("a"))});
    EXPECT_EQ(names(tags.tags()),
              (QStringList{QStringLiteral("A"), QStringLiteral("a"), QStringLiteral("b"), QString()}));
    ASSERT_EQ(inserted.size(), 1);
    EXPECT_EQ(inserted[0], (QList<int>{0, 1, 2, 3}));

    // Whatever index the caller names, a tag takes its sorted place, and the signal says where.
    tags.insertObjectInTagsAtIndex(KQTag::create(QStringLiteral("B")), 4);
    EXPECT_EQ(inserted.last(), QList<int>{1});
    EXPECT_EQ(names(tags.tags()), (QStringList{QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("a"),
                                               QStringLiteral("b"), QString()}));

    // A replacement is sorted too.
    tags.replaceObjectInTagsAtIndex(0, KQTag::create(QStringLiteral("c")));
    EXPECT_EQ(names(tags.tags()), (QStringList{QStringLiteral("B"), QStringLiteral("a"), QStringLiteral("b"),
                                               QStringLiteral("c"), QString()}));

    // Out-of-range and listed-twice requests change nothing.
    const auto listed = tags.objectInTagsAtIndex(0);
    tags.addTag(listed);
    tags.removeObjectFromTagsAtIndex(9);
    EXPECT_EQ(tags.countOfTags(), 5);
    EXPECT_EQ(tags.objectInTagsAtIndex(5), nullptr);
    EXPECT_EQ(tags.objectInTagsAtIndex(-1), nullptr);
}

TEST(TagsManager, TagsAreMatchedByIdentityExceptByName)
{
    KQTagsManager tags;
    const auto work = KQTag::create(QStringLiteral("work"));
    const auto twin = KQTag::create(QStringLiteral("work"));
    tags.addTag(work);
    EXPECT_EQ(tags.indexOfTag(work.get()), 0);
    EXPECT_EQ(tags.indexOfTag(twin.get()), -1);
    EXPECT_TRUE(tags.tagExist(twin.get()));
    EXPECT_TRUE(twin->isEqualTo(work.get()));
    EXPECT_EQ(tags.tagWithName(QStringLiteral("work")), work);
    EXPECT_EQ(tags.tagWithName(QStringLiteral("Work")), nullptr);
    EXPECT_EQ(KQTag().name(), QStringLiteral("unname tag"));

    // Removing the twin, which is not listed, changes nothing anywhere.
    tags.addTagToContactWithIdentifier(work, kAnn);
    tags.removeTag(twin);
    EXPECT_EQ(tags.countOfTags(), 1);
    EXPECT_EQ(tags.tagsForContactWithIdentifier(kAnn).size(), 1u);
}

TEST(TagsManager, PerContactLists)
{
    KQTagsManager tags;
    QStringList changed;
    QObject::connect(&tags, &KQTagsManager::tagsForContactChanged,
                     [&changed](const QString& id) { changed.append(id); });
    const auto a = KQTag::create(QStringLiteral("a"));
    const auto b = KQTag::create(QStringLiteral("b"));
    tags.addTags({a, b});

    EXPECT_TRUE(tags.tagsForContactWithIdentifier(kAnn).empty());
    tags.addTagToContactWithIdentifier(b, kAnn);
    tags.addTagToContactWithIdentifier(a, kAnn);
    tags.addTagToContactWithIdentifier(b, kAnn); // no duplicate check at this level
    EXPECT_EQ(names(tags.tagsForContactWithIdentifier(kAnn)),
              (QStringList{QStringLiteral("b"), QStringLiteral("a"), QStringLiteral("b")}));
    EXPECT_EQ(tags.indexOfTagForContactWithIdentifier(a.get(), kAnn), 1);
    EXPECT_EQ(changed.size(), 3);
    EXPECT_EQ(changed.last(), kAnn);

    tags.removeTagFromContactWithIdentifier(b.get(), kAnn); // every occurrence
    EXPECT_EQ(names(tags.tagsForContactWithIdentifier(kAnn)), QStringList{QStringLiteral("a")});

    // Insertions make the list of a contact that has none.
    tags.insertObjectInTagsAtIndexForContactWithIdentifier(b, 0, kBob);
    tags.insertTagsAtIndexesForContactWithIdentifier({a}, {0}, kBob);
    tags.insertObjectInTagsAtIndexForContactWithIdentifier(a, 7, kBob); // past the end: ignored
    EXPECT_EQ(names(tags.tagsForContactWithIdentifier(kBob)), (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
    tags.removeObjectFromTagsAtIndexForContactWithIdentifier(0, kBob);
    tags.removeTagsAtIndexesForContactWithIdentifier({5}, kBob);
    EXPECT_EQ(names(tags.tagsForContactWithIdentifier(kBob)), QStringList{QStringLiteral("b")});

    // A new name makes a tag in its sorted place; a known name reuses the tag.
    const auto made = tags.newTagWithNameToContactWithIdentifier(QStringLiteral("0"), kBob);
    EXPECT_EQ(tags.objectInTagsAtIndex(0), made);
    EXPECT_EQ(tags.newTagWithNameToContactWithIdentifier(QStringLiteral("a"), kBob), a);
    EXPECT_EQ(tags.countOfTags(), 3);
}

TEST(TagsManager, RemovingTags)
{
    KQTagsManager tags;
    const auto a = KQTag::create(QStringLiteral("a"));
    const auto b = KQTag::create(QStringLiteral("b"));
    const auto c = KQTag::create(QStringLiteral("c"));
    tags.addTags({a, b, c});
    tags.setTagsForContactWithIdentifier({a, b}, kAnn);
    tags.setTagsForContactWithIdentifier({b}, kBob);

    // Deleting a tag takes it off every contact.
    EXPECT_TRUE(tags.tagBeUsed(b.get()));
    tags.removeTag(b);
    EXPECT_EQ(names(tags.tags()), (QStringList{QStringLiteral("a"), QStringLiteral("c")}));
    EXPECT_EQ(names(tags.tagsForContactWithIdentifier(kAnn)), QStringList{QStringLiteral("a")});
    EXPECT_TRUE(tags.tagsForContactWithIdentifier(kBob).empty());

    // Only unused tags go when asked conditionally.
    tags.removeTagIfNoneUsed(a);
    tags.removeTagIfNoneUsed(c);
    EXPECT_EQ(names(tags.tags()), QStringList{QStringLiteral("a")});

    // removeTags and clearTags touch the list only.
    tags.removeTags({a});
    EXPECT_EQ(tags.countOfTags(), 0);
    EXPECT_EQ(names(tags.tagsForContactWithIdentifier(kAnn)), QStringList{QStringLiteral("a")});
    tags.setTags({c, b});
    tags.clearTags();
    EXPECT_EQ(tags.countOfTags(), 0);
}

TEST(TagsManager, RenameIsRefusedOnlyForAnotherTagsName)
{
    struct Case
    {
        const char* tag;
        const char* newName;
        bool allowed;
    };
    const Case cases[] = {
        {"home", "home", true},   // its own name
        {"home", "work", false},  // another tag's name
        {"home", "Work", true},   // case matters
        {"home", "garden", true}, // a free name
        {"home", "", true},
    };
    for (const Case& c : cases) {
        KQTagsManager tags;
        const auto home = KQTag::create(QStringLiteral("home"));
        const auto work = KQTag::create(QStringLiteral("work"));
        tags.addTags({home, work});
        const auto edited = tags.tagWithName(QString::fromLatin1(c.tag));
        EXPECT_EQ(tags.renameTag(edited, QString::fromLatin1(c.newName)), c.allowed) << c.newName;
        EXPECT_EQ(edited->name(), c.allowed ? QString::fromLatin1(c.newName) : QString::fromLatin1(c.tag));
        // The list stays sorted after a rename.
        QStringList sorted = names(tags.tags());
        std::sort(sorted.begin(), sorted.end(), &KQTagsManager::tagNameLessThan);
        EXPECT_EQ(names(tags.tags()), sorted) << c.newName;
    }
    EXPECT_EQ(KQTagsManager::renameRefusedMessage(QStringLiteral("work")),
              QStringLiteral("The tag named work allready exist."));
}
