#include "app/main_window.h"

#include "app/arrival_notifier.h"
#include "app/background_check.h"
#include "app/conversion_choices.h"
#include "app/icons.h"
#include "app/ime_switcher.h"
#include "app/new_window_placement.h"
#include "app/settings_host.h"
#include "app/text_window_area.h"
#include "app/window_arrangement.h"
#include "components/registry.h"
#include "convert/conversion_commands.h"
#include "history/history_recorder.h"
#include "history/ui/history_window.h"
#include "ipmsg/messenger.h"
#include "ipmsg/ui/user_list_dialog.h"
#include "platform/choosers.h"
#include "platform/clipboard.h"
#include "platform/desktop_notifications.h"
#include "platform/form_marker.h"
#include "platform/input_method.h"
#include "platform/message_boxes.h"
#include "platform/tray_icon.h"
#include "platform/udp_endpoint.h"
#include "settings/keys.h"
#include "settings/settings_dialog.h"
#include "text/clipboard_commands.h"
#include "text/file_commands.h"
#include "text/text_area.h"
#include "text/text_window.h"
#include "version.h"

#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QMdiArea>
#include <QMenu>
#include <QMimeData>
#include <QScreen>
#include <QWindow>
#include <algorithm>

namespace velmar::app {

using text::WindowPlacement;
using Mark = text::TextWindow::ActivationMark;

namespace keys = settings::keys;
using text::TextWindow;

namespace {

// The conversion commands read and replace the active text window's whole text.
class ActiveTextWindow final : public convert::ActiveText {
public:
    explicit ActiveTextWindow(const text::Host& host) : m_host(host) {}
    bool exists() const override { return m_host.activeWindow() != nullptr; }
    QString text() const override
    {
        const text::TextWindow* window = m_host.activeWindow();
        return window ? window->text() : QString();
    }
    void setText(const QString& text) override
    {
        if (text::TextWindow* window = m_host.activeWindow())
            window->setText(text);
    }

private:
    const text::Host& m_host;
};

// Where the character-check component can be had when it is missing.

// Design size of the main window, used when no placement is stored.
constexpr QSize kDesignSize(800, 600);

// Offered drop actions must be exactly copy, move and link together.
bool isFileDrop(const QMimeData* data, Qt::DropActions actions)
{
    return data && data->hasUrls() && actions == (Qt::CopyAction | Qt::MoveAction | Qt::LinkAction);
}

} // namespace

MainWindow::MainWindow(Services services, QWidget* parent)
    : QMainWindow(parent), m_services(std::move(services)), m_mdi(new QMdiArea(this))
{
    setObjectName(QStringLiteral("MDIForm1"));
    platform::markAsForm(*this);
    setAcceptDrops(true);
    m_mdi->setObjectName(QStringLiteral("MDIClient"));
    setCentralWidget(m_mdi);
    m_windows = std::make_unique<TextWindowArea>(*m_mdi, *this);
    resize(kDesignSize);
    setWindowIcon(icons::programIcon());

    m_commands = std::make_unique<Commands>(*this, *this);
    connect(m_commands->windowMenu(), &QMenu::aboutToShow, this,
            [this] { m_windows->listWindows(*m_commands->windowMenu()); });
    m_clipboardCommands = std::make_unique<text::ClipboardCommands>(*this);
    m_fileCommands =
        std::make_unique<text::FileCommands>(*this, m_services.fileDialogs, m_services.printing);
    m_activeText = std::make_unique<ActiveTextWindow>(*this);
    m_conversions = std::make_unique<convert::ConversionCommands>(*m_activeText, m_services.boxes,
                                                                  m_services.registry, *m_commands);
    m_settingsHost = std::make_unique<SettingsHost>(*this);
    createDesktopServices();
}

void MainWindow::createDesktopServices()
{
    platform::TrayIcon* trayIcon = m_services.trayIcon;
    if (!trayIcon) {
        m_ownTrayIcon = std::make_unique<platform::QtTrayIcon>();
        trayIcon = m_ownTrayIcon.get();
    }
    m_tray = std::make_unique<TrayController>(*trayIcon, *this, windowIcon(),
                                              icons::toolbarIcon(Command::Send));
    connect(m_tray.get(), &TrayController::clicked, this, &MainWindow::trayClicked);
    connect(m_tray.get(), &TrayController::quitRequested, this,
            [this] { runCommand(Command::End); });

    platform::InputMethod* inputMethod = m_services.inputMethod;
    if (!inputMethod) {
        m_ownInputMethod = std::make_unique<platform::Fcitx5InputMethod>();
        inputMethod = m_ownInputMethod.get();
    }
    m_imeSwitcher = std::make_unique<ImeSwitcher>(
        *inputMethod,
        [this](const QWidget* widget) {
            const QList<TextWindow*> forms = windows();
            return std::any_of(forms.cbegin(), forms.cend(), [widget](const TextWindow* form) {
                return widget == static_cast<const QWidget*>(form->textArea());
            });
        },
        [this] { return m_services.store.read(keys::Ime).trimmed().startsWith(u'1'); });

    platform::DesktopNotifications* notifications = m_services.notifications;
    if (!notifications) {
        m_ownNotifications = std::make_unique<platform::FreedesktopNotifications>();
        notifications = m_ownNotifications.get();
    }
    m_notifier = std::make_unique<ArrivalNotifier>(*notifications, m_services.store);
    connect(m_notifier.get(), &ArrivalNotifier::clicked, this, &MainWindow::notificationClicked);
}

MainWindow::~MainWindow()
{
    // The base classes outlive this part of the object: signals sent while they tear
    // down the sub-windows or move the focus must not reach it any more.
    m_windows.reset();
    disconnect(qApp, nullptr, this, nullptr);
    if (m_settingsDialog)
        disconnect(m_settingsDialog, nullptr, this, nullptr);
}

bool MainWindow::load()
{
    // 1. The character-check component: without it nothing works.
    if (!components::CreateComponent(m_services.registry, m_textgauge,
                                     components::Textgauge::ProgId)) {
        m_services.boxes.show(QStringLiteral("起動失敗"),
                              QStringLiteral("Textgauge.dll が必要\r\n") +
                                  convert::componentHelpAddress());
        m_services.exitProgram(1);
        return false;
    }
    // 2. The sound component is optional; it is made when a sound first plays, since
    // making it connects to the sound server, which the first window does not need.

    m_messenger = std::make_unique<ipmsg::Messenger>(m_services.endpoint, m_services.store,
                                                     *m_textgauge, m_services.boxes, *this);
    connect(m_messenger.get(), &ipmsg::Messenger::absenceChanged, this, &MainWindow::showAbsence);
    startHistory();

    // 3. Names and caption.
    m_applicationName = QStringLiteral("Velmar") + QString::number(VersionMajor);
    showAbsence({});

    restorePlacement();
    m_endMode = false;

    // 6. The endpoint's port; a port in use is said at once.
    m_messenger->bindAtStart();
    // Its box runs an event loop, in which a termination signal may have ended the
    // program: having said goodbye, it must not announce itself.
    if (m_unloaded)
        return true;
    // 7. The user-list dialog, hidden; its load announces the user. On a first start
    // the user chooses a name first: nothing goes out, and arrivals wait unanswered,
    // until the settings dialog closes.
    if (m_services.firstStart) {
        m_firstStartPending = true;
        m_messenger->holdArrivals(true);
        showSettings().proposeUserName(m_services.accountName);
    } else {
        userListDialog();
    }

    readConversionChoices();
    disableMissingComponents();
    return true;
}

void MainWindow::start()
{
    watchActivation();
    switch (m_startMode) {
    case StartMode::Tray:
        break;
    case StartMode::Minimised:
        showMinimized();
        break;
    case StartMode::Maximised:
        showMaximized();
        break;
    case StartMode::Normal:
        show();
        break;
    }
    activated();
    // A first start's settings dialog stays in front of the window shown after it.
    if (m_settingsDialog) {
        m_settingsDialog->raise();
        m_settingsDialog->activateWindow();
    }
}

qreal MainWindow::twipsPerPixel() const
{
    const QScreen* screen = this->screen();
    return app::twipsPerPixel(screen ? screen->logicalDotsPerInch() : 0);
}

void MainWindow::restorePlacement()
{
    if (const std::optional<QRect> twips = settings::read(m_services.store, keys::PlacementTwips)) {
        const qreal scale = twipsPerPixel();
        const QRect rect(qRound(twips->x() / scale), qRound(twips->y() / scale),
                         qRound(twips->width() / scale), qRound(twips->height() / scale));
        // A placement from another screen layout, or a damaged one, must neither leave
        // the window unreachable nor make it larger than the screen.
        const QScreen* screen = QGuiApplication::screenAt(rect.center());
        if (!screen)
            screen = QGuiApplication::primaryScreen();
        if (screen) {
            if (const auto fitted =
                    settings::fitPlacement(rect, screen->availableGeometry(), minimumSizeHint()))
                setGeometry(*fitted);
        }
    }
    if (const auto mode = startModeFromValue(m_services.store.read(keys::StartMode))) {
        m_startMode = *mode;
        if (m_startMode == StartMode::Tray)
            hideToTray(false);
    }
}

void MainWindow::readConversionChoices()
{
    const ConversionChoices choices = app::readConversionChoices(m_services.store);
    m_commands->setUnicodeChecked(choices.unicode);
    m_commands->setUnicodeTag(choices.hexLineWidth);
    m_jisInMode = choices.jisIn;
    m_jisOutMode = choices.jisOut;
    if (choices.utf8)
        m_commands->setUtf8Checked(true);
    m_commands->setJisIn(m_jisInMode);
    m_commands->setJisOut(m_jisOutMode);
}

void MainWindow::disableMissingComponents()
{
    const components::ComponentRegistry& registry = m_services.registry;
    // Whether GnuPG is installed takes several of its programs to find out: the answer
    // comes in the background, the items take their state then, and a PGP command
    // clicked before waits for it.
    m_pgpAnswer = new LateAnswer(this);
    connect(m_pgpAnswer, &LateAnswer::known, this, [this](bool available) {
        if (available)
            m_commands->restorePgpOptions(m_services.store);
        else
            m_commands->disablePgp();
    });
    m_pgpAnswer->start(m_services.pgpCheck, [&registry] {
        return components::ComponentExists(registry, components::CipherGate::ProgId);
    });
    if (!components::ComponentExists(registry, components::KanjiPipe::ProgId))
        m_commands->disableKanjiFilter();
    if (!components::ComponentExists(registry, components::Radixer::ProgId))
        m_commands->disableBase64();
    if (!components::ComponentExists(registry, components::Escaper::ProgId))
        m_commands->disableUrlHex();
}

components::Chimer* MainWindow::chimer() const
{
    if (!m_chimerTried) {
        m_chimerTried = true;
        components::CreateComponent(m_services.registry, m_chimer, components::Chimer::ProgId);
    }
    return m_chimer.get();
}

std::optional<bool> MainWindow::pgpAvailable() const
{
    return m_pgpAnswer ? m_pgpAnswer->answer() : std::nullopt;
}

void MainWindow::whenPgpKnown(std::function<void()> next)
{
    if (m_pgpAnswer)
        m_pgpAnswer->whenKnown(std::move(next));
    else
        next(); // before load(): the commands find the component or not themselves
}

void MainWindow::watchActivation()
{
    // Only a return from one of the program's own forms activates the main window:
    // coming back from another application passes through "no focus window".
    connect(qApp, &QGuiApplication::focusWindowChanged, this, [this](QWindow* now) {
        QWindow* previous = m_lastFocusWindow;
        m_lastFocusWindow = now;
        if (!now || now != windowHandle() || !previous || previous == now)
            return;
        if (platform::isForm(QWidget::find(previous->winId())))
            activated();
    });
}

void MainWindow::activated()
{
    m_replyMark = m_services.store.read(keys::ReplyMark);
    const bool fromClipboard = !m_skipNextActivation;
    m_skipNextActivation = false;
    // At start-up the window may not have the focus yet, which a Wayland compositor
    // waits for before it hands the clipboard over.
    m_services.clipboard.whenReadable(this, [this, fromClipboard] {
        if (m_unloaded)
            return;
        if (fromClipboard) {
            openTextWindow(WindowPlacement::Foreground);
            m_clipboardCommands->viewClipboard();
        }
        applyImeSetting();
        // The command-line files open once. Opening them at every activation would
        // stack a duplicate window for each file whenever a dialog of the program closes.
        openCommandLineFiles();
    });
}

void MainWindow::openCommandLineFiles()
{
    if (m_commandLineOpened)
        return;
    m_commandLineOpened = true;
    for (const QString& path : std::as_const(m_services.commandLine)) {
        if (!path.isEmpty())
            openFile(path);
    }
}

TextWindow* MainWindow::activeWindow() const
{
    return m_windows ? m_windows->activeWindow() : nullptr;
}

QList<TextWindow*> MainWindow::windows() const
{
    return m_windows ? m_windows->windows() : QList<TextWindow*>();
}

TextWindow* MainWindow::openTextWindow(WindowPlacement placement)
{
    return m_windows->open(placement, m_applicationName, windowIcon());
}

void MainWindow::applyImeSetting()
{
    // The marks follow the setting even with no text window, so menu and button
    // never disagree.
    const bool on = m_services.store.read(keys::Ime).trimmed().startsWith(u'1');
    m_commands->setImeState(on);
    // The switch itself waits for one of the text areas to hold the focus.
    m_imeSwitcher->apply();
}

void MainWindow::openFile(const QString& path)
{
    m_fileCommands->openFile(path);
}

void MainWindow::popupFileMenu(const QPoint& globalPos)
{
    m_commands->fileMenu()->popup(globalPos);
}

void MainWindow::fin()
{
    // Ends at once, storing nothing more (what was written before is already on
    // disk, since the store writes through), but says goodbye: peers would list us
    // until their messages to us failed.
    if (m_unloaded)
        return;
    m_unloaded = true;
    sayGoodbye();
    m_services.exitProgram(0);
}

QString MainWindow::versionString()
{
    return QStringLiteral("Velmar6 Ver%1.%2.0.%3")
        .arg(QString::number(VersionMajor), QString::number(VersionMinor),
             QString::number(VersionPatch));
}

void MainWindow::showVersion()
{
    openTextWindow(WindowPlacement::Foreground);
    if (TextWindow* form = activeWindow())
        form->setText(versionString());
}

void MainWindow::arrange(Arrangement how)
{
    m_windows->arrange(how);
}

void MainWindow::activateTextWindow(TextWindow& window)
{
    m_windows->activate(window);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (m_unloaded) {
        event->accept();
        return;
    }
    // The text windows close first, each with its own clean-up (discard notices).
    m_mdi->closeAllSubWindows();
    unload();
    event->accept();
    m_services.exitProgram(0);
}

void MainWindow::unload()
{
    m_unloaded = true;
    m_endMode = true;
    sayGoodbye();
    savePlacement();
    if (m_tray->inTray())
        leaveTray(AfterTray::ShowWindow);
    storeConversionChoices({m_jisInMode, m_jisOutMode, m_commands->unicodeChecked(),
                            m_commands->unicodeTag(), m_commands->utf8Checked()},
                           m_services.store);
    m_services.endpoint.close();
}

void MainWindow::savePlacement()
{
    if (m_services.store.read(keys::SavePlacement) != u"1")
        return;
    StartMode mode = StartMode::Normal;
    if (m_tray->inTray())
        mode = StartMode::Tray;
    else if (isMinimized())
        mode = StartMode::Minimised;
    else if (isMaximized())
        mode = StartMode::Maximised;
    if (mode == StartMode::Normal) {
        const bool positionKnown = m_services.windowPositionsKnown.value_or(
            !QGuiApplication::platformName().startsWith(QLatin1String("wayland")));
        m_services.store.write(keys::Placement,
                               placementToStore(geometry(), twipsPerPixel(), positionKnown,
                                                m_services.store.read(keys::Placement)));
    }
    m_services.store.write(keys::StartMode, startModeValue(mode));
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event)
{
    if (isFileDrop(event->mimeData(), event->possibleActions()))
        event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event)
{
    if (!isFileDrop(event->mimeData(), event->possibleActions()))
        return;
    event->acceptProposedAction();
    const auto urls = event->mimeData()->urls();
    for (const QUrl& url : urls) {
        const QString path = url.toLocalFile();
        if (!path.isEmpty())
            openFile(path);
    }
}

} // namespace velmar::app
