// A flooding sender on a real link: the program collects its messages instead of
// burying the screen, loses no text, and its event loop keeps turning.

#include "e2e/program_fixture.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSet>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <gtest/gtest.h>

using namespace std::chrono_literals;
using velmar::e2e::NetnsPairTest;
using velmar::e2e::Program;
using velmar::e2e::ScriptedPeer;
using velmar::e2e::waitUntil;

namespace {

// VmRSS of this process in kilobytes, -1 when it cannot be read.
qint64 residentKilobytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

using Flood = NetnsPairTest;

TEST_F(Flood, AThousandMessagesInASecondOpenAtMostElevenWindowsAndLoseNothing)
{
    constexpr int Messages = 1000;
    ScriptedPeer peer;
    ASSERT_TRUE(peer.bind(pair().nameB()));
    Program a;
    ASSERT_TRUE(a.start(pair().nameA(), QStringLiteral("花子")));
    velmar::e2e::processEventsFor(200ms);
    const qsizetype windowsBefore = a.window->windows().size();
    const qint64 rssBefore = residentKilobytes();

    // A tick due every 50 ms: the longest time between two ticks tells how long the
    // event loop stood still. Resident memory is sampled at every tick.
    QElapsedTimer clock;
    clock.start();
    qint64 lastTick = 0;
    qint64 worstGap = 0;
    qint64 rssPeak = rssBefore;
    int sent = 0;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(50);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 at = clock.elapsed();
        worstGap = std::max(worstGap, at - lastTick);
        lastTick = at;
        rssPeak = std::max(rssPeak, residentKilobytes());
    });

    // The flood: ten messages every 10 ms, a thousand in one second.
    QTimer burst;
    burst.setTimerType(Qt::PreciseTimer);
    burst.setInterval(10);
    QObject::connect(&burst, &QTimer::timeout, [&] {
        for (int i = 0; i < 10 && sent < Messages; ++i) {
            ++sent;
            peer.send(pair().ipA(), 288,
                      "flood " + QByteArray::number(sent) + "\nsecond line of " +
                          QByteArray::number(sent));
        }
        if (sent == Messages)
            burst.stop();
    });
    lastTick = clock.elapsed();
    tick.start();
    burst.start();

    // Every message is answered with a receipt.
    EXPECT_TRUE(waitUntil([&] { return peer.extrasOf("33").size() >= Messages; }, 10s))
        << peer.extrasOf("33").size() << " receipts";
    const qint64 floodMs = clock.elapsed();
    velmar::e2e::processEventsFor(200ms);
    tick.stop();

    const qsizetype windows = a.window->windows().size() - windowsBefore;
    EXPECT_GE(windows, 2);
    EXPECT_LE(windows, 11);
    QSet<QString> lines;
    qsizetype floodLines = 0;
    for (qsizetype i = windowsBefore; i < a.window->windows().size(); ++i) {
        const QStringList texts = a.window->windows()[i]->text().split(QStringLiteral("\r\n"));
        for (const QString& line : texts) {
            if (line.startsWith(u"flood ") || line.startsWith(u"second line of ")) {
                lines.insert(line);
                ++floodLines;
            }
        }
    }
    EXPECT_EQ(lines.size(), 2 * Messages) << "every text arrived";
    EXPECT_EQ(floodLines, 2 * Messages) << "and each once";
    EXPECT_LE(worstGap, 150) << "the 50 ms tick was late by more than 100 ms";
    EXPECT_LT(rssPeak, 300 * 1024) << "kB resident";
    std::printf("flood: %d messages answered in %lld ms, %lld windows, worst tick gap %lld ms, "
                "VmRSS %lld kB before, %lld kB at most\n",
                Messages, static_cast<long long>(floodMs), static_cast<long long>(windows),
                static_cast<long long>(worstGap), static_cast<long long>(rssBefore),
                static_cast<long long>(rssPeak));
}

} // namespace
