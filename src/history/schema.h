#pragma once

#include <QString>

class QSqlDatabase;

namespace velmar::history {

// The schema's versions, kept in PRAGMA user_version. 1 indexed three characters
// and more only; 2 added the index of single characters and pairs, and the kind of
// message (absence reply, collected).
inline constexpr int FirstSchemaVersion = 1;
inline constexpr int SchemaVersion = 2;

// Brings the database from whatever version it has (0: empty) to SchemaVersion, one
// step at a time, each in a transaction. False with `error` set when a step fails or
// the file is of a newer version than this program knows.
bool migrate(QSqlDatabase& db, QString* error);
// Creates the schema of an older version on an empty database (tests of migration).
bool createVersion(QSqlDatabase& db, int version, QString* error);
int schemaVersion(QSqlDatabase& db);

} // namespace velmar::history
