#include "text/clipboard_commands.h"

#include "components/components.h"
#include "platform/clipboard.h"
#include "platform/message_boxes.h"
#include "text/host.h"
#include "text/text_window.h"

namespace velmar::text {

namespace {

const QString LineBreak = QStringLiteral("\r\n");

} // namespace

ClipboardCommands::ClipboardCommands(Host& host) : m_host(host) {}

void ClipboardCommands::viewClipboard()
{
    platform::Clipboard& clipboard = m_host.clipboard();
    const bool hasText = clipboard.hasText();
    if (m_host.activeWindow() == nullptr)
        m_host.openTextWindow(WindowPlacement::Foreground);
    TextWindow* window = m_host.activeWindow();
    if (window == nullptr)
        return;
    if (hasText) {
        window->setText(clipboard.text());
        window->setCaption(m_host.applicationName());
    } else {
        window->setText(QStringLiteral("ClipBord is not TEXT"));
    }
    window->applyReplyColours();
    // The window is an ordinary one from now on (its next activation takes the ordinary
    // background); its file name and message bookkeeping stay.
    window->setStatusText(m_host.applicationName());
}

void ClipboardCommands::newClipboardWindow()
{
    m_host.openTextWindow(WindowPlacement::Foreground);
    viewClipboard();
}

void ClipboardCommands::copyAll()
{
    TextWindow* window = m_host.activeWindow();
    if (window != nullptr && !window->text().isEmpty())
        selectAll();
}

void ClipboardCommands::copySelection()
{
    TextWindow* window = m_host.activeWindow();
    if (window == nullptr)
        return;
    const QString s = window->selectedText();
    if (!s.isEmpty())
        copyText(s);
}

void ClipboardCommands::copyAllAndHide()
{
    if (m_host.activeWindow() != nullptr)
        selectAll();
    m_host.hideToTray(false);
}

void ClipboardCommands::paste()
{
    TextWindow* window = m_host.activeWindow();
    platform::Clipboard& clipboard = m_host.clipboard();
    if (window == nullptr || !clipboard.hasText())
        return;
    window->replaceSelectedText(clipboard.text());
}

void ClipboardCommands::clearText()
{
    m_host.clipboard().clear();
    m_host.messageBoxes().show(QStringLiteral("報告"),
                               QStringLiteral("クリップボードを空にしました"));
}

void ClipboardCommands::trimBlanks()
{
    TextWindow* window = m_host.activeWindow();
    if (window == nullptr)
        return;
    QString s = window->text();
    s = m_host.textgauge().TRimText(s, LineBreak);
    window->setText(s);
}

void ClipboardCommands::copyText(const QString& s)
{
    platform::Clipboard& clipboard = m_host.clipboard();
    clipboard.clear();
    clipboard.setText(s);
}

void ClipboardCommands::selectAll()
{
    TextWindow* window = m_host.activeWindow();
    if (window == nullptr)
        return;
    const QString s = window->text();
    if (!s.isEmpty())
        copyText(s);
}

void ClipboardCommands::copyWithReplyMarks(ReplyCopy copy)
{
    TextWindow* window = m_host.activeWindow();
    if (window == nullptr)
        return;
    QString text = window->selectedText();
    if (text.isEmpty())
        text = window->text();
    text = m_host.textgauge().ResAddText(text, LineBreak, m_host.replyMark());
    // The whole window takes the marked text, also when only a selection was marked.
    window->setText(text);
    window->applyReplyColours();
    // Like every copy command, an empty result leaves the clipboard as it was.
    if (copy == ReplyCopy::ToClipboard && !text.isEmpty())
        copyText(text);
}

} // namespace velmar::text
