// The whole program on real sockets, across two private network namespaces: a
// program instance on side A, and on side B either a scripted peer that speaks the
// protocol byte by byte or a second program instance.

#include "e2e/program_fixture.h"
#include "settings/keys.h"
#include "settings/settings_dialog.h"

#include <QComboBox>
#include <QLineEdit>
#include <QMap>
#include <QPushButton>
#include <algorithm>
#include <chrono>
#include <gtest/gtest.h>

using namespace std::chrono_literals;
using velmar::e2e::NetnsPairTest;
using velmar::e2e::Program;
using velmar::e2e::ScriptedPeer;
using velmar::e2e::sjis;
using velmar::e2e::startBoth;
using velmar::e2e::waitUntil;

namespace {

using ProgramAndPeer = NetnsPairTest;

TEST_F(ProgramAndPeer, ListsThePeerReceivesMessagesAndSendsNotices)
{
    ScriptedPeer peer;
    ASSERT_TRUE(peer.bind(pair().nameB()));
    Program a;
    ASSERT_TRUE(a.start(pair().nameA(), QStringLiteral("花子")));

    // The start-up announcement crosses the link as a broadcast.
    // The entry carries the UTF-8 capability bit and the names again in UTF-8.
    ASSERT_TRUE(waitUntil([&] { return peer.extrasOf("16777217").size() == 6; }));
    EXPECT_TRUE(
        peer.extrasOf("16777217")
            .front()
            .startsWith(QStringLiteral("花子") + QChar(0) + u"NoGroup" + QChar(0) + u"\nUN:"));

    // The peer's answer lists it.
    peer.send(pair().ipA(), 3, sjis(QStringLiteral("太郎")) + '\0' + sjis(QStringLiteral("営業")));
    ASSERT_TRUE(waitUntil([&] { return a.peerRow(pair().ipB()) >= 0; }));
    const int row = a.peerRow(pair().ipB());
    EXPECT_EQ(a.peers().cell(row, velmar::ipmsg::PeerColumn::Name), u"太郎");
    EXPECT_EQ(a.peers().cell(row, velmar::ipmsg::PeerColumn::Group), u"営業");
    EXPECT_EQ(a.peers().cell(row, velmar::ipmsg::PeerColumn::Port), u"2425");

    // A message opens a window with its text, and the receipt goes back.
    const int windowsBefore = static_cast<int>(a.window->windows().size());
    const QString number =
        peer.send(pair().ipA(), 288, sjis(QStringLiteral("こんにちは\n明日の会議: 10時")));
    ASSERT_TRUE(waitUntil([&] { return a.window->windows().size() == windowsBefore + 1; }));
    velmar::text::TextWindow* message = a.window->windows().back();
    EXPECT_EQ(message->text(), u"こんにちは\r\n明日の会議: 10時");
    EXPECT_TRUE(message->caption().startsWith(u"From Network 太郎/営業(IP Messenger Protcol) "));
    EXPECT_EQ(message->statusText(), QStringLiteral("IPM(未返信)2425:") + pair().ipB());
    ASSERT_TRUE(waitUntil([&] { return peer.extrasOf("33").contains(number); }));

    // A sealed message asking for a read notice: opening it sends the notice once.
    const QString sealed = peer.send(pair().ipA(), 1049376, sjis(QStringLiteral("秘密")));
    ASSERT_TRUE(waitUntil([&] { return a.window->windows().size() == windowsBefore + 2; }));
    velmar::text::TextWindow* letter = a.window->windows().back();
    EXPECT_TRUE(letter->isSealed());
    letter->openSeal();
    ASSERT_TRUE(waitUntil([&] { return peer.extrasOf("48").contains(sealed); }));
    velmar::e2e::processEventsFor(200ms);
    EXPECT_EQ(peer.extrasOf("48").size(), 1);

    // The peer's exit removes its row.
    peer.send(pair().ipA(), 2, sjis(QStringLiteral("太郎")) + '\0' + sjis(QStringLiteral("営業")));
    ASSERT_TRUE(waitUntil([&] { return a.peerRow(pair().ipB()) < 0; }));
}

// A client that reads only Shift_JIS: a text with characters it lacks waits for the
// user's word; nothing crosses the link while the box is open.
TEST_F(ProgramAndPeer, AShiftJisOnlyPeerGetsGetaOnlyAfterTheBox)
{
    ScriptedPeer peer;
    peer.version = "1_other";
    ASSERT_TRUE(peer.bind(pair().nameB()));
    Program a;
    ASSERT_TRUE(a.start(pair().nameA(), QStringLiteral("花子")));
    peer.send(pair().ipA(), 3, sjis(QStringLiteral("太郎")) + '\0' + sjis(QStringLiteral("営業")));
    ASSERT_TRUE(waitUntil([&] { return a.peerRow(pair().ipB()) >= 0; }));

    const auto isMessage = [](const QByteArray& packet) {
        return (packet.split(':').value(4).toUInt() & 0xFF) == 0x20;
    };
    const auto messages = [&] {
        return std::count_if(peer.received.begin(), peer.received.end(),
                             [&](const auto& d) { return isMessage(d.data); });
    };
    std::ptrdiff_t whileAsked = -1;
    a.boxes.onAsk = [&] {
        velmar::e2e::processEventsFor(500ms);
        whileAsked = messages();
        return true;
    };
    a.sendTo(pair().ipB(), QStringLiteral("10時〜12時 𠮷"));
    ASSERT_EQ(a.boxes.questions.size(), 1);
    EXPECT_TRUE(a.boxes.boxes.last().text.contains(QStringLiteral("𠮷 (U+20BB7)")));
    EXPECT_EQ(whileAsked, 0);
    ASSERT_TRUE(waitUntil([&] { return messages() == 1; }));
    for (const auto& d : peer.received) {
        if (isMessage(d.data)) {
            EXPECT_TRUE(
                d.data.endsWith(QByteArray(sjis(QStringLiteral("10時～12時 ")) + "\x81\xAC")));
        }
    }
}

using TwoPrograms = NetnsPairTest;

// Two copies of the program talk UTF-8: characters Shift_JIS lacks arrive as they were
// typed, and a long text arrives whole in pieces that each fit one datagram.
TEST_F(TwoPrograms, LongTextArrivesExactlyInUtf8AndTheSenderIsTold)
{
    Program a;
    Program b;
    startBoth(pair(), a, b);

    QString text = QStringLiteral("𠮷野家で😀、café と 한국어。\r\n");
    // Numbered lines: every piece is found at one place only.
    for (int line = 1; text.size() < 70000; ++line)
        text += QStringLiteral("%1 行目、日本語のテキスト。\r\n").arg(line);
    text.truncate(70000);

    const auto before = b.window->windows().size();
    velmar::text::TextWindow* source = a.sendTo(pair().ipB(), text);
    EXPECT_TRUE(a.hasBox(QStringLiteral("注意"),
                         QStringLiteral("データが大きすぎるので、メッセージが分割されます")));
    EXPECT_TRUE(a.boxes.questions.isEmpty());
    // Each piece is a message of its own, and datagrams may overtake each other: the
    // pieces must tile the text exactly, in whatever order their windows opened.
    const auto tiled = [&] {
        QMap<qsizetype, QString> byPosition;
        for (auto i = before; i < b.window->windows().size(); ++i) {
            const QString piece = b.window->windows()[i]->text();
            byPosition.insert(text.indexOf(piece), piece);
        }
        QString joined;
        for (const QString& piece : std::as_const(byPosition))
            joined += piece;
        return joined;
    };
    ASSERT_TRUE(waitUntil([&] { return tiled().size() >= text.size(); }, 10s));
    EXPECT_EQ(tiled(), text);
    EXPECT_GE(b.window->windows().size() - before, 3);
    ASSERT_TRUE(waitUntil([&] { return source->statusText() == u"IPM(送信済)"; }, 5s));
}

TEST_F(TwoPrograms, OpeningASealedMessageTellsTheSender)
{
    Program a;
    Program b;
    startBoth(pair(), a, b);

    const auto before = b.window->windows().size();
    a.sendTo(pair().ipB(), QStringLiteral("開封してね"), /*sealed=*/true);
    ASSERT_TRUE(waitUntil([&] { return b.window->windows().size() == before + 1; }));
    velmar::text::TextWindow* letter = b.window->windows().back();
    ASSERT_TRUE(letter->isSealed());
    letter->sealButton->click();
    ASSERT_TRUE(waitUntil([&] {
        return a.hasBox(QStringLiteral("封書開封通知 From ") + pair().ipB(),
                        QStringLiteral("開封されました"));
    }));
}

TEST_F(TwoPrograms, AbsenceChosenInTheSettingsDialogReachesThePeer)
{
    Program a;
    Program b;
    a.settings.store->write(velmar::settings::keys::AbsentBackgroundColour,
                            QStringLiteral("12632256"));
    b.settings.store->write(QStringLiteral("IPM\\2425"), QStringLiteral("NoHere"),
                            QStringLiteral("会議:会議中です。"));
    startBoth(pair(), a, b);

    velmar::settings::SettingsDialog& dialog = b.window->showSettings();
    dialog.findChild<QComboBox*>(QStringLiteral("Combo1"))->setCurrentIndex(1);
    dialog.findChild<QPushButton*>(QStringLiteral("Command1"))->click();

    // A lists B under its name with the title, in the colour of absent peers.
    ASSERT_TRUE(waitUntil([&] {
        const int row = a.peerRow(pair().ipB());
        return row >= 0 && a.peers().cell(row, velmar::ipmsg::PeerColumn::Name) == u"ベー[会議]";
    }));
    EXPECT_EQ(a.peers().peerAt(a.peerRow(pair().ipB())).colour, 12632256u);

    // A message to B is answered with B's absence text.
    const auto before = a.window->windows().size();
    a.sendTo(pair().ipB(), QStringLiteral("いますか"));
    ASSERT_TRUE(waitUntil([&] {
        const auto windows = a.window->windows();
        for (auto i = before; i < windows.size(); ++i) {
            if (windows[i]->text() == u"会議中です。")
                return true;
        }
        return false;
    }));
}

TEST_F(TwoPrograms, ASilentPeerEndsInTheFailureBox)
{
    Program a;
    Program b;
    startBoth(pair(), a, b);
    ASSERT_TRUE(pair().setLinkUp(false));

    velmar::text::TextWindow* source = a.sendTo(pair().ipB(), QStringLiteral("届かない"));
    // Retry 6: the packet goes out seven times, one second apart, then the box.
    ASSERT_TRUE(waitUntil(
        [&] {
            return a.hasBox(QStringLiteral("送信失敗"),
                            QStringLiteral("未だ選択されているリストの方へ送信できませんでした"));
        },
        12s));
    EXPECT_NE(source->statusText(), u"IPM(送信済)");
    EXPECT_EQ(a.engine().state().destinationEntries().size(), 1);
}

TEST_F(TwoPrograms, LossyLinkDeliversEveryMessageOnce)
{
    Program a;
    Program b;
    startBoth(pair(), a, b);
    ASSERT_TRUE(pair().addUdpLoss(velmar::e2e::NetnsPair::Side::A, 30));
    ASSERT_TRUE(pair().addUdpLoss(velmar::e2e::NetnsPair::Side::B, 30));
    // The retry step runs every 100 ms instead of every second: the protocol is the
    // same, the test just does not wait minutes for it.
    a.engine().retryTimer().setInterval(100);

    constexpr int sends = 100;
    const auto before = b.window->windows().size();
    int sent = 0;
    int failed = 0;
    for (int i = 0; i < sends; ++i) {
        const qsizetype boxes = a.boxes.boxes.size();
        velmar::text::TextWindow* source = a.sendTo(pair().ipB(), QStringLiteral("番号 %1").arg(i));
        ASSERT_TRUE(waitUntil(
            [&] { return source->statusText() == u"IPM(送信済)" || a.boxes.boxes.size() > boxes; },
            5s));
        if (source->statusText() == u"IPM(送信済)") {
            ++sent;
        } else {
            ++failed;
            a.engine().cancel();
        }
        source->close();
    }
    velmar::e2e::processEventsFor(500ms);

    // Past ten windows in ten seconds B collects the messages into one window, each
    // under a line with its time: count the message lines.
    QMap<QString, int> shown;
    for (auto i = before; i < b.window->windows().size(); ++i) {
        const QStringList lines = b.window->windows()[i]->text().split(QStringLiteral("\r\n"));
        for (const QString& line : lines) {
            if (line.startsWith(u"番号 "))
                ++shown[line];
        }
    }
    int duplicates = 0;
    for (int count : std::as_const(shown))
        duplicates += count - 1;
    std::printf("lossy link: %d of %d sends reported sent, %d failed; B showed %d distinct "
                "messages, %d duplicates\n",
                sent, sends, failed, static_cast<int>(shown.size()), duplicates);
    EXPECT_EQ(duplicates, 0);
    EXPECT_GE(sent, 95);
    // Every message reported sent was shown by B.
    EXPECT_GE(shown.size(), sent);
}

TEST_F(TwoPrograms, LossyLinkDeliversEveryPieceOfALongTextOnce)
{
    Program a;
    Program b;
    // Twenty retries: a piece lost on all of its 21 tries (0.51^21) does not happen,
    // so every send must complete.
    a.settings.store->write(velmar::settings::keys::Retry, QStringLiteral("20"));
    startBoth(pair(), a, b);
    ASSERT_TRUE(pair().addUdpLoss(velmar::e2e::NetnsPair::Side::A, 30));
    ASSERT_TRUE(pair().addUdpLoss(velmar::e2e::NetnsPair::Side::B, 30));
    a.engine().retryTimer().setInterval(100);

    // Three pieces of 30000, 30000 and 10000 characters, each piece of each send
    // with its own pattern so that every piece shown can be told apart.
    const auto piece = [](int send, int index, qsizetype length) {
        const QString pattern = QStringLiteral("send %1 piece %2 片 ").arg(send).arg(index);
        QString out;
        while (out.size() < length)
            out += pattern;
        out.truncate(length);
        return out;
    };
    // A piece has a window of its own, or past the flood limit a place in the window
    // that collects the sender's messages.
    const auto shownCount = [&](const QString& text) {
        qsizetype count = 0;
        for (const velmar::text::TextWindow* window : b.window->windows())
            count += window->text().count(text);
        return static_cast<int>(count);
    };
    const auto failures = [&] {
        return std::count_if(a.boxes.boxes.cbegin(), a.boxes.boxes.cend(),
                             [](const auto& box) { return box.title == u"送信失敗"; });
    };

    constexpr int sends = 8;
    int sent = 0;
    int missingWhenSent = 0;
    QStringList pieces;
    for (int i = 0; i < sends; ++i) {
        const QStringList parts{piece(i, 1, 30000), piece(i, 2, 30000), piece(i, 3, 10000)};
        pieces << parts;
        const auto failed = failures();
        velmar::text::TextWindow* source = a.sendTo(pair().ipB(), parts.join(QString()));
        ASSERT_TRUE(waitUntil(
            [&] { return source->statusText() == u"IPM(送信済)" || failures() > failed; }, 10s));
        if (source->statusText() == u"IPM(送信済)") {
            ++sent;
            // B shows a piece before its receipt leaves: once sent, all three are there.
            for (const QString& part : parts)
                missingWhenSent += shownCount(part) == 0 ? 1 : 0;
        } else {
            a.engine().cancel();
        }
        source->close();
    }
    velmar::e2e::processEventsFor(500ms);

    int duplicates = 0;
    int shown = 0;
    for (const QString& part : std::as_const(pieces)) {
        const int count = shownCount(part);
        shown += count > 0 ? 1 : 0;
        duplicates += std::max(0, count - 1);
    }
    std::printf("lossy link, three pieces: %d of %d sends reported sent; B showed %d of %d "
                "pieces, %d duplicates\n",
                sent, sends, shown, static_cast<int>(pieces.size()), duplicates);
    EXPECT_EQ(missingWhenSent, 0);
    EXPECT_EQ(duplicates, 0);
    EXPECT_EQ(sent, sends);
    EXPECT_EQ(shown, pieces.size());
}

TEST_F(TwoPrograms, APortChangeLeavesOneEntryAtTheNewPort)
{
    Program a;
    Program b;
    // A reaches B's port from any port of its own through its broadcast list, as an
    // office user with peers on the usual port would set it up.
    a.settings.store->write(QStringLiteral("IPM\\2425"), QStringLiteral("BroadCast"),
                            QStringLiteral("2425:") + pair().ipB());
    startBoth(pair(), a, b);
    const auto rowsOfA = [&] {
        QStringList ports;
        for (int row = 0; row < b.peers().count(); ++row) {
            if (b.peers().cell(row, velmar::ipmsg::PeerColumn::Address) == pair().ipA())
                ports << b.peers().cell(row, velmar::ipmsg::PeerColumn::Port);
        }
        return ports;
    };
    ASSERT_EQ(rowsOfA(), QStringList{QStringLiteral("2425")});

    {
        // "セット" binds the new socket: it must be made on A's side.
        velmar::e2e::ScopedNetns in(pair().nameA());
        ASSERT_TRUE(in.entered()) << in.error().toStdString();
        velmar::settings::SettingsDialog& dialog = a.window->showSettings();
        dialog.findChild<QLineEdit*>(QStringLiteral("Text4"))->setText(QStringLiteral("2426"));
        dialog.findChild<QPushButton*>(QStringLiteral("Command1"))->click();
    }
    ASSERT_EQ(a.endpoint.localPort(), 2426);

    // B drops the old entry and lists A once, at the new port, under its name; its
    // answer reaches A there.
    EXPECT_TRUE(waitUntil([&] { return rowsOfA() == QStringList{QStringLiteral("2426")}; }))
        << rowsOfA().join(u' ').toStdString();
    velmar::e2e::processEventsFor(300ms);
    EXPECT_EQ(rowsOfA(), QStringList{QStringLiteral("2426")});
    EXPECT_EQ(b.peers().cell(b.peerRow(pair().ipA()), velmar::ipmsg::PeerColumn::Name), u"エー");
    EXPECT_TRUE(waitUntil([&] { return a.peerRow(pair().ipB()) >= 0; }));
}

} // namespace
