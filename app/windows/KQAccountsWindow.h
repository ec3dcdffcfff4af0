#pragma once

#include <QMainWindow>

class QTreeWidget;

// The store's accounts with the number of contacts in each; refreshed when the store changes.
class KQAccountsWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit KQAccountsWindow(QWidget* parent = nullptr);

    void reload();

private:
    QTreeWidget* m_accounts;
};
