#pragma once
// One cell of the comparison table, as a model object: which contact and which value it shows,
// whether it is highlighted or editable, what the user typed into it, and the requests it passes
// to the compare model (a value was edited, delete this row, delete this contact, use this image).
// The review window's views show cells; the model never depends on a view.

#include "model/KQContactHelper.h"

#include <QHash>
#include <QObject>
#include <optional>

class KQCompareCell;
using KQCompareCellPtr = std::shared_ptr<KQCompareCell>;

// What a cell tells the compare model.
class KQCompareCellDelegate
{
public:
    virtual ~KQCompareCellDelegate() = default;
    virtual void conflictPropertyViewCtrlDidEditingProperty(KQCompareCell* cell) = 0;
    virtual void conflictPropertyViewCtrlRequireDeleteProperty(KQCompareCell* cell) = 0;
    virtual void conflictPropertyViewCtrlRequireDeleteContact(KQCompareCell* cell) = 0;
    virtual bool conflictPropertyViewCtrlUseTheImage(KQCompareCell* cell) = 0;
    virtual bool conflictPropertyViewCtrlIsMerger(KQCompareCell* cell) = 0;
};

namespace KQCompareCategory {
extern const QString Label;  // "KQConflictPropertyCatagoryLabel"
extern const QString Delete; // "KQConflictPropertyCatagoryDelete"
} // namespace KQCompareCategory

class KQCompareCell : public QObject
{
    Q_OBJECT
public:
    // category: the row's category, or the label or delete category; index: the value's position in
    // the contact's field, -1 for single fields. rowCategory is the row's own category (for labels).
    KQCompareCell(QString category, KQContactHelperPtr contact, int index, QString rowCategory = {});
    static KQCompareCellPtr conflictPropertyViewCtrlWithCatagoryName(const QString& category,
                                                                     const KQContactHelperPtr& contact, int index,
                                                                     const QString& rowCategory = {});

    const QString& catagoryName() const { return m_category; }
    const QString& rowCatagoryName() const { return m_rowCategory; }
    const KQContactHelperPtr& contactHelper() const { return m_contact; }
    int indexOfPerperty() const { return m_index; }
    // The store key of a multi-valued category; empty for the others.
    static QString propertyKeyOfCatagory(const QString& category);
    bool isLabelCell() const { return m_category == KQCompareCategory::Label; }

    KQCompareCellDelegate* delegate() const { return m_delegate; }
    void setDelegate(KQCompareCellDelegate* delegate) { m_delegate = delegate; }

    bool editable() const { return m_editable; }
    void setEditable(bool editable) { m_editable = editable; }
    bool highlight() const { return m_highlight; }
    void setHighlight(bool highlight) { m_highlight = highlight; }
    // Set while the cell's view is shown; cleared when the table detaches it.
    bool attached() const { return m_attached; }
    void setAttached(bool attached) { m_attached = attached; }

    // The general cell's switches.
    bool hidePrefix = false, hideMiddle = false, hideSuffix = false, hideJobTitle = false, hideDepartment = false,
         hideNickname = false, highlightName = false, highlightJobName = false, isMergedContact = false,
         contactsMerged = false;

    int heightOfContent() const;
    int width() const;

    // The value the cell shows: the label text for a label cell, the value's text for a value cell,
    // the full name for the general cell, the field's text for other single rows.
    QString text() const;

    // --- editing: typed values stay in the cell until updateToContactHelper() writes them
    // A label cell edits the label; a value cell its value; the general cell the name parts (by
    // store key); single rows their field.
    void setEditedText(const QString& text);
    void setEditedNamePart(const QString& key, const QString& text);
    bool edited() const { return m_editedText.has_value() || !m_editedNames.isEmpty(); }
    // Writes what was typed into the contact (which must be in editing).
    void updateToContactHelper();

    // --- the cell's actions
    void removeProperty();
    void deleteContactAction();
    bool useTheImage();

private:
    KQLabeledValueProperty* property() const;

    QString m_category;
    QString m_rowCategory;
    KQContactHelperPtr m_contact;
    int m_index = -1;
    KQCompareCellDelegate* m_delegate = nullptr;
    bool m_editable = false;
    bool m_highlight = false;
    bool m_attached = true;
    std::optional<QString> m_editedText;
    QHash<QString, QString> m_editedNames;
};
