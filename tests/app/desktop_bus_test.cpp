// The D-Bus input method and notifications against fake services on a private
// session bus the test starts.

#include "app/ime_switcher.h"
#include "main_window_fixture.h"
#include "platform/desktop_notifications.h"
#include "platform/input_method.h"
#include "private_bus.h"
#include "settings/keys.h"
#include "text/text_area.h"
#include "text/text_window.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace keys = velmar::settings::keys;
using namespace velmar;
using velmar::testing::FakeDesktopServices;
using velmar::testing::MainWindowFixture;
using velmar::testing::PrivateSessionBus;

namespace {

// A main window whose input method and notifications talk to `client`.
app::MainWindow& startOnBus(MainWindowFixture& f, platform::InputMethod& inputMethod,
                            platform::DesktopNotifications& notifications)
{
    f.window = std::make_unique<app::MainWindow>(app::Services{f.store(),
                                                               f.registry,
                                                               f.endpoint,
                                                               f.boxes,
                                                               f.clipboard,
                                                               f.fileDialogs,
                                                               f.printing,
                                                               f.commandLine,
                                                               [](int) {},
                                                               nullptr,
                                                               false,
                                                               {},
                                                               &f.trayIcon,
                                                               &inputMethod,
                                                               &notifications});
    f.window->load();
    f.window->start();
    return *f.window;
}

// True once one of the window's text areas holds the keyboard focus.
bool textAreaHasFocus(app::MainWindow& w)
{
    w.activateWindow();
    const text::TextWindow* active = w.activeWindow();
    return active && QApplication::focusWidget() == active->textArea();
}

class DesktopBusTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!bus.isRunning())
            GTEST_SKIP() << "dbus-daemon is not installed";
        services = std::make_unique<FakeDesktopServices>(bus);
        client = std::make_unique<QDBusConnection>(bus.connect(QStringLiteral("velmar")));
        inputMethod = std::make_unique<platform::Fcitx5InputMethod>(*client);
        notifications = std::make_unique<platform::FreedesktopNotifications>(*client);
    }

    app::MainWindow& start(MainWindowFixture& f)
    {
        return startOnBus(f, *inputMethod, *notifications);
    }

    static void receive(MainWindowFixture& f, int packet, const QByteArray& text, bool sealed)
    {
        f.endpoint.inject("1:" + QByteArray::number(packet) +
                              ":bob:pcB:" + (sealed ? "544" : "32") + ':' + text,
                          QStringLiteral("10.77.0.3"), 2425);
    }

    PrivateSessionBus bus;
    std::unique_ptr<FakeDesktopServices> services;
    std::unique_ptr<QDBusConnection> client;
    std::unique_ptr<platform::Fcitx5InputMethod> inputMethod;
    std::unique_ptr<platform::FreedesktopNotifications> notifications;
};

TEST_F(DesktopBusTest, ImeSettingReachesTheFocusedContextOnly)
{
    const struct {
        const char16_t* stored;
        int stateBefore;
        int stateAfter;
    } cases[] = {{u"1", 1, 2}, {u"0", 2, 1}, {u"1", 2, 2}, {u"0", 1, 1}, {u"1", 0, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(QString::fromUtf16(c.stored).toStdString() + " from " +
                     std::to_string(c.stateBefore));
        services->fcitx.state = c.stateBefore;
        services->fcitx.calls = 0;
        MainWindowFixture f;
        f.store().write(keys::Ime, QString::fromUtf16(c.stored));
        auto& w = start(f);
        ASSERT_TRUE(QTest::qWaitFor([&] { return textAreaHasFocus(w); }, 2000));
        QTest::qWait(app::ImeSwitcher::SettleMs + 300);
        EXPECT_EQ(services->fcitx.state.load(), c.stateAfter);
        EXPECT_EQ(services->fcitx.calls.load(), c.stateBefore == c.stateAfter ? 0 : 1)
            << "asked once, and only when the state differs";
    }
}

// Closing with several text windows moves the focus from one to the next; a hanging
// input-method service must not hold the closing (nor a notification service).
TEST_F(DesktopBusTest, AHangingServiceDoesNotHoldTheClosing)
{
    MainWindowFixture f;
    f.store().write(keys::Ime, QStringLiteral("1"));
    auto& w = start(f);
    for (int i = 0; i < 3; ++i) {
        w.openTextWindow(text::WindowPlacement::Foreground);
        ASSERT_TRUE(QTest::qWaitFor([&] { return textAreaHasFocus(w); }, 2000));
    }
    services->fcitx.delayMs = 1500;
    services->notifications.delayMs = 1500;
    QTest::qWait(app::ImeSwitcher::SettleMs + 100); // a State() call is now hanging
    QElapsedTimer clock;
    clock.start();
    w.close();
    QCoreApplication::processEvents();
    EXPECT_LT(clock.elapsed(), 300);
    EXPECT_TRUE(w.hasEnded());
}

// A framework that is installed but not running stays so: the bus could start it on
// demand (its activation file is there), and the program's calls must not.
TEST(DesktopBusActivation, AnInputMethodThatDoesNotRunIsNotStarted)
{
    QTemporaryDir folder;
    const QString started = folder.filePath(QStringLiteral("started"));
    QFile service(folder.filePath(QStringLiteral("org.fcitx.Fcitx5.service")));
    ASSERT_TRUE(service.open(QIODevice::WriteOnly));
    service.write(QStringLiteral("[D-BUS Service]\nName=org.fcitx.Fcitx5\nExec=/usr/bin/touch %1\n")
                      .arg(started)
                      .toUtf8());
    service.close();
    PrivateSessionBus bus(folder.path());
    if (!bus.isRunning())
        GTEST_SKIP() << "dbus-daemon is not installed";
    QDBusConnection client = bus.connect(QStringLiteral("velmar-activation"));
    platform::Fcitx5InputMethod inputMethod(client);
    platform::FreedesktopNotifications notifications(client);

    for (const char16_t* stored : {u"1", u"0"}) {
        MainWindowFixture f;
        f.store().write(keys::Ime, QString::fromUtf16(stored));
        auto& w = startOnBus(f, inputMethod, notifications);
        ASSERT_TRUE(QTest::qWaitFor([&] { return textAreaHasFocus(w); }, 2000));
        w.commands().action(app::Command::ImeOn)->trigger();
        w.commands().action(app::Command::ImeOff)->trigger();
        QTest::qWait(app::ImeSwitcher::SettleMs + 500);
        EXPECT_FALSE(QFileInfo::exists(started)) << "the input method was started";
    }

    // The activation file works: an ordinary call starts the service.
    client.call(QDBusMessage::createMethodCall(
                    QStringLiteral("org.fcitx.Fcitx5"), QStringLiteral("/controller"),
                    QStringLiteral("org.fcitx.Fcitx.Controller1"), QStringLiteral("State")),
                QDBus::Block, 3000);
    EXPECT_TRUE(QTest::qWaitFor([&] { return QFileInfo::exists(started); }, 3000));
}

TEST_F(DesktopBusTest, NoServiceMeansNoInputMethodAndNoNotification)
{
    services.reset();
    inputMethod->setOpen(true);
    bool shown = false;
    notifications->show(QStringLiteral("a"), QStringLiteral("b"), 0,
                        [&](quint32) { shown = true; });
    QTest::qWait(300);
    EXPECT_FALSE(shown);
}

TEST_F(DesktopBusTest, NotificationTextsArePlainTextWhateverTheServiceReads)
{
    const QString text = QStringLiteral("<b>x</b> & <a href=\"http://h/\">y</a>");
    for (const bool markup : {true, false}) {
        SCOPED_TRACE(markup ? "markup" : "plain");
        services->notifications.markup = markup;
        platform::FreedesktopNotifications fresh(*client);
        quint32 id = 0;
        fresh.show(QStringLiteral("s"), text, 0, [&](quint32 shown) { id = shown; });
        ASSERT_TRUE(QTest::qWaitFor([&] { return id != 0; }, 3000));
        const auto shown = services->notifications.shown();
        EXPECT_EQ(shown.back().body,
                  markup ? QStringLiteral("&lt;b&gt;x&lt;/b&gt; &amp; &lt;a "
                                          "href=&quot;http://h/&quot;&gt;y&lt;/a&gt;")
                         : text);
    }
}

TEST_F(DesktopBusTest, ASlowNotificationServiceDoesNotHoldTheWindow)
{
    services->notifications.delayMs = 1500;
    quint32 id = 0;
    QElapsedTimer clock;
    clock.start();
    notifications->show(QStringLiteral("s"), QStringLiteral("b"), 0,
                        [&](quint32 shown) { id = shown; });
    notifications->show(QStringLiteral("s"), QStringLiteral("b"), 0, {});
    EXPECT_LT(clock.elapsed(), 200);
    EXPECT_TRUE(QTest::qWaitFor([&] { return id != 0; }, 5000));
}

TEST_F(DesktopBusTest, NotificationsForBackgroundMessages)
{
    MainWindowFixture f;
    auto& w = start(f);
    w.hideToTray(false);

    receive(f, 300, "line one\nline two", false);
    QTRY_COMPARE_WITH_TIMEOUT(services->notifications.shown().size(), 1, 3000);
    auto shown = services->notifications.shown();
    EXPECT_EQ(shown[0].summary, u"bob/pcB");
    EXPECT_EQ(shown[0].body, u"line one\nline two");
    EXPECT_TRUE(shown[0].actions.contains(QStringLiteral("default")));

    QTest::qWait(1100);
    receive(f, 301, "hidden text", true);
    QTRY_COMPARE_WITH_TIMEOUT(services->notifications.shown().size(), 2, 3000);
    shown = services->notifications.shown();
    EXPECT_EQ(shown[1].body, u"封書");
    auto* sealedWindow = w.windows().back();

    services->click(shown[1].id);
    QTRY_VERIFY_WITH_TIMEOUT(!w.inTray(), 2000);
    EXPECT_EQ(w.activeWindow(), sealedWindow);

    w.hideToTray(false);
    QTest::qWait(1100);
    const auto before = services->notifications.shown().size();
    for (int i = 0; i < 10; ++i)
        receive(f, 400 + i, "flood", false);
    QTest::qWait(1100);
    QTRY_COMPARE_WITH_TIMEOUT(services->notifications.shown().size(), before + 2, 3000);
    shown = services->notifications.shown().mid(before);
    EXPECT_EQ(shown[1].id, shown[0].id) << "the count replaces the first";
    EXPECT_EQ(shown[1].summary, u"10 件のメッセージ");
}

} // namespace
