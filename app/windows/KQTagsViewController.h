#pragma once
// The sidebar's lower pane: the tag list. Selecting a tag filters the contact list by it; tags are
// added, renamed in place and deleted here, and every change is saved.

#include "store/KQTagsManager.h"

#include <QWidget>

class KQStorage;
class QListWidget;
class QListWidgetItem;
class QToolButton;

class KQTagsViewController : public QWidget
{
    Q_OBJECT
public:
    KQTagsViewController(KQTagsManagerPtr tags, KQStorage* storage, QWidget* parent = nullptr);

    KQTagPtr selectedTag() const { return m_selected; }
    // Selects the tag's row (none clears the selection).
    void selectTag(const KQTagPtr& tag);
    // A new tag named "New Tag" (numbered when taken), selected and opened for renaming.
    KQTagPtr addTag();
    // False after the refusal alert when another tag has that name.
    bool renameTag(const KQTagPtr& tag, const QString& name);
    void deleteSelectedTag();
    QListWidget* tagList() const { return m_list; }

Q_SIGNALS:
    void selectedTagChanged(const KQTagPtr& tag);

private:
    void reload();
    void selectionDidChange();
    void itemEdited(QListWidgetItem* item);
    void save();

    KQTagsManagerPtr m_tags;
    KQStorage* m_storage;
    QListWidget* m_list;
    QToolButton* m_add;
    QToolButton* m_remove;
    KQTagPtr m_selected;
    bool m_reloading = false;
};
