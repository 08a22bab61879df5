#pragma once

// Test doubles for the platform seams: no window blocks, no socket opens.

#include "platform/clipboard.h"
#include "platform/desktop_notifications.h"
#include "platform/input_method.h"
#include "platform/message_boxes.h"
#include "platform/tray_icon.h"
#include "platform/udp_endpoint.h"

#include <QList>
#include <QStringList>
#include <functional>

namespace velmar::platform {

class RecordingMessageBoxes final : public MessageBoxes {
public:
    struct Box {
        QString title;
        QString text;
    };
    void show(const QString& title, const QString& text) override { boxes.append({title, text}); }
    // Recorded like any box; the answer is `onAsk`'s when set (it runs while the box
    // would be open), else `answer`.
    bool ask(const QString& title, const QString& text, const QString& acceptText,
             const QString& rejectText) override
    {
        boxes.append({title, text});
        questions.append({acceptText, rejectText});
        return onAsk ? onAsk() : answer;
    }
    QStringList titles() const;
    QList<Box> boxes;
    QList<QStringList> questions;
    bool answer = false;
    std::function<bool()> onAsk;
};

class FakeClipboard final : public Clipboard {
public:
    bool hasText() const override { return m_hasText; }
    QString text() const override { return m_hasText ? m_text : QString(); }
    void clear() override
    {
        m_hasText = false;
        m_text.clear();
    }
    void setText(const QString& crlfText) override
    {
        m_hasText = true;
        m_text = crlfText;
        ++writes;
    }
    // Simulates another program putting an image (no text) on the clipboard.
    void setImage() { clear(); }
    int writes = 0;

private:
    bool m_hasText = false;
    QString m_text;
};

// A notification-area icon that records what it shows; click() delivers a click at
// once, as the real icon does from the event loop.
class FakeTrayIcon final : public TrayIcon {
public:
    bool isAvailable() const override { return available; }
    void show(const QIcon& icon, const QString& tip) override
    {
        shown = true;
        toolTip = tip;
        setIcon(icon);
    }
    void setIcon(const QIcon& icon) override { icons.append(icon.cacheKey()); }
    void hide() override { shown = false; }
    bool isShown() const override { return shown; }
    void setContextMenu(QMenu* contextMenu) override { menu = contextMenu; }
    void click(TrayClick click) { reportClick(click); }

    bool available = true;
    bool shown = false;
    QString toolTip;
    QMenu* menu = nullptr;
    // QIcon::cacheKey() of every icon set, in order.
    QList<qint64> icons;
};

// An input method whose open state a test sets and reads; `available` false plays a
// desktop without one. `changes` counts the switches that changed the state.
class FakeInputMethod final : public InputMethod {
public:
    void setOpen(bool value) override
    {
        ++requests;
        if (!available || open == value)
            return;
        open = value;
        ++changes;
    }
    bool available = true;
    bool open = false;
    int changes = 0;
    int requests = 0;
};

// Records notifications; click() plays the user clicking one.
class FakeNotifications final : public DesktopNotifications {
public:
    struct Shown {
        quint32 id = 0;
        QString summary;
        QString body;
    };
    void show(const QString& summary, const QString& body, quint32 replaces,
              ShownHandler onShown) override
    {
        if (!available)
            return;
        const quint32 id = replaces != 0 ? replaces : ++m_lastId;
        shown.append({id, summary, body});
        if (onShown)
            onShown(id);
    }
    void click(quint32 id) { reportClick(id); }
    bool available = true;
    QList<Shown> shown;

private:
    quint32 m_lastId = 0;
};

// A UDP endpoint that records what is sent and lets a test inject arrivals.
class FakeUdpEndpoint final : public UdpEndpoint {
    Q_OBJECT
public:
    struct Sent {
        QString host;
        quint16 port = 0;
        QByteArray data;
    };

    explicit FakeUdpEndpoint(QString localIp = QStringLiteral("10.77.0.1"),
                             QString hostName = QStringLiteral("PC01"), QObject* parent = nullptr);

    bool bind(quint16 port) override;
    quint16 localPort() const override { return m_port; }
    QString localIp() const override { return m_localIp; }
    QString hostName() const override { return m_hostName; }
    SendResult send(const QString& host, quint16 port, const QByteArray& data) override;
    void close() override { closed = true; }

    // Delivers a datagram as if it had arrived from ip:port.
    void inject(const QByteArray& data, const QString& senderIp, quint16 senderPort);

    QList<Sent> sent;
    bool closed = false;
    // Hosts to which sending fails (with error 10065 "host unreachable").
    QStringList failingHosts;
    bool failBind = false;
    // Ports another program holds: binding them fails.
    QList<quint16> busyPorts;

private:
    QString m_localIp;
    QString m_hostName;
    quint16 m_port = 0;
};

} // namespace velmar::platform
