// The send pipeline with its retries, and the dialog-side operations.

#include "fakes.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <functional>

using namespace velmar;
using namespace velmar::ipmsg;
using namespace velmar::ipmsg::testing;
namespace keys = velmar::settings::keys;

namespace {

const QString kFailTitle = QStringLiteral("送信失敗");

class Sending : public MessengerTest {
protected:
    void SetUp() override
    {
        set(keys::Retry, "6");
        load();
        addPeer("a", "10.77.0.2", 2425);
        addPeer("b", "10.77.0.3", 2426);
    }
    void choose(int row) { messenger->chooseRow(row); }
    // Starts a left-button send of `text` to the chosen rows.
    void sendText(const QString& text)
    {
        messenger->sendActiveText(text, QString(), 0);
        messenger->send(Messenger::Button::Left);
    }
    // The receipt of the last piece sent.
    QByteArray receipt() const
    {
        return "1:9:u:h:33:" + splitPacket(messenger->sendJob().packetText())->packetNo.toLatin1();
    }
    // The extras (text after the fifth ":") of the message packets sent.
    QStringList sentTexts() const
    {
        QStringList out;
        for (const auto& s : endpoint.sent)
            out << splitPacket(fromWire(s.data))->extra;
        return out;
    }
};

TEST_F(Sending, MessagePacketIsBuiltByteExactly)
{
    choose(0);
    sendText(QStringLiteral("こんにちは\r\n世界:!"));
    ASSERT_EQ(endpoint.sent.size(), 1);
    EXPECT_EQ(endpoint.sent[0].host, u"10.77.0.2");
    EXPECT_EQ(endpoint.sent[0].port, 2425);
    // Messages keep the generated number as it is, leading zeros included.
    EXPECT_EQ(endpoint.sent[0].data,
              QByteArray("1:0001007:Wait:PC01:288:") + sjis("こんにちは\n世界:!"));
    EXPECT_EQ(messenger->sendJob().packetText(), fromWire(endpoint.sent[0].data));
    EXPECT_TRUE(messenger->retryTimer().isActive());
    EXPECT_FALSE(messenger->state().formEnabled());
    EXPECT_TRUE(messenger->state().progressShown());
    EXPECT_EQ(messenger->state().progressMaximum(), 1);
}

TEST_F(Sending, LongTextsGoInPiecesOfAtMost30000)
{
    struct Case {
        qsizetype length;
        std::vector<qsizetype> pieces;
        bool warned;
    } cases[] = {{29999, {29999}, false},
                 {30000, {30000}, true},
                 {30001, {30000, 1}, true},
                 {70000, {30000, 30000, 10000}, true}};
    choose(0);
    for (const Case& c : cases) {
        endpoint.sent.clear();
        boxes.boxes.clear();
        messenger->retryTimer().stop();
        sendText(QString(c.length, u'x'));
        std::vector<qsizetype> sizes;
        for (const QString& t : sentTexts())
            sizes.push_back(t.size());
        EXPECT_EQ(sizes, c.pieces) << c.length;
        EXPECT_EQ(boxes.titles().contains(QStringLiteral("注意")), c.warned) << c.length;
        // Only the last piece stays for the retries.
        EXPECT_EQ(splitPacket(messenger->sendJob().packetText())->extra.size(), c.pieces.back());
    }
}

TEST_F(Sending, APieceNeverEndsInsideASurrogatePair)
{
    choose(0);
    boxes.answer = true; // 〓 for the emoji this Shift_JIS peer cannot read
    const QString text = QString(29999, u'x') + QStringLiteral("😀z");
    sendText(text);
    ASSERT_EQ(endpoint.sent.size(), 2);
    EXPECT_EQ(sentTexts().at(0).size(), 29999);
    EXPECT_TRUE(endpoint.sent[1].data.endsWith(":288:\x81\xACz"));
}

// Our own peers announce UTF-8: they get it, in pieces of at most 30000 characters that
// also fit the largest datagram, and the pieces join to the text exactly.
TEST_F(Sending, PeersThatReadUtf8GetUtf8InPiecesThatFitADatagram)
{
    endpoint.inject(QByteArray("1:1:u:h:16777219:c\0g", 20), QStringLiteral("10.77.0.4"), 2425);
    const int row =
        messenger->peers()->findRow(QStringLiteral("10.77.0.4"), QStringLiteral("2425"));
    ASSERT_GE(row, 0);
    choose(row);
    endpoint.sent.clear();
    QString text = QStringLiteral("𠮷と😀、é、한국어\r\n");
    while (text.size() < 70000)
        text += QStringLiteral("日本語のテキスト。");
    text.truncate(70000);
    sendText(text);
    ASSERT_GE(endpoint.sent.size(), 4);
    QString joined;
    for (const auto& datagram : endpoint.sent) {
        EXPECT_LE(datagram.data.size(), MaxDatagramBytes);
        EXPECT_EQ(rawCommandWord(datagram.data), cmd::SendMsg | cmd::Utf8Option);
        const QString extra = splitPacket(QString::fromUtf8(datagram.data))->extra;
        EXPECT_LE(extra.size(), MaxPiece);
        joined += extra;
    }
    EXPECT_EQ(joined, lineBreaksForWire(text));
    EXPECT_TRUE(boxes.questions.isEmpty());
}

// A peer that reads only Shift_JIS: the characters it lacks are named, and nothing goes
// until the user agrees to 〓 for them.
TEST_F(Sending, AShiftJisPeerGetsNothingChangedWithoutTheUsersWord)
{
    choose(0);
    const QString text = QStringLiteral("10時〜12時 𠮷 é");
    qsizetype sentWhileAsked = -1;
    for (const bool agree : {false, true}) {
        boxes.boxes.clear();
        boxes.onAsk = [&] {
            sentWhileAsked = endpoint.sent.size();
            return agree;
        };
        sendText(text);
        ASSERT_EQ(boxes.boxes.size(), 1) << agree;
        EXPECT_EQ(boxes.boxes[0].title, u"確認");
        EXPECT_TRUE(boxes.boxes[0].text.contains(u"宛先: a")) << boxes.boxes[0].text.toStdString();
        EXPECT_TRUE(boxes.boxes[0].text.contains(u"𠮷 (U+20BB7)、é (U+00E9)"));
        EXPECT_FALSE(boxes.boxes[0].text.contains(u"〜")) << "the code page holds the wave dash";
        EXPECT_EQ(sentWhileAsked, 0);
        if (!agree) {
            EXPECT_TRUE(endpoint.sent.isEmpty());
            EXPECT_TRUE(messenger->state().formEnabled());
            EXPECT_EQ(messenger->state().destinations().size(), 1);
        }
    }
    ASSERT_EQ(endpoint.sent.size(), 1);
    EXPECT_TRUE(endpoint.sent[0].data.endsWith(":288:10\x8E\x9E\x81\x60"
                                               "12\x8E\x9E \x81\xAC \x81\xAC"));
}

// The absence reply: UTF-8 to a peer that reads it; to a Shift_JIS peer only with the
// user's word about 〓, asked once for each absence text.
TEST_F(Sending, TheAbsenceReplyFollowsTheSameRule)
{
    set(keys::Retry, "1");
    endpoint.inject(QByteArray("1:1:u:h:16777219:c\0g", 20), QStringLiteral("10.77.0.4"), 2425);
    messenger->setAbsence(QStringLiteral("外出"), QStringLiteral("外出中です😀"));
    endpoint.sent.clear();
    receive("1:50:u:h:288:hi", "10.77.0.4", 2425);
    const auto replies = [&] {
        QList<QByteArray> out;
        for (const auto& s : endpoint.sent) {
            if ((rawCommandWord(s.data) & 0xFFFF) == cmd::AbsenceReply)
                out << s.data;
        }
        return out;
    };
    ASSERT_EQ(replies().size(), 1);
    EXPECT_EQ(rawCommandWord(replies()[0]), cmd::AbsenceReply | cmd::Utf8Option);
    EXPECT_TRUE(replies()[0].endsWith(QStringLiteral("外出中です😀").toUtf8()));
    EXPECT_TRUE(boxes.questions.isEmpty());

    endpoint.sent.clear();
    boxes.answer = false;
    receive("1:51:u:h:288:hi", "10.77.0.2", 2425);
    receive("1:52:u:h:288:hi", "10.77.0.2", 2425);
    EXPECT_TRUE(boxes.questions.isEmpty()) << "no box inside the datagram's handler";
    QCoreApplication::processEvents();
    EXPECT_TRUE(replies().isEmpty());
    EXPECT_EQ(boxes.questions.size(), 1) << "asked once for the absence text";

    messenger->setAbsence(QStringLiteral("外出"), QStringLiteral("外出中😀"));
    boxes.answer = true;
    receive("1:53:u:h:288:hi", "10.77.0.2", 2425);
    QCoreApplication::processEvents();
    ASSERT_EQ(replies().size(), 1);
    EXPECT_TRUE(replies()[0].endsWith(QByteArray(sjis("外出中") + "\x81\xAC")));
    EXPECT_EQ(boxes.questions.size(), 2);
}

TEST_F(Sending, CommandWordFollowsSealedAndLocked)
{
    struct Case {
        SealedState sealed;
        LockState clicked;
        LockState expectedLock;
        const char* word;
    } cases[] = {{SealedState::Open, LockState::Locked, LockState::Unavailable, "288"},
                 {SealedState::Sealed, LockState::Unlocked, LockState::Unlocked, "1049376"},
                 {SealedState::Sealed, LockState::Locked, LockState::Locked, "1082144"}};
    choose(0);
    for (const Case& c : cases) {
        endpoint.sent.clear();
        messenger->state().clickSealed(c.sealed);
        messenger->state().clickLocked(c.clicked);
        EXPECT_EQ(messenger->state().lockState(), c.expectedLock);
        sendText(QStringLiteral("t"));
        ASSERT_EQ(endpoint.sent.size(), 1);
        EXPECT_EQ(splitPacket(fromWire(endpoint.sent[0].data))->command, QString::fromUtf8(c.word));
    }
    messenger->state().clickSealed(SealedState::Open);
    EXPECT_EQ(messenger->state().lockState(), LockState::Unavailable);
}

TEST_F(Sending, RetriesUntilTheRetryCountThenFails)
{
    choose(0);
    choose(1);
    sendText(QStringLiteral("t"));
    receive(receipt(), "10.77.0.3", 2426); // b answers at once
    EXPECT_EQ(messenger->state().destinationNames(), QStringList{QStringLiteral("a")});
    EXPECT_EQ(messenger->state().progressValue(), 1);
    for (int tick = 1; tick <= 6; ++tick)
        messenger->tick();
    EXPECT_TRUE(boxes.boxes.isEmpty());
    int toA = 0;
    for (const auto& s : endpoint.sent)
        toA += s.host == u"10.77.0.2";
    EXPECT_EQ(toA, 7);
    EXPECT_EQ(endpoint.sent.size(), 8);
    // Every retry is the same packet, number included.
    EXPECT_EQ(endpoint.sent.back().data, endpoint.sent.front().data);
    messenger->tick();
    EXPECT_TRUE(boxes.boxes.isEmpty()) << "never inside the timer's handler";
    QCoreApplication::processEvents();
    ASSERT_EQ(boxes.boxes.size(), 1);
    EXPECT_EQ(boxes.boxes[0].title, kFailTitle);
    EXPECT_EQ(boxes.boxes[0].text,
              QStringLiteral("未だ選択されているリストの方へ送信できませんでした"));
    EXPECT_FALSE(messenger->retryTimer().isActive());
    EXPECT_TRUE(messenger->state().formEnabled());
    EXPECT_EQ(messenger->state().destinationEntries(),
              QStringList{QStringLiteral("2425:10.77.0.2")});
    EXPECT_EQ(host.sentMarks, 0);
}

TEST_F(Sending, RetryZeroReadsAsOneRetry)
{
    set(keys::Retry, "0");
    choose(0);
    sendText(QStringLiteral("t"));
    EXPECT_EQ(endpoint.sent.size(), 1);
    messenger->tick();
    QCoreApplication::processEvents();
    EXPECT_TRUE(boxes.titles().isEmpty());
    EXPECT_EQ(endpoint.sent.size(), 2);
    messenger->tick();
    QCoreApplication::processEvents();
    EXPECT_EQ(boxes.titles(), QStringList{kFailTitle});
    EXPECT_EQ(endpoint.sent.size(), 2);
}

TEST_F(Sending, AReceiptBeforeTheFirstTickCompletesAtThatTick)
{
    QSignalSpy visibility(&messenger->state(), &UserListState::dialogVisibilityChanged);
    choose(1);
    sendText(QStringLiteral("t"));
    receive(receipt(), "10.77.0.3", 2426);
    receive(receipt(), "10.77.0.3", 2426); // a second receipt changes nothing
    EXPECT_EQ(messenger->state().progressValue(), 1);
    EXPECT_TRUE(messenger->state().destinationEntries().isEmpty());
    EXPECT_EQ(host.sentMarks, 0);
    messenger->tick();
    EXPECT_EQ(host.sentMarks, 1);
    EXPECT_TRUE(host.skipRequested);
    EXPECT_FALSE(messenger->retryTimer().isActive());
    EXPECT_FALSE(messenger->state().dialogVisible());
    EXPECT_TRUE(messenger->state().formEnabled());
    EXPECT_FALSE(messenger->state().progressShown());
    EXPECT_EQ(messenger->state().progressValue(), messenger->state().progressMaximum());
    EXPECT_TRUE(boxes.boxes.isEmpty());
    EXPECT_EQ(visibility.size(), 2); // shown by the send command, hidden at completion
}

TEST_F(Sending, AnEntryThatCannotBeParsedIsNeverSentToAndEndsInFailure)
{
    set(keys::Retry, "1");
    messenger->receiver().receive(*splitPacket(QStringLiteral("1:1:u:h:3:v6")),
                                  QStringLiteral("fe80::1"), 2425);
    const int row = messenger->peers()->findRow(QStringLiteral("fe80::1"), QStringLiteral("2425"));
    endpoint.sent.clear();
    choose(row);
    EXPECT_EQ(messenger->state().destinationEntries(), QStringList{QStringLiteral("2425:fe80::1")});
    sendText(QStringLiteral("t"));
    EXPECT_TRUE(endpoint.sent.isEmpty());
    EXPECT_FALSE(messenger->retryTimer().isActive()) << "nothing went out, so no timer";
    // Another destination starts the timer; the bad one is kept to the end.
    choose(0);
    sendText(QStringLiteral("t"));
    receive(receipt(), "10.77.0.2", 2425);
    messenger->tick();
    messenger->tick();
    QCoreApplication::processEvents();
    EXPECT_EQ(boxes.titles(), QStringList{kFailTitle});
    EXPECT_EQ(messenger->state().destinationEntries(), QStringList{QStringLiteral("2425:fe80::1")});
}

TEST_F(Sending, OwnAddressIsRemovedAndAnEmptyListIsRefused)
{
    messenger->receiver().receive(*splitPacket(QStringLiteral("1:1:u:h:3:me")),
                                  QStringLiteral("10.77.0.1"), 2425);
    messenger->receiver().receive(*splitPacket(QStringLiteral("1:1:u:h:3:me2")),
                                  QStringLiteral("10.77.0.1"), 2426);
    endpoint.sent.clear();
    messenger->setAbsence(QStringLiteral("外出"), QStringLiteral("x"));
    choose(2);
    messenger->sendActiveText(QStringLiteral("t"), QString(), 0);
    messenger->send(Messenger::Button::Left);
    EXPECT_EQ(boxes.boxes.size(), 1);
    EXPECT_EQ(boxes.boxes[0].title, QStringLiteral("はてな?"));
    EXPECT_EQ(boxes.boxes[0].text, QStringLiteral("誰に送信するんだい?"));
    EXPECT_EQ(messenger->packets().absenceTitle(), QStringLiteral("外出"));
    EXPECT_TRUE(endpoint.sent.isEmpty());

    choose(2);
    choose(3);
    messenger->send(Messenger::Button::Left);
    EXPECT_EQ(messenger->state().destinationEntries(),
              QStringList{QStringLiteral("2426:10.77.0.1")});
    EXPECT_EQ(messenger->state().destinationNames(), QStringList{QStringLiteral("me2")});
    // Sending ends the absence, and peers hear so first: Retry entries without the
    // title or the absence option, then the message.
    ASSERT_EQ(endpoint.sent.size(), 7);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(rawCommandWord(endpoint.sent[i].data) & (0xFF | cmd::AbsenceOpt), cmd::BrEntry)
            << i;
    }
    EXPECT_EQ(endpoint.sent[6].port, 2426);
    EXPECT_TRUE(messenger->packets().absenceTitle().isEmpty());
    EXPECT_EQ(messenger->packets().absenceText(), u"x");
}

TEST_F(Sending, OtherButtonSendsTheInformationQuery)
{
    choose(0);
    choose(1);
    messenger->sendActiveText(QStringLiteral("t"), QString(), 0);
    messenger->send(Messenger::Button::Other);
    ASSERT_EQ(endpoint.sent.size(), 2);
    EXPECT_EQ(endpoint.sent[0].data, QByteArray("1:1007:Wait:PC01:576:"));
    EXPECT_EQ(endpoint.sent[1].host, u"10.77.0.3");
    EXPECT_EQ(messenger->state().progressValue(), 2);
    EXPECT_FALSE(messenger->state().dialogVisible());
    EXPECT_EQ(messenger->state().destinationEntries().size(), 2);
    EXPECT_FALSE(messenger->retryTimer().isActive());
}

TEST_F(Sending, ActivatingTheDialogAfterTheReplyTargetAcknowledgedCompletesTheSend)
{
    // A reply: the dialog preselects the sender of the message answered.
    messenger->sendActiveText(QStringLiteral("re"), QStringLiteral("10.77.0.2"), 2425);
    messenger->activateDialog();
    ASSERT_EQ(messenger->state().destinationEntries(),
              QStringList{QStringLiteral("2425:10.77.0.2")});
    messenger->send(Messenger::Button::Left);
    receive(receipt(), "10.77.0.2", 2425);
    EXPECT_TRUE(messenger->state().destinationEntries().isEmpty());
    messenger->activateDialog(); // the user clicks the dialog while the send runs
    EXPECT_TRUE(messenger->state().destinationEntries().isEmpty()) << "not chosen again";
    messenger->tick();
    QCoreApplication::processEvents();
    EXPECT_TRUE(boxes.boxes.isEmpty());
    EXPECT_EQ(host.sentMarks, 1) << "delivered, and said so";
}

TEST_F(Sending, ActivatingTheDialogDuringASendKeepsTheRetryCount)
{
    choose(0);
    sendText(QStringLiteral("t"));
    for (int i = 0; i < 3; ++i)
        messenger->tick();
    messenger->activateDialog();
    for (int i = 0; i < 3; ++i)
        messenger->tick();
    EXPECT_TRUE(boxes.boxes.isEmpty());
    messenger->tick();
    QCoreApplication::processEvents();
    EXPECT_EQ(boxes.titles(), QStringList{kFailTitle});
}

TEST_F(Sending, ClosingTheDialogEndsTheSend)
{
    choose(0);
    sendText(QStringLiteral("t"));
    messenger->close(false);
    EXPECT_FALSE(messenger->retryTimer().isActive());
    EXPECT_TRUE(messenger->state().destinationEntries().isEmpty());
    EXPECT_EQ(messenger->peers()->count(), 0);
    EXPECT_TRUE(messenger->state().formEnabled());
    EXPECT_TRUE(host.skipRequested);
    endpoint.sent.clear();
    // The next use loads the dialog again, which announces us again.
    messenger->sendActiveText(QStringLiteral("t"), QString(), 0);
    EXPECT_TRUE(messenger->isLoaded());
    EXPECT_EQ(endpoint.sent.size(), 6);
}

class Dialog : public MessengerTest {
protected:
    void SetUp() override
    {
        set(keys::Retry, "0");
        load();
    }
    QStringList column(PeerColumn c) const
    {
        QStringList out;
        for (int r = 0; r < messenger->peers()->count(); ++r)
            out << messenger->peers()->cell(r, c);
        return out;
    }
};

TEST_F(Dialog, LoadRestoresTheSortChoiceAndRefreshEmptiesTheList)
{
    set(keys::ListSort, "2");
    set(keys::SortAscending, "1");
    set(keys::Retry, "3");
    addPeer("a", "10.77.0.2", 2425);
    messenger->load();
    EXPECT_EQ(messenger->state().sortColumn(), SortColumn::Address);
    EXPECT_TRUE(messenger->state().sortAscending());
    EXPECT_EQ(messenger->peers()->count(), 0);
    EXPECT_EQ(endpoint.sent.size(), 3);
    set(keys::ListSort, "3");
    messenger->load();
    EXPECT_EQ(messenger->state().sortColumn(), SortColumn::None)
        << "the port order is never restored";
}

TEST_F(Dialog, SortsByPortAsNumbersAndByAddressAsText)
{
    addPeer("a", "10.77.0.10", 2425);
    addPeer("b", "10.77.0.9", 999);
    EXPECT_EQ(column(PeerColumn::Name), (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
    messenger->state().setSortAscending(true);
    messenger->state().setSortColumn(SortColumn::Port);
    EXPECT_EQ(column(PeerColumn::Name), (QStringList{QStringLiteral("a"), QStringLiteral("b")}))
        << "two peers stay in arrival order";
    addPeer("c", "10.77.0.2", 12000);
    messenger->state().setSortColumn(SortColumn::Port);
    EXPECT_EQ(column(PeerColumn::Port), (QStringList{QStringLiteral("999"), QStringLiteral("2425"),
                                                     QStringLiteral("12000")}));
    messenger->state().setSortColumn(SortColumn::Address);
    EXPECT_EQ(column(PeerColumn::Address),
              (QStringList{QStringLiteral("10.77.0.10"), QStringLiteral("10.77.0.2"),
                           QStringLiteral("10.77.0.9")}));
    messenger->state().setSortAscending(false);
    EXPECT_EQ(column(PeerColumn::Address),
              (QStringList{QStringLiteral("10.77.0.9"), QStringLiteral("10.77.0.2"),
                           QStringLiteral("10.77.0.10")}));
    // Later arrivals stay at the bottom until the next sort.
    addPeer("d", "10.77.0.20", 1);
    EXPECT_EQ(column(PeerColumn::Name).last(), u"d");
}

TEST_F(Dialog, ChoosingAndRemovingDestinations)
{
    addPeer("a", "10.77.0.2", 2425);
    addPeer("b", "10.77.0.3", 2425);
    QSignalSpy changed(&messenger->state(), &UserListState::destinationsChanged);
    messenger->chooseRow(1);
    messenger->chooseRow(1);
    messenger->chooseRow(0);
    messenger->chooseRow(7);
    EXPECT_EQ(messenger->state().destinationNames(),
              (QStringList{QStringLiteral("b"), QStringLiteral("a")}));
    EXPECT_EQ(messenger->state().destinationEntries(),
              (QStringList{QStringLiteral("2425:10.77.0.3"), QStringLiteral("2425:10.77.0.2")}));
    messenger->state().removeDestination(0);
    messenger->state().removeDestination(-1);
    EXPECT_EQ(messenger->state().destinationNames(), QStringList{QStringLiteral("a")});
    EXPECT_EQ(changed.size(), 3);
    messenger->cancel();
    EXPECT_TRUE(messenger->state().destinationEntries().isEmpty());
    EXPECT_EQ(messenger->peers()->count(), 2);
    EXPECT_TRUE(host.skipRequested);
}

TEST_F(Dialog, ActivationPreselectsTheReplyTargetOnce)
{
    addPeer("a", "10.77.0.2", 2425);
    addPeer("b", "10.77.0.3", 2426);
    messenger->sendActiveText(QStringLiteral("re"), QStringLiteral("10.77.0.3"), 2426);
    EXPECT_TRUE(messenger->state().dialogVisible());
    EXPECT_EQ(messenger->state().textToSend(), u"re");
    messenger->activateDialog();
    messenger->activateDialog();
    EXPECT_EQ(messenger->state().destinationNames(), QStringList{QStringLiteral("b")});
    EXPECT_EQ(messenger->state().destinationEntries(),
              QStringList{QStringLiteral("2426:10.77.0.3")});
    messenger->cancel();
    messenger->sendActiveText(QStringLiteral("re"), QStringLiteral("10.77.0.3"), 2425);
    messenger->activateDialog();
    EXPECT_TRUE(messenger->state().destinationEntries().isEmpty()) << "not listed with that port";
}

TEST_F(Dialog, DeletingTheOnlyPeerLeavesAnEmptyList)
{
    addPeer("a", "10.77.0.2", 2425);
    receive("1:9:u:h:2:", "10.77.0.2", 2425);
    EXPECT_EQ(messenger->peers()->count(), 0);
    receive("1:9:u:h:2:", "10.77.0.2", 2425);
    EXPECT_EQ(messenger->peers()->count(), 0);
}

} // namespace

// A box runs an event loop in which the retry timer fires again.
class ReenteringBoxes final : public platform::MessageBoxes {
public:
    void show(const QString& title, const QString&) override
    {
        titles << title;
        if (onShow)
            onShow();
    }
    std::function<void()> onShow;
    QStringList titles;
};

TEST(SendingReentry, ATickDuringASendErrorBoxShowsItsBoxAfterIt)
{
    ::velmar::testing::TempSettings settings;
    CountingTextgauge gauge;
    ReenteringBoxes boxes;
    platform::FakeUdpEndpoint endpoint;
    FakeHost host;
    endpoint.bind(2425);
    Messenger messenger(endpoint, *settings.store, gauge, boxes, host);
    settings.store->write(keys::Retry, QStringLiteral("0"));
    messenger.load();
    messenger.receiver().receive(*splitPacket(QStringLiteral("1:1:u:h:3:p")),
                                 QStringLiteral("10.77.0.5"), 2425);
    messenger.chooseRow(0);
    messenger.sendActiveText(QStringLiteral("t"), QString(), 0);
    messenger.send(Messenger::Button::Left);
    settings.store->write(keys::Retry, QStringLiteral("1"));
    endpoint.failingHosts << QStringLiteral("10.77.0.5");
    int nested = 0;
    boxes.onShow = [&] {
        if (++nested == 1)
            messenger.tick(); // the last retry runs out while the error box is open
    };
    messenger.tick(); // retry fails to send: the error box, after the tick
    EXPECT_TRUE(boxes.titles.isEmpty());
    QCoreApplication::processEvents();
    EXPECT_EQ(boxes.titles, (QStringList{QStringLiteral("送信･ｴﾗｰ"), QStringLiteral("送信失敗")}));
    EXPECT_EQ(nested, 2) << "one box at a time";
}

namespace {

// An endpoint that knows one host name still being looked up and one that does not
// exist; every other destination is sent to.
class NamedHostsEndpoint final : public platform::UdpEndpoint {
public:
    bool bind(quint16) override { return true; }
    quint16 localPort() const override { return 2425; }
    QString localIp() const override { return QStringLiteral("10.77.0.1"); }
    QString hostName() const override { return QStringLiteral("PC01"); }
    platform::SendResult send(const QString& host, quint16, const QByteArray&) override
    {
        if (host == u"pending.lan") {
            platform::SendResult pending{false, 10035, QStringLiteral("looking up")};
            pending.hostPending = true;
            return pending;
        }
        if (host == u"gone.lan")
            return {false, 11001, QStringLiteral("host not found")};
        sentTo << host;
        return {};
    }
    void close() override {}

    QStringList sentTo;
};

TEST(SendingToHostNames, APendingNameIsSkippedWithoutABoxAndAnUnknownOneReported)
{
    ::velmar::testing::TempSettings settings;
    CountingTextgauge gauge;
    platform::RecordingMessageBoxes boxes;
    platform::DeferredMessageBoxes deferred(boxes);
    NamedHostsEndpoint endpoint;
    PacketSender sender(endpoint, *settings.store, gauge, deferred);
    settings.store->write(keys::BroadcastList,
                          QStringLiteral("2425:pending.lan,2425:gone.lan,2425:10.77.0.9"));

    sender.sendCommand(cmd::BrEntry, BroadcastDestination, 0, QStringLiteral("x"));
    EXPECT_EQ(endpoint.sentTo,
              (QStringList{QStringLiteral("255.255.255.255"), QStringLiteral("10.77.0.9")}));
    EXPECT_TRUE(boxes.boxes.isEmpty()) << "broadcasts stay silent";

    EXPECT_FALSE(sender.sendDatagram(QStringLiteral("pending.lan"), 0, QStringLiteral("m"),
                                     SendMode::Direct));
    EXPECT_TRUE(boxes.boxes.isEmpty()) << "nothing is wrong yet with a name being looked up";
    EXPECT_FALSE(sender.sendErrorShown());

    EXPECT_FALSE(
        sender.sendDatagram(QStringLiteral("gone.lan"), 0, QStringLiteral("m"), SendMode::Direct));
    QCoreApplication::processEvents();
    EXPECT_EQ(boxes.titles(), QStringList{QStringLiteral("送信･ｴﾗｰ")});
}

} // namespace
