#pragma once

#include <QByteArray>
#include <memory>

class QThread;

namespace velmar::platform {

class WaylandClipboardConnection;

// Sets the clipboard of a Wayland compositor that offers clipboard control to its
// clients (the wlroots family: sway, Hyprland, labwc, Wayfire; KDE's KWin).
//
// A Wayland compositor takes a clipboard from an ordinary client only together with a
// recent input event of that client: a copy made after a click on the notification
// area (another program's surface), or from a window that was just shown and has had
// no key or button yet, is ignored. Clipboard control needs no input event; it is
// what command-line clipboard tools use.
//
// The writer holds a Wayland connection of its own, served by a thread of its own: the
// program's own windows may read the clipboard it set (a paste blocks the window's
// thread until the text has come through a pipe) without waiting for themselves.
class WaylandClipboardWriter {
public:
    // A writer connected to the compositor, or nullptr when the program does not run
    // on Wayland or the compositor offers no clipboard control.
    static std::unique_ptr<WaylandClipboardWriter> connect();
    ~WaylandClipboardWriter();
    WaylandClipboardWriter(const WaylandClipboardWriter&) = delete;
    WaylandClipboardWriter& operator=(const WaylandClipboardWriter&) = delete;

    // Offers `utf8` as the clipboard's text until another program sets the
    // clipboard. Returns once the compositor has taken it; false when the connection
    // has failed (the writer is then of no further use).
    bool setText(const QByteArray& utf8);
    // Empties the clipboard; false when the connection has failed.
    bool clear();

private:
    WaylandClipboardWriter(std::unique_ptr<QThread> thread, WaylandClipboardConnection* connection);

    std::unique_ptr<QThread> m_thread;
    // Lives on m_thread; deleted there when the thread ends.
    WaylandClipboardConnection* m_connection;
};

} // namespace velmar::platform
