#pragma once

#include <QDBusConnection>
#include <QList>
#include <QObject>
#include <QString>
#include <functional>

namespace velmar::platform {

// Pop-up notifications of the desktop. Their texts are plain text: whatever they hold
// (a peer's "<b>", "&" or a link) is shown as it is, never read as markup.
class DesktopNotifications {
public:
    using ClickHandler = std::function<void(quint32 id)>;
    using ShownHandler = std::function<void(quint32 id)>;

    virtual ~DesktopNotifications() = default;
    // Shows a notification, replacing the one with `replaces` when it is not 0.
    // Returns at once; `shown` gets the notification's id once the service has shown
    // it, and is never called when no notification service runs.
    virtual void show(const QString& summary, const QString& body, quint32 replaces,
                      ShownHandler shown) = 0;
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
// session bus. No call waits for the service: the window's thread goes on while it
// answers, or while it hangs.
class FreedesktopNotifications final : public QObject, public DesktopNotifications {
    Q_OBJECT
public:
    explicit FreedesktopNotifications(QDBusConnection bus = QDBusConnection::sessionBus(),
                                      QObject* parent = nullptr);
    void show(const QString& summary, const QString& body, quint32 replaces,
              ShownHandler shown) override;

    // The body as the service must get it to show `text` as it is: escaped where the
    // service reads markup, unchanged where it does not.
    static QString bodyFor(const QString& text, bool serviceReadsMarkup);

private Q_SLOTS:
    void actionInvoked(quint32 id, const QString& actionKey);

private:
    struct Request {
        QString summary;
        QString body;
        quint32 replaces = 0;
        ShownHandler shown;
    };
    enum class Markup { Unknown, Asking, Read, NotRead };

    void capabilitiesArrived(bool known, const QStringList& capabilities);
    void notify(const Request& request);

    QDBusConnection m_bus;
    Markup m_markup = Markup::Unknown;
    // Notifications waiting for the service to say whether it reads markup.
    QList<Request> m_waiting;
};

} // namespace velmar::platform
