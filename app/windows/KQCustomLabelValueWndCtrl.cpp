#include "app/windows/KQCustomLabelValueWndCtrl.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

KQCustomLabelValueWndCtrl* KQCustomLabelValueWndCtrl::sharedCustomLabelValueWndCtrl()
{
    static QPointer<KQCustomLabelValueWndCtrl> shared;
    if (!shared)
        shared = new KQCustomLabelValueWndCtrl(nullptr);
    return shared;
}

KQCustomLabelValueWndCtrl::KQCustomLabelValueWndCtrl(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("customLabelSheet"));
    setWindowTitle(tr("Custom Label"));
    auto* layout = new QVBoxLayout(this);
    auto* prompt = new QLabel(tr("Label:"), this);
    m_edit = new QLineEdit(this);
    m_edit->setObjectName(QStringLiteral("customLabelEdit"));
    prompt->setBuddy(m_edit);
    m_hint = new QLabel(this);
    m_hint->setObjectName(QStringLiteral("customLabelHint"));
    m_hint->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_ok = buttons->button(QDialogButtonBox::Ok);
    m_ok->setObjectName(QStringLiteral("okButton"));
    m_ok->setText(tr("OK"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cancelButton"));
    buttons->button(QDialogButtonBox::Cancel)->setText(tr("Cancel"));
    layout->addWidget(prompt);
    layout->addWidget(m_edit);
    layout->addWidget(m_hint);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &KQCustomLabelValueWndCtrl::okCustom);
    connect(buttons, &QDialogButtonBox::rejected, this, &KQCustomLabelValueWndCtrl::cancelCustom);
    connect(m_edit, &QLineEdit::textChanged, this, &KQCustomLabelValueWndCtrl::validate);
}

void KQCustomLabelValueWndCtrl::beginSheetForWindow(QWidget* window, const QString& label,
                                                    std::function<void(bool, const QString&)> handler)
{
    m_handler = std::move(handler);
    if (parentWidget() != window) {
        setParent(window, windowFlags() | Qt::Sheet | Qt::Dialog);
    }
    setWindowModality(window != nullptr ? Qt::WindowModal : Qt::ApplicationModal);
    m_edit->setText(label);
    m_edit->selectAll();
    validate();
    open();
    m_edit->setFocus();
}

QString KQCustomLabelValueWndCtrl::labelText() const
{
    return m_edit->text();
}

void KQCustomLabelValueWndCtrl::validate()
{
    const bool blank = m_edit->text().trimmed().isEmpty();
    m_ok->setEnabled(!blank);
    m_hint->setText(blank ? tr("A label needs at least one visible character.") : QString());
    m_hint->setVisible(blank);
}

void KQCustomLabelValueWndCtrl::okCustom()
{
    if (m_edit->text().trimmed().isEmpty())
        return;
    auto handler = std::move(m_handler);
    m_handler = nullptr;
    done(1);
    if (handler)
        handler(true, m_edit->text());
}

void KQCustomLabelValueWndCtrl::cancelCustom()
{
    auto handler = std::move(m_handler);
    m_handler = nullptr;
    done(0);
    if (handler)
        handler(false, QString());
}
