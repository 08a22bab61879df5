#include "text/reply_colors.h"

#include "settings/colour_value.h"

#include <array>
#include <limits>

namespace velmar::text {

namespace {

constexpr QStringView CrLf = u"\r\n";

} // namespace

QStringList buildColorTable(const QString& resColor)
{
    QStringList table;
    if (resColor.toUpper() == u"NULL")
        return table;
    QStringView rest = resColor;
    while (!rest.isEmpty()) {
        QStringView marks;
        const qsizetype space = rest.indexOf(u' ');
        if (space < 0) {
            // A marks token with no colour after it: nothing to pair it with.
            break;
        }
        marks = rest.left(space);
        rest = rest.mid(space + 1);
        QStringView colour;
        const qsizetype colourEnd = rest.indexOf(u' ');
        if (colourEnd >= 0) {
            colour = rest.left(colourEnd);
            rest = rest.mid(colourEnd + 1);
        } else {
            colour = rest;
            rest = {};
        }
        colour = trimSpaces(colour);
        if (!settings::parseColorValue(colour))
            continue;
        while (!marks.isEmpty()) {
            const qsizetype comma = marks.indexOf(u',');
            const QStringView mark = comma < 0 ? marks : marks.left(comma);
            marks = comma < 0 ? QStringView() : marks.mid(comma + 1);
            table.append(trimSpaces(mark).toString() + u' ' + colour.toString());
        }
    }
    return table;
}

QStringView trimSpaces(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin] == u' ')
        ++begin;
    while (end > begin && text[end - 1] == u' ')
        --end;
    return text.mid(begin, end - begin);
}

LineColorer::LineColorer(const QStringList& table)
{
    m_rules.reserve(table.size());
    for (const QString& entry : table) {
        const qsizetype space = entry.indexOf(u' ');
        if (space < 0)
            continue;
        const auto colour = settings::parseColorValue(QStringView(entry).mid(space + 1));
        if (!colour)
            continue;
        m_rules.append({entry.left(space), *colour});
    }
}

int LineColorer::decide(QStringView line, bool isLastLine) const
{
    // The last line is looked up only from four characters on (a 1-based start
    // position below length - 2); an empty piece after a final break never is.
    if (isLastLine && line.size() < 4)
        return -1;
    const QStringView trimmed = trimSpaces(line);
    for (qsizetype i = 0; i < m_rules.size(); ++i) {
        if (trimmed.startsWith(m_rules[i].mark))
            return int(i);
    }
    return -1;
}

QList<int> LineColorer::decideText(QStringView crlfText) const
{
    QList<int> result;
    qsizetype pos = 0;
    while (true) {
        const qsizetype found = crlfText.indexOf(CrLf, pos);
        if (found < 0) {
            result.append(decide(crlfText.mid(pos), true));
            break;
        }
        result.append(decide(crlfText.mid(pos, found - pos), false));
        pos = found + CrLf.size();
    }
    return result;
}

} // namespace velmar::text
