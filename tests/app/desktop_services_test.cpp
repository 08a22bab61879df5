// The main window with the notification-area icon, the input method and pop-up
// notifications played by fakes.

#include "app/arrival_notifier.h"
#include "app/ime_switcher.h"
#include "main_window_fixture.h"
#include "settings/keys.h"
#include "text/text_area.h"
#include "text/text_window.h"

#include <QAction>
#include <QApplication>
#include <QMdiArea>
#include <QMenu>
#include <QTest>
#include <gtest/gtest.h>

namespace keys = velmar::settings::keys;
using velmar::app::ArrivalNotifier;
using velmar::platform::TrayClick;
using velmar::testing::MainWindowFixture;

namespace {

// A message datagram from a stranger at 10.77.0.2; 32 is a message, 544 a sealed one.
void receive(MainWindowFixture& f, int packet, const QByteArray& text, bool sealed = false)
{
    const QByteArray command = sealed ? "544" : "32";
    f.endpoint.inject("1:" + QByteArray::number(packet) + ":alice:pcA:" + command + ':' + text,
                      QStringLiteral("10.77.0.2"), 2425);
}

TEST(TrayClicks, ClipboardRulesAndTheReplyMarkCopy)
{
    const struct {
        const char* name;
        TrayClick click;
        bool clipboardIsActiveText;
        int newWindows;
        const char16_t* activeText;
    } cases[] = {
        {"left, same text", TrayClick::Left, true, 0, u"same"},
        {"right, same text", TrayClick::Right, true, 0, u"same"},
        {"left, other text", TrayClick::Left, false, 1, u"other\r\nline"},
        {"right, other text", TrayClick::Right, false, 1, u">other\r\n>line"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MainWindowFixture f;
        f.clipboard.setText(QStringLiteral("same"));
        auto& w = f.start();
        w.hideToTray(false);
        ASSERT_TRUE(f.trayIcon.shown);
        EXPECT_FALSE(w.isVisible());
        if (!c.clipboardIsActiveText)
            f.clipboard.setText(QStringLiteral("other\r\nline"));
        const auto before = w.windows().size();

        f.trayIcon.click(c.click);
        EXPECT_FALSE(f.trayIcon.shown);
        EXPECT_FALSE(w.inTray());
        EXPECT_TRUE(w.isVisible());
        EXPECT_EQ(w.windows().size(), before + c.newWindows);
        EXPECT_EQ(w.activeWindow()->text(), QString::fromUtf16(c.activeText));
    }
}

// Without a notification area "タスクトレイへ" only minimises: restoring is ordinary,
// a message makes nothing blink, and the stored state names no tray.
TEST(TrayClicks, NoNotificationAreaKeepsNoTrayState)
{
    MainWindowFixture f;
    f.trayIcon.available = false;
    f.store().write(keys::SavePlacement, QStringLiteral("1"));
    auto& w = f.start();
    w.commands().action(velmar::app::Command::ToTray)->trigger();
    EXPECT_TRUE(w.isMinimized());
    EXPECT_FALSE(w.inTray());
    EXPECT_FALSE(f.trayIcon.shown);

    receive(f, 100, "while minimised");
    EXPECT_FALSE(w.tray().isBlinking());
    EXPECT_FALSE(w.messageWaiting());

    w.showNormal();
    EXPECT_FALSE(w.inTray());
    w.setGeometry(QRect(100, 100, 600, 500));
    w.close();
    EXPECT_EQ(f.store().read(keys::StartMode), u"0");
    EXPECT_EQ(f.store().read(keys::Placement), u"1500,1500,9000,7500");

    // A stored tray start on such a desktop comes up minimised, out of any tray.
    MainWindowFixture again;
    again.trayIcon.available = false;
    again.store().write(keys::StartMode, QStringLiteral("3"));
    auto& w2 = again.start();
    EXPECT_TRUE(w2.isMinimized());
    EXPECT_FALSE(w2.inTray());
}

// A compositor that places windows itself reports no position (Qt says 0,0): the
// stored position stays, the size follows the window.
TEST(WindowPlacement, WithoutPositionsTheStoredPositionStays)
{
    const struct {
        const char16_t* stored;
        const char16_t* after;
    } cases[] = {
        {u"30000,15000,9000,7500", u"30000,15000,10500,6000"},
        {u"", u"0,0,10500,6000"},
        {u"1,2,3", u"0,0,10500,6000"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(QString::fromUtf16(c.stored).toStdString());
        MainWindowFixture f;
        f.windowPositionsKnown = false;
        f.store().write(keys::SavePlacement, QStringLiteral("1"));
        f.store().write(keys::Placement, QString::fromUtf16(c.stored));
        auto& w = f.start();
        w.setGeometry(QRect(0, 0, 700, 400));
        w.close();
        EXPECT_EQ(f.store().read(keys::Placement), QString::fromUtf16(c.after));
    }
}

// The icon's context menu reaches what the clicks do, for hosts that keep the right
// click for themselves: 表示 as the left click, レス付けてコピー as the right one,
// and 終了 ends the program.
TEST(TrayMenu, ActionsDoWhatTheClicksDo)
{
    const struct {
        int action;
        const char16_t* activeText;
    } cases[] = {{0, u"other"}, {1, u">other"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.action);
        MainWindowFixture f;
        auto& w = f.start();
        w.hideToTray(false);
        ASSERT_NE(f.trayIcon.menu, nullptr);
        const QList<QAction*> actions = f.trayIcon.menu->actions();
        f.clipboard.setText(QStringLiteral("other"));
        const auto before = w.windows().size();
        actions[c.action]->trigger();
        EXPECT_FALSE(w.inTray());
        EXPECT_TRUE(w.isVisible());
        EXPECT_EQ(w.windows().size(), before + 1);
        EXPECT_EQ(w.activeWindow()->text(), QString::fromUtf16(c.activeText));
    }
    MainWindowFixture f;
    auto& w = f.start();
    w.hideToTray(false);
    f.trayIcon.menu->actions().back()->trigger();
    EXPECT_EQ(f.exitCode, 0);
    EXPECT_TRUE(w.hasEnded());
}

TEST(TrayBlinking, AlternatesUntilClickedThenShowsTheNewestMessage)
{
    MainWindowFixture f;
    auto& w = f.start();
    w.hideToTray(false);
    receive(f, 100, "first");
    receive(f, 101, "second");
    ASSERT_TRUE(w.messageWaiting());
    ASSERT_TRUE(w.tray().isBlinking());

    f.trayIcon.icons.clear();
    for (int i = 0; i < 4; ++i)
        w.tray().blink();
    const qint64 program = w.tray().programIcon().cacheKey();
    const qint64 message = w.tray().messageIcon().cacheKey();
    EXPECT_EQ(f.trayIcon.icons, QList<qint64>({program, message, program, message}));
    EXPECT_FALSE(w.isVisible());

    f.trayIcon.click(TrayClick::Left);
    EXPECT_FALSE(w.tray().isBlinking());
    EXPECT_FALSE(w.messageWaiting());
    EXPECT_EQ(w.activeWindow()->text(), u"second");
}

// True once one of the window's text areas holds the keyboard focus.
bool textAreaHasFocus(velmar::app::MainWindow& w)
{
    w.activateWindow();
    const auto* active = w.activeWindow();
    return active && QApplication::focusWidget() == active->textArea();
}

TEST(AutomaticIme, SettingOpensOrClosesWhenATextAreaHasTheFocus)
{
    const struct {
        const char16_t* stored;
        bool openBefore;
        bool available;
        bool openAfter;
        int changes;
        bool marked;
    } cases[] = {
        {u"1", false, true, true, 1, true},   {u"0", true, true, false, 1, false},
        {u"1", true, true, true, 0, true},    {u" 0", false, true, false, 0, false},
        {u"1", false, false, false, 0, true}, {u"0", true, false, true, 0, false},
    };
    for (const auto& c : cases) {
        MainWindowFixture f;
        f.store().write(keys::Ime, QString::fromUtf16(c.stored));
        f.inputMethod.open = c.openBefore;
        f.inputMethod.available = c.available;
        auto& w = f.start(); // the first activation opens a clipboard window
        SCOPED_TRACE(QString::fromUtf16(c.stored).toStdString() + (c.available ? "" : " none"));
        ASSERT_TRUE(QTest::qWaitFor([&] { return textAreaHasFocus(w); }, 2000));
        QTest::qWait(velmar::app::ImeSwitcher::SettleMs + 100);
        EXPECT_EQ(f.inputMethod.open, c.openAfter);
        EXPECT_EQ(f.inputMethod.changes, c.changes);
        EXPECT_EQ(w.commands().action(velmar::app::Command::ImeOn)->isChecked(), c.marked);
        EXPECT_EQ(w.commands().toolButton(velmar::app::Command::ImeToggle)->isChecked(), c.marked);
        EXPECT_TRUE(f.boxes.boxes.isEmpty());
    }
}

// The framework switches whatever input context had the focus last: while none of
// the program's text areas has it (the window not yet focused at start-up, the icon
// clicked from another program), nothing is asked; the focus-in then switches once.
TEST(AutomaticIme, NothingIsSwitchedBeforeATextAreaHasTheFocus)
{
    MainWindowFixture f;
    f.store().write(keys::Ime, QStringLiteral("1"));
    f.create();
    ASSERT_TRUE(f.window->load());
    auto& w = *f.window;
    w.start();
    w.hideToTray(false);
    QTest::qWait(velmar::app::ImeSwitcher::SettleMs + 100);
    f.inputMethod.requests = 0;
    w.commands().action(velmar::app::Command::ImeOn)->trigger();
    QTest::qWait(velmar::app::ImeSwitcher::SettleMs + 100);
    EXPECT_EQ(f.inputMethod.requests, 0) << "hidden, no focus: nothing to switch";

    f.trayIcon.click(TrayClick::Left);
    EXPECT_EQ(f.inputMethod.requests, 0) << "not before the focus has arrived";
    ASSERT_TRUE(QTest::qWaitFor([&] { return textAreaHasFocus(w); }, 2000));
    QTest::qWait(velmar::app::ImeSwitcher::SettleMs + 100);
    EXPECT_EQ(f.inputMethod.requests, 1);
    EXPECT_TRUE(f.inputMethod.open);
}

TEST(AutomaticIme, ButtonTwiceRestoresTheSettingAndMarksFollowWithoutWindows)
{
    MainWindowFixture f;
    auto& w = f.start();
    w.mdiArea()->closeAllSubWindows();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_TRUE(w.hasNoActiveWindow());
    f.inputMethod.changes = 0;
    QAction* button = w.commands().toolButton(velmar::app::Command::ImeToggle);
    QAction* off = w.commands().action(velmar::app::Command::ImeOff);

    button->trigger();
    EXPECT_EQ(f.store().read(keys::Ime), u"0");
    EXPECT_TRUE(off->isChecked());
    EXPECT_FALSE(button->isChecked());
    button->trigger();
    EXPECT_EQ(f.store().read(keys::Ime), u"1");
    EXPECT_FALSE(off->isChecked());
    EXPECT_TRUE(button->isChecked());
    EXPECT_EQ(f.inputMethod.changes, 0) << "no window, nothing to switch";
}

TEST(ArrivalNotifications, BackgroundMessagesSealedTextClickAndFlood)
{
    MainWindowFixture f;
    auto& w = f.start();
    w.hideToTray(false);

    receive(f, 100, "hello\nsecond line");
    ASSERT_EQ(f.notifications.shown.size(), 1);
    EXPECT_EQ(f.notifications.shown[0].summary, u"alice/pcA");
    EXPECT_EQ(f.notifications.shown[0].body, u"hello\nsecond line");

    QTest::qWait(1100); // the burst is over
    receive(f, 101, "secret", true);
    ASSERT_EQ(f.notifications.shown.size(), 2);
    EXPECT_EQ(f.notifications.shown[1].body, u"封書");
    auto* sealedWindow = w.windows().back();

    f.notifications.click(f.notifications.shown[1].id);
    EXPECT_TRUE(w.isVisible());
    EXPECT_FALSE(w.inTray());
    EXPECT_EQ(w.activeWindow(), sealedWindow);

    w.hideToTray(false);
    QTest::qWait(1100);
    f.notifications.shown.clear();
    for (int i = 0; i < 10; ++i)
        receive(f, 200 + i, "flood");
    EXPECT_EQ(f.notifications.shown.size(), 1);
    QTest::qWait(1100);
    ASSERT_EQ(f.notifications.shown.size(), 2);
    EXPECT_EQ(f.notifications.shown[1].id, f.notifications.shown[0].id) << "replaced, not added";
    EXPECT_EQ(f.notifications.shown[1].summary, u"10 件のメッセージ");

    // A burst longer than a second is counted whole.
    QTest::qWait(1100);
    f.notifications.shown.clear();
    for (int i = 0; i < 30; ++i) {
        receive(f, 300 + i, "flood");
        QTest::qWait(80);
    }
    QTest::qWait(1100);
    ASSERT_FALSE(f.notifications.shown.isEmpty());
    EXPECT_EQ(f.notifications.shown.last().summary, u"30 件のメッセージ");
}

// A message that opens behind the window the user works in is notified although the
// program is active; the user's window keeps the focus. One that opens in front (no
// other window) needs no notification.
TEST(ArrivalNotifications, AMessageBehindTheActiveWindowIsNotified)
{
    MainWindowFixture f;
    f.clipboard.setText(QStringLiteral("working"));
    auto& w = f.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.isActiveWindow(); }, 2000));
    auto* working = w.activeWindow();
    ASSERT_NE(working, nullptr);

    receive(f, 100, "behind");
    ASSERT_EQ(f.notifications.shown.size(), 1);
    EXPECT_EQ(f.notifications.shown[0].body, u"behind");
    EXPECT_EQ(w.activeWindow(), working) << "the focus stays where the user works";

    w.mdiArea()->closeAllSubWindows();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QTest::qWait(1100); // the burst is over
    f.notifications.shown.clear();
    receive(f, 101, "in front");
    EXPECT_EQ(w.activeWindow()->text(), u"in front");
    EXPECT_TRUE(f.notifications.shown.isEmpty());
}

TEST(ArrivalNotifications, SettingTurnsThemOff)
{
    MainWindowFixture f;
    f.store().write(QStringLiteral("general"), QStringLiteral("Notify"), QStringLiteral("0"));
    auto& w = f.start();
    w.hideToTray(false);
    receive(f, 100, "hello");
    EXPECT_TRUE(f.notifications.shown.isEmpty());
    EXPECT_EQ(w.windows().back()->text(), u"hello");
}

TEST(ArrivalNotifications, SenderAndPreview)
{
    const struct {
        const char16_t* in;
        const char16_t* out;
    } senders[] = {
        {u"From Network alice/pcA(proto) 2026/12/09 03:00", u"alice/pcA"},
        {u"From Network a(b)/pc(proto) now", u"a(b)/pc"},
        {u"Velmar7", u"Velmar7"},
    };
    for (const auto& c : senders)
        EXPECT_EQ(ArrivalNotifier::senderName(QString::fromUtf16(c.in)), QString::fromUtf16(c.out));

    const struct {
        const char16_t* in;
        const char16_t* out;
    } previews[] = {
        {u"one", u"one"},
        {u"1\r\n2\r\n3", u"1\n2\n3"},
        {u"1\r\n2\r\n3\r\n4", u"1\n2\n3…"},
        {u"1\r\r\n2", u"1\n2"},
    };
    for (const auto& c : previews)
        EXPECT_EQ(ArrivalNotifier::preview(QString::fromUtf16(c.in)), QString::fromUtf16(c.out));
    EXPECT_EQ(ArrivalNotifier::preview(QString(300, u'x')), QString(200, u'x') + u'…');
}

} // namespace
