#pragma once
// The preferences window: General (default account, address format, name order), Backup (the
// backup pane), Export Fields and Problems (check lists with their select-all boxes). It is the
// preferences' delegate while it exists, so that a changed check mark updates its select-all box.
//
// Plug-in point: the configure action of the problem kinds that have settings (the duplicate-name,
// prefix and suffix sheets) goes to the handler given to setConfigureConflictHandler.

#include "store/KQPreferences.h"

#include <QDialog>
#include <functional>

class KQBackupPaneCtrl;
class KQContactManager;
class QCheckBox;
class QComboBox;
class QListWidget;
class QPushButton;
class QTabWidget;

class KQPreferencesWndCtrl : public QDialog, public KQPreferencesDelegate
{
    Q_OBJECT
public:
    using ConfigureConflict = std::function<void(const KQConflictMetaPtr& meta, QWidget* window)>;

    explicit KQPreferencesWndCtrl(KQContactManager* manager, QWidget* parent = nullptr);
    ~KQPreferencesWndCtrl() override;

    // ---- the one place the problem-kind sheets plug in; without a handler the button stays hidden.
    void setConfigureConflictHandler(ConfigureConflict handler);

    KQBackupPaneCtrl* backupPane() const { return m_backup; }
    int activeTabIndex() const;
    void setActiveTabIndex(int index);
    bool selectAllFields() const;
    bool selectAllConflicts() const;
    void setSelectAllFields(bool on);
    void setSelectAllConflicts(bool on);
    // Reads every setting again (the window is shown again after changes elsewhere).
    void reloadSettings();

    void preferencesExportCustomFieldsConfigDidChanged(KQPreferences* preferences) override;
    void preferencesConflictsConfigDidChanged(KQPreferences* preferences) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QWidget* makeGeneralTab();
    QWidget* makeFieldsTab();
    QWidget* makeConflictsTab();
    void refreshFieldChecks();
    void refreshConflictChecks();
    void configureSelectedConflict();

    KQContactManager* m_manager;
    KQPreferences* m_preferences;
    QTabWidget* m_tabs;
    QComboBox* m_defaultAccount;
    QComboBox* m_addressFormat;
    QCheckBox* m_nameOrder;
    KQBackupPaneCtrl* m_backup;
    QListWidget* m_fields;
    QCheckBox* m_allFields;
    QListWidget* m_conflicts;
    QCheckBox* m_allConflicts;
    QPushButton* m_configure;
    ConfigureConflict m_configureConflict;
    bool m_settingAll = false;
    bool m_loading = false;
};
