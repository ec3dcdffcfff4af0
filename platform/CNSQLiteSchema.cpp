#include "platform/CNSQLiteSchema.h"

#include "platform/CNContainer.h"
#include "platform/CNLabeledValue.h"
#include "platform/CNSQLiteTransaction.h"

namespace {

// Version 1: accounts, groups with one optional parent, contacts with one column per scalar
// field and one coded blob per multi-valued field, images apart from contacts (list fetches
// rarely need them), and ordered membership.
bool createVersion1(CNSQLiteConnection& db)
{
    static const char* const sql = R"(
CREATE TABLE properties(
    key TEXT PRIMARY KEY,
    value
) WITHOUT ROWID;
CREATE TABLE containers(
    id INTEGER PRIMARY KEY,
    identifier TEXT NOT NULL UNIQUE,
    name TEXT NOT NULL DEFAULT '',
    type INTEGER NOT NULL,
    sort_order INTEGER NOT NULL
);
CREATE TABLE groups(
    id INTEGER PRIMARY KEY,
    identifier TEXT NOT NULL UNIQUE,
    container_id INTEGER NOT NULL REFERENCES containers(id) ON DELETE CASCADE,
    name TEXT NOT NULL DEFAULT '',
    parent_id INTEGER REFERENCES groups(id) ON DELETE SET NULL
);
CREATE INDEX groups_by_container ON groups(container_id);
CREATE INDEX groups_by_parent ON groups(parent_id);
CREATE TABLE contacts(
    id INTEGER PRIMARY KEY,
    identifier TEXT NOT NULL UNIQUE,
    container_id INTEGER NOT NULL REFERENCES containers(id) ON DELETE CASCADE,
    contact_type INTEGER NOT NULL DEFAULT 0,
    name_prefix TEXT,
    given_name TEXT,
    middle_name TEXT,
    family_name TEXT,
    previous_family_name TEXT,
    name_suffix TEXT,
    nickname TEXT,
    organization_name TEXT,
    department_name TEXT,
    job_title TEXT,
    phonetic_given_name TEXT,
    phonetic_middle_name TEXT,
    phonetic_family_name TEXT,
    phonetic_organization_name TEXT,
    birthday BLOB,
    non_gregorian_birthday BLOB,
    note TEXT,
    phone_numbers BLOB,
    email_addresses BLOB,
    postal_addresses BLOB,
    dates BLOB,
    url_addresses BLOB,
    contact_relations BLOB,
    social_profiles BLOB,
    instant_message_addresses BLOB
);
CREATE INDEX contacts_by_container ON contacts(container_id);
CREATE TABLE images(
    contact_id INTEGER PRIMARY KEY REFERENCES contacts(id) ON DELETE CASCADE,
    image BLOB,
    thumbnail BLOB
);
CREATE TABLE memberships(
    group_id INTEGER NOT NULL REFERENCES groups(id) ON DELETE CASCADE,
    contact_id INTEGER NOT NULL REFERENCES contacts(id) ON DELETE CASCADE,
    position INTEGER NOT NULL,
    PRIMARY KEY(group_id, contact_id)
) WITHOUT ROWID;
CREATE INDEX memberships_by_contact ON memberships(contact_id);
CREATE UNIQUE INDEX memberships_in_order ON memberships(group_id, position);
)";
    if (!db.exec(sql))
        return false;

    const QString local = CNMakeIdentifier();
    auto container = db.cached("INSERT INTO containers(identifier, name, type, sort_order) VALUES(?1, ?2, ?3, 1)");
    if (!container)
        return false;
    container->bind(1, local);
    container->bind(2, CNSQLiteSchema::localContainerName());
    container->bind(3, static_cast<qint64>(CNContainerType::Local));
    if (!container->run())
        return false;
    auto property = db.cached("INSERT INTO properties(key, value) VALUES('defaultContainer', ?1)");
    if (!property)
        return false;
    property->bind(1, local);
    return property->run();
}

// Version 2: the UID of the card a contact was imported from, so that exporting it again keeps
// the identity another address book knows it by.
bool addCardUID(CNSQLiteConnection& db)
{
    return db.exec("ALTER TABLE contacts ADD COLUMN card_uid TEXT");
}

using MigrationStep = bool (*)(CNSQLiteConnection&);
// steps[n] migrates from version n to version n + 1.
constexpr MigrationStep steps[] = {createVersion1, addCardUID};
static_assert(std::size(steps) == CNSQLiteSchema::CurrentVersion);

} // namespace

QString CNSQLiteSchema::localContainerName()
{
    return QStringLiteral("On My Computer");
}

bool CNSQLiteSchema::migrate(CNSQLiteConnection& db, CNError* error, int* code)
{
    const auto noteCode = [&] {
        if (code)
            *code = db.extendedErrorCode();
        return false;
    };
    const auto fail = [&](const QString& why) {
        noteCode();
        return CNReportError(error, CNError::make(CNError::StoreFailure, why));
    };
    // Cheap check first, so that opening an up-to-date store takes no write lock.
    qint64 current = 0;
    if (!db.queryInt("PRAGMA user_version", &current, error))
        return noteCode();
    if (current == CurrentVersion)
        return true;

    CNSQLiteTransaction transaction(db);
    if (!transaction.isActive()) {
        noteCode();
        return CNReportError(error, transaction.beginError());
    }
    // Another process may have migrated in between.
    qint64 version = 0;
    if (!db.queryInt("PRAGMA user_version", &version, error))
        return noteCode();
    if (version > CurrentVersion)
        return fail(QStringLiteral("the database has schema version %1, newer than this program's %2")
                        .arg(QString::number(version), QString::number(CurrentVersion)));
    for (qint64 v = version; v < CurrentVersion; ++v) {
        if (!steps[v](db))
            return fail(QStringLiteral("migration to schema version %1 failed: %2")
                            .arg(QString::number(v + 1), db.errorMessage()));
    }
    const QByteArray setVersion = "PRAGMA user_version=" + QByteArray::number(CurrentVersion);
    if (!db.exec(setVersion.constData()))
        return fail(db.errorMessage());
    if (!transaction.commit(error))
        return noteCode();
    return true;
}
