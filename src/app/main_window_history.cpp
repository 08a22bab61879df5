#include "app/main_window.h"
#include "history/history_recorder.h"
#include "history/history_writer.h"
#include "history/ui/history_window.h"
#include "ipmsg/messenger.h"
#include "platform/message_boxes.h"
#include "text/text_window.h"

#include <QMessageBox>

// The main window's side of the message history: the recorder hooked into the
// messaging engine, the seals of the windows it shows, and the 履歴 window.

namespace velmar::app {

using text::TextWindow;
using text::WindowPlacement;

void MainWindow::startHistory()
{
    if (m_services.historyFolder.isEmpty())
        return;
    m_history =
        std::make_unique<history::HistoryRecorder>(m_services.store, m_services.historyFolder);
    m_history->setProblemHandler(
        [this](const QString& title, const QString& text) { m_services.boxes.show(title, text); });
    m_messenger->setMessageLog(m_history.get());
    // What a killed run left in the journal is stored now, not at the next message.
    if (history::HistoryWriter* writer = m_history->writer()) {
        connect(writer, &history::HistoryWriter::stored, this, [this] {
            if (m_historyWindow && m_historyWindow->isVisible())
                m_historyWindow->refreshSoon();
        });
    }
}

void MainWindow::trackSeal(TextWindow* form, const ipmsg::IncomingMessage& message)
{
    if (!m_history || !message.sealed || message.historyId.isEmpty())
        return;
    m_history->attachSealed(form, message.historyId);
    // Connected for each message: the recorder answers the first signal only.
    history::HistoryRecorder* recorder = m_history.get();
    connect(form, &TextWindow::sealOpened, recorder,
            [recorder, form] { recorder->sealOpened(form); });
    connect(form, &TextWindow::sealDiscarded, recorder,
            [recorder, form] { recorder->sealDiscarded(form); });
}

history::HistoryWindow& MainWindow::historyWindow()
{
    if (!m_historyWindow) {
        const QString path = m_history ? m_history->databasePath()
                                       : m_services.historyFolder + QStringLiteral("/") +
                                             history::HistoryWriter::databaseName();
        m_historyWindow = new history::HistoryWindow(
            path, [this](const history::HistoryMessage& message) { openHistoryMessage(message); },
            this);
    }
    return *m_historyWindow;
}

void MainWindow::showHistory()
{
    history::HistoryWindow& window = historyWindow();
    window.show();
    window.raise();
    window.activateWindow();
}

void MainWindow::openHistoryMessage(const history::HistoryMessage& message)
{
    // Shown as it came: the reply goes to the sender (or, for a sent message, to its
    // first recipient).
    m_skipNextActivation = true;
    TextWindow* form = openTextWindow(WindowPlacement::Foreground);
    form->setText(message.text);
    form->setCaption(history::historyCaption(message));
    form->replyAddress = message.peer.address;
    form->replyPort = message.peer.port;
    form->setStatusText(QStringLiteral("IPM(未返信)") + QString::number(message.peer.port) + u':' +
                        message.peer.address);
    comeToFront();
}

bool MainWindow::confirm(const QString& title, const QString& text)
{
    return m_confirm ? m_confirm(title, text)
                     : QMessageBox::question(this, title, text) == QMessageBox::Yes;
}

bool MainWindow::mayEndWithSealedMessages()
{
    // With the history on, they stay in it as unopened; otherwise ending discards them.
    // (Without a history folder at all, as in tests, 終了 ends as it always did.)
    if (!m_history || m_history->enabled())
        return true;
    QList<TextWindow*> sealed;
    for (TextWindow* form : windows()) {
        if (form->isSealed())
            sealed << form;
    }
    if (sealed.isEmpty())
        return true;
    if (!confirm(QStringLiteral("確認"), QStringLiteral("開封していない封書が %1 通あります。\r\n"
                                                        "見ずに破棄して終了しますか?")
                                             .arg(sealed.size())))
        return false;
    // Closing each sends its discard notice, as closing it by hand would.
    for (TextWindow* form : std::as_const(sealed)) {
        if (QWidget* frame = form->parentWidget())
            frame->close();
        else
            form->close();
    }
    return true;
}

void MainWindow::clearHistory()
{
    if (!m_history)
        return;
    if (!confirm(QStringLiteral("確認"), QStringLiteral("履歴をすべて消去します。よろしいですか?")))
        return;
    m_history->clear();
    if (m_historyWindow)
        m_historyWindow->refresh();
}

} // namespace velmar::app
