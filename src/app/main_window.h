#pragma once

#include "app/commands.h"
#include "app/pgp_host.h"
#include "app/placement.h"
#include "app/tray_controller.h"
#include "app/window_arrangement.h"
#include "convert/pgp_commands.h"
#include "ipmsg/messenger_host.h"
#include "text/host.h"

#include <QHash>
#include <QMainWindow>
#include <QPointer>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

class QMdiArea;
class QWindow;

namespace velmar::components {
class ComponentRegistry;
class Chimer;
} // namespace velmar::components
namespace velmar::platform {
class Choosers;
class FileDialogs;
class DesktopNotifications;
class InputMethod;
class Printing;
class TrayIcon;
class UdpEndpoint;
} // namespace velmar::platform
namespace velmar::ipmsg {
class UserListDialog;
class Messenger;
} // namespace velmar::ipmsg
namespace velmar::settings {
class SettingsDialog;
}
namespace velmar::text {
class ClipboardCommands;
class FileCommands;
} // namespace velmar::text
namespace velmar::convert {
class ActiveText;
class ConversionCommands;
} // namespace velmar::convert

namespace velmar::history {
class HistoryRecorder;
class HistoryWindow;
struct HistoryMessage;
} // namespace velmar::history

namespace velmar::app {

class SettingsHost;
class ArrivalNotifier;
class ImeSwitcher;
class AvailabilityCheck;
class LateAnswer;
class TextWindowArea;

// Everything the main window takes from the outside world. Production passes the
// Qt implementations; tests pass fakes.
struct Services {
    settings::SettingsStore& store;
    const components::ComponentRegistry& registry;
    platform::UdpEndpoint& endpoint;
    platform::MessageBoxes& boxes;
    platform::Clipboard& clipboard;
    platform::FileDialogs& fileDialogs;
    platform::Printing& printing;
    // The file names given on the command line, one argument each.
    QStringList commandLine;
    // Ends the process at once with the given code (fin, or a failed start).
    std::function<void(int)> exitProgram;
    // The colour and font dialogs; Qt's own when none is given.
    platform::Choosers* choosers = nullptr;
    // No settings file existed: the settings dialog opens with `accountName` as the
    // proposed user name, and nothing is announced before it closes.
    bool firstStart = false;
    QString accountName = {};
    // The notification-area icon; the window makes the desktop's own when none is given.
    platform::TrayIcon* trayIcon = nullptr;
    // The input method of the text windows; fcitx5 when none is given.
    platform::InputMethod* inputMethod = nullptr;
    // Pop-up notifications; the desktop's notification service when none is given.
    platform::DesktopNotifications* notifications = nullptr;
    // Whether the platform reports where a window is; asked of Qt when not given
    // (Wayland compositors place windows themselves and tell nobody).
    std::optional<bool> windowPositionsKnown = std::nullopt;
    // Tells whether the PGP component exists, off the start-up path. Without one the
    // registry is asked during load().
    AvailabilityCheck* pgpCheck = nullptr;
    // The folder of the message history; empty: no history (tests that leave it out).
    QString historyFolder = {};
};

// The main window: owner of the program's public state, the text windows, the
// commands, the timers and the messaging engine with its UDP endpoint. The engine
// owns the messaging state (absence, send errors, duplicate history).
class MainWindow final : public QMainWindow,
                         public text::Host,
                         public CommandTarget,
                         public ipmsg::MessengerHost {
    Q_OBJECT
public:
    explicit MainWindow(Services services, QWidget* parent = nullptr);
    ~MainWindow() override;

    // The load steps. False when the program cannot start (the box has been shown
    // and exitProgram called).
    bool load();
    // Shows the window as the load left it (normal, minimised, maximised or in the
    // notification area) and runs the first activation.
    void start();

    // Kanji-in sequence 1..5 and kanji-out sequence 1..3 of the JIS conversions.
    int jisInMode() const { return m_jisInMode; }
    int jisOutMode() const { return m_jisOutMode; }
    // True from the start of shutdown on.
    bool endMode() const { return m_endMode; }
    // A message arrived while the window was in the notification area.
    bool messageWaiting() const { return m_tray->messageWaiting(); }
    // The sound component, made at its first use (it connects to the sound server);
    // nullptr when it is not installed.
    components::Chimer* chimer() const;
    // Whether the PGP component exists; nullopt until the check has answered.
    std::optional<bool> pgpAvailable() const;
    // Runs `next` once the PGP check has answered (at once when it has).
    void whenPgpKnown(std::function<void()> next);
    TrayController& tray() { return *m_tray; }

    // Operations of the main window.
    bool hasNoActiveWindow() const { return activeWindow() == nullptr; }
    // Ends the program at once, after the exit broadcast. Safe at any time, also while
    // load() shows a box and before the event loop runs (see hasEnded()).
    void fin();
    // True once fin() or closing has ended the program.
    bool hasEnded() const { return m_unloaded; }
    void showVersion();
    // The 履歴 window, made at first use.
    history::HistoryWindow& historyWindow();
    void showHistory();
    history::HistoryRecorder* historyRecorder() const { return m_history.get(); }
    // Asks before emptying the history; tests answer instead of the user.
    void clearHistory();
    // 終了 with unopened sealed messages and no history to keep them: asks once, and
    // on yes sends their discard notices. False when the user wants to stay.
    bool mayEndWithSealedMessages();
    void setConfirm(std::function<bool(const QString&, const QString&)> confirm)
    {
        m_confirm = std::move(confirm);
    }
    // "Velmar6 Ver7.3.0.2" for version 7.3, revision 2.
    static QString versionString();
    void sendActiveText();
    void leaveTray(AfterTray after);
    void arrange(Arrangement how);
    // Makes `window` the active text window.
    void activateTextWindow(text::TextWindow& window);
    MainWindowPgpHost& pgpHost() { return m_pgpHost; }
    convert::PgpCommands& pgpCommands() { return m_pgpCommands; }

    Commands& commands() { return *m_commands; }
    const components::ComponentRegistry& registry() const { return m_services.registry; }
    QMdiArea* mdiArea() const { return m_mdi; }
    text::ClipboardCommands& clipboardCommands() { return *m_clipboardCommands; }
    text::FileCommands& fileCommands() { return *m_fileCommands; }
    convert::ConversionCommands& conversionCommands() { return *m_conversions; }
    ipmsg::Messenger& messenger() { return *m_messenger; }
    // The user-list dialog, loaded (and so announcing the user) when missing.
    ipmsg::UserListDialog& userListDialog();
    // The settings dialog ("設定"), created when missing, shown modeless.
    settings::SettingsDialog& showSettings();
    settings::SettingsDialog* settingsDialog() const;
    // Ends a first start's wait: the user-list dialog loads and announces the user,
    // held datagrams are handled. False when no first start was waiting.
    bool finishFirstStart();
    // After "セット": the reply mark and the peer list's order apply at once.
    void applyStoredSettings();
    // The exit broadcast, unless a first start has not announced the user yet; true
    // when it went out.
    bool sayGoodbye();

    // text::Host
    QString applicationName() const override { return m_applicationName; }
    settings::SettingsStore& settings() override { return m_services.store; }
    platform::Clipboard& clipboard() override { return m_services.clipboard; }
    platform::MessageBoxes& messageBoxes() override { return m_services.boxes; }
    components::Textgauge& textgauge() override { return *m_textgauge; }
    QString replyMark() const override { return m_replyMark; }
    text::TextWindow* activeWindow() const override;
    text::TextWindow* openTextWindow(text::WindowPlacement placement) override;
    QList<text::TextWindow*> windows() const override;
    void applyImeSetting() override;
    void sendCommand(quint32 command, const QString& destination, qint32 port,
                     const QString& extra) override;
    void openFile(const QString& path) override;
    void popupFileMenu(const QPoint& globalPos) override;
    void hideToTray(bool mode) override;

    // CommandTarget
    void runCommand(Command command) override;

    // ipmsg::MessengerHost
    void skipNextActivation() override { m_skipNextActivation = true; }
    QString versionText() const override { return versionString(); }
    void openMessageWindow(const ipmsg::IncomingMessage& message) override;
    void collectMessage(const ipmsg::IncomingMessage& message) override;
    void playArrivalSound() override;
    bool inTray() const override { return m_tray->inTray(); }
    void startBlinking() override;
    void markSent() override;

    // Activation of the main window by one of the program's own windows (the
    // platform hook calls it; tests call it directly).
    void activated();

    // A later start of the program handed over its file names: come to the front,
    // out of the notification area too, and open each in a new text window.
    void openFilesFromSecondStart(const QStringList& files);

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void restorePlacement();
    void trayClicked(platform::TrayClick click);
    void notificationClicked(text::TextWindow* window);
    // Opens and fills the window of a received message, without any announcement.
    text::TextWindow* showMessage(const ipmsg::IncomingMessage& message);
    // Draws the user's attention to a message when the user looks elsewhere; the
    // window manager is asked only for a `newWindow`.
    void announceMessage(const ipmsg::IncomingMessage& message, text::TextWindow* form,
                         bool newWindow);
    // Shows the window as it was (out of the notification area too) and raises it.
    void comeToFront();
    void createDesktopServices();
    void readConversionChoices();
    // The kanji-filter and encoder commands.
    void runConversion(Command command);
    void disableMissingComponents();
    void unload();
    void savePlacement();
    void startHistory();
    void openHistoryMessage(const history::HistoryMessage& message);
    void trackSeal(text::TextWindow* form, const ipmsg::IncomingMessage& message);
    void openCommandLineFiles();
    void watchActivation();
    platform::Choosers& choosers();
    // The caption: the program's name, and the absence title while absent.
    void showAbsence(const QString& title);
    qreal twipsPerPixel() const;

    Services m_services;
    QMdiArea* m_mdi = nullptr;
    std::unique_ptr<TextWindowArea> m_windows;
    std::unique_ptr<Commands> m_commands;
    MainWindowPgpHost m_pgpHost{*this};
    convert::PgpCommands m_pgpCommands{m_pgpHost};
    std::unique_ptr<text::ClipboardCommands> m_clipboardCommands;
    std::unique_ptr<text::FileCommands> m_fileCommands;
    std::unique_ptr<convert::ActiveText> m_activeText;
    std::unique_ptr<convert::ConversionCommands> m_conversions;
    std::unique_ptr<platform::TrayIcon> m_ownTrayIcon;
    std::unique_ptr<platform::InputMethod> m_ownInputMethod;
    std::unique_ptr<platform::DesktopNotifications> m_ownNotifications;
    std::unique_ptr<ImeSwitcher> m_imeSwitcher;
    std::unique_ptr<ArrivalNotifier> m_notifier;
    // The window of the message that arrived last, brought to the front when the user
    // answers the blinking icon.
    QPointer<text::TextWindow> m_newestMessage;
    // Per sender address, the window that collects a flooding sender's messages; null
    // once the user has closed it.
    QHash<QString, QPointer<text::TextWindow>> m_collectingWindows;
    std::unique_ptr<TrayController> m_tray;
    std::unique_ptr<components::Textgauge> m_textgauge;
    mutable std::unique_ptr<components::Chimer> m_chimer;
    mutable bool m_chimerTried = false;
    LateAnswer* m_pgpAnswer = nullptr;
    int m_jisInMode = 1;
    int m_jisOutMode = 1;
    QString m_replyMark = QStringLiteral(">");
    QString m_applicationName;
    bool m_endMode = false;
    StartMode m_startMode = StartMode::Normal;
    QPointer<QWindow> m_lastFocusWindow;
    bool m_commandLineOpened = false;
    bool m_unloaded = false;
    // Set when the user is about to come back from the user-list dialog: that
    // return is no request for a clipboard window.
    bool m_skipNextActivation = false;
    std::unique_ptr<ipmsg::Messenger> m_messenger;
    QPointer<ipmsg::UserListDialog> m_userListDialog;
    std::unique_ptr<SettingsHost> m_settingsHost;
    std::unique_ptr<platform::Choosers> m_ownChoosers;
    QPointer<settings::SettingsDialog> m_settingsDialog;
    bool m_firstStartPending = false;
    std::unique_ptr<history::HistoryRecorder> m_history;
    QPointer<history::HistoryWindow> m_historyWindow;
    std::function<bool(const QString&, const QString&)> m_confirm;
    bool confirm(const QString& title, const QString& text);
};

} // namespace velmar::app
