#include "model/KQLabeledValueProperty.h"

#include "platform/CNMutableContact.h"
#include "model/KQContactHelper.h"
#include "model/KQLabeledEmail.h"

#include <algorithm>

KQLabeledValueProperty::KQLabeledValueProperty(KQContactHelper* owner, QString propertyKey)
    : m_owner(owner), m_key(std::move(propertyKey))
{
}

KQLabeledValueProperty::~KQLabeledValueProperty() = default;

KQContactHelper* KQLabeledValueProperty::owner() const
{
    return m_owner;
}

KQLabeledValueHelperPtr KQLabeledValueProperty::objectInLabeledValueHelpersAtIndex(int index) const
{
    if (index < 0 || index >= countOfLabeledValueHelpers())
        return nullptr;
    return m_helpers[static_cast<size_t>(index)];
}

void KQLabeledValueProperty::adopt(const KQLabeledValueHelperPtr& helper)
{
    if (helper)
        helper->setDelegate(this);
}

void KQLabeledValueProperty::release(const KQLabeledValueHelperPtr& helper)
{
    if (helper && helper->delegate() == this)
        helper->setDelegate(nullptr);
}

void KQLabeledValueProperty::setLabeledValueHelpers(const std::vector<KQLabeledValueHelperPtr>& helpers)
{
    QList<int> all;
    for (int i = 0; i < countOfLabeledValueHelpers(); ++i)
        all.append(i);
    removeLabeledValueHelpersAtIndexes(all);
    QList<int> indexes;
    for (int i = 0; i < static_cast<int>(helpers.size()); ++i)
        indexes.append(i);
    insertLabeledValueHelpersAtIndexes(helpers, indexes);
}

void KQLabeledValueProperty::insertObjectInLabeledValueHelpersAtIndex(const KQLabeledValueHelperPtr& helper, int index)
{
    if (!helper || index < 0 || index > countOfLabeledValueHelpers())
        return;
    adopt(helper);
    m_helpers.insert(m_helpers.begin() + index, helper);
    Q_EMIT labeledValueHelpersInserted({index});
    updateLabeledValueHelpersToContact();
}

void KQLabeledValueProperty::removeObjectFromLabeledValueHelpersAtIndex(int index)
{
    if (index < 0 || index >= countOfLabeledValueHelpers())
        return;
    release(m_helpers[static_cast<size_t>(index)]);
    m_helpers.erase(m_helpers.begin() + index);
    Q_EMIT labeledValueHelpersRemoved({index});
    updateLabeledValueHelpersToContact();
}

void KQLabeledValueProperty::replaceObjectInLabeledValueHelpersAtIndex(int index, const KQLabeledValueHelperPtr& helper)
{
    if (!helper || index < 0 || index >= countOfLabeledValueHelpers())
        return;
    release(m_helpers[static_cast<size_t>(index)]);
    adopt(helper);
    m_helpers[static_cast<size_t>(index)] = helper;
    Q_EMIT labeledValueHelpersReplaced({index});
    updateLabeledValueHelpersToContact();
}

void KQLabeledValueProperty::insertLabeledValueHelpersAtIndexes(const std::vector<KQLabeledValueHelperPtr>& helpers,
                                                                const QList<int>& indexes)
{
    if (helpers.empty() || static_cast<qsizetype>(helpers.size()) != indexes.size())
        return;
    // Indexes are positions in the final list, in ascending order.
    QList<int> sorted = indexes;
    std::sort(sorted.begin(), sorted.end());
    QList<int> inserted;
    for (qsizetype i = 0; i < sorted.size(); ++i) {
        const int index = sorted[i];
        if (index < 0 || index > countOfLabeledValueHelpers())
            continue;
        const auto& helper = helpers[static_cast<size_t>(i)];
        adopt(helper);
        m_helpers.insert(m_helpers.begin() + index, helper);
        inserted.append(index);
    }
    if (inserted.isEmpty())
        return;
    Q_EMIT labeledValueHelpersInserted(inserted);
    updateLabeledValueHelpersToContact();
}

void KQLabeledValueProperty::removeLabeledValueHelpersAtIndexes(const QList<int>& indexes)
{
    QList<int> sorted = indexes;
    std::sort(sorted.begin(), sorted.end());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
    QList<int> removed;
    for (auto it = sorted.crbegin(); it != sorted.crend(); ++it) {
        const int index = *it;
        if (index < 0 || index >= countOfLabeledValueHelpers())
            continue;
        release(m_helpers[static_cast<size_t>(index)]);
        m_helpers.erase(m_helpers.begin() + index);
        removed.prepend(index);
    }
    if (removed.isEmpty())
        return;
    Q_EMIT labeledValueHelpersRemoved(removed);
    updateLabeledValueHelpersToContact();
}

void KQLabeledValueProperty::addLabeledValueHelper(const KQLabeledValueHelperPtr& helper)
{
    insertObjectInLabeledValueHelpersAtIndex(helper, countOfLabeledValueHelpers());
}

void KQLabeledValueProperty::removeLabeledValueHelper(const KQLabeledValueHelperPtr& helper)
{
    const int index = indexOfLabeledValueHelper(helper.get());
    if (index >= 0)
        removeObjectFromLabeledValueHelpersAtIndex(index);
}

void KQLabeledValueProperty::addEmptyLabeledValueHelper()
{
    if (!m_owner)
        return;
    if (auto helper = m_owner->makeEmptyLabeledValueHelperWithKey(m_key))
        addLabeledValueHelper(helper);
}

int KQLabeledValueProperty::indexOfLabeledValueHelper(const KQLabeledValueHelper* helper) const
{
    for (size_t i = 0; i < m_helpers.size(); ++i) {
        if (m_helpers[i].get() == helper)
            return static_cast<int>(i);
    }
    return -1;
}

QList<int>
KQLabeledValueProperty::indexesOfLabeledValueHelpers(const std::vector<KQLabeledValueHelperPtr>& helpers) const
{
    QList<int> indexes;
    for (const auto& helper : helpers) {
        const int index = indexOfLabeledValueHelper(helper.get());
        if (index >= 0)
            indexes.append(index);
    }
    std::sort(indexes.begin(), indexes.end());
    return indexes;
}

KQLabeledValueHelperPtr KQLabeledValueProperty::firstLabeledValueHelper() const
{
    return m_helpers.empty() ? nullptr : m_helpers.front();
}

std::shared_ptr<KQLabeledEmail> KQLabeledValueProperty::firstValidEmail() const
{
    for (const auto& helper : m_helpers) {
        auto email = std::dynamic_pointer_cast<KQLabeledEmail>(helper);
        if (email && KQLabeledValueHelper::findValidEmailAddressString(email->email()))
            return email;
    }
    return nullptr;
}

bool KQLabeledValueProperty::labelValueContainString(const QString& text) const
{
    return std::any_of(m_helpers.begin(), m_helpers.end(),
                       [&](const KQLabeledValueHelperPtr& helper) { return helper->containString(text); });
}

KQLabeledValueHelperPtr KQLabeledValueProperty::labeledValueHelperWithName(const QString& text) const
{
    if (text.isEmpty())
        return firstLabeledValueHelper();
    for (const auto& helper : m_helpers) {
        const QString& label = helper->label();
        if (!label.isEmpty() && label == text)
            return helper;
        if (helper->localizedLabel() == text)
            return helper;
        if (label.isEmpty() && KQContactHelper::labeledValueHelperValueEqualTo(helper.get(), text))
            return helper;
    }
    return nullptr;
}

bool KQLabeledValueProperty::isEqualTo(const KQLabeledValueProperty* other) const
{
    if (other == nullptr || countOfLabeledValueHelpers() != other->countOfLabeledValueHelpers())
        return false;
    for (const auto& mine : m_helpers) {
        const bool found =
            std::any_of(other->m_helpers.begin(), other->m_helpers.end(),
                        [&](const KQLabeledValueHelperPtr& theirs) { return mine->isEqualTo(theirs.get()); });
        if (!found)
            return false;
    }
    return true;
}

KQLabeledValueHelperPtr KQLabeledValueProperty::templateValueHelper()
{
    if (!m_template && m_owner) {
        m_template = m_owner->makeEmptyLabeledValueHelperWithKey(m_key);
        if (m_template) {
            m_template->setIsTemplate(true);
            m_template->setDelegate(this);
        }
    }
    return m_template;
}

void KQLabeledValueProperty::labeledValueDidChanged(KQLabeledValueHelper* helper)
{
    updateLabeledValueHelpersToContact();
    if (m_template && helper == m_template.get()) {
        // Typing into the empty row turns it into a real value; the next request makes a new template.
        KQLabeledValueHelperPtr promoted = std::move(m_template);
        m_template.reset();
        promoted->setIsTemplate(false);
        addLabeledValueHelper(promoted);
    }
}

void KQLabeledValueProperty::updateLabeledValueHelpersToContact()
{
    if (!m_owner)
        return;
    std::vector<KQAnyLabeledValue> values;
    values.reserve(m_helpers.size());
    for (const auto& helper : m_helpers) {
        KQAnyLabeledValue value = helper->editedLabeledValue();
        if (KQIsNone(value))
            value = helper->originalLabeledValue();
        if (!KQIsNone(value))
            values.push_back(std::move(value));
    }
    if (const CNMutableContactPtr contact = m_owner->mutableContact())
        KQSetLabeledValuesOnContact(*contact, m_key, values);
    m_owner->setPropertyEdited(true);
    m_owner->labeledValueHelperDidChanged(this);
}

void KQLabeledValueProperty::resetWithLabeledValues(const std::vector<KQAnyLabeledValue>& values)
{
    QList<int> removed;
    for (int i = 0; i < countOfLabeledValueHelpers(); ++i)
        removed.append(i);
    for (const auto& helper : m_helpers)
        release(helper);
    m_helpers.clear();
    if (!removed.isEmpty())
        Q_EMIT labeledValueHelpersRemoved(removed);
    QList<int> inserted;
    for (const auto& value : values) {
        if (auto helper = KQContactHelper::labeledValueHelperWithKey(value, m_key)) {
            adopt(helper);
            inserted.append(static_cast<int>(m_helpers.size()));
            m_helpers.push_back(std::move(helper));
        }
    }
    if (!inserted.isEmpty())
        Q_EMIT labeledValueHelpersInserted(inserted);
}
