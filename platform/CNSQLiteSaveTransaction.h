#pragma once
// Applies the operations of one save request, in order, inside one transaction on the store's
// write connection. The first operation that fails rolls everything back; the error names the
// operation and the reason.

#include "platform/CNError.h"
#include "platform/CNSQLiteConnection.h"
#include "platform/CNSaveRequest.h"

#include <optional>
#include <utility>
#include <variant>

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
    struct Failure
    {
        int code;
        QString reason;
    };
    using Result = std::optional<Failure>;

    struct ContactRow
    {
        qint64 id;
        qint64 container;
    };
    struct GroupRow
    {
        qint64 id;
        qint64 container;
        std::optional<qint64> parent;
    };

    Result applyOperation(const CNSaveRequest::Operation& op);
    Result addContact(const CNContact& contact, const QString& containerIdentifier);
    Result updateContact(const CNContact& contact);
    Result deleteContact(const CNContact& contact);
    Result writeImages(qint64 contactId, const CNContact& contact, bool isNew);
    Result addMember(const CNContact& contact, const CNGroup& group);
    Result removeMember(const CNContact& contact, const CNGroup& group);
    Result addGroup(const CNGroup& group, const QString& containerIdentifier);
    Result updateGroup(const CNGroup& group);
    Result deleteGroup(const CNGroup& group);
    Result addSubgroup(const CNGroup& subgroup, const CNGroup& parent);
    Result removeSubgroup(const CNGroup& subgroup, const CNGroup& parent);

    // Look-ups; a Failure when the record does not exist or the database fails.
    std::variant<qint64, Failure> containerRow(const QString& identifier);
    std::variant<ContactRow, Failure> contactRow(const QString& identifier);
    std::variant<GroupRow, Failure> groupRow(const QString& identifier);

    Failure sqliteFailure() const;

    CNSQLiteConnection& m_db;
    // The container the last contact was added to, and its row.
    std::optional<std::pair<QString, qint64>> m_lastContainer;
};
