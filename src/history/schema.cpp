#include "history/schema.h"

#include "history/grams.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace velmar::history {

namespace {

bool exec(QSqlDatabase& db, const QString& sql, QString* error)
{
    QSqlQuery query(db);
    if (query.exec(sql))
        return true;
    if (error)
        *error = query.lastError().text();
    return false;
}

bool execAll(QSqlDatabase& db, const QStringList& statements, QString* error)
{
    for (const QString& sql : statements) {
        if (!exec(db, sql, error))
            return false;
    }
    return true;
}

// Version 1: peers, messages, recipients and the three-character index over the
// peer's name and the text.
const QStringList version1 = {
    QStringLiteral("CREATE TABLE peers(id INTEGER PRIMARY KEY, name TEXT NOT NULL, user TEXT NOT "
                   "NULL, host TEXT NOT NULL, address TEXT NOT NULL, port INTEGER NOT NULL, "
                   "UNIQUE(address, port, name, user, host))"),
    QStringLiteral("CREATE TABLE messages(id INTEGER PRIMARY KEY, uid TEXT NOT NULL UNIQUE, at "
                   "INTEGER NOT NULL, direction INTEGER NOT NULL, peer_id INTEGER NOT NULL "
                   "REFERENCES peers(id), packet_no TEXT NOT NULL, text TEXT, sealed INTEGER NOT "
                   "NULL, opened_at INTEGER, state INTEGER NOT NULL)"),
    QStringLiteral("CREATE INDEX messages_peer ON messages(peer_id, id)"),
    QStringLiteral("CREATE INDEX messages_at ON messages(at)"),
    QStringLiteral("CREATE TABLE recipients(message_id INTEGER NOT NULL REFERENCES messages(id) "
                   "ON DELETE CASCADE, peer_id INTEGER NOT NULL REFERENCES peers(id), packets "
                   "TEXT NOT NULL, state INTEGER NOT NULL, changed_at INTEGER, PRIMARY "
                   "KEY(message_id, peer_id)) WITHOUT ROWID"),
    QStringLiteral("CREATE INDEX recipients_peer ON recipients(peer_id)"),
    QStringLiteral("CREATE VIRTUAL TABLE text_index USING fts5(doc, content='', "
                   "tokenize='trigram')"),
};

// Version 2: the index of single characters and pairs, and the kind of message.
bool toVersion2(QSqlDatabase& db, QString* error)
{
    if (!execAll(db,
                 {QStringLiteral("ALTER TABLE messages ADD COLUMN kind INTEGER NOT NULL DEFAULT 0"),
                  QStringLiteral("CREATE VIRTUAL TABLE gram_index USING fts5(grams, content='', "
                                 "tokenize='unicode61 remove_diacritics 0')")},
                 error))
        return false;
    // What version 1 indexed, indexed anew in pairs.
    QSqlQuery rows(db);
    rows.setForwardOnly(true);
    if (!rows.exec(QStringLiteral("SELECT m.id, p.name, m.text FROM messages m JOIN peers p ON "
                                  "p.id = m.peer_id"))) {
        if (error)
            *error = rows.lastError().text();
        return false;
    }
    QSqlQuery insert(db);
    insert.prepare(QStringLiteral("INSERT INTO gram_index(rowid, grams) VALUES(?, ?)"));
    while (rows.next()) {
        insert.addBindValue(rows.value(0));
        insert.addBindValue(
            gramsOf(QString(rows.value(1).toString() + u'\n' + rows.value(2).toString())));
        if (!insert.exec()) {
            if (error)
                *error = insert.lastError().text();
            return false;
        }
    }
    return true;
}

bool step(QSqlDatabase& db, int to, QString* error)
{
    switch (to) {
    case 1:
        return execAll(db, version1, error);
    case 2:
        return toVersion2(db, error);
    }
    if (error)
        *error = QStringLiteral("unknown schema version %1").arg(to);
    return false;
}

bool upTo(QSqlDatabase& db, int target, QString* error)
{
    for (int version = schemaVersion(db); version < target; ++version) {
        if (!db.transaction()) {
            if (error)
                *error = db.lastError().text();
            return false;
        }
        if (!step(db, version + 1, error) ||
            !exec(db, QStringLiteral("PRAGMA user_version = %1").arg(version + 1), error) ||
            !db.commit()) {
            if (error && error->isEmpty())
                *error = db.lastError().text();
            db.rollback();
            return false;
        }
    }
    return true;
}

} // namespace

int schemaVersion(QSqlDatabase& db)
{
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("PRAGMA user_version")) || !query.next())
        return -1;
    return query.value(0).toInt();
}

bool migrate(QSqlDatabase& db, QString* error)
{
    const int version = schemaVersion(db);
    if (version < 0) {
        if (error)
            *error = db.lastError().text();
        return false;
    }
    if (version > SchemaVersion) {
        if (error)
            *error = QStringLiteral("schema version %1 is newer than %2")
                         .arg(version)
                         .arg(SchemaVersion);
        return false;
    }
    return upTo(db, SchemaVersion, error);
}

bool createVersion(QSqlDatabase& db, int version, QString* error)
{
    return upTo(db, version, error);
}

} // namespace velmar::history
