#include "platform/desktop_notifications.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QVariantMap>

namespace velmar::platform {

namespace {

constexpr QLatin1String kService("org.freedesktop.Notifications");
constexpr QLatin1String kPath("/org/freedesktop/Notifications");
constexpr QLatin1String kInterface("org.freedesktop.Notifications");
constexpr int kTimeoutMs = 1000;

} // namespace

FreedesktopNotifications::FreedesktopNotifications(QDBusConnection bus, QObject* parent)
    : QObject(parent), m_bus(std::move(bus))
{
    if (m_bus.isConnected())
        m_bus.connect(QString(), kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                      SLOT(actionInvoked(quint32, QString)));
}

quint32 FreedesktopNotifications::show(const QString& summary, const QString& body,
                                       quint32 replaces)
{
    if (!m_bus.isConnected())
        return 0;
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    // "default" is the action of a click on the notification itself.
    call << QCoreApplication::applicationName() << replaces << QStringLiteral("velmar") << summary
         << body << QStringList{QStringLiteral("default"), QStringLiteral("開く")} << QVariantMap{}
         << -1;
    const QDBusMessage reply = m_bus.call(call, QDBus::Block, kTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return 0;
    return reply.arguments().constFirst().toUInt();
}

void FreedesktopNotifications::actionInvoked(quint32 id, const QString& actionKey)
{
    if (actionKey == u"default")
        reportClick(id);
}

} // namespace velmar::platform
