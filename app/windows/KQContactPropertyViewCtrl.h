#pragma once
// One panel of the contact detail editor: a titled block showing one category of fields of the
// shown contact. Panels rebuild their rows from the contact (reload) and write every change into
// the contact's edit copy at once, so that the editor's Done saves what is on screen.

#include "model/KQContactHelper.h"

#include <QFrame>
#include <QPointer>

class QLabel;
class QToolButton;
class QVBoxLayout;
class KQContactPropertyViewCtrl;
class KQTag;

// What a panel asks of the editor that holds it.
class KQContactPropertyViewCtrlDelegate
{
public:
    virtual ~KQContactPropertyViewCtrlDelegate() = default;
    // The panel's category lost its last value (or an added, still empty one was removed).
    virtual void contactPropertyViewCtrlRequestRemove(KQContactPropertyViewCtrl* panel) = 0;
    virtual void contactPropertyViewCtrlDidRemoveTag(KQContactPropertyViewCtrl* panel,
                                                     const std::shared_ptr<KQTag>& tag) = 0;
};

class KQContactPropertyViewCtrl : public QFrame
{
    Q_OBJECT
public:
    // The panel class of a category (a plain labelled-value panel for the multi-valued ones).
    static KQContactPropertyViewCtrl* contactPropertyViewCtrlWithCategoryName(const QString& categoryName,
                                                                              QWidget* parent = nullptr);

    const QString& categoryName() const { return m_category; }
    virtual QString localizedCategoryName() const;

    const KQContactHelperPtr& contactHelper() const { return m_contact; }
    void setContactHelper(const KQContactHelperPtr& contact);
    bool editable() const { return m_editable; }
    void setEditable(bool editable);
    KQContactPropertyViewCtrlDelegate* delegate() const { return m_delegate; }
    void setDelegate(KQContactPropertyViewCtrlDelegate* delegate) { m_delegate = delegate; }

    // The contact has nothing in this category.
    bool valueIsEmpty() const;
    // The general panel's switches; a panel that shows no such field keeps them on.
    bool hidePrefix = true, hideMiddle = true, hideSuffix = true, hideJobTitle = true, hideDepartment = true,
         hideNickname = true;
    // Whether the general panel currently hides the field of an add-field category ("Prefix", ...).
    bool hidesFieldOfCategory(const QString& categoryName) const;
    void showFieldOfCategory(const QString& categoryName);

    // Rebuilds the rows from the contact.
    void reload();

Q_SIGNALS:
    // A change that may alter the editor's add-field list or the list's row.
    void contentChanged();

protected:
    KQContactPropertyViewCtrl(QString categoryName, QWidget* parent);
    // Fills body (emptied before) from the contact.
    virtual void buildRows(QVBoxLayout* body) = 0;
    // Shown next to the title in edit mode (for example the add button); none by default.
    virtual bool hasAddControl() const { return false; }
    virtual void addAction() {}
    // The top-level window, for sheets and menus.
    QWidget* hostWindow() const { return window(); }
    void requestRemove();
    QLabel* title() const { return m_title; }

private:
    QString m_category;
    KQContactHelperPtr m_contact;
    bool m_editable = false;
    KQContactPropertyViewCtrlDelegate* m_delegate = nullptr;
    QLabel* m_title;
    QToolButton* m_add;
    QWidget* m_bodyHost = nullptr;
    QVBoxLayout* m_outer;
};
