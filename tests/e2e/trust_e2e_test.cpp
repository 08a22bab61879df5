// Messaging a user can trust, on real sockets across two private network namespaces:
// a notice box left open does not stop receiving, a flood of read notices gives one
// box at a time and every answer, and a long text reaches a client that reads only
// 8192 bytes of a datagram.

#include "e2e/program_fixture.h"
#include "ipmsg/packet.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QHostAddress>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QTimer>
#include <QUdpSocket>
#include <algorithm>
#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <iterator>
#include <optional>
#include <utility>

using namespace std::chrono_literals;
using velmar::e2e::NetnsPair;
using velmar::e2e::NetnsPairTest;
using velmar::e2e::processEventsFor;
using velmar::e2e::Program;
using velmar::e2e::ScopedNetns;
using velmar::e2e::ScriptedPeer;
using velmar::e2e::sjis;
using velmar::e2e::startBoth;
using velmar::e2e::waitUntil;
using velmar::text::TextWindow;

namespace {

namespace cmd = velmar::ipmsg::cmd;

// Message boxes that stay open as a modal box does: show() runs its own event loop
// and returns only when the box is released.
class HeldBoxes final : public velmar::platform::MessageBoxes {
public:
    struct Box {
        QString title;
        QString text;
    };

    // Runs inside the first box shown, while it is open; the box closes when it returns.
    std::function<void()> whileOpen;
    // How long every other box stays open.
    std::chrono::milliseconds holdFor{0};

    QList<Box> shown;
    int open = 0;
    int mostOpen = 0;

    void show(const QString& title, const QString& text) override
    {
        shown.append({title, text});
        mostOpen = std::max(mostOpen, ++open);
        QEventLoop loop;
        if (whileOpen) {
            QTimer::singleShot(0, &loop, [this, &loop] {
                const std::function<void()> run = std::exchange(whileOpen, {});
                run();
                loop.quit();
            });
        } else {
            QTimer::singleShot(holdFor, &loop, &QEventLoop::quit);
        }
        loop.exec();
        --open;
    }
};

// The fields of a raw datagram that the tests look at.
struct RawPacket {
    QByteArray number;
    quint32 word = 0;
    QByteArray extra;

    quint32 mode() const { return word & 0xFF; }
    // The packet number an answer or a receipt refers to.
    QByteArray answered() const
    {
        QByteArray out = extra;
        while (out.endsWith('\0'))
            out.chop(1);
        return out;
    }
};

std::optional<RawPacket> parseRaw(const QByteArray& data)
{
    qsizetype colons[5];
    qsizetype at = -1;
    for (qsizetype& colon : colons) {
        at = data.indexOf(':', at + 1);
        if (at < 0)
            return std::nullopt;
        colon = at;
    }
    RawPacket packet;
    packet.number = data.mid(colons[0] + 1, colons[1] - colons[0] - 1);
    packet.word = data.mid(colons[3] + 1, colons[4] - colons[3] - 1).toUInt();
    packet.extra = data.mid(colons[4] + 1);
    return packet;
}

// A client of another kind on side B that reads at most 8192 bytes of a datagram,
// as such clients do: the rest of a longer one is lost. It answers every message
// with a receipt and keeps each piece's bytes under its packet number.
class NarrowPeer final {
public:
    static constexpr qint64 ReadLimit = 8192;

    bool bind(const QString& netns)
    {
        ScopedNetns in(netns);
        if (!in.entered() || !m_socket.bind(QHostAddress::AnyIPv4, 2425))
            return false;
        QObject::connect(&m_socket, &QUdpSocket::readyRead, [this] { readPending(); });
        return true;
    }

    void send(const QString& ip, quint32 command, const QByteArray& extra)
    {
        const QByteArray packet = "1_other:" + QByteArray::number(++m_packetNo) +
                                  ":jiro:narrowhost:" + QByteArray::number(command) + ':' + extra;
        m_socket.writeDatagram(packet, QHostAddress(ip), 2425);
    }

    // The pieces in the order of their numbers, decoded as each says it is encoded.
    QString text() const
    {
        QString out;
        for (const RawPacket& piece : pieces) {
            const auto encoding = (piece.word & cmd::Utf8Option) != 0
                                      ? velmar::ipmsg::WireEncoding::Utf8
                                      : velmar::ipmsg::WireEncoding::ShiftJis;
            out += velmar::ipmsg::decodeText(piece.extra, encoding);
        }
        return out;
    }

    QMap<qint64, RawPacket> pieces;
    qint64 longestDatagram = 0;
    int datagramsRead = 0;

private:
    void readPending()
    {
        while (m_socket.hasPendingDatagrams()) {
            longestDatagram = std::max(longestDatagram, m_socket.pendingDatagramSize());
            QByteArray buffer(ReadLimit, '\0');
            QHostAddress from;
            quint16 port = 0;
            const qint64 read = m_socket.readDatagram(buffer.data(), ReadLimit, &from, &port);
            if (read < 0)
                continue;
            buffer.truncate(read);
            ++datagramsRead;
            const auto packet = parseRaw(buffer);
            if (!packet || packet->mode() != cmd::SendMsg % 0x100)
                continue;
            pieces.insert(packet->number.toLongLong(), *packet);
            const QByteArray receipt = "1_other:" + QByteArray::number(++m_packetNo) +
                                       ":jiro:narrowhost:" + QByteArray::number(cmd::RecvMsg) +
                                       ':' + packet->number;
            m_socket.writeDatagram(receipt, from, port);
        }
    }

    QUdpSocket m_socket;
    int m_packetNo = 5000;
};

using TwoPrograms = NetnsPairTest;

TEST_F(TwoPrograms, ANoticeBoxLeftOpenDoesNotStopReceiving)
{
    HeldBoxes held;
    Program a;
    Program b;
    b.boxesInUse = &held;
    startBoth(pair(), a, b);

    // B sends a sealed letter; A opening it sends B the read notice, and B's user
    // leaves that box open.
    const auto lettersBefore = a.window->windows().size();
    b.sendTo(pair().ipA(), QStringLiteral("開封してね"), /*sealed=*/true);
    ASSERT_TRUE(waitUntil([&] { return a.window->windows().size() == lettersBefore + 1; }));
    TextWindow* letter = a.window->windows().back();
    ASSERT_TRUE(letter->isSealed());

    int openWhileSending = 0;
    bool sent = false;
    bool shown = false;
    const QString text = QStringLiteral("箱が開いたままでも届く");
    held.whileOpen = [&] {
        openWhileSending = held.open;
        const auto before = b.window->windows().size();
        TextWindow* source = a.sendTo(pair().ipB(), text);
        // Well inside A's seven tries a second apart: the receipt must come at once.
        sent = waitUntil([&] { return source->statusText() == u"IPM(送信済)"; }, 3s);
        const auto windows = b.window->windows();
        shown = windows.size() == before + 1 && windows.back()->text() == text;
    };
    letter->sealButton->click();
    ASSERT_TRUE(waitUntil([&] { return !held.shown.isEmpty() && held.open == 0; }, 10s));

    EXPECT_EQ(held.shown.front().title,
              QStringLiteral("封書開封通知 From ") + pair().ipA() + QStringLiteral("-エー"));
    EXPECT_EQ(openWhileSending, 1);
    EXPECT_TRUE(sent) << "A's send did not complete while B's box was open";
    EXPECT_TRUE(shown) << "B did not show the message while its box was open";
    EXPECT_EQ(held.shown.size(), 1);
}

using ProgramAndPeer = NetnsPairTest;

TEST_F(ProgramAndPeer, AThousandReadNoticesGiveOneBoxAtATimeAndEveryAnswer)
{
    HeldBoxes held;
    held.holdFor = 2ms;
    ScriptedPeer peer;
    ASSERT_TRUE(peer.bind(pair().nameB()));
    Program a;
    a.boxesInUse = &held;
    ASSERT_TRUE(a.start(pair().nameA(), QStringLiteral("花子")));
    peer.send(pair().ipA(), cmd::AnsEntry,
              sjis(QStringLiteral("太郎")) + '\0' + sjis(QStringLiteral("営業")));
    ASSERT_TRUE(waitUntil([&] { return a.peerRow(pair().ipB()) >= 0; }));

    QElapsedTimer clock;
    clock.start();
    QHash<QByteArray, int> answers;     // notice number -> answers received
    QHash<QByteArray, qint64> receipts; // message number -> when its receipt came
    QObject::connect(&peer.endpoint, &velmar::platform::UdpEndpoint::datagramArrived,
                     [&](const velmar::platform::Datagram& datagram) {
                         const auto packet = parseRaw(datagram.data);
                         if (!packet)
                             return;
                         if (packet->mode() == cmd::AnsReadMsg % 0x100)
                             ++answers[packet->answered()];
                         else if (packet->mode() == cmd::RecvMsg)
                             receipts.insert(packet->answered(), clock.elapsed());
                     });

    // The user leaves the first box open while a thousand notices come in about a
    // second, every tenth repeated at once as clients that repeat until answered
    // do, with a message after every 250. Notices the socket dropped under the burst
    // are repeated until answered. The other boxes close as soon as they open.
    constexpr int notices = 1000;
    QList<QByteArray> numbers;
    QHash<QByteArray, qint64> messages; // number -> when it was sent
    const auto unanswered = [&] {
        QList<QByteArray> out;
        for (const QByteArray& number : std::as_const(numbers)) {
            if (!answers.contains(number))
                out << number;
        }
        return out;
    };
    int repeated = 0;
    int openDuringFlood = 0;
    held.whileOpen = [&] {
        openDuringFlood = held.open;
        for (int i = 1; i < notices; ++i) {
            const QString number = peer.send(pair().ipA(), cmd::ReadMsg, "4711");
            numbers << number.toLatin1();
            if (i % 10 == 0)
                peer.sendNumbered(pair().ipA(), number, cmd::ReadMsg, "4711");
            if (i % 250 == 249) {
                const QString message = peer.send(pair().ipA(), cmd::SendMsg,
                                                  sjis(QStringLiteral("合間の便 %1").arg(i)));
                messages.insert(message.toLatin1(), clock.elapsed());
            }
            if (i % 50 == 49)
                processEventsFor(40ms);
        }
        for (int round = 0; round < 20; ++round) {
            if (waitUntil([&] { return unanswered().isEmpty(); }, 300ms))
                break;
            const QList<QByteArray> missing = unanswered();
            for (const QByteArray& number : missing)
                peer.sendNumbered(pair().ipA(), QString::fromLatin1(number), cmd::ReadMsg, "4711");
            repeated += static_cast<int>(missing.size());
        }
        EXPECT_TRUE(unanswered().isEmpty())
            << unanswered().size() << " notices not answered while the first box was open";
    };
    numbers << peer.send(pair().ipA(), cmd::ReadMsg, "4711").toLatin1();

    // A box reports one notice, or gathers several under "封書通知 (N 件)".
    const auto reported = [&] {
        int count = 0;
        static const QRegularExpression gathered(QStringLiteral("^封書通知 \\((\\d+) 件\\)$"));
        for (const auto& box : held.shown) {
            const auto match = gathered.match(box.title);
            count += match.hasMatch() ? match.captured(1).toInt() : 1;
        }
        return count;
    };
    ASSERT_TRUE(waitUntil([&] { return reported() >= notices && held.open == 0; }, 20s))
        << reported() << " notices reported";
    processEventsFor(100ms);
    std::printf("read notices: %d boxes, at most %d open, %d repeats after the burst, "
                "%lld ms\n",
                static_cast<int>(held.shown.size()), held.mostOpen, repeated,
                static_cast<long long>(clock.elapsed()));
    // Each notice reported once, however often it came, gathered into a few boxes, and
    // never two open together.
    EXPECT_EQ(reported(), notices);
    EXPECT_LT(held.shown.size(), notices / 10);
    EXPECT_EQ(held.mostOpen, 1);
    EXPECT_EQ(openDuringFlood, 1);
    EXPECT_EQ(held.shown.front().title,
              QStringLiteral("封書開封通知 From ") + pair().ipB() + QStringLiteral("-太郎"));

    // The messages among the notices were answered while the first box was open.
    qint64 slowestReceipt = 0;
    for (auto it = messages.cbegin(); it != messages.cend(); ++it) {
        ASSERT_TRUE(receipts.contains(it.key())) << "no receipt for " << it.key().constData();
        slowestReceipt = std::max(slowestReceipt, receipts.value(it.key()) - it.value());
    }
    std::printf("slowest receipt of a message among the notices: %lld ms\n",
                static_cast<long long>(slowestReceipt));
    EXPECT_LT(slowestReceipt, 1000);
    int shownMessages = 0;
    for (const TextWindow* window : a.window->windows()) {
        if (window->text().startsWith(u"合間の便 "))
            ++shownMessages;
    }
    EXPECT_EQ(shownMessages, messages.size());
}

TEST_F(ProgramAndPeer, ASendFailureInsideTheHandlerDoesNotStopReceiving)
{
    // B gets a second address that A cannot answer: A's route to it is prohibited, so
    // every packet A sends there fails inside the handler of the datagram that came
    // from it, and the send-error box follows.
    const QString unroutable = QStringLiteral("10.99.0.2");
    ASSERT_TRUE(pair().runIn(NetnsPair::Side::B, QStringLiteral("ip"),
                             {QStringLiteral("address"), QStringLiteral("add"),
                              unroutable + QStringLiteral("/32"), QStringLiteral("dev"),
                              NetnsPair::interfaceName()}));
    ASSERT_TRUE(pair().runIn(NetnsPair::Side::A, QStringLiteral("ip"),
                             {QStringLiteral("route"), QStringLiteral("add"),
                              QStringLiteral("prohibit"), unroutable + QStringLiteral("/32")}));
    ASSERT_TRUE(
        pair().runIn(NetnsPair::Side::A, QStringLiteral("sysctl"),
                     {QStringLiteral("-qw"), QStringLiteral("net.ipv4.conf.all.rp_filter=0"),
                      QStringLiteral("net.ipv4.conf.veth0.rp_filter=0")}));
    QUdpSocket stranger;
    {
        ScopedNetns in(pair().nameB());
        ASSERT_TRUE(in.entered());
        ASSERT_TRUE(stranger.bind(QHostAddress(unroutable), 2426));
    }
    ScriptedPeer peer;
    ASSERT_TRUE(peer.bind(pair().nameB()));

    HeldBoxes held;
    Program a;
    a.boxesInUse = &held;
    ASSERT_TRUE(a.start(pair().nameA(), QStringLiteral("花子")));

    constexpr int Messages = 100;
    QSet<QByteArray> answered;
    QObject::connect(&peer.endpoint, &velmar::platform::UdpEndpoint::datagramArrived,
                     [&](const velmar::platform::Datagram& datagram) {
                         const auto packet = parseRaw(datagram.data);
                         if (packet && packet->mode() == cmd::RecvMsg)
                             answered.insert(packet->answered());
                     });
    // The user leaves the send-error box open; meanwhile a hundred messages arrive.
    int receiptsWhileOpen = -1;
    held.whileOpen = [&] {
        for (int i = 0; i < Messages; ++i) {
            peer.send(pair().ipA(), cmd::SendMsg, "while the box is open " + QByteArray::number(i));
            if (i % 20 == 19)
                processEventsFor(20ms);
        }
        waitUntil([&] { return answered.size() >= Messages; }, 5s);
        receiptsWhileOpen = static_cast<int>(answered.size());
    };
    const QByteArray first = "1:77:ghost:nowhere:" + QByteArray::number(cmd::SendMsg) + ":hello";
    stranger.writeDatagram(first, QHostAddress(pair().ipA()), 2425);
    ASSERT_TRUE(waitUntil([&] { return !held.shown.isEmpty() && held.open == 0; }, 15s));

    EXPECT_EQ(held.shown.front().title, QStringLiteral("送信･ｴﾗｰ"));
    EXPECT_EQ(held.shown.size(), 1);
    EXPECT_EQ(receiptsWhileOpen, Messages) << "receipts sent while the box was open";
}

TEST_F(ProgramAndPeer, LongTextReachesAClientThatReadsOnly8192BytesADatagram)
{
    Program a;
    ASSERT_TRUE(a.start(pair().nameA(), QStringLiteral("花子")));
    a.engine().retryTimer().setInterval(200);

    QString text;
    const QString sample = QStringLiteral("日本語のテキスト、改行も含む。abc\r\n");
    while (text.size() < 70000)
        text += sample;
    text.truncate(70000);

    struct Case {
        const char* name;
        quint32 entryWord; // the entry answer: with or without the UTF-8 capability
    };
    for (const Case& c :
         {Case{"Shift_JIS", cmd::AnsEntry}, Case{"UTF-8", cmd::AnsEntry | cmd::Utf8Capability}}) {
        SCOPED_TRACE(c.name);
        NarrowPeer peer;
        ASSERT_TRUE(peer.bind(pair().nameB()));
        peer.send(pair().ipA(), c.entryWord, QByteArray("jiro") + '\0' + "narrow");
        const bool readsUtf8 = (c.entryWord & cmd::Utf8Capability) != 0;
        ASSERT_TRUE(waitUntil([&] {
            const int row = a.peerRow(pair().ipB());
            return row >= 0 && !a.peers().peerAt(row).ours &&
                   a.peers().peerAt(row).readsUtf8 == readsUtf8;
        }));

        QElapsedTimer clock;
        clock.start();
        TextWindow* source = a.sendTo(pair().ipB(), text);
        ASSERT_TRUE(waitUntil([&] { return source->statusText() == u"IPM(送信済)"; }, 10s));
        std::printf("%s: %d pieces in %d datagrams, longest datagram %lld bytes, %lld ms\n", c.name,
                    static_cast<int>(peer.pieces.size()), peer.datagramsRead,
                    static_cast<long long>(peer.longestDatagram),
                    static_cast<long long>(clock.elapsed()));
        EXPECT_LE(peer.longestDatagram, NarrowPeer::ReadLimit);
        const QString arrived = peer.text();
        const QString expected = velmar::ipmsg::lineBreaksForWire(text);
        const auto differ =
            std::mismatch(arrived.cbegin(), arrived.cend(), expected.cbegin(), expected.cend());
        EXPECT_TRUE(arrived == expected) << arrived.size() << " of " << expected.size()
                                         << " characters arrived, the first difference at "
                                         << std::distance(arrived.cbegin(), differ.first);
        const bool utf8 = (peer.pieces.first().word & cmd::Utf8Option) != 0;
        EXPECT_EQ(utf8, readsUtf8);
        source->close();
    }
}

} // namespace
