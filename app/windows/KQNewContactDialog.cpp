#include "app/windows/KQNewContactDialog.h"

#include "platform/CNLabels.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>

KQNewContactDialog::KQNewContactDialog(CNMutableContactPtr contact, QWidget* parent)
    : QDialog(parent), m_contact(std::move(contact)), m_given(new QLineEdit(this)), m_family(new QLineEdit(this)),
      m_company(new QLineEdit(this)), m_phone(new QLineEdit(this)), m_email(new QLineEdit(this))
{
    setObjectName(QStringLiteral("newContactDialog"));
    setWindowTitle(QStringLiteral("New Contact"));
    setWindowModality(Qt::WindowModal);
    m_given->setObjectName(QStringLiteral("givenName"));
    m_family->setObjectName(QStringLiteral("familyName"));
    m_company->setObjectName(QStringLiteral("company"));
    m_phone->setObjectName(QStringLiteral("phone"));
    m_email->setObjectName(QStringLiteral("email"));
    m_given->setText(m_contact->givenName());
    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("First name:"), m_given);
    form->addRow(QStringLiteral("Last name:"), m_family);
    form->addRow(QStringLiteral("Company:"), m_company);
    form->addRow(QStringLiteral("Phone:"), m_phone);
    form->addRow(QStringLiteral("E-mail:"), m_email);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("newContactButtons"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    form->addRow(buttons);
}

void KQNewContactDialog::accept()
{
    m_contact->setGivenName(m_given->text().trimmed());
    m_contact->setFamilyName(m_family->text().trimmed());
    m_contact->setOrganizationName(m_company->text().trimmed());
    CNPhoneNumberList phones;
    if (!m_phone->text().trimmed().isEmpty())
        phones.emplace_back(CNLabelPhoneNumberMobile, CNPhoneNumber(m_phone->text().trimmed()));
    m_contact->setPhoneNumbers(phones);
    CNStringValueList emails;
    if (!m_email->text().trimmed().isEmpty())
        emails.emplace_back(CNLabelHome, m_email->text().trimmed());
    m_contact->setEmailAddresses(emails);
    m_contact->setPostalAddresses({});
    QDialog::accept();
}
