#include "app/windows/KQAlerts.h"

#include <QPushButton>

namespace {

KQAlerts::Presenter& presenter()
{
    static KQAlerts::Presenter current;
    return current;
}

} // namespace

int KQAlerts::run(QWidget* window, const KQWindowAlert& alert)
{
    if (presenter())
        return presenter()(window, alert);
    return messageBox(window, alert);
}

void KQAlerts::setPresenter(Presenter next)
{
    presenter() = std::move(next);
}

int KQAlerts::messageBox(QWidget* window, const KQWindowAlert& alert)
{
    QMessageBox box(window);
    box.setIcon(alert.icon);
    box.setWindowTitle(QStringLiteral("Peoplekeeper"));
    box.setText(alert.message);
    box.setInformativeText(alert.informativeText);
    QList<QPushButton*> buttons;
    const QStringList titles = alert.buttons.isEmpty() ? QStringList{QStringLiteral("OK")} : alert.buttons;
    for (const QString& title : titles) {
        const bool cancel = title == QStringLiteral("Cancel");
        buttons.append(box.addButton(title, cancel ? QMessageBox::RejectRole : QMessageBox::AcceptRole));
    }
    box.setDefaultButton(buttons.front());
    box.exec();
    return static_cast<int>(buttons.indexOf(qobject_cast<QPushButton*>(box.clickedButton())));
}
