// Presence and the receive processor, driven through the fake endpoint.

#include "fakes.h"

#include <QCoreApplication>
#include <QSet>
#include <string_view>

using namespace velmar;
using namespace velmar::ipmsg;
using namespace velmar::ipmsg::testing;
namespace keys = velmar::settings::keys;

namespace {

QByteArray bytes(const char* s, int n)
{
    return QByteArray(s, n);
}

class Presence : public MessengerTest {};

TEST_F(Presence, RetryZeroStillSendsEachEntryExitAndAnswerOnce)
{
    // 0 would leave the user invisible: peers would never list nor drop them.
    set(keys::Retry, "0");
    messenger->load();
    messenger->exitBroadcast();
    receive(bytes("1:5:u:h:1:a\0g", 13), "10.77.0.9", 2425);
    QList<quint32> commands;
    for (const auto& sent : endpoint.sent)
        commands << (rawCommandWord(sent.data) & 0xFF);
    EXPECT_EQ(commands, (QList<quint32>{cmd::BrEntry, cmd::BrExit, cmd::AnsEntry}));
    EXPECT_EQ(messenger->peers()->count(), 1);
}

TEST_F(Presence, EntryGoesToTheBroadcastAddressAndTheList)
{
    set(keys::Retry, "2");
    set(keys::UserName, "山田");
    set(keys::BroadcastList, "2425:192.168.1.255, 2426 :10.0.0.255,bad,x:1.2.3.4");
    messenger->load();
    ASSERT_EQ(endpoint.sent.size(), 6);
    // The capability bit, then our names in Shift_JIS and again in UTF-8.
    const QByteArray first = QByteArray("1:1001:Wait:PC01:16777217:") + sjis("山田") +
                             bytes("\0NoGroup", 8) + ownNames("山田");
    const QByteArray second = QByteArray("1:1002:Wait:PC01:16777217:") + sjis("山田") +
                              bytes("\0NoGroup", 8) + ownNames("山田");
    const struct {
        const char* host;
        quint16 port;
        QByteArray data;
    } expected[] = {{"255.255.255.255", 2425, first}, {"192.168.1.255", 2425, first},
                    {"10.0.0.255", 2426, first},      {"255.255.255.255", 2425, second},
                    {"192.168.1.255", 2425, second},  {"10.0.0.255", 2426, second}};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(endpoint.sent[i].host, QString::fromUtf8(expected[i].host)) << i;
        EXPECT_EQ(endpoint.sent[i].port, expected[i].port) << i;
        EXPECT_EQ(endpoint.sent[i].data, expected[i].data) << i;
    }
}

TEST_F(Presence, ExitCarriesThePlainNameEvenWhileAbsent)
{
    set(keys::Retry, "1");
    load();
    messenger->setAbsence(QStringLiteral("会議中"), QStringLiteral("後で"));
    messenger->exitBroadcast();
    messenger->entryBroadcast(true);
    ASSERT_EQ(endpoint.sent.size(), 2);
    EXPECT_EQ(endpoint.sent[0].data, bytes("1:1002:Wait:PC01:2:NoName\0NoGroup", 33));
    // While absent, entries carry the absence option (0x100) besides the title.
    EXPECT_EQ(endpoint.sent[1].data, QByteArray("1:1003:Wait:PC01:16777473:NoName[") +
                                         sjis("会議中") + bytes("]\0NoGroup", 9) +
                                         ownNames("NoName[会議中]"));
}

TEST_F(Presence, EntriesAreAnsweredRetryTimesAtMostOnceASecondPerSender)
{
    qint64 now = 0;
    messenger->receiver().setClock([&now] { return now; });
    load();
    for (int i = 0; i < 6; ++i)
        receive(bytes("1:7:u:h:1:peer\0grp", 18), "10.77.0.9", 2426);
    EXPECT_EQ(endpoint.sent.size(), 6) << "repeats within a second are not answered";
    for (int i = 0; i < 5; ++i) {
        now += 1000;
        receive(bytes("1:7:u:h:1:peer\0grp", 18), "10.77.0.9", 2426);
    }
    ASSERT_EQ(endpoint.sent.size(), 36);
    for (const auto& s : endpoint.sent) {
        EXPECT_EQ(s.host, u"10.77.0.9");
        EXPECT_EQ(s.port, 2426);
    }
    EXPECT_EQ(endpoint.sent[0].data,
              bytes("1:1007:Wait:PC01:16777219:NoName\0NoGroup", 40) + ownNames("NoName"));
    EXPECT_EQ(messenger->peers()->count(), 1);
}

TEST_F(Presence, EntryAnswerCarriesTheAbsenceTitle)
{
    set(keys::Retry, "1");
    load();
    messenger->setAbsence(QStringLiteral("外出"), QStringLiteral("x"));
    receive(bytes("1:7:u:h:1:", 10), "10.77.0.9", 2425);
    ASSERT_EQ(endpoint.sent.size(), 1);
    EXPECT_EQ(endpoint.sent[0].data, QByteArray("1:1002:Wait:PC01:16777475:NoName[") +
                                         sjis("外出") + bytes("]\0NoGroup", 9) +
                                         ownNames("NoName[外出]"));
}

TEST_F(Presence, HeldArrivalsWaitUnansweredUntilReleased)
{
    set(keys::Retry, "1");
    load();
    messenger->holdArrivals(true);
    receive(bytes("1:7:u:h:1:", 10), "10.77.0.9", 2425);
    receive(bytes("1:8:v:h:1:", 10), "10.77.0.8", 2425);
    EXPECT_TRUE(endpoint.sent.isEmpty());
    EXPECT_EQ(messenger->peers()->count(), 0);
    messenger->holdArrivals(false);
    ASSERT_EQ(endpoint.sent.size(), 2);
    EXPECT_EQ(endpoint.sent[0].host, u"10.77.0.9");
    EXPECT_EQ(endpoint.sent[1].host, u"10.77.0.8");
    EXPECT_EQ(messenger->peers()->count(), 2);
}

TEST_F(Presence, KnownPeerMovesToTheBottomAndExitRemovesIt)
{
    set(keys::Retry, "0");
    load();
    addPeer("a", "10.77.0.2", 2425);
    addPeer("b", "10.77.0.3", 2425);
    addPeer("c", "10.77.0.3", 2426);
    EXPECT_EQ(messenger->peers()->findRow(QStringLiteral("10.77.0.2"), QStringLiteral("2425")), 0);
    addPeer("a2", "10.77.0.2", 2425);
    const PeerListModel& peers = *messenger->peers();
    ASSERT_EQ(peers.count(), 3);
    EXPECT_EQ(peers.cell(0, PeerColumn::Name), u"b");
    EXPECT_EQ(peers.cell(1, PeerColumn::Name), u"c");
    EXPECT_EQ(peers.cell(2, PeerColumn::Name), u"a2");
    EXPECT_EQ(messenger->peers()->findRow(QStringLiteral("10.77.0.2"), QStringLiteral("2425")), 2);

    receive("1:9:u:h:2:", "10.77.0.3", 2425);
    receive("1:9:u:h:2:", "10.77.0.99", 2425); // unknown: nothing changes
    ASSERT_EQ(peers.count(), 2);
    EXPECT_EQ(peers.cell(0, PeerColumn::Name), u"c");
    EXPECT_EQ(messenger->peers()->findRow(QStringLiteral("10.77.0.3"), QStringLiteral("2425")), -1);
}

TEST_F(Presence, NamesAreCleanedAndFallBackToTheHeader)
{
    set(keys::Retry, "0");
    load();
    receive(bytes("1:1:login:host:3:ni:ck\0gr\tp", 27), "10.77.0.2", 2425);
    receive("1:1:login:host:3:", "10.77.0.3", 2425);
    receive(bytes("1:1:login:host:0:\0", 18), "10.77.0.4", 2425);
    const PeerListModel& peers = *messenger->peers();
    ASSERT_EQ(peers.count(), 3);
    EXPECT_EQ(peers.cell(0, PeerColumn::Name), u"ni;ck");
    EXPECT_EQ(peers.cell(0, PeerColumn::Group), u"gr p");
    EXPECT_EQ(peers.cell(1, PeerColumn::Name), u"login");
    EXPECT_EQ(peers.cell(1, PeerColumn::Group), u"host");
    EXPECT_EQ(peers.cell(2, PeerColumn::Name), u"login");
    EXPECT_EQ(peers.cell(2, PeerColumn::Port), u"2425");
}

TEST_F(Presence, RowColourFollowsTheAbsenceOption)
{
    set(keys::Retry, "0");
    set(keys::AbsentBackgroundColour, "255");
    load();
    receive("1:1:u:h:259:", "10.77.0.2", 2425); // 0x103: entry answer + absence option
    receive("1:1:u:h:3:", "10.77.0.3", 2425);
    const PeerListModel& peers = *messenger->peers();
    EXPECT_EQ(peers.peerAt(0).colour, std::optional<quint32>(255));
    EXPECT_EQ(peers.peerAt(1).colour, std::nullopt);
    set(keys::PresentBackgroundColour, "65280");
    receive("1:1:u:h:3:", "10.77.0.3", 2425);
    EXPECT_EQ(peers.peerAt(1).colour, std::optional<quint32>(65280));
}

TEST_F(Presence, DropsOwnAddressBadVersionsAndBadCommands)
{
    set(keys::Retry, "1");
    load();
    receive("1:1:u:h:1:", "10.77.0.1", 2426); // our own address, any port
    receive("01:1:u:h:1:", "10.77.0.2", 2425);
    receive("1.0:1:u:h:1:", "10.77.0.2", 2425);
    receive("1:1:u:h:one:", "10.77.0.2", 2425);
    receive("1:1:u:h:1", "10.77.0.2", 2425);
    receive("1:1:u:h:99999999999:", "10.77.0.2", 2425);
    EXPECT_EQ(messenger->peers()->count(), 0);
    EXPECT_TRUE(endpoint.sent.isEmpty());
    receive("1_iptux 0.8.3:1:u:h:1:", "10.77.0.2", 2425);
    EXPECT_EQ(messenger->peers()->count(), 1);
    EXPECT_EQ(endpoint.sent.size(), 1);
}

class Receive : public MessengerTest {
protected:
    void SetUp() override
    {
        set(keys::Retry, "2");
        load();
    }
    // Commands of the sent datagrams, e.g. {"1", "33"}.
    QStringList sentCommands() const
    {
        QStringList out;
        for (const auto& s : endpoint.sent)
            out << fromWire(s.data).section(u':', 4, 4);
        return out;
    }
};

TEST_F(Receive, MessageFromAStrangerOpensAWindowAndAsksItToIntroduceItself)
{
    receive(bytes("1:77:Wait:PC09:288:hello\nworld:x\0", 33), "10.77.0.9", 2425);
    ASSERT_EQ(endpoint.sent.size(), 2);
    EXPECT_EQ(endpoint.sent[0].host, u"10.77.0.9");
    EXPECT_EQ(endpoint.sent[0].data,
              bytes("1:1003:Wait:PC01:16777217:NoName\0NoGroup", 40) + ownNames("NoName"));
    EXPECT_EQ(endpoint.sent[1].data, QByteArray("1:1004:Wait:PC01:33:77"));
    ASSERT_EQ(host.windows.size(), 1);
    const IncomingMessage& m = host.windows[0];
    EXPECT_EQ(m.text, u"hello\r\nworld:x");
    EXPECT_EQ(m.caption, u"From Network Wait/PC09(IP Messenger Protcol) 2024/05/06 07:08:09");
    EXPECT_EQ(m.replyAddress, u"10.77.0.9");
    EXPECT_EQ(m.replyPort, 2425);
    EXPECT_EQ(m.statusText, QStringLiteral("IPM(未返信)2425:10.77.0.9"));
    EXPECT_FALSE(m.sealed);
    EXPECT_TRUE(m.packetNumber.isEmpty());
    EXPECT_EQ(m.background, std::nullopt);
    EXPECT_EQ(host.sounds, 1);
    EXPECT_EQ(host.blinks, 0);
}

TEST_F(Receive, MessageFromAListedPeerUsesItsNameAndGroup)
{
    addPeer("花子", "10.77.0.5", 2425);
    set(keys::MessageBackgroundColour, "-2147483643");
    host.tray = true;
    receive("1:8:u:h:32:本文", "10.77.0.5", 2425); // 0x20 without the receipt option
    ASSERT_EQ(host.windows.size(), 1);
    EXPECT_EQ(host.windows[0].caption,
              QStringLiteral("From Network 花子/g(IP Messenger Protcol) 2024/05/06 07:08:09"));
    EXPECT_EQ(host.windows[0].text, QStringLiteral("本文"));
    EXPECT_EQ(host.windows[0].background, std::optional<quint32>(0x80000005u));
    EXPECT_EQ(sentCommands(), QStringList{QStringLiteral("33")});
    EXPECT_EQ(host.blinks, 1);
}

TEST_F(Receive, ARepeatGetsItsReceiptAgainButNoSecondWindow)
{
    addPeer("p", "10.77.0.5", 2425);
    receive("1:8:u:h:288:x", "10.77.0.5", 2425);
    receive("1:8:u:h:288:x", "10.77.0.5", 2425);
    EXPECT_EQ(host.windows.size(), 1);
    EXPECT_EQ(sentCommands(), (QStringList{QStringLiteral("33"), QStringLiteral("33")}));
    EXPECT_EQ(fromWire(endpoint.sent[1].data).section(u':', 5), u"8");

    receive("1:8:u:h:288:x", "10.77.0.5", 2426); // same number, another port
    EXPECT_EQ(host.windows.size(), 2);
}

TEST_F(Receive, ARepeatIsKnownWhileItsSenderMayStillRepeatIt)
{
    qint64 now = 0;
    messenger->receiver().setClock([&now] { return now; });
    addPeer("p", "10.77.0.5", 2425);
    const auto message = [this](int number) {
        receive("1:" + QByteArray::number(number) + ":u:h:288:x", "10.77.0.5", 2425);
    };
    // A long text's first piece repeated after its other pieces: no second window.
    for (int number = 1; number <= 10; ++number)
        message(number);
    message(1);
    EXPECT_EQ(host.windows.size(), 10);
    // A minute later the number is free again (a sender that restarted).
    now += ReceiveProcessor::DuplicateWindowMs + 1;
    message(1);
    EXPECT_EQ(host.windows.size(), 11);
    // The history is bounded: the oldest number falls out first.
    // (Past the flood limit the messages are collected rather than given windows.)
    for (int number = 100; number < 100 + ReceiveProcessor::DuplicateHistory; ++number)
        message(number);
    host.windows.clear();
    host.collected.clear();
    message(1);
    message(100 + ReceiveProcessor::DuplicateHistory - 1);
    EXPECT_EQ(host.windows.size() + host.collected.size(), 1);
}

TEST_F(Receive, SealedMessages)
{
    struct Case {
        const char* word;
        const char* password;
        bool readCheck;
        bool passwordBox;
    } cases[] = {
        {"1049376", "", true, false}, // sealed, read notice wanted
        {"1082144", "", true, false}, // locked, but no local password
        {"1082144", "pw", true, true},
        {"33568", "pw", false, true}, // sealed + locked, no read notice
    };
    addPeer("p", "10.77.0.5", 2425);
    int number = 100;
    for (const Case& c : cases) {
        set(keys::Password, c.password);
        host.windows.clear();
        const QByteArray packet =
            "1:" + QByteArray::number(++number) + ":u:h:" + c.word + ":secret";
        receive(packet, "10.77.0.5", 2425);
        ASSERT_EQ(host.windows.size(), 1) << c.word;
        const IncomingMessage& m = host.windows[0];
        EXPECT_TRUE(m.sealed) << c.word;
        EXPECT_EQ(m.packetNumber, QString::number(number)) << c.word;
        EXPECT_EQ(m.noticeOwed, c.readCheck) << c.word;
        EXPECT_EQ(m.passwordBox, c.passwordBox) << c.word;
    }
}

TEST_F(Receive, ReceiptRulesAndAbsenceReplies)
{
    addPeer("p", "10.77.0.5", 2425);
    messenger->setAbsence(QStringLiteral("会議"), QStringLiteral("席を\r\n外しています"));
    struct Case {
        const char* word;
        const char* commands; // commands of the answers, in order
    } cases[] = {
        {"288", "8224 8224 33"}, {"8224", ""}, // an absence reply: no receipt, no reply back
        {"1312", "8224 8224"},                 // broadcast option
        {"2336", "8224 8224"},                 // multicast option
        {"524576", "8224 8224"},               // no-add-list option
        {"65", "8224 8224 33"},                // a version answer is shown like a message
    };
    int number = 200;
    for (const Case& c : cases) {
        endpoint.sent.clear();
        receive("1:" + QByteArray::number(++number) + ":u:h:" + c.word + ":x", "10.77.0.5", 2425);
        EXPECT_EQ(sentCommands().join(u' '), QString::fromUtf8(c.commands)) << c.word;
    }
    endpoint.sent.clear();
    receive("1:300:u:h:288:x", "10.77.0.5", 2425);
    EXPECT_TRUE(endpoint.sent[0].data.endsWith(
        QByteArray(QByteArray(":Wait:PC01:8224:") + sjis("席を\n外しています"))));
}

TEST_F(Receive, AnAbsenceReplyGoesOutUnderOneNumberAndIsShownOnce)
{
    set(keys::Retry, "3");
    addPeer("p", "10.77.0.5", 2425);
    messenger->setAbsence(QStringLiteral("会議"), QStringLiteral("席を外しています"));
    qint64 now = 0;
    messenger->receiver().setClock([&now] { return now; });
    endpoint.sent.clear();
    receive("1:201:u:h:288:x", "10.77.0.5", 2425);
    QSet<QByteArray> numbers;
    int replies = 0;
    for (const auto& s : endpoint.sent) {
        if (s.data.split(':').value(4) == "8224") {
            ++replies;
            numbers.insert(s.data.split(':').value(1));
        }
    }
    EXPECT_EQ(replies, 3);
    EXPECT_EQ(numbers.size(), 1) << "the copies are one reply";

    // The other side: copies under new numbers, and the same text again.
    const struct {
        const char* what;
        const char* ip;
        const char* text;
        qint64 gapMs;
        qsizetype windows; // after the step
    } steps[] = {
        {"the first reply is shown", "10.77.0.6", "留守です", 0, 2},
        {"a copy under a new number is not", "10.77.0.6", "留守です", 10, 2},
        {"nor the same text again within a minute", "10.77.0.6", "留守です", 50000, 2},
        {"another text is", "10.77.0.6", "会議中です", 10, 3},
        {"the same text from another sender is", "10.77.0.7", "会議中です", 10, 4},
        {"a minute after the last copy, it is again", "10.77.0.6", "会議中です", 60000, 5},
        {"an ordinary message with that text always is", "10.77.0.6", "会議中です", 10, 6},
    };
    int number = 300;
    for (const auto& step : steps) {
        now += step.gapMs;
        const char* word = std::string_view(step.what).starts_with("an ordinary") ? "288" : "8224";
        receive("1:" + QByteArray::number(++number) + ":u:h:" + word + ":" + step.text, step.ip,
                2425);
        EXPECT_EQ(host.windowCount, step.windows) << step.what;
    }
}

TEST_F(Receive, ReadAndDiscardNoticesAreGatheredIntoOneBoxAtATime)
{
    addPeer("花子", "10.77.0.5", 2425);
    addPeer("次郎", "10.77.0.7", 2425);
    receive("1:40:u:h:48:123", "10.77.0.5", 2425);
    // Answered at once; the box comes after the datagram handler has returned.
    ASSERT_EQ(endpoint.sent.size(), 1);
    EXPECT_TRUE(boxes.boxes.isEmpty());
    QCoreApplication::processEvents();
    ASSERT_EQ(boxes.boxes.size(), 1);
    EXPECT_EQ(boxes.boxes[0].title, QStringLiteral("封書開封通知 From 10.77.0.5-花子"));
    EXPECT_EQ(boxes.boxes[0].text, QStringLiteral("開封されました"));
    EXPECT_EQ(endpoint.sent[0].data, QByteArray("1:1003:Wait:PC01:8242:40"));

    receive("1:41:u:h:49:124", "10.77.0.5", 2425);
    receive("1:42:u:h:8240:125", "10.77.0.7", 2425); // 0x2030: auto answer, not answered
    receive("1:43:u:h:48:126", "10.77.0.6", 2425);   // not listed: nothing
    receive("1:41:u:h:49:124", "10.77.0.5", 2425);   // a repeat: answered, listed once
    EXPECT_EQ(endpoint.sent.size(), 3);
    QCoreApplication::processEvents();
    ASSERT_EQ(boxes.boxes.size(), 2);
    EXPECT_EQ(boxes.boxes[1].title, QStringLiteral("封書通知 (2 件)"));
    EXPECT_EQ(boxes.boxes[1].text,
              QStringLiteral("花子さんが見ずに破棄しました: 番号 124 の封書\r\n"
                             "次郎さんが開封しました: 番号 125 の封書"));

    // A flood of notices: one box, its list bounded, the rest counted.
    const int many = ReceiveProcessor::MaxNoticeLines + 25;
    for (int i = 0; i < many; ++i)
        receive("1:" + QByteArray::number(500 + i) + ":u:h:48:" + QByteArray::number(900 + i),
                "10.77.0.5", 2425);
    EXPECT_EQ(messenger->receiver().queuedNotices(), many);
    QCoreApplication::processEvents();
    ASSERT_EQ(boxes.boxes.size(), 3);
    EXPECT_EQ(boxes.boxes[2].title, QStringLiteral("封書通知 (%1 件)").arg(many));
    const QStringList lines = boxes.boxes[2].text.split(QStringLiteral("\r\n"));
    EXPECT_EQ(lines.size(), ReceiveProcessor::MaxNoticeLines + 1);
    EXPECT_EQ(lines.last(), QStringLiteral("ほか 25 件"));
    EXPECT_EQ(messenger->receiver().queuedNotices(), 0);
}

TEST_F(Receive, InformationQueryIsAnsweredWithTheVersion)
{
    receive("1:50:u:h:576:", "10.77.0.5", 2429);
    ASSERT_EQ(endpoint.sent.size(), 1);
    EXPECT_EQ(endpoint.sent[0].port, 2429);
    EXPECT_EQ(endpoint.sent[0].data, QByteArray("1:1003:Wait:PC01:65:Velmar6 Ver7.3.0.2"));
}

TEST_F(Receive, SendErrorBoxOnceUntilReset)
{
    endpoint.failingHosts << QStringLiteral("10.77.0.5");
    receive("1:50:u:h:64:", "10.77.0.5", 2425);
    receive("1:51:u:h:64:", "10.77.0.5", 2425);
    EXPECT_TRUE(boxes.boxes.isEmpty()) << "never inside the datagram handler";
    QCoreApplication::processEvents();
    ASSERT_EQ(boxes.boxes.size(), 1);
    EXPECT_EQ(boxes.boxes[0].title, QStringLiteral("送信･ｴﾗｰ"));
    EXPECT_EQ(boxes.boxes[0].text,
              QStringLiteral("ｴﾗｰ番号=10065\r\nｴﾗｰ情報=host unreachable\r\n\r\n"
                             "\"設定\"にて、ポート番号を変更してください"));
    EXPECT_TRUE(messenger->packets().sendErrorShown());
    messenger->packets().setSendErrorShown(false);
    receive("1:52:u:h:64:", "10.77.0.5", 2425);
    QCoreApplication::processEvents();
    EXPECT_EQ(boxes.boxes.size(), 2);
}

TEST_F(Receive, PortInUseIsSilentForBroadcastsAndReportedOnTheFirstDirectSend)
{
    endpoint.failBind = true;
    EXPECT_FALSE(messenger->bindEndpoint());
    messenger->refreshPeers();
    messenger->exitBroadcast();
    EXPECT_TRUE(boxes.boxes.isEmpty());
    receive("1:50:u:h:64:", "10.77.0.5", 2425);
    receive("1:51:u:h:64:", "10.77.0.5", 2425);
    QCoreApplication::processEvents();
    ASSERT_EQ(boxes.boxes.size(), 1);
    EXPECT_TRUE(boxes.boxes[0].text.startsWith(QStringLiteral("ｴﾗｰ番号=10048\r\n")));
}

TEST_F(Receive, SettingsSectionFollowsTheBoundPort)
{
    settings.store->write(QStringLiteral("IPM"), QStringLiteral("Port"), QStringLiteral("2500"));
    settings.store->write(QStringLiteral("IPM\\2500"), QStringLiteral("Retry"),
                          QStringLiteral("1"));
    ASSERT_TRUE(messenger->bindEndpoint());
    EXPECT_EQ(endpoint.localPort(), 2500);
    messenger->exitBroadcast();
    ASSERT_EQ(endpoint.sent.size(), 1);
    EXPECT_EQ(endpoint.sent[0].port, 2500);
    settings.store->write(QStringLiteral("IPM"), QStringLiteral("Port"), QStringLiteral("x"));
    messenger->bindEndpoint();
    EXPECT_EQ(endpoint.localPort(), 2425);
}

} // namespace
