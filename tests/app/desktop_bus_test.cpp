// The D-Bus input method and notifications against fake services on a private
// session bus the test starts.

#include "main_window_fixture.h"
#include "platform/desktop_notifications.h"
#include "platform/input_method.h"
#include "private_bus.h"
#include "settings/keys.h"
#include "text/text_window.h"

#include <QTest>
#include <gtest/gtest.h>

namespace keys = velmar::settings::keys;
using namespace velmar;
using velmar::testing::FakeDesktopServices;
using velmar::testing::MainWindowFixture;
using velmar::testing::PrivateSessionBus;

namespace {

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

    // A main window whose input method and notifications talk to the private bus.
    app::MainWindow& start(MainWindowFixture& f)
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
                                                                   inputMethod.get(),
                                                                   notifications.get()});
        f.window->load();
        f.window->start();
        return *f.window;
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

TEST_F(DesktopBusTest, ImeSettingOpensOrClosesOnActivation)
{
    const struct {
        const char16_t* stored;
        int stateBefore;
        int stateAfter;
    } cases[] = {{u"1", 1, 2}, {u"0", 2, 1}, {u"1", 2, 2}, {u"0", 1, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(QString::fromUtf16(c.stored).toStdString() + " from " +
                     std::to_string(c.stateBefore));
        services->fcitx.state = c.stateBefore;
        MainWindowFixture f;
        f.store().write(keys::Ime, QString::fromUtf16(c.stored));
        start(f);
        QTRY_COMPARE_WITH_TIMEOUT(services->fcitx.state.load(), c.stateAfter, 2000);
        EXPECT_EQ(inputMethod->isOpen(), c.stateAfter == 2);
    }
}

TEST_F(DesktopBusTest, NoServiceMeansNoInputMethodAndNoNotification)
{
    services.reset();
    EXPECT_EQ(inputMethod->isOpen(), std::nullopt);
    inputMethod->setOpen(true);
    EXPECT_EQ(notifications->show(QStringLiteral("a"), QStringLiteral("b"), 0), 0u);
}

TEST_F(DesktopBusTest, NotificationsForBackgroundMessages)
{
    MainWindowFixture f;
    auto& w = start(f);
    w.hideToTray(false);

    receive(f, 300, "line one\nline two", false);
    auto shown = services->notifications.shown();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].summary, u"bob/pcB");
    EXPECT_EQ(shown[0].body, u"line one\nline two");
    EXPECT_TRUE(shown[0].actions.contains(QStringLiteral("default")));

    QTest::qWait(1100);
    receive(f, 301, "hidden text", true);
    shown = services->notifications.shown();
    ASSERT_EQ(shown.size(), 2);
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
    shown = services->notifications.shown().mid(before);
    ASSERT_EQ(shown.size(), 2) << "the first at once, the count when the second is over";
    EXPECT_EQ(shown[1].id, shown[0].id);
    EXPECT_EQ(shown[1].summary, u"10 件のメッセージ");
}

} // namespace
