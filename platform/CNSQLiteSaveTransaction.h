#pragma once
// Applies the operations of one save request, in order, inside one transaction on the store's
// write connection. The first operation that fails rolls everything back; the error names the
// operation and the reason.

#include "platform/CNError.h"
#include "platform/CNSQLiteConnection.h"
#include "platform/CNSaveRequest.h"

#include <optional>
#include <utility>

class CNSQLiteSaveTransaction
{
public:
    explicit CNSQLiteSaveTransaction(CNSQLiteConnection& db) : m_db(db) {}

    bool apply(const CNSaveRequest& request, CNError* error);

    // A thumbnail for an image: scaled to fit ThumbnailSize pixels, JPEG (a JPEG image that fits
    // already is its own thumbnail). Empty when the data is no image this program can read.
    static constexpr int ThumbnailSize = 320;
    static QByteArray makeThumbnail(const QByteArray& imageData);

private:
    struct ContactRow
    {
        qint64 id;
        qint64 container;
    };
    struct GroupRow
    {
        qint64 id;
        qint64 container;
        qint64 parent; // -1: a top-level group
    };

    // Each step gives no error or what failed.
    CNError applyOperation(const CNSaveRequest::Operation& op);
    CNError addContact(const CNContact& contact, const QString& containerIdentifier);
    CNError updateContact(const CNContact& contact);
    CNError deleteContact(const CNContact& contact);
    CNError writeImages(qint64 contactId, const CNContact& contact, bool isNew);
    CNError addMember(const CNContact& contact, const CNGroup& group);
    CNError removeMember(const CNContact& contact, const CNGroup& group);
    CNError addGroup(const CNGroup& group, const QString& containerIdentifier);
    CNError updateGroup(const CNGroup& group);
    CNError deleteGroup(const CNGroup& group);
    CNError addSubgroup(const CNGroup& subgroup, const CNGroup& parent);
    CNError removeSubgroup(const CNGroup& subgroup, const CNGroup& parent);

    // Look-ups into row; RecordDoesNotExist when there is no such record, WriteFailure when the
    // database fails.
    CNError containerRow(const QString& identifier, qint64& row);
    CNError contactRow(const QString& identifier, ContactRow& row);
    CNError groupRow(const QString& identifier, GroupRow& row);

    CNError sqliteFailure() const;
    // The failed look-up of a parent group: "does not exist" only when it does not.
    static CNError parentGroupFailure(const CNError& lookup);

    CNSQLiteConnection& m_db;
    // The container the last contact was added to, and its row.
    std::optional<std::pair<QString, qint64>> m_lastContainer;
    // The connection's statement that adds a contact, once the save has used it.
    CNSQLiteStatement* m_insertContact = nullptr;
};
