#pragma once

#include "platform/tray_icon.h"

#include <QIcon>
#include <QMenu>
#include <QObject>
#include <QTimer>

class QWidget;

namespace velmar::app {

// What the main window does when it leaves the notification area.
enum class AfterTray { ShowWindow, KeepHidden };

// The main window's life in the notification area: hiding to the icon, coming back
// and the icon blinking while a message waits. The icon alternates every 500 ms
// between the program's icon and the message icon, starting with the program's.
// Where the desktop has no notification area there is no such life: hiding only
// minimises, and nothing of the tray's state is kept.
class TrayController final : public QObject {
    Q_OBJECT
public:
    TrayController(platform::TrayIcon& icon, QWidget& window, QIcon programIcon, QIcon messageIcon);
    ~TrayController() override;

    bool inTray() const { return m_inTray; }
    bool messageWaiting() const { return m_messageWaiting; }
    bool isBlinking() const { return m_blinkTimer.isActive(); }
    const QIcon& programIcon() const { return m_programIcon; }
    const QIcon& messageIcon() const { return m_messageIcon; }
    // The icon's context menu: what the clicks do, and 終了.
    QMenu& contextMenu() { return m_menu; }

    // Hides the window behind the icon, or only minimises it where the desktop has no
    // notification area.
    void hideToTray(const QString& toolTip);
    // Removes the icon and stops the blinking.
    void leaveTray(AfterTray after);
    // A message arrived while the window was in the notification area.
    void startBlinking();
    // One step of the blinking (the timer's tick).
    void blink();

Q_SIGNALS:
    void clicked(platform::TrayClick click);
    // 終了 chosen in the icon's context menu.
    void quitRequested();

private:
    platform::TrayIcon& m_icon;
    QWidget& m_window;
    QIcon m_programIcon;
    QIcon m_messageIcon;
    QMenu m_menu;
    QTimer m_blinkTimer;
    bool m_showMessageIconNext = false;
    bool m_inTray = false;
    bool m_messageWaiting = false;
};

} // namespace velmar::app
