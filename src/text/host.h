#pragma once

// What the text windows and the text commands need from the main window. MainWindow
// implements it; tests use a small fake.

#include <QString>

class QPoint;

namespace velmar::settings {
class SettingsStore;
}
namespace velmar::platform {
class Clipboard;
class MessageBoxes;
} // namespace velmar::platform
namespace velmar::components {
class Textgauge;
}

namespace velmar::text {

class TextWindow;

enum class WindowPlacement { Foreground, Background };

class Host {
public:
    virtual ~Host() = default;

    // "Velmar7": caption and status text of an ordinary text window.
    virtual QString applicationName() const = 0;
    virtual settings::SettingsStore& settings() = 0;
    virtual platform::Clipboard& clipboard() = 0;
    virtual platform::MessageBoxes& messageBoxes() = 0;
    // The character-check component (held by the main window); it lives as long as the main window.
    virtual components::Textgauge& textgauge() = 0;
    // The reply mark read at the last activation of the main window.
    virtual QString replyMark() const = 0;

    // The active text window, or nullptr (hasNoActiveWindow is `activeWindow() == nullptr`).
    virtual TextWindow* activeWindow() const = 0;
    // Opens a new text window. In the foreground it becomes the active window; in the
    // background (a message arriving) the active window stays active.
    virtual TextWindow* openTextWindow(WindowPlacement placement) = 0;
    // Every text window in collection (creation) order.
    virtual QList<TextWindow*> windows() const = 0;

    // Automatic IME setting applied to the active text window.
    virtual void applyImeSetting() = 0;
    // The command sender: read and discard notices of sealed messages go out here.
    virtual void sendCommand(quint32 command, const QString& destination, qint32 port,
                             const QString& extra) = 0;
    // Opens a file into a new window (dropped files).
    virtual void openFile(const QString& path) = 0;
    // Pops up the main window's File menu at a global position.
    virtual void popupFileMenu(const QPoint& globalPos) = 0;
    // Hides the program to the notification area.
    virtual void hideToTray(bool mode) = 0;
};

} // namespace velmar::text
