#pragma once
// The allowed prefixes or suffixes sheet: the list of one "Unusual prefix" or "Unusual suffix"
// kind, edited as text with the entries separated by commas (taken exactly as typed: spaces stay,
// empty pieces are empty entries), and reset to the defaults. Cancel puts the list back.

#include "app/windows/KQConflictCfgSheet.h"
#include "problems/KQConflictMetaPrefix.h"

#include <functional>

class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QLabel;

class KQConflictPrefixCfgWndCtrl : public KQConflictCfgSheet
{
    Q_OBJECT
public:
    static KQConflictPrefixCfgWndCtrl* sharedConflictPrefixCfgWndCtrl();

    const std::shared_ptr<KQConflictMetaPrefix>& conflictPrefix() const { return m_kind; }
    void setConflictPrefix(const std::shared_ptr<KQConflictMetaPrefix>& kind);
    QString title() const;
    bool editable() const { return m_editable; }
    bool edited() const { return m_edited; }

    // Opens window-modal on window; handler(true) after OK with a changed list, which was saved.
    void beginSheetForModalWindow(QWidget* window, std::function<void(bool)> handler);

public Q_SLOTS:
    // "Edit" makes the text editable; "Done" splits it at every comma into the new list.
    void editAction();
    void resetPrefix();
    void okAction();
    void cancelOperation();

protected:
    void reject() override { cancelOperation(); }

private:
    explicit KQConflictPrefixCfgWndCtrl(QWidget* parent);
    void refresh();

    std::shared_ptr<KQConflictMetaPrefix> m_kind;
    QStringList m_backup;
    bool m_editable = false;
    bool m_edited = false;
    QLabel* m_title;
    QListWidget* m_list;
    QPlainTextEdit* m_text;
    QPushButton* m_edit;
};
