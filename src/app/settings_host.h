#pragma once

#include "settings/dialog_host.h"

namespace velmar::app {

class MainWindow;

// The settings dialog's view of the main window and the messaging engine.
class SettingsHost final : public settings::SettingsDialogHost {
public:
    explicit SettingsHost(MainWindow& window) : m_window(window) {}

    quint16 localPort() const override;
    bool movePort(quint16 port) override;
    QString absenceTitle() const override;
    QString absenceText() const override;
    void setAbsence(const QString& title, const QString& text) override;
    void announce() override;
    void applyStoredSettings() override;
    void reapplyTextWindows() override;
    void settingsActivated() override;
    bool hasSoundComponent() const override;

private:
    MainWindow& m_window;
};

} // namespace velmar::app
