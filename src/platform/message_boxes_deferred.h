#pragma once

#include "platform/message_boxes.h"

#include <QObject>
#include <QQueue>
#include <QString>
#include <functional>

namespace velmar::platform {

// Boxes that a datagram or a timer causes. A modal box runs an event loop of its own;
// shown inside a socket's or a timer's handler it would keep that handler from
// returning, and a socket does not notify again while its handler runs. So these boxes
// are shown after the handler has returned, from the event loop, one at a time: a box
// posted while another is open waits for it to close. Receiving goes on meanwhile.
class DeferredMessageBoxes final : public QObject {
    Q_OBJECT
public:
    struct Box {
        QString title;
        QString text;
    };
    // Makes the box when its turn comes, so that what gathered meanwhile goes into it;
    // an empty title shows nothing.
    using Composer = std::function<Box()>;

    explicit DeferredMessageBoxes(MessageBoxes& boxes, QObject* parent = nullptr);

    // Queues a box. The same title and text waiting already is not queued twice, and
    // past MaxWaiting boxes further ones are dropped: a burst of faults cannot bury the
    // user under boxes or fill the memory.
    void post(const QString& title, const QString& text);
    // False when the box was dropped.
    bool post(Composer composer);
    static constexpr qsizetype MaxWaiting = 16;

    qsizetype waiting() const { return m_waiting.size(); }
    bool isShowing() const { return m_showing; }
    MessageBoxes& boxes() { return m_boxes; }

private:
    struct Entry {
        Box fixed;
        Composer composer;
    };
    void schedule();
    void showWaiting();

    MessageBoxes& m_boxes;
    QQueue<Entry> m_waiting;
    bool m_showing = false;
    bool m_scheduled = false;
};

} // namespace velmar::platform
