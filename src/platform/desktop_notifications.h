#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <functional>

namespace velmar::platform {

// Pop-up notifications of the desktop.
class DesktopNotifications {
public:
    using ClickHandler = std::function<void(quint32 id)>;

    virtual ~DesktopNotifications() = default;
    // Shows a notification, replacing the one with `replaces` when it is not 0.
    // Returns its id; 0 when no notification service runs (nothing is shown then).
    virtual quint32 show(const QString& summary, const QString& body, quint32 replaces) = 0;
    // Called when the user clicks the notification with this id.
    void setClickHandler(ClickHandler handler) { m_clickHandler = std::move(handler); }

protected:
    void reportClick(quint32 id) const
    {
        if (m_clickHandler)
            m_clickHandler(id);
    }

private:
    ClickHandler m_clickHandler;
};

// The freedesktop notification service (org.freedesktop.Notifications) on the
// session bus.
class FreedesktopNotifications final : public QObject, public DesktopNotifications {
    Q_OBJECT
public:
    explicit FreedesktopNotifications(QDBusConnection bus = QDBusConnection::sessionBus(),
                                      QObject* parent = nullptr);
    quint32 show(const QString& summary, const QString& body, quint32 replaces) override;

private Q_SLOTS:
    void actionInvoked(quint32 id, const QString& actionKey);

private:
    QDBusConnection m_bus;
};

} // namespace velmar::platform
