#pragma once
// A short form for a new card when the full editor is not at hand: names, company, one phone
// number and one e-mail address, written into the given contact on OK.

#include "platform/CNMutableContact.h"

#include <QDialog>

class QLineEdit;

class KQNewContactDialog : public QDialog
{
    Q_OBJECT
public:
    KQNewContactDialog(CNMutableContactPtr contact, QWidget* parent = nullptr);
    void accept() override;

private:
    CNMutableContactPtr m_contact;
    QLineEdit* m_given;
    QLineEdit* m_family;
    QLineEdit* m_company;
    QLineEdit* m_phone;
    QLineEdit* m_email;
};
