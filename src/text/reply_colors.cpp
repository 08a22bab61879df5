#include "text/reply_colors.h"

#include <array>
#include <limits>

namespace velmar::text {

namespace {

constexpr quint32 SystemColorBit = 0x80000000u;

// System colour indexes (low byte of a value with the top bit set) and the palette
// roles that play the same part here. Index 5, the window background, is Base.
constexpr std::array<QPalette::ColorRole, 25> SystemRoles = {
    QPalette::Button,          // 0 scroll bar
    QPalette::Window,          // 1 desktop
    QPalette::Highlight,       // 2 active title bar
    QPalette::Mid,             // 3 inactive title bar
    QPalette::Window,          // 4 menu
    QPalette::Base,            // 5 window background
    QPalette::Shadow,          // 6 window frame
    QPalette::WindowText,      // 7 menu text
    QPalette::Text,            // 8 window text
    QPalette::HighlightedText, // 9 title text
    QPalette::Window,          // 10 active border
    QPalette::Window,          // 11 inactive border
    QPalette::Dark,            // 12 workspace behind child windows
    QPalette::Highlight,       // 13 selection
    QPalette::HighlightedText, // 14 selected text
    QPalette::Button,          // 15 button face
    QPalette::Dark,            // 16 button shadow
    QPalette::PlaceholderText, // 17 greyed text
    QPalette::ButtonText,      // 18 button text
    QPalette::WindowText,      // 19 inactive title text
    QPalette::Light,           // 20 button highlight
    QPalette::Shadow,          // 21 dark 3D shadow
    QPalette::Midlight,        // 22 light 3D edge
    QPalette::ToolTipText,     // 23 tooltip text
    QPalette::ToolTipBase,     // 24 tooltip background
};

constexpr QStringView CrLf = u"\r\n";

} // namespace

std::optional<quint32> parseColorValue(QStringView text)
{
    bool ok = false;
    const qlonglong value = text.toLongLong(&ok, 10);
    if (!ok || value < std::numeric_limits<qint32>::min() ||
        value > qlonglong(std::numeric_limits<quint32>::max()))
        return std::nullopt;
    return quint32(value);
}

std::optional<QColor> colorFromValue(quint32 value, const QPalette& palette)
{
    if (value & SystemColorBit) {
        const quint32 index = value & 0x00FFFFFFu;
        if (index >= SystemRoles.size())
            return std::nullopt;
        return palette.color(QPalette::Active, SystemRoles[index]);
    }
    return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
}

std::optional<QColor> colorFromSetting(QStringView text, const QPalette& palette)
{
    const auto value = parseColorValue(text);
    if (!value)
        return std::nullopt;
    return colorFromValue(*value, palette);
}

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
        if (!parseColorValue(colour))
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
        const auto colour = parseColorValue(QStringView(entry).mid(space + 1));
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
