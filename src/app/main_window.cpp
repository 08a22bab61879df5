#include "app/main_window.h"

#include "app/icons.h"
#include "app/tray_icon.h"
#include "app/window_arrangement.h"
#include "components/registry.h"
#include "ipmsg/messenger.h"
#include "ipmsg/ui/user_list_dialog.h"
#include "platform/clipboard.h"
#include "platform/message_boxes.h"
#include "platform/udp_endpoint.h"
#include "settings/colour_value.h"
#include "settings/keys.h"
#include "text/clipboard_commands.h"
#include "text/file_commands.h"
#include "text/text_window.h"
#include "version.h"

#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMimeData>
#include <QScreen>
#include <QWindow>
#include <cmath>
#include <optional>

namespace velmar::app {

using text::WindowPlacement;
using Mark = text::TextWindow::ActivationMark;

namespace keys = settings::keys;
using text::TextWindow;

namespace {

// Where the character-check component can be had when it is missing.
constexpr auto kTextgaugeHelp = u"Textgauge.dll が必要\r\nhttps://velmar.example.org/components/";

// Design size of the main window, used when no placement is stored.
constexpr QSize kDesignSize(800, 600);

// A form of the program: returning from one of them to the main window counts as
// an activation of the main window; message boxes and other applications do not.
constexpr char kFormProperty[] = "velmarForm";

// Text read as a number the way the stored values are meant: trimmed, decimal.
std::optional<double> numericValue(const QString& text)
{
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

// A digit character as its number (0 for anything else).
int digitValue(QChar c)
{
    return c.isDigit() ? c.digitValue() : 0;
}

qreal twipsPerPixel(const QWidget* widget)
{
    const QScreen* screen = widget->screen();
    const qreal dpi = screen ? screen->logicalDotsPerInch() : 96.0;
    return 1440.0 / (dpi > 0 ? dpi : 96.0);
}

// New text windows take most of the free space, like a document window should, but
// leave room to see that there are others behind them.
QSize defaultTextWindowSize(const QSize& area)
{
    const QSize preferred(area.width() * 2 / 3, area.height() * 2 / 3);
    return preferred.expandedTo(QSize(360, 240)).boundedTo(area.expandedTo(QSize(128, 95)));
}

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
    setProperty(kFormProperty, true);
    setAcceptDrops(true);
    m_mdi->setObjectName(QStringLiteral("MDIClient"));
    m_mdi->setActivationOrder(QMdiArea::ActivationHistoryOrder);
    setCentralWidget(m_mdi);
    resize(kDesignSize);
    setWindowIcon(icons::programIcon());

    m_commands = std::make_unique<Commands>(*this, *this);
    m_clipboardCommands = std::make_unique<text::ClipboardCommands>(*this);
    m_fileCommands =
        std::make_unique<text::FileCommands>(*this, m_services.fileDialogs, m_services.printing);
    m_tray = std::make_unique<TrayIcon>();
    connect(m_tray.get(), &TrayIcon::clicked, this, &MainWindow::trayClicked);

    m_blinkTimer.setInterval(500);
    connect(&m_blinkTimer, &QTimer::timeout, this, &MainWindow::blinkTick);

    connect(m_mdi, &QMdiArea::subWindowActivated, this, &MainWindow::textWindowActivated);
}

MainWindow::~MainWindow()
{
    // The base classes outlive this part of the object: signals sent while they tear
    // down the sub-windows or move the focus must not reach it any more.
    disconnect(m_mdi, nullptr, this, nullptr);
    disconnect(qApp, nullptr, this, nullptr);
}

bool MainWindow::load()
{
    // 1. The character-check component: without it nothing works.
    if (!components::CreateComponent(m_services.registry, m_textgaugeObject,
                                     components::Textgauge::ProgId)) {
        m_services.boxes.show(QStringLiteral("起動失敗"), QString::fromUtf16(kTextgaugeHelp));
        m_services.exitProgram(1);
        return false;
    }
    // 2. The sound component is optional.
    components::CreateComponent(m_services.registry, m_chimer, components::Chimer::ProgId);

    m_messenger = std::make_unique<ipmsg::Messenger>(m_services.endpoint, m_services.store,
                                                     *m_textgaugeObject, m_services.boxes, *this);

    // 3. Names and caption.
    m_applicationName = QStringLiteral("Velmar") + QString::number(VersionMajor);
    setWindowTitle(m_applicationName + QStringLiteral(" MainWindow"));

    // 4. Placement, 5. initial state.
    restorePlacement();
    m_endMode = false;
    m_messageWaiting = false;

    // 6. The endpoint's port; a port in use is said at once.
    m_messenger->bindAtStart();
    // 7. The user-list dialog, hidden; its load announces the user.
    userListDialog();

    // 8. and 9. Conversion choices; 10. to 13. commands of missing components.
    readConversionChoices();
    disableMissingComponents();
    return true;
}

void MainWindow::start()
{
    watchActivation();
    switch (m_startState) {
    case StartState::Tray:
        break;
    case StartState::Minimised:
        showMinimized();
        break;
    case StartState::Maximised:
        showMaximized();
        break;
    case StartState::Normal:
        show();
        break;
    }
    activated();
}

void MainWindow::restorePlacement()
{
    const QStringList parts = m_services.store.read(keys::Placement).split(u',');
    if (parts.size() == 4) {
        int values[4];
        bool allNumbers = true;
        for (int i = 0; i < 4 && allNumbers; ++i)
            values[i] = parts[i].trimmed().toInt(&allNumbers);
        if (allNumbers) {
            const qreal scale = twipsPerPixel(this);
            const QRect rect(qRound(values[0] / scale), qRound(values[1] / scale),
                             qRound(values[2] / scale), qRound(values[3] / scale));
            // A placement from another screen layout must not leave the window unreachable.
            const QScreen* screen = QGuiApplication::screenAt(rect.center());
            if (screen && rect.width() >= minimumSizeHint().width() / 2 && rect.height() > 0)
                setGeometry(rect);
        }
    }

    const QString mode = m_services.store.read(keys::StartMode);
    if (mode == u"3") {
        m_startState = StartState::Tray;
        hideToTray(false);
        return;
    }
    const std::optional<double> state = numericValue(mode);
    if (!state)
        return;
    if (*state == 0)
        m_startState = StartState::Normal;
    else if (*state == 1)
        m_startState = StartState::Minimised;
    else if (*state == 2)
        m_startState = StartState::Maximised;
}

void MainWindow::readConversionChoices()
{
    const QString unicode = m_services.store.read(keys::EncodeAsUnicode).trimmed() + u'0';
    m_commands->setUnicodeChecked(unicode.front() == u'0');
    m_commands->setUnicodeTag(QStringLiteral("49"));
    const QString count =
        m_services.store.read(keys::HexLineWidth, m_commands->unicodeTag()).trimmed();
    if (const std::optional<double> value = numericValue(count); value && std::floor(*value) > 0)
        m_commands->setUnicodeTag(QString::number(static_cast<qint64>(std::floor(*value))));

    QString jis = m_services.store.read(keys::JisEscapes).trimmed();
    if (!numericValue(jis))
        jis = QStringLiteral("1");
    m_jisInMode = static_cast<qint16>(digitValue(jis.front()));
    m_jisOutMode = static_cast<qint16>(digitValue(jis.back()));
    if (m_jisInMode < 1 || m_jisInMode > 5)
        m_jisInMode = 2;
    if (m_jisOutMode < 1 || m_jisOutMode > 3)
        m_jisOutMode = 1;
    m_commands->setJisIn(m_jisInMode);
    m_commands->setJisOut(m_jisOutMode);
}

void MainWindow::disableMissingComponents()
{
    const components::ComponentRegistry& registry = m_services.registry;
    if (components::ComponentExists(registry, components::CipherGate::ProgId))
        m_commands->restorePgpOptions(m_services.store);
    else
        m_commands->disablePgp();
    if (!components::ComponentExists(registry, components::KanjiPipe::ProgId))
        m_commands->disableKanjiFilter();
    if (!components::ComponentExists(registry, components::Radixer::ProgId))
        m_commands->disableBase64();
    if (!components::ComponentExists(registry, components::Escaper::ProgId))
        m_commands->disableUrlHex();
    // The settings dialog is not part of this build yet.
    m_commands->action(u"m_set")->setEnabled(false);
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
        const QWidget* previousWidget = QWidget::find(previous->winId());
        if (previousWidget && previousWidget->property(kFormProperty).toBool())
            activated();
    });
}

void MainWindow::activated()
{
    m_replyMark = m_services.store.read(keys::ReplyMark);
    if (m_skipNextActivation) {
        m_skipNextActivation = false;
    } else {
        openTextWindow(WindowPlacement::Foreground);
        m_clipboardCommands->viewClipboard();
    }
    applyImeSetting();
    // The command-line files open once. Opening them at every activation would stack
    // a duplicate window for each file whenever a dialog of the program closes.
    openCommandLineFiles();
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
    const QMdiSubWindow* sub = m_mdi->currentSubWindow();
    return sub ? qobject_cast<TextWindow*>(sub->widget()) : nullptr;
}

QList<TextWindow*> MainWindow::windows() const
{
    QList<TextWindow*> forms;
    const auto subs = m_mdi->subWindowList(QMdiArea::CreationOrder);
    for (QMdiSubWindow* sub : subs) {
        if (auto* form = qobject_cast<TextWindow*>(sub->widget()))
            forms.append(form);
    }
    return forms;
}

TextWindow* MainWindow::openTextWindow(WindowPlacement placement)
{
    const bool background = placement == WindowPlacement::Background;
    auto* form = new TextWindow(*this);
    form->setAttribute(Qt::WA_DeleteOnClose);
    form->setCaption(m_applicationName);
    form->setStatusText(m_applicationName);

    QMdiSubWindow* previous = m_mdi->currentSubWindow();
    for (TextWindow* other : windows()) {
        if (other->activationMark == Mark::Active) {
            other->activationMark = background ? Mark::ActiveBeforeBackgroundOpen : Mark::Inactive;
            break;
        }
    }

    QMdiSubWindow* sub = m_mdi->addSubWindow(form);
    sub->setWindowIcon(windowIcon());
    sub->resize(defaultTextWindowSize(m_mdi->viewport()->size()));
    sub->show();
    form->activationMark = Mark::Inactive;
    if (background) {
        if (previous)
            m_mdi->setActiveSubWindow(previous);
    } else {
        m_mdi->setActiveSubWindow(sub);
        textWindowActivated(sub);
    }
    // Whatever order the activations arrived in, the end state is one active window
    // marked active and every other window marked inactive.
    const TextWindow* active = activeWindow();
    for (TextWindow* other : windows())
        other->activationMark = other == active ? Mark::Active : Mark::Inactive;
    return form;
}

void MainWindow::textWindowActivated(QMdiSubWindow* subWindow)
{
    if (!subWindow || subWindow == m_lastActivated)
        return;
    auto* form = qobject_cast<TextWindow*>(subWindow->widget());
    if (!form)
        return;
    m_lastActivated = subWindow;
    form->activate();
    for (TextWindow* other : windows()) {
        if (other->activationMark != Mark::ActiveBeforeBackgroundOpen)
            other->activationMark = Mark::Inactive;
    }
    form->activationMark = Mark::Active;
}

void MainWindow::applyImeSetting()
{
    if (hasNoActiveWindow())
        return;
    const QString setting = m_services.store.read(keys::Ime).trimmed();
    m_commands->setImeState(setting.startsWith(u'1'));
}

void MainWindow::sendCommand(quint32 command, const QString& destination, qint32 port,
                             const QString& extra)
{
    m_messenger->sendCommand(command, destination, port, extra);
}

ipmsg::UserListDialog& MainWindow::userListDialog()
{
    if (!m_userListDialog) {
        m_userListDialog = new ipmsg::UserListDialog(
            *m_messenger, [this] { return m_endMode; }, this);
        // The engine may have loaded its state already (a datagram needed the peer
        // list while the dialog was closed); loading again would announce twice.
        if (!m_messenger->isLoaded())
            m_messenger->load();
    }
    return *m_userListDialog;
}

void MainWindow::sendActiveText()
{
    TextWindow* active = activeWindow();
    if (!active)
        return;
    const QString text = active->text();
    if (text.isEmpty())
        return;
    m_skipNextActivation = true;
    for (TextWindow* form : windows())
        form->sendState = TextWindow::SendState::Idle;
    userListDialog();
    active->sendState = TextWindow::SendState::Sending;
    m_messenger->sendActiveText(text, active->replyAddress, active->replyPort);
}

void MainWindow::openMessageWindow(const ipmsg::IncomingMessage& message)
{
    TextWindow* form = openTextWindow(WindowPlacement::Background);
    form->setText(message.text);
    form->setCaption(message.caption);
    form->replyAddress = message.replyAddress;
    form->replyPort = message.replyPort;
    form->setStatusText(message.statusText);
    if (message.background) {
        if (const auto colour = settings::colorFromValue(*message.background, palette()))
            form->setTextBackground(*colour);
    }
    if (message.sealed) {
        form->packetNumber = message.packetNumber;
        form->noticeOwed = message.noticeOwed;
        form->showSeal(message.passwordBox);
    }
}

void MainWindow::playArrivalSound()
{
    const QString path = m_services.store.read(keys::SoundFile);
    if (m_chimer && !path.isEmpty())
        m_chimer->Play(path);
}

void MainWindow::markSent()
{
    for (TextWindow* form : windows()) {
        if (form->sendState == TextWindow::SendState::Sending) {
            form->setStatusText(QStringLiteral("IPM(送信済)"));
            form->sendState = TextWindow::SendState::Idle;
            return;
        }
    }
}

void MainWindow::openFile(const QString& path)
{
    m_fileCommands->openFile(path);
}

void MainWindow::popupFileMenu(const QPoint& globalPos)
{
    m_commands->fileMenu()->popup(globalPos);
}

void MainWindow::hideToTray(bool mode)
{
    m_inTray = true;
    if (!TrayIcon::isAvailable()) {
        // No notification area: minimise, so the user can always get back.
        showMinimized();
        return;
    }
    hide();
    m_tray->add(mode ? icons::toolbarIcon(u"t_send") : windowIcon(), m_applicationName);
}

void MainWindow::setInTray(bool mode)
{
    m_inTray = false;
    m_messageWaiting = false;
    m_blinkTimer.stop();
    m_blinkPhase = false;
    if (mode)
        hide();
    else if (isMinimized())
        showNormal();
    else
        show();
    m_tray->remove();
}

void MainWindow::trayClicked(bool rightButton)
{
    setInTray(false);
    activateWindow();
    if (!m_services.clipboard.hasText())
        return;
    const TextWindow* active = activeWindow();
    if (active && active->text() == m_services.clipboard.text())
        return;
    openTextWindow(WindowPlacement::Foreground);
    m_clipboardCommands->viewClipboard();
    if (rightButton)
        m_clipboardCommands->copyWithReplyMarks(0);
}

void MainWindow::startBlinking()
{
    m_messageWaiting = true;
    m_blinkPhase = false;
    m_blinkTimer.start();
}

void MainWindow::blinkTick()
{
    if (!m_messageWaiting) {
        m_blinkTimer.stop();
        m_blinkPhase = false;
        return;
    }
    if (TrayIcon::isAvailable())
        hide();
    m_tray->modify(m_blinkPhase ? icons::toolbarIcon(u"t_send") : windowIcon());
    m_blinkPhase = !m_blinkPhase;
}

void MainWindow::fin()
{
    // Ends at once, storing nothing more (what was written before is already on
    // disk, since the store writes through), but says goodbye: peers would list us
    // until their messages to us failed.
    m_unloaded = true;
    m_messenger->exitBroadcast();
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

void MainWindow::arrange(int how)
{
    const auto arrangement = static_cast<Arrangement>(how);
    if (arrangement == Arrangement::Cascade) {
        m_mdi->cascadeSubWindows();
        return;
    }
    const QRect area = m_mdi->viewport()->rect();
    QList<QMdiSubWindow*> normal;
    QList<QMdiSubWindow*> minimised;
    for (QMdiSubWindow* sub : m_mdi->subWindowList(QMdiArea::StackingOrder)) {
        if (sub->isMinimized())
            minimised.append(sub);
        else if (sub->isVisible())
            normal.append(sub);
    }
    if (arrangement == Arrangement::ArrangeIcons) {
        const QSize iconSize = minimised.isEmpty() ? QSize() : minimised.front()->size();
        const QList<QRect> rects = iconRects(area, static_cast<int>(minimised.size()), iconSize);
        for (qsizetype i = 0; i < minimised.size(); ++i)
            minimised[i]->move(rects[i].topLeft());
        return;
    }
    const QList<QRect> rects = tileRects(area, static_cast<int>(normal.size()), arrangement);
    for (qsizetype i = 0; i < normal.size(); ++i) {
        if (normal[i]->isMaximized())
            normal[i]->showNormal();
        normal[i]->setGeometry(rects[i]);
    }
}

void MainWindow::runCommand(Command command)
{
    text::ClipboardCommands& clip = *m_clipboardCommands;
    text::FileCommands& files = *m_fileCommands;
    switch (command) {
    case Command::Send:
        sendActiveText();
        break;
    case Command::New:
        clip.newClipboardWindow();
        break;
    case Command::Open:
        files.open();
        break;
    case Command::Update:
        files.appendSave();
        break;
    case Command::SaveAs:
        files.saveAs();
        break;
    case Command::Print:
        files.print();
        break;
    case Command::PrinterSetup:
        files.setUpPrinter();
        break;
    case Command::End:
        fin();
        break;
    case Command::View:
        clip.viewClipboard();
        break;
    case Command::AllCopy:
        clip.copyAll();
        break;
    case Command::SelCopy:
        clip.copySelection();
        break;
    case Command::ResCopy:
        clip.copyWithReplyMarks(0);
        break;
    case Command::Paste:
        clip.paste();
        break;
    case Command::SpaceCut:
        clip.trimBlanks();
        break;
    case Command::CopyAndTask:
        clip.copyAllAndHide();
        break;
    case Command::ToTray:
        hideToTray(false);
        break;
    case Command::Empty:
        clip.clearText();
        break;
    case Command::JisIn:
        m_jisInMode = static_cast<qint16>(m_commands->jisIn());
        break;
    case Command::JisOut:
        m_jisOutMode = static_cast<qint16>(m_commands->jisOut());
        break;
    case Command::ImeOn:
        m_services.store.write(keys::Ime, QStringLiteral("1"));
        applyImeSetting();
        break;
    case Command::ImeOff:
        m_services.store.write(keys::Ime, QStringLiteral("0"));
        applyImeSetting();
        break;
    case Command::ImeToggle: {
        const std::optional<double> value = numericValue(m_services.store.read(keys::Ime));
        m_services.store.write(keys::Ime,
                               value && *value == 1 ? QStringLiteral("0") : QStringLiteral("1"));
        applyImeSetting();
        break;
    }
    case Command::Cascade:
        arrange(static_cast<int>(Arrangement::Cascade));
        break;
    case Command::TileHorizontal:
        arrange(static_cast<int>(Arrangement::TileHorizontal));
        break;
    case Command::TileVertical:
        arrange(static_cast<int>(Arrangement::TileVertical));
        break;
    case Command::ArrangeIcons:
        arrange(static_cast<int>(Arrangement::ArrangeIcons));
        break;
    case Command::Version:
        showVersion();
        break;
    case Command::PgpOptionSign:
    case Command::PgpOptionSend:
    case Command::PgpOptionRes:
    case Command::PgpOptionJis:
        m_commands->storePgpOption(command, m_services.store);
        break;
    default:
        // The conversion, encoder, PGP and settings commands belong to components and
        // dialogs this build does not have; their items are disabled at start-up.
        break;
    }
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
    m_messenger->exitBroadcast();
    savePlacement();
    if (m_inTray)
        setInTray(false);
    m_services.store.write(keys::JisEscapes,
                           QString::number(m_jisInMode) + QString::number(m_jisOutMode));
    m_services.store.write(keys::EncodeAsUnicode, m_commands->unicodeChecked()
                                                      ? QStringLiteral("0")
                                                      : QStringLiteral("1"));
    if (numericValue(m_commands->unicodeTag()))
        m_services.store.write(keys::HexLineWidth, m_commands->unicodeTag());
    m_services.endpoint.close();
}

void MainWindow::savePlacement()
{
    if (m_services.store.read(keys::SavePlacement) != u"1")
        return;
    const bool normal = !isMinimized() && !isMaximized() && !m_inTray;
    if (normal) {
        const qreal scale = twipsPerPixel(this);
        const QRect rect = geometry();
        m_services.store.write(keys::Placement,
                               QStringList{QString::number(qRound(rect.x() * scale)),
                                           QString::number(qRound(rect.y() * scale)),
                                           QString::number(qRound(rect.width() * scale)),
                                           QString::number(qRound(rect.height() * scale))}
                                   .join(u','));
    }
    QString mode;
    if (m_inTray)
        mode = QStringLiteral("3");
    else if (isMinimized())
        mode = QStringLiteral("1");
    else if (isMaximized())
        mode = QStringLiteral("2");
    else
        mode = QStringLiteral("0");
    m_services.store.write(keys::StartMode, mode);
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
