#include "platform/message_boxes_deferred.h"

#include <QTimer>
#include <algorithm>

namespace velmar::platform {

DeferredMessageBoxes::DeferredMessageBoxes(MessageBoxes& boxes, QObject* parent)
    : QObject(parent), m_boxes(boxes)
{
}

void DeferredMessageBoxes::post(const QString& title, const QString& text)
{
    const bool queued = std::any_of(m_waiting.cbegin(), m_waiting.cend(), [&](const Entry& e) {
        return !e.composer && e.fixed.title == title && e.fixed.text == text;
    });
    if (queued || m_waiting.size() >= MaxWaiting)
        return;
    m_waiting.enqueue({{title, text}, {}});
    schedule();
}

bool DeferredMessageBoxes::post(Composer composer)
{
    if (m_waiting.size() >= MaxWaiting)
        return false;
    m_waiting.enqueue({{}, std::move(composer)});
    schedule();
    return true;
}

void DeferredMessageBoxes::schedule()
{
    // While a box is open, the loop in showWaiting takes the new one after it.
    if (m_showing || m_scheduled)
        return;
    m_scheduled = true;
    QTimer::singleShot(0, this, &DeferredMessageBoxes::showWaiting);
}

void DeferredMessageBoxes::showWaiting()
{
    m_scheduled = false;
    if (m_showing)
        return;
    m_showing = true;
    while (!m_waiting.isEmpty()) {
        const Entry entry = m_waiting.dequeue();
        const Box box = entry.composer ? entry.composer() : entry.fixed;
        if (!box.title.isEmpty())
            m_boxes.show(box.title, box.text);
    }
    m_showing = false;
}

} // namespace velmar::platform
