#include "app/pgp_host.h"

#include "app/main_window.h"
#include "convert/conversion_commands.h"
#include "text/clipboard_commands.h"
#include "text/text_area.h"
#include "text/text_window.h"

#include <QAction>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QThread>

namespace velmar::app {

namespace {

// One text window's text; a window closed meanwhile keeps nothing.
class TextWindowDocument final : public convert::PgpDocument {
public:
    explicit TextWindowDocument(text::TextWindow* window) : m_window(window) {}
    bool exists() const override { return !m_window.isNull(); }
    QString text() const override { return m_window ? m_window->text() : QString(); }
    void setText(const QString& text) override
    {
        if (m_window)
            m_window->setText(text);
    }
    void setBusy(bool busy) override
    {
        if (m_window)
            m_window->textArea()->setReadOnly(busy);
    }
    text::TextWindow* window() const { return m_window; }

private:
    QPointer<text::TextWindow> m_window;
};

// How long the end of the program waits for GnuPG to stop after a cancel.
constexpr unsigned long ShutdownWaitMs = 3000;

} // namespace

MainWindowPgpHost::~MainWindowPgpHost()
{
    if (!m_worker)
        return;
    // The program ends while GnuPG works: stop it; a worker that does not end in time
    // is left to the end of the process (deleting a running thread would abort it).
    if (m_cancel)
        m_cancel();
    if (m_worker->wait(ShutdownWaitMs))
        delete m_worker;
}

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

void MainWindowPgpHost::whenPgpKnown(std::function<void()> next)
{
    m_window.whenPgpKnown(std::move(next));
}

QString MainWindowPgpHost::kanjiConvert(const QString& text, bool toJis)
{
    return m_window.conversionCommands().kanjiConvert(text, toJis);
}

void MainWindowPgpHost::runOperation(convert::PgpOperation operation)
{
    auto* progress = new QWidget;
    progress->setObjectName(QStringLiteral("pgpProgress"));
    auto* layout = new QHBoxLayout(progress);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new QLabel(QStringLiteral("PGP: %1しています…").arg(operation.description)));
    auto* cancel = new QPushButton(QStringLiteral("中止"));
    cancel->setObjectName(QStringLiteral("pgpCancel"));
    layout->addWidget(cancel);
    QStatusBar* bar = m_window.statusBar();
    const bool barWasVisible = bar->isVisible();
    bar->addPermanentWidget(progress);
    bar->show();
    m_progress = progress;
    m_cancel = operation.cancel;
    QObject::connect(cancel, &QPushButton::clicked, progress, [this, cancel] {
        cancel->setEnabled(false);
        cancelOperation();
    });

    m_worker = QThread::create(std::move(operation.work));
    QThread* worker = m_worker;
    QObject::connect(worker, &QThread::finished, &m_window,
                     [this, worker, bar, barWasVisible, done = std::move(operation.done)] {
                         delete m_progress;
                         if (!barWasVisible)
                             bar->hide();
                         m_cancel = nullptr;
                         m_worker = nullptr;
                         worker->deleteLater();
                         done();
                     });
    worker->start();
}

void MainWindowPgpHost::cancelOperation()
{
    if (m_cancel)
        m_cancel();
}

std::unique_ptr<convert::PgpDocument> MainWindowPgpHost::newDocument()
{
    return std::make_unique<TextWindowDocument>(
        m_window.openTextWindow(text::WindowPlacement::Foreground));
}

void MainWindowPgpHost::activate(convert::PgpDocument* document)
{
    if (auto* own = dynamic_cast<TextWindowDocument*>(document); own && own->window())
        m_window.activateTextWindow(*own->window());
}

void MainWindowPgpHost::sendMessage(convert::PgpDocument* document)
{
    // The send command takes the active window's text: make it the encrypted one.
    activate(document);
    m_window.sendActiveText();
}

void MainWindowPgpHost::addReplyMarks(convert::PgpDocument& document)
{
    activate(&document);
    m_window.clipboardCommands().copyWithReplyMarks(text::ReplyCopy::MarkOnly);
}

void MainWindowPgpHost::disablePgpItems()
{
    m_window.commands().disablePgpMenuItems();
}

} // namespace velmar::app
