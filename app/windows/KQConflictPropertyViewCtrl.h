#pragma once
// The view of one cell of the comparison table: a label with its remove control, a contact's delete
// control, the general cell (picture, name, job, nickname) or one value. It shows what the cell
// model holds, marks highlighted cells, and hands typed text and the user's requests to the cell,
// which passes them on to the compare model.

#include "problems/KQCompareCell.h"

#include <QFrame>

class KQConflictPropertyViewCtrl : public QFrame
{
    Q_OBJECT
public:
    KQConflictPropertyViewCtrl(KQCompareCellPtr cell, QWidget* parent);

    const KQCompareCellPtr& cell() const { return m_cell; }
    // What double-clicking the general cell's picture does: the file becomes the contact's picture
    // unless it is over the size limit, unreadable or no picture (an alert says which).
    bool loadImageFile(const QString& path);

Q_SIGNALS:
    // The table must be laid out again (a value or contact was removed, or a picture chosen).
    void requestReload();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildLabel();
    void buildDelete();
    void buildGeneral();
    void buildValue();
    QPalette highlighted(bool on) const;

    KQCompareCellPtr m_cell;
    class QLabel* m_picture = nullptr;
};
