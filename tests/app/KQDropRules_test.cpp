// Which operation a drop of contacts offers, for every kind of source and target.
#include "KQAppTestSupport.h"
#include "app/windows/KQDropRules.h"
#include "store/KQGroupHelper.h"

#include <gtest/gtest.h>

namespace {

// Two accounts with two groups each, and the pseudo-accounts.
struct Tree
{
    Tree()
    {
        home = std::make_shared<KQContainerHelper>(
            CNContainer(QStringLiteral("home"), QStringLiteral("Home"), CNContainerType::Local));
        work = std::make_shared<KQContainerHelper>(
            CNContainer(QStringLiteral("work"), QStringLiteral("Work"), CNContainerType::CardDAV));
        homeA = std::make_shared<KQGroupHelper>(CNGroup(QStringLiteral("home-a"), QStringLiteral("A")));
        homeB = std::make_shared<KQGroupHelper>(CNGroup(QStringLiteral("home-b"), QStringLiteral("B")));
        workC = std::make_shared<KQGroupHelper>(CNGroup(QStringLiteral("work-c"), QStringLiteral("C")));
        home->addSubGroups({homeA, homeB});
        work->addSubGroup(workC);
    }
    KQGroupTreeNodePtr node(const std::string& name) const
    {
        if (name == "home")
            return home;
        if (name == "work")
            return work;
        if (name == "home/A")
            return homeA;
        if (name == "home/B")
            return homeB;
        if (name == "work/C")
            return workC;
        if (name == "Trash")
            return trash;
        return lastImport;
    }
    std::shared_ptr<KQContainerHelper> home, work;
    KQGroupTreeNodePtr homeA, homeB, workC;
    KQGroupTreeNodePtr trash = std::make_shared<KQContainerRecyle>();
    KQGroupTreeNodePtr lastImport = std::make_shared<KQContainerLatestImport>();
};

struct DropCase
{
    std::string source;
    std::string target;
    KQDropOperation operation;
};

void PrintTo(const DropCase& drop, std::ostream* out)
{
    *out << drop.source << " onto " << drop.target << " -> "
         << KQDropRules::operationName(drop.operation).toStdString();
}

class DropTable : public ::testing::TestWithParam<DropCase>
{
};

std::string caseName(const ::testing::TestParamInfo<DropCase>& info)
{
    std::string name = info.param.source + "_onto_" + info.param.target;
    for (char& c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c)))
            c = '_';
    }
    return name;
}

} // namespace

TEST_P(DropTable, OffersTheOperationOfTheRules)
{
    const Tree tree;
    EXPECT_EQ(KQDropRules::operationName(KQDropRules::operationForDrop(tree.node(GetParam().source).get(),
                                                                       tree.node(GetParam().target).get())),
              KQDropRules::operationName(GetParam().operation));
}

INSTANTIATE_TEST_SUITE_P(
    ContactDrops, DropTable,
    ::testing::Values(
        // From the Trash or Last Import: into accounts and groups only.
        DropCase{"Trash", "home", KQDropOperation::Move}, DropCase{"Trash", "work/C", KQDropOperation::Move},
        DropCase{"Trash", "Trash", KQDropOperation::None}, DropCase{"Trash", "LastImport", KQDropOperation::None},
        DropCase{"LastImport", "home", KQDropOperation::Move}, DropCase{"LastImport", "home/A", KQDropOperation::Move},
        DropCase{"LastImport", "LastImport", KQDropOperation::None},
        DropCase{"LastImport", "Trash", KQDropOperation::None},
        // From an account.
        DropCase{"home", "home", KQDropOperation::None}, DropCase{"home", "work", KQDropOperation::Copy},
        DropCase{"home", "home/A", KQDropOperation::Copy}, DropCase{"home", "work/C", KQDropOperation::Copy},
        DropCase{"home", "Trash", KQDropOperation::Delete}, DropCase{"home", "LastImport", KQDropOperation::None},
        // From a group.
        DropCase{"home/A", "home", KQDropOperation::Move}, DropCase{"home/A", "work", KQDropOperation::Copy},
        DropCase{"home/A", "home/A", KQDropOperation::None}, DropCase{"home/A", "home/B", KQDropOperation::Move},
        DropCase{"home/A", "work/C", KQDropOperation::Copy}, DropCase{"home/A", "Trash", KQDropOperation::Delete},
        DropCase{"home/A", "LastImport", KQDropOperation::None}),
    caseName);

TEST(ContactDrops, NothingIsOfferedWithoutASourceOrATarget)
{
    const Tree tree;
    EXPECT_EQ(KQDropRules::operationForDrop(nullptr, tree.home.get()), KQDropOperation::None);
    EXPECT_EQ(KQDropRules::operationForDrop(tree.home.get(), nullptr), KQDropOperation::None);
}
