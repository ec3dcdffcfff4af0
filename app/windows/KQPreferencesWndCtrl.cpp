#include "app/windows/KQPreferencesWndCtrl.h"

#include "app/windows/KQBackupPaneCtrl.h"
#include "model/KQLabeledPostalAddress.h"
#include "problems/KQConflictMeta.h"
#include "store/KQContactManager.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

KQPreferencesWndCtrl::KQPreferencesWndCtrl(KQContactManager* manager, QWidget* parent)
    : QDialog(parent), m_manager(manager), m_preferences(KQPreferences::sharePreferences()),
      m_tabs(new QTabWidget(this)), m_defaultAccount(nullptr), m_addressFormat(nullptr), m_nameOrder(nullptr),
      m_backup(new KQBackupPaneCtrl(manager)), m_fields(nullptr), m_allFields(nullptr), m_conflicts(nullptr),
      m_allConflicts(nullptr), m_configure(nullptr)
{
    setObjectName(QStringLiteral("preferencesWindow"));
    setWindowTitle(QStringLiteral("Preferences"));
    m_tabs->setObjectName(QStringLiteral("preferencesTabs"));
    m_tabs->addTab(makeGeneralTab(), QStringLiteral("General"));
    m_tabs->addTab(m_backup, QStringLiteral("Backup"));
    m_tabs->addTab(makeFieldsTab(), QStringLiteral("Export Fields"));
    m_tabs->addTab(makeConflictsTab(), QStringLiteral("Problems"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    resize(620, 460);
    m_preferences->setDelegate(this);
    reloadSettings();
}

KQPreferencesWndCtrl::~KQPreferencesWndCtrl()
{
    if (m_preferences->delegate() == this)
        m_preferences->setDelegate(nullptr);
}

void KQPreferencesWndCtrl::showEvent(QShowEvent* event)
{
    m_preferences->setDelegate(this);
    reloadSettings();
    QDialog::showEvent(event);
}

int KQPreferencesWndCtrl::activeTabIndex() const
{
    return m_tabs->currentIndex();
}

void KQPreferencesWndCtrl::setActiveTabIndex(int index)
{
    m_tabs->setCurrentIndex(index);
}

QWidget* KQPreferencesWndCtrl::makeGeneralTab()
{
    auto* page = new QWidget;
    m_defaultAccount = new QComboBox(page);
    m_defaultAccount->setObjectName(QStringLiteral("defaultAccountCombo"));
    m_addressFormat = new QComboBox(page);
    m_addressFormat->setObjectName(QStringLiteral("addressFormatCombo"));
    m_addressFormat->setMaxVisibleItems(20);
    m_nameOrder = new QCheckBox(QStringLiteral("Show last name before first name"), page);
    m_nameOrder->setObjectName(QStringLiteral("nameOrderCheck"));
    auto* form = new QFormLayout(page);
    form->addRow(QStringLiteral("Default account:"), m_defaultAccount);
    form->addRow(QStringLiteral("Address format:"), m_addressFormat);
    form->addRow(QStringLiteral("Name order:"), m_nameOrder);
    connect(m_defaultAccount, &QComboBox::currentTextChanged, this, [this](const QString& name) {
        if (m_loading || name.isEmpty())
            return;
        m_preferences->setDefaultContainerName(name);
        m_manager->updateDefaultContainerPostion();
    });
    connect(m_addressFormat, &QComboBox::currentTextChanged, this, [this](const QString& name) {
        if (!m_loading && !name.isEmpty())
            m_preferences->setDefaultAddressFormatContryRegionName(name);
    });
    connect(m_nameOrder, &QCheckBox::toggled, this, [this](bool on) {
        if (!m_loading)
            m_preferences->setShowFirstNameFollowingLastName(on);
    });
    return page;
}

QWidget* KQPreferencesWndCtrl::makeFieldsTab()
{
    auto* page = new QWidget;
    m_allFields = new QCheckBox(QStringLiteral("Select all"), page);
    m_allFields->setObjectName(QStringLiteral("selectAllFields"));
    m_fields = new QListWidget(page);
    m_fields->setObjectName(QStringLiteral("exportFieldList"));
    m_fields->setAccessibleName(QStringLiteral("Fields of a custom export"));
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(new QLabel(QStringLiteral("Fields written by an export with custom fields:"), page));
    layout->addWidget(m_allFields);
    layout->addWidget(m_fields, 1);
    connect(m_allFields, &QCheckBox::clicked, this, &KQPreferencesWndCtrl::setSelectAllFields);
    connect(m_fields, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
        if (m_loading || m_settingAll)
            return;
        const auto& fields = m_preferences->availableExportFields();
        const int row = m_fields->row(item);
        if (row >= 0 && row < static_cast<int>(fields.size()))
            fields[static_cast<size_t>(row)]->setValidate(item->checkState() == Qt::Checked);
    });
    return page;
}

QWidget* KQPreferencesWndCtrl::makeConflictsTab()
{
    auto* page = new QWidget;
    m_allConflicts = new QCheckBox(QStringLiteral("Select all"), page);
    m_allConflicts->setObjectName(QStringLiteral("selectAllConflicts"));
    m_conflicts = new QListWidget(page);
    m_conflicts->setObjectName(QStringLiteral("conflictList"));
    m_conflicts->setAccessibleName(QStringLiteral("Problems to look for"));
    m_conflicts->setWordWrap(true);
    m_configure = new QPushButton(QStringLiteral("Configure..."), page);
    m_configure->setObjectName(QStringLiteral("configureConflict"));
    m_configure->hide();
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(new QLabel(QStringLiteral("Problems a scan looks for:"), page));
    layout->addWidget(m_allConflicts);
    layout->addWidget(m_conflicts, 1);
    auto* buttonRow = new QHBoxLayout;
    buttonRow->addStretch();
    buttonRow->addWidget(m_configure);
    layout->addLayout(buttonRow);
    connect(m_allConflicts, &QCheckBox::clicked, this, &KQPreferencesWndCtrl::setSelectAllConflicts);
    connect(m_configure, &QPushButton::clicked, this, &KQPreferencesWndCtrl::configureSelectedConflict);
    connect(m_conflicts, &QListWidget::currentRowChanged, this, [this](int row) {
        const auto& metas = m_preferences->availableConflicts();
        const bool allowed =
            row >= 0 && row < static_cast<int>(metas.size()) && metas[static_cast<size_t>(row)]->allowConfig();
        m_configure->setEnabled(allowed);
    });
    connect(m_conflicts, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
        if (m_loading || m_settingAll)
            return;
        const auto& metas = m_preferences->availableConflicts();
        const int row = m_conflicts->row(item);
        if (row >= 0 && row < static_cast<int>(metas.size()))
            metas[static_cast<size_t>(row)]->setValidate(item->checkState() == Qt::Checked);
    });
    return page;
}

void KQPreferencesWndCtrl::setConfigureConflictHandler(ConfigureConflict handler)
{
    m_configureConflict = std::move(handler);
    m_configure->setVisible(static_cast<bool>(m_configureConflict));
}

void KQPreferencesWndCtrl::configureSelectedConflict()
{
    const auto& metas = m_preferences->availableConflicts();
    const int row = m_conflicts->currentRow();
    if (!m_configureConflict || row < 0 || row >= static_cast<int>(metas.size()))
        return;
    const KQConflictMetaPtr meta = metas[static_cast<size_t>(row)];
    if (meta->allowConfig())
        m_configureConflict(meta, this);
}

void KQPreferencesWndCtrl::reloadSettings()
{
    m_loading = true;
    m_defaultAccount->clear();
    m_defaultAccount->addItems(m_manager->storeHelper()->availableContainerHelperNames());
    if (const auto name = m_preferences->defaultContainerName())
        m_defaultAccount->setCurrentText(*name);
    m_addressFormat->clear();
    m_addressFormat->addItems(KQLabeledPostalAddress::availableCountryOrRegionNames());
    // Unset, addresses follow the user's own country.
    const QString own = QLocale::territoryToString(QLocale().territory());
    m_addressFormat->setCurrentText(m_preferences->defaultAddressFormatContryRegionName().value_or(own));
    m_nameOrder->setChecked(m_preferences->showFirstNameFollowingLastName());

    m_fields->clear();
    for (const auto& field : m_preferences->availableExportFields()) {
        auto* item = new QListWidgetItem(field->fieldName(), m_fields);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(field->validate() ? Qt::Checked : Qt::Unchecked);
    }
    m_conflicts->clear();
    for (const auto& meta : m_preferences->availableConflicts()) {
        auto* item = new QListWidgetItem(meta->name(), m_conflicts);
        item->setToolTip(meta->conflictDescription());
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(meta->validate() ? Qt::Checked : Qt::Unchecked);
    }
    m_configure->setEnabled(false);
    m_backup->reloadAccounts();
    m_loading = false;
    refreshFieldChecks();
    refreshConflictChecks();
}

bool KQPreferencesWndCtrl::selectAllFields() const
{
    return m_allFields->isChecked();
}

bool KQPreferencesWndCtrl::selectAllConflicts() const
{
    return m_allConflicts->isChecked();
}

void KQPreferencesWndCtrl::setSelectAllFields(bool on)
{
    m_settingAll = true;
    for (const auto& field : m_preferences->availableExportFields())
        field->setValidate(on);
    for (int row = 0; row < m_fields->count(); ++row)
        m_fields->item(row)->setCheckState(on ? Qt::Checked : Qt::Unchecked);
    m_settingAll = false;
    m_allFields->setChecked(on);
}

void KQPreferencesWndCtrl::setSelectAllConflicts(bool on)
{
    m_settingAll = true;
    for (const auto& meta : m_preferences->availableConflicts())
        meta->setValidate(on);
    for (int row = 0; row < m_conflicts->count(); ++row)
        m_conflicts->item(row)->setCheckState(on ? Qt::Checked : Qt::Unchecked);
    m_settingAll = false;
    m_allConflicts->setChecked(on);
}

void KQPreferencesWndCtrl::refreshFieldChecks()
{
    bool all = true;
    for (const auto& field : m_preferences->availableExportFields())
        all = all && field->validate();
    m_allFields->setChecked(all);
}

void KQPreferencesWndCtrl::refreshConflictChecks()
{
    bool all = true;
    for (const auto& meta : m_preferences->availableConflicts())
        all = all && meta->validate();
    m_allConflicts->setChecked(all);
}

void KQPreferencesWndCtrl::preferencesExportCustomFieldsConfigDidChanged(KQPreferences*)
{
    if (!m_settingAll)
        refreshFieldChecks();
}

void KQPreferencesWndCtrl::preferencesConflictsConfigDidChanged(KQPreferences*)
{
    if (!m_settingAll)
        refreshConflictChecks();
}
