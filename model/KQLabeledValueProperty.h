#pragma once
// One multi-valued field of a record: the ordered, observable list of its entries. Every change
// of the list or of an entry is written back into the record's edit copy.

#include "model/KQLabeledValueHelper.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <memory>
#include <vector>

class KQContactHelper;
class KQLabeledEmail;

class KQLabeledValueProperty : public QObject
{
    Q_OBJECT
public:
    KQLabeledValueProperty(KQContactHelper* owner, QString propertyKey);
    ~KQLabeledValueProperty() override;

    KQContactHelper* owner() const;
    const QString& propertyKey() const { return m_key; }

    // Observable list accessors; each change emits one signal and writes the field back.
    int countOfLabeledValueHelpers() const { return static_cast<int>(m_helpers.size()); }
    KQLabeledValueHelperPtr objectInLabeledValueHelpersAtIndex(int index) const;
    const std::vector<KQLabeledValueHelperPtr>& labeledValueHelpers() const { return m_helpers; }
    void setLabeledValueHelpers(const std::vector<KQLabeledValueHelperPtr>& helpers);
    void insertObjectInLabeledValueHelpersAtIndex(const KQLabeledValueHelperPtr& helper, int index);
    void removeObjectFromLabeledValueHelpersAtIndex(int index);
    void replaceObjectInLabeledValueHelpersAtIndex(int index, const KQLabeledValueHelperPtr& helper);
    void insertLabeledValueHelpersAtIndexes(const std::vector<KQLabeledValueHelperPtr>& helpers,
                                            const QList<int>& indexes);
    void removeLabeledValueHelpersAtIndexes(const QList<int>& indexes);

    void addLabeledValueHelper(const KQLabeledValueHelperPtr& helper);
    void removeLabeledValueHelper(const KQLabeledValueHelperPtr& helper);
    void addEmptyLabeledValueHelper();

    int indexOfLabeledValueHelper(const KQLabeledValueHelper* helper) const;
    QList<int> indexesOfLabeledValueHelpers(const std::vector<KQLabeledValueHelperPtr>& helpers) const;

    KQLabeledValueHelperPtr firstLabeledValueHelper() const;
    std::shared_ptr<KQLabeledEmail> firstValidEmail() const;
    bool labelValueContainString(const QString& text) const;
    KQLabeledValueHelperPtr labeledValueHelperWithName(const QString& text) const;
    // Same number of entries and every entry has an equal one in the other (order-free).
    bool isEqualTo(const KQLabeledValueProperty* other) const;

    // The empty entry the editor shows for adding a value; made on first request.
    KQLabeledValueHelperPtr templateValueHelper();

    // Called by an entry after each change of its label or value.
    void labeledValueDidChanged(KQLabeledValueHelper* helper);
    void updateLabeledValueHelpersToContact();

    // Fills the list from store entries without writing back (a record's load).
    void resetWithLabeledValues(const std::vector<KQAnyLabeledValue>& values);

Q_SIGNALS:
    void labeledValueHelpersInserted(const QList<int>& indexes);
    void labeledValueHelpersRemoved(const QList<int>& indexes);
    void labeledValueHelpersReplaced(const QList<int>& indexes);

private:
    void adopt(const KQLabeledValueHelperPtr& helper);
    void release(const KQLabeledValueHelperPtr& helper);

    QPointer<KQContactHelper> m_owner;
    QString m_key;
    std::vector<KQLabeledValueHelperPtr> m_helpers;
    KQLabeledValueHelperPtr m_template;
};

using KQLabeledValuePropertyPtr = std::shared_ptr<KQLabeledValueProperty>;
