#include "app/pgp_host.h"

#include "app/main_window.h"
#include "text/clipboard_commands.h"
#include "text/text_window.h"

#include <QAction>
#include <QPointer>

namespace velmar::app {

namespace {

// One text window's text; a window closed meanwhile keeps nothing.
class TextWindowDocument final : public convert::PgpDocument {
public:
    explicit TextWindowDocument(text::TextWindow* window) : m_window(window) {}
    QString text() const override { return m_window ? m_window->text() : QString(); }
    void setText(const QString& text) override
    {
        if (m_window)
            m_window->setText(text);
    }

private:
    QPointer<text::TextWindow> m_window;
};

} // namespace

const components::ComponentRegistry& MainWindowPgpHost::registry() const
{
    return m_window.registry();
}

platform::MessageBoxes& MainWindowPgpHost::messageBoxes()
{
    return m_window.messageBoxes();
}

convert::PgpOptions MainWindowPgpHost::pgpOptions() const
{
    const auto marked = [this](QStringView name) {
        const QAction* item = m_window.commands().action(name);
        return item && item->isChecked();
    };
    return convert::PgpOptions{marked(u"m_pgpSign"), marked(u"m_pgpSend"), marked(u"m_pgpRes"),
                               marked(u"m_pgpJIS")};
}

std::unique_ptr<convert::PgpDocument> MainWindowPgpHost::activeDocument()
{
    text::TextWindow* active = m_window.activeWindow();
    if (!active)
        return nullptr;
    return std::make_unique<TextWindowDocument>(active);
}

void MainWindowPgpHost::sendMessage()
{
    m_window.sendActiveText();
}

void MainWindowPgpHost::addReplyMarks()
{
    m_window.clipboardCommands().copyWithReplyMarks(text::ReplyCopy::MarkOnly);
}

void MainWindowPgpHost::disablePgpItems()
{
    m_window.commands().disablePgpMenuItems();
}

} // namespace velmar::app
