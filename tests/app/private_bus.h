#pragma once

// A D-Bus session bus of the test's own, with fake desktop services on it, so the
// D-Bus implementations run against something that answers without touching the
// machine's own bus.

#include <QDBusConnection>
#include <QDBusMessage>
#include <QMutex>
#include <QObject>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QThread>
#include <QVariantMap>
#include <atomic>

namespace velmar::testing {

class PrivateSessionBus {
public:
    PrivateSessionBus()
    {
        const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
        if (daemon.isEmpty())
            return;
        m_daemon.start(daemon, {QStringLiteral("--session"), QStringLiteral("--nofork"),
                                QStringLiteral("--print-address")});
        if (!m_daemon.waitForStarted(5000))
            return;
        while (!m_daemon.canReadLine() && m_daemon.waitForReadyRead(5000)) {
        }
        m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
    }
    ~PrivateSessionBus()
    {
        for (const QString& name : std::as_const(m_connections))
            QDBusConnection::disconnectFromBus(name);
        if (m_daemon.state() != QProcess::NotRunning) {
            m_daemon.kill();
            m_daemon.waitForFinished(5000);
        }
    }
    PrivateSessionBus(const PrivateSessionBus&) = delete;
    PrivateSessionBus& operator=(const PrivateSessionBus&) = delete;

    bool isRunning() const { return !m_address.isEmpty(); }
    // A new connection to the bus under `name`.
    QDBusConnection connect(const QString& name)
    {
        m_connections.append(name);
        return QDBusConnection::connectToBus(m_address, name);
    }

private:
    QProcess m_daemon;
    QString m_address;
    QStringList m_connections;
};

// The fcitx5 controller: State() 1 closed, 2 open.
class FakeFcitx5Controller final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.fcitx.Fcitx.Controller1")
public:
    std::atomic<int> state{1};
    std::atomic<int> calls{0};

public Q_SLOTS:
    int State() { return state; }
    void Activate()
    {
        state = 2;
        ++calls;
    }
    void Deactivate()
    {
        state = 1;
        ++calls;
    }
};

// The notification service: records Notify calls and can play a click.
class FakeNotificationServer final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    struct Shown {
        uint id = 0;
        QString summary;
        QString body;
        QStringList actions;
    };
    QList<Shown> shown() const
    {
        QMutexLocker lock(&m_mutex);
        return m_shown;
    }

public Q_SLOTS:
    uint Notify(const QString& /*application*/, uint replaces, const QString& /*icon*/,
                const QString& summary, const QString& body, const QStringList& actions,
                const QVariantMap& /*hints*/, int /*timeout*/)
    {
        QMutexLocker lock(&m_mutex);
        const uint id = replaces != 0 ? replaces : ++m_lastId;
        m_shown.append({id, summary, body, actions});
        return id;
    }

private:
    mutable QMutex m_mutex;
    QList<Shown> m_shown;
    uint m_lastId = 0;
};

// Runs both fake services on their own connection and thread, so a blocking call
// from the test's thread gets its answer.
class FakeDesktopServices {
public:
    explicit FakeDesktopServices(PrivateSessionBus& bus)
        : m_connection(bus.connect(QStringLiteral("fake-desktop-services")))
    {
        m_thread.start();
        fcitx.moveToThread(&m_thread);
        notifications.moveToThread(&m_thread);
        m_connection.registerObject(QStringLiteral("/controller"), &fcitx,
                                    QDBusConnection::ExportAllSlots);
        m_connection.registerService(QStringLiteral("org.fcitx.Fcitx5"));
        m_connection.registerObject(QStringLiteral("/org/freedesktop/Notifications"),
                                    &notifications, QDBusConnection::ExportAllSlots);
        m_connection.registerService(QStringLiteral("org.freedesktop.Notifications"));
    }
    ~FakeDesktopServices()
    {
        m_connection.unregisterObject(QStringLiteral("/controller"));
        m_connection.unregisterObject(QStringLiteral("/org/freedesktop/Notifications"));
        m_thread.quit();
        m_thread.wait();
    }
    FakeDesktopServices(const FakeDesktopServices&) = delete;
    FakeDesktopServices& operator=(const FakeDesktopServices&) = delete;

    // The user clicks the notification `id`.
    void click(uint id)
    {
        QDBusMessage signal = QDBusMessage::createSignal(
            QStringLiteral("/org/freedesktop/Notifications"),
            QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("ActionInvoked"));
        signal << id << QStringLiteral("default");
        m_connection.send(signal);
    }

    FakeFcitx5Controller fcitx;
    FakeNotificationServer notifications;

private:
    QDBusConnection m_connection;
    QThread m_thread;
};

} // namespace velmar::testing
