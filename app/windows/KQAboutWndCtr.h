#pragma once
// The About window: product name, version and copyright, and a button to the product's page.

#include <QDialog>

class KQAboutWndCtr : public QDialog
{
    Q_OBJECT
public:
    explicit KQAboutWndCtr(QWidget* parent = nullptr);
    static QString versionText();
    static QString copyrightText();
};
