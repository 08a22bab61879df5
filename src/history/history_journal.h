#pragma once

#include "history/history_event.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace velmar::history {

// An append-only file of events not yet in the database. An event is appended with
// one write() before the program answers the message it records, so it survives
// the program being killed at any moment (the kernel holds what was written); the
// writer empties the file once the database holds everything in it.
class HistoryJournal {
public:
    HistoryJournal() = default;
    ~HistoryJournal();
    HistoryJournal(const HistoryJournal&) = delete;
    HistoryJournal& operator=(const HistoryJournal&) = delete;

    // Opens (creating with mode 0600) for appending; false with errorText() set.
    bool open(const QString& path);
    void close();
    bool isOpen() const { return m_fd >= 0; }
    const QString& errorText() const { return m_error; }

    bool append(const HistoryEvent& event);
    bool truncate();
    // Every whole record from the start; a torn last record is left out.
    QList<HistoryEvent> readAll() const;

    static QByteArray encode(const HistoryEvent& event);
    // Events in `bytes` up to the first record that is torn or damaged.
    static QList<HistoryEvent> decode(const QByteArray& bytes);

private:
    int m_fd = -1;
    QString m_path;
    QString m_error;
};

} // namespace velmar::history
