#include "app/commands.h"
#include "app/icons.h"
#include "settings/keys.h"
#include "support/temp_settings.h"

#include <QAction>
#include <QApplication>
#include <QImage>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPlainTextEdit>
#include <QSvgRenderer>
#include <QTest>
#include <QToolBar>
#include <functional>
#include <gtest/gtest.h>
#include <ostream>
#include <vector>

using velmar::app::Command;
using velmar::app::Commands;
using velmar::app::CommandTarget;
namespace icons = velmar::app::icons;

namespace velmar::app {
// Failures name the command's number instead of dumping its bytes.
void PrintTo(Command command, std::ostream* os)
{
    *os << "Command(" << static_cast<int>(command) << ')';
}
} // namespace velmar::app

namespace {

struct RecordingTarget final : CommandTarget {
    std::vector<Command> received;
    void runCommand(Command command) override { received.push_back(command); }
};

// Hides every icon theme for the lifetime of the guard, so only drawn pictures remain.
class NoIconTheme {
public:
    NoIconTheme()
        : m_name(QIcon::themeName()), m_paths(QIcon::themeSearchPaths()),
          m_fallbackName(QIcon::fallbackThemeName()), m_fallbackPaths(QIcon::fallbackSearchPaths())
    {
        QIcon::setThemeSearchPaths({});
        QIcon::setFallbackSearchPaths({});
        QIcon::setFallbackThemeName(QStringLiteral("velmar-absent"));
        QIcon::setThemeName(QStringLiteral("velmar-absent"));
    }
    ~NoIconTheme()
    {
        QIcon::setThemeSearchPaths(m_paths);
        QIcon::setFallbackSearchPaths(m_fallbackPaths);
        QIcon::setFallbackThemeName(m_fallbackName);
        QIcon::setThemeName(m_name);
    }

private:
    QString m_name;
    QStringList m_paths;
    QString m_fallbackName;
    QStringList m_fallbackPaths;
};

class CommandsTest : public ::testing::Test {
protected:
    QMainWindow window;
    RecordingTarget target;
    Commands commands{window, target};

    QAction* item(const char* name) const
    {
        QAction* found = commands.action(QString::fromUtf8(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QAction* button(const char* key) const
    {
        QAction* found = commands.toolButton(QString::fromUtf8(key));
        EXPECT_NE(found, nullptr) << key;
        return found;
    }
    std::vector<Command> takeReceived() { return std::exchange(target.received, {}); }
};

// One line per menu entry: depth, control name, caption and shortcut.
void dumpMenu(const QList<QAction*>& actions, int depth, QStringList& out)
{
    for (const QAction* action : actions) {
        out.append(QString(depth * 2, u' ') + action->objectName() + u' ' + action->text() + u' ' +
                   action->shortcut().toString(QKeySequence::PortableText));
        if (action->menu())
            dumpMenu(action->menu()->actions(), depth + 1, out);
    }
}

TEST_F(CommandsTest, MenuTreeHasEveryItemWithCaptionNestingAndShortcut)
{
    const QStringList expected = {
        u"m_file ﾌｧｲﾙ(&F) "_qs,
        u"  m_send 送信(&S) "_qs,
        u"  m_history 履歴(&H) Ctrl+H"_qs,
        u"  m_new 新規作成(&N) "_qs,
        u"  m_open 開く(&O) "_qs,
        u"  m_update 追加保存(&S) "_qs,
        u"  m_nsave 名前を付けて保存(&A) "_qs,
        u"  m_prn 印刷(&P) Ctrl+P"_qs,
        u"  m_prn_set プリンタの設定(&U) "_qs,
        u"  m_end 終了(&X) "_qs,
        u"m_edit 編集(&E) "_qs,
        u"  m_view クリップボードを見る(&P) Ctrl+G"_qs,
        u"  m_allcpy 全部コピー(&A) Ctrl+A"_qs,
        u"  m_copy 選択部分をコピー(&C) Ctrl+C"_qs,
        u"  m_resset レス付けてコピー(&R) Ctrl+R"_qs,
        u"  m_peast 貼り付け(&P) "_qs,
        u"  m_spcut 行頭・行末空白をCUT Ctrl+M"_qs,
        u"  m_c_and_t コピーしてタスクトレイへ(&Q) Ctrl+Q"_qs,
        u"  m_ToTask タスクトレイへ(&W) Ctrl+W"_qs,
        u"  m_emp クリップボードを空にする Ctrl+E"_qs,
        u"m_pgp65x PGP 6.5.x "_qs,
        u"  m_pgpEncrypt 暗号化 "_qs,
        u"  m_pgpDecrypt 復号化 "_qs,
        u"  m_pgpSignExec 署名 "_qs,
        u"  m_pgpOption 暗号化オプション "_qs,
        u"    m_pgpSign 暗号化したら署名する "_qs,
        u"    m_pgpSend 暗号化したら IPM で送信する "_qs,
        u"    m_pgpRes 復号化したらすぐ、レスをつける "_qs,
        u"    m_pgpJIS ISO2022JP化 "_qs,
        u"m_2jis JIS へ変換 "_qs,
        u"  m_2SJIS to SJIS "_qs,
        u"  m_2iso2022JP to ISO2022JP "_qs,
        u"  m_sjis_jis SJIS⇔JIS "_qs,
        u"    m_jis_in JIS IN "_qs,
        u"      m_jisin1 (0x1B)(0x4B) "_qs,
        u"      m_jisin2 (0x1B)(0x24)(0x42) "_qs,
        u"      m_jisin3 (0x1B)(0x24)(0x40) "_qs,
        u"      m_jisin4 (0x1B)(0x24)(0x28)(0x44) "_qs,
        u"      m_jisin5 (0x1B)(0x26)(0x40)(0x1B)(0x24)(0x42) "_qs,
        u"    m_jis_out JIS OUT "_qs,
        u"      m_jis_out1 (0x1B)(0x28)(0x4A) "_qs,
        u"      m_jis_out2 (0x1B)(0x28)(0x48) "_qs,
        u"      m_jis_out3 (0x1B)(0x28)(0x42) "_qs,
        u"    m_sjisgo SJIS変換実行 Ctrl+K"_qs,
        u"    m_jisgo JIS 変換実行 Ctrl+J"_qs,
        u"m_ime 自動IME "_qs,
        u"  m_imeon IME On "_qs,
        u"  m_imeoff IME Off "_qs,
        u"m_windows ｳｨﾝﾄﾞｳ(&W) "_qs,
        u"  m_win_move1 上下に並べて表示(&H) "_qs,
        u"  m_win_move2 左右に並べて表示(V) "_qs,
        u"  m_win_move0 重ねて表示(&C) "_qs,
        u"  m_win_move3 ｱｲｺﾝの整列(&A) "_qs,
        u"  m_win_close 閉じる(&L) Ctrl+F4"_qs,
        u"  m_win_closeall すべて閉じる "_qs,
        u"m_set 設定 "_qs,
        u"m_ver バージョン "_qs,
        u"m_etc その他 "_qs,
        u"  m_etc_unicode UNICODE化してエンコード "_qs,
        u"  m_etc_utf8 UTF-8 化してエンコード "_qs,
        u"  m_etc_base64Encode BASE64エンコード "_qs,
        u"  m_etc_base64Decode BASE64デコード "_qs,
        u"  m_etc_urlEncode URLエンコード "_qs,
        u"  m_etc_urlDecode URLデコード "_qs,
        u"  m_etc_hexEncode hexエンコード "_qs,
        u"  m_etc_hexDecode hexデコード "_qs,
    };
    QStringList actual;
    dumpMenu(window.menuBar()->actions(), 0, actual);
    EXPECT_EQ(actual, expected);
    EXPECT_EQ(commands.fileMenu(), item("m_file")->menu());
    EXPECT_EQ(item("m_copy")->shortcutContext(), Qt::WindowShortcut);
}

TEST_F(CommandsTest, ShortcutsReachTheirCommandsFromInsideATextEditor)
{
    // The editor sits in a sub-window, as the text windows do; the sub-window's own
    // keys (Ctrl+W closes it on some desktops) must not shadow the menu's.
    auto* area = new QMdiArea;
    window.setCentralWidget(area);
    auto* editor = new QPlainTextEdit(QStringLiteral("abc def"));
    area->addSubWindow(editor)->show();
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    editor->setFocus();
    editor->moveCursor(QTextCursor::Start);

    const std::vector<std::pair<Qt::Key, Command>> table = {
        {Qt::Key_P, Command::Print},       {Qt::Key_G, Command::View},
        {Qt::Key_A, Command::AllCopy},     {Qt::Key_C, Command::SelCopy},
        {Qt::Key_R, Command::ResCopy},     {Qt::Key_M, Command::SpaceCut},
        {Qt::Key_Q, Command::CopyAndTask}, {Qt::Key_W, Command::ToTray},
        {Qt::Key_E, Command::Empty},       {Qt::Key_K, Command::SjisGo},
        {Qt::Key_J, Command::JisGo},
    };
    for (const auto& [key, command] : table) {
        QTest::keyClick(editor, key, Qt::ControlModifier);
        EXPECT_EQ(takeReceived(), std::vector{command})
            << QKeySequence(key).toString().toStdString();
    }
    // The editor never saw them: Ctrl+A selected nothing, Ctrl+K deleted nothing.
    EXPECT_FALSE(editor->textCursor().hasSelection());
    EXPECT_EQ(editor->toPlainText(), u"abc def");

    // A disabled item's key neither runs the command nor falls through to the editor.
    commands.disableKanjiFilter();
    QTest::keyClick(editor, Qt::Key_K, Qt::ControlModifier);
    QTest::keyClick(editor, Qt::Key_J, Qt::ControlModifier);
    EXPECT_TRUE(takeReceived().empty());
    EXPECT_EQ(editor->toPlainText(), u"abc def");

    // Keys without a command still type.
    QTest::keyClick(editor, Qt::Key_X);
    EXPECT_EQ(editor->toPlainText(), u"xabc def");
}

TEST_F(CommandsTest, ToolbarHasTwentySixPositionsWithGapsKeysAndTooltips)
{
    const std::vector<std::pair<const char*, const char*>> expected = {
        {"t_send", "送信する"},
        {"", ""},
        {"t_new", "新規作成(クリップボードを見る)"},
        {"t_open", "ﾌｧｲﾙを開く"},
        {"t_save", "追加保存"},
        {"t_prn", "印刷する"},
        {"", ""},
        {"t_view", "クリップボードを見る"},
        {"t_all_copy", "全部コピー"},
        {"t_sel_copy", "選択部分をコピー"},
        {"t_res_copy", "抜きレスを付けてコピー"},
        {"t_paste", "貼り付け"},
        {"t_spcut", "行頭・行末のスペースを削除"},
        {"", ""},
        {"t_emp", "クリップボードを空にする"},
        {"t_copy_and_task", "全部コピーして、タスクトレイに退避"},
        {"t_task", "タスクトレイへ退避"},
        {"", ""},
        {"t_end", "終了"},
        {"t_2jis", "S-JIS から ISO2022jp へ変換してクリップボードへコピーする"},
        {"t_2sjis", "ISO2022jp から S-JIS へ変換してクリップボードへコピーする"},
        {"t_ime", "IME On and Off"},
        {"", ""},
        {"t_Encrypt", "PGP6.5.x で暗号化/暗号化&署名する"},
        {"t_Decrypt", "PGP 6.5.x で復号化/署名チェックする"},
        {"t_Sign", "PGP 6.5.x で署名する"},
    };
    QToolBar* bar = window.findChild<QToolBar*>(QStringLiteral("Toolbar1"));
    ASSERT_NE(bar, nullptr);
    const QList<QAction*> actions = bar->actions();
    ASSERT_EQ(actions.size(), qsizetype(expected.size()));
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const QAction* action = actions.at(qsizetype(i));
        const QString key = QString::fromUtf8(expected[i].first);
        SCOPED_TRACE(i + 1);
        EXPECT_EQ(action->isSeparator(), key.isEmpty());
        if (key.isEmpty())
            continue;
        EXPECT_EQ(action->objectName(), key);
        EXPECT_EQ(action->toolTip(), QString::fromUtf8(expected[i].second));
        EXPECT_EQ(action, commands.toolButton(key));
        EXPECT_EQ(action->isCheckable(), key == u"t_ime");
        EXPECT_TRUE(action->shortcut().isEmpty());
    }
}

TEST_F(CommandsTest, ItemsAndButtonsRouteTheirCommand)
{
    const std::vector<std::pair<const char*, Command>> items = {
        {"m_send", Command::Send},
        {"m_history", Command::History},
        {"m_end", Command::End},
        {"m_resset", Command::ResCopy},
        {"m_pgpSignExec", Command::PgpSign},
        {"m_2SJIS", Command::ToSjis},
        {"m_2iso2022JP", Command::ToIso2022jp},
        {"m_imeoff", Command::ImeOff},
        {"m_win_move0", Command::Cascade},
        {"m_win_move1", Command::TileHorizontal},
        {"m_win_move2", Command::TileVertical},
        {"m_win_move3", Command::ArrangeIcons},
        {"m_win_close", Command::CloseWindow},
        {"m_win_closeall", Command::CloseAllWindows},
        {"m_set", Command::Settings},
        {"m_ver", Command::Version},
        {"m_etc_hexDecode", Command::HexDecode},
    };
    for (const auto& [name, command] : items) {
        item(name)->trigger();
        EXPECT_EQ(takeReceived(), std::vector{command}) << name;
    }
    const std::vector<std::pair<const char*, Command>> buttons = {
        {"t_send", Command::Send},        {"t_new", Command::New},
        {"t_save", Command::Update},      {"t_res_copy", Command::ResCopy},
        {"t_task", Command::ToTray},      {"t_end", Command::End},
        {"t_2jis", Command::ToIso2022jp}, {"t_2sjis", Command::ToSjis},
        {"t_ime", Command::ImeToggle},    {"t_Decrypt", Command::PgpDecrypt},
    };
    for (const auto& [key, command] : buttons) {
        button(key)->trigger();
        EXPECT_EQ(takeReceived(), std::vector{command}) << key;
    }
    // Submenus and toolbar gaps do nothing of their own.
    for (const char* submenu : {"m_file", "m_pgpOption", "m_sjis_jis", "m_jis_in", "m_etc"})
        item(submenu)->trigger();
    for (QAction* action : window.findChild<QToolBar*>()->actions()) {
        if (action->isSeparator())
            action->trigger();
    }
    EXPECT_TRUE(takeReceived().empty());
}

TEST_F(CommandsTest, KanjiInAndOutChoicesAreSeparateExclusiveGroups)
{
    EXPECT_EQ(commands.jisIn(), 1);
    EXPECT_EQ(commands.jisOut(), 1);
    commands.setJisIn(2);
    commands.setJisOut(3);

    item("m_jisin4")->trigger();
    EXPECT_EQ(takeReceived(), std::vector{Command::JisIn});
    EXPECT_EQ(commands.jisIn(), 4);
    EXPECT_EQ(commands.jisOut(), 3);
    for (const char* name : {"m_jisin1", "m_jisin2", "m_jisin3", "m_jisin5"})
        EXPECT_FALSE(item(name)->isChecked()) << name;
    EXPECT_TRUE(item("m_jisin4")->isChecked());

    item("m_jis_out2")->trigger();
    EXPECT_EQ(takeReceived(), std::vector{Command::JisOut});
    EXPECT_EQ(commands.jisOut(), 2);
    EXPECT_FALSE(item("m_jis_out3")->isChecked());
    EXPECT_EQ(commands.jisIn(), 4);

    // Choosing the marked item again keeps it marked.
    item("m_jisin4")->trigger();
    EXPECT_EQ(commands.jisIn(), 4);

    // Out-of-range numbers leave the groups alone.
    commands.setJisIn(6);
    commands.setJisIn(0);
    commands.setJisOut(4);
    EXPECT_EQ(commands.jisIn(), 4);
    EXPECT_EQ(commands.jisOut(), 2);
}

TEST_F(CommandsTest, UnicodeOptionFlipsItsOwnMarkAndKeepsItsTag)
{
    EXPECT_TRUE(commands.unicodeChecked());
    EXPECT_EQ(commands.unicodeTag(), u"49");
    item("m_etc_unicode")->trigger();
    EXPECT_FALSE(commands.unicodeChecked());
    EXPECT_EQ(takeReceived(), std::vector{Command::UnicodeToggle});
    item("m_etc_unicode")->trigger();
    EXPECT_TRUE(commands.unicodeChecked());
    commands.setUnicodeTag(QStringLiteral("76"));
    EXPECT_EQ(commands.unicodeTag(), u"76");
}

TEST_F(CommandsTest, ByteFormItemsExcludeEachOther)
{
    using velmar::convert::ByteForm;
    struct Step {
        const char* click;
        Command command;
        bool unicode;
        bool utf8;
        ByteForm form;
    };
    // From the default: Unicode marked.
    const Step steps[] = {
        {"m_etc_utf8", Command::Utf8Toggle, false, true, ByteForm::Utf8},
        {"m_etc_unicode", Command::UnicodeToggle, true, false, ByteForm::Utf16Le},
        {"m_etc_unicode", Command::UnicodeToggle, false, false, ByteForm::ShiftJis},
        {"m_etc_utf8", Command::Utf8Toggle, false, true, ByteForm::Utf8},
        {"m_etc_utf8", Command::Utf8Toggle, false, false, ByteForm::ShiftJis},
    };
    EXPECT_EQ(commands.byteForm(), ByteForm::Utf16Le);
    for (const Step& step : steps) {
        item(step.click)->trigger();
        EXPECT_EQ(takeReceived(), std::vector{step.command}) << step.click;
        EXPECT_EQ(commands.unicodeChecked(), step.unicode) << step.click;
        EXPECT_EQ(commands.utf8Checked(), step.utf8) << step.click;
        EXPECT_EQ(commands.byteForm(), step.form) << step.click;
    }
    commands.setUtf8Checked(true);
    commands.setUnicodeChecked(true);
    EXPECT_FALSE(commands.utf8Checked());
}

TEST_F(CommandsTest, PgpOptionsRestoreFromAndStoreToTheSettings)
{
    using namespace velmar::settings;
    velmar::testing::TempSettings settings;
    settings.store->write(keys::PgpSign, QStringLiteral("1"));
    settings.store->write(keys::PgpSend, QStringLiteral("-1"));
    settings.store->write(keys::PgpRes, QStringLiteral("1"));
    item("m_pgpJIS")->setChecked(true);
    commands.restorePgpOptions(*settings.store);
    EXPECT_TRUE(item("m_pgpSign")->isChecked());
    EXPECT_FALSE(item("m_pgpSend")->isChecked());
    EXPECT_TRUE(item("m_pgpRes")->isChecked());
    EXPECT_FALSE(item("m_pgpJIS")->isChecked());

    const std::vector<std::tuple<const char*, Command, Setting, const char*>> clicks = {
        {"m_pgpSend", Command::PgpOptionSend, keys::PgpSend, "1"},
        {"m_pgpSign", Command::PgpOptionSign, keys::PgpSign, "0"},
        {"m_pgpJIS", Command::PgpOptionJis, keys::PgpJis, "1"},
        {"m_pgpRes", Command::PgpOptionRes, keys::PgpRes, "0"},
    };
    for (const auto& [name, command, setting, stored] : clicks) {
        item(name)->trigger();
        EXPECT_EQ(takeReceived(), std::vector{command}) << name;
        commands.storePgpOption(command, *settings.store);
        EXPECT_EQ(settings.store->read(setting), QString::fromUtf8(stored)) << name;
    }
    // Other commands are not options and store nothing.
    commands.storePgpOption(Command::PgpSign, *settings.store);
    EXPECT_EQ(settings.store->read(keys::PgpSign), u"0");
}

TEST_F(CommandsTest, MissingComponentsDisableExactlyTheirCommands)
{
    struct Case {
        const char* what;
        std::function<void(Commands&)> disable;
        QStringList disabled;
    };
    const std::vector<Case> cases = {
        {"pgp",
         &Commands::disablePgp,
         {u"m_pgp65x"_qs, u"m_pgpDecrypt"_qs, u"m_pgpEncrypt"_qs, u"m_pgpOption"_qs,
          u"m_pgpSend"_qs, u"m_pgpSign"_qs, u"t_Decrypt"_qs, u"t_Encrypt"_qs, u"t_Sign"_qs}},
        {"pgp menu",
         &Commands::disablePgpMenuItems,
         {u"m_pgp65x"_qs, u"m_pgpDecrypt"_qs, u"m_pgpEncrypt"_qs, u"m_pgpOption"_qs,
          u"m_pgpSend"_qs, u"m_pgpSign"_qs}},
        {"kanji filter",
         &Commands::disableKanjiFilter,
         {u"t_2jis"_qs, u"t_2sjis"_qs, u"m_2iso2022JP"_qs, u"m_2SJIS"_qs, u"m_pgpJIS"_qs,
          u"m_sjisgo"_qs, u"m_jisgo"_qs}},
        {"base64", &Commands::disableBase64, {u"m_etc_base64Decode"_qs, u"m_etc_base64Encode"_qs}},
        {"url/hex",
         &Commands::disableUrlHex,
         {u"m_etc_urlDecode"_qs, u"m_etc_urlEncode"_qs, u"m_etc_hexDecode"_qs,
          u"m_etc_hexEncode"_qs}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QMainWindow fresh;
        RecordingTarget recorder;
        Commands subject(fresh, recorder);
        subject.action(u"m_pgpJIS")->setChecked(true);
        c.disable(subject);
        // Without the kanji filter the ISO-2022-JP option cannot stay in force.
        EXPECT_EQ(subject.action(u"m_pgpJIS")->isChecked(), c.what != std::string("kanji filter"));

        QList<QAction*> all = fresh.menuBar()->findChildren<QAction*>();
        all += subject.findChildren<QAction*>();
        for (QMenu* menu : fresh.findChildren<QMenu*>())
            all.append(menu->menuAction());
        for (QAction* action : all) {
            if (action->objectName().isEmpty())
                continue;
            EXPECT_EQ(action->isEnabled(), !c.disabled.contains(action->objectName()))
                << action->objectName().toStdString();
            action->trigger();
            if (!action->isEnabled()) {
                EXPECT_TRUE(recorder.received.empty()) << action->objectName().toStdString();
            }
            recorder.received.clear();
        }
    }
}

TEST_F(CommandsTest, ImeStateMarksTheMenuPairAndTheButton)
{
    EXPECT_TRUE(item("m_imeon")->isChecked());
    commands.setImeState(false);
    EXPECT_FALSE(item("m_imeon")->isChecked());
    EXPECT_TRUE(item("m_imeoff")->isChecked());
    EXPECT_FALSE(button("t_ime")->isChecked());
    EXPECT_EQ(button("t_ime")->toolTip(), u"自動 IME を On にする");
    commands.setImeState(true);
    EXPECT_TRUE(item("m_imeon")->isChecked());
    EXPECT_FALSE(item("m_imeoff")->isChecked());
    EXPECT_TRUE(button("t_ime")->isChecked());
    EXPECT_EQ(button("t_ime")->toolTip(), u"自動 IME を Off にする");
}

QImage image(const QIcon& icon)
{
    return icon.pixmap(24, 24).toImage().convertToFormat(QImage::Format_ARGB32);
}

int paintedPixels(const QImage& picture)
{
    int count = 0;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x)
            count += qAlpha(picture.pixel(x, y)) > 0 ? 1 : 0;
    }
    return count;
}

TEST(Icons, WithoutAThemeEveryButtonShowsItsOwnDrawnPicture)
{
    NoIconTheme noTheme;
    QMainWindow window;
    RecordingTarget target;
    Commands commands(window, target);

    std::vector<QImage> pictures;
    for (const QAction* button : commands.toolBar()->actions()) {
        if (button->isSeparator())
            continue;
        const QIcon icon = button->icon();
        ASSERT_FALSE(icon.isNull()) << button->objectName().toStdString();
        pictures.push_back(image(icon));
        EXPECT_GT(paintedPixels(pictures.back()), 60) << button->objectName().toStdString();
    }
    ASSERT_EQ(pictures.size(), 21u);
    pictures.push_back(image(icons::programIcon()));
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        for (std::size_t j = i + 1; j < pictures.size(); ++j)
            EXPECT_NE(pictures[i], pictures[j]) << i << " " << j;
    }
    EXPECT_TRUE(icons::toolbarIcon(Command::Settings).isNull());
    EXPECT_TRUE(icons::drawnIcon(Command::Version).isNull());
}

// The window, the notification area and the desktop's menu show one picture: the
// program draws the SVG file that is installed.
TEST(Icons, TheProgramIconIsTheInstalledSvgFile)
{
    QSvgRenderer installed(QStringLiteral(VELMAR_DATA_DIR "/org.velmar.Velmar.svg"));
    ASSERT_TRUE(installed.isValid());
    for (const int size : {16, 48, 256}) {
        QImage expected(size, size, QImage::Format_ARGB32_Premultiplied);
        expected.fill(Qt::transparent);
        QPainter painter(&expected);
        installed.render(&painter);
        painter.end();
        const QImage shown = icons::programIcon().pixmap(size).toImage().convertToFormat(
            QImage::Format_ARGB32_Premultiplied);
        EXPECT_EQ(shown, expected) << size;
    }
}

} // namespace
