#pragma once
// The program's view of one contact of the store. Lists, the scanner, exports, backups and the
// editor all work on records, never on store contacts directly. A record knows whether all of its
// fields were fetched and fetches the rest on demand, derives the names shown and sorted by, offers
// each multi-valued field as a property of labelled values, and compares itself with others.

#include "model/KQContactActions.h"
#include "model/KQContactEditor.h"
#include "model/KQContactTags.h"
#include "model/KQLabeledValueProperty.h"
#include "platform/CNError.h"
#include "platform/CNMutableContact.h"
#include "platform/CNPredicate.h"
#include "platform/CNSaveRequest.h"
#include "platform/KQDispatch.h"

#include <QImage>
#include <QObject>
#include <QStringList>
#include <QUrl>
#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

class KQContactHelper;
using KQContactHelperPtr = std::shared_ptr<KQContactHelper>;

class KQContactHelper : public QObject, public KQCoding, public std::enable_shared_from_this<KQContactHelper>
{
    Q_OBJECT
    Q_PROPERTY(QString fullName READ fullName NOTIFY namesChanged)
    Q_PROPERTY(QString displayName READ displayName NOTIFY namesChanged)
    Q_PROPERTY(QString subDisplayName READ subDisplayName NOTIFY namesChanged)
    Q_PROPERTY(QString jobFullName READ jobFullName NOTIFY namesChanged)
    Q_PROPERTY(QString phoneticFullName READ phoneticFullName NOTIFY namesChanged)
    Q_PROPERTY(bool propertyEdited READ propertyEdited NOTIFY propertyEditedChanged)
    Q_PROPERTY(QString firstPhoneNumber READ firstPhoneNumber NOTIFY phoneNumberDidChangedChanged)
public:
    explicit KQContactHelper(CNContactPtr contact, bool allKeyLoaded = false);
    ~KQContactHelper() override;
    static KQContactHelperPtr create(CNContactPtr contact, bool allKeyLoaded = false)
    {
        return std::make_shared<KQContactHelper>(std::move(contact), allKeyLoaded);
    }

    // --- the contact
    // Safe to read from any thread; only the main thread replaces them.
    CNContactPtr contact() const;
    CNMutableContactPtr mutableContact() const;
    // Where reads go: the edit copy while editing, else the fetched contact.
    CNContactPtr effectiveContact() const;
    bool allKeysLoaded() const { return m_allKeysLoaded.load(std::memory_order_acquire); }
    bool propertyEdited() const { return m_propertyEdited; }
    void setPropertyEdited(bool edited);
    QString identifier() const;
    // Trash records answer false.
    virtual bool editable() const { return true; }

    // Makes the edit copy (once); reads then see it.
    void startEditContact();

    // --- loading
    // A fetch runs on the record's load queue (or the caller's thread), and what it fetched is
    // installed on the main thread only, so readers on other threads never see a half-replaced
    // record. Readers off the main thread call a synchronous load before reading.

    // Waits until the record holds all keys. From a worker it waits for the main thread to install
    // the result; on the main thread it installs at once. Not on the record's own load queue.
    void syncLoadAllKeysIfNecessary();
    // handler(record, success) runs on the main thread; success is false when nothing was fetched.
    void loadAllKeysIfNecessaryWithCompleteHandler(std::function<void(KQContactHelper*, bool)> handler);
    // Fetches the contact with all keys on the caller's thread and installs it as the synchronous
    // load does; true when it was found.
    bool executeLoadAllKeys();
    // Loads all keys of every record that lacks them with one store fetch (the predicate's
    // contacts, or the records' identifiers when the predicate is none or few records lack keys),
    // then installs them on the main thread in slices of at most 10 ms. Called off the main thread
    // it waits for the last slice; on the main thread it installs at once. Returns how many records
    // were installed; false-y when the store failed (see error).
    static int syncLoadAllKeysOfContactHelpers(const std::vector<KQContactHelperPtr>& records,
                                               const std::optional<CNContactPredicate>& predicate,
                                               CNError* error = nullptr);

    // --- fields; none when the field was not fetched
    std::optional<QString> namePrefix() const;
    std::optional<QString> givenName() const;
    std::optional<QString> middleName() const;
    std::optional<QString> familyName() const;
    std::optional<QString> nameSuffix() const;
    std::optional<QString> nickName() const;
    std::optional<QString> jobTitle() const;
    std::optional<QString> department() const;
    std::optional<QString> organizationName() const;
    std::optional<QString> phoneticGivenName() const;
    std::optional<QString> phoneticMiddleName() const;
    std::optional<QString> phoneticFamilyName() const;
    std::optional<QString> phoneticOrgName() const;
    std::optional<QString> note() const;
    std::optional<CNDateComponents> birthday() const;
    std::optional<CNDateComponents> ngBirthday() const;
    bool companyContact() const;

    // --- the eight multi-valued fields, each made on first use
    KQLabeledValueProperty* propertyPhoneNumbers();
    KQLabeledValueProperty* propertyEmails();
    KQLabeledValueProperty* propertyUrls();
    KQLabeledValueProperty* propertyPostalAddress();
    KQLabeledValueProperty* propertySocial();
    KQLabeledValueProperty* propertyInstantMsg();
    KQLabeledValueProperty* propertyDates();
    KQLabeledValueProperty* propertyRelation();
    // The property of a store key; nullptr for keys that name no multi-valued field.
    KQLabeledValueProperty* propertyForKey(const QString& key);
    // Called by a property after it wrote itself back.
    void labeledValueHelperDidChanged(KQLabeledValueProperty* property);
    // A new, empty entry of the kind of key, as the editor inserts it; nullptr for other keys.
    KQLabeledValueHelperPtr makeEmptyLabeledValueHelperWithKey(const QString& key) const;

    // --- derived names and texts
    QString fullName() const;
    QString jobFullName() const;
    QString phoneticFullName() const;
    QString displayName() const;
    QString subDisplayName() const;
    QString nameForSort();
    void resetNameForSort();
    bool isNoName() const { return displayName().isEmpty(); }
    bool nameIsEmpty() const;
    bool phoneticNameIsEmpty() const;
    std::optional<QString> birthdayString() const;
    QString info();
    QString firstPhoneNumber();
    QString firstEmail();
    QString firstAddress();

    // --- image
    QByteArray iconData() const;
    // The contact's picture, or the default face.
    QImage icon() const;
    static QImage defaultFaceImage();
    static QStringList allAvailableIconFormats();
    static constexpr qint64 maxIconDataBytes = 2097152;

    // --- categories
    static QStringList allAvailableCategoryNames();
    static QStringList defCategoryNames();
    bool categoryPropertyIsEmpty(const QString& categoryName);

    // The account holding this record, or nullptr.
    class KQContainerHelper* containerHelper() const;

    // --- collaborators the record hands out: editing, tags and actions. The record keeps their
    // names as forwarders, so callers may use either.
    KQContactEditor editor() { return KQContactEditor(*this); }
    KQContactTags tagging() const { return KQContactTags(*this); }
    KQContactActions actions() { return KQContactActions(*this); }

    // --- editing (each setter does nothing unless the record is being edited); see KQContactEditor
    void setNamePrefix(const std::optional<QString>& value) { editor().setNamePrefix(value); }
    void setGivenName(const std::optional<QString>& value) { editor().setGivenName(value); }
    void setMiddleName(const std::optional<QString>& value) { editor().setMiddleName(value); }
    void setFamilyName(const std::optional<QString>& value) { editor().setFamilyName(value); }
    void setNameSuffix(const std::optional<QString>& value) { editor().setNameSuffix(value); }
    void setJobTitle(const std::optional<QString>& value) { editor().setJobTitle(value); }
    void setDepartment(const std::optional<QString>& value) { editor().setDepartment(value); }
    void setOrganizationName(const std::optional<QString>& value) { editor().setOrganizationName(value); }
    void setCompanyContact(bool company) { editor().setCompanyContact(company); }
    void setNickName(const std::optional<QString>& value) { editor().setNickName(value); }
    void setPhoneticGivenName(const std::optional<QString>& value) { editor().setPhoneticGivenName(value); }
    void setPhoneticMiddleName(const std::optional<QString>& value) { editor().setPhoneticMiddleName(value); }
    void setPhoneticFamilyName(const std::optional<QString>& value) { editor().setPhoneticFamilyName(value); }
    void setPhoneticOrgName(const std::optional<QString>& value) { editor().setPhoneticOrgName(value); }
    void setNote(const std::optional<QString>& value) { editor().setNote(value); }
    void setBirthday(const std::optional<CNDateComponents>& value) { editor().setBirthday(value); }
    void setNgBirthday(const std::optional<CNDateComponents>& value) { editor().setNgBirthday(value); }
    void setIconData(const QByteArray& data) { editor().setIconData(data); }
    void setIcon(const QImage& image) { editor().setIcon(image); }
    void setFirstPhoneNumber(const QString& text) { editor().setFirstPhoneNumber(text); }
    bool syncEndEditContactWithError(CNError* error = nullptr) { return editor().syncEndEditContactWithError(error); }
    bool syncEndEditContactWithError(CNError* error, CNSaveRequest& request)
    {
        return editor().syncEndEditContactWithError(error, request);
    }
    void endEditContactWithCompleteHandler(std::function<void(bool)> handler)
    {
        editor().endEditContactWithCompleteHandler(std::move(handler));
    }
    static void setErrorPresenter(std::function<void(const QString&)> presenter)
    {
        KQContactEditor::setErrorPresenter(std::move(presenter));
    }
    void addPropertyEmptyValueWithCategoryName(const QString& categoryName)
    {
        editor().addPropertyEmptyValueWithCategoryName(categoryName);
    }
    void copyFromContact(const CNContact& contact) { editor().copyFromContact(contact); }
    static CNMutableContactPtr duplicateFromContact(const CNContact& contact)
    {
        return KQContactEditor::duplicateFromContact(contact);
    }
    static KQContactHelperPtr mergeContactHelpers(const std::vector<KQContactHelperPtr>& records)
    {
        return KQContactEditor::mergeContactHelpers(records);
    }
    static void mergeContact(const CNContact& source, CNMutableContact& target, const QString& key)
    {
        KQContactEditor::mergeContact(source, target, key);
    }
    static void mergeContactThumbnailWithHelpers(const std::vector<KQContactHelperPtr>& records,
                                                 CNMutableContact& target)
    {
        KQContactEditor::mergeContactThumbnailWithHelpers(records, target);
    }

    // --- tags (kept by the tags manager under the record's identifier); see KQContactTags
    std::vector<std::shared_ptr<KQTag>> tags() const { return tagging().tags(); }
    void setTags(const std::vector<std::shared_ptr<KQTag>>& tags) { tagging().setTags(tags); }
    void insertObjectInTagsAtIndex(const std::shared_ptr<KQTag>& tag, int index)
    {
        tagging().insertObjectInTagsAtIndex(tag, index);
    }
    void removeObjectFromTagsAtIndex(int index) { tagging().removeObjectFromTagsAtIndex(index); }
    void insertTagsAtIndexes(const std::vector<std::shared_ptr<KQTag>>& tags, const QList<int>& indexes)
    {
        tagging().insertTagsAtIndexes(tags, indexes);
    }
    void removeTagsAtIndexes(const QList<int>& indexes) { tagging().removeTagsAtIndexes(indexes); }
    void addTag(const std::shared_ptr<KQTag>& tag) { tagging().addTag(tag); }
    void removeTag(const std::shared_ptr<KQTag>& tag) { tagging().removeTag(tag); }
    std::shared_ptr<KQTag> addTagsWithName(const QString& name) { return tagging().addTagsWithName(name); }

    // --- actions; see KQContactActions
    bool enableCall() { return actions().enableCall(); }
    bool enableMessage() { return actions().enableMessage(); }
    bool enableEmail() { return actions().enableEmail(); }
    bool enableFacetime() { return actions().enableFacetime(); }
    QStringList availableCallNames() { return actions().availableCallNames(); }
    QStringList availableMessageNames() { return actions().availableMessageNames(); }
    QStringList availableEmailNames() { return actions().availableEmailNames(); }
    QStringList availableFacetimeNames() { return actions().availableFacetimeNames(); }
    void callToPersonAtIndex(int index) { actions().callToPersonAtIndex(index); }
    void messageToPersonAtIndex(int index) { actions().messageToPersonAtIndex(index); }
    void emailToPersonAtIndex(int index) { actions().emailToPersonAtIndex(index); }
    void facetimeToPersonAtIndex(int index) { actions().facetimeToPersonAtIndex(index); }
    void callToPersonWithName(const QString& name) { actions().callToPersonWithName(name); }
    void messageToPersonWithName(const QString& name) { actions().messageToPersonWithName(name); }
    void emailToPersonWithName(const QString& name) { actions().emailToPersonWithName(name); }
    void facetimeToPersonWithName(const QString& name) { actions().facetimeToPersonWithName(name); }
    static void callToPersonWithPhoneName(const std::optional<QString>& number)
    {
        KQContactActions::callToPersonWithPhoneName(number);
    }
    static void messageToPersonWithPhoneNumber(const std::optional<QString>& number)
    {
        KQContactActions::messageToPersonWithPhoneNumber(number);
    }
    static void facetimeToPersonWithPhoneNumber(const std::optional<QString>& number)
    {
        KQContactActions::facetimeToPersonWithPhoneNumber(number);
    }
    static void facetimeToPersonWithEmail(const std::optional<QString>& email)
    {
        KQContactActions::facetimeToPersonWithEmail(email);
    }
    static void emailToPersonWithEmail(const std::optional<QString>& email)
    {
        KQContactActions::emailToPersonWithEmail(email);
    }
    static QString adjustPhoneNumber(const QString& number) { return KQContactActions::adjustPhoneNumber(number); }
    static void openURLWithURLAddresses(const KQLabeledValueHelper* url)
    {
        KQContactActions::openURLWithURLAddresses(url);
    }
    static void setUrlOpener(std::function<bool(const QUrl&)> opener)
    {
        KQContactActions::setUrlOpener(std::move(opener));
    }

    // --- marks used by the windows; not stored
    bool selected = false;
    bool focused = false;
    bool preImported = false;
    int phoneNumberDidChanged() const { return m_phoneNumberDidChanged; }
    int emailDidChanged() const { return m_emailDidChanged; }

    // --- comparison
    // Same record: same identifier.
    bool isEqual(const KQContactHelper* other) const;
    // Same content (names, multi-valued fields, birthdays, note); used by the exact-duplicate scan.
    bool isEqualTo(const QObject* other);
    // Name parts selected by mask: prefix 1, suffix 2, given 4, middle 8, family 16.
    bool isEqualToName(KQContactHelper* other, int mask) const;
    static bool labeledValueHelperValueEqualTo(const KQLabeledValueHelper* helper, const QString& text);

    // --- class operations
    static QString stringFromDateComponents(const std::optional<CNDateComponents>& components);
    static QStringList availableNonGregorianCalenderIdentifiers();
    static CNDateComponents makeCurrentDateComponentWithCalenderIdentifier(const QString& calendarIdentifier);
    static KQLabeledValueHelperPtr labeledValueHelperWithKey(const KQAnyLabeledValue& value, const QString& key);

    // --- keyed archive: "contact" holds the effective contact, "allKeysLoaded" the flag
    QStringList archiveClassNames() const override;
    void encodeWithCoder(KQKeyedArchiver& coder) const override;
    static void registerArchiveClass();

Q_SIGNALS:
    void namesChanged();
    void propertyEditedChanged();
    void phoneNumberDidChangedChanged();
    void emailDidChangedChanged();
    void contactReloaded();

private:
    friend class KQContactEditor; // rebuilds the properties after a copy

    // Where each labelled-value property is kept.
    enum PropertySlot
    {
        Phones,
        Emails,
        Urls,
        Addresses,
        Social,
        InstantMsg,
        Dates,
        Relations,
        PropertySlotCount
    };

    template <typename Getter> std::optional<QString> readText(CNKeyId key, Getter getter) const;
    void setupAllLabeledValueProperties();
    // The one place a fetched contact becomes the record's contact; main thread only.
    void installLoadedContact(const CNContactPtr& fetched);
    // Installs a contact a fetch left waiting, if any; main thread only. True when it installed.
    bool installPendingContact();
    // Keeps what a fetch found until the main thread installs it; false when the record already
    // holds all keys.
    bool setPendingContact(const CNContactPtr& fetched);
    bool needsAllKeys() const;
    static CNContactPtr fetchAllKeys(const QString& identifier);
    KQLabeledValueProperty* property(PropertySlot slot, const QString& key);
    KQDispatchQueuePtr loadAllKeyQueue();

    // Guards the two contact pointers, the pending fetch and the making of the properties, which
    // readers on other threads may touch while the main thread installs a load.
    mutable std::mutex m_contactMutex;
    CNContactPtr m_contact;
    CNMutableContactPtr m_mutableContact;
    CNContactPtr m_pendingContact;
    bool m_keysInstalled = false; // an install of all keys began; guarded by m_contactMutex
    QString m_loadIdentifier;     // the store identifier a load fetches by; fixed at creation
    std::atomic<bool> m_allKeysLoaded{false};
    bool m_propertyEdited = false;
    KQDispatchQueuePtr m_loadAllKeyQueue;
    // The labelled-value properties, made on first use: most records never have one, and a list
    // holds a hundred thousand records.
    std::unique_ptr<std::array<KQLabeledValuePropertyPtr, PropertySlotCount>> m_properties;
    std::optional<QString> m_sortName;
    int m_sortNameGeneration = 0;
    int m_phoneNumberDidChanged = 0;
    int m_emailDidChanged = 0;
};
