#include "app/arrival_notifier.h"
#include "app/main_window.h"
#include "app/text_window_area.h"
#include "components/registry.h"
#include "ipmsg/messenger.h"
#include "ipmsg/packet.h"
#include "ipmsg/ui/user_list_dialog.h"
#include "platform/clipboard.h"
#include "settings/colour_value.h"
#include "settings/keys.h"
#include "text/clipboard_commands.h"
#include "text/text_area.h"
#include "text/text_window.h"

#include <QApplication>
#include <QDateTime>
#include <QLineEdit>
#include <QTime>

// The main window's side of messaging: sending the active text, showing what
// arrives, and the notification-area icon that announces it.

namespace velmar::app {

using text::TextWindow;
using text::WindowPlacement;
namespace keys = settings::keys;

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

TextWindow* MainWindow::showMessage(const ipmsg::IncomingMessage& message)
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
        trackSeal(form, message);
    }
    m_newestMessage = form;
    return form;
}

void MainWindow::openMessageWindow(const ipmsg::IncomingMessage& message)
{
    announceMessage(message, showMessage(message), true);
}

void MainWindow::announceMessage(const ipmsg::IncomingMessage& message, TextWindow* form,
                                 bool newWindow)
{
    // The user looks elsewhere: ask the window manager to draw attention to the
    // window and pop up a notification (which gathers a burst into one).
    const bool programOutOfSight = !isVisible() || isMinimized() || !isActiveWindow();
    // A message opens behind the window the user works in: it is told of by a
    // notification too, which takes no focus and leaves the user's place alone.
    const bool behindAnother = form && activeWindow() != form;
    if (!programOutOfSight && !behindAnother)
        return;
    if (programOutOfSight && newWindow)
        QApplication::alert(this);
    m_notifier->messageArrived(ArrivalNotifier::senderName(message.caption), message.text,
                               message.sealed, form);
}

namespace {

// A collected message under the line naming its arrival time (and, in the window that
// collects every sender's messages, its sender).
QString collectedEntry(const QTime& arrival, const ipmsg::IncomingMessage& message)
{
    const QString rule = QStringLiteral("────");
    QString line = rule + u' ' + arrival.toString(QStringLiteral("HH:mm:ss"));
    if (message.storm)
        line += u' ' + message.senderName + QStringLiteral(" (") +
                ipmsg::addressEntry(QString::number(message.replyPort), message.replyAddress) +
                u')';
    return line + (message.sealed ? QStringLiteral(" 封書 ") : QStringLiteral(" ")) + rule +
           QStringLiteral("\r\n") + message.text;
}

} // namespace

void MainWindow::collectMessage(const ipmsg::IncomingMessage& message)
{
    // Sealed messages keep their seal: they are collected behind a sealed window, and
    // opening it sends the read notice of every one that asks for it (closing it unopened,
    // the discard notices). A sealed message finding the collecting window already open
    // starts a new, sealed one, which then takes the further messages too; in the
    // window of every sender, it seals that window again.
    // Giving each sealed message a window of its own instead would let a flood bury
    // the screen just by setting the seal option.
    const QString entry = collectedEntry(QTime::currentTime(), message);
    if (m_collectingWindows.size() > 64) // forget the windows the user has closed
        m_collectingWindows.removeIf(
            [](const QHash<QString, QPointer<TextWindow>>::iterator& it) { return !*it; });
    // Every sender's messages share the window under the empty key.
    const QString key = message.storm ? QString() : message.replyAddress;
    TextWindow* collecting = m_collectingWindows.value(key);
    // A closed window lives on until its deferred deletion; Qt clears WA_DeleteOnClose
    // when it schedules that, and what is appended to it then would be lost.
    if (collecting && !collecting->testAttribute(Qt::WA_DeleteOnClose))
        collecting = nullptr;
    // The window of every sender stays one: a sealed message covers it again instead.
    if (!collecting || (!message.storm && message.sealed && !collecting->isSealed())) {
        ipmsg::IncomingMessage first = message;
        first.text = entry;
        if (message.storm) {
            // Many senders: no one of them is the reply target of this window.
            const QString many = QStringLiteral("多数の送信者");
            first.caption =
                QStringLiteral("From Network ") + many + QStringLiteral("(IP Messenger Protcol) ") +
                QDateTime::currentDateTime().toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
            first.replyAddress.clear();
            first.replyPort = 0;
            first.statusText = QStringLiteral("IPM(") + many + u')';
            first.noticeOwed = false;
        }
        collecting = showMessage(first);
        if (message.storm && message.sealed && message.noticeOwed)
            collecting->collectedNotices.append(
                {message.replyAddress, message.replyPort, message.packetNumber});
        m_collectingWindows.insert(key, collecting);
        announceMessage(message, collecting, true);
        return;
    }
    collecting->appendMessage(QStringLiteral("\r\n") + entry);
    if (message.sealed && !collecting->isSealed())
        collecting->showSeal(message.passwordBox);
    if (message.sealed) {
        if (message.noticeOwed)
            collecting->collectedNotices.append(
                {message.replyAddress, message.replyPort, message.packetNumber});
        if (message.passwordBox && collecting->passwordEdit->isHidden())
            collecting->showSeal(true);
        if (collecting->isSealed())
            trackSeal(collecting, message);
    }
    m_newestMessage = collecting;
    announceMessage(message, collecting, false);
}

void MainWindow::comeToFront()
{
    if (m_tray->inTray())
        leaveTray(AfterTray::ShowWindow);
    else if (isMinimized())
        showNormal();
    else
        show();
    raise();
    activateWindow();
}

void MainWindow::notificationClicked(TextWindow* window)
{
    comeToFront();
    if (window)
        m_windows->activate(*window);
}

void MainWindow::playArrivalSound()
{
    const QString path = m_services.store.read(keys::SoundFile);
    if (path.isEmpty())
        return;
    if (components::Chimer* sound = chimer())
        sound->Play(path);
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

void MainWindow::hideToTray(bool /*withMessageIcon*/)
{
    // Every caller hides with the program's icon; the message icon only blinks.
    m_tray->hideToTray(m_applicationName);
}

void MainWindow::leaveTray(AfterTray after)
{
    m_tray->leaveTray(after);
}

void MainWindow::trayClicked(platform::TrayClick click)
{
    const bool messageWaiting = m_tray->messageWaiting();
    leaveTray(AfterTray::ShowWindow);
    activateWindow();
    // The window was hidden: on Wayland the clipboard comes with the focus.
    m_services.clipboard.whenReadable(this, [this, click, messageWaiting] {
        if (m_unloaded)
            return;
        // The icon announced a message: that is what the user came back for, and no
        // clipboard window goes on top of it.
        const bool showMessage = messageWaiting && m_newestMessage;
        const TextWindow* active = activeWindow();
        if (!showMessage && m_services.clipboard.hasText() &&
            !(active && active->text() == m_services.clipboard.text())) {
            openTextWindow(WindowPlacement::Foreground);
            m_clipboardCommands->viewClipboard();
            if (click == platform::TrayClick::Right)
                m_clipboardCommands->copyWithReplyMarks(text::ReplyCopy::ToClipboard);
        }
        if (showMessage)
            m_windows->activate(*m_newestMessage);
        // The keys go to the text the user came back to (not to a window frame), and
        // so does the automatic IME. A sealed window's area takes no focus.
        if (TextWindow* front = activeWindow())
            front->textArea()->setFocus(Qt::ActiveWindowFocusReason);
    });
}

void MainWindow::startBlinking()
{
    m_tray->startBlinking();
}

} // namespace velmar::app
