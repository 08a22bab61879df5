#include "app/tray_icon.h"

#include <QSystemTrayIcon>

namespace velmar::app {

TrayIcon::TrayIcon(QObject* parent) : QObject(parent), m_icon(new QSystemTrayIcon(this))
{
    connect(m_icon, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger)
                    Q_EMIT clicked(false);
                else if (reason == QSystemTrayIcon::Context)
                    Q_EMIT clicked(true);
            });
}

TrayIcon::~TrayIcon() = default;

bool TrayIcon::isAvailable()
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void TrayIcon::add(const QIcon& icon, const QString& tip)
{
    m_icon->setIcon(icon);
    m_icon->setToolTip(tip);
    m_icon->show();
}

void TrayIcon::modify(const QIcon& icon)
{
    m_icon->setIcon(icon);
}

void TrayIcon::remove()
{
    m_icon->hide();
}

bool TrayIcon::isShown() const
{
    return m_icon->isVisible();
}

} // namespace velmar::app
