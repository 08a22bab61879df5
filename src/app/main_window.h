#pragma once

#include "app/commands.h"
#include "ipmsg/messenger_host.h"
#include "text/host.h"

#include <QMainWindow>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <array>
#include <functional>
#include <memory>

class QMdiArea;
class QMdiSubWindow;
class QSystemTrayIcon;
class QWindow;

namespace velmar::components {
class ComponentRegistry;
class Chimer;
} // namespace velmar::components
namespace velmar::platform {
class FileDialogs;
class Printing;
class UdpEndpoint;
} // namespace velmar::platform
namespace velmar::ipmsg {
class Form2;
class Messenger;
} // namespace velmar::ipmsg
namespace velmar::text {
class ClipboardCommands;
class FileCommands;
} // namespace velmar::text

namespace velmar::app {

class TrayIcon;

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
};

// The main window: owner of the program's public state, the text windows, the
// commands, the timers and the messaging engine with its UDP endpoint. The engine
// owns the messaging state (absence, send errors, duplicate history).
class MDIForm1 final : public QMainWindow,
                       public text::Host,
                       public CommandTarget,
                       public ipmsg::MessengerHost {
    Q_OBJECT
public:
    explicit MDIForm1(Services services, QWidget* parent = nullptr);
    ~MDIForm1() override;

    // The load steps. False when the program cannot start (the box has been shown
    // and exitProgram called).
    bool load();
    // Shows the window as the load left it (normal, minimised, maximised or in the
    // notification area) and runs the first activation.
    void start();

    // Public state read and written by the other windows (chks through chks() and
    // setChks(), shared with the messaging engine's retry counter).
    qint16 jis_in_mode = 1;
    qint16 jis_out_mode = 1;
    QString res_moji = QStringLiteral(">");
    QString ApplicationName;
    bool IsEndmode = false;
    bool IsMessage = false;
    bool In_Tray = false;
    std::unique_ptr<components::Textgauge> MojiObj;
    std::unique_ptr<components::Chimer> SoundObj;

    // Operations of the main window.
    bool MDI_chk() const { return activeWindow() == nullptr; }
    void fin();
    void ver_disp();
    // "Velmar6 Ver7.3.0.2" for version 7.3, revision 2.
    static QString versionString();
    void send_messege();
    void f_to_tray2(bool mode);
    void arrange(int how);

    Commands& commands() { return *m_commands; }
    QMdiArea* mdiArea() const { return m_mdi; }
    text::ClipboardCommands& clipboardCommands() { return *m_clipboardCommands; }
    text::FileCommands& fileCommands() { return *m_fileCommands; }
    ipmsg::Messenger& messenger() { return *m_messenger; }
    // The user-list dialog, loaded (and so announcing the user) when missing.
    ipmsg::Form2& form2();

    // text::Host
    QString applicationName() const override { return ApplicationName; }
    settings::SettingsStore& settings() override { return m_services.store; }
    platform::Clipboard& clipboard() override { return m_services.clipboard; }
    platform::MessageBoxes& messageBoxes() override { return m_services.boxes; }
    components::Textgauge& textgauge() override { return *MojiObj; }
    QString resMoji() const override { return res_moji; }
    text::Form1* activeWindow() const override;
    int new_win(qint16 inputData) override;
    QList<text::Form1*> windows() const override;
    void IME_OnOff() override;
    void ipm_entry(quint32 command, const QString& destination, qint32 port,
                   const QString& extra) override;
    void f_open(const QString& path) override;
    void popupFileMenu(const QPoint& globalPos) override;
    void f_to_tray(bool mode) override;

    // CommandTarget
    void runCommand(Command command) override;

    // ipmsg::MessengerHost
    qint16 chks() const override { return m_chks; }
    void setChks(qint16 value) override { m_chks = value; }
    QString versionText() const override { return versionString(); }
    void openMessageWindow(const ipmsg::IncomingMessage& message) override;
    void playArrivalSound() override;
    bool inTray() const override { return In_Tray; }
    void startBlinking() override;
    void markSent() override;

    // Activation of the main window by one of the program's own windows (the
    // platform hook calls it; tests call it directly).
    void activated();

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    enum class StartState { Normal, Minimised, Maximised, Tray };

    void restorePlacement();
    void trayClicked(bool rightButton);
    void blinkTick();
    void readConversionChoices();
    void disableMissingComponents();
    void unload();
    void savePlacement();
    void openCommandLineFiles();
    void textWindowActivated(QMdiSubWindow* subWindow);
    void watchActivation();

    Services m_services;
    QMdiArea* m_mdi = nullptr;
    std::unique_ptr<Commands> m_commands;
    std::unique_ptr<text::ClipboardCommands> m_clipboardCommands;
    std::unique_ptr<text::FileCommands> m_fileCommands;
    std::unique_ptr<TrayIcon> m_tray;
    QTimer m_timer2;
    bool m_blinkPhase = false;
    StartState m_startState = StartState::Normal;
    QPointer<QWindow> m_lastFocusWindow;
    QPointer<QMdiSubWindow> m_lastActivated;
    bool m_commandLineOpened = false;
    bool m_unloaded = false;
    qint16 m_chks = 0;
    std::unique_ptr<ipmsg::Messenger> m_messenger;
    QPointer<ipmsg::Form2> m_form2;
};

} // namespace velmar::app
