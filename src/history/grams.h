#pragma once

#include <QString>
#include <QStringList>

namespace velmar::history {

// The single characters and overlapping pairs of every run of non-blank characters,
// blank-separated: "会議室" gives "会 会議 議 議室 室". Indexed as words, they find the
// one- and two-character searches that a three-character index cannot.
QString gramsOf(QStringView text);

// A search split at blanks into its words, each at most MaxWordLength long.
QStringList searchWords(const QString& search);
inline constexpr qsizetype MaxWordLength = 200;

// A word as an FTS5 phrase: in double quotes, inner quotes doubled.
QString ftsPhrase(const QString& word);

} // namespace velmar::history
