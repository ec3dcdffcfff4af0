#include "app/windows/KQContactListModel.h"

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
    return parent.isValid() ? 0 : static_cast<int>(m_contacts.size());
}

QPixmap KQContactListModel::iconForContact(const KQContactHelper& contact, int size)
{
    const QByteArray data = contact.iconData();
    if (!data.isEmpty()) {
        const QImage image = QImage::fromData(data);
        if (!image.isNull())
            return roundIcon(image, size);
    }
    // Most rows show the default face: drawn once per size.
    static QHash<int, QPixmap> faces;
    auto found = faces.constFind(size);
    if (found == faces.constEnd())
        found = faces.insert(size, roundIcon(KQContactHelper::defaultFaceImage(), size));
    return *found;
}

QVariant KQContactListModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
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

void KQContactListModel::setContactHelpers(KQContactHelperList contacts)
{
    beginResetModel();
    m_contacts = std::move(contacts);
    endResetModel();
}

KQContactHelperPtr KQContactListModel::contactAt(int row) const
{
    if (row < 0 || row >= static_cast<int>(m_contacts.size()))
        return nullptr;
    return m_contacts[static_cast<size_t>(row)];
}

int KQContactListModel::rowOfContact(const KQContactHelper* contact) const
{
    for (size_t row = 0; row < m_contacts.size(); ++row) {
        if (m_contacts[row].get() == contact)
            return static_cast<int>(row);
    }
    return -1;
}

void KQContactListModel::contactChanged(const KQContactHelper* contact)
{
    const int row = rowOfContact(contact);
    if (row < 0)
        return;
    m_icons.remove(contact->identifier());
    Q_EMIT dataChanged(index(row), index(row));
}
