#include "platform/termination_signals.h"

#include <QSignalSpy>
#include <csignal>
#include <gtest/gtest.h>

using velmar::platform::TerminationSignals;

namespace {

using Handler = void (*)(int);

Handler currentHandler(int number)
{
    struct sigaction action {};
    ::sigaction(number, nullptr, &action);
    return action.sa_handler;
}

void setHandler(int number, Handler handler)
{
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    ::sigaction(number, &action, nullptr);
}

// Every signal arrives once as `received`; the handler is then the default again, so
// a second one would end the process; destruction puts the earlier handlers back.
TEST(TerminationSignals, EachSignalArrivesOnceOnTheObjectsThread)
{
    for (const int number : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(number);
        setHandler(number, SIG_DFL);
        {
            TerminationSignals termination;
            ASSERT_TRUE(termination.isActive());
            QSignalSpy spy(&termination, &TerminationSignals::received);
            ASSERT_EQ(::raise(number), 0);
            ASSERT_TRUE(spy.wait(2000));
            ASSERT_EQ(spy.count(), 1);
            EXPECT_EQ(spy.at(0).at(0).toInt(), number);
            EXPECT_EQ(currentHandler(number), SIG_DFL);
        }
        EXPECT_EQ(currentHandler(number), SIG_DFL);
    }
}

TEST(TerminationSignals, AnIgnoredSignalStaysIgnored)
{
    setHandler(SIGHUP, SIG_IGN);
    {
        TerminationSignals termination;
        QSignalSpy spy(&termination, &TerminationSignals::received);
        EXPECT_EQ(currentHandler(SIGHUP), SIG_IGN);
        ASSERT_EQ(::raise(SIGHUP), 0);
        EXPECT_FALSE(spy.wait(200));
        EXPECT_NE(currentHandler(SIGTERM), SIG_DFL); // the others are caught
    }
    EXPECT_EQ(currentHandler(SIGHUP), SIG_IGN);
    EXPECT_EQ(currentHandler(SIGTERM), SIG_DFL);
    setHandler(SIGHUP, SIG_DFL);
}

} // namespace
