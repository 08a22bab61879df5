#include "platform/udp_endpoint.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QHostInfo>
#include <QNetworkDatagram>
#include <QNetworkInterface>
#include <QTimer>
#include <QUdpSocket>
#include <QUrl>
#include <poll.h>

namespace velmar::platform {

QtUdpEndpoint::QtUdpEndpoint(QObject* parent) : QtUdpEndpoint(&systemHostLookup, parent) {}

QtUdpEndpoint::QtUdpEndpoint(BlockingHostLookup lookup, QObject* parent)
    : UdpEndpoint(parent), m_lookup(std::move(lookup)), m_handOnTimer(new QTimer(this)),
      m_outgoingTimer(new QTimer(this))
{
    m_handOnTimer->setSingleShot(true);
    m_handOnTimer->setInterval(0);
    connect(m_handOnTimer, &QTimer::timeout, this, &QtUdpEndpoint::handOn);
    m_outgoingTimer->setSingleShot(true);
    m_outgoingTimer->setInterval(OutgoingRetryMs);
    connect(m_outgoingTimer, &QTimer::timeout, this, &QtUdpEndpoint::sendOutgoing);
}

QtUdpEndpoint::~QtUdpEndpoint()
{
    close();
}

bool QtUdpEndpoint::bind(quint16 port)
{
    close();
    m_port = port;
    // Read the address now: interfaces are those of the network namespace the socket
    // is made in, which need not be the one of a later caller.
    m_localIpKnown = false;
    localIp();
    // The look-up thread is made here for the same reason: it makes its queries
    // from the network namespace of the thread that creates it.
    m_resolver = std::make_unique<ThreadHostResolver>(
        m_lookup, this, [this](const QString& name, std::optional<QHostAddress> address) {
            hostAnswered(name, std::move(address));
        });
    m_hosts = std::make_unique<HostCache>(*m_resolver);
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
    if (address.setAddress(host))
        return write(address, port, data);
    const QString name = QString::fromLatin1(QUrl::toAce(host.trimmed())).toLower();
    const HostCache::Lookup found =
        name.isEmpty() ? HostCache::Lookup{HostCache::State::NotFound, {}} : m_hosts->find(name);
    switch (found.state) {
    case HostCache::State::Found:
        return write(found.address, port, data);
    case HostCache::State::Pending: {
        QList<Held>& held = m_held[name];
        const auto samePort = [port](const Held& h) { return h.port == port; };
        held.removeIf(samePort);
        held.append(Held{port, data, {}});
        held.last().since.start();
        SendResult pending{false, 10035, QStringLiteral("looking up host: ") + host};
        pending.hostPending = true;
        return pending;
    }
    case HostCache::State::NotFound:
        break;
    }
    return {false, 11001, QStringLiteral("host not found: ") + host};
}

SendResult QtUdpEndpoint::write(const QHostAddress& address, quint16 port, const QByteArray& data)
{
    // Behind waiting datagrams a new one waits too, so the order stays that of sending.
    if (sendOutgoing()) {
        if (m_socket->writeDatagram(data, address, port) == data.size())
            return {};
        // A full send buffer (EAGAIN) is no fault of the datagram or of the network.
        if (m_socket->error() != QAbstractSocket::TemporaryError)
            return {false, static_cast<int>(m_socket->error()), m_socket->errorString()};
    }
    if (m_outgoingBytes + data.size() > MaxOutgoingBytes)
        return {};
    m_outgoing.enqueue(Outgoing{address, port, data});
    m_outgoingBytes += data.size();
    if (!m_outgoingTimer->isActive())
        m_outgoingTimer->start();
    return {};
}

bool QtUdpEndpoint::sendOutgoing()
{
    while (m_socket && !m_outgoing.isEmpty()) {
        const Outgoing& next = m_outgoing.head();
        if (m_socket->writeDatagram(next.data, next.address, next.port) != next.data.size() &&
            m_socket->error() == QAbstractSocket::TemporaryError) {
            m_outgoingTimer->start();
            return false;
        }
        // Sent, or refused for good: either way it leaves the queue.
        m_outgoingBytes -= next.data.size();
        m_outgoing.dequeue();
    }
    return true;
}

void QtUdpEndpoint::flushOutgoingBeforeClose()
{
    QElapsedTimer waited;
    waited.start();
    while (!sendOutgoing() && !waited.hasExpired(CloseFlushMs)) {
        pollfd writable{static_cast<int>(m_socket->socketDescriptor()), POLLOUT, 0};
        ::poll(&writable, 1, OutgoingRetryMs);
    }
    m_outgoing.clear();
    m_outgoingBytes = 0;
    m_outgoingTimer->stop();
}

void QtUdpEndpoint::hostAnswered(const QString& name, std::optional<QHostAddress> address)
{
    if (!m_hosts)
        return;
    m_hosts->answer(name, address);
    const QList<Held> held = m_held.take(name);
    if (!address || !m_socket)
        return;
    for (const Held& datagram : held) {
        if (!datagram.since.hasExpired(HoldMilliseconds))
            write(*address, datagram.port, datagram.data);
    }
}

void QtUdpEndpoint::close()
{
    // Never waits for a look-up in progress (see ThreadHostResolver).
    m_hosts.reset();
    m_resolver.reset();
    m_held.clear();
    m_waiting.clear();
    m_waitingBytes = 0;
    if (m_socket) {
        flushOutgoingBeforeClose();
        m_socket->close();
        delete m_socket;
        m_socket = nullptr;
    }
}

void QtUdpEndpoint::readPending()
{
    // What waits in the socket is taken at once, and only here: reading costs next to
    // nothing, and a read between two notifications can leave Qt's socket believing
    // that a notification went unanswered, after which it notifies no more. A bound per
    // notification all the same: a sender faster than the reading must not keep it here.
    for (int n = 0; n < MaxWaiting && m_socket && m_socket->hasPendingDatagrams(); ++n) {
        const QNetworkDatagram datagram = m_socket->receiveDatagram();
        if (!datagram.isValid())
            continue;
        const QByteArray data = datagram.data();
        if (m_waiting.size() >= MaxWaiting || m_waitingBytes + data.size() > MaxWaitingBytes) {
            ++m_dropped;
            continue;
        }
        QHostAddress sender = datagram.senderAddress();
        bool isV4 = false;
        const quint32 v4 = sender.toIPv4Address(&isV4);
        if (isV4)
            sender = QHostAddress(v4);
        m_waitingBytes += data.size();
        m_waiting.enqueue(
            Datagram{data, sender.toString(), static_cast<quint16>(datagram.senderPort())});
    }
    // Handed on from the event loop, never from inside readyRead: a handler that runs
    // an event loop of its own (a box) would keep this slot from returning, and the
    // socket does not notify again while it runs.
    if (!m_waiting.isEmpty() && !m_handOnTimer->isActive())
        m_handOnTimer->start();
}

void QtUdpEndpoint::handOn()
{
    QElapsedTimer spent;
    spent.start();
    // Each datagram leaves the queue before it is handed on: a handler that runs an
    // event loop of its own may come back here, and the order stays that of arrival.
    for (int n = 0; n < HandOnBatch && !m_waiting.isEmpty() && !spent.hasExpired(HandOnBudgetMs);
         ++n) {
        const Datagram datagram = m_waiting.dequeue();
        m_waitingBytes -= datagram.data.size();
        Q_EMIT datagramArrived(datagram);
    }
    // A timer rather than a posted call: posted calls are all delivered before the
    // timers get their turn, and the program's own timers must keep running.
    if (!m_waiting.isEmpty() && !m_handOnTimer->isActive())
        m_handOnTimer->start();
}

} // namespace velmar::platform
