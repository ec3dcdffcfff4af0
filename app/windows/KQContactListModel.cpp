#include "app/windows/KQContactListModel.h"

#include "platform/KQDispatch.h"
#include "store/KQContactPasteDataStore.h"

#include <QHash>
#include <QMimeData>
#include <QPainter>
#include <QPainterPath>

namespace {

constexpr int kIconSize = 32;

QPixmap roundIcon(const QImage& image, int size)
{
    QPixmap round(size, size);
    round.fill(Qt::transparent);
    QPainter painter(&round);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath clip;
    clip.addEllipse(0, 0, size, size);
    painter.setClipPath(clip);
    painter.drawImage(QRect(0, 0, size, size),
                      image.scaled(size, size, Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation));
    return round;
}

} // namespace

KQContactListModel::KQContactListModel(QObject* parent) : QAbstractListModel(parent), m_icons(400) {}

int KQContactListModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid())
        return 0;
    return static_cast<int>(m_previewing ? m_preview.size() : m_contacts.size());
}

QPixmap KQContactListModel::iconForContact(const KQContactHelper& contact, int size)
{
    const QByteArray data = contact.iconData();
    if (!data.isEmpty()) {
        const QImage image = QImage::fromData(data);
        if (!image.isNull())
            return roundIcon(image, size);
    }
    return defaultFace(size);
}

QPixmap KQContactListModel::defaultFace(int size)
{
    // Most rows show the default face: drawn once per size.
    static QHash<int, QPixmap> faces;
    auto found = faces.constFind(size);
    if (found == faces.constEnd())
        found = faces.insert(size, roundIcon(KQContactHelper::defaultFaceImage(), size));
    return *found;
}

QVariant KQContactListModel::previewData(const KQContactListRow& row, int role) const
{
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return row.name.isEmpty() ? QStringLiteral("No Name") : row.name;
    case SubtitleRole:
        return row.subtitle;
    case Qt::DecorationRole:
        return defaultFace(kIconSize);
    case IdentifierRole:
        return row.identifier;
    default:
        return {};
    }
}

QVariant KQContactListModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    if (m_previewing)
        return previewData(m_preview[static_cast<size_t>(index.row())], role);
    const KQContactHelperPtr& contact = m_contacts[static_cast<size_t>(index.row())];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole: {
        const QString name = contact->displayName();
        return name.isEmpty() ? QStringLiteral("No Name") : name;
    }
    case SubtitleRole:
        return contact->subDisplayName();
    case Qt::DecorationRole: {
        const QString key = contact->identifier();
        if (QPixmap* cached = m_icons.object(key))
            return *cached;
        auto* made = new QPixmap(iconForContact(*contact, kIconSize));
        const QPixmap copy = *made;
        m_icons.insert(key, made);
        return copy;
    }
    case ContactRole:
        return QVariant::fromValue(static_cast<void*>(contact.get()));
    case IdentifierRole:
        return contact->identifier();
    default:
        return {};
    }
}

Qt::ItemFlags KQContactListModel::flags(const QModelIndex& index) const
{
    if (m_previewing)
        return index.isValid() ? Qt::ItemIsEnabled : Qt::NoItemFlags;
    Qt::ItemFlags flags = QAbstractListModel::flags(index);
    if (index.isValid())
        flags |= Qt::ItemIsDragEnabled;
    return flags;
}

QStringList KQContactListModel::mimeTypes() const
{
    return {KQContactPasteboardType};
}

Qt::DropActions KQContactListModel::supportedDragActions() const
{
    return Qt::CopyAction | Qt::MoveAction;
}

QMimeData* KQContactListModel::mimeData(const QModelIndexList& indexes) const
{
    KQContactPasteDataStore& paste = KQContactPasteDataStore::sharedContactPasteDataStore();
    paste.clearPasteData();
    paste.setCurrentGroupNode(m_source);
    QStringList identifiers;
    for (const QModelIndex& index : indexes) {
        const KQContactHelperPtr contact = contactAt(index.row());
        if (!contact)
            continue;
        paste.setContactHelper(contact, contact->identifier());
        identifiers.append(contact->identifier());
    }
    auto* data = new QMimeData;
    data->setData(KQContactPasteboardType, identifiers.join(QLatin1Char('\n')).toUtf8());
    return data;
}

void KQContactListModel::setContactHelpers(KQContactHelperList contacts, const std::vector<QString>* identifiers)
{
    // A refilter that kept every row in place (a search text most records match) changes nothing.
    if (!m_previewing && contacts == m_contacts)
        return;
    if (identifiers != nullptr && identifiers->size() != contacts.size())
        identifiers = nullptr;
    if (m_previewing && !contacts.empty() && contacts.size() == m_preview.size()) {
        bool same = true;
        for (size_t row = 0; same && row < contacts.size(); ++row) {
            const QString& identifier = identifiers != nullptr ? (*identifiers)[row] : contacts[row]->identifier();
            same = identifier == m_preview[row].identifier;
        }
        if (same) {
            m_contacts = std::move(contacts);
            // A large preview is freed on a worker, not between two frames of the main thread.
            auto dropped = std::make_shared<std::vector<KQContactListRow>>(std::move(m_preview));
            m_preview = {};
            KQDispatch::globalAsync([dropped = std::move(dropped)]() mutable { dropped.reset(); });
            m_previewing = false;
            m_icons.clear();
            Q_EMIT dataChanged(index(0), index(rowCount() - 1));
            return;
        }
    }
    beginResetModel();
    m_contacts = std::move(contacts);
    m_preview = {};
    m_previewing = false;
    endResetModel();
}

void KQContactListModel::beginPreview()
{
    beginResetModel();
    m_contacts.clear();
    m_preview = {};
    m_previewing = true;
    endResetModel();
}

void KQContactListModel::appendPreviewRows(std::vector<KQContactListRow> rows)
{
    if (!m_previewing || rows.empty())
        return;
    const int first = static_cast<int>(m_preview.size());
    beginInsertRows({}, first, first + static_cast<int>(rows.size()) - 1);
    m_preview.insert(m_preview.end(), std::make_move_iterator(rows.begin()), std::make_move_iterator(rows.end()));
    endInsertRows();
}

KQContactHelperPtr KQContactListModel::contactAt(int row) const
{
    if (row < 0 || row >= static_cast<int>(m_contacts.size()))
        return nullptr;
    return m_contacts[static_cast<size_t>(row)];
}

int KQContactListModel::rowOfContact(const KQContactHelper* contact) const
{
    if (m_previewing)
        return -1;
    for (size_t row = 0; row < m_contacts.size(); ++row) {
        if (m_contacts[row].get() == contact)
            return static_cast<int>(row);
    }
    return -1;
}

void KQContactListModel::contactChanged(const KQContactHelper* contact)
{
    if (m_previewing)
        return;
    const int row = rowOfContact(contact);
    if (row < 0)
        return;
    m_icons.remove(contact->identifier());
    Q_EMIT dataChanged(index(row), index(row));
}
