#include "app/commands.h"
#include "ipmsg/messenger.h"
#include "main_window_fixture.h"
#include "settings/keys.h"
#include "text/text_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QFile>
#include <QMdiArea>
#include <gtest/gtest.h>

namespace keys = velmar::settings::keys;
using velmar::testing::MainWindowFixture;
using velmar::text::WindowPlacement;
using Mark = velmar::text::TextWindow::ActivationMark;

namespace {

TEST(MainWindowStart, EmptyStoreOpensOneWindowWithTheClipboard)
{
    MainWindowFixture f;
    f.clipboard.setText(QStringLiteral("こんにちは\r\n世界"));
    auto& w = f.start();

    EXPECT_EQ(w.windowTitle(), u"Velmar7 MainWindow");
    ASSERT_EQ(w.windows().size(), 1);
    const auto* form = w.activeWindow();
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(form->text(), u"こんにちは\r\n世界");
    EXPECT_FALSE(form->isRawMode());
    EXPECT_EQ(form->caption(), u"Velmar7");
    EXPECT_EQ(form->activationMark, Mark::Active);

    EXPECT_EQ(f.endpoint.localPort(), 2425);
    EXPECT_FALSE(w.commands().unicodeChecked());
    EXPECT_TRUE(w.commands().utf8Checked());
    EXPECT_EQ(w.commands().unicodeTag(), u"49");
    EXPECT_EQ(w.commands().jisIn(), 1);
    EXPECT_EQ(w.commands().jisOut(), 1);
    EXPECT_FALSE(w.commands().action(u"m_pgpEncrypt")->isEnabled());
    // The conversion components are built in.
    for (const auto* name : {u"m_etc_base64Encode", u"m_etc_hexDecode", u"m_jisgo", u"t_2jis"}) {
        const QAction* action =
            w.commands().action(name) ? w.commands().action(name) : w.commands().toolButton(name);
        EXPECT_TRUE(action->isEnabled()) << QString::fromUtf16(name).toStdString();
    }
    // The user-list dialog's load announces the user Retry (6) times.
    EXPECT_EQ(f.sentWithCommand("1"), 6);
    EXPECT_EQ(f.exitCode, -1);
}

TEST(MainWindowStart, MissingCharacterCheckComponentStopsTheProgram)
{
    MainWindowFixture f;
    f.registry.remove(velmar::components::Textgauge::ProgId.toString());
    f.create();
    EXPECT_FALSE(f.window->load());
    ASSERT_EQ(f.boxes.boxes.size(), 1);
    EXPECT_EQ(f.boxes.boxes[0].title, u"起動失敗");
    EXPECT_TRUE(f.boxes.boxes[0].text.startsWith(u"Textgauge.dll が必要\r\n"));
    EXPECT_EQ(f.exitCode, 1);
    EXPECT_TRUE(f.endpoint.sent.isEmpty());
}

struct ReadingCase {
    const char16_t* key;
    const char16_t* value;
    int jisIn;
    int jisOut;
};

TEST(MainWindowStart, BadStoredValuesFallBack)
{
    const ReadingCase jisCases[] = {
        {u"JIS_INOUT", u"6", 2, 1}, {u"JIS_INOUT", u"53", 5, 3}, {u"JIS_INOUT", u"x", 1, 1},
        {u"JIS_INOUT", u"", 1, 1},  {u"JIS_INOUT", u"24", 2, 1},
    };
    for (const ReadingCase& c : jisCases) {
        MainWindowFixture f;
        f.store().write(QStringLiteral("general"), QString::fromUtf16(c.key),
                        QString::fromUtf16(c.value));
        auto& w = f.start();
        EXPECT_EQ(w.jisInMode(), c.jisIn) << QString::fromUtf16(c.value).toStdString();
        EXPECT_EQ(w.jisOutMode(), c.jisOut) << QString::fromUtf16(c.value).toStdString();
        EXPECT_EQ(w.commands().jisIn(), c.jisIn);
        EXPECT_EQ(w.commands().jisOut(), c.jisOut);
    }

    const struct {
        const char16_t* count;
        const char16_t* tag;
    } countCases[] = {
        {u"0", u"49"}, {u"x", u"49"}, {u"16", u"16"}, {u" 32.7 ", u"32"}, {u"-4", u"49"}};
    for (const auto& c : countCases) {
        MainWindowFixture f;
        f.store().write(keys::HexLineWidth, QString::fromUtf16(c.count));
        f.store().write(keys::EncodeAsUnicode, QStringLiteral("1"));
        auto& w = f.start();
        EXPECT_EQ(w.commands().unicodeTag(), QString::fromUtf16(c.tag));
        EXPECT_FALSE(w.commands().unicodeChecked());
    }
}

TEST(MainWindowStart, PlacementReadings)
{
    {
        MainWindowFixture f;
        f.store().write(keys::Placement, QStringLiteral("1500,1500,6000"));
        auto& w = f.start();
        EXPECT_EQ(w.size(), QSize(800, 600)) << "three parts are ignored";
    }
    {
        MainWindowFixture f;
        f.store().write(keys::Placement, QStringLiteral("1500,1500,9000,7500"));
        auto& w = f.start();
        EXPECT_EQ(w.geometry(), QRect(100, 100, 600, 500));
    }
    {
        MainWindowFixture f;
        f.store().write(keys::StartMode, QStringLiteral("x"));
        auto& w = f.start();
        EXPECT_FALSE(w.isMinimized());
        EXPECT_FALSE(w.isMaximized());
        EXPECT_FALSE(w.inTray());
    }
    {
        MainWindowFixture f;
        f.store().write(keys::StartMode, QStringLiteral("3"));
        auto& w = f.start();
        EXPECT_TRUE(w.inTray());
        EXPECT_FALSE(w.isVisible() && !w.isMinimized());
    }
}

TEST(MainWindowShutdown, ClosingStoresStateAndAnnouncesTheExit)
{
    MainWindowFixture f;
    f.store().write(keys::SavePlacement, QStringLiteral("1"));
    auto& w = f.start();
    w.setGeometry(QRect(100, 100, 600, 500));
    w.commands().action(u"m_jisin4")->trigger();
    w.commands().action(u"m_jis_out3")->trigger();
    w.commands().action(u"m_etc_unicode")->trigger();
    f.endpoint.sent.clear();

    w.close();
    EXPECT_EQ(f.sentWithCommand("2"), 6);
    EXPECT_EQ(f.store().read(keys::Placement), u"1500,1500,9000,7500");
    EXPECT_EQ(f.store().read(keys::StartMode), u"0");
    EXPECT_EQ(f.store().read(keys::JisEscapes), u"43");
    EXPECT_EQ(f.store().read(keys::EncodeAsUnicode), u"0");
    EXPECT_EQ(f.store().read(keys::EncodeAsUtf8), u"0");
    EXPECT_EQ(f.store().read(keys::HexLineWidth), u"49");
    EXPECT_TRUE(f.endpoint.closed);
    EXPECT_EQ(f.exitCode, 0);
}

// A new settings file starts with UTF-8, what Linux tools, web addresses and mail use;
// a stored choice, an old file's UTF-16 included, is kept.
TEST(MainWindowShutdown, TheEncodersByteFormStartsAsUtf8AndAStoredOneIsKept)
{
    MainWindowFixture f;
    auto& w = f.start();
    EXPECT_TRUE(w.commands().utf8Checked());
    EXPECT_FALSE(w.commands().unicodeChecked());
    w.commands().action(u"m_etc_utf8")->trigger(); // neither: Shift_JIS
    w.close();
    EXPECT_EQ(f.store().read(keys::EncodeAsUtf8), u"0");
    EXPECT_EQ(f.store().read(keys::EncodeAsUnicode), u"1");

    auto& again = f.start();
    EXPECT_FALSE(again.commands().utf8Checked());
    EXPECT_FALSE(again.commands().unicodeChecked());
    again.commands().action(u"m_etc_utf8")->trigger();
    again.close();
    EXPECT_EQ(f.store().read(keys::EncodeAsUtf8), u"1");

    MainWindowFixture old;
    old.store().write(keys::EncodeAsUnicode, QStringLiteral("0")); // UTF-16 marked
    auto& kept = old.start();
    EXPECT_TRUE(kept.commands().unicodeChecked());
    EXPECT_FALSE(kept.commands().utf8Checked());
}

TEST(MainWindowConversions, MenuItemsAndButtonsConvertTheActiveWindow)
{
    MainWindowFixture f;
    f.clipboard.setText(QStringLiteral("漢字"));
    auto& w = f.start();
    auto* window = w.activeWindow();
    ASSERT_NE(window, nullptr);
    struct Step {
        const char* click;
        QString text;
    };
    const Step steps[] = {
        {"m_jisgo", QStringLiteral("\x1BK4A;z\x1B(J")},
        {"m_sjisgo", QStringLiteral("漢字")},
        {"m_jisin2", QStringLiteral("漢字")},
        {"m_jis_out3", QStringLiteral("漢字")},
        {"m_jisgo", QStringLiteral("\x1B$B4A;z\x1B(B")},
        {"m_sjisgo", QStringLiteral("漢字")},
        {"t_2jis", QStringLiteral("\x1B$B4A;z\x1B(B")},
        {"t_2sjis", QStringLiteral("漢字")},
        // The byte form of a new settings file is UTF-8.
        {"m_etc_hexEncode", QStringLiteral("E6 BC A2 E5 AD 97")},
        {"m_etc_hexDecode", QStringLiteral("漢字")},
        {"m_etc_base64Encode", QStringLiteral("5ryi5a2X")},
        {"m_etc_base64Decode", QStringLiteral("漢字")},
        {"m_etc_urlEncode", QStringLiteral("%E6%BC%A2%E5%AD%97")},
        {"m_etc_urlDecode", QStringLiteral("漢字")},
        // In UTF-16 漢字 is the four ASCII bytes "oW[: the mark FF FE tells them apart.
        {"m_etc_unicode", QStringLiteral("漢字")},
        {"m_etc_base64Encode", QStringLiteral("//4ib1db")},
        {"m_etc_base64Decode", QStringLiteral("漢字")},
    };
    for (const Step& step : steps) {
        const QString name = QString::fromUtf8(step.click);
        QAction* action =
            w.commands().action(name) ? w.commands().action(name) : w.commands().toolButton(name);
        action->trigger();
        EXPECT_EQ(window->text(), step.text) << step.click;
    }
    EXPECT_TRUE(f.boxes.boxes.isEmpty());
}

TEST(MainWindowShutdown, PlacementIsStoredOnlyWhenAskedFor)
{
    MainWindowFixture f;
    auto& w = f.start();
    w.close();
    EXPECT_EQ(f.store().read(keys::Placement, QStringLiteral("absent")), u"absent");
    EXPECT_EQ(f.store().read(keys::StartMode, QStringLiteral("absent")), u"absent");
    EXPECT_EQ(f.store().read(keys::JisEscapes), u"11");
}

TEST(MainWindowShutdown, EndCommandStoresNothingAndOnlySaysGoodbye)
{
    MainWindowFixture f;
    f.store().write(keys::SavePlacement, QStringLiteral("1"));
    auto& w = f.start();
    w.commands().action(u"m_jisin3")->trigger();
    f.endpoint.sent.clear();

    w.commands().action(u"m_end")->trigger();
    EXPECT_EQ(f.exitCode, 0);
    w.close(); // the process would be gone; a late close must not run the unload steps
    // The peers are told that the user has gone (Retry times), and nothing else.
    EXPECT_EQ(f.sentWithCommand("2"), 6);
    EXPECT_EQ(f.endpoint.sent.size(), 6);
    EXPECT_EQ(f.store().read(keys::JisEscapes, QStringLiteral("absent")), u"absent");
    EXPECT_EQ(f.store().read(keys::Placement, QStringLiteral("absent")), u"absent");
}

TEST(MainWindowWindows, BackgroundOpenLeavesTheActiveWindowActive)
{
    MainWindowFixture f;
    f.clipboard.setText(QStringLiteral("first"));
    auto& w = f.start();
    w.show();
    auto* first = w.activeWindow();
    ASSERT_NE(first, nullptr);

    auto* opened = w.openTextWindow(WindowPlacement::Background);
    ASSERT_EQ(w.windows().size(), 2);
    EXPECT_EQ(opened, w.windows()[1]);
    EXPECT_EQ(w.activeWindow(), first);
    EXPECT_EQ(first->activationMark, Mark::Active);
    EXPECT_EQ(w.windows()[1]->activationMark, Mark::Inactive);

    w.openTextWindow(WindowPlacement::Foreground);
    ASSERT_EQ(w.windows().size(), 3);
    EXPECT_EQ(w.activeWindow(), w.windows()[2]);
    int active = 0;
    for (const auto* form : w.windows())
        active += form->activationMark == Mark::Active ? 1 : 0;
    EXPECT_EQ(active, 1);
}

TEST(MainWindowWindows, CommandLineFilesOpenOnceAndActivationHonoursTheGuard)
{
    MainWindowFixture f;
    const QString path = f.settings.dir.filePath(QStringLiteral("a b.txt"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("line\n");
    file.close();
    f.commandLine = {path};
    auto& w = f.start();
    ASSERT_EQ(w.windows().size(), 2); // the clipboard window and the file
    EXPECT_EQ(w.activeWindow()->fileName, path);

    w.skipNextActivation();
    w.activated();
    EXPECT_EQ(w.windows().size(), 2);

    w.activated();
    EXPECT_EQ(w.windows().size(), 3) << "a new clipboard window, the file not again";
}

TEST(MainWindowWindows, FilesFromASecondStartOpenAndBringTheWindowBack)
{
    const struct {
        const char* name;
        const char* startMode;
    } cases[] = {{"shown", "0"}, {"minimised", "1"}, {"in the notification area", "3"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MainWindowFixture f;
        f.store().write(keys::StartMode, QString::fromLatin1(c.startMode));
        QStringList paths;
        for (const char* text : {"first\n", "second\n"}) {
            paths << f.settings.dir.filePath(QString::fromLatin1(text).trimmed() + u".txt");
            QFile file(paths.back());
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(text);
        }
        auto& w = f.start();
        const qsizetype before = w.windows().size();

        w.openFilesFromSecondStart(paths);
        EXPECT_FALSE(w.inTray());
        EXPECT_TRUE(w.isVisible());
        EXPECT_FALSE(w.isMinimized());
        ASSERT_EQ(w.windows().size(), before + 2);
        EXPECT_EQ(w.windows()[before]->text(), u"first\r\n");
        EXPECT_EQ(w.activeWindow()->fileName, paths[1]);

        // Nothing to open: only back to the front.
        w.openFilesFromSecondStart({});
        EXPECT_EQ(w.windows().size(), before + 2);
    }
}

TEST(MainWindowWindows, ComingBackDuringOrAfterASendOpensNoClipboardWindow)
{
    MainWindowFixture f;
    f.store().write(keys::Retry, QStringLiteral("1"));
    auto& w = f.start();
    f.endpoint.inject(QByteArray("1:1:u:h:1:peer\0g", 16), QStringLiteral("10.77.0.2"), 2425);
    w.activeWindow()->setText(QStringLiteral("hello"));
    w.sendActiveText();
    w.messenger().chooseRow(0);
    w.messenger().send(velmar::ipmsg::Messenger::Button::Left);
    const auto before = w.windows().size();

    // Each return from the dialog (its activation arms the guard) is no request for
    // a clipboard window, however many retry ticks lie between.
    w.activated();
    w.messenger().activateDialog();
    w.messenger().tick();
    w.activated();
    EXPECT_EQ(w.windows().size(), before);
    w.messenger().tick(); // no receipt: the send fails
    w.messenger().tick();
    w.messenger().activateDialog();
    w.activated();
    EXPECT_EQ(w.windows().size(), before);
}

TEST(MainWindowCommands, VersionWindowAndReceivedMessageWindow)
{
    MainWindowFixture f;
    auto& w = f.start();
    w.commands().action(u"m_ver")->trigger();
    EXPECT_EQ(w.activeWindow()->text(), u"Velmar6 Ver7.3.0.2");

    velmar::ipmsg::IncomingMessage message;
    message.text = QStringLiteral("封書の中身");
    message.caption = QStringLiteral("From Network a/b(IP Messenger Protcol) now");
    message.replyAddress = QStringLiteral("10.77.0.2");
    message.replyPort = 2425;
    message.statusText = QStringLiteral("IPM(未返信)2425:10.77.0.2");
    message.sealed = true;
    message.packetNumber = QStringLiteral("42");
    message.noticeOwed = true;
    auto* before = w.activeWindow();
    w.openMessageWindow(message);
    EXPECT_EQ(w.activeWindow(), before);
    auto* form = w.windows().back();
    EXPECT_EQ(form->caption(), message.caption);
    EXPECT_EQ(form->statusText(), message.statusText);
    EXPECT_TRUE(form->isSealed());
    EXPECT_EQ(form->text(), QString()) << "out of reach until opened";

    f.endpoint.sent.clear();
    form->openSeal();
    EXPECT_EQ(form->text(), message.text);
    ASSERT_EQ(f.endpoint.sent.size(), 1);
    EXPECT_EQ(f.endpoint.sent[0].host, u"10.77.0.2");
    EXPECT_EQ(f.endpoint.sent[0].data.split(':').value(4), "48");
    EXPECT_EQ(f.endpoint.sent[0].data.split(':').value(5), "42");
}

} // namespace
