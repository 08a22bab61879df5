#pragma once

#include "settings/dialog_host.h"

#include <QList>

namespace velmar::settings::testing {

// Records what the settings dialog asks of the main window and the engine.
class FakeDialogHost final : public SettingsDialogHost {
public:
    quint16 localPort() const override { return port; }
    bool movePort(quint16 newPort) override
    {
        moves << newPort;
        if (busyPorts.contains(newPort))
            return false;
        port = newPort;
        return true;
    }
    QString absenceTitle() const override { return title; }
    QString absenceText() const override { return text; }
    void setAbsence(const QString& newTitle, const QString& newText) override
    {
        title = newTitle;
        text = newText;
    }
    void announce() override { announcements << title; }
    void reapplyTextWindows() override { ++reapplied; }
    void applyStoredSettings() override { ++applied; }
    void settingsActivated() override { ++activations; }
    bool hasSoundComponent() const override { return sound; }

    quint16 port = 2425;
    QList<quint16> busyPorts;
    QList<quint16> moves;
    QString title;
    QString text;
    // The absence title at each announcement.
    QStringList announcements;
    int reapplied = 0;
    int applied = 0;
    int activations = 0;
    bool sound = true;
};

} // namespace velmar::settings::testing
