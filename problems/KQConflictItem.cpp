#include "problems/KQConflictItem.h"

#include "platform/KQNotificationCenter.h"
#include "problems/KQConflictGroup.h"
#include "store/KQListOps.h"

KQConflictItem::KQConflictItem() = default;
KQConflictItem::~KQConflictItem() = default;

KQContactHelperPtr KQConflictItem::objectInContactHelpersAtIndex(int index) const
{
    if (index < 0 || index >= countOfContactHelpers())
        return nullptr;
    return m_contacts[static_cast<size_t>(index)];
}

void KQConflictItem::insertObjectInContactHelpersAtIndex(const KQContactHelperPtr& contact, int index)
{
    if (KQListOps::insertAt(m_contacts, contact, index))
        Q_EMIT contactHelpersInserted({index});
}

void KQConflictItem::insertContactHelpersAtIndexes(const KQContactHelperList& contacts, const QList<int>& indexes)
{
    const QList<int> done = KQListOps::insertAtIndexes(m_contacts, contacts, indexes);
    if (!done.isEmpty())
        Q_EMIT contactHelpersInserted(done);
}

void KQConflictItem::removeObjectFromContactHelpersAtIndex(int index)
{
    if (KQListOps::removeAt(m_contacts, index))
        Q_EMIT contactHelpersRemoved({index});
}

void KQConflictItem::removeContactHelpersAtIndexes(const QList<int>& indexes)
{
    const QList<int> done = KQListOps::removeAtIndexes(m_contacts, indexes);
    if (!done.isEmpty())
        Q_EMIT contactHelpersRemoved(done);
}

void KQConflictItem::replaceObjectInContactHelpersAtIndex(int index, const KQContactHelperPtr& contact)
{
    if (KQListOps::replaceAt(m_contacts, index, contact))
        Q_EMIT contactHelpersReplaced({index});
}

void KQConflictItem::addContactHelpersObject(const KQContactHelperPtr& contact)
{
    insertObjectInContactHelpersAtIndex(contact, countOfContactHelpers());
}

void KQConflictItem::removeContactHelpersObject(const KQContactHelper* contact)
{
    const int index = indexOfContactHelper(contact);
    if (index >= 0)
        removeObjectFromContactHelpersAtIndex(index);
}

int KQConflictItem::indexOfContactHelper(const KQContactHelper* contact) const
{
    return KQListOps::indexOf(m_contacts, contact);
}

QList<int> KQConflictItem::indexesOfContactHelpers(const KQContactHelperList& contacts) const
{
    QList<int> indexes;
    for (size_t i = 0; i < m_contacts.size(); ++i) {
        if (std::find(contacts.begin(), contacts.end(), m_contacts[i]) != contacts.end())
            indexes.append(static_cast<int>(i));
    }
    return indexes;
}

void KQConflictItem::cleanContactHelpers()
{
    removeContactHelpersAtIndexes(KQListOps::range(countOfContactHelpers()));
}

void KQConflictItem::setContactHelpers(const KQContactHelperList& contacts)
{
    cleanContactHelpers();
    KQContactHelperList present;
    for (const auto& contact : contacts) {
        if (contact)
            present.push_back(contact);
    }
    insertContactHelpersAtIndexes(present, KQListOps::range(static_cast<int>(present.size())));
}

KQContactHelperPtr KQConflictItem::firstItem() const
{
    return objectInContactHelpersAtIndex(0);
}

KQConflictGroup* KQConflictItem::owner() const
{
    return m_owner;
}

void KQConflictItem::setOwner(KQConflictGroup* owner)
{
    m_owner = owner;
}

const std::vector<KQConflictSolutionPtr>& KQConflictItem::availableSolutions()
{
    if (!m_solutionsMade && m_owner && m_owner->conflictMeta()) {
        m_solutionsMade = true;
        for (const auto& solution : m_owner->conflictMeta()->availableSolutions()) {
            KQConflictSolutionPtr copy = solution->copy();
            copy->setSelected(false);
            m_solutions.push_back(copy);
        }
        if (m_selectedSolution >= 0 && m_selectedSolution < static_cast<int>(m_solutions.size()))
            m_solutions[static_cast<size_t>(m_selectedSolution)]->setSelected(true);
    }
    return m_solutions;
}

void KQConflictItem::setSelectedIndexOfSolution(int index)
{
    if (index == m_selectedSolution)
        return;
    const auto& solutions = availableSolutions();
    const auto inRange = [&](int i) { return i >= 0 && i < static_cast<int>(solutions.size()); };
    if (inRange(m_selectedSolution))
        solutions[static_cast<size_t>(m_selectedSolution)]->setSelected(false);
    m_selectedSolution = index;
    if (inRange(index))
        solutions[static_cast<size_t>(index)]->setSelected(true);
    Q_EMIT currentSolutionChanged();
}

KQConflictSolutionPtr KQConflictItem::currentSolution()
{
    const auto& solutions = availableSolutions();
    if (m_selectedSolution < 0 || m_selectedSolution >= static_cast<int>(solutions.size()))
        return nullptr;
    return solutions[static_cast<size_t>(m_selectedSolution)];
}

void KQConflictItem::setCurrentSolution(const KQConflictSolution* solution)
{
    int found = -1;
    if (solution != nullptr) {
        const auto& solutions = availableSolutions();
        for (size_t i = 0; i < solutions.size(); ++i) {
            if (solutions[i]->isEqualTo(solution)) {
                found = static_cast<int>(i);
                break;
            }
        }
    }
    setSelectedIndexOfSolution(found);
}

void KQConflictItem::setSelected(bool selected)
{
    if (m_selected == selected)
        return;
    m_selected = selected;
    Q_EMIT selectedChanged();
}

QString KQConflictItem::title() const
{
    const KQContactHelperPtr first = firstItem();
    return first ? first->displayName() : QString();
}

QString KQConflictItem::longTitle() const
{
    const KQContactHelperPtr first = firstItem();
    return first ? first->subDisplayName() : QString();
}

QString KQConflictItem::firstInformation() const
{
    const KQContactHelperPtr first = firstItem();
    return first ? first->firstPhoneNumber() : QString();
}

QImage KQConflictItem::image() const
{
    const KQContactHelperPtr first = firstItem();
    return first ? first->icon() : QImage();
}

std::optional<QString> KQConflictItem::titleWithCount() const
{
    const KQContactHelperPtr first = firstItem();
    const QString name = first ? first->fullName() : QString();
    if (name.isEmpty())
        return std::nullopt;
    if (countOfContactHelpers() < 2)
        return name;
    return QStringLiteral("%1(%2)").arg(name).arg(countOfContactHelpers());
}

bool KQConflictItem::titleIsEmpty() const
{
    return !titleWithCount().has_value();
}

QString KQConflictItem::conflictDescription() const
{
    if (!m_owner || !m_owner->conflictMeta())
        return QString();
    const QString& name = m_owner->conflictMeta()->name();
    const KQContactHelperPtr first = firstItem();
    if (name == KQConflictName::UnusualPrefix)
        return QStringLiteral("The prefix \"%1\" of this Contact is invalid")
            .arg(first ? first->namePrefix().value_or(QString()) : QString());
    if (name == KQConflictName::UnusualSuffix)
        return QStringLiteral("The suffix \"%1\" of this Contact is invalid")
            .arg(first ? first->nameSuffix().value_or(QString()) : QString());
    return m_owner->conflictMeta()->conflictDescription();
}

void KQConflictItem::postSolutionDidChange(const KQConflictSolution* solution)
{
    KQNotificationCenter::defaultCenter()->post(KQConflictNotification::SolutionDidChange, solution);
}
