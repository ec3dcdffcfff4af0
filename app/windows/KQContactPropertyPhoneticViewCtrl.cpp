#include "app/windows/KQContactPropertyPhoneticViewCtrl.h"

#include "app/windows/KQIcons.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>

KQContactPropertyPhoneticViewCtrl::KQContactPropertyPhoneticViewCtrl(QWidget* parent)
    : KQContactPropertyViewCtrl(QStringLiteral("Phonetic Name"), parent)
{
}

void KQContactPropertyPhoneticViewCtrl::buildRows(QVBoxLayout* body)
{
    const KQContactHelperPtr& contact = contactHelper();
    if (!editable()) {
        QStringList parts{contact->phoneticFullName()};
        if (const QString org = contact->phoneticOrgName().value_or(QString()); !org.isEmpty())
            parts.append(org);
        parts.removeAll(QString());
        auto* text = new QLabel(parts.join(QStringLiteral(" \u00B7 ")));
        text->setObjectName(QStringLiteral("phoneticText"));
        body->addWidget(text);
        return;
    }
    using Getter = std::optional<QString> (KQContactHelper::*)() const;
    using Setter = void (KQContactHelper::*)(const std::optional<QString>&);
    struct Field
    {
        const char* name;
        const char* title;
        Getter get;
        Setter set;
    };
    const Field fields[] = {
        {"phoneticGivenNameEdit", QT_TR_NOOP("Phonetic first name"), &KQContactHelper::phoneticGivenName,
         &KQContactHelper::setPhoneticGivenName},
        {"phoneticMiddleNameEdit", QT_TR_NOOP("Phonetic middle name"), &KQContactHelper::phoneticMiddleName,
         &KQContactHelper::setPhoneticMiddleName},
        {"phoneticFamilyNameEdit", QT_TR_NOOP("Phonetic last name"), &KQContactHelper::phoneticFamilyName,
         &KQContactHelper::setPhoneticFamilyName},
        {"phoneticOrgNameEdit", QT_TR_NOOP("Phonetic company name"), &KQContactHelper::phoneticOrgName,
         &KQContactHelper::setPhoneticOrgName},
    };
    auto* form = new QFormLayout;
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    for (const Field& f : fields) {
        auto* edit = new QLineEdit((contact.get()->*f.get)().value_or(QString()));
        edit->setObjectName(QLatin1String(f.name));
        edit->setAccessibleName(tr(f.title));
        edit->setPlaceholderText(tr(f.title));
        const KQContactHelperPtr record = contact;
        const Setter set = f.set;
        connect(edit, &QLineEdit::textEdited, this, [record, set](const QString& text) { (record.get()->*set)(text); });
        form->addRow(tr(f.title), edit);
    }
    auto* remove = new QToolButton;
    remove->setObjectName(QStringLiteral("removeButton"));
    remove->setIcon(KQIcons::icon(QStringLiteral("list-remove")));
    remove->setAutoRaise(true);
    remove->setAccessibleName(tr("Remove the phonetic name"));
    remove->setToolTip(remove->accessibleName());
    connect(remove, &QToolButton::clicked, this, [this] {
        const KQContactHelperPtr record = contactHelper();
        record->setPhoneticGivenName(QString());
        record->setPhoneticMiddleName(QString());
        record->setPhoneticFamilyName(QString());
        record->setPhoneticOrgName(QString());
        requestRemove();
    });
    form->addRow(QString(), remove);
    body->addLayout(form);
}
