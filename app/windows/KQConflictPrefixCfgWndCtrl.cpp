#include "app/windows/KQConflictPrefixCfgWndCtrl.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

KQConflictPrefixCfgWndCtrl* KQConflictPrefixCfgWndCtrl::sharedConflictPrefixCfgWndCtrl()
{
    static QPointer<KQConflictPrefixCfgWndCtrl> shared;
    if (!shared)
        shared = new KQConflictPrefixCfgWndCtrl(nullptr);
    return shared;
}

KQConflictPrefixCfgWndCtrl::KQConflictPrefixCfgWndCtrl(QWidget* parent) : KQConflictCfgSheet(parent)
{
    setObjectName(QStringLiteral("allowedFixesSheet"));
    auto* layout = new QVBoxLayout(this);
    m_title = new QLabel(this);
    m_title->setObjectName(QStringLiteral("sheetTitle"));
    QFont bold = m_title->font();
    bold.setBold(true);
    m_title->setFont(bold);
    layout->addWidget(m_title);
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("fixList"));
    m_list->setAccessibleName(tr("Allowed entries"));
    layout->addWidget(m_list, 2);
    m_text = new QPlainTextEdit(this);
    m_text->setObjectName(QStringLiteral("fixText"));
    m_text->setAccessibleName(tr("Allowed entries, separated by commas"));
    m_text->setTabChangesFocus(true);
    m_text->setMaximumHeight(m_text->fontMetrics().lineSpacing() * 5);
    layout->addWidget(m_text, 1);
    auto* row = new QHBoxLayout;
    m_edit = new QPushButton(this);
    m_edit->setObjectName(QStringLiteral("editButton"));
    connect(m_edit, &QPushButton::clicked, this, &KQConflictPrefixCfgWndCtrl::editAction);
    auto* reset = new QPushButton(tr("&Reset"), this);
    reset->setObjectName(QStringLiteral("resetButton"));
    reset->setToolTip(tr("Back to the default list"));
    connect(reset, &QPushButton::clicked, this, &KQConflictPrefixCfgWndCtrl::resetPrefix);
    row->addWidget(m_edit);
    row->addWidget(reset);
    row->addStretch(1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("okButton"));
    buttons->button(QDialogButtonBox::Ok)->setText(tr("OK"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cancelButton"));
    buttons->button(QDialogButtonBox::Cancel)->setText(tr("Cancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &KQConflictPrefixCfgWndCtrl::okAction);
    connect(buttons, &QDialogButtonBox::rejected, this, &KQConflictPrefixCfgWndCtrl::cancelOperation);
    row->addWidget(buttons);
    layout->addLayout(row);
    const int line = fontMetrics().height();
    resize(line * 24, line * 22);
}

QString KQConflictPrefixCfgWndCtrl::title() const
{
    if (m_kind && m_kind->name() == KQConflictName::UnusualSuffix)
        return tr("Allow Suffixes");
    return tr("Allow Prefixes");
}

void KQConflictPrefixCfgWndCtrl::setConflictPrefix(const std::shared_ptr<KQConflictMetaPrefix>& kind)
{
    m_kind = kind;
    m_backup = m_kind ? m_kind->availableFixs() : QStringList();
    m_editable = false;
    m_edited = false;
    refresh();
}

void KQConflictPrefixCfgWndCtrl::beginSheetForModalWindow(QWidget* window, std::function<void(bool)> handler)
{
    prepareSheet(window, std::move(handler));
    setConflictPrefix(m_kind);
    open();
}

void KQConflictPrefixCfgWndCtrl::refresh()
{
    setWindowTitle(title());
    m_title->setText(title());
    const QStringList entries = m_kind ? m_kind->availableFixs() : QStringList();
    m_list->clear();
    m_list->addItems(entries);
    m_text->setPlainText(entries.join(QLatin1Char(',')));
    m_text->setReadOnly(!m_editable);
    m_edit->setText(m_editable ? tr("&Done") : tr("&Edit"));
}

void KQConflictPrefixCfgWndCtrl::editAction()
{
    if (!m_kind)
        return;
    if (!m_editable) {
        m_editable = true;
        refresh();
        m_text->setFocus();
        return;
    }
    m_kind->setAvailableFixs(m_text->toPlainText().split(QLatin1Char(',')));
    m_edited = true;
    m_editable = false;
    refresh();
}

void KQConflictPrefixCfgWndCtrl::resetPrefix()
{
    if (!m_kind)
        return;
    m_kind->setAvailableFixs(m_kind->name() == KQConflictName::UnusualSuffix
                                 ? KQConflictMetaPrefix::defaultAvailableSuffix()
                                 : KQConflictMetaPrefix::defaultAvailablePrefix());
    // A reset is a change of the list, kept by OK like an edit.
    m_edited = true;
    m_editable = false;
    refresh();
}

void KQConflictPrefixCfgWndCtrl::okAction()
{
    endSheet(m_edited ? 1 : 0);
}

void KQConflictPrefixCfgWndCtrl::cancelOperation()
{
    if (m_kind)
        m_kind->setAvailableFixs(m_backup);
    m_edited = false;
    endSheet(0);
}
