#include "app/windows/KQAppIcon.h"

QIcon KQAppIcon::icon()
{
    QIcon builtIn;
    for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
        builtIn.addFile(QStringLiteral(":/icons/hicolor/%1x%1/apps/%2.png").arg(size).arg(iconName()),
                        QSize(size, size));
    }
    return QIcon::fromTheme(iconName(), builtIn);
}

QIcon KQAppIcon::statusItemIcon()
{
    return icon();
}
