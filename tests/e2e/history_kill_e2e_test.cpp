// The real program killed with SIGKILL again and again while a peer sends it
// messages: every message the peer got a receipt for is in the history afterwards.

#include "e2e/netns.h"
#include "e2e/real_program.h"
#include "history/history_database.h"
#include "settings/keys.h"
#include "settings/settings_store.h"

#include <QRandomGenerator>
#include <QSet>
#include <QSqlQuery>
#include <QStringEncoder>
#include <gtest/gtest.h>

using namespace std::chrono_literals;
using velmar::e2e::Folders;
using velmar::e2e::Listener;
using velmar::e2e::NetnsPairTest;
using velmar::e2e::processEventsFor;
using velmar::e2e::ProgramRun;
using velmar::e2e::waitUntil;

namespace {

constexpr quint32 EntryCommand = 0x01;
constexpr quint32 ReceiptCommand = 0x21;

using HistoryKill = NetnsPairTest;

TEST_F(HistoryKill, EveryAcknowledgedMessageSurvivesSigkillAtAnyMoment)
{
    Listener peer;
    ASSERT_TRUE(peer.bind(pair().nameB(), 2425));
    Folders folders;
    {
        velmar::settings::SettingsStore store(folders.settingsFile());
        store.write(velmar::settings::keys::UserName, QStringLiteral("エー"));
    }
    QStringEncoder sjis("Shift_JIS");
    int packet = 5000;
    const auto receipted = [&] {
        QSet<QString> numbers;
        for (const auto& d : peer.received)
            if (velmar::e2e::commandOf(d.data) == ReceiptCommand)
                numbers.insert(QString::fromLatin1(d.data.split(':').value(5)).remove(QChar(0)));
        return numbers;
    };

    constexpr int rounds = 6;
    for (int round = 0; round < rounds; ++round) {
        ProgramRun run;
        const qsizetype entries = peer.count(EntryCommand);
        run.start(pair().nameA(), folders, {}, folders.home, true);
        ASSERT_TRUE(waitUntil([&] { return peer.count(EntryCommand) > entries; }, 10s))
            << "round " << round << ": " << run.err().toStdString();
        // Messages every few milliseconds, and the kill somewhere in the middle.
        const int killAfter = 300 + QRandomGenerator::global()->bounded(500);
        QElapsedTimer sending;
        sending.start();
        while (sending.elapsed() < killAfter) {
            ++packet;
            const QByteArray text = sjis.encode(QStringLiteral("会議 %1 の件").arg(packet));
            const QByteArray datagram =
                "1:" + QByteArray::number(packet) + ":bee:hostb:288:" + text;
            peer.endpoint.send(pair().ipA(), 2425, datagram);
            processEventsFor(3ms);
        }
        run.process.kill();
        ASSERT_TRUE(run.process.waitForFinished(5000));
        processEventsFor(50ms); // receipts still on their way
    }
    const QSet<QString> acknowledged = receipted();
    ASSERT_GT(acknowledged.size(), rounds * 5);

    // One more start stores what the last run left in its journal; then an ordinary end.
    {
        ProgramRun run;
        const qsizetype entries = peer.count(EntryCommand);
        run.start(pair().nameA(), folders, {}, folders.home, true);
        ASSERT_TRUE(waitUntil([&] { return peer.count(EntryCommand) > entries; }, 10s));
        processEventsFor(1500ms);
        run.process.terminate();
        EXPECT_TRUE(run.finish());
    }
    const QString path = folders.home + QStringLiteral("/.local/share/Velmar/history.sqlite");
    velmar::history::HistoryDatabase db(QStringLiteral("kill-check"));
    ASSERT_TRUE(db.open(path)) << db.lastError().toStdString();
    QSet<QString> stored;
    QSqlQuery query(db.db());
    ASSERT_TRUE(query.exec(QStringLiteral("SELECT packet_no FROM messages WHERE direction = 0")));
    while (query.next())
        stored.insert(query.value(0).toString());
    QStringList missing;
    for (const QString& number : acknowledged)
        if (!stored.contains(number))
            missing << number;
    EXPECT_TRUE(missing.isEmpty())
        << missing.size() << " of " << acknowledged.size()
        << " acknowledged messages missing: " << missing.join(u' ').toStdString();
    EXPECT_EQ(db.count(), static_cast<qint64>(stored.size()));
}

} // namespace
