#include "platform/termination_signals.h"

#include <QSocketNotifier>
#include <array>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace velmar::platform {

namespace {

constexpr std::array HandledSignals{SIGTERM, SIGINT, SIGHUP};

// The pipe's write end, read by the handler without locks.
volatile sig_atomic_t writeEnd = -1;
std::array<struct sigaction, HandledSignals.size()> previousActions{};

void onSignal(int number)
{
    const int savedErrno = errno;
    const auto byte = static_cast<unsigned char>(number);
    [[maybe_unused]] const ssize_t written = ::write(writeEnd, &byte, 1);
    errno = savedErrno;
}

} // namespace

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent)
{
    Q_ASSERT(writeEnd == -1);
    if (::pipe2(m_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    writeEnd = m_pipe[1];
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    // Caught once: the next signal of the kind takes the default action, so a stuck
    // end can still be forced.
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    for (std::size_t i = 0; i < HandledSignals.size(); ++i) {
        ::sigaction(HandledSignals[i], nullptr, &previousActions[i]);
        // An ignored signal stays ignored: `nohup` and background jobs of a script
        // rely on that.
        if (previousActions[i].sa_handler != SIG_IGN)
            ::sigaction(HandledSignals[i], &action, nullptr);
    }
    m_notifier = new QSocketNotifier(m_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TerminationSignals::readPipe);
}

TerminationSignals::~TerminationSignals()
{
    if (m_notifier) {
        for (std::size_t i = 0; i < HandledSignals.size(); ++i)
            ::sigaction(HandledSignals[i], &previousActions[i], nullptr);
        writeEnd = -1;
    }
    for (const int end : m_pipe) {
        if (end >= 0)
            ::close(end);
    }
}

void TerminationSignals::readPipe()
{
    unsigned char number = 0;
    while (::read(m_pipe[0], &number, 1) == 1)
        Q_EMIT received(number);
}

} // namespace velmar::platform
