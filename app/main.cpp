#include "KQAccountsWindow.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Peoplekeeper"));
    QApplication::setOrganizationDomain(QStringLiteral("peoplekeeper.org"));
    QApplication::setOrganizationName(QStringLiteral("Peoplekeeper"));

    KQAccountsWindow window;
    window.show();
    return QApplication::exec();
}
