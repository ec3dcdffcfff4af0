#include "app/windows/KQTagsViewController.h"

#include "app/windows/KQAlerts.h"
#include "store/KQStorage.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

constexpr int kTagRole = Qt::UserRole + 1;

KQTag* tagOfItem(const QListWidgetItem* item)
{
    return item == nullptr ? nullptr : static_cast<KQTag*>(item->data(kTagRole).value<void*>());
}

} // namespace

KQTagsViewController::KQTagsViewController(KQTagsManagerPtr tags, KQStorage* storage, QWidget* parent)
    : QWidget(parent), m_tags(std::move(tags)), m_storage(storage), m_list(new QListWidget(this)),
      m_add(new QToolButton(this)), m_remove(new QToolButton(this))
{
    setObjectName(QStringLiteral("tagPane"));
    auto* title = new QLabel(QStringLiteral("Tags"), this);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    m_add->setObjectName(QStringLiteral("addTagButton"));
    m_add->setText(QStringLiteral("+"));
    m_add->setAccessibleName(QStringLiteral("New tag"));
    m_add->setToolTip(QStringLiteral("New tag"));
    m_add->setAutoRaise(true);
    m_remove->setObjectName(QStringLiteral("removeTagButton"));
    m_remove->setText(QStringLiteral("\u2212"));
    m_remove->setAccessibleName(QStringLiteral("Delete tag"));
    m_remove->setToolTip(QStringLiteral("Delete the selected tag"));
    m_remove->setAutoRaise(true);
    m_remove->setEnabled(false);
    m_list->setObjectName(QStringLiteral("tagList"));
    m_list->setAccessibleName(QStringLiteral("Tags"));
    m_list->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);

    auto* header = new QHBoxLayout;
    header->setContentsMargins(8, 4, 4, 0);
    header->addWidget(title, 1);
    header->addWidget(m_add);
    header->addWidget(m_remove);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addLayout(header);
    layout->addWidget(m_list, 1);

    connect(m_add, &QToolButton::clicked, this, [this] { addTag(); });
    connect(m_remove, &QToolButton::clicked, this, &KQTagsViewController::deleteSelectedTag);
    connect(m_list, &QListWidget::itemSelectionChanged, this, &KQTagsViewController::selectionDidChange);
    connect(m_list, &QListWidget::itemChanged, this, &KQTagsViewController::itemEdited);
    connect(m_tags.get(), &KQTagsManager::tagsInserted, this, &KQTagsViewController::reload);
    connect(m_tags.get(), &KQTagsManager::tagsRemoved, this, &KQTagsViewController::reload);
    connect(m_tags.get(), &KQTagsManager::tagsReplaced, this, &KQTagsViewController::reload);
    for (const auto& tag : m_tags->tags())
        tag->setSelected(false);
    reload();
}

void KQTagsViewController::reload()
{
    m_reloading = true;
    m_list->clear();
    QListWidgetItem* keep = nullptr;
    for (const auto& tag : m_tags->tags()) {
        auto* item = new QListWidgetItem(tag->name(), m_list);
        item->setData(kTagRole, QVariant::fromValue(static_cast<void*>(tag.get())));
        item->setFlags(item->flags() | Qt::ItemIsEditable);
        if (tag == m_selected)
            keep = item;
    }
    m_reloading = false;
    if (keep != nullptr) {
        m_list->setCurrentItem(keep);
    } else if (m_selected) {
        // The selected tag is gone.
        selectTag(nullptr);
    }
}

void KQTagsViewController::selectTag(const KQTagPtr& tag)
{
    if (!tag) {
        m_list->clearSelection();
        m_list->setCurrentItem(nullptr);
        selectionDidChange();
        return;
    }
    for (int row = 0; row < m_list->count(); ++row) {
        if (tagOfItem(m_list->item(row)) == tag.get()) {
            m_list->setCurrentRow(row);
            return;
        }
    }
}

void KQTagsViewController::selectionDidChange()
{
    if (m_reloading)
        return;
    const QList<QListWidgetItem*> items = m_list->selectedItems();
    KQTagPtr tag;
    if (!items.isEmpty()) {
        const int index = m_tags->indexOfTag(tagOfItem(items.front()));
        tag = m_tags->objectInTagsAtIndex(index);
    }
    m_remove->setEnabled(static_cast<bool>(tag));
    if (tag == m_selected)
        return;
    if (m_selected)
        m_selected->setSelected(false);
    m_selected = tag;
    if (m_selected)
        m_selected->setSelected(true);
    Q_EMIT selectedTagChanged(m_selected);
}

KQTagPtr KQTagsViewController::addTag()
{
    QString name = QStringLiteral("New Tag");
    for (int number = 2; m_tags->tagWithName(name); ++number)
        name = QStringLiteral("New Tag %1").arg(number);
    KQTagPtr tag = KQTag::create(name);
    m_tags->addTag(tag);
    save();
    selectTag(tag);
    if (QListWidgetItem* item = m_list->currentItem())
        m_list->editItem(item);
    return tag;
}

bool KQTagsViewController::renameTag(const KQTagPtr& tag, const QString& edited)
{
    const QString name = edited.trimmed();
    if (!tag || name.isEmpty() || name == tag->name())
        return !name.isEmpty();
    if (!m_tags->canRenameTag(tag.get(), name)) {
        KQAlerts::run(window(), {QMessageBox::Warning,
                                 KQTagsManager::renameRefusedMessage(name),
                                 KQTagsManager::renameRefusedInformativeText(),
                                 {QStringLiteral("OK")}});
        return false;
    }
    m_tags->renameTag(tag, name);
    save();
    return true;
}

void KQTagsViewController::itemEdited(QListWidgetItem* item)
{
    if (m_reloading)
        return;
    KQTag* raw = tagOfItem(item);
    const KQTagPtr tag = m_tags->objectInTagsAtIndex(m_tags->indexOfTag(raw));
    if (!tag)
        return;
    const QString text = item->text();
    if (!renameTag(tag, text)) {
        // Back to the name it keeps, once the view has finished editing.
        QMetaObject::invokeMethod(this, &KQTagsViewController::reload, Qt::QueuedConnection);
    }
}

void KQTagsViewController::deleteSelectedTag()
{
    const KQTagPtr tag = m_selected;
    if (!tag)
        return;
    selectTag(nullptr);
    m_tags->removeTag(tag);
    save();
}

void KQTagsViewController::save()
{
    if (m_storage != nullptr)
        m_storage->saveDefaultTagsManager(m_tags.get());
}
