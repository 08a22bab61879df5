#include "app/main_window_fixture.h"
#include "ipmsg/messenger.h"
#include "platform/line_breaks.h"
#include "settings/keys.h"
#include "settings/settings_dialog.h"
#include "text/text_window.h"

#include <QCheckBox>
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
        // Goodbye from the old port first, so that peers drop that entry; then the entry
        // from the port the program listens on now (the old one again when the new one
        // is busy, or peers would have lost us).
        QList<std::pair<int, quint16>> commandsAndPorts;
        for (const auto& sent : f.endpoint.sent)
            commandsAndPorts.append({sent.data.split(':').value(4).toInt() & 0xFF, sent.port});
        QList<std::pair<int, quint16>> expected(6, {2, 2425});
        expected += QList<std::pair<int, quint16>>(6, {1, c.portAfter});
        EXPECT_EQ(commandsAndPorts, expected) << c.name;
        EXPECT_EQ(f.store().read(u"IPM"_s, u"Port"_s, u"(absent)"_s), u"(absent)") << c.name;
    }
}

TEST(SettingsWiring, StoredPortAndRetryAreReadInsideTheirRangeAtStart)
{
    struct Case {
        const char* name;
        QString port;
        QString retry; // in the section of the port bound
        quint16 bound;
        int entries;
    };
    const Case cases[] = {
        // Port 0 would bind a random port and send every broadcast to port 0.
        {"port 0", u"0"_s, u"6"_s, 2425, 6},
        {"port past 65535", u"70000"_s, u"6"_s, 2425, 6},
        {"port with blanks", u" 2426 "_s, u"6"_s, 2426, 6},
        // Retry 0 would make the user invisible: no entry at all.
        {"retry 0", u"2425"_s, u"0"_s, 2425, 1},
        {"retry past 20", u"2425"_s, u"600"_s, 2425, 20},
    };
    for (const Case& c : cases) {
        MainWindowFixture f;
        f.store().write(keys::Port, c.port);
        f.store().write(u"IPM\\"_s + QString::number(c.bound), u"Retry"_s, c.retry);
        f.start();
        EXPECT_EQ(f.endpoint.localPort(), c.bound) << c.name;
        EXPECT_EQ(f.sentWithCommand("1"), c.entries) << c.name;
        for (const auto& sent : f.endpoint.sent)
            EXPECT_EQ(sent.port, c.bound) << c.name;
        EXPECT_TRUE(f.boxes.boxes.isEmpty()) << c.name;
    }
}

TEST(SettingsWiring, EndingDuringTheFirstStartDialogSaysNoGoodbye)
{
    enum class End { Fin, Close };
    struct Case {
        const char* name;
        bool firstStart;
        End end;
        int exits;
    };
    const Case cases[] = {
        // Nothing has gone out yet, so there is nothing to take back.
        {"first start, 終了 or a signal", true, End::Fin, 0},
        {"first start, window closed", true, End::Close, 0},
        {"ordinary start, 終了 or a signal", false, End::Fin, 6},
        {"ordinary start, window closed", false, End::Close, 6},
    };
    for (const Case& c : cases) {
        MainWindowFixture f;
        f.firstStart = c.firstStart;
        f.start();
        if (c.end == End::Fin)
            f.window->fin();
        else
            f.window->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(f.sentWithCommand("2"), c.exits) << c.name;
        EXPECT_EQ(f.sentWithCommand("1"), c.firstStart ? 0 : 6) << c.name;
        EXPECT_EQ(f.exitCode, 0) << c.name;
    }
}

TEST(SettingsWiring, EveryChangeOfTheAbsenceIsAnnouncedAndShown)
{
    MainWindowFixture f;
    f.store().write(keys::Retry, u"1"_s);
    f.store().write(keys::AbsenceMessages, u"会議:会議中です。:昼食:昼食です"_s);
    f.start();
    f.endpoint.inject("1:5:peer:host:1:peer", u"10.77.0.9"_s, 2425);
    f.endpoint.sent.clear();

    // Absent through the dialog: announced with the title, and the caption says so.
    auto* dialog = &f.window->showSettings();
    control<QComboBox>(dialog, "Combo1")->setCurrentIndex(1);
    click(dialog, "Command1");
    EXPECT_EQ(namesSent(f, "1"), QStringList{u"NoName[会議]"_s});
    EXPECT_EQ(f.window->windowTitle(), u"Velmar7 MainWindow - 不在 [会議]");

    // The messages are edited so that the title is gone: opening the dialog ends the
    // absence, and peers hear of it then, not at some later "セット".
    f.store().write(keys::AbsenceMessages, u"昼食:昼食です"_s);
    f.endpoint.sent.clear();
    dialog = &f.window->showSettings();
    EXPECT_EQ(namesSent(f, "1"), QStringList{u"NoName"_s});
    EXPECT_EQ(f.window->windowTitle(), u"Velmar7 MainWindow");
    control<QComboBox>(dialog, "Combo1")->setCurrentIndex(1);
    click(dialog, "Command1");
    EXPECT_EQ(f.window->windowTitle(), u"Velmar7 MainWindow - 不在 [昼食]");

    // Sending a message ends the absence: peers are told before the message goes.
    f.endpoint.sent.clear();
    f.window->openTextWindow(velmar::text::WindowPlacement::Foreground);
    f.window->activeWindow()->setText(u"戻りました"_s);
    f.window->sendActiveText();
    f.window->messenger().chooseRow(0);
    f.window->messenger().send(velmar::ipmsg::Messenger::Button::Left);
    EXPECT_EQ(namesSent(f, "1"), QStringList{u"NoName"_s});
    ASSERT_FALSE(f.endpoint.sent.isEmpty());
    EXPECT_TRUE(MainWindowFixture::hasCommand(f.endpoint.sent.first().data, "1"));
    EXPECT_EQ(f.window->messenger().packets().absenceTitle(), QString());
    EXPECT_EQ(f.window->windowTitle(), u"Velmar7 MainWindow");
}

TEST(SettingsWiring, ReplyMarkSortOrderAndNotifyApplyAtSet)
{
    MainWindowFixture f;
    f.start();
    for (const auto& [name, ip] :
         {std::pair{"b", "10.77.0.2"}, std::pair{"c", "10.77.0.3"}, std::pair{"a", "10.77.0.4"}}) {
        f.endpoint.inject(QByteArray("1:5:u:h:1:") + name + QByteArray(1, '\0') + "g",
                          QString::fromLatin1(ip), 2425);
    }
    auto* dialog = &f.window->showSettings();
    control<QLineEdit>(dialog, "Text1")->setText(u"| "_s);
    control<QComboBox>(dialog, "Combo2")->setCurrentIndex(0);
    dialog->findChild<QCheckBox*>(u"Check2"_s)->setChecked(true);
    auto* notify = dialog->findChild<QCheckBox*>(u"Check5"_s);
    EXPECT_TRUE(notify->isChecked());
    notify->setChecked(false);
    click(dialog, "Command1");

    // Ctrl+R uses the new mark at once, blank included.
    f.window->openTextWindow(velmar::text::WindowPlacement::Foreground);
    f.window->activeWindow()->setText(u"了解です\r\nよろしく"_s);
    f.window->runCommand(velmar::app::Command::ResCopy);
    EXPECT_EQ(f.clipboard.text(), u"| 了解です\r\n| よろしく");

    // The peer list is in the new order without a restart.
    const auto& state = f.window->messenger().state();
    EXPECT_EQ(state.sortColumn(), velmar::ipmsg::SortColumn::Name);
    EXPECT_TRUE(state.sortAscending());
    QStringList names;
    for (int row = 0; row < f.window->messenger().peers()->count(); ++row)
        names << f.window->messenger().peers()->cell(row, velmar::ipmsg::PeerColumn::Name);
    EXPECT_EQ(names, (QStringList{u"a"_s, u"b"_s, u"c"_s}));

    EXPECT_EQ(f.store().read(keys::Notify), u"0");
}

} // namespace
