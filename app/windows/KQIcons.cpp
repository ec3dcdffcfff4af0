#include "app/windows/KQIcons.h"

QIcon KQIcons::icon(const QString& themeName)
{
    const QIcon bundled(QStringLiteral(":/icons/%1.png").arg(themeName));
    return QIcon::fromTheme(themeName, bundled);
}

QImage KQIcons::faceDefault()
{
    return QImage(QStringLiteral(":/icons/faceDefault.png"));
}
