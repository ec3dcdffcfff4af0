#pragma once
// What the problem kinds' settings sheets share: opening window-modal on a window with an answer
// handler, and ending with the preferences' kind list saved when the answer is OK.

#include <QDialog>
#include <functional>

class KQConflictCfgSheet : public QDialog
{
public:
    using QDialog::QDialog;

protected:
    // Keeps handler and makes the sheet window-modal on window (application-modal without one);
    // the caller fills the sheet and then opens it.
    void prepareSheet(QWidget* window, std::function<void(bool)> handler);
    // Closes with code; 1 saves the preferences' kind list first. The handler hears code == 1.
    void endSheet(int code);

private:
    std::function<void(bool)> m_handler;
};
