#pragma once

#include "history/history_event.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <optional>

namespace velmar::history {

// One row of the history as the history window lists it.
struct HistoryRow {
    qint64 id = 0;
    qint64 at = 0;
    Direction direction = Direction::Received;
    QString peerName;
    QString firstLine; // empty while a sealed message is unopened
    MessageState state = MessageState::Plain;
    MessageKind kind = MessageKind::Normal;
};

// A whole message, for showing it again.
struct HistoryMessage {
    HistoryRow row;
    PeerIdentity peer; // the sender, or the first recipient
    QString text;
    QString packetNo;
    bool sealed = false;
    qint64 openedAt = 0;
    struct RecipientState {
        PeerIdentity peer;
        MessageState state = MessageState::Sending;
    };
    QList<RecipientState> recipients;
};

struct HistoryQuery {
    QString search = {};  // words, all of which must occur in the text or the peer's name
    QString address = {}; // only this peer's messages (empty: everyone)
    int limit = 1000;
};

struct PeerChoice {
    QString address;
    QString name; // the newest name seen at that address
};

// One connection to the history database. Used from one thread only: the writer
// keeps one, the history window another.
class HistoryDatabase {
public:
    explicit HistoryDatabase(QString connectionName);
    ~HistoryDatabase();
    HistoryDatabase(const HistoryDatabase&) = delete;
    HistoryDatabase& operator=(const HistoryDatabase&) = delete;

    // Opens (creating it with mode 0600 when missing) and migrates. False with the
    // reason in lastError() when the file cannot be used.
    bool open(const QString& path, bool readOnly = false);
    void close();
    bool isOpen() const;
    const QString& lastError() const { return m_error; }
    QSqlDatabase& db() { return m_db; }

    // Stores events in one transaction; false (and nothing stored) on failure.
    bool apply(const QList<HistoryEvent>& events);
    QList<HistoryRow> search(const HistoryQuery& query);
    std::optional<HistoryMessage> message(qint64 id);
    QList<PeerChoice> peers();
    qint64 count();
    // Removes what is older than `before` (ms since the epoch); everything with 0.
    bool removeBefore(qint64 before);
    bool clear();

private:
    bool applyOne(const HistoryEvent& event);
    std::optional<qint64> peerId(const PeerIdentity& peer);
    bool received(const HistoryEvent& event);
    bool sent(const HistoryEvent& event);
    bool sealFate(const HistoryEvent& event);
    bool recipientState(const HistoryEvent& event);
    bool peerNotice(const HistoryEvent& event);
    bool updateSentSummary(qint64 messageId);
    bool index(qint64 id, const QString& doc);
    bool unindex(qint64 id, const QString& doc);
    QString documentOf(qint64 id);
    bool fail(const QSqlQuery& query);
    QSqlQuery& statement(const QString& sql);

    QString m_connectionName;
    QSqlDatabase m_db;
    QString m_error;
    QHash<QString, QSqlQuery> m_statements;
    QHash<QString, qint64> m_peerIds;
};

} // namespace velmar::history
