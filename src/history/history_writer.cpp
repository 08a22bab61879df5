#include "history/history_writer.h"

#include "history/history_database.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <chrono>
#include <sys/stat.h>

namespace velmar::history {

namespace {

constexpr qsizetype BatchSize = 2000;
constexpr qint64 DayMs = 24LL * 60 * 60 * 1000;

// Worth trying again later: the disk fills up, another program holds a lock.
bool isPassing(const QString& error)
{
    for (const char* word : {"full", "locked", "busy", "disk I/O"}) {
        if (error.contains(QLatin1String(word), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

bool looksCorrupt(const QString& error)
{
    return error.contains(QStringLiteral("malformed"), Qt::CaseInsensitive) ||
           error.contains(QStringLiteral("not a database"), Qt::CaseInsensitive);
}

} // namespace

HistoryWriter::HistoryWriter(QString folder, QObject* parent)
    : QObject(parent), m_folder(std::move(folder))
{
}

HistoryWriter::~HistoryWriter()
{
    stop();
}

QString HistoryWriter::databasePath() const
{
    return m_folder + u'/' + databaseName();
}

QString HistoryWriter::journalPath() const
{
    return m_folder + QStringLiteral("/history.journal");
}

void HistoryWriter::report(const QString& key, const QString& title, const QString& text)
{
    // Once per kind of problem and run: a full disk must not bring a box a second.
    {
        const std::lock_guard lock(m_mutex);
        if (m_reported.contains(key))
            return;
        m_reported << key;
    }
    Q_EMIT problem(title, text);
}

bool HistoryWriter::start()
{
    if (isRunning())
        return true;
    QDir().mkpath(m_folder);
    ::chmod(QFile::encodeName(m_folder).constData(), 0700);
    bool journal = m_journal.open(journalPath());
    if (!journal)
        report(QStringLiteral("unusable"), QStringLiteral("履歴"),
               QStringLiteral(
                   "履歴を保存できません (%1: %2)。\r\nメッセージの送受信はこのまま続けられます。")
                   .arg(journalPath(), m_journal.errorText()));
    m_stop = false;
    m_thread = std::thread([this] { run(); });
    return journal;
}

void HistoryWriter::record(const HistoryEvent& event)
{
    bool written = true;
    {
        const std::lock_guard lock(m_mutex);
        if (m_journal.isOpen())
            written = m_journal.append(event);
        m_queue.push_back(event);
        ++m_recorded;
    }
    m_wake.notify_one();
    if (!written)
        report(QStringLiteral("write"), QStringLiteral("履歴"),
               QStringLiteral(
                   "履歴の書き込みに失敗しました (%1)。ディスクの空きを確認してください。\r\n"
                   "メッセージの送受信はこのまま続けられます。")
                   .arg(m_journal.errorText()));
}

bool HistoryWriter::flush(int timeoutMs)
{
    std::unique_lock lock(m_mutex);
    const quint64 target = m_recorded;
    m_wake.notify_one();
    m_progress.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                        [&] { return m_done >= target || !isRunning(); });
    return m_done >= target && !m_failed;
}

void HistoryWriter::setKeepDays(int days)
{
    m_keepDays = days;
    m_keepDaysChanged = true;
    m_wake.notify_one();
}

void HistoryWriter::clearAll()
{
    {
        const std::lock_guard lock(m_mutex);
        m_clear = true;
    }
    m_wake.notify_one();
    if (!isRunning())
        return;
    std::unique_lock lock(m_mutex);
    m_progress.wait_for(lock, std::chrono::seconds(30), [&] { return !m_clear; });
}

void HistoryWriter::setPaused(bool paused)
{
    {
        const std::lock_guard lock(m_mutex);
        m_paused = paused;
    }
    m_wake.notify_one();
}

void HistoryWriter::stop()
{
    if (!m_thread.joinable())
        return;
    {
        const std::lock_guard lock(m_mutex);
        m_stop = true;
        m_paused = false;
    }
    m_wake.notify_one();
    m_thread.join();
    m_journal.close();
}

bool HistoryWriter::openDatabase(HistoryDatabase& db)
{
    const QString path = databasePath();
    if (db.open(path))
        return true;
    const QString reason = db.lastError();
    // Kept aside, never deleted: the user may want what it holds.
    const QString aside = path + QStringLiteral(".broken-") +
                          QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    bool moved = QFile::exists(path) && QFile::rename(path, aside);
    if (moved) {
        for (const QString& suffix : {QStringLiteral("-wal"), QStringLiteral("-shm")}) {
            if (QFile::exists(path + suffix))
                QFile::rename(path + suffix, aside + suffix);
        }
    }
    if (moved && db.open(path)) {
        report(QStringLiteral("moved"), QStringLiteral("履歴"),
               QStringLiteral("履歴ファイルを開けませんでした (%1)。\r\n元のファイルは %2 "
                              "として残し、新しい履歴を始めます。")
                   .arg(reason, aside));
        return true;
    }
    // The same cause as a journal that could not be made: one box for both.
    report(QStringLiteral("unusable"), QStringLiteral("履歴"),
           QStringLiteral("履歴ファイル %1 を開けません (%2)。\r\nこの間の履歴は保存されませんが、"
                          "メッセージの送受信はこのまま続けられます。")
               .arg(path, moved ? db.lastError() : reason));
    return false;
}

void HistoryWriter::run()
{
    HistoryDatabase db(QStringLiteral("velmar-history-writer"));
    bool usable = openDatabase(db);
    const auto replay = [&] {
        // What an earlier run (or this one, before a failure) left in the journal.
        const QList<HistoryEvent> events = m_journal.readAll();
        for (qsizetype at = 0; at < events.size(); at += BatchSize) {
            if (!db.apply(events.mid(at, BatchSize)))
                return false;
        }
        return true;
    };
    if (usable && !replay() && looksCorrupt(db.lastError())) {
        db.close();
        usable = openDatabase(db) && replay();
    }
    qint64 lastExpiry = 0;
    std::unique_lock lock(m_mutex);
    // Replayed and nothing new yet: the journal has done its work.
    if (usable && m_recorded == 0)
        m_journal.truncate();
    for (;;) {
        m_wake.wait_for(lock, std::chrono::milliseconds(500), [&] {
            return m_stop || m_clear || m_keepDaysChanged || (!m_queue.empty() && !m_paused);
        });
        if (m_clear) {
            m_done += m_queue.size();
            m_queue.clear();
            m_journal.truncate();
            lock.unlock();
            if (usable && !db.clear())
                report(QStringLiteral("clear"), QStringLiteral("履歴"),
                       QStringLiteral("履歴を消去できませんでした (%1)。").arg(db.lastError()));
            lock.lock();
            m_clear = false;
            m_progress.notify_all();
            continue;
        }
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        if (usable && m_keepDays > 0 && (m_keepDaysChanged || now - lastExpiry > DayMs / 24)) {
            m_keepDaysChanged = false;
            lastExpiry = now;
            lock.unlock();
            db.removeBefore(now - m_keepDays * DayMs);
            lock.lock();
            continue;
        }
        m_keepDaysChanged = false;
        if (m_queue.empty() || (m_paused && !m_stop)) {
            if (m_stop)
                break;
            continue;
        }
        const qsizetype n = std::min<qsizetype>(BatchSize, static_cast<qsizetype>(m_queue.size()));
        QList<HistoryEvent> batch(m_queue.begin(), m_queue.begin() + n);
        m_queue.erase(m_queue.begin(), m_queue.begin() + n);
        lock.unlock();
        bool stored = usable && db.apply(batch);
        if (usable && !stored && looksCorrupt(db.lastError())) {
            db.close();
            // The journal holds this batch too: the new file gets all of it.
            usable = openDatabase(db);
            stored = usable && replay();
        }
        QString error = db.lastError();
        if (usable && !stored && !isPassing(error)) {
            // An event the database refuses must not hold back the others: they are
            // stored one by one, and what is refused is told once and left out.
            for (const HistoryEvent& event : std::as_const(batch)) {
                if (!db.apply({event}) && !isPassing(db.lastError()))
                    report(QStringLiteral("refused"), QStringLiteral("履歴"),
                           QStringLiteral("履歴に保存できない記録がありました (%1)。")
                               .arg(db.lastError()));
            }
            stored = true;
        }
        lock.lock();
        if (stored || !usable) {
            m_failed = !usable;
            m_done += n;
            // Emptied only when the database holds everything the journal does.
            if (stored && m_done == m_recorded && m_queue.empty())
                m_journal.truncate();
            m_progress.notify_all();
            if (stored) {
                lock.unlock();
                Q_EMIT this->stored();
                lock.lock();
            }
            continue;
        }
        // A full disk or a lock held elsewhere: keep the batch and try again later.
        m_queue.insert(m_queue.begin(), batch.begin(), batch.end());
        lock.unlock();
        report(QStringLiteral("write"), QStringLiteral("履歴"),
               QStringLiteral("履歴を保存できません (%1)。ディスクの空きを確認してください。\r\n"
                              "メッセージの送受信はこのまま続けられます。")
                   .arg(error));
        lock.lock();
        m_wake.wait_for(lock, std::chrono::seconds(2), [&] { return m_stop || m_clear; });
        if (m_stop) {
            m_done += m_queue.size();
            m_queue.clear();
            m_progress.notify_all();
            break;
        }
    }
    lock.unlock();
    db.close();
}

} // namespace velmar::history
