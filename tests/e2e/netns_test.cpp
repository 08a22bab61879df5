#include "e2e/netns.h"
#include "platform/udp_endpoint.h"

#include <QDir>
#include <QFileInfo>
#include <QNetworkDatagram>
#include <QNetworkInterface>
#include <QUdpSocket>
#include <gtest/gtest.h>
#include <sys/socket.h>

namespace velmar::e2e {
namespace {

using platform::Datagram;
using platform::QtUdpEndpoint;
using platform::SendResult;
using Side = NetnsPair::Side;

constexpr quint16 kPort = 2425;

// An endpoint bound inside one side of the pair, with everything it received.
struct Peer {
    QtUdpEndpoint endpoint;
    QList<Datagram> received;
    QString localIp;

    Peer()
    {
        QObject::connect(&endpoint, &QtUdpEndpoint::datagramArrived,
                         [this](const Datagram& d) { received.append(d); });
    }

    bool contains(const QByteArray& data) const
    {
        return std::any_of(received.begin(), received.end(),
                           [&](const Datagram& d) { return d.data == data; });
    }
};

class NetnsEndpointTest : public NetnsPairTest {
protected:
    // Binds `peer` inside `side`; the socket stays there after the scope ends.
    void bindIn(Side side, Peer& peer)
    {
        ScopedNetns in(pair().name(side));
        ASSERT_TRUE(in.entered()) << in.error().toStdString();
        ASSERT_TRUE(currentThreadIsInNetns(pair().name(side)));
        ASSERT_TRUE(peer.endpoint.bind(kPort));
        peer.localIp = peer.endpoint.localIp();
    }

    void bindBoth()
    {
        ASSERT_NO_FATAL_FAILURE(bindIn(Side::A, a));
        ASSERT_NO_FATAL_FAILURE(bindIn(Side::B, b));
        ASSERT_TRUE(currentThreadIsInOriginalNetns());
    }

    // Sends `count` numbered datagrams from A to B in small batches, letting B read
    // between them so that its receive buffer never overflows; returns how many
    // arrived.
    int sendNumbered(int count, const QByteArray& tag)
    {
        const auto before = b.received.size();
        for (int i = 0; i < count; ++i) {
            a.endpoint.send(pair().ipB(), kPort, tag + QByteArray::number(i));
            if (i % 20 == 19)
                processEventsFor(std::chrono::milliseconds(15));
        }
        processEventsFor(std::chrono::milliseconds(200));
        return static_cast<int>(b.received.size() - before);
    }

    Peer a;
    Peer b;
};

TEST_F(NetnsPairTest, ScopedNetnsSwitchesOnlyForItsLifetime)
{
    ASSERT_TRUE(currentThreadIsInOriginalNetns());
    {
        ScopedNetns in(pair().nameA());
        ASSERT_TRUE(in.entered()) << in.error().toStdString();
        EXPECT_TRUE(currentThreadIsInNetns(pair().nameA()));
        EXPECT_FALSE(currentThreadIsInNetns(pair().nameB()));
        EXPECT_FALSE(currentThreadIsInOriginalNetns());
        {
            ScopedNetns nested(pair().nameB());
            ASSERT_TRUE(nested.entered());
            EXPECT_TRUE(currentThreadIsInNetns(pair().nameB()));
        }
        EXPECT_TRUE(currentThreadIsInNetns(pair().nameA()));
    }
    EXPECT_TRUE(currentThreadIsInOriginalNetns());

    ScopedNetns missing(QStringLiteral("vme2e-no-such-namespace"));
    EXPECT_FALSE(missing.entered());
    EXPECT_FALSE(missing.error().isEmpty());
    EXPECT_TRUE(currentThreadIsInOriginalNetns());
}

TEST_F(NetnsPairTest, EachSideSeesOnlyLoopbackAndTheVeth)
{
    for (const Side side : {Side::A, Side::B}) {
        ScopedNetns in(pair().name(side));
        ASSERT_TRUE(in.entered()) << in.error().toStdString();
        QStringList names;
        QStringList ipv4;
        for (const QNetworkInterface& iface : QNetworkInterface::allInterfaces()) {
            names.append(iface.name());
            for (const QNetworkAddressEntry& entry : iface.addressEntries()) {
                if (entry.ip().protocol() == QAbstractSocket::IPv4Protocol)
                    ipv4.append(entry.ip().toString());
            }
        }
        names.sort();
        ipv4.sort();
        QStringList expectedNames{QStringLiteral("lo"), NetnsPair::interfaceName()};
        QStringList expectedIpv4{QStringLiteral("127.0.0.1"), pair().ip(side)};
        expectedNames.sort();
        expectedIpv4.sort();
        EXPECT_EQ(names.join(u' ').toStdString(), expectedNames.join(u' ').toStdString());
        EXPECT_EQ(ipv4.join(u' ').toStdString(), expectedIpv4.join(u' ').toStdString());
    }
}

TEST_F(NetnsPairTest, DestructorRemovesBothNamespaces)
{
    QString nameA;
    QString nameB;
    {
        NetnsPair second;
        ASSERT_TRUE(second.ok()) << second.error().toStdString();
        nameA = second.nameA();
        nameB = second.nameB();
        EXPECT_NE(nameA, pair().nameA());
        EXPECT_TRUE(QFileInfo::exists(QStringLiteral("/run/netns/") + nameA));
        EXPECT_TRUE(QFileInfo::exists(QStringLiteral("/run/netns/") + nameB));
    }
    EXPECT_FALSE(QFileInfo::exists(QStringLiteral("/run/netns/") + nameA));
    EXPECT_FALSE(QFileInfo::exists(QStringLiteral("/run/netns/") + nameB));
    EXPECT_TRUE(QFileInfo::exists(QStringLiteral("/run/netns/") + pair().nameA()));
}

TEST_F(NetnsEndpointTest, BroadcastAndUnicastReachTheOtherSide)
{
    ASSERT_NO_FATAL_FAILURE(bindBoth());
    EXPECT_EQ(a.localIp, pair().ipA());
    EXPECT_EQ(b.localIp, pair().ipB());

    const QByteArray broadcast("1:100:alice:host-a:1:alice");
    ASSERT_TRUE(a.endpoint.send(QStringLiteral("255.255.255.255"), kPort, broadcast).ok);
    ASSERT_TRUE(waitUntil([&] { return b.contains(broadcast); }));
    const Datagram& got = b.received.constFirst();
    EXPECT_EQ(got.senderIp, pair().ipA());
    EXPECT_EQ(got.senderPort, kPort);

    const QByteArray unicast("1:101:alice:host-a:32:hello");
    ASSERT_TRUE(a.endpoint.send(pair().ipB(), kPort, unicast).ok);
    ASSERT_TRUE(waitUntil([&] { return b.contains(unicast); }));

    // And back: B answers the address the datagram came from.
    const QByteArray reply("1:102:bob:host-b:33:101");
    ASSERT_TRUE(b.endpoint.send(got.senderIp, got.senderPort, reply).ok);
    ASSERT_TRUE(waitUntil([&] { return a.contains(reply); }));
}

TEST_F(NetnsEndpointTest, LossRuleDropsAboutThirtyPercentUntilCleared)
{
    ASSERT_NO_FATAL_FAILURE(bindBoth());
    ASSERT_TRUE(pair().addUdpLoss(Side::B, 30)) << pair().error().toStdString();

    constexpr int kCount = 400;
    const int arrived = sendNumbered(kCount, "lossy-");
    // 30 % loss of 400 has a standard deviation of about 9 datagrams: this window
    // is wide enough never to flake and narrow enough to tell "no rule" and "drop all".
    EXPECT_GT(arrived, kCount * 55 / 100);
    EXPECT_LT(arrived, kCount * 85 / 100);

    ASSERT_TRUE(pair().clearUdpLoss(Side::B)) << pair().error().toStdString();
    EXPECT_EQ(sendNumbered(100, "clean-"), 100);
}

// The pieces of a long text to several peers leave faster than a slow link takes
// them: the system's send buffer fills (EAGAIN), and the endpoint keeps the rest.
TEST_F(NetnsEndpointTest, ABurstPastTheSendBufferArrivesWholeAndInOrder)
{
    ASSERT_NO_FATAL_FAILURE(bindBoth());
    ASSERT_TRUE(pair().limitRate(Side::A, 50)) << pair().error().toStdString();

    constexpr int kCount = 100; // 800 kB, four times the default send buffer
    for (int i = 0; i < kCount; ++i) {
        QByteArray piece = QByteArray::number(i).rightJustified(4, '0');
        piece.append(QByteArray(8000, 'x'));
        const SendResult result = a.endpoint.send(pair().ipB(), kPort, piece);
        ASSERT_TRUE(result.ok) << i << ": " << result.errorText.toStdString();
    }
    EXPECT_GT(a.endpoint.outgoingWaiting(), 0) << "the burst never filled the send buffer";
    ASSERT_TRUE(waitUntil([&] { return b.received.size() == kCount; }, std::chrono::seconds(5)))
        << b.received.size() << " of " << kCount << " arrived";
    for (int i = 0; i < kCount; ++i)
        EXPECT_EQ(b.received[i].data.left(4).toInt(), i);
    EXPECT_EQ(a.endpoint.outgoingWaiting(), 0);

    // Closing (the program's end) still lets the last of a burst out: the exit
    // broadcast comes after it. The far end's buffer holds the whole burst, as this
    // thread reads nothing while it is in close().
    QUdpSocket farEnd;
    {
        ScopedNetns in(pair().nameB());
        ASSERT_TRUE(in.entered()) << in.error().toStdString();
        ASSERT_TRUE(farEnd.bind(QHostAddress::AnyIPv4, kPort + 1));
    }
    const int bufferSize = 4 * 1024 * 1024;
    ASSERT_EQ(::setsockopt(static_cast<int>(farEnd.socketDescriptor()), SOL_SOCKET, SO_RCVBUFFORCE,
                           &bufferSize, sizeof bufferSize),
              0);
    for (int i = 0; i < kCount / 2; ++i)
        a.endpoint.send(pair().ipB(), kPort + 1, QByteArray(8000, 'y'));
    a.endpoint.send(pair().ipB(), kPort + 1, "goodbye");
    ASSERT_GT(a.endpoint.outgoingWaiting(), 0);
    a.endpoint.close();
    QList<QByteArray> heard;
    EXPECT_TRUE(waitUntil([&] {
        while (farEnd.hasPendingDatagrams())
            heard.append(farEnd.receiveDatagram().data());
        return heard.contains("goodbye");
    }));
    EXPECT_EQ(heard.size(), kCount / 2 + 1);
    EXPECT_EQ(heard.last(), "goodbye");
}

TEST_F(NetnsEndpointTest, LinkDownStopsDeliveryAndLinkUpRestoresIt)
{
    ASSERT_NO_FATAL_FAILURE(bindBoth());
    ASSERT_TRUE(pair().setLinkUp(false)) << pair().error().toStdString();

    a.endpoint.send(pair().ipB(), kPort, "while-down-unicast");
    a.endpoint.send(QStringLiteral("255.255.255.255"), kPort, "while-down-broadcast");
    processEventsFor(std::chrono::milliseconds(300));
    EXPECT_TRUE(b.received.isEmpty());

    ASSERT_TRUE(pair().setLinkUp(true)) << pair().error().toStdString();
    // Broadcasts need the default route back, which setLinkUp restores.
    EXPECT_TRUE(waitUntil([&] {
        a.endpoint.send(QStringLiteral("255.255.255.255"), kPort, "after-up");
        return b.contains("after-up");
    }));
    EXPECT_FALSE(b.contains("while-down-unicast"));
    EXPECT_FALSE(b.contains("while-down-broadcast"));
}

} // namespace
} // namespace velmar::e2e
