#pragma once
// The right-hand pane of the main window: the contact detail editor over a bar with the add-field
// menu and the Edit/Done button. Done saves the contact (the editor's own single save request).

#include <QWidget>

class KQContactDetailViewCtrl;
class KQMainWindow;
class QPushButton;
class QToolButton;

class KQContactDetailPane : public QWidget
{
    Q_OBJECT
public:
    explicit KQContactDetailPane(KQContactDetailViewCtrl* editor, QWidget* parent = nullptr);
    // Makes the shared detail editor, in a pane, the right-hand side of window: it shows the
    // selected contacts, and a new contact is stored in the account the window shows.
    static KQContactDetailPane* installInWindow(KQMainWindow* window);

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
