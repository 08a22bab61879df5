#pragma once

// The main window's command set: the menu bar with its shortcut keys, the toolbar
// "Toolbar1", the check-mark groups and the enabling of the commands that depend on an
// outside component. Every item and button only reports its command to a CommandTarget;
// what a command does lives with the target.

#include "app/command.h"
#include "convert/conversion_menu.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringView>
#include <initializer_list>

class QAction;
class QActionGroup;
class QMainWindow;
class QMenu;
class QToolBar;

namespace velmar::settings {
class SettingsStore;
}

namespace velmar::app {

class CommandTarget {
public:
    virtual ~CommandTarget() = default;
    virtual void runCommand(Command command) = 0;
};

// Builds the menu bar and the toolbar into `window` and routes every menu item and
// toolbar button to `target`. Menu items carry their control name ("m_resset") as
// objectName, toolbar actions their key ("t_send"). The shortcut keys belong to the
// window: they reach their commands whichever child widget has the focus, even keys a
// text editor would otherwise take for itself (Ctrl+C, Ctrl+A, Ctrl+K) and
// Ctrl+W, which a sub-window also binds to closing itself.
//
// The state of the check marks lives in the actions. Where a mark must also be stored,
// the target does it when told: on PgpOptionSign/Send/Res/Jis it calls storePgpOption()
// with its settings store, so the new mark is written at once.
class Commands final : public QObject, public convert::ConversionMenu {
    Q_OBJECT

public:
    Commands(QMainWindow& window, CommandTarget& target);
    ~Commands() override;
    Commands(const Commands&) = delete;
    Commands& operator=(const Commands&) = delete;

    // The menu item that runs `command`; for the exclusive groups (JisIn, JisOut) the
    // first item of the group. Nullptr for a command without a menu item.
    QAction* action(Command command) const;
    // The toolbar button that runs `command`; nullptr when there is none.
    QAction* toolButton(Command command) const;
    // Lookups by objectName ("m_resset", "t_send"), for tests and diagnostics.
    QAction* action(QStringView controlName) const;
    QAction* toolButton(QStringView key) const;
    QToolBar* toolBar() const { return m_toolBar; }
    // The "ﾌｧｲﾙ(&F)" menu, also popped up by the text windows.
    QMenu* fileMenu() const { return m_fileMenu; }
    // The "ｳｨﾝﾄﾞｳ(&W)" menu; the main window lists its open text windows below the
    // fixed items.
    QMenu* windowMenu() const { return m_windowMenu; }

    // Kanji-in sequence 1..5 and kanji-out sequence 1..3: exactly one item of each group
    // is marked. A number outside the range leaves the group as it is.
    void setJisIn(int n);
    int jisIn() const override;
    void setJisOut(int n);
    int jisOut() const override;

    // The Unicode option of the encoders and its tag, the hex line width ("49").
    bool unicodeChecked() const;
    void setUnicodeChecked(bool checked);
    QString unicodeTag() const;
    void setUnicodeTag(const QString& tag);
    // The UTF-8 byte form ("UTF-8 化してエンコード"). It and the Unicode option exclude
    // each other; neither marked means Shift_JIS.
    bool utf8Checked() const;
    void setUtf8Checked(bool checked);
    convert::ByteForm byteForm() const override;
    QString hexWidth() const override { return unicodeTag(); }

    // Marks m_imeon or m_imeoff, presses or releases "t_ime" and sets its tooltip to
    // what a click would do next.
    void setImeState(bool on);

    // Component-dependent enabling at start-up. A disabled toolbar button cannot be
    // clicked and a disabled item's shortcut does nothing.
    void disablePgp();
    // The PGP menu items alone, for a PGP command that finds the component gone later.
    void disablePgpMenuItems();
    void disableKanjiFilter(); // also takes the mark from "ISO2022JP化"
    void disableBase64() override;
    void disableUrlHex() override;

    // Each PGP option is marked when its stored value (key = the item's name, section
    // "general") is exactly "1".
    void restorePgpOptions(const settings::SettingsStore& store);
    // Stores the current mark of one PGP option ("1" or "0"); `option` is one of
    // PgpOptionSign, PgpOptionSend, PgpOptionRes, PgpOptionJis, anything else is ignored.
    void storePgpOption(Command option, settings::SettingsStore& store) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildMenus();
    void buildToolBar();
    void disable(std::initializer_list<Command> items, std::initializer_list<Command> buttons);
    static int checkedNumber(const QActionGroup* group);
    static void checkNumber(QActionGroup* group, int n);

    QMainWindow& m_window;
    CommandTarget& m_target;
    QHash<QString, QAction*> m_actions;
    QHash<QString, QAction*> m_buttons;
    QHash<Command, QAction*> m_commandActions;
    QHash<Command, QAction*> m_commandButtons;
    // The PGP submenus, disabled with their items.
    QAction* m_pgpMenu = nullptr;
    QAction* m_pgpOptionMenu = nullptr;
    // Shortcut (as QKeyCombination::toCombined()) to its menu item.
    QHash<int, QAction*> m_shortcuts;
    QMenu* m_fileMenu = nullptr;
    QMenu* m_windowMenu = nullptr;
    QToolBar* m_toolBar = nullptr;
    QActionGroup* m_jisIn = nullptr;
    QActionGroup* m_jisOut = nullptr;
    QActionGroup* m_ime = nullptr;
};

} // namespace velmar::app
