#include "app/windows/KQStatusItemCtrl.h"

#include "app/windows/KQAppIcon.h"
#include "app/windows/KQContactsViewController.h"
#include "app/windows/KQMainWindow.h"
#include "app/windows/KQPopContactsViewCtrl.h"

#include <QApplication>
#include <QSystemTrayIcon>

KQStatusItemCtrl::KQStatusItemCtrl(KQContactManager* manager, KQMainWindow* window, QObject* parent)
    : QObject(parent), m_manager(manager), m_window(window), m_popover(new KQPopContactsViewCtrl(manager))
{
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        m_tray = new QSystemTrayIcon(KQAppIcon::statusItemIcon(), this);
        m_tray->setToolTip(QStringLiteral("Peoplekeeper"));
        connect(m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
            if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
                showPopover();
        });
        m_tray->show();
    }
    QPointer<KQMainWindow> target = m_window;
    connect(m_popover, &KQPopContactsViewCtrl::contactActivated, this, [target](const KQContactHelperPtr& contact) {
        if (target)
            target->showContact(contact);
    });
    connect(m_popover, &KQPopContactsViewCtrl::showMainWindowRequested, this, [target] {
        if (target)
            target->showContact(nullptr);
    });
    connect(m_popover, &KQPopContactsViewCtrl::addContactRequested, this, [target] {
        if (!target)
            return;
        target->showContact(nullptr);
        target->contactsViewController()->newPersonInCurrentGroup();
    });
}

KQStatusItemCtrl::~KQStatusItemCtrl()
{
    delete m_popover;
}

bool KQStatusItemCtrl::statusItemEnabled() const
{
    return QApplication::activeModalWidget() == nullptr;
}

void KQStatusItemCtrl::showPopover()
{
    if (!statusItemEnabled())
        return;
    QPoint anchor;
    if (m_tray != nullptr && m_tray->geometry().isValid()) {
        const QRect icon = m_tray->geometry();
        anchor = QPoint(icon.right(), icon.bottom() + 4);
    } else if (m_window && m_window->isVisible()) {
        const QRect frame = m_window->frameGeometry();
        anchor = QPoint(frame.right() - 8, frame.top() + 60);
    } else {
        anchor = QCursor::pos();
    }
    m_popover->popupAt(anchor);
}
