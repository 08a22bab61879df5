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
}

void TrayController::hideToTray(const QString& toolTip)
{
    m_inTray = true;
    if (!m_icon.isAvailable()) {
        m_window.showMinimized();
        return;
    }
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
