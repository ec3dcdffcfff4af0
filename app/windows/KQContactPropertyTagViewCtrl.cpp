#include "app/windows/KQContactPropertyTagViewCtrl.h"

#include "app/windows/KQAlert.h"
#include "app/windows/KQIcons.h"
#include "store/KQContactManager.h"
#include "store/KQStorage.h"
#include "store/KQTag.h"
#include "store/KQTagsManager.h"

#include <QCursor>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

KQTagsManager* tagsManager()
{
    return KQContactManager::sharedContactManager()->tagsMgr().get();
}

} // namespace

KQContactPropertyTagViewCtrl::KQContactPropertyTagViewCtrl(QWidget* parent)
    : KQContactPropertyViewCtrl(QStringLiteral("Tags"), parent)
{
}

std::vector<std::shared_ptr<KQTag>> KQContactPropertyTagViewCtrl::addableTags() const
{
    std::vector<std::shared_ptr<KQTag>> result;
    if (!contactHelper())
        return result;
    const auto own = contactHelper()->tags();
    for (const auto& tag : tagsManager()->tags()) {
        if (std::find(own.begin(), own.end(), tag) == own.end())
            result.push_back(tag);
    }
    return result;
}

void KQContactPropertyTagViewCtrl::saveTags()
{
    KQStorage::sharedStorage()->saveDefaultTagsManager(tagsManager());
}

void KQContactPropertyTagViewCtrl::addExistingTag(const std::shared_ptr<KQTag>& tag)
{
    if (!tag || !contactHelper())
        return;
    contactHelper()->addTag(tag);
    saveTags();
    reload();
}

void KQContactPropertyTagViewCtrl::addCustomTag()
{
    if (!contactHelper())
        return;
    m_renaming = contactHelper()->addTagsWithName(QStringLiteral("unnamed"));
    saveTags();
    reload();
}

bool KQContactPropertyTagViewCtrl::renameTag(const std::shared_ptr<KQTag>& tag, const QString& name)
{
    if (!tag || name == tag->name())
        return false;
    KQTagsManager* manager = tagsManager();
    if (!manager->canRenameTag(tag.get(), name)) {
        KQAlert::show(hostWindow(), tr("The tag named %1 allready exist.").arg(name),
                      tr("It's not allowed to exist the same name tag."));
        return false;
    }
    manager->renameTag(tag, name);
    saveTags();
    return true;
}

void KQContactPropertyTagViewCtrl::removeTag(const std::shared_ptr<KQTag>& tag)
{
    if (!tag || !contactHelper())
        return;
    contactHelper()->removeTag(tag);
    if (delegate() != nullptr)
        delegate()->contactPropertyViewCtrlDidRemoveTag(this, tag);
    saveTags();
    QTimer::singleShot(0, this, [this] { reload(); });
}

void KQContactPropertyTagViewCtrl::addAction()
{
    const auto tags = addableTags();
    if (tags.empty()) {
        addCustomTag();
        return;
    }
    auto* menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("tagMenu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    for (const auto& tag : tags)
        connect(menu->addAction(tag->name()), &QAction::triggered, this, [this, tag] { addExistingTag(tag); });
    menu->addSeparator();
    QAction* custom = menu->addAction(tr("Custom"));
    custom->setObjectName(QStringLiteral("customTagAction"));
    connect(custom, &QAction::triggered, this, &KQContactPropertyTagViewCtrl::addCustomTag);
    auto* add = findChild<QToolButton*>(QStringLiteral("addButton"), Qt::FindDirectChildrenOnly);
    menu->popup(add ? add->mapToGlobal(QPoint(0, add->height())) : QCursor::pos());
}

void KQContactPropertyTagViewCtrl::buildRows(QVBoxLayout* body)
{
    const auto tags = contactHelper()->tags();
    if (!editable()) {
        QStringList names;
        for (const auto& tag : tags)
            names.append(tag->name());
        auto* text = new QLabel(names.join(QStringLiteral(", ")));
        text->setObjectName(QStringLiteral("tagsText"));
        text->setWordWrap(true);
        body->addWidget(text);
        return;
    }
    for (const auto& tag : tags) {
        auto* line = new QHBoxLayout;
        auto* icon = new QLabel;
        icon->setPixmap(KQIcons::icon(QStringLiteral("tag")).pixmap(fontMetrics().height()));
        auto* edit = new QLineEdit(tag->name());
        edit->setObjectName(QStringLiteral("tagEdit"));
        edit->setAccessibleName(tr("Tag name"));
        QPointer<QLineEdit> guard(edit);
        connect(edit, &QLineEdit::editingFinished, this, [this, tag, guard] {
            if (!guard || m_inRename)
                return;
            m_inRename = true;
            const QString name = guard->text().trimmed();
            if (name.isEmpty() || !renameTag(tag, name))
                guard->setText(tag->name());
            m_inRename = false;
        });
        auto* remove = new QToolButton;
        remove->setObjectName(QStringLiteral("removeTagButton"));
        remove->setIcon(KQIcons::icon(QStringLiteral("list-remove")));
        remove->setAutoRaise(true);
        remove->setAccessibleName(tr("Remove the tag %1").arg(tag->name()));
        remove->setToolTip(remove->accessibleName());
        connect(remove, &QToolButton::clicked, this, [this, tag] { removeTag(tag); });
        line->addWidget(icon);
        line->addWidget(edit, 1);
        line->addWidget(remove);
        body->addLayout(line);
        if (tag == m_renaming) {
            m_renaming.reset();
            QTimer::singleShot(0, edit, [edit] {
                edit->setFocus();
                edit->selectAll();
            });
        }
    }
}
