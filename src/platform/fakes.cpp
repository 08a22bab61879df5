#include "platform/fakes.h"

namespace velmar::platform {

QStringList RecordingMessageBoxes::titles() const
{
    QStringList out;
    for (const Box& box : boxes)
        out << box.title;
    return out;
}

FakeUdpEndpoint::FakeUdpEndpoint(QString localIp, QString hostName, QObject* parent)
    : UdpEndpoint(parent), m_localIp(std::move(localIp)), m_hostName(std::move(hostName))
{
}

bool FakeUdpEndpoint::bind(quint16 port)
{
    m_port = port;
    closed = false;
    return !failBind && !busyPorts.contains(port);
}

SendResult FakeUdpEndpoint::send(const QString& host, quint16 port, const QByteArray& data)
{
    if (failBind)
        return {false, 10048, QStringLiteral("address already in use")};
    if (failingHosts.contains(host))
        return {false, 10065, QStringLiteral("host unreachable")};
    sent.append({host, port, data});
    return {};
}

void FakeUdpEndpoint::inject(const QByteArray& data, const QString& senderIp, quint16 senderPort)
{
    Q_EMIT datagramArrived(Datagram{data, senderIp, senderPort});
}

} // namespace velmar::platform
