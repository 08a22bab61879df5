#include "platform/input_method.h"

#include <QDBusMessage>

namespace velmar::platform {

namespace {

constexpr QLatin1String kService("org.fcitx.Fcitx5");
constexpr QLatin1String kPath("/controller");
constexpr QLatin1String kInterface("org.fcitx.Fcitx.Controller1");
// A daemon that hangs must not freeze the window it is asked about.
constexpr int kTimeoutMs = 500;

// The controller's State(): 0 no input context, 1 closed, 2 open.
constexpr int kStateOpen = 2;
constexpr int kStateClosed = 1;

} // namespace

Fcitx5InputMethod::Fcitx5InputMethod(QDBusConnection bus) : m_bus(std::move(bus)) {}

std::optional<bool> Fcitx5InputMethod::isOpen() const
{
    if (!m_bus.isConnected())
        return std::nullopt;
    const QDBusMessage reply = m_bus.call(
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("State")),
        QDBus::Block, kTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return std::nullopt;
    const int state = reply.arguments().constFirst().toInt();
    if (state == kStateOpen)
        return true;
    if (state == kStateClosed)
        return false;
    return std::nullopt;
}

void Fcitx5InputMethod::setOpen(bool open)
{
    if (!m_bus.isConnected())
        return;
    // No reply is awaited: the next State() sees the change either way.
    m_bus.call(QDBusMessage::createMethodCall(kService, kPath, kInterface,
                                              open ? QStringLiteral("Activate")
                                                   : QStringLiteral("Deactivate")),
               QDBus::NoBlock);
}

} // namespace velmar::platform
