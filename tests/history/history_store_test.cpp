#include "history/grams.h"
#include "history/history_database.h"
#include "history/history_journal.h"
#include "history/history_writer.h"
#include "history/schema.h"

#include <QFile>
#include <QMutex>
#include <QScopeGuard>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace velmar::history;
using namespace Qt::Literals::StringLiterals;

namespace {

PeerIdentity peer(const QString& name, const QString& address, quint16 port = 2425)
{
    return {name, u"user"_s, u"host"_s, address, port};
}

HistoryEvent receivedEvent(const QString& uid, const QString& text, const PeerIdentity& from,
                           bool sealed = false)
{
    HistoryEvent e;
    e.type = HistoryEvent::Type::Received;
    e.uid = uid;
    e.at = 1000;
    e.peer = from;
    e.packetNo = uid;
    e.text = text;
    e.sealed = sealed;
    return e;
}

HistoryEvent sentEvent(const QString& uid, const QString& text, const QList<Recipient>& to)
{
    HistoryEvent e;
    e.type = HistoryEvent::Type::Sent;
    e.uid = uid;
    e.at = 2000;
    e.text = text;
    e.state = MessageState::Sending;
    e.recipients = to;
    return e;
}

HistoryEvent update(HistoryEvent::Type type, const QString& uid, const PeerIdentity& who,
                    MessageState state, const QString& packetNo = {}, const QString& text = {})
{
    HistoryEvent e;
    e.type = type;
    e.uid = uid;
    e.at = 3000;
    e.peer = who;
    e.state = state;
    e.packetNo = packetNo;
    e.text = text;
    return e;
}

QStringList lines(const QList<HistoryRow>& rows)
{
    QStringList out;
    for (const HistoryRow& row : rows)
        out << row.firstLine;
    return out;
}

class HistoryStore : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(db.open(dir.filePath(u"h.sqlite"_s))) << db.lastError().toStdString();
    }
    QTemporaryDir dir;
    HistoryDatabase db{u"test"_s};
};

} // namespace

TEST(HistoryGrams, SinglesAndPairsOfEachRunWithoutSplittingSurrogates)
{
    EXPECT_EQ(gramsOf(u"会議室 a"), u"会 会議 議 議室 室 a"_s);
    EXPECT_EQ(gramsOf(u"𠮷野"), u"𠮷 𠮷野 野"_s);
    EXPECT_EQ(gramsOf(u"  \r\n"), QString());
}

TEST(HistorySchema, NewFileGetsCurrentVersionWithModeAndWriteAheadLog)
{
    QTemporaryDir dir;
    HistoryDatabase db(u"schema"_s);
    const QString path = dir.filePath(u"h.sqlite"_s);
    ASSERT_TRUE(db.open(path));
    EXPECT_EQ(schemaVersion(db.db()), SchemaVersion);
    QSqlQuery q(db.db());
    ASSERT_TRUE(q.exec(u"PRAGMA journal_mode"_s) && q.next());
    EXPECT_EQ(q.value(0).toString(), u"wal"_s);
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST(HistorySchema, PreviousVersionIsMigratedAndItsMessagesBecomeFindableByPairs)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"old.sqlite"_s);
    {
        HistoryDatabase old(u"old"_s);
        // An empty database brought only to the first version, filled as it stored.
        QSqlDatabase raw = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"raw"_s);
        raw.setDatabaseName(path);
        ASSERT_TRUE(raw.open());
        QString error;
        ASSERT_TRUE(createVersion(raw, FirstSchemaVersion, &error)) << error.toStdString();
        QSqlQuery q(raw);
        ASSERT_TRUE(q.exec(
            u"INSERT INTO peers VALUES(1, '田中/総務', 'tanaka', 'pc1', '10.0.0.2', 2425)"_s));
        ASSERT_TRUE(
            q.exec(u"INSERT INTO messages VALUES(1, 'u1', 5, 0, 1, '7', '明日の会議です', 0, "_s
                   u"NULL, 0)"_s));
        ASSERT_TRUE(
            q.exec(u"INSERT INTO text_index(rowid, doc) VALUES(1, '田中/総務\n明日の会議です')"_s));
        raw.close();
        raw = QSqlDatabase();
        QSqlDatabase::removeDatabase(u"raw"_s);
    }
    HistoryDatabase db(u"migrated"_s);
    ASSERT_TRUE(db.open(path)) << db.lastError().toStdString();
    EXPECT_EQ(schemaVersion(db.db()), SchemaVersion);
    EXPECT_EQ(lines(db.search({u"会議"_s})), QStringList{u"明日の会議です"_s});
    EXPECT_EQ(lines(db.search({u"田中"_s})), QStringList{u"明日の会議です"_s});
    EXPECT_EQ(lines(db.search({u"明日の会"_s})), QStringList{u"明日の会議です"_s});
}

TEST(HistorySchema, NewerVersionIsRefused)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"new.sqlite"_s);
    {
        QSqlDatabase raw = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"newer"_s);
        raw.setDatabaseName(path);
        ASSERT_TRUE(raw.open());
        QSqlQuery(raw).exec(u"PRAGMA user_version = 99"_s);
        raw.close();
        raw = QSqlDatabase();
        QSqlDatabase::removeDatabase(u"newer"_s);
    }
    HistoryDatabase db(u"refuse"_s);
    EXPECT_FALSE(db.open(path));
}

TEST_F(HistoryStore, SearchFindsOneTwoAndLongerSubstringsInTextAndPeerName)
{
    ASSERT_TRUE(
        db.apply({receivedEvent(u"a"_s, u"明日の会議は十時から\r\n二行目"_s,
                                peer(u"田中/総務"_s, u"10.0.0.2"_s)),
                  receivedEvent(u"b"_s, u"鈴木さんへの連絡"_s, peer(u"佐藤/営業"_s, u"10.0.0.3"_s)),
                  receivedEvent(u"c"_s, u"Lunch at NOON"_s, peer(u"Mike/Dev"_s, u"10.0.0.4"_s))}));
    const struct {
        QString search;
        QStringList found;
    } cases[] = {
        {u"会議"_s, {u"明日の会議は十時から"_s}},
        {u"鈴"_s, {u"鈴木さんへの連絡"_s}},
        {u"田中"_s, {u"明日の会議は十時から"_s}},      // the peer's name
        {u"十時から"_s, {u"明日の会議は十時から"_s}},  // trigram
        {u"二行目"_s, {u"明日の会議は十時から"_s}},    // beyond the first line
        {u"noon"_s, {u"Lunch at NOON"_s}},             // case folded
        {u"会議 十時"_s, {u"明日の会議は十時から"_s}}, // every word
        {u"会議 鈴木"_s, {}},
        {u"\""_s, {}}, // quotes do not break the query
        {u""_s,
         {u"Lunch at NOON"_s, u"鈴木さんへの連絡"_s, u"明日の会議は十時から"_s}}, // newest first
    };
    for (const auto& c : cases)
        EXPECT_EQ(lines(db.search({c.search})), c.found) << c.search.toStdString();
    HistoryQuery byPeer;
    byPeer.address = u"10.0.0.3"_s;
    EXPECT_EQ(lines(db.search(byPeer)), QStringList{u"鈴木さんへの連絡"_s});
    // A peer and words together: the peer's messages that hold every word.
    byPeer.search = u"連絡"_s;
    EXPECT_EQ(lines(db.search(byPeer)), QStringList{u"鈴木さんへの連絡"_s});
    byPeer.search = u"会議"_s;
    EXPECT_TRUE(db.search(byPeer).isEmpty());
}

TEST_F(HistoryStore, SealedMessageKeepsItsTextOnlyOnceOpened)
{
    const PeerIdentity from = peer(u"田中/総務"_s, u"10.0.0.2"_s);
    ASSERT_TRUE(db.apply({receivedEvent(u"s1"_s, u"秘密の会議"_s, from, true),
                          receivedEvent(u"s2"_s, u"捨てる話"_s, from, true)}));
    EXPECT_TRUE(db.search({u"秘密"_s}).isEmpty());
    auto rows = db.search({});
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[0].state, MessageState::Sealed);
    EXPECT_EQ(db.message(rows[0].id)->text, QString());

    ASSERT_TRUE(
        db.apply({update(HistoryEvent::Type::Opened, u"s1"_s, from, MessageState::Opened, {},
                         u"秘密の会議"_s),
                  update(HistoryEvent::Type::Discarded, u"s2"_s, from, MessageState::Discarded),
                  // a second fate changes nothing
                  update(HistoryEvent::Type::Opened, u"s2"_s, from, MessageState::Opened, {},
                         u"捨てる話"_s)}));
    rows = db.search({});
    EXPECT_EQ(rows[0].state, MessageState::Discarded);
    EXPECT_EQ(db.message(rows[0].id)->text, QString());
    EXPECT_EQ(rows[1].state, MessageState::Opened);
    EXPECT_EQ(db.message(rows[1].id)->openedAt, 3000);
    EXPECT_EQ(lines(db.search({u"秘密"_s})), QStringList{u"秘密の会議"_s});
    EXPECT_TRUE(db.search({u"捨てる"_s}).isEmpty());
}

TEST_F(HistoryStore, SentMessageFollowsEachRecipientsReceiptFailureAndNotices)
{
    const PeerIdentity a = peer(u"田中/総務"_s, u"10.0.0.2"_s),
                       b = peer(u"佐藤/営業"_s, u"10.0.0.3"_s);
    ASSERT_TRUE(db.apply(
        {sentEvent(u"m"_s, u"資料を送ります"_s, {{a, {u"101"_s, u"102"_s}}, {b, {u"201"_s}}})}));
    const qint64 id = db.search({}).value(0).id;
    const auto states = [&] {
        QList<MessageState> out;
        const auto message = db.message(id);
        for (const auto& r : message->recipients)
            out << r.state;
        return out;
    };
    const struct {
        HistoryEvent event;
        QList<MessageState> recipients;
        MessageState summary;
    } steps[] = {
        {update(HistoryEvent::Type::RecipientState, u"m"_s, a, MessageState::Delivered),
         {MessageState::Delivered, MessageState::Sending},
         MessageState::Sending},
        {update(HistoryEvent::Type::RecipientState, u"m"_s, b, MessageState::Failed),
         {MessageState::Delivered, MessageState::Failed},
         MessageState::Failed},
        // a late receipt after the failure box still counts
        {update(HistoryEvent::Type::RecipientState, u"m"_s, b, MessageState::Delivered),
         {MessageState::Delivered, MessageState::Delivered},
         MessageState::Delivered},
        // a notice names a piece's packet number
        {update(HistoryEvent::Type::PeerNotice, {}, a, MessageState::ReadByPeer, u"102"_s),
         {MessageState::ReadByPeer, MessageState::Delivered},
         MessageState::Delivered},
        {update(HistoryEvent::Type::PeerNotice, {}, b, MessageState::DiscardedByPeer, u"201"_s),
         {MessageState::ReadByPeer, MessageState::DiscardedByPeer},
         MessageState::Delivered},
        // a receipt never takes back a notice
        {update(HistoryEvent::Type::RecipientState, u"m"_s, a, MessageState::Delivered),
         {MessageState::ReadByPeer, MessageState::DiscardedByPeer},
         MessageState::Delivered},
        // another packet number or another port matches nothing
        {update(HistoryEvent::Type::PeerNotice, {}, peer(u"x"_s, u"10.0.0.2"_s, 2426),
                MessageState::DiscardedByPeer, u"101"_s),
         {MessageState::ReadByPeer, MessageState::DiscardedByPeer},
         MessageState::Delivered},
    };
    for (const auto& step : steps) {
        ASSERT_TRUE(db.apply({step.event}));
        EXPECT_EQ(states(), step.recipients);
        EXPECT_EQ(db.search({}).value(0).state, step.summary);
    }
    EXPECT_EQ(db.search({}).value(0).peerName, u"田中/総務 ほか1人"_s);
    HistoryQuery toB;
    toB.address = u"10.0.0.3"_s; // the second recipient finds it too
    EXPECT_EQ(lines(db.search(toB)), QStringList{u"資料を送ります"_s});
    EXPECT_EQ(lines(db.search({u"佐藤"_s})), QStringList{u"資料を送ります"_s});
}

TEST_F(HistoryStore, ReplayedEventsStoreNothingTwiceAndExpiryAndClearRemoveFromTheIndex)
{
    const auto e = receivedEvent(u"r"_s, u"会議室の予約"_s, peer(u"田中/総務"_s, u"10.0.0.2"_s));
    ASSERT_TRUE(db.apply({e, e}));
    ASSERT_TRUE(db.apply({e}));
    EXPECT_EQ(db.count(), 1);
    auto later = receivedEvent(u"r2"_s, u"会議の後"_s, peer(u"田中/総務"_s, u"10.0.0.2"_s));
    later.at = 9000;
    ASSERT_TRUE(db.apply({later}));
    ASSERT_TRUE(db.removeBefore(5000));
    EXPECT_EQ(lines(db.search({u"会議"_s})), QStringList{u"会議の後"_s});
    ASSERT_TRUE(db.clear());
    EXPECT_EQ(db.count(), 0);
    EXPECT_TRUE(db.search({u"会議"_s}).isEmpty());
    EXPECT_TRUE(db.peers().isEmpty());
}

TEST(HistoryJournalTest, TornOrDamagedTailIsLeftOut)
{
    const auto a = receivedEvent(u"a"_s, u"一"_s, peer(u"p"_s, u"10.0.0.2"_s));
    const auto b = receivedEvent(u"b"_s, u"二"_s, peer(u"p"_s, u"10.0.0.2"_s));
    const QByteArray both = HistoryJournal::encode(a) + HistoryJournal::encode(b);
    EXPECT_EQ(HistoryJournal::decode(both).size(), 2);
    EXPECT_EQ(HistoryJournal::decode(both.chopped(1)).size(), 1);
    QByteArray damaged = both;
    damaged[damaged.size() - 3] = char(damaged[damaged.size() - 3] ^ 0x55);
    EXPECT_EQ(HistoryJournal::decode(damaged).size(), 1);
    EXPECT_EQ(HistoryJournal::decode(both).value(1).text, u"二"_s);
}

TEST(HistoryWriterTest, JournalLeftByAKilledRunIsStoredAtTheNextStart)
{
    QTemporaryDir dir;
    {
        HistoryJournal journal;
        ASSERT_TRUE(journal.open(dir.filePath(u"history.journal"_s)));
        ASSERT_TRUE(journal.append(
            receivedEvent(u"k"_s, u"落ちる前の会議"_s, peer(u"p"_s, u"10.0.0.2"_s))));
    }
    HistoryWriter writer(dir.path());
    writer.start();
    writer.record(receivedEvent(u"k2"_s, u"その後"_s, peer(u"p"_s, u"10.0.0.2"_s)));
    ASSERT_TRUE(writer.flush());
    writer.stop();
    EXPECT_EQ(QFile(dir.filePath(u"history.journal"_s)).size(), 0);
    HistoryDatabase db(u"check"_s);
    ASSERT_TRUE(db.open(dir.filePath(u"history.sqlite"_s)));
    EXPECT_EQ(lines(db.search({u"会議"_s})), QStringList{u"落ちる前の会議"_s});
    EXPECT_EQ(db.count(), 2);
}

TEST(HistoryWriterTest, CorruptFileIsKeptAsideAndANewOneStartedWithOneReport)
{
    QTemporaryDir dir;
    QFile bad(dir.filePath(u"history.sqlite"_s));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write(QByteArray(8192, 'x'));
    bad.close();
    HistoryWriter writer(dir.path());
    QStringList reports;
    QObject::connect(&writer, &HistoryWriter::problem,
                     [&](const QString&, const QString& text) { reports << text; });
    writer.start();
    writer.record(receivedEvent(u"n"_s, u"新しい"_s, peer(u"p"_s, u"10.0.0.2"_s)));
    ASSERT_TRUE(writer.flush());
    writer.stop();
    ASSERT_EQ(reports.size(), 1);
    EXPECT_TRUE(reports[0].contains(u"history.sqlite.broken-"_s));
    const QStringList aside = QDir(dir.path()).entryList({u"history.sqlite.broken-*"_s});
    ASSERT_EQ(aside.size(), 1);
    EXPECT_EQ(QFile(dir.filePath(aside[0])).size(), 8192);
}

TEST(HistoryWriterTest, UnwritableFolderGivesOneReportAndRecordingGoesOn)
{
    // A folder that cannot be made, for root too: its parent is a file.
    QTemporaryDir dir;
    QFile file(dir.filePath(u"file"_s));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    HistoryWriter writer(dir.filePath(u"file/Velmar"_s));
    QStringList reports;
    QObject::connect(&writer, &HistoryWriter::problem,
                     [&](const QString&, const QString& text) { reports << text; });
    EXPECT_FALSE(writer.start());
    for (int i = 0; i < 3; ++i)
        writer.record(receivedEvent(QString::number(i), u"x"_s, peer(u"p"_s, u"10.0.0.2"_s)));
    EXPECT_FALSE(writer.flush(5000));
    writer.stop();
    EXPECT_EQ(reports.size(), 1) << reports.join(u"|"_s).toStdString();
}

TEST(HistoryWriterTest, FullDiskLosesNothingAndStoresEverythingOnceThereIsSpaceAgain)
{
    // A small file system of the test's own: a tmpfs in a mount namespace that only
    // this thread (and the writer's thread it starts) sees.
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to mount a file system of its own";
    ASSERT_EQ(::unshare(CLONE_NEWNS), 0);
    ASSERT_EQ(::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr), 0);
    QTemporaryDir dir;
    const QByteArray mountPoint = QFile::encodeName(dir.path());
    ASSERT_EQ(::mount("tmpfs", mountPoint.constData(), "tmpfs", 0, "size=4m"), 0);
    const auto unmount = qScopeGuard([&] { ::umount2(mountPoint.constData(), MNT_DETACH); });

    HistoryWriter writer(dir.path());
    QMutex reportsLock;
    QStringList reports;
    QObject::connect(&writer, &HistoryWriter::problem, [&](const QString&, const QString& text) {
        const QMutexLocker locker(&reportsLock);
        reports << text;
    });
    ASSERT_TRUE(writer.start());
    writer.record(receivedEvent(u"before"_s, u"空きのあるうち"_s, peer(u"p"_s, u"10.0.0.2"_s)));
    ASSERT_TRUE(writer.flush());

    QFile filler(dir.filePath(u"filler"_s));
    ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
    const QByteArray block(64 * 1024, 'x');
    while (filler.write(block) == block.size() && filler.flush()) {
    }
    filler.close();

    const QString text = QString(u"満杯のディスク、"_s).repeated(60);
    constexpr int Messages = 300;
    for (int i = 0; i < Messages; ++i)
        writer.record(receivedEvent(u"full-%1"_s.arg(i), text, peer(u"p"_s, u"10.0.0.2"_s)));
    EXPECT_FALSE(writer.flush(1000)) << "nothing fits on the full disk";
    {
        const QMutexLocker locker(&reportsLock);
        EXPECT_EQ(reports.size(), 1) << reports.join(u"|"_s).toStdString();
    }

    ASSERT_TRUE(filler.remove());
    ASSERT_TRUE(writer.flush(10000)) << "stored at the next try once there is space";
    writer.stop();
    HistoryDatabase db(u"full-disk"_s);
    ASSERT_TRUE(db.open(dir.filePath(u"history.sqlite"_s)));
    EXPECT_EQ(db.count(), Messages + 1);
    EXPECT_EQ(db.search({u"満杯"_s}).size(), Messages);
}
