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

void ClipboardCommands::views()
{
    platform::Clipboard& clipboard = m_host.clipboard();
    const bool hasText = clipboard.hasText();
    if (m_host.activeWindow() == nullptr)
        m_host.new_win(1);
    Form1* window = m_host.activeWindow();
    if (window == nullptr)
        return;
    if (hasText) {
        window->SetTextData(clipboard.text());
        window->setCaption(m_host.applicationName());
    } else {
        window->SetTextData(QStringLiteral("ClipBord is not TEXT"));
    }
    window->color_chg();
    // The window is an ordinary one from now on (its next activation takes the ordinary
    // background); its file name and message bookkeeping stay.
    window->setStatusText(m_host.applicationName());
}

void ClipboardCommands::new_clip()
{
    m_host.new_win(1);
    views();
}

void ClipboardCommands::all_copy()
{
    Form1* window = m_host.activeWindow();
    if (window != nullptr && !window->GetTextData().isEmpty())
        all_sets();
}

void ClipboardCommands::sel_copy()
{
    Form1* window = m_host.activeWindow();
    if (window == nullptr)
        return;
    const QString s = window->GetSelTextData();
    if (!s.isEmpty())
        clip_copy(s);
}

void ClipboardCommands::copy_and_task()
{
    if (m_host.activeWindow() != nullptr)
        all_sets();
    m_host.f_to_tray(false);
}

void ClipboardCommands::pastes()
{
    Form1* window = m_host.activeWindow();
    platform::Clipboard& clipboard = m_host.clipboard();
    if (window == nullptr || !clipboard.hasText())
        return;
    window->SetSelTextData(clipboard.text());
}

void ClipboardCommands::emptys()
{
    m_host.clipboard().clear();
    m_host.messageBoxes().show(QStringLiteral("報告"),
                               QStringLiteral("クリップボードを空にしました"));
}

void ClipboardCommands::space_cut()
{
    Form1* window = m_host.activeWindow();
    if (window == nullptr)
        return;
    QString s = window->GetTextData();
    s = m_host.textgauge().TRimText(s, LineBreak);
    window->SetTextData(s);
}

void ClipboardCommands::clip_copy(const QString& s)
{
    platform::Clipboard& clipboard = m_host.clipboard();
    clipboard.clear();
    clipboard.setText(s);
}

void ClipboardCommands::all_sets()
{
    Form1* window = m_host.activeWindow();
    if (window == nullptr)
        return;
    const QString s = window->GetTextData();
    if (!s.isEmpty())
        clip_copy(s);
}

void ClipboardCommands::resset(qint16 mode)
{
    Form1* window = m_host.activeWindow();
    if (window == nullptr)
        return;
    QString text = window->GetSelTextData();
    if (text.isEmpty())
        text = window->GetTextData();
    text = m_host.textgauge().ResAddText(text, LineBreak, m_host.resMoji());
    // The whole window takes the marked text, also when only a selection was marked.
    window->SetTextData(text);
    window->color_chg();
    // Like every copy command, an empty result leaves the clipboard as it was.
    if (mode == 0 && !text.isEmpty())
        clip_copy(text);
}

} // namespace velmar::text
