#pragma once

#include <QString>

namespace velmar::settings {

// What the settings dialog needs from the main window and the messaging engine.
// The main window implements it; tests use a recording fake.
class SettingsDialogHost {
public:
    virtual ~SettingsDialogHost() = default;

    // The port the UDP endpoint listens on now.
    virtual quint16 localPort() const = 0;
    // Moves the endpoint to `port`. False when that port cannot be bound; the
    // endpoint is then back on the port it had.
    virtual bool movePort(quint16 port) = 0;

    // The absence state: title (empty while present) and the automatic answer.
    virtual QString absenceTitle() const = 0;
    virtual QString absenceText() const = 0;
    virtual void setAbsence(const QString& title, const QString& text) = 0;
    // Announces the user to everybody, Retry times, with the absence title while absent.
    virtual void announce() = 0;

    // "セット" has stored everything: what the program keeps read (the reply mark,
    // the peer list's order) applies at once.
    virtual void applyStoredSettings() = 0;

    // Every open text window applies the stored font, background and reply colours again.
    virtual void reapplyTextWindows() = 0;
    // The dialog became the active window: the main window's next activation opens
    // no text window, and the next send error is reported again.
    virtual void settingsActivated() = 0;
    // Whether an arrival sound can be played at all.
    virtual bool hasSoundComponent() const = 0;
};

} // namespace velmar::settings
