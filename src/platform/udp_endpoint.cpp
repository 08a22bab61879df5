#include "platform/udp_endpoint.h"

#include <QHostAddress>
#include <QHostInfo>
#include <QNetworkDatagram>
#include <QNetworkInterface>
#include <QUdpSocket>

namespace velmar::platform {

QtUdpEndpoint::QtUdpEndpoint(QObject* parent) : UdpEndpoint(parent) {}

QtUdpEndpoint::~QtUdpEndpoint() = default;

bool QtUdpEndpoint::bind(quint16 port)
{
    close();
    m_port = port;
    // Read the address now: interfaces are those of the network namespace the socket
    // is made in, which need not be the one of a later caller.
    m_localIpKnown = false;
    localIp();
    m_socket = new QUdpSocket(this);
    // Broadcasting needs SO_BROADCAST, which QUdpSocket sets on bind for IPv4.
    if (!m_socket->bind(QHostAddress::AnyIPv4, port)) {
        m_bindError = m_socket->errorString();
        m_bindErrorCode = static_cast<int>(m_socket->error());
        delete m_socket;
        m_socket = nullptr;
        return false;
    }
    m_bindError.clear();
    m_bindErrorCode = 0;
    connect(m_socket, &QUdpSocket::readyRead, this, &QtUdpEndpoint::readPending);
    return true;
}

quint16 QtUdpEndpoint::localPort() const
{
    return m_port;
}

QString QtUdpEndpoint::localIp() const
{
    if (!m_localIpKnown) {
        m_localIpKnown = true;
        const auto interfaces = QNetworkInterface::allInterfaces();
        for (const QNetworkInterface& iface : interfaces) {
            const auto flags = iface.flags();
            if (!flags.testFlag(QNetworkInterface::IsUp) ||
                flags.testFlag(QNetworkInterface::IsLoopBack))
                continue;
            for (const QNetworkAddressEntry& entry : iface.addressEntries()) {
                if (entry.ip().protocol() == QAbstractSocket::IPv4Protocol) {
                    m_localIp = entry.ip().toString();
                    return m_localIp;
                }
            }
        }
    }
    return m_localIp;
}

QString QtUdpEndpoint::hostName() const
{
    return QHostInfo::localHostName();
}

SendResult QtUdpEndpoint::send(const QString& host, quint16 port, const QByteArray& data)
{
    if (!m_socket) {
        return {false, m_bindErrorCode ? m_bindErrorCode : 10048,
                m_bindError.isEmpty() ? QStringLiteral("socket is not bound") : m_bindError};
    }
    QHostAddress address;
    if (!address.setAddress(host)) {
        // A host name: resolve it. This blocks briefly, like the classic socket call did.
        const QHostInfo info = QHostInfo::fromName(host);
        const auto addresses = info.addresses();
        for (const QHostAddress& candidate : addresses) {
            if (candidate.protocol() == QAbstractSocket::IPv4Protocol) {
                address = candidate;
                break;
            }
        }
        if (address.isNull())
            return {false, 11001, QStringLiteral("host not found: ") + host};
    }
    const qint64 written = m_socket->writeDatagram(data, address, port);
    if (written != data.size())
        return {false, static_cast<int>(m_socket->error()), m_socket->errorString()};
    return {};
}

void QtUdpEndpoint::close()
{
    if (m_socket) {
        m_socket->close();
        delete m_socket;
        m_socket = nullptr;
    }
}

void QtUdpEndpoint::readPending()
{
    m_readScheduled = false;
    for (int n = 0; n < ReadBatch; ++n) {
        // A handler may have closed the endpoint, or read on in a nested event loop.
        if (!m_socket || !m_socket->hasPendingDatagrams())
            return;
        const QNetworkDatagram datagram = m_socket->receiveDatagram();
        if (!datagram.isValid())
            continue;
        QHostAddress sender = datagram.senderAddress();
        bool isV4 = false;
        const quint32 v4 = sender.toIPv4Address(&isV4);
        if (isV4)
            sender = QHostAddress(v4);
        Q_EMIT datagramArrived(Datagram{datagram.data(), sender.toString(),
                                        static_cast<quint16>(datagram.senderPort())});
    }
    // More is waiting. Qt signals readyRead again only after a read, and when the
    // socket's notifier fires again depends on the platform: continue from the event
    // loop in any case. The datagrams stay queued in the socket, in order.
    if (m_socket && m_socket->hasPendingDatagrams() && !m_readScheduled) {
        m_readScheduled = true;
        QMetaObject::invokeMethod(this, &QtUdpEndpoint::readPending, Qt::QueuedConnection);
    }
}

} // namespace velmar::platform
