#pragma once
// The duplicate-name sheet: which name parts two contacts must share to count as a duplicate name.
// It edits one "Duplicate name" kind of the preferences' list; OK refuses when no part is chosen.

#include "app/windows/KQConflictCfgSheet.h"
#include "problems/KQConflictMetaDuplicateName.h"

#include <functional>

class QCheckBox;

class KQConflictDupNameCfgWndCtrl : public KQConflictCfgSheet
{
    Q_OBJECT
public:
    static KQConflictDupNameCfgWndCtrl* shareConflictDupNameCfgWndCtrl();

    const std::shared_ptr<KQConflictMetaDuplicateName>& conflictDupName() const { return m_kind; }
    void setConflictDupName(const std::shared_ptr<KQConflictMetaDuplicateName>& kind);

    // Opens window-modal on window with the kind's five switches. handler(true) after OK, when the
    // switches were written into the kind and the preferences' kind list was saved.
    void beginSheetForModalWindow(QWidget* window, std::function<void(bool)> handler);

    // The working switches.
    bool dupGivenName() const;
    bool dupFamilyName() const;
    bool dupMiddleName() const;
    bool dupNamePrefix() const;
    bool dupNameSuffix() const;
    bool dupFullName() const;
    void setDupFullName(bool on);

public Q_SLOTS:
    void okAction();
    void cancelAction();

protected:
    void reject() override { cancelAction(); }

private:
    explicit KQConflictDupNameCfgWndCtrl(QWidget* parent);
    void syncFullName();

    std::shared_ptr<KQConflictMetaDuplicateName> m_kind;
    QCheckBox* m_given;
    QCheckBox* m_family;
    QCheckBox* m_middle;
    QCheckBox* m_prefix;
    QCheckBox* m_suffix;
    QCheckBox* m_full;
};
