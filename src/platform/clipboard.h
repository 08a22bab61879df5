#pragma once

#include "platform/line_breaks.h"

#include <QString>
#include <functional>
#include <memory>

class QObject;

namespace velmar::platform {

class WaylandClipboardWriter;

// The system clipboard in its plain-text format. The program's text uses CRLF
// line breaks; implementations convert at this boundary.
class Clipboard {
public:
    virtual ~Clipboard() = default;
    virtual bool hasText() const = 0;
    // The clipboard text with CRLF line breaks.
    virtual QString text() const = 0;
    virtual void clear() = 0;
    // Replaces the clipboard content by `crlfText` (stored with LF line breaks).
    virtual void setText(const QString& crlfText) = 0;
    // Runs `step` once the clipboard shows what the desktop holds, unless `context`
    // is gone by then. By default at once.
    virtual void whenReadable(QObject* context, std::function<void()> step)
    {
        (void)context;
        step();
    }
};

// The system clipboard through Qt. On Wayland a program is handed the clipboard only
// while it has the keyboard focus: reading it before (right after a window is shown,
// or while the window is hidden) finds nothing. There whenReadable() waits for the
// focus or for the clipboard to arrive, at most WaylandWaitMs; elsewhere (X11) it
// runs the step at once.
//
// Writing on Wayland goes through clipboard control where the compositor offers it
// (WaylandClipboardWriter): a copy made right after a click on the notification area
// then reaches the desktop too. Elsewhere, and where that fails, Qt writes it.
class QtClipboard final : public Clipboard {
public:
    static constexpr int WaylandWaitMs = 1000;

    QtClipboard();
    ~QtClipboard() override;

    void whenReadable(QObject* context, std::function<void()> step) override;
    bool hasText() const override;
    QString text() const override;
    void clear() override;
    void setText(const QString& crlfText) override;

private:
    // The clipboard-control writer, connected at the first write on Wayland; null
    // where there is none.
    WaylandClipboardWriter* waylandWriter();
    // Hands a write to the clipboard-control writer; false when Qt must make it.
    bool writeThroughWayland(const QByteArray* utf8);

    std::unique_ptr<WaylandClipboardWriter> m_wayland;
    bool m_waylandTried = false;
};

} // namespace velmar::platform
