#pragma once

// Reply-mark colouring decided in plain code: the mark-to-colour table built from the
// "ResColor" setting, colour values in the 0x00BBGGRR layout, and the colour of each
// line of a text. The text window only applies what is decided here.

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <optional>

namespace velmar::text {

// The mark-to-colour table: entries "mark colour", in the order of the setting.
// Pairs whose colour token is missing (an odd last marks token) or is no number are
// left out, so a hand-edited setting cannot colour lines with garbage.
QStringList buildColorTable(const QString& resColor);

// Spaces (U+0020 only) removed at both ends: a line indented with spaces is matched by
// its first other characters, one indented with a tab or U+3000 is not.
QStringView trimSpaces(QStringView text);

struct ColorRule {
    QString mark;
    quint32 colour = 0;
};

// Looks lines up in the table: the first entry whose mark starts the space-trimmed
// line wins, so ">>" must stand before ">" to be seen; an empty mark matches any line.
class LineColorer final {
public:
    explicit LineColorer(const QStringList& table);

    bool isEmpty() const { return m_rules.isEmpty(); }
    const QList<ColorRule>& rules() const { return m_rules; }

    // Index of the entry colouring `line`, or -1 for the base colour. The last line of
    // a text (one with no line break after it) is looked up only when it has at least
    // four characters; a shorter one keeps the base colour.
    int decide(QStringView line, bool isLastLine) const;

    // decide() for every line of a CRLF text, in order.
    QList<int> decideText(QStringView crlfText) const;

private:
    QList<ColorRule> m_rules;
};

} // namespace velmar::text
