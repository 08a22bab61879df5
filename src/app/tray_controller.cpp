#include "app/tray_controller.h"

#include <QWidget>

namespace velmar::app {

TrayController::TrayController(platform::TrayIcon& icon, QWidget& window, QIcon programIcon,
                               QIcon messageIcon)
    : m_icon(icon), m_window(window), m_programIcon(std::move(programIcon)),
      m_messageIcon(std::move(messageIcon))
{
    m_blinkTimer.setInterval(500);
    connect(&m_blinkTimer, &QTimer::timeout, this, &TrayController::blink);
    m_icon.setClickHandler([this](platform::TrayClick click) { Q_EMIT clicked(click); });
    // Hosts that keep the right click for a menu reach every action of the icon here.
    m_menu.setObjectName(QStringLiteral("TrayMenu"));
    m_menu.addAction(QStringLiteral("表示(&S)"), this,
                     [this] { Q_EMIT clicked(platform::TrayClick::Left); });
    m_menu.addAction(QStringLiteral("レス付けてコピー(&R)"), this,
                     [this] { Q_EMIT clicked(platform::TrayClick::Right); });
    m_menu.addSeparator();
    m_menu.addAction(QStringLiteral("終了(&X)"), this, [this] { Q_EMIT quitRequested(); });
    m_icon.setContextMenu(&m_menu);
}

TrayController::~TrayController()
{
    m_icon.setContextMenu(nullptr);
}

void TrayController::hideToTray(const QString& toolTip)
{
    if (!m_icon.isAvailable()) {
        m_window.showMinimized();
        return;
    }
    m_inTray = true;
    m_window.hide();
    m_icon.show(m_programIcon, toolTip);
}

void TrayController::leaveTray(AfterTray after)
{
    m_inTray = false;
    m_messageWaiting = false;
    m_blinkTimer.stop();
    m_showMessageIconNext = false;
    if (after == AfterTray::KeepHidden)
        m_window.hide();
    else if (m_window.isMinimized())
        m_window.showNormal();
    else
        m_window.show();
    m_icon.hide();
}

void TrayController::startBlinking()
{
    if (!m_inTray)
        return; // the window is in sight (or only minimised): nothing to blink
    m_messageWaiting = true;
    m_showMessageIconNext = false;
    m_blinkTimer.start();
}

void TrayController::blink()
{
    if (!m_messageWaiting) {
        m_blinkTimer.stop();
        m_showMessageIconNext = false;
        return;
    }
    if (m_icon.isAvailable())
        m_window.hide();
    m_icon.setIcon(m_showMessageIconNext ? m_messageIcon : m_programIcon);
    m_showMessageIconNext = !m_showMessageIconNext;
}

} // namespace velmar::app
