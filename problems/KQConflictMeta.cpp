#include "problems/KQConflictMeta.h"

#include "model/KQContactHelper.h"
#include "model/KQLabeledValueProperty.h"
#include "problems/KQConflictMetaDuplicateName.h"
#include "problems/KQConflictMetaPrefix.h"

#include <QHash>
#include <mutex>
#include <vector>

namespace KQConflictName {
const QString DuplicateName = QStringLiteral("Duplicate name");
const QString ExactDuplicateContacts = QStringLiteral("Exact duplicate contacts");
const QString IncompleteName = QStringLiteral("Incomplete name");
const QString BlankName = QStringLiteral("Blank name");
const QString InvalidPhoneOrEmail = QStringLiteral("Invalid phone number or email address");
const QString DuplicatePhoneInSingleContact = QStringLiteral("Duplicate phone numbers in a single contact");
const QString DuplicateEmailInSingleContact = QStringLiteral("Duplicate email addresses in a single contact");
const QString DuplicateAddressInSingleContact = QStringLiteral("Duplicate postal addresses in a single contact");
const QString DuplicatePhoneInMultipleContacts = QStringLiteral("Duplicate phone numbers in multiple contacts");
const QString DuplicateEmailInMultipleContacts = QStringLiteral("Duplicate email addresses in multiple contacts");
const QString DuplicateAddressInMultipleContacts = QStringLiteral("Duplicate postal addresses in multiple contacts");
const QString UnusualPrefix = QStringLiteral("Unusual prefix");
const QString UnusualSuffix = QStringLiteral("Unusual suffix");
const QString BlankSpaceInFirstName = QStringLiteral("Blank space in the first name");
const QString CompanyNameWithoutJobTitle = QStringLiteral("Has company name but no job title");
const QString EmptyNotes = QStringLiteral("Empty notes");
const QString LegacyCompanyNameWithoutTitle = QStringLiteral("Has company name but no title");
} // namespace KQConflictName

namespace {

using Type = KQConflictSolutionType;

// What the catalogue says about one kind.
struct KindInfo
{
    bool multiple;
    bool config;
    const char* description;
    std::vector<Type> solutions;
    Type defaultSolution;
    const char* editDescription; // nullptr: the edit solution is "Unknown"
    const char* deleteName;      // nullptr: "Delete" / "Unknown"
    const char* deleteDescription;
};

const QHash<QString, KindInfo>& catalogue()
{
    using namespace KQConflictName;
    static const QHash<QString, KindInfo> table = {
        {DuplicateName,
         {true,
          true,
          "Contacts in this list have duplicate names.",
          {Type::Edit, Type::Ignore},
          Type::Edit,
          "View contact details and merge duplicate Contacts.",
          nullptr,
          nullptr}},
        {ExactDuplicateContacts,
         {true,
          false,
          "Contacts in this list have duplicates in all fields.",
          {Type::Delete, Type::Ignore},
          Type::Delete,
          nullptr,
          "Delete duplicate contacts",
          "Delete duplicate Contacts and keep only one."}},
        {IncompleteName,
         {false,
          false,
          "First or Last name missing in this Contact.",
          {Type::Edit, Type::Delete, Type::Ignore},
          Type::Edit,
          "View contact details and complete the missing First or Last name.",
          "Delete the contacts",
          "This contact will be deleted."}},
        {BlankName,
         {false,
          false,
          "This contact's name is empty.",
          {Type::Edit, Type::Delete, Type::Ignore},
          Type::Edit,
          "View contact details and add contact name.",
          "Delete the contacts",
          "This contact will be deleted."}},
        {InvalidPhoneOrEmail,
         {false,
          false,
          "This contact's phone number or email is invalid.",
          {Type::Edit, Type::Ignore},
          Type::Edit,
          "View contact details and fix the invalid phone number or email address.",
          nullptr,
          nullptr}},
        {DuplicatePhoneInSingleContact,
         {false,
          false,
          "This Contact has duplicate phone numbers.",
          {Type::Delete, Type::Ignore},
          Type::Delete,
          nullptr,
          "Delete duplicate phone numbers",
          "Delete duplicate phone numbers and keep only one."}},
        {DuplicateEmailInSingleContact,
         {false,
          false,
          "This Contact has duplicate email addresses.",
          {Type::Delete, Type::Ignore},
          Type::Delete,
          nullptr,
          "Delete duplicate email addresses",
          "Delete duplicate email addresses and keep only one."}},
        {DuplicateAddressInSingleContact,
         {false,
          false,
          "This Contact has duplicate addresses.",
          {Type::Delete, Type::Ignore},
          Type::Delete,
          nullptr,
          "Delete duplicate addresses",
          "Delete duplicate addresses and keep only one."}},
        {DuplicatePhoneInMultipleContacts,
         {true,
          false,
          "Contacts in this list have the same phone number.",
          {Type::Edit, Type::Ignore},
          Type::Edit,
          "View contact details and manage duplicate phone numbers.",
          nullptr,
          nullptr}},
        {DuplicateEmailInMultipleContacts,
         {true,
          false,
          "Contacts in this list have the same email address.",
          {Type::Edit, Type::Ignore},
          Type::Edit,
          "View contact details and manage duplicate email addresses.",
          nullptr,
          nullptr}},
        {DuplicateAddressInMultipleContacts,
         {true,
          false,
          "Contacts in this list have the same address.",
          {Type::Edit, Type::Ignore},
          Type::Edit,
          "View contact details and manage duplicate addresses.",
          nullptr,
          nullptr}},
        {UnusualPrefix,
         {false,
          true,
          "The prefix of this Contact is invalid.",
          {Type::Edit, Type::Delete, Type::Ignore},
          Type::Edit,
          nullptr,
          "Remove the prefix",
          "This prefix will be removed."}},
        {UnusualSuffix,
         {false,
          true,
          "The suffix of this Contact is invalid.",
          {Type::Edit, Type::Delete, Type::Ignore},
          Type::Edit,
          nullptr,
          "Remove the suffix",
          "This suffix will be removed."}},
        {BlankSpaceInFirstName,
         {false,
          false,
          "This contact's first name has blank spaces.",
          {Type::Edit, Type::RemoveSpace, Type::Delete, Type::Ignore},
          Type::RemoveSpace,
          "View contact details and edit first name.",
          "Delete the contact",
          "The contact will be deleted."}},
        {CompanyNameWithoutJobTitle,
         {false,
          false,
          "This contact has company name, but haven't set a job title.",
          {Type::Edit, Type::Ignore},
          Type::Ignore,
          "View contact details and set job title.",
          nullptr,
          nullptr}},
        {EmptyNotes,
         {false,
          false,
          "This Contact's notes is empty.",
          {Type::Edit, Type::Ignore},
          Type::Ignore,
          "View contact details and add contact notes.",
          nullptr,
          nullptr}},
    };
    return table;
}

const KindInfo* kindInfo(const QString& name)
{
    const auto& table = catalogue();
    const auto it = table.constFind(name);
    return it == table.constEnd() ? nullptr : &*it;
}

KQConflictSolutionPtr solutionOfType(Type type, const QString& name)
{
    switch (type) {
    case Type::Ignore:
        return KQConflictMeta::solutionIgnoreWithName(name);
    case Type::Edit:
        return KQConflictMeta::solutionEditWithName(name);
    case Type::Delete:
        return KQConflictMeta::solutionDeleteWithName(name);
    case Type::RemoveSpace:
        return KQConflictMeta::solutionRemoveSpaceWithName(name);
    case Type::Unknown:
        break;
    }
    return KQConflictMeta::solutionUnknown();
}

bool isEmptyText(const std::optional<QString>& text)
{
    return !text || text->isEmpty();
}

} // namespace

KQConflictMeta::KQConflictMeta(QString name) : m_name(std::move(name)) {}

KQConflictMeta::~KQConflictMeta() = default;

KQConflictMetaPtr KQConflictMeta::metaWithName(const QString& name)
{
    if (name == KQConflictName::DuplicateName)
        return std::make_shared<KQConflictMetaDuplicateName>(name);
    if (name == KQConflictName::UnusualPrefix || name == KQConflictName::UnusualSuffix)
        return std::make_shared<KQConflictMetaPrefix>(name);
    return std::make_shared<KQConflictMeta>(name);
}

std::vector<KQConflictMetaPtr> KQConflictMeta::avaliableConflictMetas()
{
    using namespace KQConflictName;
    // "Duplicate postal addresses in multiple contacts" is left out on purpose: it is only scanned
    // when a stored list holds it.
    std::vector<KQConflictMetaPtr> metas;
    for (const QString* name :
         {&DuplicateName, &ExactDuplicateContacts, &IncompleteName, &BlankName, &InvalidPhoneOrEmail,
          &DuplicatePhoneInSingleContact, &DuplicateEmailInSingleContact, &DuplicateAddressInSingleContact,
          &DuplicatePhoneInMultipleContacts, &DuplicateEmailInMultipleContacts, &UnusualPrefix, &UnusualSuffix,
          &BlankSpaceInFirstName, &CompanyNameWithoutJobTitle, &EmptyNotes})
        metas.push_back(metaWithName(*name));
    return metas;
}

void KQConflictMeta::setValidate(bool validate)
{
    if (m_validate == validate)
        return;
    m_validate = validate;
    Q_EMIT validateChanged();
}

QString KQConflictMeta::conflictDescription() const
{
    const KindInfo* info = kindInfo(m_name);
    return info ? QString::fromUtf8(info->description) : QStringLiteral("Unknown.");
}

std::vector<KQConflictSolutionPtr> KQConflictMeta::availableSolutions() const
{
    const KindInfo* info = kindInfo(m_name);
    if (!info)
        return {solutionUnknown()};
    std::vector<KQConflictSolutionPtr> solutions;
    for (const Type type : info->solutions)
        solutions.push_back(solutionOfType(type, m_name));
    return solutions;
}

KQConflictSolutionPtr KQConflictMeta::defaultSolution() const
{
    const KindInfo* info = kindInfo(m_name);
    return info ? solutionOfType(info->defaultSolution, m_name) : solutionUnknown();
}

bool KQConflictMeta::isMultipleContactsConflict() const
{
    const KindInfo* info = kindInfo(m_name);
    return info && info->multiple;
}

bool KQConflictMeta::allowConfig() const
{
    const KindInfo* info = kindInfo(m_name);
    return info && info->config;
}

bool KQConflictMeta::isEqualTo(const QObject* other) const
{
    const auto* meta = qobject_cast<const KQConflictMeta*>(other);
    return meta && meta->m_name == m_name;
}

KQConflictSolutionPtr KQConflictMeta::solutionUnknown()
{
    return KQConflictSolution::create(Type::Unknown, QStringLiteral("Unknown"), QStringLiteral("Unknown"));
}

KQConflictSolutionPtr KQConflictMeta::solutionIgnoreWithName(const QString&)
{
    return KQConflictSolution::create(Type::Ignore, QStringLiteral("Ignore"),
                                      QStringLiteral("This issue will be ignored."));
}

KQConflictSolutionPtr KQConflictMeta::solutionEditWithName(const QString& name)
{
    if (name == KQConflictName::UnusualPrefix)
        return KQConflictSolution::create(Type::Edit, QStringLiteral("Add to allowed prefixes list"),
                                          QStringLiteral("Add this prefix to allowed prefixes List."));
    if (name == KQConflictName::UnusualSuffix)
        return KQConflictSolution::create(Type::Edit, QStringLiteral("Add to allowed suffixes list"),
                                          QStringLiteral("Add this suffix to allowed suffixes list."));
    const KindInfo* info = kindInfo(name);
    const QString description =
        info && info->editDescription ? QString::fromUtf8(info->editDescription) : QStringLiteral("Unknown");
    return KQConflictSolution::create(Type::Edit, QStringLiteral("Edit"), description);
}

KQConflictSolutionPtr KQConflictMeta::solutionDeleteWithName(const QString& name)
{
    const KindInfo* info = kindInfo(name);
    if (!info || !info->deleteName)
        return KQConflictSolution::create(Type::Delete, QStringLiteral("Delete"), QStringLiteral("Unknown"));
    return KQConflictSolution::create(Type::Delete, QString::fromUtf8(info->deleteName),
                                      QString::fromUtf8(info->deleteDescription));
}

KQConflictSolutionPtr KQConflictMeta::solutionRemoveSpaceWithName(const QString& name)
{
    if (name != KQConflictName::BlankSpaceInFirstName)
        return solutionUnknown();
    return KQConflictSolution::create(Type::RemoveSpace, QStringLiteral("Remove the space"),
                                      QStringLiteral("Delete the space in the first name."));
}

bool KQConflictMeta::checkContactHelper(KQContactHelper* contact, const QHash<QString, bool>* phoneValidity) const
{
    using namespace KQConflictName;
    if (!contact)
        return false;
    if (m_name == EmptyNotes)
        return checkContactHelperHasEmptyNotes(contact);
    if (m_name == CompanyNameWithoutJobTitle)
        return checkContactHelperHasCompanyNameWithNoTitle(contact);
    if (m_name == BlankName)
        return checkContactHelperHasBlankName(contact);
    if (m_name == IncompleteName)
        return checkContactHelperHasIncompleteName(contact);
    if (m_name == BlankSpaceInFirstName)
        return checkContactHelperHasBlankSpaceInTheFirstName(contact);
    if (m_name == DuplicateAddressInSingleContact)
        return checkContactHelperHasDuplicateProperty(contact->propertyPostalAddress());
    if (m_name == DuplicatePhoneInSingleContact)
        return checkContactHelperHasDuplicateProperty(contact->propertyPhoneNumbers());
    if (m_name == DuplicateEmailInSingleContact)
        return checkContactHelperHasDuplicateProperty(contact->propertyEmails());
    if (m_name == InvalidPhoneOrEmail)
        return checkContactHelperHasInvalidCharacter(contact, phoneValidity);
    if (m_name == UnusualPrefix)
        return checkContactHelperHasUnusualPrefix(contact);
    if (m_name == UnusualSuffix)
        return checkContactHelperHasUnusualSuffix(contact);
    return false;
}

bool KQConflictMeta::checkContactHelperHasEmptyNotes(KQContactHelper* contact) const
{
    return isEmptyText(contact->note());
}

bool KQConflictMeta::checkContactHelperHasCompanyNameWithNoTitle(KQContactHelper* contact) const
{
    return !isEmptyText(contact->organizationName()) && isEmptyText(contact->jobTitle());
}

bool KQConflictMeta::checkContactHelperHasBlankName(KQContactHelper* contact) const
{
    return contact->nameIsEmpty();
}

bool KQConflictMeta::checkContactHelperHasIncompleteName(KQContactHelper* contact) const
{
    return !contact->nameIsEmpty() && (isEmptyText(contact->givenName()) || isEmptyText(contact->familyName()));
}

bool KQConflictMeta::checkContactHelperHasBlankSpaceInTheFirstName(KQContactHelper* contact) const
{
    const auto given = contact->givenName();
    return !isEmptyText(given) && given->front() == QLatin1Char(' ');
}

bool KQConflictMeta::checkContactHelperHasDuplicateProperty(KQLabeledValueProperty* property) const
{
    if (!property)
        return false;
    const auto& values = property->labeledValueHelpers();
    for (size_t i = 0; i < values.size(); ++i) {
        for (size_t j = i + 1; j < values.size(); ++j) {
            if (values[i]->isEqualToValue(values[j].get()))
                return true;
        }
    }
    return false;
}

bool KQConflictMeta::checkContactHelperHasInvalidCharacter(KQContactHelper* contact,
                                                           const QHash<QString, bool>* phoneValidity) const
{
    if (const KQLabeledValueProperty* emails = contact->propertyEmails()) {
        for (const auto& email : emails->labeledValueHelpers()) {
            if (!KQLabeledValueHelper::findValidEmailAddressString(email->valueString()))
                return true;
        }
    }
    if (const KQLabeledValueProperty* phones = contact->propertyPhoneNumbers()) {
        for (const auto& phone : phones->labeledValueHelpers()) {
            const QString text = phone->valueString();
            const auto known =
                phoneValidity != nullptr ? phoneValidity->constFind(text) : QHash<QString, bool>::const_iterator();
            const bool valid = phoneValidity != nullptr && known != phoneValidity->constEnd()
                                   ? known.value()
                                   : KQLabeledValueHelper::findValidPhoneNumberString(text);
            if (!valid)
                return true;
        }
    }
    return false;
}

bool KQConflictMeta::checkContactHelperHasUnusualPrefix(KQContactHelper* contact) const
{
    const auto* prefixMeta = qobject_cast<const KQConflictMetaPrefix*>(this);
    const auto prefix = contact->namePrefix();
    if (!prefixMeta || isEmptyText(prefix))
        return false;
    return prefixMeta->isUnusualFix(*prefix);
}

bool KQConflictMeta::checkContactHelperHasUnusualSuffix(KQContactHelper* contact) const
{
    const auto* suffixMeta = qobject_cast<const KQConflictMetaPrefix*>(this);
    const auto suffix = contact->nameSuffix();
    if (!suffixMeta || isEmptyText(suffix))
        return false;
    return suffixMeta->isUnusualFix(*suffix);
}

QStringList KQConflictMeta::archiveClassNames() const
{
    return {QStringLiteral("KQConflictMeta"), QStringLiteral("NSObject")};
}

void KQConflictMeta::encodeWithCoder(KQKeyedArchiver& coder) const
{
    coder.encodeString(m_name, QStringLiteral("name"));
    coder.encodeBool(m_validate, QStringLiteral("validate"));
}

std::optional<QString> KQConflictMeta::decodeBaseWithCoder(KQKeyedUnarchiver& coder, bool* validate)
{
    auto name = coder.decodeString(QStringLiteral("name"));
    *validate = coder.decodeBool(QStringLiteral("validate"));
    if (coder.failed())
        return std::nullopt;
    return name;
}

KQCodingPtr KQConflictMeta::decodeWithCoder(KQKeyedUnarchiver& coder)
{
    bool validate = false;
    const auto name = decodeBaseWithCoder(coder, &validate);
    if (!name)
        return nullptr;
    auto meta = std::make_shared<KQConflictMeta>(*name);
    meta->setValidate(validate);
    return meta;
}

void KQConflictMeta::registerArchiveClasses()
{
    static std::once_flag once;
    std::call_once(once, [] {
        KQRegisterArchiveClass(QStringLiteral("KQConflictMeta"), &KQConflictMeta::decodeWithCoder);
        KQRegisterArchiveClass(QStringLiteral("KQConflictMetaDuplicateName"),
                               &KQConflictMetaDuplicateName::decodeWithCoder);
        KQRegisterArchiveClass(QStringLiteral("KQConflictMetaPrefix"), &KQConflictMetaPrefix::decodeWithCoder);
    });
}

QSet<QString> KQConflictMeta::archiveClasses()
{
    return {QStringLiteral("KQConflictMeta"), QStringLiteral("KQConflictMetaDuplicateName"),
            QStringLiteral("KQConflictMetaPrefix")};
}
