#pragma once
// The tray icon with the contacts popup. Where the desktop has no tray (some desktops, Xvfb) the
// popup opens from the main window's Window menu instead. While a modal window is up, clicks on the
// icon do nothing.

#include <QObject>
#include <QPointer>

class KQContactManager;
class KQMainWindow;
class KQPopContactsViewCtrl;
class QSystemTrayIcon;

class KQStatusItemCtrl : public QObject
{
    Q_OBJECT
public:
    KQStatusItemCtrl(KQContactManager* manager, KQMainWindow* window, QObject* parent = nullptr);
    ~KQStatusItemCtrl() override;

    bool hasTray() const { return m_tray != nullptr; }
    KQPopContactsViewCtrl* popover() const { return m_popover; }
    // Shows the popup under the tray icon, or at the main window's top-right corner.
    void showPopover();
    // The icon takes clicks only while no modal window is up.
    bool statusItemEnabled() const;

private:
    KQContactManager* m_manager;
    QPointer<KQMainWindow> m_window;
    QSystemTrayIcon* m_tray = nullptr;
    KQPopContactsViewCtrl* m_popover;
};
