#include "platform/tray_icon.h"

#include <QSystemTrayIcon>

namespace velmar::platform {

QtTrayIcon::QtTrayIcon(QObject* parent) : QObject(parent), m_icon(new QSystemTrayIcon(this))
{
    connect(m_icon, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                TrayClick click;
                if (reason == QSystemTrayIcon::Trigger)
                    click = TrayClick::Left;
                else if (reason == QSystemTrayIcon::Context)
                    click = TrayClick::Right;
                else
                    return;
                // The activation arrives from inside the icon's own mouse-event
                // handling. Hiding the icon there deletes the window that is still
                // delivering the event, so the handler runs from the event loop.
                QMetaObject::invokeMethod(
                    this, [this, click] { reportClick(click); }, Qt::QueuedConnection);
            });
}

QtTrayIcon::~QtTrayIcon() = default;

bool QtTrayIcon::isAvailable() const
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void QtTrayIcon::show(const QIcon& icon, const QString& toolTip)
{
    m_icon->setIcon(icon);
    m_icon->setToolTip(toolTip);
    m_icon->show();
}

void QtTrayIcon::setIcon(const QIcon& icon)
{
    m_icon->setIcon(icon);
}

void QtTrayIcon::hide()
{
    m_icon->hide();
}

bool QtTrayIcon::isShown() const
{
    return m_icon->isVisible();
}

} // namespace velmar::platform
