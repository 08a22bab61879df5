#pragma once

#include <QDBusConnection>
#include <QObject>

namespace velmar::platform {

// The input method of the input context that has the keyboard focus.
class InputMethod {
public:
    virtual ~InputMethod() = default;
    // Opens (composing Japanese) or closes it, when an input method can be driven;
    // otherwise does nothing. Returns at once: the change is made when the service
    // answers, and nothing waits for it.
    virtual void setOpen(bool open) = 0;
};

// The fcitx5 daemon through its D-Bus controller on the session bus. The controller
// acts on the input context that last had the focus, so callers ask only while one
// of the program's own text areas holds it. A daemon that is not running is never
// started by a call: every call goes out without auto-start.
class Fcitx5InputMethod final : public QObject, public InputMethod {
    Q_OBJECT
public:
    explicit Fcitx5InputMethod(QDBusConnection bus = QDBusConnection::sessionBus(),
                               QObject* parent = nullptr);
    void setOpen(bool open) override;

private:
    void stateArrived(quint64 request, bool open, int state);

    QDBusConnection m_bus;
    // Only the newest request may act: an older answer arriving late must not undo it.
    quint64 m_lastRequest = 0;
};

} // namespace velmar::platform
