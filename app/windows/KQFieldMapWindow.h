#pragma once
// The field-map window of a CSV import: one row per file column, the column's title beside a
// pop-up of the fields it may go to. OK takes the choice; closing the window cancels the file.
// It shows the rows of the shared KQFieldMapWndCtrl and writes the choices back into them.

#include <QDialog>

class KQFieldMapWndCtrl;
class QTableWidget;

class KQFieldMapWindow : public QDialog
{
    Q_OBJECT
public:
    explicit KQFieldMapWindow(KQFieldMapWndCtrl& controller, QWidget* parent = nullptr);

    QTableWidget* table() const { return m_table; }
    // Makes this window the presenter of the shared controller, with parent for its windows.
    static void installPresenter(QWidget* parent);

private:
    KQFieldMapWndCtrl& m_controller;
    QTableWidget* m_table;
};
