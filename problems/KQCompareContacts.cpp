#include "problems/KQCompareContacts.h"

#include "platform/KQLog.h"
#include "store/KQContactStoreHelper.h"
#include "store/KQContainerHelper.h"
#include "store/KQContainerRecyle.h"
#include "store/KQStorage.h"

#include <set>

const QString KQCompareContacts::kFirstColumnKey = QStringLiteral("KQFirstColumnKey");

namespace {

const QStringList kMultiValuedCategories = {QStringLiteral("URL"),          QStringLiteral("Email"),
                                            QStringLiteral("Date"),         QStringLiteral("PhoneNumbers"),
                                            QStringLiteral("Related Name"), QStringLiteral("Address"),
                                            QStringLiteral("Social"),       QStringLiteral("Instant Message")};

bool emptyText(const std::optional<QString>& text)
{
    return !text || text->isEmpty();
}

} // namespace

KQCompareContacts::KQCompareContacts(KQConflictItemPtr item, KQConflictGroupPtr group)
    : m_item(std::move(item)), m_group(std::move(group))
{
    if (m_item)
        m_contacts = m_item->contactHelpers();
    makeRowsFromConflictItem();
    cleanAllEditInfo();
}

QString KQCompareContacts::kindName() const
{
    if (m_group && m_group->conflictMeta())
        return m_group->conflictMeta()->name();
    if (m_item && m_item->owner() && m_item->owner()->conflictMeta())
        return m_item->owner()->conflictMeta()->name();
    return QString();
}

bool KQCompareContacts::isMergeContact(const KQContactHelper* contact) const
{
    return m_merged && m_mergeContact && contact != nullptr && contact->identifier() == m_mergeContact->identifier();
}

KQCompareCellPtr KQCompareContacts::makeCell(const QString& category, const KQContactHelperPtr& contact, int index,
                                             const QString& rowCategory)
{
    KQCompareCellPtr cell =
        KQCompareCell::conflictPropertyViewCtrlWithCatagoryName(category, contact, index, rowCategory);
    cell->setDelegate(this);
    cell->isMergedContact = isMergeContact(contact.get());
    cell->contactsMerged = m_merged;
    return cell;
}

void KQCompareContacts::makeRowsFromConflictItem()
{
    m_rows.clear();
    if (m_contacts.empty())
        return;
    using namespace KQConflictName;
    const QString kind = kindName();
    const auto allEmpty = [&](std::optional<QString> (KQContactHelper::*read)() const) {
        return std::all_of(m_contacts.begin(), m_contacts.end(),
                           [&](const KQContactHelperPtr& c) { return emptyText((c.get()->*read)()); });
    };
    // While merged only the merged record can be edited.
    const auto editable = [&](const KQContactHelperPtr& c) { return !m_merged || isMergeContact(c.get()); };

    auto general = KQCompareRow::create(QStringLiteral("General"), -1, m_contacts.front());
    const bool hidePrefix = allEmpty(&KQContactHelper::namePrefix);
    const bool hideMiddle = allEmpty(&KQContactHelper::middleName);
    const bool hideSuffix = allEmpty(&KQContactHelper::nameSuffix);
    const bool hideDepartment = allEmpty(&KQContactHelper::department);
    const bool hideNickname = allEmpty(&KQContactHelper::nickName);
    const bool hideJobTitle = allEmpty(&KQContactHelper::jobTitle) && kind != CompanyNameWithoutJobTitle;
    const bool highlightName = kind == BlankName || kind == IncompleteName || kind == DuplicateName ||
                               kind == UnusualPrefix || kind == UnusualSuffix || kind == BlankSpaceInFirstName;
    for (const auto& contact : m_contacts) {
        KQCompareCellPtr cell = makeCell(QStringLiteral("General"), contact, -1);
        cell->hidePrefix = hidePrefix;
        cell->hideMiddle = hideMiddle;
        cell->hideSuffix = hideSuffix;
        cell->hideDepartment = hideDepartment;
        cell->hideNickname = hideNickname;
        cell->hideJobTitle = hideJobTitle;
        cell->highlightName = highlightName;
        cell->highlightJobName = kind == CompanyNameWithoutJobTitle;
        cell->setEditable(editable(contact));
        general->setViewControllerOfCol(cell, contact->identifier());
    }
    m_rows.push_back(general);

    const auto singleRow = [&](const QString& category) {
        auto row = KQCompareRow::create(category, -1, m_contacts.front());
        row->setViewControllerOfCol(makeCell(KQCompareCategory::Label, m_contacts.front(), -1, category),
                                    kFirstColumnKey);
        for (const auto& contact : m_contacts) {
            KQCompareCellPtr cell = makeCell(category, contact, -1);
            cell->setEditable(editable(contact));
            row->setViewControllerOfCol(cell, contact->identifier());
        }
        m_rows.push_back(row);
    };

    if (std::any_of(m_contacts.begin(), m_contacts.end(), [](const KQContactHelperPtr& c) {
            return !c->phoneticNameIsEmpty() || !emptyText(c->phoneticOrgName());
        }))
        singleRow(QStringLiteral("Phonetic Name"));

    makeLabeledValuePropertyWithCatagroyName(QStringLiteral("PhoneNumbers"));
    makeLabeledValuePropertyWithCatagroyName(QStringLiteral("Email"));
    if (kind == InvalidPhoneOrEmail) {
        // Point at the first contact's values that fail their test.
        const QString first = m_contacts.front()->identifier();
        for (const auto& row : m_rows) {
            const bool phones = row->catagoryName() == QLatin1String("PhoneNumbers");
            if (!phones && row->catagoryName() != QLatin1String("Email"))
                continue;
            const KQCompareCellPtr cell = row->viewControllerOfColWithKey(first);
            if (!cell)
                continue;
            const QString text = cell->text();
            const bool valid = phones ? KQLabeledValueHelper::findValidPhoneNumberString(text)
                                      : KQLabeledValueHelper::findValidEmailAddressString(text);
            if (!valid) {
                cell->setHighlight(true);
                cell->setEditable(true);
            }
        }
    }

    if (std::any_of(m_contacts.begin(), m_contacts.end(),
                    [](const KQContactHelperPtr& c) { return c->birthday().has_value(); }))
        singleRow(QStringLiteral("Birthday"));

    for (const char* category : {"URL", "Date", "Address", "Social", "Instant Message", "Related Name"})
        makeLabeledValuePropertyWithCatagroyName(QString::fromLatin1(category));

    if (kind == EmptyNotes || std::any_of(m_contacts.begin(), m_contacts.end(),
                                          [](const KQContactHelperPtr& c) { return !emptyText(c->note()); }))
        singleRow(QStringLiteral("Note"));

    if (allowMerge() && !m_merged) {
        auto row = KQCompareRow::create(KQCompareCategory::Delete, -1, m_contacts.front());
        for (const auto& contact : m_contacts)
            row->setViewControllerOfCol(makeCell(KQCompareCategory::Delete, contact, -1), contact->identifier());
        m_rows.push_back(row);
    }
}

void KQCompareContacts::makeLabeledValuePropertyWithCatagroyName(const QString& category)
{
    const QString key = KQCompareCell::propertyKeyOfCatagory(category);
    const auto propertyOf = [&](const KQContactHelperPtr& contact) { return contact->propertyForKey(key); };
    if (std::none_of(m_contacts.begin(), m_contacts.end(), [&](const KQContactHelperPtr& c) {
            KQLabeledValueProperty* property = propertyOf(c);
            return property != nullptr && property->countOfLabeledValueHelpers() > 0;
        }))
        return;

    const KQContactHelperPtr& base = m_contacts.front();
    KQLabeledValueProperty* baseValues = propertyOf(base);
    const auto& baseList = baseValues->labeledValueHelpers();
    std::vector<KQCompareRowPtr> rows;
    for (int i = 0; i < static_cast<int>(baseList.size()); ++i) {
        auto row = KQCompareRow::create(category, i, base);
        row->setViewControllerOfCol(makeCell(KQCompareCategory::Label, base, i, category), kFirstColumnKey);
        row->setViewControllerOfCol(makeCell(category, base, i), base->identifier());
        rows.push_back(row);
    }
    for (size_t c = 1; c < m_contacts.size(); ++c) {
        const KQContactHelperPtr& contact = m_contacts[c];
        const bool editable = !m_merged || isMergeContact(contact.get());
        std::set<int> free;
        for (int r = 0; r < static_cast<int>(rows.size()); ++r)
            free.insert(r);
        std::vector<int> unmatched;
        const auto& values = propertyOf(contact)->labeledValueHelpers();
        for (int x = 0; x < static_cast<int>(values.size()); ++x) {
            int found = -1;
            for (int i = 0; i < static_cast<int>(baseList.size()); ++i) {
                if (baseList[static_cast<size_t>(i)]->isEqualToValue(values[static_cast<size_t>(x)].get())) {
                    found = i;
                    break;
                }
            }
            if (found < 0) {
                unmatched.push_back(x);
                continue;
            }
            free.erase(found);
            const KQCompareRowPtr& row = rows[static_cast<size_t>(found)];
            KQCompareCellPtr cell = makeCell(category, contact, x);
            cell->setHighlight(true);
            cell->setEditable(editable);
            row->setViewControllerOfCol(cell, contact->identifier());
            if (const KQCompareCellPtr baseCell = row->viewControllerOfColWithKey(base->identifier())) {
                baseCell->setHighlight(true);
                baseCell->setEditable(true);
            }
            if (const KQCompareCellPtr label = row->viewControllerOfColWithKey(kFirstColumnKey))
                label->setEditable(true);
        }
        // The rest fill the rows left free, from the top, then new rows.
        size_t k = 0;
        for (auto it = free.begin(); it != free.end() && k < unmatched.size(); ++it, ++k) {
            KQCompareCellPtr cell = makeCell(category, contact, unmatched[k]);
            cell->setEditable(editable);
            rows[static_cast<size_t>(*it)]->setViewControllerOfCol(cell, contact->identifier());
        }
        for (; k < unmatched.size(); ++k) {
            auto row = KQCompareRow::create(category, unmatched[k], contact);
            row->setViewControllerOfCol(makeCell(KQCompareCategory::Label, contact, unmatched[k], category),
                                        kFirstColumnKey);
            KQCompareCellPtr cell = makeCell(category, contact, unmatched[k]);
            cell->setEditable(editable);
            row->setViewControllerOfCol(cell, contact->identifier());
            rows.push_back(row);
        }
    }
    m_rows.insert(m_rows.end(), rows.begin(), rows.end());
}

void KQCompareContacts::mergeAllContacts()
{
    if (!allowMerge() || m_merged || !m_item)
        return;
    m_merged = true;
    m_mergeContact = KQContactHelper::mergeContactHelpers(m_item->contactHelpers());
    cleanAllSubviews();
    cleanAllEditInfo();
    m_contacts = {m_mergeContact};
    const KQContactHelperList sources = m_item->contactHelpers();
    m_contacts.insert(m_contacts.end(), sources.begin(), sources.end());
    makeRowsFromConflictItem();
}

void KQCompareContacts::unmergeContacts()
{
    if (!m_merged)
        return;
    m_merged = false;
    m_mergeContact.reset();
    cleanAllSubviews();
    m_contacts = m_item ? m_item->contactHelpers() : KQContactHelperList{};
    makeRowsFromConflictItem();
}

void KQCompareContacts::cleanAllEditInfo()
{
    m_editedCells.clear();
    m_deletedContacts.clear();
    m_deletedRows.clear();
}

void KQCompareContacts::cleanAllSubviews()
{
    for (const auto& row : m_rows) {
        for (const auto& cell : row->allConflictViewCtrls())
            cell->setAttached(false);
    }
}

void KQCompareContacts::saveFix(const KQConflictFixEnvironment& environment)
{
    if (!m_deletedContacts.empty()) {
        CNContactList doomed;
        for (const auto& contact : m_deletedContacts) {
            if (KQContainerHelper* container = contact->containerHelper()) {
                if (KQContactRecylePtr entry = container->deleteContactHelper(contact); entry && environment.recyle)
                    environment.recyle->addContactHelper(entry);
            }
            if (const CNContactPtr stored = contact->effectiveContact())
                doomed.push_back(stored);
        }
        if (environment.storage != nullptr && environment.recyle)
            environment.storage->saveDefaultContainerRecyle(environment.recyle.get());
        if (environment.store != nullptr)
            environment.store->deleteContacts(doomed);
    }
    for (const auto& contact : m_contacts) {
        if (isMergeContact(contact.get()))
            continue;
        contact->startEditContact();
        for (const auto& cell : m_editedCells) {
            if (cell->contactHelper() && cell->contactHelper()->identifier() == contact->identifier())
                cell->updateToContactHelper();
        }
        for (const QString& category : kMultiValuedCategories) {
            QList<int> indexes;
            for (const auto& row : m_deletedRows) {
                if (row->catagoryName() != category)
                    continue;
                const KQCompareCellPtr cell = row->viewControllerOfColWithKey(contact->identifier());
                if (cell && cell->indexOfPerperty() >= 0)
                    indexes.append(cell->indexOfPerperty());
            }
            if (indexes.isEmpty())
                continue;
            if (KQLabeledValueProperty* property =
                    contact->propertyForKey(KQCompareCell::propertyKeyOfCatagory(category)))
                property->removeLabeledValueHelpersAtIndexes(indexes);
        }
        contact->syncEndEditContactWithError();
    }
}

int KQCompareContacts::heightOfRowAtIndex(int index) const
{
    if (index < 0 || index >= numberOfRows())
        return 0;
    return m_rows[static_cast<size_t>(index)]->height();
}

int KQCompareContacts::widthOfColAtIndex(int index) const
{
    const std::optional<QString> key = keyOfColAtIndex(index);
    int width = 0;
    if (!key)
        return 0;
    for (const auto& row : m_rows) {
        if (const KQCompareCellPtr cell = row->viewControllerOfColWithKey(*key))
            width = std::max(width, cell->width());
    }
    return width;
}

std::optional<QString> KQCompareContacts::keyOfColAtIndex(int index) const
{
    if (index < 0) {
        KQLog(QStringLiteral("Column index is negative(%1).").arg(index));
        return std::nullopt;
    }
    if (index == 0)
        return kFirstColumnKey;
    const KQContactHelperPtr contact = contactHelperAtCol(index);
    if (!contact)
        return std::nullopt;
    return contact->identifier();
}

KQContactHelperPtr KQCompareContacts::contactHelperAtCol(int index) const
{
    if (index < 1 || index > static_cast<int>(m_contacts.size()))
        return nullptr;
    return m_contacts[static_cast<size_t>(index - 1)];
}

KQCompareCellPtr KQCompareContacts::viewControlAtRow(int row, int col) const
{
    if (row < 0 || row >= numberOfRows())
        return nullptr;
    const std::optional<QString> key = keyOfColAtIndex(col);
    return key ? m_rows[static_cast<size_t>(row)]->viewControllerOfColWithKey(*key) : nullptr;
}

void KQCompareContacts::conflictPropertyViewCtrlDidEditingProperty(KQCompareCell* cell)
{
    for (const auto& row : m_rows) {
        for (const auto& mine : row->allConflictViewCtrls()) {
            if (mine.get() == cell &&
                std::find(m_editedCells.begin(), m_editedCells.end(), mine) == m_editedCells.end()) {
                m_editedCells.push_back(mine);
                return;
            }
        }
    }
}

void KQCompareContacts::conflictPropertyViewCtrlRequireDeleteProperty(KQCompareCell* cell)
{
    for (auto it = m_rows.begin(); it != m_rows.end(); ++it) {
        if (!(*it)->containConflictViewCtrl(cell))
            continue;
        const KQCompareRowPtr row = *it;
        m_deletedRows.push_back(row);
        m_rows.erase(it);
        for (const auto& mine : row->allConflictViewCtrls())
            mine->setAttached(false);
        if (m_delegate)
            m_delegate->compareContactsDidRemoveProperty(this);
        return;
    }
}

void KQCompareContacts::conflictPropertyViewCtrlRequireDeleteContact(KQCompareCell* cell)
{
    const KQContactHelperPtr contact = cell != nullptr ? cell->contactHelper() : nullptr;
    const auto it = std::find(m_contacts.begin(), m_contacts.end(), contact);
    if (!contact || it == m_contacts.end())
        return;
    m_deletedContacts.push_back(contact);
    m_contacts.erase(it);
    cleanAllSubviews();
    makeRowsFromConflictItem();
    if (m_delegate)
        m_delegate->compareContactsDidRemoveContact(this);
}

bool KQCompareContacts::conflictPropertyViewCtrlUseTheImage(KQCompareCell* cell)
{
    if (!m_mergeContact || cell == nullptr || !cell->contactHelper())
        return false;
    const QByteArray data = cell->contactHelper()->iconData();
    if (data.isEmpty())
        return false;
    m_mergeContact->startEditContact();
    m_mergeContact->setIconData(data);
    return true;
}

bool KQCompareContacts::conflictPropertyViewCtrlIsMerger(KQCompareCell* cell)
{
    Q_UNUSED(cell);
    return m_merged;
}
