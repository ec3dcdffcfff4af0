#include "platform/CNSQLiteSaveTransaction.h"

#include "platform/CNSQLiteContactColumns.h"
#include "platform/CNSQLiteTransaction.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QPainter>

namespace {

bool available(const CNContact& contact, CNKeyId key)
{
    return contact.isKeyAvailable(key);
}

QString operationText(const CNSaveRequest::Operation& op)
{
    using Kind = CNSaveRequest::Kind;
    const QString contact = op.contact.identifier();
    const QString group = op.group.identifier();
    const QString parent = op.parentGroup.identifier();
    const QString container = op.containerIdentifier.isEmpty() ? QStringLiteral("default") : op.containerIdentifier;
    switch (op.kind) {
    case Kind::AddContact:
        return QStringLiteral("addContact(contact %1, container %2)").arg(contact, container);
    case Kind::UpdateContact:
        return QStringLiteral("updateContact(contact %1)").arg(contact);
    case Kind::DeleteContact:
        return QStringLiteral("deleteContact(contact %1)").arg(contact);
    case Kind::AddMember:
        return QStringLiteral("addMember(contact %1, group %2)").arg(contact, group);
    case Kind::RemoveMember:
        return QStringLiteral("removeMember(contact %1, group %2)").arg(contact, group);
    case Kind::AddGroup:
        return QStringLiteral("addGroup(group %1, container %2)").arg(group, container);
    case Kind::UpdateGroup:
        return QStringLiteral("updateGroup(group %1)").arg(group);
    case Kind::DeleteGroup:
        return QStringLiteral("deleteGroup(group %1)").arg(group);
    case Kind::AddSubgroup:
        return QStringLiteral("addSubgroup(group %1, parent group %2)").arg(group, parent);
    case Kind::RemoveSubgroup:
        return QStringLiteral("removeSubgroup(group %1, parent group %2)").arg(group, parent);
    }
    return QStringLiteral("unknown operation");
}

const QByteArray& insertContactSql()
{
    static const QByteArray sql = [] {
        QByteArray names = "identifier, container_id, card_uid";
        QByteArray values = "?1, ?2, ?3";
        int index = 4;
        for (const auto* column : CNSQLiteContactColumns::contactsTableColumns()) {
            names += ", ";
            names += column->name;
            values += ", ?" + QByteArray::number(index++);
        }
        return "INSERT INTO contacts(" + names + ") VALUES(" + values + ")";
    }();
    return sql;
}

std::string_view view(const QByteArray& sql)
{
    return {sql.constData(), static_cast<size_t>(sql.size())};
}

} // namespace

bool CNSQLiteSaveTransaction::apply(const CNSaveRequest& request, CNError* error)
{
    const auto& operations = request.operations();
    if (operations.empty())
        return true;
    CNSQLiteTransaction transaction(m_db);
    if (!transaction.isActive())
        return CNReportError(
            error, CNError::make(
                       CNError::WriteFailure,
                       QStringLiteral("Cannot start the save: %1").arg(transaction.beginError().localizedDescription)));
    for (size_t i = 0; i < operations.size(); ++i) {
        if (const CNError failure = applyOperation(operations[i]); failure.isError())
            return CNReportError(
                error,
                CNError::make(failure.code, QStringLiteral("Operation %1 of %2, %3, failed: %4")
                                                .arg(QString::number(i + 1), QString::number(operations.size()),
                                                     operationText(operations[i]), failure.localizedDescription)));
    }
    CNError commitError;
    if (!transaction.commit(&commitError))
        return CNReportError(
            error, CNError::make(CNError::WriteFailure,
                                 QStringLiteral("Cannot commit the save: %1").arg(commitError.localizedDescription)));
    return true;
}

CNError CNSQLiteSaveTransaction::applyOperation(const CNSaveRequest::Operation& op)
{
    using Kind = CNSaveRequest::Kind;
    switch (op.kind) {
    case Kind::AddContact:
        return addContact(op.contact, op.containerIdentifier);
    case Kind::UpdateContact:
        return updateContact(op.contact);
    case Kind::DeleteContact:
        return deleteContact(op.contact);
    case Kind::AddMember:
        return addMember(op.contact, op.group);
    case Kind::RemoveMember:
        return removeMember(op.contact, op.group);
    case Kind::AddGroup:
        return addGroup(op.group, op.containerIdentifier);
    case Kind::UpdateGroup:
        return updateGroup(op.group);
    case Kind::DeleteGroup:
        return deleteGroup(op.group);
    case Kind::AddSubgroup:
        return addSubgroup(op.group, op.parentGroup);
    case Kind::RemoveSubgroup:
        return removeSubgroup(op.group, op.parentGroup);
    }
    return CNError{CNError::ValidationConfigurationError, QStringLiteral("unknown operation")};
}

CNError CNSQLiteSaveTransaction::sqliteFailure() const
{
    return {CNError::WriteFailure, m_db.errorMessage()};
}

CNError CNSQLiteSaveTransaction::parentGroupFailure(const CNError& lookup)
{
    if (lookup.code == CNError::RecordDoesNotExist)
        return {CNError::RecordDoesNotExist, QStringLiteral("the parent group does not exist")};
    return {lookup.code, QStringLiteral("looking up the parent group failed: %1").arg(lookup.localizedDescription)};
}

CNError CNSQLiteSaveTransaction::containerRow(const QString& identifier, qint64& row)
{
    auto find = m_db.cached(identifier.isEmpty()
                                ? "SELECT c.id FROM containers c JOIN properties p ON p.key = 'defaultContainer' "
                                  "AND p.value = c.identifier"
                                : "SELECT id FROM containers WHERE identifier = ?1");
    if (!find)
        return sqliteFailure();
    if (!identifier.isEmpty())
        find->bind(1, identifier);
    switch (find->step()) {
    case SQLITE_ROW:
        row = find->int64(0);
        return {};
    case SQLITE_DONE:
        return CNError{CNError::RecordDoesNotExist, identifier.isEmpty()
                                                        ? QStringLiteral("the store has no default container")
                                                        : QStringLiteral("the container does not exist")};
    default:
        return sqliteFailure();
    }
}

CNError CNSQLiteSaveTransaction::contactRow(const QString& identifier, ContactRow& row)
{
    auto find = m_db.cached("SELECT id, container_id FROM contacts WHERE identifier = ?1");
    if (!find)
        return sqliteFailure();
    find->bind(1, identifier);
    switch (find->step()) {
    case SQLITE_ROW:
        row = ContactRow{find->int64(0), find->int64(1)};
        return {};
    case SQLITE_DONE:
        return CNError{CNError::RecordDoesNotExist, QStringLiteral("the contact does not exist")};
    default:
        return sqliteFailure();
    }
}

CNError CNSQLiteSaveTransaction::groupRow(const QString& identifier, GroupRow& row)
{
    auto find = m_db.cached("SELECT id, container_id, parent_id FROM groups WHERE identifier = ?1");
    if (!find)
        return sqliteFailure();
    find->bind(1, identifier);
    switch (find->step()) {
    case SQLITE_ROW:
        row = GroupRow{find->int64(0), find->int64(1), find->isNull(2) ? -1 : find->int64(2)};
        return {};
    case SQLITE_DONE:
        return CNError{CNError::RecordDoesNotExist, QStringLiteral("the group does not exist")};
    default:
        return sqliteFailure();
    }
}

CNError CNSQLiteSaveTransaction::addContact(const CNContact& contact, const QString& containerIdentifier)
{
    if (contact.identifier().isEmpty())
        return CNError{CNError::RecordIdentifierInvalid, QStringLiteral("the contact has no identifier")};
    // A batch adds its contacts to one or a few containers: each is looked up once.
    if (!m_lastContainer || m_lastContainer->first != containerIdentifier) {
        qint64 container = 0;
        if (CNError failure = containerRow(containerIdentifier, container); failure.isError())
            return failure;
        m_lastContainer.emplace(containerIdentifier, container);
    }

    auto insert = m_db.cached(view(insertContactSql()));
    if (!insert)
        return sqliteFailure();
    insert->bind(1, contact.identifier());
    insert->bind(2, m_lastContainer->second);
    insert->bind(3, contact.cardUID());
    int index = 4;
    for (const auto* column : CNSQLiteContactColumns::contactsTableColumns()) {
        if (available(contact, column->key))
            column->bind(*insert, index, contact.data());
        else if (column->key == CNKeyId::Type)
            insert->bind(index, static_cast<qint64>(CNContactType::Person));
        ++index;
    }
    if (!insert->run()) {
        if (m_db.extendedErrorCode() == SQLITE_CONSTRAINT_UNIQUE)
            return CNError{CNError::InsertedRecordAlreadyExists,
                           QStringLiteral("a contact with this identifier already exists")};
        return sqliteFailure();
    }
    return writeImages(sqlite3_last_insert_rowid(m_db.handle()), contact, true);
}

CNError CNSQLiteSaveTransaction::updateContact(const CNContact& contact)
{
    ContactRow row{};
    if (CNError failure = contactRow(contact.identifier(), row); failure.isError())
        return failure;
    const qint64 id = row.id;

    // Only the fields the contact holds: a contact fetched with a few keys must not erase the rest.
    QByteArray sql = "UPDATE contacts SET ";
    std::vector<const CNSQLiteContactColumn*> columns;
    for (const auto* column : CNSQLiteContactColumns::contactsTableColumns()) {
        if (!available(contact, column->key))
            continue;
        if (!columns.empty())
            sql += ", ";
        columns.push_back(column);
        sql += column->name;
        sql += " = ?" + QByteArray::number(static_cast<int>(columns.size()) + 1);
    }
    if (!columns.empty()) {
        sql += " WHERE id = ?1";
        auto update = m_db.cached(view(sql));
        if (!update)
            return sqliteFailure();
        update->bind(1, id);
        for (size_t i = 0; i < columns.size(); ++i)
            columns[i]->bind(*update, static_cast<int>(i) + 2, contact.data());
        if (!update->run())
            return sqliteFailure();
    }
    return writeImages(id, contact, false);
}

CNError CNSQLiteSaveTransaction::writeImages(qint64 contactId, const CNContact& contact, bool isNew)
{
    const bool hasImage = available(contact, CNKeyId::ImageData);
    const bool hasThumbnail = available(contact, CNKeyId::ThumbnailImageData);
    if (!hasImage && !hasThumbnail)
        return {};
    const CNContactData& d = contact.data();
    const auto remove = [&]() -> CNError {
        auto statement = m_db.cached("DELETE FROM images WHERE contact_id = ?1");
        if (!statement)
            return sqliteFailure();
        statement->bind(1, contactId);
        return statement->run() ? CNError() : sqliteFailure();
    };
    const QByteArray& imageData = contact.loadedImageData();
    // Removing the image removes its thumbnail with it.
    if (hasImage && imageData.isEmpty())
        return isNew ? CNError() : remove();

    QByteArray storedImage;
    QByteArray storedThumbnail;
    bool hasRow = false;
    if (!isNew) {
        auto stored = m_db.cached("SELECT image, thumbnail FROM images WHERE contact_id = ?1");
        if (!stored)
            return sqliteFailure();
        stored->bind(1, contactId);
        const int rc = stored->step();
        if (rc == SQLITE_ROW) {
            hasRow = true;
            storedImage = stored->blob(0);
            storedThumbnail = stored->blob(1);
        } else if (rc != SQLITE_DONE) {
            return sqliteFailure();
        }
    }

    QByteArray image = storedImage;
    QByteArray thumbnail;
    if (hasImage) {
        image = imageData;
        // A contact fetched with all keys carries the old thumbnail: only a thumbnail that differs
        // from the stored one was given for a new image.
        const bool imageChanged = image != storedImage;
        const bool thumbnailGiven = hasThumbnail && !d.thumbnailImageData.isEmpty() &&
                                    (!imageChanged || d.thumbnailImageData != storedThumbnail);
        if (thumbnailGiven)
            thumbnail = d.thumbnailImageData;
        else if (!imageChanged && !storedThumbnail.isEmpty())
            thumbnail = storedThumbnail;
        else
            thumbnail = makeThumbnail(image);
    } else {
        thumbnail = d.thumbnailImageData;
    }

    if (image.isEmpty() && thumbnail.isEmpty())
        return hasRow ? remove() : CNError();
    if (hasRow && image == storedImage && thumbnail == storedThumbnail)
        return {};
    auto write = m_db.cached("INSERT OR REPLACE INTO images(contact_id, image, thumbnail) VALUES(?1, ?2, ?3)");
    if (!write)
        return sqliteFailure();
    write->bind(1, contactId);
    write->bind(2, image);
    write->bind(3, thumbnail);
    return write->run() ? CNError() : sqliteFailure();
}

CNError CNSQLiteSaveTransaction::deleteContact(const CNContact& contact)
{
    // Memberships and images go with the contact (foreign keys cascade).
    auto statement = m_db.cached("DELETE FROM contacts WHERE identifier = ?1");
    if (!statement)
        return sqliteFailure();
    statement->bind(1, contact.identifier());
    if (!statement->run())
        return sqliteFailure();
    if (sqlite3_changes(m_db.handle()) == 0)
        return CNError{CNError::RecordDoesNotExist, QStringLiteral("the contact does not exist")};
    return {};
}

CNError CNSQLiteSaveTransaction::addMember(const CNContact& contact, const CNGroup& group)
{
    ContactRow contactResult{};
    if (CNError failure = contactRow(contact.identifier(), contactResult); failure.isError())
        return failure;
    GroupRow groupResult{};
    if (CNError failure = groupRow(group.identifier(), groupResult); failure.isError())
        return failure;
    const ContactRow& c = contactResult;
    const GroupRow& g = groupResult;
    if (c.container != g.container)
        return CNError{CNError::ContainmentScope,
                       QStringLiteral("the contact and the group are in different accounts")};

    // Appends at the end of the group's order; a contact already in the group stays where it is.
    auto insert = m_db.cached("INSERT OR IGNORE INTO memberships(group_id, contact_id, position) VALUES(?1, ?2, "
                              "(SELECT COALESCE(MAX(position), 0) + 1 FROM memberships WHERE group_id = ?1))");
    if (!insert)
        return sqliteFailure();
    insert->bind(1, g.id);
    insert->bind(2, c.id);
    return insert->run() ? CNError() : sqliteFailure();
}

CNError CNSQLiteSaveTransaction::removeMember(const CNContact& contact, const CNGroup& group)
{
    ContactRow contactResult{};
    if (CNError failure = contactRow(contact.identifier(), contactResult); failure.isError())
        return failure;
    GroupRow groupResult{};
    if (CNError failure = groupRow(group.identifier(), groupResult); failure.isError())
        return failure;
    auto remove = m_db.cached("DELETE FROM memberships WHERE group_id = ?1 AND contact_id = ?2");
    if (!remove)
        return sqliteFailure();
    remove->bind(1, groupResult.id);
    remove->bind(2, contactResult.id);
    return remove->run() ? CNError() : sqliteFailure();
}

CNError CNSQLiteSaveTransaction::addGroup(const CNGroup& group, const QString& containerIdentifier)
{
    if (group.identifier().isEmpty())
        return CNError{CNError::RecordIdentifierInvalid, QStringLiteral("the group has no identifier")};
    qint64 container = 0;
    if (CNError failure = containerRow(containerIdentifier, container); failure.isError())
        return failure;
    auto insert = m_db.cached("INSERT INTO groups(identifier, container_id, name) VALUES(?1, ?2, ?3)");
    if (!insert)
        return sqliteFailure();
    insert->bind(1, group.identifier());
    insert->bind(2, container);
    insert->bindUtf8(3, group.name().toUtf8());
    if (!insert->run()) {
        if (m_db.extendedErrorCode() == SQLITE_CONSTRAINT_UNIQUE)
            return CNError{CNError::InsertedRecordAlreadyExists,
                           QStringLiteral("a group with this identifier already exists")};
        return sqliteFailure();
    }
    return {};
}

CNError CNSQLiteSaveTransaction::updateGroup(const CNGroup& group)
{
    auto update = m_db.cached("UPDATE groups SET name = ?2 WHERE identifier = ?1");
    if (!update)
        return sqliteFailure();
    update->bind(1, group.identifier());
    update->bindUtf8(2, group.name().toUtf8());
    if (!update->run())
        return sqliteFailure();
    if (sqlite3_changes(m_db.handle()) == 0)
        return CNError{CNError::RecordDoesNotExist, QStringLiteral("the group does not exist")};
    return {};
}

CNError CNSQLiteSaveTransaction::deleteGroup(const CNGroup& group)
{
    // Memberships go with the group; its subgroups become top-level groups of the account
    // (ON DELETE SET NULL), so that no contact or group of the user is lost.
    auto remove = m_db.cached("DELETE FROM groups WHERE identifier = ?1");
    if (!remove)
        return sqliteFailure();
    remove->bind(1, group.identifier());
    if (!remove->run())
        return sqliteFailure();
    if (sqlite3_changes(m_db.handle()) == 0)
        return CNError{CNError::RecordDoesNotExist, QStringLiteral("the group does not exist")};
    return {};
}

CNError CNSQLiteSaveTransaction::addSubgroup(const CNGroup& subgroup, const CNGroup& parent)
{
    GroupRow subResult{};
    if (CNError failure = groupRow(subgroup.identifier(), subResult); failure.isError())
        return failure;
    GroupRow parentResult{};
    if (CNError failure = groupRow(parent.identifier(), parentResult); failure.isError())
        return parentGroupFailure(failure);
    const GroupRow& sub = subResult;
    const GroupRow& par = parentResult;
    if (sub.container != par.container)
        return CNError{CNError::ContainmentScope, QStringLiteral("the groups are in different accounts")};

    // The parent must not be the subgroup itself or lie below it.
    auto ancestors = m_db.cached("WITH RECURSIVE up(id) AS (SELECT ?1 UNION SELECT g.parent_id FROM groups g "
                                 "JOIN up ON g.id = up.id WHERE g.parent_id IS NOT NULL) "
                                 "SELECT 1 FROM up WHERE id = ?2");
    if (!ancestors)
        return sqliteFailure();
    ancestors->bind(1, par.id);
    ancestors->bind(2, sub.id);
    const int rc = ancestors->step();
    if (rc == SQLITE_ROW)
        return CNError{CNError::ContainmentCycle, QStringLiteral("the group would become its own subgroup")};
    if (rc != SQLITE_DONE)
        return sqliteFailure();

    auto update = m_db.cached("UPDATE groups SET parent_id = ?2 WHERE id = ?1");
    if (!update)
        return sqliteFailure();
    update->bind(1, sub.id);
    update->bind(2, par.id);
    return update->run() ? CNError() : sqliteFailure();
}

CNError CNSQLiteSaveTransaction::removeSubgroup(const CNGroup& subgroup, const CNGroup& parent)
{
    GroupRow subResult{};
    if (CNError failure = groupRow(subgroup.identifier(), subResult); failure.isError())
        return failure;
    GroupRow parentResult{};
    if (CNError failure = groupRow(parent.identifier(), parentResult); failure.isError())
        return parentGroupFailure(failure);
    // A group that is not a subgroup of this parent is left where it is.
    if (subResult.parent != parentResult.id)
        return {};
    auto update = m_db.cached("UPDATE groups SET parent_id = NULL WHERE id = ?1");
    if (!update)
        return sqliteFailure();
    update->bind(1, subResult.id);
    return update->run() ? CNError() : sqliteFailure();
}

QByteArray CNSQLiteSaveTransaction::makeThumbnail(const QByteArray& imageData)
{
    // A JPEG photo that already fits is its own thumbnail: its header says so without decoding it.
    QByteArray shared = imageData;
    QBuffer source(&shared);
    source.open(QIODevice::ReadOnly);
    QImageReader reader(&source);
    const QSize size = reader.size();
    if (reader.format() == "jpeg" && size.isValid() && size.width() <= ThumbnailSize && size.height() <= ThumbnailSize)
        return imageData;

    QImage image;
    if (!image.loadFromData(imageData))
        return {};
    if (image.width() > ThumbnailSize || image.height() > ThumbnailSize)
        image = image.scaled(ThumbnailSize, ThumbnailSize, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    if (image.hasAlphaChannel()) {
        // JPEG has no transparency: show transparent parts as white, not black.
        QImage opaque(image.size(), QImage::Format_RGB32);
        opaque.fill(Qt::white);
        QPainter painter(&opaque);
        painter.drawImage(0, 0, image);
        painter.end();
        image = opaque;
    }
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "JPEG", 85))
        return {};
    return jpeg;
}
