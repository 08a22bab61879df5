#include "platform/clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QPointer>
#include <QTimer>
#include <QWindow>
#include <memory>

namespace velmar::platform {

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
    QGuiApplication::clipboard()->clear();
}

void QtClipboard::setText(const QString& crlfText)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(crlfToLf(crlfText));
}

} // namespace velmar::platform
