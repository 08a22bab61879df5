#pragma once

// A D-Bus session bus of the test's own, with fake desktop services on it, so the
// D-Bus implementations run against something that answers without touching the
// machine's own bus.

#include <QDBusConnection>
#include <QDBusMessage>
#include <QFile>
#include <QMutex>
#include <QObject>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>
#include <QVariantMap>
#include <atomic>

namespace velmar::testing {

class PrivateSessionBus {
public:
    // `serviceFolder`, when given, is where the bus finds the services it may start on
    // demand (D-Bus activation); otherwise it can start none.
    explicit PrivateSessionBus(const QString& serviceFolder = QString())
    {
        const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
        if (daemon.isEmpty() || !m_folder.isValid())
            return;
        const QString config = m_folder.filePath(QStringLiteral("bus.conf"));
        QFile file(config);
        if (!file.open(QIODevice::WriteOnly))
            return;
        file.write(QStringLiteral("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus "
                                  "Configuration 1.0//EN\" "
                                  "\"http://www.freedesktop.org/standards/dbus/1.0/"
                                  "busconfig.dtd\">\n<busconfig><type>session</type>"
                                  "<listen>unix:dir=%1</listen><auth>EXTERNAL</auth>%2"
                                  "<policy context=\"default\"><allow send_destination=\"*\" "
                                  "eavesdrop=\"true\"/><allow eavesdrop=\"true\"/>"
                                  "<allow own=\"*\"/></policy></busconfig>\n")
                       .arg(m_folder.path(),
                            serviceFolder.isEmpty()
                                ? QString()
                                : QStringLiteral("<servicedir>%1</servicedir>").arg(serviceFolder))
                       .toUtf8());
        file.close();
        m_daemon.start(daemon, {QStringLiteral("--config-file=") + config,
                                QStringLiteral("--nofork"), QStringLiteral("--print-address")});
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
    const QString& address() const { return m_address; }
    // A new connection to the bus under `name`.
    QDBusConnection connect(const QString& name)
    {
        m_connections.append(name);
        return QDBusConnection::connectToBus(m_address, name);
    }

private:
    QTemporaryDir m_folder;
    QProcess m_daemon;
    QString m_address;
    QStringList m_connections;
};

// The fcitx5 controller: State() 0 when no input context has had the focus, 1 closed,
// 2 open; Activate() and Deactivate() act on that context and on none without it.
class FakeFcitx5Controller final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.fcitx.Fcitx.Controller1")
public:
    std::atomic<int> state{1};
    std::atomic<int> calls{0};
    // A daemon that hangs: State() answers only after this long.
    std::atomic<int> delayMs{0};

public Q_SLOTS:
    int State()
    {
        if (delayMs > 0)
            QThread::msleep(delayMs);
        return state;
    }
    void Activate()
    {
        ++calls;
        if (state != 0)
            state = 2;
    }
    void Deactivate()
    {
        ++calls;
        if (state != 0)
            state = 1;
    }
};

// The notification service: records Notify calls and can play a click. It reads
// markup when `markup` is set, and answers Notify only after `delayMs`.
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
    std::atomic<bool> markup{true};
    std::atomic<int> delayMs{0};

public Q_SLOTS:
    QStringList GetCapabilities()
    {
        QStringList capabilities{QStringLiteral("body"), QStringLiteral("actions")};
        if (markup)
            capabilities << QStringLiteral("body-markup");
        return capabilities;
    }
    uint Notify(const QString& /*application*/, uint replaces, const QString& /*icon*/,
                const QString& summary, const QString& body, const QStringList& actions,
                const QVariantMap& /*hints*/, int /*timeout*/)
    {
        if (delayMs > 0)
            QThread::msleep(delayMs);
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
