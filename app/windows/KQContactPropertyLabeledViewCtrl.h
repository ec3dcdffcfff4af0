#pragma once
// The panel of one multi-valued category (phone numbers, e-mails, URLs, dates, related names,
// addresses, social profiles, instant messages): one row per value with its label menu, the value's
// fields and a remove control; the add control appends an empty value.

#include "app/windows/KQContactPropertyViewCtrl.h"

class QMenu;
class QToolButton;

class KQContactPropertyLabeledViewCtrl : public KQContactPropertyViewCtrl
{
    Q_OBJECT
public:
    KQContactPropertyLabeledViewCtrl(const QString& categoryName, QWidget* parent);
    static bool isLabeledCategory(const QString& categoryName);

    QString localizedCategoryName() const override;
    KQLabeledValueProperty* labeledValueProperty() const;
    // The label constants offered in the menu, in order (services for social profiles).
    QStringList defaultLabels() const;
    bool allowsCustomLabel() const;
    // What choosing an item of the label menu does.
    void selectDefLabel(int row, const QString& title);
    // Opens the custom-label sheet for the row's value.
    void chooseCustomLabel(int row);
    // The address panel's "Change Address Format" choice.
    void changeAddressFormat(int row, const QString& countryOrRegionName);

protected:
    void buildRows(QVBoxLayout* body) override;
    bool hasAddControl() const override { return true; }
    void addAction() override;

private:
    QWidget* makeRow(int row, const KQLabeledValueHelperPtr& value);
    QMenu* labelOptMenu(int row, QToolButton* button);
    void removeRow(int row);
    void addValueEditors(QWidget* row, class QGridLayout* grid, const KQLabeledValueHelperPtr& value);
};
