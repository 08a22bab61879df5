#include "app/background_check.h"

#include <QThread>

namespace velmar::app {

ThreadedAvailabilityCheck::ThreadedAvailabilityCheck(std::function<bool()> probe, QObject* parent)
    : AvailabilityCheck(parent), m_probe(std::move(probe))
{
}

ThreadedAvailabilityCheck::~ThreadedAvailabilityCheck()
{
    if (m_thread) {
        m_thread->wait();
        delete m_thread;
    }
}

void ThreadedAvailabilityCheck::start()
{
    if (m_thread)
        return;
    m_thread = QThread::create([this] {
        const bool available = m_probe();
        // Queued to this object's thread; dropped when the object is gone by then.
        QMetaObject::invokeMethod(
            this, [this, available] { Q_EMIT answered(available); }, Qt::QueuedConnection);
    });
    m_thread->start(QThread::LowPriority);
}

void LateAnswer::start(AvailabilityCheck* check, const std::function<bool()>& ask)
{
    if (!check) {
        take(ask());
        return;
    }
    connect(check, &AvailabilityCheck::answered, this, &LateAnswer::take, Qt::SingleShotConnection);
    check->start();
}

void LateAnswer::whenKnown(std::function<void()> next)
{
    if (m_answer)
        next();
    else
        m_waiting.append(std::move(next));
}

void LateAnswer::take(bool available)
{
    if (m_answer)
        return;
    m_answer = available;
    Q_EMIT known(available);
    const QList<std::function<void()>> waiting = std::exchange(m_waiting, {});
    for (const auto& next : waiting)
        next();
}

} // namespace velmar::app
