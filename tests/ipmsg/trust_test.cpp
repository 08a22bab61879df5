// Sending and receiving under loss, other clients, UTF-8 peers and floods.

#include "fakes.h"

#include <QCoreApplication>

using namespace velmar;
using namespace velmar::ipmsg;
using namespace velmar::ipmsg::testing;
namespace keys = settings::keys;

namespace {

class Trust : public MessengerTest {
protected:
    void SetUp() override
    {
        set(keys::Retry, "3");
        load();
    }
    // An entry answer from a peer announcing `version`, optionally with the UTF-8 capability.
    void addClient(const char* version, const char* ip, quint16 port, bool utf8 = false)
    {
        const QByteArray word = utf8 ? "16777219" : "3";
        endpoint.inject(QByteArray(version) + ":1:u:h:" + word + ":peer" + QByteArray(1, '\0') +
                            "g",
                        QString::fromUtf8(ip), port);
        endpoint.sent.clear();
    }
    void sendTo(int row, const QString& text)
    {
        messenger->chooseRow(row);
        messenger->sendActiveText(text, QString(), 0);
        messenger->send(Messenger::Button::Left);
    }
    void receipt(const QByteArray& number, const char* ip, quint16 port)
    {
        endpoint.inject("1:9:u:h:33:" + number, QString::fromUtf8(ip), port);
    }
    QList<QByteArray> numbersSent() const
    {
        QList<QByteArray> out;
        for (const auto& s : endpoint.sent)
            out << s.data.split(':').value(1);
        return out;
    }
};

TEST_F(Trust, EachReceiptAcknowledgesOnlyItsPiece)
{
    addPeer("a", "10.77.0.2", 2425);
    sendTo(0, QString(70000, u'x')); // three pieces
    const QList<QByteArray> pieces = numbersSent();
    ASSERT_EQ(pieces.size(), 3);
    boxes.boxes.clear(); // the warning that the text goes in pieces
    struct Step {
        const char* what;
        QByteArray receiptNumber; // empty: a tick instead
        QList<QByteArray> resent;
        int sentMarks;
    } steps[] = {
        {"piece 2 acknowledged, piece 1 lost", pieces[1], {}, 0},
        {"a late receipt of an earlier send", "1", {}, 0},
        {"the tick resends what is missing", {}, {pieces[0], pieces[2]}, 0},
        {"piece 3 acknowledged", pieces[2], {}, 0},
        {"the tick resends piece 1 only", {}, {pieces[0]}, 0},
        {"piece 1 acknowledged", pieces[0], {}, 0},
        {"the tick completes the send", {}, {}, 1},
    };
    for (const Step& step : steps) {
        endpoint.sent.clear();
        if (step.receiptNumber.isEmpty())
            messenger->tick();
        else
            receipt(step.receiptNumber, "10.77.0.2", 2425);
        EXPECT_EQ(numbersSent(), step.resent) << step.what;
        EXPECT_EQ(host.sentMarks, step.sentMarks) << step.what;
        EXPECT_TRUE(boxes.boxes.isEmpty()) << step.what;
    }
}

TEST_F(Trust, PiecesForOtherClientsFitEightKilobytesAndReassemble)
{
    addClient("1_abc", "10.77.0.3", 2425);
    addClient("1_abc", "10.77.0.4", 2425, true);
    // Two-byte characters in both encodings, CR LF and a four-byte character.
    const QString unit = QStringLiteral("日本語のテキスト\r\nabc😀");
    QString text;
    while (text.size() < 70000)
        text += unit;
    const struct {
        int row;
        WireEncoding encoding;
    } cases[] = {{0, WireEncoding::ShiftJis}, {1, WireEncoding::Utf8}};
    boxes.answer = true; // 〓 for what Shift_JIS lacks
    for (const auto& c : cases) {
        endpoint.sent.clear();
        messenger->state().clearDestinations();
        sendTo(c.row, text);
        ASSERT_GT(endpoint.sent.size(), 8);
        QString joined;
        for (const auto& s : endpoint.sent) {
            EXPECT_LE(s.data.size(), MaxPieceBytes);
            joined += splitPacket(decodeText(s.data, c.encoding))->extra;
        }
        QString expected = lineBreaksForWire(text);
        if (c.encoding == WireEncoding::ShiftJis)
            expected.replace(QStringLiteral("😀"), QStringLiteral("〓"));
        EXPECT_EQ(joined, expected) << static_cast<int>(c.encoding);
        messenger->sendJob().stop();
    }
}

TEST_F(Trust, ARepeatedNoticeGivesOneBoxAndEveryAnswer)
{
    addPeer("a", "10.77.0.2", 2425);
    for (int i = 0; i < 5; ++i)
        receive("1:40:u:h:48:123", "10.77.0.2", 2425);
    receive("1:41:u:h:48:124", "10.77.0.2", 2425);
    EXPECT_EQ(endpoint.sent.size(), 6) << "answered before any box";
    EXPECT_TRUE(boxes.boxes.isEmpty());
    QCoreApplication::processEvents();
    ASSERT_EQ(boxes.boxes.size(), 1) << "gathered into one box";
    EXPECT_EQ(boxes.boxes[0].text.count(QStringLiteral("さんが開封しました")), 2)
        << "one line per sender and packet";
}

TEST_F(Trust, EntryFloodIsBoundedAndNamesAreCut)
{
    set(keys::Retry, "0");
    const QByteArray longName(1000, 'n');
    for (int i = 0; i < 100000; ++i)
        endpoint.inject("1:1:u:h:3:" + longName,
                        QStringLiteral("10.77.%1.%2").arg(i / 250).arg(i % 250),
                        static_cast<quint16>(1 + i % 60000));
    EXPECT_EQ(messenger->peers()->count(), ReceiveProcessor::MaxPeers);
    EXPECT_EQ(messenger->peers()->peerAt(0).name.size(), ReceiveProcessor::MaxNameLength);
}

TEST_F(Trust, AFloodingSenderIsCollectedIntoOneWindow)
{
    qint64 now = 0;
    messenger->receiver().setClock([&now] { return now; });
    const struct {
        const char* what;
        const char* ip;
        int messages;
        qint64 gapMs; // before each message
        qsizetype windows;
        qsizetype collected;
    } steps[] = {
        {"ten windows at once", "10.77.0.2", 10, 0, 10, 0},
        {"the eleventh and further are collected", "10.77.0.2", 5, 100, 10, 5},
        {"another sender is unaffected", "10.77.0.3", 3, 0, 13, 5},
        {"collecting goes on while the flood does", "10.77.0.2", 1, 9900, 13, 6},
        {"after ten quiet seconds windows open again", "10.77.0.2", 1, 10000, 14, 6},
        {"a steady sender never reaches the limit", "10.77.0.4", 12, 1100, 26, 6},
    };
    int number = 100;
    int receipts = 0;
    for (const auto& step : steps) {
        for (int i = 0; i < step.messages; ++i) {
            now += step.gapMs;
            const QByteArray n = QByteArray::number(++number);
            endpoint.inject("1:" + n + ":u:h:288:text " + n, QString::fromUtf8(step.ip), 2425);
        }
        receipts += step.messages;
        EXPECT_EQ(host.windowCount, step.windows) << step.what;
        EXPECT_EQ(host.collectedCount, step.collected) << step.what;
        EXPECT_EQ(host.sounds, step.windows) << step.what << ": one sound per window";
        int sentReceipts = 0;
        for (const auto& s : endpoint.sent)
            sentReceipts += s.data.split(':').value(4) == "33";
        EXPECT_EQ(sentReceipts, receipts) << step.what << ": a receipt for every message";
    }
    ASSERT_FALSE(host.collected.isEmpty());
    const IncomingMessage& collected = host.collected.first();
    EXPECT_EQ(collected.text, u"text 111");
    EXPECT_EQ(collected.replyAddress, u"10.77.0.2");
}

TEST_F(Trust, ManySendersTogetherAreCollectedIntoOneWindow)
{
    qint64 now = 0;
    messenger->receiver().setClock([&now] { return now; });
    const auto ip = [](int i) { return QStringLiteral("10.77.1.%1").arg(i); };
    int number = 100;
    const auto send = [&](const QString& from, const char* word = "288") {
        const QByteArray n = QByteArray::number(++number);
        endpoint.inject("1:" + n + ":u:h:" + word + ":text " + n, from, 2425);
    };
    const struct {
        const char* what;
        int senders; // one message each from senders first..first+senders-1
        int first;
        qint64 gapMs; // before each message
        qsizetype windows;
        qsizetype stormed;
    } steps[] = {
        {"thirty windows from thirty senders", 30, 0, 10, 30, 0},
        {"the thirty-first sender is collected", 5, 30, 10, 30, 5},
        {"even a sender with a window of its own", 1, 0, 9000, 30, 6},
        {"after ten quiet seconds windows open again", 1, 40, 10000, 31, 6},
    };
    for (const auto& step : steps) {
        for (int i = 0; i < step.senders; ++i) {
            now += step.gapMs;
            send(ip(step.first + i));
        }
        EXPECT_EQ(host.windowCount, step.windows) << step.what;
        EXPECT_EQ(host.collectedCount, step.stormed) << step.what;
    }
    EXPECT_EQ(host.collectingKeys, QSet<QString>{QString()}) << "one window for every sender";
    for (const IncomingMessage& m : host.collected) {
        EXPECT_TRUE(m.storm);
        EXPECT_EQ(m.senderName, u"u/h") << "shown under its sender";
    }
    EXPECT_EQ(host.collected[1].replyAddress, ip(31)) << "and its own reply address";

    // A flooding sender's own collecting window counts among the thirty.
    now += 20000;
    host.collected.clear();
    host.collectingKeys.clear();
    for (int i = 0; i < 11; ++i)
        send(ip(200)); // ten windows, then its collecting window
    for (int i = 0; i < 19; ++i)
        send(ip(210 + i));
    send(ip(250)); // the thirty-first window would open: collected instead
    ASSERT_EQ(host.collected.size(), 2);
    EXPECT_FALSE(host.collected[0].storm);
    EXPECT_TRUE(host.collected[1].storm);
    EXPECT_EQ(host.collected[1].replyAddress, ip(250));
}

TEST_F(Trust, MessageTextIsReadInTheRightEncoding)
{
    addClient("1", "10.77.0.2", 2425);         // one of ours
    addClient("1_x", "10.77.0.3", 2425);       // another client, no capability
    addClient("1_x", "10.77.0.4", 2425, true); // advertised UTF-8
    const QString text = QStringLiteral("こんにちは");
    const struct {
        const char* what;
        const char* ip;
        QByteArray version;
        QByteArray word;
        QByteArray body;
    } cases[] = {
        {"UTF-8 with the option bit", "10.77.0.2", "1", "8388896", text.toUtf8()},
        {"UTF-8 without the bit from another client", "10.77.0.3", "1_x", "288", text.toUtf8()},
        {"Shift_JIS from another client", "10.77.0.3", "1_x", "288", toWire(text)},
        {"UTF-8 from a peer that advertised it", "10.77.0.4", "1_x", "288", text.toUtf8()},
        {"Shift_JIS from one of ours", "10.77.0.2", "1", "288", toWire(text)},
    };
    int n = 100;
    for (const auto& c : cases) {
        host.windows.clear();
        endpoint.inject(c.version + ":" + QByteArray::number(++n) + ":u:h:" + c.word + ":" + c.body,
                        QString::fromUtf8(c.ip), 2425);
        ASSERT_EQ(host.windows.size(), 1) << c.what;
        EXPECT_EQ(host.windows[0].text, text) << c.what;
    }
}

TEST_F(Trust, APeerAdvertisesUTF8ByItsCapabilityBitOrItsExtraFields)
{
    const struct {
        const char* what;
        QByteArray word;
        QByteArray extra;
        bool readsUtf8;
    } cases[] = {
        {"nothing said", "3", QByteArrayLiteral("peer\0g\0x-8"), false},
        {"the capability bit", "16777219", QByteArrayLiteral("peer\0g"), true},
        {"utf-8 among the fields", "3", QByteArrayLiteral("peer\0g\0sjis,utf-8"), true},
        {"in capitals", "1", QByteArrayLiteral("peer\0g\0UTF-8"), true},
        {"only part of it", "3", QByteArrayLiteral("peer\0g\0tf-8 utf8 -8"), false},
    };
    quint16 port = 3000;
    for (const auto& c : cases) {
        endpoint.inject("1_x:1:u:h:" + c.word + ":" + c.extra, QStringLiteral("10.77.0.9"), ++port);
        const int row =
            messenger->peers()->findRow(QStringLiteral("10.77.0.9"), QString::number(port));
        ASSERT_GE(row, 0) << c.what;
        EXPECT_EQ(messenger->peers()->peerAt(row).readsUtf8, c.readsUtf8) << c.what;
        EXPECT_EQ(messenger->peers()->cell(row, PeerColumn::Name), u"peer") << c.what;
    }
}

TEST_F(Trust, UTF8PeersGetUTF8AndTheirUTF8Names)
{
    endpoint.inject(QByteArray("1_x:1:u:h:16777219:sjis") + QByteArray(1, '\0') + "g" +
                        utf8NamesTail({QStringLiteral("u"), QStringLiteral("h"),
                                       QStringLiteral("太郎"), QStringLiteral("営業")}),
                    QStringLiteral("10.77.0.4"), 2425);
    ASSERT_EQ(messenger->peers()->count(), 1);
    EXPECT_EQ(messenger->peers()->cell(0, PeerColumn::Name), u"太郎");
    EXPECT_EQ(messenger->peers()->cell(0, PeerColumn::Group), u"営業");
    endpoint.sent.clear();
    sendTo(0, QStringLiteral("𠀋と😀"));
    ASSERT_EQ(endpoint.sent.size(), 1);
    EXPECT_EQ(rawCommandWord(endpoint.sent[0].data), cmd::SendMsg | cmd::Utf8Option);
    EXPECT_TRUE(endpoint.sent[0].data.endsWith(QStringLiteral(":𠀋と😀").toUtf8()));
}

TEST_F(Trust, SettingsAreReadSafely)
{
    const struct {
        const char* retry;
        qint64 read;
    } retries[] = {{"1000000", 20}, {"-5", 1}, {"0", 1}, {"20", 20}, {"x", 6}};
    for (const auto& c : retries) {
        set(keys::Retry, c.retry);
        EXPECT_EQ(messenger->packets().retry(), c.read) << c.retry;
    }
}

TEST_F(Trust, PacketNumbersContinueAfterARestart)
{
    set(keys::LastPacketNumber, "900000");
    Messenger restarted(endpoint, *settings.store, gauge, boxes, host);
    EXPECT_EQ(restarted.packets().newMessageNumber(), u"900001");
    EXPECT_EQ(restarted.packets().newEntryNumber(), u"900002");
    restarted.exitBroadcast();
    EXPECT_EQ(settings.store->read(keys::LastPacketNumber).toLongLong(),
              restarted.packets().newMessageNumber().toLongLong() - 1);
}

TEST_F(Trust, EveryOwnAddressIsOurs)
{
    messenger->receiver().setOwnAddresses([] { return QStringList{QStringLiteral("10.8.0.5")}; });
    endpoint.inject("1:1:u:h:3:me", QStringLiteral("10.8.0.5"), 2425);
    endpoint.inject("1:1:u:h:3:other", QStringLiteral("10.8.0.6"), 2425);
    EXPECT_EQ(messenger->peers()->count(), 1);
}

TEST_F(Trust, APortInUseIsSaidAtStartUp)
{
    const struct {
        bool failBind;
        QStringList titles;
    } cases[] = {{false, {}}, {true, {QStringLiteral("ポート使用中")}}};
    for (const auto& c : cases) {
        boxes.boxes.clear();
        endpoint.failBind = c.failBind;
        EXPECT_EQ(messenger->bindAtStart(), !c.failBind);
        EXPECT_EQ(boxes.titles(), c.titles);
    }
    EXPECT_TRUE(boxes.boxes.last().text.contains(u"2425"));
}

} // namespace
