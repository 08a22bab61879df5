#include "app/main_window_fixture.h"
#include "ipmsg/messenger.h"
#include "platform/line_breaks.h"
#include "settings/keys.h"
#include "settings/settings_dialog.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QStringDecoder>
#include <QTabWidget>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using velmar::testing::MainWindowFixture;
namespace keys = velmar::settings::keys;

namespace {

template <typename T> T* control(velmar::settings::SettingsDialog* dialog, const char* name)
{
    return dialog->findChild<T*>(QString::fromLatin1(name));
}

void click(velmar::settings::SettingsDialog* dialog, const char* name)
{
    control<QPushButton>(dialog, name)->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// The nickname part of each sent datagram with `command`.
QStringList namesSent(const MainWindowFixture& f, const QByteArray& command)
{
    QStringList names;
    QStringDecoder decoder("Shift_JIS");
    for (const auto& sent : f.endpoint.sent) {
        if (MainWindowFixture::hasCommand(sent.data, command))
            names << decoder.decode(sent.data.split(':').value(5).split('\0').value(0));
    }
    return names;
}

TEST(SettingsWiring, AFirstStartAsksForTheNameBeforeAnythingIsAnnounced)
{
    enum class Close { Set, Cancel, NoDialog };
    struct Case {
        const char* name;
        bool firstStart;
        Close close;
        QString announced;
    };
    const Case cases[] = {
        {"first start, set", true, Close::Set, u"山田 花子"_s},
        {"first start, cancel", true, Close::Cancel, u"NoName"_s},
        {"second start", false, Close::NoDialog, u"NoName"_s},
    };
    for (const Case& c : cases) {
        MainWindowFixture f;
        f.firstStart = c.firstStart;
        f.accountName = u"山田 花子"_s;
        f.start();
        auto* dialog = f.window->settingsDialog();
        if (c.close == Close::NoDialog) {
            EXPECT_EQ(dialog, nullptr) << c.name;
            EXPECT_EQ(namesSent(f, "1"), QStringList(6, c.announced)) << c.name;
            continue;
        }
        ASSERT_NE(dialog, nullptr) << c.name;
        EXPECT_TRUE(dialog->isVisible()) << c.name;
        EXPECT_EQ(control<QTabWidget>(dialog, "TabStrip1")->currentIndex(), 0) << c.name;
        auto* userName = control<QLineEdit>(dialog, "Text2");
        EXPECT_EQ(userName->text(), u"山田 花子") << c.name;
        EXPECT_EQ(dialog->focusWidget(), userName) << c.name;
        // Nothing goes out, not even an answer to a peer's entry, until the dialog closes.
        f.endpoint.inject("1:5:peer:host:1:", u"10.77.0.9"_s, 2425);
        EXPECT_TRUE(f.endpoint.sent.isEmpty()) << c.name;

        click(dialog, c.close == Close::Set ? "Command1" : "Command2");
        EXPECT_EQ(f.window->settingsDialog(), nullptr) << c.name;
        EXPECT_EQ(namesSent(f, "1"), QStringList(6, c.announced)) << c.name;
        EXPECT_EQ(namesSent(f, "3"), QStringList(6, c.announced)) << c.name;
        EXPECT_EQ(f.store().read(keys::UserName), c.close == Close::Set ? c.announced : u"NoName"_s)
            << c.name;
    }
}

TEST(SettingsWiring, TheSettingsCommandShowsTheDialogAndSetAppliesTheAbsenceAtOnce)
{
    MainWindowFixture f;
    f.store().write(keys::Retry, u"2"_s);
    f.store().write(keys::AbsenceMessages, u"会議:会議中です。"_s);
    f.start();
    f.endpoint.sent.clear();
    f.window->messenger().packets().setSendErrorShown(true);

    f.window->runCommand(velmar::app::Command::Settings);
    auto* dialog = f.window->settingsDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->windowModality(), Qt::NonModal);
    // Coming back to the main window opens no clipboard window.
    const auto windows = f.window->windows().size();
    f.window->activated();
    EXPECT_EQ(f.window->windows().size(), windows);
    QEvent activate(QEvent::WindowActivate);
    QCoreApplication::sendEvent(dialog, &activate);
    EXPECT_FALSE(f.window->messenger().packets().sendErrorShown());

    control<QComboBox>(dialog, "Combo1")->setCurrentIndex(1);
    click(dialog, "Command1");
    EXPECT_EQ(f.window->messenger().packets().absenceTitle(), u"会議");
    EXPECT_EQ(f.window->messenger().packets().absenceText(), u"会議中です。");
    // Retry times, with the title and the absence option.
    EXPECT_EQ(namesSent(f, "1"), QStringList(2, u"NoName[会議]"_s));
    ASSERT_EQ(f.endpoint.sent.size(), 2);
    for (const auto& sent : f.endpoint.sent)
        EXPECT_TRUE(sent.data.split(':').value(4).toUInt() & 0x100) << "the absence option";
}

TEST(SettingsWiring, ThePortMovesAtOnceOrStaysWhenTheNewOneIsBusy)
{
    struct Case {
        const char* name;
        bool busy;
        quint16 portAfter;
        int boxes;
    };
    const Case cases[] = {
        {"free port", false, 2426, 0},
        {"busy port", true, 2425, 1},
    };
    for (const Case& c : cases) {
        MainWindowFixture f;
        if (c.busy)
            f.endpoint.busyPorts << 2426;
        f.start();
        f.endpoint.sent.clear();
        auto& dialog = f.window->showSettings();
        control<QLineEdit>(&dialog, "Text4")->setText(u"2426"_s);
        click(&dialog, "Command1");
        EXPECT_EQ(f.endpoint.localPort(), c.portAfter) << c.name;
        EXPECT_EQ(f.boxes.boxes.size(), c.boxes) << c.name;
        // Announced on the new port from its own section, or not at all.
        EXPECT_EQ(f.sentWithCommand("1"), c.busy ? 0 : 6) << c.name;
        for (const auto& sent : f.endpoint.sent)
            EXPECT_EQ(sent.port, 2426) << c.name;
        EXPECT_EQ(f.store().read(u"IPM"_s, u"Port"_s, u"(absent)"_s), u"(absent)") << c.name;
    }
}

} // namespace
