// The message history: storing a flood, searching a large history, its size.

#include "history/history_database.h"
#include "history/history_writer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

using namespace velmar::history;

namespace {

const QStringList words = {
    QStringLiteral("明日の"),
    QStringLiteral("会議は"),
    QStringLiteral("十時から"),
    QStringLiteral("資料を"),
    QStringLiteral("送ります"),
    QStringLiteral("確認を"),
    QStringLiteral("お願いします"),
    QStringLiteral("予定が"),
    QStringLiteral("変更に"),
    QStringLiteral("なりました"),
    QStringLiteral("昼食"),
    QStringLiteral("報告書の"),
    QStringLiteral("件ですが"),
    QStringLiteral("来週"),
    QStringLiteral("出張"),
    QStringLiteral("よろしく"),
    QStringLiteral("了解です"),
    QStringLiteral("電話を"),
    QStringLiteral("ください"),
    QStringLiteral("見積もり"),
    QStringLiteral("締め切りは"),
    QStringLiteral("金曜日"),
    QStringLiteral("サーバーの"),
    QStringLiteral("再起動"),
    QStringLiteral("打ち合わせ"),
    QStringLiteral("お疲れさまです"),
    QStringLiteral("請求書"),
    QStringLiteral("納品"),
    QStringLiteral("ありがとうございます"),
    QStringLiteral("印刷"),
};
const QStringList families = {
    QStringLiteral("田中"), QStringLiteral("鈴木"), QStringLiteral("佐藤"), QStringLiteral("高橋"),
    QStringLiteral("伊藤"), QStringLiteral("渡辺"), QStringLiteral("山本"), QStringLiteral("中村"),
    QStringLiteral("小林"), QStringLiteral("加藤")};

HistoryEvent message(QRandomGenerator& random, qint64 n)
{
    HistoryEvent e;
    e.type = HistoryEvent::Type::Received;
    e.uid = QStringLiteral("b-") + QString::number(n);
    e.at = 1700000000000 + n * 1000;
    const int peer = random.bounded(300);
    e.peer.name =
        families[peer % families.size()] + QString::number(peer) + QStringLiteral("/総務");
    e.peer.user = QStringLiteral("user") + QString::number(peer);
    e.peer.host = QStringLiteral("pc") + QString::number(peer);
    e.peer.address = QStringLiteral("10.1.%1.%2").arg(peer / 250).arg(peer % 250 + 1);
    e.peer.port = 2425;
    e.packetNo = QString::number(n);
    const int count = 3 + random.bounded(8);
    for (int i = 0; i < count; ++i)
        e.text += words[random.bounded(words.size())];
    return e;
}

// 100,000 messages recorded as the receive path records them; each record() is the
// wait before that message's receipt goes out.
void BM_StoreHundredThousand(benchmark::State& state)
{
    for (auto _ : state) {
        QTemporaryDir dir;
        HistoryWriter writer(dir.path());
        writer.start();
        QRandomGenerator random(7);
        constexpr int n = 100000;
        QList<HistoryEvent> events;
        events.reserve(n);
        for (int i = 0; i < n; ++i)
            events.append(message(random, i));
        QElapsedTimer total, one;
        qint64 longest = 0;
        total.start();
        for (const HistoryEvent& e : std::as_const(events)) {
            one.start();
            writer.record(e);
            longest = std::max(longest, one.nsecsElapsed());
        }
        const qint64 recorded = total.nsecsElapsed();
        writer.flush(600000);
        const double seconds = total.nsecsElapsed() / 1e9;
        writer.stop();
        state.counters["stored_per_s"] = n / seconds;
        state.counters["record_us_mean"] = recorded / 1e3 / n;
        state.counters["longest_wait_before_receipt_us"] = longest / 1e3;
        const QString path = dir.filePath(QStringLiteral("history.sqlite"));
        {
            HistoryDatabase db(QStringLiteral("size"));
            db.open(path);
            QSqlQuery(db.db()).exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
        }
        state.counters["MB_per_100k"] = QFileInfo(path).size() / 1e6;
    }
}
BENCHMARK(BM_StoreHundredThousand)->Unit(benchmark::kSecond)->Iterations(1);

// One million messages, made once and kept in the temporary folder between runs.
QString millionDatabase()
{
    const QString path = QDir::tempPath() + QStringLiteral("/velmar-history-bench-1m.sqlite");
    HistoryDatabase db(QStringLiteral("million"));
    if (QFileInfo::exists(path) && db.open(path) && db.count() == 1000000)
        return path;
    db.close();
    for (const QString& suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")})
        QFile::remove(path + suffix);
    db.open(path);
    QRandomGenerator random(11);
    QList<HistoryEvent> batch;
    for (qint64 i = 0; i < 1000000; ++i) {
        batch.append(message(random, i));
        if (batch.size() == 10000) {
            db.apply(batch);
            batch.clear();
        }
    }
    QSqlQuery(db.db()).exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
    return path;
}

void search(benchmark::State& state, const HistoryQuery& query)
{
    HistoryDatabase db(QStringLiteral("search"));
    db.open(millionDatabase(), true);
    qsizetype rows = 0;
    for (auto _ : state)
        rows = db.search(query).size();
    state.counters["rows"] = static_cast<double>(rows);
}

void BM_SearchTwoCharactersCommon(benchmark::State& state)
{
    search(state, {QStringLiteral("会議")});
}
void BM_SearchTwoCharactersRare(benchmark::State& state)
{
    search(state, {QStringLiteral("納品")});
}
void BM_SearchOneKanji(benchmark::State& state)
{
    search(state, {QStringLiteral("鈴")});
}
void BM_SearchThreeCharacters(benchmark::State& state)
{
    search(state, {QStringLiteral("再起動")});
}
void BM_SearchPeer(benchmark::State& state)
{
    HistoryQuery query;
    query.address = QStringLiteral("10.1.0.42");
    search(state, query);
}
void BM_SearchPeerAndWord(benchmark::State& state)
{
    HistoryQuery query;
    query.search = QStringLiteral("会議");
    query.address = QStringLiteral("10.1.0.42");
    search(state, query);
}
BENCHMARK(BM_SearchTwoCharactersCommon)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchTwoCharactersRare)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchOneKanji)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchThreeCharacters)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchPeer)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchPeerAndWord)->Unit(benchmark::kMillisecond);

} // namespace
