#include "platform/clipboard.h"

#include "platform/wayland_clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QPointer>
#include <QTimer>
#include <QWindow>
#include <memory>
#include <utility>

namespace velmar::platform {

QtClipboard::QtClipboard() = default;
QtClipboard::~QtClipboard() = default;

void QtClipboard::whenReadable(QObject* context, std::function<void()> step)
{
    if (!QGuiApplication::platformName().startsWith(QLatin1String("wayland")) ||
        QGuiApplication::focusWindow()) {
        step();
        return;
    }
    // Whichever comes first (the focus, the clipboard, the bound) runs the step, once.
    auto* wait = new QObject(context);
    auto run = [wait, step = std::move(step)]() mutable {
        if (!step)
            return;
        const std::function<void()> once = std::exchange(step, {});
        wait->deleteLater();
        once();
    };
    auto shared = std::make_shared<decltype(run)>(std::move(run));
    QObject::connect(qGuiApp, &QGuiApplication::focusWindowChanged, wait, [shared](QWindow* now) {
        if (now)
            (*shared)();
    });
    QObject::connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, wait,
                     [shared] { (*shared)(); });
    QTimer::singleShot(WaylandWaitMs, wait, [shared] { (*shared)(); });
}

bool QtClipboard::hasText() const
{
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    return data && data->hasText();
}

QString QtClipboard::text() const
{
    return toCrlf(QGuiApplication::clipboard()->text());
}

void QtClipboard::clear()
{
    if (writeThroughWayland(nullptr))
        return;
    QGuiApplication::clipboard()->clear();
}

void QtClipboard::setText(const QString& crlfText)
{
    const QString text = crlfToLf(crlfText);
    const QByteArray utf8 = text.toUtf8();
    if (writeThroughWayland(&utf8))
        return;
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(text);
}

WaylandClipboardWriter* QtClipboard::waylandWriter()
{
    if (!std::exchange(m_waylandTried, true))
        m_wayland = WaylandClipboardWriter::connect();
    return m_wayland.get();
}

bool QtClipboard::writeThroughWayland(const QByteArray* utf8)
{
    WaylandClipboardWriter* writer = waylandWriter();
    if (!writer)
        return false;
    if (utf8 ? writer->setText(*utf8) : writer->clear())
        return true;
    // The compositor has closed the connection: Qt writes from now on.
    m_wayland.reset();
    return false;
}

} // namespace velmar::platform
