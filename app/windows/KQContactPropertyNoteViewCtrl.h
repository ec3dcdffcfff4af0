#pragma once
// The note panel: the note as plain text of any length.

#include "app/windows/KQContactPropertyViewCtrl.h"

class KQContactPropertyNoteViewCtrl : public KQContactPropertyViewCtrl
{
    Q_OBJECT
public:
    explicit KQContactPropertyNoteViewCtrl(QWidget* parent);
    QString localizedCategoryName() const override;

protected:
    void buildRows(QVBoxLayout* body) override;
};
