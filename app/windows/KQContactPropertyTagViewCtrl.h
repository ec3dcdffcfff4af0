#pragma once
// The tag panel: the contact's tags; in edit mode each can be renamed or taken off, and the add
// control offers the tags the contact lacks, or a new one.

#include "app/windows/KQContactPropertyViewCtrl.h"

class KQContactPropertyTagViewCtrl : public KQContactPropertyViewCtrl
{
    Q_OBJECT
public:
    explicit KQContactPropertyTagViewCtrl(QWidget* parent);
    QString localizedCategoryName() const override { return tr("Tag"); }

    // Existing tags of the manager the contact lacks, in the manager's order.
    std::vector<std::shared_ptr<KQTag>> addableTags() const;
    void addExistingTag(const std::shared_ptr<KQTag>& tag);
    // "Custom": a tag named "unnamed" on the contact, selected for renaming.
    void addCustomTag();
    // Refused with an alert when another tag has the name; true when renamed.
    bool renameTag(const std::shared_ptr<KQTag>& tag, const QString& name);
    void removeTag(const std::shared_ptr<KQTag>& tag);

protected:
    void buildRows(QVBoxLayout* body) override;
    bool hasAddControl() const override { return true; }
    void addAction() override;

private:
    void saveTags();
    std::shared_ptr<KQTag> m_renaming;
    bool m_inRename = false; // the refusal alert takes the focus, which must not rename again
};
