#pragma once

#include "convert/pgp_commands.h"

#include <QPointer>

class QThread;
class QWidget;

namespace velmar::app {

class MainWindow;

// The main window as the PGP commands see it: the option marks of its menu, its
// text windows, the send and reply-mark commands, and a worker thread for GnuPG with
// its progress and cancel button in the main window's status bar.
class MainWindowPgpHost final : public convert::PgpHost {
public:
    explicit MainWindowPgpHost(MainWindow& window) : m_window(window) {}
    ~MainWindowPgpHost() override;

    const components::ComponentRegistry& registry() const override;
    platform::MessageBoxes& messageBoxes() override;
    convert::PgpOptions pgpOptions() const override;
    std::unique_ptr<convert::PgpDocument> activeDocument() override;
    void whenPgpKnown(std::function<void()> next) override;
    QString kanjiConvert(const QString& text, bool toJis) override;
    void runOperation(convert::PgpOperation operation) override;
    std::unique_ptr<convert::PgpDocument> newDocument() override;
    void sendMessage(convert::PgpDocument* document) override;
    void addReplyMarks(convert::PgpDocument& document) override;
    void disablePgpItems() override;

    // The status-bar piece that shows a running operation; null when none runs.
    QWidget* progress() const { return m_progress; }
    // Asks the running operation to stop (its cancel button).
    void cancelOperation();

private:
    void activate(convert::PgpDocument* document);

    MainWindow& m_window;
    QThread* m_worker = nullptr;
    QPointer<QWidget> m_progress;
    std::function<void()> m_cancel;
};

} // namespace velmar::app
