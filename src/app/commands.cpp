#include "app/commands.h"

#include "app/icons.h"
#include "settings/keys.h"
#include "settings/settings_store.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QKeyEvent>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <array>
#include <optional>

namespace velmar::app {

namespace {

enum class Kind {
    Submenu,    // only opens its children
    PgpSubmenu, // a submenu that goes with the PGP component
    Item,       // runs its command
    Toggle,     // flips its own mark, then runs its command
    JisIn,      // one of the exclusive kanji-in group
    JisOut,     // one of the exclusive kanji-out group
    Ime,        // one of the exclusive m_imeon/m_imeoff pair
};

struct MenuEntry {
    int level; // 0 = in the menu bar
    QStringView name;
    QStringView caption;
    Kind kind;
    std::optional<Command> command = std::nullopt;
    int ctrlKey = 0; // Ctrl plus this key (a letter's Qt::Key is its capital)
};

using enum Kind;
using C = Command;

// The menu tree in display order; a deeper level nests under the entry above it.
// "(V)" of m_win_move2 has no access-key mark, and m_send and m_update share "S".
constexpr std::array menuTree{
    MenuEntry{0, u"m_file", u"ﾌｧｲﾙ(&F)", Submenu},
    MenuEntry{1, u"m_send", u"送信(&S)", Item, C::Send},
    MenuEntry{1, u"m_history", u"履歴(&H)", Item, C::History, 'H'},
    MenuEntry{1, u"m_new", u"新規作成(&N)", Item, C::New},
    MenuEntry{1, u"m_open", u"開く(&O)", Item, C::Open},
    MenuEntry{1, u"m_update", u"追加保存(&S)", Item, C::Update},
    MenuEntry{1, u"m_nsave", u"名前を付けて保存(&A)", Item, C::SaveAs},
    MenuEntry{1, u"m_prn", u"印刷(&P)", Item, C::Print, 'P'},
    MenuEntry{1, u"m_prn_set", u"プリンタの設定(&U)", Item, C::PrinterSetup},
    MenuEntry{1, u"m_end", u"終了(&X)", Item, C::End},
    MenuEntry{0, u"m_edit", u"編集(&E)", Submenu},
    MenuEntry{1, u"m_view", u"クリップボードを見る(&P)", Item, C::View, 'G'},
    MenuEntry{1, u"m_allcpy", u"全部コピー(&A)", Item, C::AllCopy, 'A'},
    MenuEntry{1, u"m_copy", u"選択部分をコピー(&C)", Item, C::SelCopy, 'C'},
    MenuEntry{1, u"m_resset", u"レス付けてコピー(&R)", Item, C::ResCopy, 'R'},
    MenuEntry{1, u"m_peast", u"貼り付け(&P)", Item, C::Paste},
    MenuEntry{1, u"m_spcut", u"行頭・行末空白をCUT", Item, C::SpaceCut, 'M'},
    MenuEntry{1, u"m_c_and_t", u"コピーしてタスクトレイへ(&Q)", Item, C::CopyAndTask, 'Q'},
    MenuEntry{1, u"m_ToTask", u"タスクトレイへ(&W)", Item, C::ToTray, 'W'},
    MenuEntry{1, u"m_emp", u"クリップボードを空にする", Item, C::Empty, 'E'},
    MenuEntry{0, u"m_pgp65x", u"PGP 6.5.x", PgpSubmenu},
    MenuEntry{1, u"m_pgpEncrypt", u"暗号化", Item, C::PgpEncrypt},
    MenuEntry{1, u"m_pgpDecrypt", u"復号化", Item, C::PgpDecrypt},
    MenuEntry{1, u"m_pgpSignExec", u"署名", Item, C::PgpSign},
    MenuEntry{1, u"m_pgpOption", u"暗号化オプション", PgpSubmenu},
    MenuEntry{2, u"m_pgpSign", u"暗号化したら署名する", Toggle, C::PgpOptionSign},
    MenuEntry{2, u"m_pgpSend", u"暗号化したら IPM で送信する", Toggle, C::PgpOptionSend},
    MenuEntry{2, u"m_pgpRes", u"復号化したらすぐ、レスをつける", Toggle, C::PgpOptionRes},
    MenuEntry{2, u"m_pgpJIS", u"ISO2022JP化", Toggle, C::PgpOptionJis},
    MenuEntry{0, u"m_2jis", u"JIS へ変換", Submenu},
    MenuEntry{1, u"m_2SJIS", u"to SJIS", Item, C::ToSjis},
    MenuEntry{1, u"m_2iso2022JP", u"to ISO2022JP", Item, C::ToIso2022jp},
    MenuEntry{1, u"m_sjis_jis", u"SJIS⇔JIS", Submenu},
    MenuEntry{2, u"m_jis_in", u"JIS IN", Submenu},
    MenuEntry{3, u"m_jisin1", u"(0x1B)(0x4B)", JisIn, C::JisIn},
    MenuEntry{3, u"m_jisin2", u"(0x1B)(0x24)(0x42)", JisIn, C::JisIn},
    MenuEntry{3, u"m_jisin3", u"(0x1B)(0x24)(0x40)", JisIn, C::JisIn},
    MenuEntry{3, u"m_jisin4", u"(0x1B)(0x24)(0x28)(0x44)", JisIn, C::JisIn},
    MenuEntry{3, u"m_jisin5", u"(0x1B)(0x26)(0x40)(0x1B)(0x24)(0x42)", JisIn, C::JisIn},
    MenuEntry{2, u"m_jis_out", u"JIS OUT", Submenu},
    MenuEntry{3, u"m_jis_out1", u"(0x1B)(0x28)(0x4A)", JisOut, C::JisOut},
    MenuEntry{3, u"m_jis_out2", u"(0x1B)(0x28)(0x48)", JisOut, C::JisOut},
    MenuEntry{3, u"m_jis_out3", u"(0x1B)(0x28)(0x42)", JisOut, C::JisOut},
    MenuEntry{2, u"m_sjisgo", u"SJIS変換実行", Item, C::SjisGo, 'K'},
    MenuEntry{2, u"m_jisgo", u"JIS 変換実行", Item, C::JisGo, 'J'},
    MenuEntry{0, u"m_ime", u"自動IME", Submenu},
    MenuEntry{1, u"m_imeon", u"IME On", Ime, C::ImeOn},
    MenuEntry{1, u"m_imeoff", u"IME Off", Ime, C::ImeOff},
    MenuEntry{0, u"m_windows", u"ｳｨﾝﾄﾞｳ(&W)", Submenu},
    MenuEntry{1, u"m_win_move1", u"上下に並べて表示(&H)", Item, C::TileHorizontal},
    MenuEntry{1, u"m_win_move2", u"左右に並べて表示(V)", Item, C::TileVertical},
    MenuEntry{1, u"m_win_move0", u"重ねて表示(&C)", Item, C::Cascade},
    MenuEntry{1, u"m_win_move3", u"ｱｲｺﾝの整列(&A)", Item, C::ArrangeIcons},
    MenuEntry{1, u"m_win_close", u"閉じる(&L)", Item, C::CloseWindow, Qt::Key_F4},
    MenuEntry{1, u"m_win_closeall", u"すべて閉じる", Item, C::CloseAllWindows},
    MenuEntry{0, u"m_set", u"設定", Item, C::Settings},
    MenuEntry{0, u"m_ver", u"バージョン", Item, C::Version},
    MenuEntry{0, u"m_etc", u"その他", Submenu},
    MenuEntry{1, u"m_etc_unicode", u"UNICODE化してエンコード", Toggle, C::UnicodeToggle},
    MenuEntry{1, u"m_etc_utf8", u"UTF-8 化してエンコード", Toggle, C::Utf8Toggle},
    MenuEntry{1, u"m_etc_base64Encode", u"BASE64エンコード", Item, C::Base64Encode},
    MenuEntry{1, u"m_etc_base64Decode", u"BASE64デコード", Item, C::Base64Decode},
    MenuEntry{1, u"m_etc_urlEncode", u"URLエンコード", Item, C::UrlEncode},
    MenuEntry{1, u"m_etc_urlDecode", u"URLデコード", Item, C::UrlDecode},
    MenuEntry{1, u"m_etc_hexEncode", u"hexエンコード", Item, C::HexEncode},
    MenuEntry{1, u"m_etc_hexDecode", u"hexデコード", Item, C::HexDecode},
};

struct ToolEntry {
    QStringView key; // empty for a gap
    QStringView toolTip;
    std::optional<Command> command = std::nullopt;
};

// Left to right; the keyed buttons take the drawn images in this order.
constexpr std::array toolBarLayout{
    ToolEntry{u"t_send", u"送信する", C::Send},
    ToolEntry{},
    ToolEntry{u"t_new", u"新規作成(クリップボードを見る)", C::New},
    ToolEntry{u"t_open", u"ﾌｧｲﾙを開く", C::Open},
    ToolEntry{u"t_save", u"追加保存", C::Update},
    ToolEntry{u"t_prn", u"印刷する", C::Print},
    ToolEntry{},
    ToolEntry{u"t_view", u"クリップボードを見る", C::View},
    ToolEntry{u"t_all_copy", u"全部コピー", C::AllCopy},
    ToolEntry{u"t_sel_copy", u"選択部分をコピー", C::SelCopy},
    ToolEntry{u"t_res_copy", u"抜きレスを付けてコピー", C::ResCopy},
    ToolEntry{u"t_paste", u"貼り付け", C::Paste},
    ToolEntry{u"t_spcut", u"行頭・行末のスペースを削除", C::SpaceCut},
    ToolEntry{},
    ToolEntry{u"t_emp", u"クリップボードを空にする", C::Empty},
    ToolEntry{u"t_copy_and_task", u"全部コピーして、タスクトレイに退避", C::CopyAndTask},
    ToolEntry{u"t_task", u"タスクトレイへ退避", C::ToTray},
    ToolEntry{},
    ToolEntry{u"t_end", u"終了", C::End},
    ToolEntry{u"t_2jis", u"S-JIS から ISO2022jp へ変換してクリップボードへコピーする",
              C::ToIso2022jp},
    ToolEntry{u"t_2sjis", u"ISO2022jp から S-JIS へ変換してクリップボードへコピーする", C::ToSjis},
    ToolEntry{u"t_ime", u"IME On and Off", C::ImeToggle},
    ToolEntry{},
    ToolEntry{u"t_Encrypt", u"PGP6.5.x で暗号化/暗号化&署名する", C::PgpEncrypt},
    ToolEntry{u"t_Decrypt", u"PGP 6.5.x で復号化/署名チェックする", C::PgpDecrypt},
    ToolEntry{u"t_Sign", u"PGP 6.5.x で署名する", C::PgpSign},
};

const settings::Setting* pgpOptionSetting(Command option)
{
    switch (option) {
    case Command::PgpOptionSign:
        return &settings::keys::PgpSign;
    case Command::PgpOptionSend:
        return &settings::keys::PgpSend;
    case Command::PgpOptionRes:
        return &settings::keys::PgpRes;
    case Command::PgpOptionJis:
        return &settings::keys::PgpJis;
    default:
        return nullptr;
    }
}

// The key part of a key event with the keypad flag dropped, so Ctrl+letter matches
// however the letter was typed.
int combinedKey(const QKeyEvent& event)
{
    return QKeyCombination(event.modifiers() & ~Qt::KeypadModifier, Qt::Key(event.key()))
        .toCombined();
}

} // namespace

Commands::Commands(QMainWindow& window, CommandTarget& target)
    : QObject(&window), m_window(window), m_target(target)
{
    buildMenus();
    buildToolBar();
    // A text editor claims Ctrl+C, Ctrl+A, Ctrl+K and others before window shortcuts
    // see them; the filter hands those keys to the menu items instead.
    qApp->installEventFilter(this);
}

Commands::~Commands() = default;

void Commands::buildMenus()
{
    QMenuBar* bar = m_window.menuBar();
    // The submenu open at each level while walking the table; level 0 is the bar.
    std::array<QMenu*, 4> open{};
    m_jisIn = new QActionGroup(this);
    m_jisOut = new QActionGroup(this);
    m_ime = new QActionGroup(this);

    for (const MenuEntry& entry : menuTree) {
        const QString name = entry.name.toString();
        QAction* action = nullptr;
        if (entry.kind == Submenu || entry.kind == PgpSubmenu) {
            auto* menu = new QMenu(entry.caption.toString(), &m_window);
            menu->setObjectName(name);
            action = menu->menuAction();
            open[static_cast<std::size_t>(entry.level) + 1] = menu;
            if (!m_fileMenu)
                m_fileMenu = menu;
            if (name == u"m_windows")
                m_windowMenu = menu;
        } else {
            action = new QAction(entry.caption.toString(), this);
        }
        action->setObjectName(name);
        if (entry.level == 0)
            bar->addAction(action);
        else
            open[static_cast<std::size_t>(entry.level)]->addAction(action);

        switch (entry.kind) {
        case Toggle:
            action->setCheckable(true);
            break;
        case JisIn:
            action->setCheckable(true);
            action->setData(m_jisIn->actions().size() + 1);
            m_jisIn->addAction(action);
            break;
        case JisOut:
            action->setCheckable(true);
            action->setData(m_jisOut->actions().size() + 1);
            m_jisOut->addAction(action);
            break;
        case Ime:
            action->setCheckable(true);
            m_ime->addAction(action);
            break;
        case PgpSubmenu:
            (entry.level == 0 ? m_pgpMenu : m_pgpOptionMenu) = action;
            break;
        case Submenu:
        case Item:
            break;
        }
        if (entry.ctrlKey != 0) {
            const QKeyCombination keys(Qt::ControlModifier, Qt::Key(entry.ctrlKey));
            action->setShortcut(QKeySequence(keys));
            action->setShortcutContext(Qt::WindowShortcut);
            m_shortcuts.insert(keys.toCombined(), action);
        }
        if (entry.command) {
            const Command command = *entry.command;
            connect(action, &QAction::triggered, this,
                    [this, command] { m_target.runCommand(command); });
            if (!m_commandActions.contains(command))
                m_commandActions.insert(command, action);
        }
        m_actions.insert(name, action);
    }

    // The two byte forms of the encoders exclude each other; unmarking leaves Shift_JIS.
    QAction* unicode = action(u"m_etc_unicode");
    QAction* utf8 = action(u"m_etc_utf8");
    connect(unicode, &QAction::toggled, utf8, [utf8](bool on) {
        if (on)
            utf8->setChecked(false);
    });
    connect(utf8, &QAction::toggled, unicode, [unicode](bool on) {
        if (on)
            unicode->setChecked(false);
    });

    // What an empty settings store gives at start-up.
    checkNumber(m_jisIn, 1);
    checkNumber(m_jisOut, 1);
    setUnicodeChecked(true);
    setUnicodeTag(settings::keys::HexLineWidth.fallback.toString());
    // The automatic IME is on by default; "t_ime" keeps its neutral tooltip until the
    // first setImeState().
    action(Command::ImeOn)->setChecked(true);
}

void Commands::buildToolBar()
{
    m_toolBar = new QToolBar(QStringLiteral("Toolbar1"), &m_window);
    m_toolBar->setObjectName(QStringLiteral("Toolbar1"));
    m_toolBar->setIconSize(QSize(24, 24));
    m_window.addToolBar(m_toolBar);

    for (const ToolEntry& entry : toolBarLayout) {
        if (entry.key.isEmpty()) {
            m_toolBar->addSeparator();
            continue;
        }
        const QString key = entry.key.toString();
        const Command command = *entry.command;
        QString text = entry.toolTip.toString();
        auto* action = new QAction(icons::toolbarIcon(command),
                                   text.replace(u'&', QStringLiteral("&&")), this);
        action->setObjectName(key);
        action->setToolTip(entry.toolTip.toString());
        action->setCheckable(command == Command::ImeToggle);
        m_toolBar->addAction(action);
        connect(action, &QAction::triggered, this,
                [this, command] { m_target.runCommand(command); });
        m_buttons.insert(key, action);
        m_commandButtons.insert(command, action);
    }
}

QAction* Commands::action(Command command) const
{
    return m_commandActions.value(command);
}

QAction* Commands::toolButton(Command command) const
{
    return m_commandButtons.value(command);
}

QAction* Commands::action(QStringView controlName) const
{
    return m_actions.value(controlName.toString());
}

QAction* Commands::toolButton(QStringView key) const
{
    return m_buttons.value(key.toString());
}

int Commands::checkedNumber(const QActionGroup* group)
{
    const QAction* checked = group->checkedAction();
    return checked ? checked->data().toInt() : 0;
}

void Commands::checkNumber(QActionGroup* group, int n)
{
    const QList<QAction*> members = group->actions();
    if (n >= 1 && n <= members.size())
        members.at(n - 1)->setChecked(true);
}

void Commands::setJisIn(int n)
{
    checkNumber(m_jisIn, n);
}

int Commands::jisIn() const
{
    return checkedNumber(m_jisIn);
}

void Commands::setJisOut(int n)
{
    checkNumber(m_jisOut, n);
}

int Commands::jisOut() const
{
    return checkedNumber(m_jisOut);
}

bool Commands::unicodeChecked() const
{
    return action(Command::UnicodeToggle)->isChecked();
}

void Commands::setUnicodeChecked(bool checked)
{
    action(Command::UnicodeToggle)->setChecked(checked);
}

QString Commands::unicodeTag() const
{
    return action(Command::UnicodeToggle)->data().toString();
}

void Commands::setUnicodeTag(const QString& tag)
{
    action(Command::UnicodeToggle)->setData(tag);
}

bool Commands::utf8Checked() const
{
    return action(u"m_etc_utf8")->isChecked();
}

void Commands::setUtf8Checked(bool checked)
{
    action(u"m_etc_utf8")->setChecked(checked);
}

convert::ByteForm Commands::byteForm() const
{
    if (unicodeChecked())
        return convert::ByteForm::Utf16Le;
    if (utf8Checked())
        return convert::ByteForm::Utf8;
    return convert::ByteForm::ShiftJis;
}

void Commands::setImeState(bool on)
{
    action(on ? Command::ImeOn : Command::ImeOff)->setChecked(true);
    QAction* button = toolButton(Command::ImeToggle);
    button->setChecked(on);
    button->setToolTip(on ? QStringLiteral("自動 IME を Off にする")
                          : QStringLiteral("自動 IME を On にする"));
}

void Commands::disable(std::initializer_list<Command> items, std::initializer_list<Command> buttons)
{
    for (const Command command : items)
        action(command)->setEnabled(false);
    for (const Command command : buttons)
        toolButton(command)->setEnabled(false);
}

void Commands::disablePgp()
{
    disablePgpMenuItems();
    disable({}, {Command::PgpDecrypt, Command::PgpEncrypt, Command::PgpSign});
}

void Commands::disablePgpMenuItems()
{
    m_pgpMenu->setEnabled(false);
    m_pgpOptionMenu->setEnabled(false);
    disable(
        {Command::PgpDecrypt, Command::PgpEncrypt, Command::PgpOptionSend, Command::PgpOptionSign},
        {});
}

void Commands::disableKanjiFilter()
{
    action(Command::PgpOptionJis)->setChecked(false);
    disable({Command::ToIso2022jp, Command::ToSjis, Command::PgpOptionJis, Command::SjisGo,
             Command::JisGo},
            {Command::ToIso2022jp, Command::ToSjis});
}

void Commands::disableBase64()
{
    disable({Command::Base64Decode, Command::Base64Encode}, {});
}

void Commands::disableUrlHex()
{
    disable({Command::UrlDecode, Command::UrlEncode, Command::HexDecode, Command::HexEncode}, {});
}

void Commands::restorePgpOptions(const settings::SettingsStore& store)
{
    for (const Command option : {Command::PgpOptionSign, Command::PgpOptionSend,
                                 Command::PgpOptionRes, Command::PgpOptionJis}) {
        action(option)->setChecked(store.read(*pgpOptionSetting(option)) == u"1");
    }
}

void Commands::storePgpOption(Command option, settings::SettingsStore& store) const
{
    if (const settings::Setting* setting = pgpOptionSetting(option))
        store.write(*setting,
                    action(option)->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
}

bool Commands::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::ShortcutOverride && type != QEvent::KeyPress)
        return false;
    const auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || widget->window() != &m_window)
        return false;
    QAction* item = m_shortcuts.value(combinedKey(*static_cast<QKeyEvent*>(event)));
    if (!item)
        return false;
    // Claiming the key at the override stage keeps it from the shortcut map, where
    // another shortcut of the window (a sub-window's Ctrl+W close) would make it
    // ambiguous and neither would run. The key press that follows runs the item; a
    // disabled item ignores the trigger and the key goes nowhere.
    event->accept();
    if (type == QEvent::KeyPress)
        item->trigger();
    return true;
}

} // namespace velmar::app
