#pragma once

#include <QDBusConnection>
#include <optional>

namespace velmar::platform {

// The input method serving the program's focused window.
class InputMethod {
public:
    virtual ~InputMethod() = default;
    // Whether it is open (composing Japanese); nothing when no input method can be
    // driven, in which case setOpen() does nothing either.
    virtual std::optional<bool> isOpen() const = 0;
    virtual void setOpen(bool open) = 0;
};

// The fcitx5 daemon through its D-Bus controller on the session bus. It acts on the
// input context that has the focus, which is the program's active text window when
// the program asks.
class Fcitx5InputMethod final : public InputMethod {
public:
    explicit Fcitx5InputMethod(QDBusConnection bus = QDBusConnection::sessionBus());
    std::optional<bool> isOpen() const override;
    void setOpen(bool open) override;

private:
    QDBusConnection m_bus;
};

} // namespace velmar::platform
