#pragma once
// Every alert of the windows goes through here: a window-modal message box by default, a scripted
// answer in tests. The answer is the index of the button pressed (-1 when the box was closed).

#include <QMessageBox>
#include <QStringList>
#include <functional>

class QWidget;

struct KQWindowAlert
{
    QMessageBox::Icon icon = QMessageBox::Warning;
    QString message;
    QString informativeText;
    QStringList buttons;
};

class KQAlerts
{
public:
    using Presenter = std::function<int(QWidget* window, const KQWindowAlert& alert)>;

    static int run(QWidget* window, const KQWindowAlert& alert);
    // An empty presenter restores the message box.
    static void setPresenter(Presenter presenter);
    static int messageBox(QWidget* window, const KQWindowAlert& alert);
};
