#pragma once
// The program's icon, from the installed icon theme when there is one, else built in.

#include <QIcon>

class KQAppIcon
{
public:
    static QString iconName() { return QStringLiteral("org.peoplekeeper.Peoplekeeper"); }
    static QIcon icon();
    // The tray's "statusItemIcon".
    static QIcon statusItemIcon();
};
