#pragma once

#include <QObject>
#include <functional>
#include <optional>

class QThread;

namespace velmar::app {

// A yes/no question about the machine that takes a while to answer (is GnuPG
// installed?). The answer arrives through the event loop, once, after start().
class AvailabilityCheck : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    virtual void start() = 0;

Q_SIGNALS:
    void answered(bool available);
};

// Runs `probe` on a thread of its own, so that the window's thread goes on meanwhile.
// The probe must not touch widgets; the object waits for it when destroyed.
class ThreadedAvailabilityCheck final : public AvailabilityCheck {
    Q_OBJECT
public:
    explicit ThreadedAvailabilityCheck(std::function<bool()> probe, QObject* parent = nullptr);
    ~ThreadedAvailabilityCheck() override;
    void start() override;

private:
    std::function<bool()> m_probe;
    QThread* m_thread = nullptr;
};

// Whether a component exists, learnt from a check that may answer late. Work that
// needs the answer waits for it, in the order it was asked for.
class LateAnswer final : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Takes the answer from `check` (started here), or with no check, from `ask` at once.
    void start(AvailabilityCheck* check, const std::function<bool()>& ask);
    std::optional<bool> answer() const { return m_answer; }
    // Runs `next` at once when the answer is known, else when it arrives.
    void whenKnown(std::function<void()> next);

Q_SIGNALS:
    void known(bool available);

private:
    void take(bool available);

    std::optional<bool> m_answer;
    QList<std::function<void()>> m_waiting;
};

} // namespace velmar::app
