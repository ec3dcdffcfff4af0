#include "problems/KQCompareCell.h"

#include "model/KQLabeledEmail.h"
#include "model/KQLabeledPhoneNumber.h"
#include "model/KQLabeledURL.h"
#include "platform/CNContactKeys.h"

namespace KQCompareCategory {
const QString Label = QStringLiteral("KQConflictPropertyCatagoryLabel");
const QString Delete = QStringLiteral("KQConflictPropertyCatagoryDelete");
} // namespace KQCompareCategory

KQCompareCell::KQCompareCell(QString category, KQContactHelperPtr contact, int index, QString rowCategory)
    : m_category(std::move(category)), m_rowCategory(rowCategory.isEmpty() ? m_category : std::move(rowCategory)),
      m_contact(std::move(contact)), m_index(index)
{
}

KQCompareCellPtr KQCompareCell::conflictPropertyViewCtrlWithCatagoryName(const QString& category,
                                                                         const KQContactHelperPtr& contact, int index,
                                                                         const QString& rowCategory)
{
    return std::make_shared<KQCompareCell>(category, contact, index, rowCategory);
}

int KQCompareCell::heightOfContent() const
{
    if (m_category == QLatin1String("General"))
        return 96;
    if (m_category == QLatin1String("Note") || m_category == QLatin1String("Address"))
        return 64;
    return 32;
}

int KQCompareCell::width() const
{
    return isLabelCell() ? 120 : 220;
}

QString KQCompareCell::propertyKeyOfCatagory(const QString& category)
{
    static const QHash<QString, QString> keys = {
        {QStringLiteral("PhoneNumbers"), CNContactPhoneNumbersKey},
        {QStringLiteral("Email"), CNContactEmailAddressesKey},
        {QStringLiteral("URL"), CNContactUrlAddressesKey},
        {QStringLiteral("Address"), CNContactPostalAddressesKey},
        {QStringLiteral("Social"), CNContactSocialProfilesKey},
        {QStringLiteral("Instant Message"), CNContactInstantMessageAddressesKey},
        {QStringLiteral("Date"), CNContactDatesKey},
        {QStringLiteral("Related Name"), CNContactRelationsKey},
    };
    return keys.value(category);
}

KQLabeledValueProperty* KQCompareCell::property() const
{
    const QString key = propertyKeyOfCatagory(m_rowCategory);
    return key.isEmpty() || !m_contact ? nullptr : m_contact->propertyForKey(key);
}

QString KQCompareCell::text() const
{
    if (!m_contact)
        return QString();
    if (m_editedText)
        return *m_editedText;
    if (KQLabeledValueProperty* values = property()) {
        const KQLabeledValueHelperPtr value = values->objectInLabeledValueHelpersAtIndex(m_index);
        if (!value)
            return QString();
        return isLabelCell() ? value->localizedLabel() : value->valueString();
    }
    if (isLabelCell()) {
        if (m_rowCategory == QLatin1String("Phonetic Name"))
            return QStringLiteral("Phonetic name");
        return m_rowCategory;
    }
    if (m_category == QLatin1String("General"))
        return m_contact->fullName();
    if (m_category == QLatin1String("Phonetic Name"))
        return m_contact->phoneticFullName();
    if (m_category == QLatin1String("Birthday"))
        return m_contact->birthdayString().value_or(QString());
    if (m_category == QLatin1String("Note"))
        return m_contact->note().value_or(QString());
    return QString();
}

void KQCompareCell::setEditedText(const QString& text)
{
    m_editedText = text;
    if (m_delegate)
        m_delegate->conflictPropertyViewCtrlDidEditingProperty(this);
}

void KQCompareCell::setEditedNamePart(const QString& key, const QString& text)
{
    m_editedNames.insert(key, text);
    if (m_delegate)
        m_delegate->conflictPropertyViewCtrlDidEditingProperty(this);
}

void KQCompareCell::updateToContactHelper()
{
    if (!m_contact)
        return;
    for (auto it = m_editedNames.cbegin(); it != m_editedNames.cend(); ++it) {
        if (it.key() == CNContactNamePrefixKey)
            m_contact->setNamePrefix(it.value());
        else if (it.key() == CNContactGivenNameKey)
            m_contact->setGivenName(it.value());
        else if (it.key() == CNContactMiddleNameKey)
            m_contact->setMiddleName(it.value());
        else if (it.key() == CNContactFamilyNameKey)
            m_contact->setFamilyName(it.value());
        else if (it.key() == CNContactNameSuffixKey)
            m_contact->setNameSuffix(it.value());
        else if (it.key() == CNContactJobTitleKey)
            m_contact->setJobTitle(it.value());
        else if (it.key() == CNContactDepartmentNameKey)
            m_contact->setDepartment(it.value());
        else if (it.key() == CNContactOrganizationNameKey)
            m_contact->setOrganizationName(it.value());
        else if (it.key() == CNContactNicknameKey)
            m_contact->setNickName(it.value());
    }
    if (!m_editedText)
        return;
    if (KQLabeledValueProperty* values = property()) {
        const KQLabeledValueHelperPtr value = values->objectInLabeledValueHelpersAtIndex(m_index);
        if (!value)
            return;
        if (isLabelCell())
            value->setLabel(*m_editedText);
        else if (auto* phone = qobject_cast<KQLabeledPhoneNumber*>(value.get()))
            phone->setPhoneNumberStringValue(*m_editedText);
        else if (auto* email = qobject_cast<KQLabeledEmail*>(value.get()))
            email->setEmail(*m_editedText);
        else if (auto* url = qobject_cast<KQLabeledURL*>(value.get()))
            url->setUrlString(*m_editedText);
        return;
    }
    if (m_category == QLatin1String("Note"))
        m_contact->setNote(*m_editedText);
}

void KQCompareCell::removeProperty()
{
    if (m_delegate)
        m_delegate->conflictPropertyViewCtrlRequireDeleteProperty(this);
}

void KQCompareCell::deleteContactAction()
{
    if (m_delegate)
        m_delegate->conflictPropertyViewCtrlRequireDeleteContact(this);
}

bool KQCompareCell::useTheImage()
{
    return m_delegate != nullptr && m_delegate->conflictPropertyViewCtrlUseTheImage(this);
}
