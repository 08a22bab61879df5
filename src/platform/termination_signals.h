#pragma once

// SIGTERM, SIGINT and SIGHUP (a logout, `kill`, Ctrl+C in a terminal) as a Qt
// signal, so the program can end in order instead of vanishing mid-step. The
// handler only writes the signal's number to a pipe; the notifier reads it on the
// object's thread. A second signal of the same kind ends the process the default
// way, in case the orderly end is stuck. A signal ignored at start (`nohup`) stays
// ignored.

#include <QObject>

class QSocketNotifier;

namespace velmar::platform {

class TerminationSignals final : public QObject {
    Q_OBJECT
public:
    // Installs the handlers. Only one object may exist at a time.
    explicit TerminationSignals(QObject* parent = nullptr);
    // Puts the previous handlers back.
    ~TerminationSignals() override;

    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    // False when the pipe or a handler could not be set up; the default actions stay.
    bool isActive() const { return m_notifier != nullptr; }

Q_SIGNALS:
    void received(int signalNumber);

private:
    void readPipe();

    int m_pipe[2] = {-1, -1};
    QSocketNotifier* m_notifier = nullptr;
};

} // namespace velmar::platform
