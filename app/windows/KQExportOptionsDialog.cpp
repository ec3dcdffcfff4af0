#include "app/windows/KQExportOptionsDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>

KQExportOptionsDialog::KQExportOptionsDialog(const QList<qint32>& formats, int contactCount, QWidget* parent)
    : QDialog(parent), m_format(new QComboBox(this)), m_fields(new QComboBox(this)),
      m_split(new QCheckBox(QStringLiteral("Split names into their parts"), this)),
      m_merge(new QCheckBox(QStringLiteral("Each address in one cell"), this))
{
    setObjectName(QStringLiteral("exportOptions"));
    setWindowTitle(QStringLiteral("Export"));
    setWindowModality(Qt::WindowModal);
    m_format->setObjectName(QStringLiteral("exportFormat"));
    for (const qint32 type : formats)
        m_format->addItem(KQContactFormat::nameWithFormatType(type), type);
    m_fields->setObjectName(QStringLiteral("exportFields"));
    m_fields->addItems(KQContactFormat::availableContactFieldNames());
    m_fields->setCurrentIndex(KQContactFormat::ValidFields);
    m_split->setObjectName(QStringLiteral("exportSplitName"));
    m_merge->setObjectName(QStringLiteral("exportMergeAddress"));
    m_merge->setChecked(true);
    auto* form = new QFormLayout(this);
    form->addRow(new QLabel(contactCount == 1 ? QStringLiteral("Export 1 contact.")
                                              : QStringLiteral("Export %1 contacts.").arg(contactCount)));
    form->addRow(QStringLiteral("Format:"), m_format);
    form->addRow(QStringLiteral("Fields:"), m_fields);
    form->addRow(QString(), m_split);
    form->addRow(QString(), m_merge);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Export..."));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    form->addRow(buttons);
    connect(m_format, &QComboBox::currentIndexChanged, this, &KQExportOptionsDialog::formatChanged);
    connect(m_fields, &QComboBox::currentIndexChanged, this, &KQExportOptionsDialog::formatChanged);
    formatChanged();
}

void KQExportOptionsDialog::setFormatType(qint32 type)
{
    const int row = m_format->findData(type);
    if (row >= 0)
        m_format->setCurrentIndex(row);
}

KQContactFormatPtr KQExportOptionsDialog::contactFormat() const
{
    auto format = KQContactFormat::contactFormatWithType(m_format->currentData().toInt());
    format->setContactFields(m_fields->currentIndex());
    format->setSplitContactName(m_split->isChecked());
    format->setMergeAddress(m_merge->isChecked());
    return format;
}

void KQExportOptionsDialog::formatChanged()
{
    const KQContactFormatPtr format = contactFormat();
    m_fields->setEnabled(format->canChooseContactFields());
    m_split->setEnabled(format->canChooseContactFields() && format->canSplitContactName());
    m_merge->setEnabled(format->canChooseContactFields());
}
