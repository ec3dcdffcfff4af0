#include "app/windows/KQAboutWndCtr.h"

#include "app/windows/KQAppIcon.h"
#include "app/windows/KQMainWindowMenus.h"

#include <QApplication>
#include <QDesktopServices>
#include <QLabel>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

QString KQAboutWndCtr::versionText()
{
    return QStringLiteral("Version %1").arg(QApplication::applicationVersion());
}

QString KQAboutWndCtr::copyrightText()
{
    return QStringLiteral(
        "Copyright \u00a9 2026 the Peoplekeeper developers. Free software under the GPL-3.0-or-later.");
}

KQAboutWndCtr::KQAboutWndCtr(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("aboutWindow"));
    setWindowTitle(QStringLiteral("About Peoplekeeper"));
    auto* icon = new QLabel(this);
    icon->setPixmap(KQAppIcon::icon().pixmap(96, 96));
    icon->setAlignment(Qt::AlignCenter);
    auto* name = new QLabel(QStringLiteral("Peoplekeeper"), this);
    QFont big = name->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    name->setFont(big);
    name->setAlignment(Qt::AlignCenter);
    auto* version = new QLabel(versionText(), this);
    version->setObjectName(QStringLiteral("aboutVersion"));
    version->setAlignment(Qt::AlignCenter);
    auto* copyright = new QLabel(copyrightText(), this);
    copyright->setWordWrap(true);
    copyright->setAlignment(Qt::AlignCenter);
    auto* more = new QPushButton(QStringLiteral("More Info..."), this);
    more->setObjectName(QStringLiteral("aboutMoreInfo"));
    connect(more, &QPushButton::clicked, this,
            [] { QDesktopServices::openUrl(QUrl(KQMainWindowMenus::productPageURL())); });
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 24, 24, 20);
    layout->addWidget(icon);
    layout->addWidget(name);
    layout->addWidget(version);
    layout->addSpacing(8);
    layout->addWidget(copyright);
    layout->addSpacing(8);
    layout->addWidget(more, 0, Qt::AlignCenter);
    setFixedWidth(360);
}
