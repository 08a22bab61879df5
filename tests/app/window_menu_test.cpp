#include "main_window_fixture.h"
#include "text/text_area.h"
#include "text/text_window.h"

#include <QAction>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

using velmar::testing::MainWindowFixture;
using namespace velmar;

namespace {

void receive(MainWindowFixture& f, int packet, const QByteArray& text, bool sealed)
{
    // 0x20 a message; 0x100 asks for a receipt; 0x200 sealed; 0x100000 a read notice.
    const QByteArray command = sealed ? "1049376" : "32";
    f.endpoint.inject("1:" + QByteArray::number(packet) + ":alice:pcA:" + command + ':' + text,
                      QStringLiteral("10.77.0.2"), 2425);
}

// The entries the window menu lists after its fixed items.
QStringList listed(app::MainWindow& w, QString* marked = nullptr)
{
    QMenu* menu = w.commands().windowMenu();
    Q_EMIT menu->aboutToShow();
    QStringList captions;
    for (QAction* action : menu->actions()) {
        if (!action->objectName().startsWith(u"windowEntry"))
            continue;
        captions << action->text();
        if (marked && action->isChecked())
            *marked = action->text();
    }
    return captions;
}

void pressCtrlF4(QWidget* target)
{
    QKeyEvent override(QEvent::ShortcutOverride, Qt::Key_F4, Qt::ControlModifier);
    QCoreApplication::sendEvent(target, &override);
    QKeyEvent press(QEvent::KeyPress, Qt::Key_F4, Qt::ControlModifier);
    QCoreApplication::sendEvent(target, &press);
}

TEST(WindowMenu, ListsTheWindowsAndClosesOneOrAll)
{
    MainWindowFixture f;
    f.clipboard.setText(QStringLiteral("clip"));
    auto& w = f.start();
    receive(f, 100, "plain", false);
    receive(f, 101, "secret", true);
    ASSERT_EQ(w.windows().size(), 3);
    w.windows()[2]->setCaption(QStringLiteral("A&B"));

    QString marked;
    const QStringList captions = listed(w, &marked);
    ASSERT_EQ(captions.size(), 3);
    EXPECT_TRUE(captions[0].startsWith(u"&1 "));
    EXPECT_EQ(captions[2], QStringLiteral("&3 A&&B"));
    EXPECT_EQ(marked, captions[0]); // the clipboard window stayed active
    // Listing again replaces the entries; choosing one activates its window.
    listed(w);
    QAction* third = w.commands().windowMenu()->findChild<QAction*>(QStringLiteral("windowEntry3"));
    ASSERT_NE(third, nullptr);
    third->trigger();
    EXPECT_EQ(w.activeWindow(), w.windows()[2]);

    // Ctrl+F4 closes the active window: the unopened sealed one sends its discard notice.
    pressCtrlF4(w.activeWindow()->textArea());
    QCoreApplication::processEvents();
    EXPECT_EQ(w.windows().size(), 2);
    EXPECT_EQ(f.sentWithCommand("49"), 1); // 0x31 discard notice

    // すべて閉じる closes every window.
    receive(f, 102, "secret two", true);
    w.commands().action(u"m_win_closeall")->trigger();
    QCoreApplication::processEvents();
    EXPECT_TRUE(w.windows().isEmpty());
    EXPECT_EQ(f.sentWithCommand("49"), 2);
    EXPECT_TRUE(listed(w).isEmpty());
}

// The click that brings a background sealed message forward does not open it; the
// next click on the seal does.
TEST(SealedMessage, TheActivatingClickDoesNotOpenTheSeal)
{
    MainWindowFixture f;
    f.clipboard.setText(QStringLiteral("clip"));
    auto& w = f.start();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    receive(f, 200, "secret", true);
    text::TextWindow* sealed = w.windows().last();
    ASSERT_TRUE(sealed->isSealed());
    ASSERT_NE(w.activeWindow(), sealed);
    sealed->parentWidget()->raise(); // visible to the click, still in the background

    QTest::mouseClick(sealed->sealButton, Qt::LeftButton);
    QCoreApplication::processEvents();
    EXPECT_EQ(w.activeWindow(), sealed);
    EXPECT_TRUE(sealed->isSealed());
    EXPECT_EQ(f.sentWithCommand("48"), 0); // no read notice yet

    QTest::mouseClick(sealed->sealButton, Qt::LeftButton);
    EXPECT_FALSE(sealed->isSealed());
    EXPECT_EQ(f.sentWithCommand("48"), 1);
}

// The blinking icon announced a sealed message: clicking it shows that message, with
// no clipboard window on top.
TEST(SealedMessage, TheBlinkingIconShowsTheMessageItAnnounced)
{
    MainWindowFixture f;
    f.clipboard.setText(QStringLiteral("clip"));
    auto& w = f.start();
    w.hideToTray(false);
    f.clipboard.setText(QStringLiteral("something else"));
    receive(f, 300, "secret", true);
    ASSERT_TRUE(w.messageWaiting());
    const int before = w.windows().size();

    f.trayIcon.click(platform::TrayClick::Left);
    QCoreApplication::processEvents();
    EXPECT_EQ(w.windows().size(), before);
    ASSERT_NE(w.activeWindow(), nullptr);
    EXPECT_TRUE(w.activeWindow()->isSealed());
}

} // namespace
