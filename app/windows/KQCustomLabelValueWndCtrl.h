#pragma once
// The custom-label sheet: one text field pre-filled with the current label; OK ends with code 1 and
// hands the text back, Cancel with 0. A label must show at least one visible character, so OK stays
// disabled for an empty text or one of spaces only, and the sheet says why.

#include <QDialog>
#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;

class KQCustomLabelValueWndCtrl : public QDialog
{
    Q_OBJECT
public:
    static KQCustomLabelValueWndCtrl* sharedCustomLabelValueWndCtrl();

    // Opens window-modal on window; handler(accepted, label) runs when it ends.
    void beginSheetForWindow(QWidget* window, const QString& label,
                             std::function<void(bool accepted, const QString& label)> handler);
    QString labelText() const;

public Q_SLOTS:
    void okCustom();
    void cancelCustom();

protected:
    void reject() override { cancelCustom(); }

private:
    explicit KQCustomLabelValueWndCtrl(QWidget* parent);
    void validate();

    QLineEdit* m_edit;
    QLabel* m_hint;
    QPushButton* m_ok;
    std::function<void(bool, const QString&)> m_handler;
};
