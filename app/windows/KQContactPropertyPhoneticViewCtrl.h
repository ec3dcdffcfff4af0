#pragma once
// The phonetic-name panel: phonetic first, middle and last name and phonetic company name.

#include "app/windows/KQContactPropertyViewCtrl.h"

class KQContactPropertyPhoneticViewCtrl : public KQContactPropertyViewCtrl
{
    Q_OBJECT
public:
    explicit KQContactPropertyPhoneticViewCtrl(QWidget* parent);
    QString localizedCategoryName() const override { return tr("Phonetic"); }

protected:
    void buildRows(QVBoxLayout* body) override;
    // The remove control takes the phonetic name away.
    bool hasAddControl() const override { return false; }
};
