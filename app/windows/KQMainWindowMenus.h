#pragma once
// The main window's menu bar: File, Edit, Contact, View, Window and Help. Items are enabled by the
// state of the panes each time their menu opens.

#include <QKeySequence>
#include <QObject>
#include <functional>

class KQMainWindow;
class QAction;
class QMenu;

class KQMainWindowMenus : public QObject
{
    Q_OBJECT
public:
    explicit KQMainWindowMenus(KQMainWindow* window);

    // The Window menu's entry for the contacts popup (the tray's popup where there is no tray).
    void setContactsPopupOpener(std::function<void()> opener) { m_openPopup = std::move(opener); }
    void setAboutOpener(std::function<void()> opener) { m_openAbout = std::move(opener); }
    // The help pages and the log folder.
    static QString helpPageURL();
    static QString productPageURL();

    QAction* action(const QString& objectName) const;

private:
    QAction* add(QMenu* menu, const QString& title, const QString& name, std::function<void()> run,
                 const QKeySequence& shortcut = {});
    void updateContactMenu();
    void updateContactEnabling();
    void updateEditMenu();

    KQMainWindow* m_window;
    QMenu* m_contactMenu;
    QMenu* m_editMenu;
    QMenu* m_moveTo = nullptr;
    QMenu* m_tagsMenu = nullptr;
    std::function<void()> m_openPopup;
    std::function<void()> m_openAbout;
};
