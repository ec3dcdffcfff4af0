#pragma once
// The contact detail editor, the right-hand pane of the main window: the first selected contact as
// a stack of panels, one per field category. Edit mode works on the contact's edit copy; leaving it
// saves the contact through one save request of the store.
//
// The main window embeds view() (this widget), drives edit mode with setEditable(), builds its
// add-field menu from allowedAddPropertyCatagoryNames() and calls addPropertyWithCategoryName().

#include "app/windows/KQContactPropertyViewCtrl.h"

#include <QWidget>

class QScrollArea;
class QVBoxLayout;
class KQTag;
using KQContactHelperList = std::vector<KQContactHelperPtr>;

class KQContactDetailViewCtrl : public QWidget, public KQContactPropertyViewCtrlDelegate
{
    Q_OBJECT
    Q_PROPERTY(bool editable READ editable WRITE setEditable NOTIFY editableChanged)
public:
    static KQContactDetailViewCtrl* sharedContactDetailViewCtrl();
    explicit KQContactDetailViewCtrl(QWidget* parent = nullptr);
    ~KQContactDetailViewCtrl() override;
    QWidget* view() { return this; }

    const KQContactHelperList& selectedContactHelpers() const { return m_selected; }
    // Replaces the selection; in edit mode the new first contact is put into editing at once.
    void setSelectedContactHelpers(const KQContactHelperList& contacts);
    KQContactHelperPtr firstContactHelper() const;

    bool editable() const { return m_editable; }
    // true: startEditProperty(); false: endEditProperty(), which saves. Saving failures show an
    // alert and leave the contact edited (a later Done tries again).
    void setEditable(bool editable);
    void startEditProperty();
    // Ends edit mode and saves; true when the save succeeded (or there was nothing to save).
    bool endEditProperty();

    // Where a new, not yet stored contact ("preImported") is added on Done; the default account
    // when empty.
    void setTargetContainerIdentifier(const QString& identifier) { m_targetContainer = identifier; }

    const std::vector<KQContactPropertyViewCtrl*>& contactPropertyViewCtrls() const { return m_panels; }
    QStringList addPropertyCategory() const { return m_addPropertyCategory; }
    QStringList allowedAddPropertyCatagoryNames() const;
    void addPropertyWithCategoryName(const QString& categoryName);
    // Rebuilds the panels for the first selected contact.
    void updateContactPropertyViewCtrls();

    // --- what panels tell the editor
    void contactPropertyViewCtrlRequestRemove(KQContactPropertyViewCtrl* panel) override;
    void contactPropertyViewCtrlDidRemoveTag(KQContactPropertyViewCtrl* panel,
                                             const std::shared_ptr<KQTag>& tag) override;

Q_SIGNALS:
    void editableChanged(bool editable);
    // The shown contact changed (a new selection, or the same contact saved).
    void shownContactChanged();
    // A save failed; the text is the store's message.
    void saveFailed(const QString& message);

private:
    KQContactPropertyViewCtrl* panelOfCategory(const QString& categoryName) const;
    bool saveContact(const KQContactHelperPtr& contact, QString* message);
    void cleanUpRemovedTags();

    KQContactHelperList m_selected;
    bool m_editable = false;
    QStringList m_addPropertyCategory;
    std::vector<std::shared_ptr<KQTag>> m_removedTags;
    std::vector<KQContactPropertyViewCtrl*> m_panels;
    // Fields the user asked for in the general panel, kept over rebuilds within one edit.
    QStringList m_shownGeneralFields;
    QString m_targetContainer;
    QScrollArea* m_scroll;
    QWidget* m_content = nullptr;
    QVBoxLayout* m_stack = nullptr;
};
