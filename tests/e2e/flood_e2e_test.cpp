// Floods on a real link: a flooding sender, or many senders at once, are collected
// instead of burying the screen, no text is lost and the event loop keeps turning;
// an absence reply and its copies make one window.

#include "e2e/program_fixture.h"

#include <QElapsedTimer>
#include <QFile>
#include <QNetworkDatagram>
#include <QPushButton>
#include <QSet>
#include <QTimer>
#include <QUdpSocket>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

using namespace std::chrono_literals;
using velmar::e2e::NetnsPair;
using velmar::e2e::NetnsPairTest;
using velmar::e2e::Program;
using velmar::e2e::ScopedNetns;
using velmar::e2e::ScriptedPeer;
using velmar::e2e::waitUntil;

namespace {

#if defined(__SANITIZE_ADDRESS__)
// Freed memory waits in the address sanitizer's quarantine (256 MB by default) before
// it is reused, so the resident size grows by that much with any churn.
constexpr qint64 ResidentBoundKb = (300 + 256) * 1024;
#else
constexpr qint64 ResidentBoundKb = 300 * 1024;
#endif

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
    EXPECT_LT(rssPeak, ResidentBoundKb) << "kB resident";
    std::printf("flood: %d messages answered in %lld ms, %lld windows, worst tick gap %lld ms, "
                "VmRSS %lld kB before, %lld kB at most\n",
                Messages, static_cast<long long>(floodMs), static_cast<long long>(windows),
                static_cast<long long>(worstGap), static_cast<long long>(rssBefore),
                static_cast<long long>(rssPeak));
}

TEST_F(Flood, ManySendersAtOnceOpenAtMostThirtyOneWindowsAndLoseNothing)
{
    // Sixty senders on side B, three messages each, all within a second or two.
    constexpr int Senders = 60;
    constexpr int EachSends = 3;
    const QString prefix = pair().ipB().section(u'.', 0, 2) + u'.';
    std::vector<std::unique_ptr<QUdpSocket>> senders;
    for (int i = 0; i < Senders; ++i) {
        const QString ip = prefix + QString::number(100 + i);
        ASSERT_TRUE(pair().runIn(NetnsPair::Side::B, QStringLiteral("ip"),
                                 {QStringLiteral("address"), QStringLiteral("add"),
                                  ip + QStringLiteral("/32"), QStringLiteral("dev"),
                                  NetnsPair::interfaceName()}));
        ScopedNetns in(pair().nameB());
        ASSERT_TRUE(in.entered());
        senders.push_back(std::make_unique<QUdpSocket>());
        ASSERT_TRUE(senders.back()->bind(QHostAddress(ip), 2425)) << ip.toStdString();
    }
    Program a;
    ASSERT_TRUE(a.start(pair().nameA(), QStringLiteral("花子")));
    velmar::e2e::processEventsFor(200ms);
    const qsizetype windowsBefore = a.window->windows().size();

    int number = 0;
    for (int round = 0; round < EachSends; ++round) {
        for (int i = 0; i < Senders; ++i) {
            const QByteArray text =
                "storm " + QByteArray::number(i) + '/' + QByteArray::number(round);
            // Every fourth one sealed: they wait behind the one seal.
            const quint32 word = i % 4 == 0 ? 0x100320 : 0x120;
            senders[static_cast<std::size_t>(i)]->writeDatagram(
                "1:" + QByteArray::number(++number) + ":user" + QByteArray::number(i) +
                    ":host:" + QByteArray::number(word) + ':' + text,
                QHostAddress(pair().ipA()), 2425);
        }
        velmar::e2e::processEventsFor(100ms);
    }
    // Every message answered with a receipt, to its own sender.
    const auto receipts = [&] {
        int count = 0;
        for (auto& sender : senders) {
            while (sender->hasPendingDatagrams()) {
                const QByteArray d = sender->receiveDatagram().data();
                count += d.split(':').value(4) == "33";
            }
        }
        return count;
    };
    int answered = 0;
    EXPECT_TRUE(waitUntil([&] { return (answered += receipts()) >= Senders * EachSends; }, 10s))
        << answered << " receipts";
    velmar::e2e::processEventsFor(200ms);

    const QList<velmar::text::TextWindow*> windows = a.window->windows().mid(windowsBefore);
    EXPECT_LE(windows.size(), 31) << "thirty windows and the one that collects";
    velmar::text::TextWindow* collector = nullptr;
    for (velmar::text::TextWindow* window : windows) {
        if (window->caption().contains(QStringLiteral("多数の送信者")))
            collector = window;
    }
    ASSERT_NE(collector, nullptr);
    ASSERT_TRUE(collector->isSealed()) << "sealed messages behind its seal";

    // Opening the one seal sends the read notice of every sealed message behind it,
    // each to its own sender (as opening each sealed window of its own does).
    receipts();
    for (velmar::text::TextWindow* window : windows) {
        if (window->isSealed())
            window->sealButton->click();
    }
    QSet<QString> texts;
    for (velmar::text::TextWindow* window : windows) {
        for (const QString& line : window->text().split(QStringLiteral("\r\n"))) {
            if (line.startsWith(u"storm "))
                texts.insert(line);
        }
    }
    EXPECT_EQ(texts.size(), Senders * EachSends) << "every text arrived";
    EXPECT_TRUE(collector->text().contains(QStringLiteral("user0/host"))) << "under its sender";
    const int sealedSent = Senders / 4 * EachSends;
    int notices = 0;
    EXPECT_TRUE(waitUntil(
        [&] {
            for (auto& sender : senders) {
                while (sender->hasPendingDatagrams())
                    notices += sender->receiveDatagram().data().split(':').value(4) == "48";
            }
            return notices >= sealedSent;
        },
        5s))
        << notices << " read notices";
    EXPECT_EQ(notices, sealedSent);
    std::printf("storm: %d senders, %d messages, %lld windows, %d read notices\n", Senders,
                Senders * EachSends, static_cast<long long>(windows.size()), notices);
}

TEST_F(Flood, AnAbsenceReplyAndItsCopiesMakeOneWindow)
{
    Program a;
    Program b;
    velmar::e2e::startBoth(pair(), a, b);
    a.engine().setAbsence(QStringLiteral("会議"), QStringLiteral("会議中です"));
    const auto replies = [&] {
        int count = 0;
        for (const velmar::text::TextWindow* window : b.window->windows())
            count += window->text() == u"会議中です";
        return count;
    };
    // Two messages within a minute: six copies of the reply each, one window in all.
    for (int i = 0; i < 2; ++i) {
        velmar::text::TextWindow* source = b.sendTo(pair().ipA(), QStringLiteral("もしもし"));
        ASSERT_TRUE(waitUntil([&] { return source->statusText() == u"IPM(送信済)"; }));
        ASSERT_TRUE(waitUntil([&] { return replies() >= 1; }));
        velmar::e2e::processEventsFor(500ms);
        EXPECT_EQ(replies(), 1) << "after message " << i + 1;
    }
}

} // namespace
