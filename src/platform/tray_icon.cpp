#include "platform/tray_icon.h"

#include <QApplication>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QWidget>
#include <algorithm>

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
    // A StatusNotifierItem host reads the menu when the icon registers.
    m_icon->setContextMenu(m_menu);
    m_icon->show();
    offerMenu();
}

void QtTrayIcon::setContextMenu(QMenu* menu)
{
    m_menu = menu;
    if (m_icon->isVisible()) {
        m_icon->setContextMenu(m_menu);
        offerMenu();
    }
}

bool QtTrayIcon::isEmbedded() const
{
    // Qt's XEmbed icon is a top-level widget of its own; the StatusNotifierItem path
    // has none.
    const QList<QWidget*> windows = QApplication::topLevelWidgets();
    return std::any_of(windows.cbegin(), windows.cend(), [](const QWidget* widget) {
        return widget->inherits("QSystemTrayIconSys");
    });
}

void QtTrayIcon::offerMenu()
{
    // In an XEmbed tray Qt would open the menu on the right click and report the click
    // as well; there the right click keeps its own meaning.
    if (isEmbedded())
        m_icon->setContextMenu(nullptr);
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
