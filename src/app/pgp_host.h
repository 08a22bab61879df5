#pragma once

#include "convert/pgp_commands.h"

namespace velmar::app {

class MainWindow;

// The main window as the PGP commands see it: the option marks of its menu, its
// active text window, the send and reply-mark commands.
class MainWindowPgpHost final : public convert::PgpHost {
public:
    explicit MainWindowPgpHost(MainWindow& window) : m_window(window) {}

    const components::ComponentRegistry& registry() const override;
    platform::MessageBoxes& messageBoxes() override;
    convert::PgpOptions pgpOptions() const override;
    std::unique_ptr<convert::PgpDocument> activeDocument() override;
    void sendMessage() override;
    void addReplyMarks() override;
    void disablePgpItems() override;

private:
    MainWindow& m_window;
};

} // namespace velmar::app
