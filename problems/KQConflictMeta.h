#pragma once
// One kind of problem the scanner looks for. The name is the kind's identity: its texts, its
// solutions and its per-contact test are all chosen by comparing the name with the catalogue's
// names. The preferences keep the list of kinds (with the user's settings inside them) as a keyed
// archive, so class names and archive keys must not change.

#include "platform/KQKeyedArchiver.h"
#include "problems/KQConflictSolution.h"

#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

class KQContactHelper;
class KQLabeledValueProperty;

// The catalogue's kind names.
namespace KQConflictName {
extern const QString DuplicateName;
extern const QString ExactDuplicateContacts;
extern const QString IncompleteName;
extern const QString BlankName;
extern const QString InvalidPhoneOrEmail;
extern const QString DuplicatePhoneInSingleContact;
extern const QString DuplicateEmailInSingleContact;
extern const QString DuplicateAddressInSingleContact;
extern const QString DuplicatePhoneInMultipleContacts;
extern const QString DuplicateEmailInMultipleContacts;
extern const QString DuplicateAddressInMultipleContacts;
extern const QString UnusualPrefix;
extern const QString UnusualSuffix;
extern const QString BlankSpaceInFirstName;
extern const QString CompanyNameWithoutJobTitle;
extern const QString EmptyNotes;
// The older name of CompanyNameWithoutJobTitle; a stored list that still holds it is outdated.
extern const QString LegacyCompanyNameWithoutTitle;
} // namespace KQConflictName

class KQConflictMeta;
using KQConflictMetaPtr = std::shared_ptr<KQConflictMeta>;

class KQConflictMeta : public QObject, public KQCoding
{
    Q_OBJECT
    Q_PROPERTY(QString name READ name CONSTANT)
    Q_PROPERTY(bool validate READ validate WRITE setValidate NOTIFY validateChanged)
public:
    // Enabled from the start.
    explicit KQConflictMeta(QString name);
    ~KQConflictMeta() override;

    // A new kind object of the class the name calls for (duplicate name, prefix/suffix, or base).
    static KQConflictMetaPtr metaWithName(const QString& name);
    // The default catalogue: fifteen fresh, enabled kinds in catalogue order.
    static std::vector<KQConflictMetaPtr> avaliableConflictMetas();

    const QString& name() const { return m_name; }
    bool validate() const { return m_validate; }
    void setValidate(bool validate);

    QString conflictDescription() const;
    // New objects on every call, in the order offered to the user.
    std::vector<KQConflictSolutionPtr> availableSolutions() const;
    // A new object equal to one member of availableSolutions().
    KQConflictSolutionPtr defaultSolution() const;
    // Kinds that span several contacts are found by the scan's pairwise search, not per contact.
    bool isMultipleContactsConflict() const;
    // The kind has a settings sheet.
    bool allowConfig() const;
    // The other is a kind with the same name.
    bool isEqualTo(const QObject* other) const;

    static KQConflictSolutionPtr solutionUnknown();
    static KQConflictSolutionPtr solutionIgnoreWithName(const QString& name);
    static KQConflictSolutionPtr solutionEditWithName(const QString& name);
    static KQConflictSolutionPtr solutionDeleteWithName(const QString& name);
    // The unknown solution for every kind but "Blank space in the first name".
    static KQConflictSolutionPtr solutionRemoveSpaceWithName(const QString& name);

    // Whether the contact has this kind of problem; always false for multiple-contact kinds and
    // unknown names. The contact should have all keys loaded. phoneValidity, when given, holds the
    // phone test's answer for texts already judged (the scan judges each distinct text once).
    bool checkContactHelper(KQContactHelper* contact, const QHash<QString, bool>* phoneValidity = nullptr) const;
    bool checkContactHelperHasEmptyNotes(KQContactHelper* contact) const;
    bool checkContactHelperHasCompanyNameWithNoTitle(KQContactHelper* contact) const;
    bool checkContactHelperHasBlankName(KQContactHelper* contact) const;
    bool checkContactHelperHasIncompleteName(KQContactHelper* contact) const;
    bool checkContactHelperHasBlankSpaceInTheFirstName(KQContactHelper* contact) const;
    // Two equal values (isEqualToValue) at different positions of one field.
    bool checkContactHelperHasDuplicateProperty(KQLabeledValueProperty* property) const;
    // An e-mail address or phone number that fails its validity test (e-mails are tried first).
    bool checkContactHelperHasInvalidCharacter(KQContactHelper* contact,
                                               const QHash<QString, bool>* phoneValidity = nullptr) const;
    // Only a prefix/suffix kind has an allowed list; any other kind answers false.
    bool checkContactHelperHasUnusualPrefix(KQContactHelper* contact) const;
    bool checkContactHelperHasUnusualSuffix(KQContactHelper* contact) const;

    // --- keyed archive: "name" and "validate"
    QStringList archiveClassNames() const override;
    void encodeWithCoder(KQKeyedArchiver& coder) const override;
    // Registers the decoders of the three kind classes (once; later calls do nothing).
    static void registerArchiveClasses();
    // The class names a stored list of kinds may hold.
    static QSet<QString> archiveClasses();

    // The decoder of this class; each subclass has its own. Nullptr when the archive holds no name.
    static KQCodingPtr decodeWithCoder(KQKeyedUnarchiver& coder);

Q_SIGNALS:
    void validateChanged();

protected:
    // The base keys: the name (none when missing) and the check mark.
    static std::optional<QString> decodeBaseWithCoder(KQKeyedUnarchiver& coder, bool* validate);

private:
    QString m_name;
    bool m_validate = true;
};
