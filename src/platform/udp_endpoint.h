#pragma once

#include "platform/host_resolver.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QHostAddress>
#include <QObject>
#include <QQueue>
#include <QString>
#include <memory>

class QTimer;
class QUdpSocket;

namespace velmar::platform {

// One datagram as it arrived, with the sender's address.
struct Datagram {
    QByteArray data;
    QString senderIp;
    quint16 senderPort = 0;
};

// Outcome of handing one datagram to the socket layer.
struct SendResult {
    bool ok = true;
    int errorCode = 0;
    QString errorText;
    // Not sent because the host name is still being looked up: nothing is known
    // to be wrong, so callers need not report it.
    bool hostPending = false;
};

// The program's single UDP endpoint ("Winsock1"). Broadcast capable; all traffic
// goes through it. Implementations: a QUdpSocket one and a fake for tests.
class UdpEndpoint : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~UdpEndpoint() override = default;

    // Binds to `port` on every IPv4 address. On failure the endpoint stays
    // unbound; the first send reports the error.
    virtual bool bind(quint16 port) = 0;
    virtual quint16 localPort() const = 0;
    // The first up, non-loopback IPv4 address of the machine ("" when none).
    virtual QString localIp() const = 0;
    virtual QString hostName() const = 0;
    // Sends one datagram to `host` (dotted address or host name) and `port`. Never
    // waits for a name look-up: a name without a known address is not sent.
    virtual SendResult send(const QString& host, quint16 port, const QByteArray& data) = 0;
    virtual void close() = 0;

Q_SIGNALS:
    void datagramArrived(const velmar::platform::Datagram& datagram);
};

// Host names are looked up on threads that bind() starts (ThreadHostResolver) and
// the answers are cached (HostCache). A datagram for a name still being looked
// up is reported as not sent; the last such datagram per name and port is sent
// when the address arrives soon after, so an announcement made at start-up still
// reaches a host named in the broadcast list.
class QtUdpEndpoint final : public UdpEndpoint {
    Q_OBJECT
public:
    explicit QtUdpEndpoint(QObject* parent = nullptr);
    // With another blocking look-up than the system's, for tests.
    explicit QtUdpEndpoint(BlockingHostLookup lookup, QObject* parent = nullptr);
    ~QtUdpEndpoint() override;

    // How long a datagram waits for the address of its host name.
    static constexpr qint64 HoldMilliseconds = 10000;

    // Datagrams handed on at one go, and the time that may take (a message that
    // opens a window takes milliseconds); then the event loop has its turn, so a flood
    // cannot freeze the windows, and handing on goes on after it.
    static constexpr int HandOnBatch = 64;
    static constexpr qint64 HandOnBudgetMs = 10;
    // What may wait to be handed on. Past it, arriving datagrams are dropped, as the
    // system drops them when its socket buffer is full.
    static constexpr qsizetype MaxWaiting = 65536;
    static constexpr qsizetype MaxWaitingBytes = 16 * 1024 * 1024;

    // Datagrams dropped because too many were waiting.
    qint64 droppedDatagrams() const { return m_dropped; }

    // A burst (the pieces of a long text to several peers) can fill the system's send
    // buffer faster than a slow link empties it. What does not fit waits here and goes
    // out, in order, as room appears; it is sent, as far as the sender can tell. Past
    // this bound further datagrams are dropped, as the network may drop any datagram,
    // and retries cover them.
    static constexpr qsizetype MaxOutgoingBytes = 8 * 1024 * 1024;
    // How often waiting datagrams are offered to the system again.
    static constexpr int OutgoingRetryMs = 2;
    // How long closing may wait for them to go out (the exit broadcast among them).
    static constexpr int CloseFlushMs = 250;
    qsizetype outgoingWaiting() const { return m_outgoing.size(); }

    bool bind(quint16 port) override;
    quint16 localPort() const override;
    QString localIp() const override;
    QString hostName() const override;
    SendResult send(const QString& host, quint16 port, const QByteArray& data) override;
    void close() override;

private:
    void readPending();
    void hostAnswered(const QString& name, std::optional<QHostAddress> address);
    SendResult write(const QHostAddress& address, quint16 port, const QByteArray& data);
    void handOn();
    // Sends what waits for room; true when nothing is left.
    bool sendOutgoing();
    void flushOutgoingBeforeClose();

    // A datagram waiting for its host's address.
    struct Held {
        quint16 port = 0;
        QByteArray data;
        QElapsedTimer since;
    };

    BlockingHostLookup m_lookup;
    std::unique_ptr<ThreadHostResolver> m_resolver;
    std::unique_ptr<HostCache> m_hosts;
    QHash<QString, QList<Held>> m_held; // by lower-case name
    QUdpSocket* m_socket = nullptr;
    QQueue<Datagram> m_waiting;
    qsizetype m_waitingBytes = 0;
    qint64 m_dropped = 0;
    QTimer* m_handOnTimer = nullptr;
    struct Outgoing {
        QHostAddress address;
        quint16 port = 0;
        QByteArray data;
    };
    QQueue<Outgoing> m_outgoing;
    qsizetype m_outgoingBytes = 0;
    QTimer* m_outgoingTimer = nullptr;
    quint16 m_port = 0;
    QString m_bindError;
    int m_bindErrorCode = 0;
    mutable QString m_localIp;
    mutable bool m_localIpKnown = false;
};

} // namespace velmar::platform
