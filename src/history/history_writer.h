#pragma once

#include "history/history_event.h"
#include "history/history_journal.h"

#include <QObject>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace velmar::history {

// Stores events in the database on a thread of its own, with its own connection, so
// that the program never waits for the database. An event is first appended to the
// journal (one write, before the caller goes on), then queued; the thread stores
// what has gathered in one transaction and empties the journal when it has caught
// up. At start the thread stores what an earlier run left in the journal.
//
// A database that cannot be opened (corrupt, locked, unreadable) is moved aside
// under a new name, never deleted, and a new one is started. Problems are told once
// each through `problem`, from the writer's thread (connect queued).
class HistoryWriter final : public QObject {
    Q_OBJECT
public:
    // `folder` holds history.sqlite and history.journal.
    explicit HistoryWriter(QString folder, QObject* parent = nullptr);
    ~HistoryWriter() override;

    static QString databaseName() { return QStringLiteral("history.sqlite"); }
    QString databasePath() const;
    QString journalPath() const;

    // Creates the folder (mode 0700) and the journal and starts the thread. False
    // when the journal cannot be written (`problem` says why); recording then keeps
    // what it can in the database alone.
    bool start();
    bool isRunning() const { return m_thread.joinable(); }

    // Called on the program's thread; returns after the journal write.
    void record(const HistoryEvent& event);
    // Waits (at most `timeoutMs`) until everything recorded so far is stored or the
    // database has failed. True when it was stored.
    bool flush(int timeoutMs = 30000);
    void setKeepDays(int days);
    // Empties the history: queued events, journal and database.
    void clearAll();
    // Stops the thread after storing what is queued.
    void stop();

    // Pauses storing (tests: a receipt must not wait for the database).
    void setPaused(bool paused);

Q_SIGNALS:
    void problem(const QString& title, const QString& text);
    void stored();

private:
    void run();
    bool openDatabase(class HistoryDatabase& db);
    void report(const QString& key, const QString& title, const QString& text);

    QString m_folder;
    HistoryJournal m_journal;
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_progress;
    std::deque<HistoryEvent> m_queue;
    quint64 m_recorded = 0; // events recorded so far
    quint64 m_done = 0;     // of those, stored (or given up)
    bool m_stop = false;
    bool m_clear = false;
    bool m_paused = false;
    int m_flushing = 0; // callers waiting in flush()
    bool m_failed = false;
    std::atomic<int> m_keepDays{0};
    std::atomic<bool> m_keepDaysChanged{false};
    bool m_journalReported = false;
    QStringList m_reported;
};

} // namespace velmar::history
