#include "platform/input_method.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace velmar::platform {

namespace {

constexpr QLatin1String kService("org.fcitx.Fcitx5");
constexpr QLatin1String kPath("/controller");
constexpr QLatin1String kInterface("org.fcitx.Fcitx.Controller1");
// A daemon that hangs gets no second chance at this request.
constexpr int kTimeoutMs = 2000;

// The controller's State(): 0 no input context, 1 closed, 2 open.
constexpr int kStateClosed = 1;
constexpr int kStateOpen = 2;

QDBusMessage controllerCall(const QString& method)
{
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
    // Asking a framework that does not run must not launch it.
    call.setAutoStartService(false);
    return call;
}

} // namespace

Fcitx5InputMethod::Fcitx5InputMethod(QDBusConnection bus, QObject* parent)
    : QObject(parent), m_bus(std::move(bus))
{
}

void Fcitx5InputMethod::setOpen(bool open)
{
    if (!m_bus.isConnected())
        return;
    const quint64 request = ++m_lastRequest;
    auto* watcher = new QDBusPendingCallWatcher(
        m_bus.asyncCall(controllerCall(QStringLiteral("State")), kTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, request, open] {
        watcher->deleteLater();
        const QDBusPendingReply<int> reply = *watcher;
        if (!reply.isError())
            stateArrived(request, open, reply.value());
    });
}

void Fcitx5InputMethod::stateArrived(quint64 request, bool open, int state)
{
    if (request != m_lastRequest)
        return;
    if (state != kStateClosed && state != kStateOpen)
        return; // no input context has the focus: nothing of ours to switch
    if ((state == kStateOpen) == open)
        return;
    // No answer is awaited: the next State() sees the change either way.
    m_bus.send(controllerCall(open ? QStringLiteral("Activate") : QStringLiteral("Deactivate")));
}

} // namespace velmar::platform
