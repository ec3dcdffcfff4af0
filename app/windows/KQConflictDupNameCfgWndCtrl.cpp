#include "app/windows/KQConflictDupNameCfgWndCtrl.h"

#include "app/windows/KQAlert.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

KQConflictDupNameCfgWndCtrl* KQConflictDupNameCfgWndCtrl::shareConflictDupNameCfgWndCtrl()
{
    static QPointer<KQConflictDupNameCfgWndCtrl> shared;
    if (!shared)
        shared = new KQConflictDupNameCfgWndCtrl(nullptr);
    return shared;
}

KQConflictDupNameCfgWndCtrl::KQConflictDupNameCfgWndCtrl(QWidget* parent) : KQConflictCfgSheet(parent)
{
    setObjectName(QStringLiteral("duplicateNameSheet"));
    setWindowTitle(tr("Duplicate Name"));
    auto* layout = new QVBoxLayout(this);
    auto* intro = new QLabel(tr("Contacts count as having the same name when these parts are equal:"), this);
    intro->setWordWrap(true);
    layout->addWidget(intro);
    const auto box = [this, layout](const QString& name, const QString& title) {
        auto* check = new QCheckBox(title, this);
        check->setObjectName(name);
        layout->addWidget(check);
        connect(check, &QCheckBox::toggled, this, &KQConflictDupNameCfgWndCtrl::syncFullName);
        return check;
    };
    m_full = new QCheckBox(tr("&Full name"), this);
    m_full->setObjectName(QStringLiteral("dupFullNameCheck"));
    layout->addWidget(m_full);
    connect(m_full, &QCheckBox::clicked, this, &KQConflictDupNameCfgWndCtrl::setDupFullName);
    m_prefix = box(QStringLiteral("dupNamePrefixCheck"), tr("&Prefix"));
    m_given = box(QStringLiteral("dupGivenNameCheck"), tr("F&irst name"));
    m_middle = box(QStringLiteral("dupMiddleNameCheck"), tr("&Middle name"));
    m_family = box(QStringLiteral("dupFamilyNameCheck"), tr("&Last name"));
    m_suffix = box(QStringLiteral("dupNameSuffixCheck"), tr("&Suffix"));
    for (QCheckBox* part : {m_prefix, m_given, m_middle, m_family, m_suffix})
        part->setContentsMargins(fontMetrics().height(), 0, 0, 0);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("okButton"));
    buttons->button(QDialogButtonBox::Ok)->setText(tr("OK"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cancelButton"));
    buttons->button(QDialogButtonBox::Cancel)->setText(tr("Cancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &KQConflictDupNameCfgWndCtrl::okAction);
    connect(buttons, &QDialogButtonBox::rejected, this, &KQConflictDupNameCfgWndCtrl::cancelAction);
    layout->addWidget(buttons);
}

void KQConflictDupNameCfgWndCtrl::setConflictDupName(const std::shared_ptr<KQConflictMetaDuplicateName>& kind)
{
    m_kind = kind;
    if (!m_kind)
        return;
    m_given->setChecked(m_kind->duplicateGivenName());
    m_family->setChecked(m_kind->duplicateFamilyName());
    m_middle->setChecked(m_kind->duplicateMiddleName());
    m_prefix->setChecked(m_kind->duplicateNamePrefix());
    m_suffix->setChecked(m_kind->duplicateNameSuffix());
    syncFullName();
}

void KQConflictDupNameCfgWndCtrl::beginSheetForModalWindow(QWidget* window, std::function<void(bool)> handler)
{
    prepareSheet(window, std::move(handler));
    setConflictDupName(m_kind);
    open();
}

bool KQConflictDupNameCfgWndCtrl::dupGivenName() const
{
    return m_given->isChecked();
}
bool KQConflictDupNameCfgWndCtrl::dupFamilyName() const
{
    return m_family->isChecked();
}
bool KQConflictDupNameCfgWndCtrl::dupMiddleName() const
{
    return m_middle->isChecked();
}
bool KQConflictDupNameCfgWndCtrl::dupNamePrefix() const
{
    return m_prefix->isChecked();
}
bool KQConflictDupNameCfgWndCtrl::dupNameSuffix() const
{
    return m_suffix->isChecked();
}

bool KQConflictDupNameCfgWndCtrl::dupFullName() const
{
    return dupGivenName() && dupFamilyName() && dupMiddleName() && dupNamePrefix() && dupNameSuffix();
}

void KQConflictDupNameCfgWndCtrl::setDupFullName(bool on)
{
    for (QCheckBox* part : {m_given, m_family, m_middle, m_prefix, m_suffix})
        part->setChecked(on);
    syncFullName();
}

void KQConflictDupNameCfgWndCtrl::syncFullName()
{
    m_full->setChecked(dupFullName());
}

void KQConflictDupNameCfgWndCtrl::okAction()
{
    if (!dupGivenName() && !dupFamilyName() && !dupMiddleName() && !dupNamePrefix() && !dupNameSuffix()) {
        KQAlert::show(this, tr("No duplicate name has selected."), tr("You need to select one duplicate at least."));
        return;
    }
    if (m_kind) {
        m_kind->setDuplicateGivenName(dupGivenName());
        m_kind->setDuplicateFamilyName(dupFamilyName());
        m_kind->setDuplicateMiddleName(dupMiddleName());
        m_kind->setDuplicateNamePrefix(dupNamePrefix());
        m_kind->setDuplicateNameSuffix(dupNameSuffix());
    }
    endSheet(1);
}

void KQConflictDupNameCfgWndCtrl::cancelAction()
{
    endSheet(0);
}
