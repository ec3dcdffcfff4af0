#pragma once
// The right-hand pane of the main window: the contact detail editor over a bar with the add-field
// menu and the Edit/Done button. Done saves the contact (the editor's own single save request).

#include <QWidget>

class KQContactDetailViewCtrl;
class QPushButton;
class QToolButton;

class KQContactDetailPane : public QWidget
{
    Q_OBJECT
public:
    explicit KQContactDetailPane(KQContactDetailViewCtrl* editor, QWidget* parent = nullptr);

    KQContactDetailViewCtrl* editor() const { return m_editor; }
    // Edit when showing, Done (and save) when editing.
    void toggleEditing();

private:
    void refresh();
    void fillAddMenu();

    KQContactDetailViewCtrl* m_editor;
    QToolButton* m_add;
    QPushButton* m_editDone;
};
