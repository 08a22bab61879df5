#include "platform/desktop_notifications.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

namespace velmar::platform {

namespace {

constexpr QLatin1String kService("org.freedesktop.Notifications");
constexpr QLatin1String kPath("/org/freedesktop/Notifications");
constexpr QLatin1String kInterface("org.freedesktop.Notifications");
constexpr int kTimeoutMs = 5000;
// What there is to have in a small burst: more waiting notifications than this are
// dropped while the service is still being asked about markup.
constexpr qsizetype kMaxWaiting = 16;

} // namespace

FreedesktopNotifications::FreedesktopNotifications(QDBusConnection bus, QObject* parent)
    : QObject(parent), m_bus(std::move(bus))
{
    if (m_bus.isConnected())
        m_bus.connect(QString(), kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                      SLOT(actionInvoked(quint32, QString)));
}

QString FreedesktopNotifications::bodyFor(const QString& text, bool serviceReadsMarkup)
{
    return serviceReadsMarkup ? text.toHtmlEscaped() : text;
}

void FreedesktopNotifications::show(const QString& summary, const QString& body, quint32 replaces,
                                    ShownHandler shown)
{
    if (!m_bus.isConnected())
        return;
    Request request{summary, body, replaces, std::move(shown)};
    if (m_markup == Markup::Read || m_markup == Markup::NotRead) {
        notify(request);
        return;
    }
    if (m_waiting.size() < kMaxWaiting)
        m_waiting.append(std::move(request));
    if (m_markup == Markup::Asking)
        return;
    m_markup = Markup::Asking;
    const QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface,
                                                             QStringLiteral("GetCapabilities"));
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, kTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher] {
        watcher->deleteLater();
        const QDBusPendingReply<QStringList> reply = *watcher;
        capabilitiesArrived(!reply.isError(), reply.isError() ? QStringList() : reply.value());
    });
}

void FreedesktopNotifications::capabilitiesArrived(bool known, const QStringList& capabilities)
{
    if (!known) {
        // No service answered: these are lost, the next notification asks again.
        m_markup = Markup::Unknown;
        m_waiting.clear();
        return;
    }
    m_markup =
        capabilities.contains(QStringLiteral("body-markup")) ? Markup::Read : Markup::NotRead;
    const QList<Request> waiting = std::exchange(m_waiting, {});
    for (const Request& request : waiting)
        notify(request);
}

void FreedesktopNotifications::notify(const Request& request)
{
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    // "default" is the action of a click on the notification itself.
    call << QCoreApplication::applicationName() << request.replaces << QStringLiteral("velmar")
         << request.summary << bodyFor(request.body, m_markup == Markup::Read)
         << QStringList{QStringLiteral("default"), QStringLiteral("開く")} << QVariantMap{} << -1;
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, kTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [watcher, shown = request.shown] {
        watcher->deleteLater();
        const QDBusPendingReply<quint32> reply = *watcher;
        if (!reply.isError() && shown)
            shown(reply.value());
    });
}

void FreedesktopNotifications::actionInvoked(quint32 id, const QString& actionKey)
{
    if (actionKey == u"default")
        reportClick(id);
}

} // namespace velmar::platform
