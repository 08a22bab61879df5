#include "history/history_database.h"

#include "history/grams.h"
#include "history/schema.h"

#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <fcntl.h>
#include <unistd.h>

namespace velmar::history {

namespace {

QString firstLineOf(const QString& text)
{
    const qsizetype end = text.indexOf(u'\n');
    QString line = end < 0 ? text : text.left(end);
    if (line.endsWith(u'\r'))
        line.chop(1);
    return line.left(200);
}

// Characters as the indexes count them: code points.
qsizetype codePoints(const QString& word)
{
    qsizetype n = 0;
    for (qsizetype i = 0; i < word.size(); ++i) {
        if (!(word[i].isLowSurrogate() && i > 0 && word[i - 1].isHighSurrogate()))
            ++n;
    }
    return n;
}

MessageState summaryOf(const QList<MessageState>& states)
{
    if (states.isEmpty())
        return MessageState::Sending;
    if (states.contains(MessageState::Failed))
        return MessageState::Failed;
    if (states.contains(MessageState::Sending))
        return MessageState::Sending;
    const auto all = [&](MessageState s) {
        return std::all_of(states.begin(), states.end(), [s](MessageState x) { return x == s; });
    };
    if (all(MessageState::ReadByPeer))
        return MessageState::ReadByPeer;
    if (all(MessageState::DiscardedByPeer))
        return MessageState::DiscardedByPeer;
    return MessageState::Delivered;
}

} // namespace

HistoryDatabase::HistoryDatabase(QString connectionName)
    : m_connectionName(std::move(connectionName))
{
}

HistoryDatabase::~HistoryDatabase()
{
    close();
}

bool HistoryDatabase::open(const QString& path, bool readOnly)
{
    close();
    m_error.clear();
    if (!readOnly && !QFile::exists(path)) {
        // Created here so that it never exists with a wider mode than 0600; SQLite
        // gives its -wal and -shm files the database's mode.
        const int fd =
            ::open(QFile::encodeName(path).constData(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600);
        if (fd < 0) {
            m_error = QString::fromLocal8Bit(strerror(errno));
            return false;
        }
        ::close(fd);
    }
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
    m_db.setDatabaseName(path);
    m_db.setConnectOptions(readOnly
                               ? QStringLiteral("QSQLITE_BUSY_TIMEOUT=2000;QSQLITE_OPEN_READONLY")
                               : QStringLiteral("QSQLITE_BUSY_TIMEOUT=2000"));
    if (!m_db.open()) {
        m_error = m_db.lastError().text();
        close();
        return false;
    }
    QSqlQuery query(m_db);
    // A file that is no database fails at its first read.
    if (!query.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")) || !query.next()) {
        m_error = query.lastError().text();
        close();
        return false;
    }
    if (readOnly) {
        if (schemaVersion(m_db) != SchemaVersion) {
            m_error = QStringLiteral("schema version %1").arg(schemaVersion(m_db));
            close();
            return false;
        }
        return true;
    }
    // A commit is an append to the write-ahead log: safe against the program being
    // killed at any moment; the log is synced to the disk at checkpoints.
    if (!query.exec(QStringLiteral("PRAGMA journal_mode=WAL")) || !query.next() ||
        query.value(0).toString() != u"wal" ||
        !query.exec(QStringLiteral("PRAGMA synchronous=NORMAL"))) {
        m_error = query.lastError().text().isEmpty() ? QStringLiteral("no write-ahead log")
                                                     : query.lastError().text();
        close();
        return false;
    }
    if (!migrate(m_db, &m_error)) {
        close();
        return false;
    }
    return true;
}

QSqlQuery& HistoryDatabase::statement(const QString& sql)
{
    // Prepared once per connection: preparing costs more than running these.
    auto it = m_statements.find(sql);
    if (it == m_statements.end()) {
        it = m_statements.insert(sql, QSqlQuery(m_db));
        it->prepare(sql);
    }
    return *it;
}

void HistoryDatabase::close()
{
    m_statements.clear();
    m_peerIds.clear();
    if (m_db.isValid()) {
        m_db.close();
        m_db = QSqlDatabase();
    }
    if (QSqlDatabase::contains(m_connectionName))
        QSqlDatabase::removeDatabase(m_connectionName);
}

bool HistoryDatabase::isOpen() const
{
    return m_db.isValid() && m_db.isOpen();
}

bool HistoryDatabase::fail(const QSqlQuery& query)
{
    m_error = query.lastError().text();
    return false;
}

bool HistoryDatabase::apply(const QList<HistoryEvent>& events)
{
    m_error.clear();
    if (!m_db.transaction()) {
        m_error = m_db.lastError().text();
        return false;
    }
    for (const HistoryEvent& event : events) {
        if (!applyOne(event)) {
            m_db.rollback();
            m_peerIds.clear(); // may name rows that were rolled back
            return false;
        }
    }
    if (!m_db.commit()) {
        m_error = m_db.lastError().text();
        m_db.rollback();
        m_peerIds.clear();
        return false;
    }
    return true;
}

bool HistoryDatabase::applyOne(const HistoryEvent& event)
{
    switch (event.type) {
    case HistoryEvent::Type::Received:
        return received(event);
    case HistoryEvent::Type::Sent:
        return sent(event);
    case HistoryEvent::Type::Opened:
    case HistoryEvent::Type::Discarded:
        return sealFate(event);
    case HistoryEvent::Type::RecipientState:
        return recipientState(event);
    case HistoryEvent::Type::PeerNotice:
        return peerNotice(event);
    }
    return true;
}

std::optional<qint64> HistoryDatabase::peerId(const PeerIdentity& peer)
{
    const QString key = peer.name + u'\x1f' + peer.user + u'\x1f' + peer.host + u'\x1f' +
                        peer.address + u'\x1f' + QString::number(peer.port);
    if (const auto it = m_peerIds.constFind(key); it != m_peerIds.constEnd())
        return *it;
    // A missing part is stored as empty text, never as NULL.
    const auto text = [](const QString& s) { return s.isNull() ? QStringLiteral("") : s; };
    QSqlQuery& query = statement(QStringLiteral(
        "INSERT INTO peers(name, user, host, address, port) VALUES(?, ?, ?, ?, ?) ON CONFLICT "
        "DO UPDATE SET name = excluded.name RETURNING id"));
    query.addBindValue(text(peer.name));
    query.addBindValue(text(peer.user));
    query.addBindValue(text(peer.host));
    query.addBindValue(text(peer.address));
    query.addBindValue(peer.port);
    if (!query.exec() || !query.next()) {
        fail(query);
        return std::nullopt;
    }
    const qint64 id = query.value(0).toLongLong();
    query.finish();
    if (m_peerIds.size() > 10000)
        m_peerIds.clear();
    m_peerIds.insert(key, id);
    return id;
}

bool HistoryDatabase::index(qint64 id, const QString& doc)
{
    QSqlQuery& text = statement(QStringLiteral("INSERT INTO text_index(rowid, doc) VALUES(?, ?)"));
    text.addBindValue(id);
    text.addBindValue(doc);
    if (!text.exec())
        return fail(text);
    QSqlQuery& grams =
        statement(QStringLiteral("INSERT INTO gram_index(rowid, grams) VALUES(?, ?)"));
    grams.addBindValue(id);
    grams.addBindValue(gramsOf(doc));
    return grams.exec() || fail(grams);
}

bool HistoryDatabase::unindex(qint64 id, const QString& doc)
{
    // The indexes keep no copy of the text: removing a row takes the words it was
    // indexed with.
    QSqlQuery query(m_db);
    query.prepare(
        QStringLiteral("INSERT INTO text_index(text_index, rowid, doc) VALUES('delete', ?, ?)"));
    query.addBindValue(id);
    query.addBindValue(doc);
    if (!query.exec())
        return fail(query);
    query.prepare(
        QStringLiteral("INSERT INTO gram_index(gram_index, rowid, grams) VALUES('delete', ?, ?)"));
    query.addBindValue(id);
    query.addBindValue(gramsOf(doc));
    return query.exec() || fail(query);
}

QString HistoryDatabase::documentOf(qint64 id)
{
    QSqlQuery query(m_db);
    query.prepare(QStringLiteral(
        "SELECT m.direction, coalesce(m.text, ''), p.name FROM messages m JOIN peers p ON p.id = "
        "m.peer_id WHERE m.id = ?"));
    query.addBindValue(id);
    if (!query.exec() || !query.next())
        return QString();
    QString names = query.value(2).toString();
    const QString text = query.value(1).toString();
    if (query.value(0).toInt() == static_cast<int>(Direction::Sent)) {
        QSqlQuery others(m_db);
        others.prepare(QStringLiteral("SELECT p.name FROM recipients r JOIN peers p ON p.id = "
                                      "r.peer_id WHERE r.message_id = ? ORDER BY rowid"));
        others.addBindValue(id);
        names.clear();
        if (others.exec()) {
            QStringList list;
            while (others.next())
                list << others.value(0).toString();
            names = list.join(u' ');
        }
    }
    return names + u'\n' + text;
}

bool HistoryDatabase::received(const HistoryEvent& event)
{
    const auto peer = peerId(event.peer);
    if (!peer)
        return false;
    QSqlQuery& query = statement(QStringLiteral(
        "INSERT INTO messages(uid, at, direction, peer_id, packet_no, text, sealed, state, kind) "
        "VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?) ON CONFLICT(uid) DO NOTHING"));
    query.addBindValue(event.uid);
    query.addBindValue(event.at);
    query.addBindValue(static_cast<int>(Direction::Received));
    query.addBindValue(*peer);
    query.addBindValue(event.packetNo.isNull() ? QStringLiteral("") : event.packetNo);
    // A sealed message's text is kept only once it is opened.
    query.addBindValue(event.sealed ? QVariant() : QVariant(event.text));
    query.addBindValue(event.sealed);
    query.addBindValue(static_cast<int>(event.sealed ? MessageState::Sealed : MessageState::Plain));
    query.addBindValue(static_cast<int>(event.kind));
    if (!query.exec())
        return fail(query);
    if (query.numRowsAffected() == 0)
        return true; // stored before (a replayed journal)
    const qint64 id = query.lastInsertId().toLongLong();
    return index(id, event.peer.name + u'\n' + (event.sealed ? QString() : event.text));
}

bool HistoryDatabase::sent(const HistoryEvent& event)
{
    if (event.recipients.isEmpty())
        return true;
    QList<qint64> peers;
    QStringList names;
    for (const Recipient& recipient : event.recipients) {
        const auto peer = peerId(recipient.peer);
        if (!peer)
            return false;
        peers << *peer;
        names << recipient.peer.name;
    }
    QSqlQuery& query = statement(QStringLiteral(
        "INSERT INTO messages(uid, at, direction, peer_id, packet_no, text, sealed, state, kind) "
        "VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?) ON CONFLICT(uid) DO NOTHING"));
    query.addBindValue(event.uid);
    query.addBindValue(event.at);
    query.addBindValue(static_cast<int>(Direction::Sent));
    query.addBindValue(peers.first());
    query.addBindValue(event.recipients.first().packets.value(0, QStringLiteral("")));
    query.addBindValue(event.text);
    query.addBindValue(event.sealed);
    query.addBindValue(static_cast<int>(event.state));
    query.addBindValue(static_cast<int>(event.kind));
    if (!query.exec())
        return fail(query);
    if (query.numRowsAffected() == 0)
        return true;
    const qint64 id = query.lastInsertId().toLongLong();
    QSqlQuery recipient(m_db);
    recipient.prepare(QStringLiteral("INSERT OR IGNORE INTO recipients(message_id, peer_id, "
                                     "packets, state, changed_at) VALUES(?, ?, ?, ?, ?)"));
    for (qsizetype i = 0; i < peers.size(); ++i) {
        recipient.addBindValue(id);
        recipient.addBindValue(peers[i]);
        recipient.addBindValue(QString(u' ' + event.recipients[i].packets.join(u' ') + u' '));
        recipient.addBindValue(static_cast<int>(event.state));
        recipient.addBindValue(event.at);
        if (!recipient.exec())
            return fail(recipient);
    }
    return index(id, names.join(u' ') + u'\n' + event.text);
}

bool HistoryDatabase::sealFate(const HistoryEvent& event)
{
    QSqlQuery query(m_db);
    query.prepare(QStringLiteral("SELECT id FROM messages WHERE uid = ? AND state = ?"));
    query.addBindValue(event.uid);
    query.addBindValue(static_cast<int>(MessageState::Sealed));
    if (!query.exec())
        return fail(query);
    if (!query.next())
        return true; // opened or discarded before, or never stored
    const qint64 id = query.value(0).toLongLong();
    const bool opened = event.type == HistoryEvent::Type::Opened;
    if (opened && !unindex(id, documentOf(id)))
        return false;
    query.prepare(
        QStringLiteral("UPDATE messages SET state = ?, text = ?, opened_at = ? WHERE id = ?"));
    query.addBindValue(static_cast<int>(opened ? MessageState::Opened : MessageState::Discarded));
    query.addBindValue(opened ? QVariant(event.text) : QVariant());
    query.addBindValue(opened ? QVariant(event.at) : QVariant());
    query.addBindValue(id);
    if (!query.exec())
        return fail(query);
    return !opened || index(id, documentOf(id));
}

bool HistoryDatabase::recipientState(const HistoryEvent& event)
{
    QSqlQuery query(m_db);
    query.prepare(QStringLiteral("SELECT id FROM messages WHERE uid = ?"));
    query.addBindValue(event.uid);
    if (!query.exec())
        return fail(query);
    if (!query.next())
        return true;
    const qint64 id = query.value(0).toLongLong();
    // A receipt or a failure never takes back what a notice said.
    query.prepare(QStringLiteral(
        "UPDATE recipients SET state = ?, changed_at = ? WHERE message_id = ? AND state IN (?, "
        "?) AND peer_id IN (SELECT id FROM peers WHERE address = ? AND port = ?)"));
    query.addBindValue(static_cast<int>(event.state));
    query.addBindValue(event.at);
    query.addBindValue(id);
    query.addBindValue(static_cast<int>(MessageState::Sending));
    query.addBindValue(static_cast<int>(MessageState::Failed));
    query.addBindValue(event.peer.address);
    query.addBindValue(event.peer.port);
    if (!query.exec())
        return fail(query);
    return updateSentSummary(id);
}

bool HistoryDatabase::peerNotice(const HistoryEvent& event)
{
    QSqlQuery query(m_db);
    query.prepare(QStringLiteral(
        "SELECT r.message_id, r.peer_id FROM recipients r WHERE r.peer_id IN (SELECT id FROM "
        "peers WHERE address = ? AND port = ?) AND instr(r.packets, ?) > 0"));
    query.addBindValue(event.peer.address);
    query.addBindValue(event.peer.port);
    query.addBindValue(QString(u' ' + event.packetNo.trimmed() + u' '));
    if (!query.exec())
        return fail(query);
    QList<std::pair<qint64, qint64>> found;
    while (query.next())
        found.append({query.value(0).toLongLong(), query.value(1).toLongLong()});
    for (const auto& [message, peer] : found) {
        QSqlQuery update(m_db);
        update.prepare(QStringLiteral("UPDATE recipients SET state = ?, changed_at = ? WHERE "
                                      "message_id = ? AND peer_id = ?"));
        update.addBindValue(static_cast<int>(event.state));
        update.addBindValue(event.at);
        update.addBindValue(message);
        update.addBindValue(peer);
        if (!update.exec())
            return fail(update);
        if (!updateSentSummary(message))
            return false;
    }
    return true;
}

bool HistoryDatabase::updateSentSummary(qint64 messageId)
{
    QSqlQuery query(m_db);
    query.prepare(QStringLiteral("SELECT state FROM recipients WHERE message_id = ?"));
    query.addBindValue(messageId);
    if (!query.exec())
        return fail(query);
    QList<MessageState> states;
    while (query.next())
        states << static_cast<MessageState>(query.value(0).toInt());
    query.prepare(QStringLiteral("UPDATE messages SET state = ? WHERE id = ?"));
    query.addBindValue(static_cast<int>(summaryOf(states)));
    query.addBindValue(messageId);
    return query.exec() || fail(query);
}

QList<HistoryRow> HistoryDatabase::search(const HistoryQuery& request)
{
    QStringList conditions;
    QVariantList values;
    for (const QString& word : searchWords(request.search)) {
        if (codePoints(word) >= 3)
            conditions << QStringLiteral(
                "m.id IN (SELECT rowid FROM text_index WHERE text_index MATCH ?)");
        else
            conditions << QStringLiteral(
                "m.id IN (SELECT rowid FROM gram_index WHERE gram_index MATCH ?)");
        values << ftsPhrase(word);
    }
    // A peer's messages, sent to it (it may be one recipient of several) or from it.
    const QString peerMessages = QStringLiteral(
        "SELECT m2.id FROM messages m2 WHERE m2.peer_id IN (SELECT id FROM peers WHERE address = "
        "?) UNION SELECT r.message_id FROM recipients r WHERE r.peer_id IN (SELECT id FROM peers "
        "WHERE address = ?)");
    // With words as well, the peer's messages (few) drive the query, CROSS JOIN keeping
    // that order, and each is checked against the words' matches: looking up every
    // message that holds a common word and then its peer takes a hundred times longer.
    const bool peerDrives = !request.address.isEmpty() && !conditions.isEmpty();
    QString sql;
    if (peerDrives) {
        sql = QStringLiteral("WITH chosen(id) AS (") + peerMessages + QStringLiteral(") ");
        values.prepend(request.address);
        values.prepend(request.address);
    } else if (!request.address.isEmpty()) {
        conditions << QStringLiteral("m.id IN (") + peerMessages + u')';
        values << request.address << request.address;
    }
    sql += QStringLiteral(
        "SELECT m.id, m.at, m.direction, p.name, substr(coalesce(m.text, ''), 1, 400), m.state, "
        "m.kind, (SELECT count(*) FROM recipients r WHERE r.message_id = m.id) FROM ");
    sql += peerDrives ? QStringLiteral("chosen c CROSS JOIN messages m ON m.id = c.id")
                      : QStringLiteral("messages m");
    sql += QStringLiteral(" JOIN peers p ON p.id = m.peer_id");
    if (!conditions.isEmpty())
        sql += QStringLiteral(" WHERE ") + conditions.join(QStringLiteral(" AND "));
    sql += QStringLiteral(" ORDER BY m.id DESC LIMIT ?");
    values << request.limit;
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    if (!query.prepare(sql)) {
        fail(query);
        return {};
    }
    for (const QVariant& value : std::as_const(values))
        query.addBindValue(value);
    QList<HistoryRow> rows;
    if (!query.exec()) {
        fail(query);
        return rows;
    }
    while (query.next()) {
        HistoryRow row;
        row.id = query.value(0).toLongLong();
        row.at = query.value(1).toLongLong();
        row.direction = static_cast<Direction>(query.value(2).toInt());
        row.peerName = query.value(3).toString();
        const int recipients = query.value(7).toInt();
        if (recipients > 1)
            row.peerName += QStringLiteral(" ほか%1人").arg(recipients - 1);
        row.firstLine = firstLineOf(query.value(4).toString());
        row.state = static_cast<MessageState>(query.value(5).toInt());
        row.kind = static_cast<MessageKind>(query.value(6).toInt());
        rows.append(row);
    }
    return rows;
}

std::optional<HistoryMessage> HistoryDatabase::message(qint64 id)
{
    QSqlQuery query(m_db);
    query.prepare(QStringLiteral(
        "SELECT m.at, m.direction, m.state, m.kind, coalesce(m.text, ''), m.packet_no, m.sealed, "
        "coalesce(m.opened_at, 0), p.name, p.user, p.host, p.address, p.port FROM messages m JOIN "
        "peers p ON p.id = m.peer_id WHERE m.id = ?"));
    query.addBindValue(id);
    if (!query.exec() || !query.next())
        return std::nullopt;
    HistoryMessage out;
    out.row.id = id;
    out.row.at = query.value(0).toLongLong();
    out.row.direction = static_cast<Direction>(query.value(1).toInt());
    out.row.state = static_cast<MessageState>(query.value(2).toInt());
    out.row.kind = static_cast<MessageKind>(query.value(3).toInt());
    out.text = query.value(4).toString();
    out.row.firstLine = firstLineOf(out.text);
    out.packetNo = query.value(5).toString();
    out.sealed = query.value(6).toBool();
    out.openedAt = query.value(7).toLongLong();
    out.peer = {query.value(8).toString(), query.value(9).toString(), query.value(10).toString(),
                query.value(11).toString(), static_cast<quint16>(query.value(12).toUInt())};
    out.row.peerName = out.peer.name;
    query.prepare(QStringLiteral(
        "SELECT p.name, p.user, p.host, p.address, p.port, r.state FROM recipients r JOIN peers p "
        "ON p.id = r.peer_id WHERE r.message_id = ?"));
    query.addBindValue(id);
    if (query.exec()) {
        while (query.next())
            out.recipients.append(
                {{query.value(0).toString(), query.value(1).toString(), query.value(2).toString(),
                  query.value(3).toString(), static_cast<quint16>(query.value(4).toUInt())},
                 static_cast<MessageState>(query.value(5).toInt())});
    }
    return out;
}

QList<PeerChoice> HistoryDatabase::peers()
{
    QSqlQuery query(m_db);
    QList<PeerChoice> out;
    if (!query.exec(QStringLiteral(
            "SELECT address, name FROM peers WHERE id IN (SELECT max(id) FROM peers GROUP BY "
            "address) ORDER BY name, address")))
        return out;
    while (query.next())
        out.append({query.value(0).toString(), query.value(1).toString()});
    return out;
}

qint64 HistoryDatabase::count()
{
    QSqlQuery query(m_db);
    if (!query.exec(QStringLiteral("SELECT count(*) FROM messages")) || !query.next())
        return -1;
    return query.value(0).toLongLong();
}

bool HistoryDatabase::removeBefore(qint64 before)
{
    if (!m_db.transaction())
        return false;
    QSqlQuery query(m_db);
    query.prepare(QStringLiteral("SELECT id FROM messages WHERE at < ?"));
    query.addBindValue(before);
    QList<qint64> ids;
    if (query.exec()) {
        while (query.next())
            ids << query.value(0).toLongLong();
    }
    for (const qint64 id : std::as_const(ids)) {
        if (!unindex(id, documentOf(id))) {
            m_db.rollback();
            return false;
        }
    }
    query.prepare(QStringLiteral("DELETE FROM recipients WHERE message_id IN (SELECT id FROM "
                                 "messages WHERE at < ?)"));
    query.addBindValue(before);
    bool ok = query.exec();
    query.prepare(QStringLiteral("DELETE FROM messages WHERE at < ?"));
    query.addBindValue(before);
    ok = ok && query.exec();
    if (!ok || !m_db.commit()) {
        fail(query);
        m_db.rollback();
        return false;
    }
    return true;
}

bool HistoryDatabase::clear()
{
    m_statements.clear(); // none may be open during VACUUM
    m_peerIds.clear();
    QSqlQuery query(m_db);
    const QStringList statements = {
        QStringLiteral("BEGIN"),
        QStringLiteral("INSERT INTO text_index(text_index) VALUES('delete-all')"),
        QStringLiteral("INSERT INTO gram_index(gram_index) VALUES('delete-all')"),
        QStringLiteral("DELETE FROM recipients"),
        QStringLiteral("DELETE FROM messages"),
        QStringLiteral("DELETE FROM peers"),
        QStringLiteral("COMMIT"),
        // What was deleted must not linger in free pages or in the log.
        QStringLiteral("VACUUM"),
        QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"),
    };
    for (const QString& sql : statements) {
        if (!query.exec(sql)) {
            fail(query);
            query.exec(QStringLiteral("ROLLBACK"));
            return false;
        }
    }
    return true;
}

} // namespace velmar::history
