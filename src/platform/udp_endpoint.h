#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

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
    // Sends one datagram to `host` (dotted address or host name) and `port`.
    virtual SendResult send(const QString& host, quint16 port, const QByteArray& data) = 0;
    virtual void close() = 0;

Q_SIGNALS:
    void datagramArrived(const velmar::platform::Datagram& datagram);
};

class QtUdpEndpoint final : public UdpEndpoint {
    Q_OBJECT
public:
    explicit QtUdpEndpoint(QObject* parent = nullptr);
    ~QtUdpEndpoint() override;

    // Datagrams read and handed on at one go; then the event loop has its turn (a
    // flood must not freeze the windows) and reading goes on after it.
    static constexpr int ReadBatch = 64;

    bool bind(quint16 port) override;
    quint16 localPort() const override;
    QString localIp() const override;
    QString hostName() const override;
    SendResult send(const QString& host, quint16 port, const QByteArray& data) override;
    void close() override;

private:
    void readPending();

    QUdpSocket* m_socket = nullptr;
    bool m_readScheduled = false;
    quint16 m_port = 0;
    QString m_bindError;
    int m_bindErrorCode = 0;
    mutable QString m_localIp;
    mutable bool m_localIpKnown = false;
};

} // namespace velmar::platform
