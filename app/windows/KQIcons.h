#pragma once
// Icons of the windows: the desktop theme's icon of a name, or the bundled picture of the same name.

#include <QIcon>
#include <QImage>

namespace KQIcons {
// themeName is a freedesktop icon name; the bundled fallback is ":/icons/<themeName>.png".
QIcon icon(const QString& themeName);
// The picture shown for a contact without one.
QImage faceDefault();
} // namespace KQIcons
