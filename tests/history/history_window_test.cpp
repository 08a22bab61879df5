// The history through the real main window: what the engine receives and sends is
// kept, found from the 履歴 window and opened again for a reply.

#include "app/main_window_fixture.h"
#include "history/history_database.h"
#include "history/history_recorder.h"
#include "history/history_writer.h"
#include "history/ui/history_window.h"
#include "ipmsg/messenger.h"
#include "settings/keys.h"
#include "text/text_window.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardItemModel>
#include <QStringEncoder>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;
using velmar::history::HistoryWindow;
using velmar::testing::MainWindowFixture;
namespace keys = velmar::settings::keys;

namespace {

constexpr quint16 Port = 2425;

QByteArray sjis(const QString& text)
{
    QStringEncoder encoder("Shift_JIS");
    return encoder.encode(text);
}

struct HistoryFixture : MainWindowFixture {
    QTemporaryDir data;
    HistoryFixture() { historyFolder = data.filePath(u"Velmar"_s); }

    void arrive(const QString& ip, int packet, quint32 command, const QString& extra)
    {
        endpoint.inject(sjis(u"1:%1:tanaka:pc1:%2:"_s.arg(packet).arg(command) + extra), ip, Port);
    }
    bool flush()
    {
        auto* writer = window->historyRecorder()->writer();
        const bool ok = writer && writer->flush(10000);
        QCoreApplication::processEvents(); // the writer's reports arrive queued
        return ok;
    }
    // The rows the window lists: first line and state.
    QStringList rows(HistoryWindow& w)
    {
        w.refresh();
        QStringList out;
        for (int r = 0; r < w.model()->rowCount(); ++r)
            out << w.model()->item(r, 3)->text() + u'|' + w.model()->item(r, 4)->text();
        return out;
    }
    int receipts(const QString& packet)
    {
        int n = 0;
        for (const auto& sent : endpoint.sent)
            n += hasCommand(sent.data, "33") && sent.data.split(':').value(5) == packet.toLatin1();
        return n;
    }
};

// Typed key by key, as an input method hands over each character.
void type(QWidget* widget, const QString& text)
{
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QCoreApplication::sendEvent(widget, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QCoreApplication::sendEvent(widget, &release);
    }
}

constexpr quint32 SendMsg = 0x20 | 0x100;
constexpr quint32 SealedMsg = SendMsg | 0x200 | 0x100000;

} // namespace

TEST(HistoryWindowFlow, ReceivedAndSealedMessagesAreFoundByTypingAndOpenedForAReply)
{
    HistoryFixture f;
    auto& w = f.start();
    f.arrive(u"10.77.0.2"_s, 100, SendMsg, u"明日の会議は十時から\n二行目"_s);
    f.arrive(u"10.77.0.2"_s, 101, SealedMsg, u"秘密の鈴"_s);
    f.arrive(u"10.77.0.2"_s, 102, SealedMsg, u"読まずに捨てる"_s);
    EXPECT_EQ(f.receipts(u"100"_s), 1);
    ASSERT_TRUE(f.flush());

    // Open the first sealed window, close the second unopened.
    QList<velmar::text::TextWindow*> sealed;
    for (auto* form : w.windows())
        if (form->isSealed())
            sealed << form;
    ASSERT_EQ(sealed.size(), 2);
    sealed[0]->sealButton->click();
    sealed[1]->close();
    ASSERT_TRUE(f.flush());

    w.runCommand(velmar::app::Command::History);
    HistoryWindow& hw = w.historyWindow();
    ASSERT_TRUE(hw.isVisible());
    EXPECT_EQ(hw.windowTitle(), u"履歴"_s);
    EXPECT_EQ(f.rows(hw), (QStringList{u"|見ずに破棄"_s, u"秘密の鈴|開封済"_s,
                                       u"明日の会議は十時から|受信"_s}));

    // Typing filters: a one-kanji and a two-character word, and the sender's name.
    const struct {
        QString typed;
        QStringList rows;
    } searches[] = {
        {u"鈴"_s, {u"秘密の鈴|開封済"_s}},
        {u"会議"_s, {u"明日の会議は十時から|受信"_s}},
        {u"捨てる"_s, {}}, // discarded unopened: no text kept
        {u"tanaka"_s, {u"|見ずに破棄"_s, u"秘密の鈴|開封済"_s, u"明日の会議は十時から|受信"_s}},
    };
    for (const auto& s : searches) {
        hw.searchEdit()->clear();
        type(hw.searchEdit(), s.typed);
        EXPECT_TRUE(QTest::qWaitFor([&] { return hw.model()->rowCount() == s.rows.size(); }, 2000))
            << s.typed.toStdString();
        EXPECT_EQ(f.rows(hw), s.rows) << s.typed.toStdString();
    }
    ASSERT_GE(hw.peerFilter()->count(), 2);
    EXPECT_EQ(hw.peerFilter()->itemData(1).toString(), u"10.77.0.2"_s);

    // From the search field into the list and open with Enter: a text window to reply from.
    hw.searchEdit()->clear();
    type(hw.searchEdit(), u"会議"_s);
    hw.refresh();
    QTest::keyClick(hw.searchEdit(), Qt::Key_Down);
    EXPECT_TRUE(hw.list()->hasFocus() || QApplication::focusWidget() == hw.list() ||
                hw.list()->currentIndex().isValid());
    const auto before = w.windows().size();
    QTest::keyClick(hw.list(), Qt::Key_Return);
    ASSERT_EQ(w.windows().size(), before + 1);
    velmar::text::TextWindow* opened = w.windows().last();
    EXPECT_EQ(opened->text(), u"明日の会議は十時から\r\n二行目"_s);
    EXPECT_TRUE(opened->caption().startsWith(u"From Network tanaka/pc1(IP Messenger Protcol) "_s))
        << opened->caption().toStdString();
    EXPECT_EQ(opened->replyAddress, u"10.77.0.2"_s);
    EXPECT_EQ(opened->replyPort, Port);
    EXPECT_TRUE(f.boxes.boxes.isEmpty());
}

TEST(HistoryWindowFlow, SentMessageFollowsItsReceiptAndReadNotice)
{
    HistoryFixture f;
    auto& w = f.start();
    // A peer introduces itself, then gets a sealed message from us.
    f.endpoint.inject(sjis(u"1:1:suzuki:pc2:1:鈴木"_s) + '\0' + sjis(u"総務"_s), u"10.77.0.3"_s,
                      Port);
    auto& engine = w.messenger();
    ASSERT_EQ(engine.peers()->count(), 1);
    w.openTextWindow(velmar::text::WindowPlacement::Foreground);
    w.activeWindow()->setText(u"資料を送ります"_s);
    w.sendActiveText();
    engine.state().clickSealed(velmar::ipmsg::SealedState::Sealed);
    engine.chooseRow(0);
    engine.send(velmar::ipmsg::Messenger::Button::Left);
    QByteArray packet;
    for (const auto& sent : f.endpoint.sent)
        if (MainWindowFixture::hasCommand(sent.data, "32"))
            packet = sent.data.split(':').value(1);
    ASSERT_FALSE(packet.isEmpty());
    ASSERT_TRUE(f.flush()) << (f.boxes.boxes.isEmpty() ? std::string()
                                                       : f.boxes.boxes[0].text.toStdString());
    HistoryWindow& hw = w.historyWindow();
    EXPECT_EQ(f.rows(hw), QStringList{u"資料を送ります|送信中"_s});
    EXPECT_EQ(hw.model()->item(0, 1)->text(), u"↑"_s);
    EXPECT_EQ(hw.model()->item(0, 2)->text(), u"鈴木/総務"_s);

    f.endpoint.inject("1:2:suzuki:pc2:33:" + packet, u"10.77.0.3"_s, Port);
    ASSERT_TRUE(f.flush());
    EXPECT_EQ(f.rows(hw), QStringList{u"資料を送ります|送信済"_s});
    f.endpoint.inject("1:3:suzuki:pc2:48:" + packet, u"10.77.0.3"_s, Port);
    ASSERT_TRUE(f.flush());
    EXPECT_EQ(f.rows(hw), QStringList{u"資料を送ります|開封"_s});
}

TEST(HistoryWindowFlow, HistoryOffWritesNothingAndTurningItOffDeletesNothing)
{
    HistoryFixture f;
    f.store().write(keys::KeepHistory, u"0"_s);
    auto& w = f.start();
    f.arrive(u"10.77.0.2"_s, 100, SendMsg, u"残らない"_s);
    EXPECT_EQ(f.receipts(u"100"_s), 1);
    EXPECT_EQ(w.historyRecorder()->writer(), nullptr);
    EXPECT_FALSE(QDir(f.historyFolder).exists());

    // On: kept. Off again: the next message is not, the first stays.
    f.store().write(keys::KeepHistory, u"1"_s);
    f.arrive(u"10.77.0.2"_s, 101, SendMsg, u"残る"_s);
    ASSERT_TRUE(f.flush());
    f.store().write(keys::KeepHistory, u"0"_s);
    f.arrive(u"10.77.0.2"_s, 102, SendMsg, u"また残らない"_s);
    w.historyRecorder()->writer()->flush();
    EXPECT_EQ(f.rows(w.historyWindow()), QStringList{u"残る|受信"_s});
}

TEST(HistoryWindowFlow, ClearingAsksFirstAndEmptiesTheHistory)
{
    HistoryFixture f;
    auto& w = f.start();
    f.arrive(u"10.77.0.2"_s, 100, SendMsg, u"消される"_s);
    ASSERT_TRUE(f.flush());
    QStringList asked;
    bool answer = false;
    w.setConfirm([&](const QString&, const QString& text) {
        asked << text;
        return answer;
    });
    w.clearHistory();
    EXPECT_EQ(f.rows(w.historyWindow()).size(), 1) << "refused: nothing is removed";
    answer = true;
    w.clearHistory();
    EXPECT_EQ(asked.size(), 2);
    EXPECT_TRUE(f.rows(w.historyWindow()).isEmpty());
}

TEST(HistoryWindowFlow, UnusableHistoryGivesOneBoxAndMessagingGoesOn)
{
    const struct {
        const char* name;
        bool corrupt; // else the folder cannot be made
    } cases[] = {{"corrupt file", true}, {"folder under a file", false}};
    for (const auto& c : cases) {
        HistoryFixture f;
        if (c.corrupt) {
            QDir().mkpath(f.historyFolder);
            QFile bad(f.historyFolder + u"/history.sqlite"_s);
            ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
            bad.write(QByteArray(4096, 'z'));
        } else {
            QFile file(f.data.filePath(u"file"_s));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            f.historyFolder = f.data.filePath(u"file/Velmar"_s);
        }
        f.start();
        for (int i = 0; i < 3; ++i)
            f.arrive(u"10.77.0.2"_s, 200 + i, SendMsg, u"届く"_s);
        f.flush();
        QTest::qWait(50);
        EXPECT_EQ(f.boxes.boxes.size(), 1) << c.name;
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(f.receipts(QString::number(200 + i)), 1) << c.name;
        if (c.corrupt) {
            EXPECT_EQ(QDir(f.historyFolder).entryList({u"history.sqlite.broken-*"_s}).size(), 1);
        }
    }
}

TEST(HistoryWindowFlow, EndingWithUnopenedSealedMessagesAndNoHistoryAsksOnce)
{
    for (const bool keep : {false, true}) {
        HistoryFixture f;
        f.store().write(keys::KeepHistory, keep ? u"1"_s : u"0"_s);
        auto& w = f.start();
        f.arrive(u"10.77.0.2"_s, 300, SealedMsg, u"封書一"_s);
        f.arrive(u"10.77.0.2"_s, 301, SealedMsg, u"封書二"_s);
        QStringList asked;
        bool answer = false;
        w.setConfirm([&](const QString&, const QString& text) {
            asked << text;
            return answer;
        });
        w.runCommand(velmar::app::Command::End);
        if (keep) {
            EXPECT_TRUE(asked.isEmpty());
            EXPECT_EQ(f.exitCode, 0);
            continue;
        }
        ASSERT_EQ(asked.size(), 1);
        EXPECT_TRUE(asked[0].contains(u"2 通"_s)) << asked[0].toStdString();
        EXPECT_EQ(f.exitCode, -1) << "no: the program stays";
        EXPECT_EQ(f.sentWithCommand("49"), 0);
        answer = true;
        w.runCommand(velmar::app::Command::End);
        EXPECT_EQ(asked.size(), 2);
        EXPECT_EQ(f.sentWithCommand("49"), 2) << "one discard notice each";
        EXPECT_EQ(f.exitCode, 0);
    }
}
