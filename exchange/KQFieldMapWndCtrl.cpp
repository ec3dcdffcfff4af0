#include "exchange/KQFieldMapWndCtrl.h"

#include "exchange/KQExportKeys.h"
#include "platform/CNContactKeys.h"

KQFieldMapItem::KQFieldMapItem(QString field, QString propertyKey)
    : m_field(std::move(field)), m_propertyKey(std::move(propertyKey))
{
}

void KQFieldMapItem::setPropertyKey(const QString& key)
{
    if (key == m_propertyKey)
        return;
    m_propertyKey = key;
    Q_EMIT propertyKeyChanged();
}

const QStringList& KQFieldMapItem::availablePropertyKeys()
{
    static const QStringList keys = {KQPropertyKeyUnknownColumn,
                                     KQPropertyKeyTags,
                                     CNContactNamePrefixKey,
                                     CNContactGivenNameKey,
                                     CNContactMiddleNameKey,
                                     CNContactFamilyNameKey,
                                     CNContactNicknameKey,
                                     CNContactPhoneNumbersKey,
                                     CNContactPhoneticGivenNameKey,
                                     CNContactPhoneticMiddleNameKey,
                                     CNContactPhoneticFamilyNameKey,
                                     CNContactJobTitleKey,
                                     CNContactDepartmentNameKey,
                                     CNContactNameSuffixKey,
                                     CNContactOrganizationNameKey,
                                     CNContactEmailAddressesKey,
                                     CNContactPostalAddressesKey,
                                     CNContactUrlAddressesKey,
                                     CNContactInstantMessageAddressesKey,
                                     CNContactSocialProfilesKey,
                                     CNContactBirthdayKey,
                                     CNContactDatesKey,
                                     CNContactNoteKey,
                                     CNContactRelationsKey};
    return keys;
}

QString KQFieldMapItem::labelForPropertyKey(const QString& key)
{
    if (key == KQPropertyKeyUnknownColumn)
        return QStringLiteral("Don't import");
    if (key == KQPropertyKeyTags)
        return QStringLiteral("Tags");
    return CNContactLocalizedStringForKey(key);
}

QStringList KQFieldMapItem::labelPropertyKeys()
{
    QStringList labels;
    for (const QString& key : availablePropertyKeys())
        labels.append(labelForPropertyKey(key));
    return labels;
}

QString KQFieldMapItem::labelPropertyKey() const
{
    return labelForPropertyKey(m_propertyKey);
}

void KQFieldMapItem::setLabelPropertyKey(const QString& text)
{
    for (const QString& key : availablePropertyKeys()) {
        if (labelForPropertyKey(key) == text) {
            setPropertyKey(key);
            return;
        }
    }
    setPropertyKey(KQPropertyKeyUnknownColumn);
}

KQFieldMapWndCtrl* KQFieldMapWndCtrl::shared()
{
    static KQFieldMapWndCtrl* controller = new KQFieldMapWndCtrl; // lives for the process, main thread
    return controller;
}

KQFieldMapWndCtrl::KQFieldMapWndCtrl() = default;

void KQFieldMapWndCtrl::setFieldsTitle(const QString& title)
{
    if (title == m_fieldsTitle)
        return;
    m_fieldsTitle = title;
    Q_EMIT fieldsTitleChanged();
}

KQFieldMapItemPtr KQFieldMapWndCtrl::objectInFieldMapItemsAtIndex(int index) const
{
    return index >= 0 && index < countOfFieldMapItems() ? m_items[static_cast<size_t>(index)] : nullptr;
}

void KQFieldMapWndCtrl::insertObjectInFieldMapItemsAtIndex(const KQFieldMapItemPtr& item, int index)
{
    if (!item || index < 0 || index > countOfFieldMapItems())
        return;
    m_items.insert(m_items.begin() + index, item);
    Q_EMIT fieldMapItemsInserted({index});
}

void KQFieldMapWndCtrl::removeObjectFromFieldMapItemsAtIndex(int index)
{
    if (index < 0 || index >= countOfFieldMapItems())
        return;
    m_items.erase(m_items.begin() + index);
    Q_EMIT fieldMapItemsRemoved({index});
}

void KQFieldMapWndCtrl::removeAllFieldMapItems()
{
    if (m_items.empty())
        return;
    QList<int> all;
    for (int i = 0; i < countOfFieldMapItems(); ++i)
        all.append(i);
    m_items.clear();
    Q_EMIT fieldMapItemsRemoved(all);
}

QStringList KQFieldMapWndCtrl::propertyKeys() const
{
    QStringList keys;
    for (const KQFieldMapItemPtr& item : m_items)
        keys.append(item->propertyKey());
    return keys;
}

QStringList KQFieldMapWndCtrl::runModalWithField(const QStringList& titles, const QStringList& propertyKeys)
{
    removeAllFieldMapItems();
    for (qsizetype i = 0; i < titles.size(); ++i)
        insertObjectInFieldMapItemsAtIndex(
            std::make_shared<KQFieldMapItem>(titles.at(i),
                                             i < propertyKeys.size() ? propertyKeys.at(i) : KQPropertyKeyUnknownColumn),
            countOfFieldMapItems());
    if (m_presenter && !m_presenter(*this))
        return {}; // closed: the import is cancelled
    return this->propertyKeys();
}
