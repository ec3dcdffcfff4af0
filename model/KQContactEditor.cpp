// Editing, copying and merging of a contact record.

#include "model/KQContactEditor.h"

#include "model/KQContactHelper.h"
#include "model/KQLabeledPhoneNumber.h"
#include "platform/KQLog.h"
#include "store/KQContactStoreHelper.h"

#include <QBuffer>

namespace {

std::function<void(const QString&)>& errorPresenter()
{
    // Never destroyed: a save finishing on a worker may still report while the program exits.
    static auto& presenter = *new std::function<void(const QString&)>([](const QString& text) { KQLog(text); });
    return presenter;
}

} // namespace

void KQContactEditor::setErrorPresenter(std::function<void(const QString&)> presenter)
{
    errorPresenter() = std::move(presenter);
}

template <typename T>
void KQContactEditor::edit(void (CNMutableContact::*setter)(const T&), const T& value, bool resetsSortKey)
{
    const CNMutableContactPtr copy = m_record.mutableContact();
    if (!copy)
        return;
    ((*copy).*setter)(value);
    m_record.setPropertyEdited(true);
    if (resetsSortKey)
        m_record.resetNameForSort();
    Q_EMIT m_record.namesChanged();
}

#define KQ_TEXT_SETTER(name, contactSetter, resets)                                                                    \
    void KQContactEditor::name(const std::optional<QString>& value)                                                    \
    {                                                                                                                  \
        edit<QString>(&CNMutableContact::contactSetter, value.value_or(QString()), resets);                            \
    }

KQ_TEXT_SETTER(setNamePrefix, setNamePrefix, true)
KQ_TEXT_SETTER(setGivenName, setGivenName, true)
KQ_TEXT_SETTER(setMiddleName, setMiddleName, true)
KQ_TEXT_SETTER(setFamilyName, setFamilyName, true)
KQ_TEXT_SETTER(setNameSuffix, setNameSuffix, true)
KQ_TEXT_SETTER(setJobTitle, setJobTitle, true)
KQ_TEXT_SETTER(setDepartment, setDepartmentName, true)
KQ_TEXT_SETTER(setOrganizationName, setOrganizationName, true)
KQ_TEXT_SETTER(setNickName, setNickname, false)
KQ_TEXT_SETTER(setPhoneticGivenName, setPhoneticGivenName, false)
KQ_TEXT_SETTER(setPhoneticMiddleName, setPhoneticMiddleName, false)
KQ_TEXT_SETTER(setPhoneticFamilyName, setPhoneticFamilyName, false)
KQ_TEXT_SETTER(setPhoneticOrgName, setPhoneticOrganizationName, false)
KQ_TEXT_SETTER(setNote, setNote, false)

#undef KQ_TEXT_SETTER

void KQContactEditor::setCompanyContact(bool company)
{
    edit<CNContactType>(&CNMutableContact::setContactType,
                        company ? CNContactType::Organization : CNContactType::Person, true);
}

void KQContactEditor::setBirthday(const std::optional<CNDateComponents>& value)
{
    edit<std::optional<CNDateComponents>>(&CNMutableContact::setBirthday, value, false);
}

void KQContactEditor::setNgBirthday(const std::optional<CNDateComponents>& value)
{
    edit<std::optional<CNDateComponents>>(&CNMutableContact::setNonGregorianBirthday, value, false);
}

void KQContactEditor::setIconData(const QByteArray& data)
{
    edit<QByteArray>(&CNMutableContact::setImageData, data, false);
}

void KQContactEditor::setIcon(const QImage& image)
{
    if (image.isNull())
        return;
    // A lossless encoding of the picture as given.
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    setIconData(data);
}

void KQContactEditor::setFirstPhoneNumber(const QString& text)
{
    KQLabeledValueProperty* phones = m_record.propertyPhoneNumbers();
    if (auto first = std::dynamic_pointer_cast<KQLabeledPhoneNumber>(phones->firstLabeledValueHelper())) {
        first->setPhoneNumberStringValue(text);
        return;
    }
    if (text.isEmpty())
        return;
    phones->addLabeledValueHelper(std::make_shared<KQLabeledPhoneNumber>(
        CNLabeledValue<CNPhoneNumber>(CNLabelPhoneNumberMain, CNPhoneNumber::phoneNumberWithStringValue(text))));
}

bool KQContactEditor::syncEndEditContactWithError(CNError* error)
{
    const CNMutableContactPtr copy = m_record.mutableContact();
    if (!m_record.propertyEdited() || !copy || m_record.containerHelper() == nullptr)
        return true;
    CNSaveRequest request;
    request.updateContact(*copy);
    const bool saved = KQContactStoreHelper::shared()->executeSaveRequest(
        request, QStringLiteral("Failed to update contacts."), error);
    if (saved)
        m_record.setPropertyEdited(false);
    return saved;
}

bool KQContactEditor::syncEndEditContactWithError(CNError* error, CNSaveRequest& request)
{
    Q_UNUSED(error);
    const CNMutableContactPtr copy = m_record.mutableContact();
    if (!m_record.propertyEdited() || !copy || m_record.containerHelper() == nullptr)
        return true;
    request.updateContact(*copy);
    m_record.setPropertyEdited(false);
    return true;
}

void KQContactEditor::endEditContactWithCompleteHandler(std::function<void(bool)> handler)
{
    auto self = m_record.shared_from_this();
    KQDispatch::globalAsync([self, handler = std::move(handler)] {
        CNError error;
        const bool saved = KQContactEditor(*self).syncEndEditContactWithError(&error);
        KQDispatch::mainAsync([saved, error, handler] {
            if (!saved && error.isError())
                errorPresenter()(error.localizedDescription);
            if (handler)
                handler(saved);
        });
    });
}

void KQContactEditor::addPropertyEmptyValueWithCategoryName(const QString& categoryName)
{
    static const QHash<QString, QString>& keys = *new QHash<QString, QString>{
        {QStringLiteral("Email"), CNContactEmailAddressesKey},
        {QStringLiteral("PhoneNumbers"), CNContactPhoneNumbersKey},
        {QStringLiteral("URL"), CNContactUrlAddressesKey},
        {QStringLiteral("Address"), CNContactPostalAddressesKey},
        {QStringLiteral("Social"), CNContactSocialProfilesKey},
        {QStringLiteral("Date"), CNContactDatesKey},
        {QStringLiteral("Related Name"), CNContactRelationsKey},
        {QStringLiteral("Instant Message"), CNContactInstantMessageAddressesKey},
    };
    if (const auto it = keys.constFind(categoryName); it != keys.constEnd()) {
        m_record.propertyForKey(*it)->addEmptyLabeledValueHelper();
    } else if (categoryName == QLatin1String("Birthday")) {
        if (!m_record.birthday())
            setBirthday(KQContactHelper::makeCurrentDateComponentWithCalenderIdentifier(CNCalendarIdentifierGregorian));
    } else if (categoryName == QLatin1String("Lunar Birthday")) {
        if (!m_record.ngBirthday())
            setNgBirthday(KQContactHelper::makeCurrentDateComponentWithCalenderIdentifier(
                KQContactHelper::availableNonGregorianCalenderIdentifiers().first()));
    } else if (categoryName == QLatin1String("Phonetic Name")) {
        if (m_record.phoneticNameIsEmpty())
            setPhoneticGivenName(QString());
    } else if (categoryName == QLatin1String("Note")) {
        const auto text = m_record.note();
        if (!text || text->isEmpty())
            setNote(QStringLiteral("note placeholder"));
    }
}

void KQContactEditor::copyFromContact(const CNContact& contact)
{
    m_record.syncLoadAllKeysIfNecessary();
    m_record.startEditContact();
    KQContactStoreHelper::duplicateContact(contact, *m_record.mutableContact());
    auto self = m_record.shared_from_this();
    KQDispatch::mainSync([self] {
        self->setupAllLabeledValueProperties();
        self->resetNameForSort();
        Q_EMIT self->namesChanged();
    });
}

CNMutableContactPtr KQContactEditor::duplicateFromContact(const CNContact& contact)
{
    auto copy = std::make_shared<CNMutableContact>();
    KQContactStoreHelper::duplicateContact(contact, *copy);
    return copy;
}

KQContactHelperPtr KQContactEditor::mergeContactHelpers(const std::vector<KQContactHelperPtr>& records)
{
    if (records.size() < 2)
        return nullptr;
    const CNMutableContactPtr merged = duplicateFromContact(*records.front()->effectiveContact());
    static const QStringList& order = *new QStringList{CNContactInstantMessageAddressesKey,
                                                       CNContactDatesKey,
                                                       CNContactPhoneNumbersKey,
                                                       CNContactEmailAddressesKey,
                                                       CNContactPostalAddressesKey,
                                                       CNContactSocialProfilesKey,
                                                       CNContactUrlAddressesKey,
                                                       CNContactRelationsKey};
    for (size_t i = 1; i < records.size(); ++i) {
        records[i]->syncLoadAllKeysIfNecessary();
        const CNContactPtr source = records[i]->effectiveContact();
        for (const QString& key : order)
            mergeContact(*source, *merged, key);
    }
    mergeContactThumbnailWithHelpers(records, *merged);
    return KQContactHelper::create(merged, true);
}

void KQContactEditor::mergeContact(const CNContact& source, CNMutableContact& target, const QString& key)
{
    if (!KQIsLabeledValueKey(key))
        return;
    const std::vector<KQAnyLabeledValue> incoming = KQLabeledValuesOfContact(source, key);
    if (incoming.empty())
        return;
    std::vector<KQAnyLabeledValue> result = KQLabeledValuesOfContact(target, key);
    std::vector<KQLabeledValueHelperPtr> existing;
    for (const auto& value : result)
        existing.push_back(KQContactHelper::labeledValueHelperWithKey(value, key));
    for (const auto& value : incoming) {
        const KQLabeledValueHelperPtr wrapped = KQContactHelper::labeledValueHelperWithKey(value, key);
        const bool known = std::any_of(existing.begin(), existing.end(), [&wrapped](const KQLabeledValueHelperPtr& e) {
            return wrapped->isEqualToValue(e.get());
        });
        if (!known)
            result.push_back(value);
    }
    KQSetLabeledValuesOnContact(target, key, result);
}

void KQContactEditor::mergeContactThumbnailWithHelpers(const std::vector<KQContactHelperPtr>& records,
                                                       CNMutableContact& target)
{
    if (target.isKeyAvailable(CNKeyId::ImageData) && !target.data().imageData.isEmpty())
        return;
    for (const auto& record : records) {
        const CNContactPtr contact = record->effectiveContact();
        if (contact->isKeyAvailable(CNKeyId::ImageData) && !contact->data().imageData.isEmpty()) {
            target.setImageData(contact->data().imageData);
            return;
        }
    }
    for (const auto& record : records) {
        const CNContactPtr contact = record->effectiveContact();
        if (contact->isKeyAvailable(CNKeyId::ThumbnailImageData) && !contact->data().thumbnailImageData.isEmpty()) {
            target.setImageData(contact->data().thumbnailImageData);
            return;
        }
    }
}
