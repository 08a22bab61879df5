#include "history/grams.h"

namespace velmar::history {

QString gramsOf(QStringView text)
{
    QString out;
    out.reserve(text.size() * 4);
    QStringView previous;
    for (qsizetype i = 0; i < text.size();) {
        // Whole code points: a pair never splits a surrogate pair.
        const qsizetype width =
            (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) ? 2
                                                                                               : 1;
        const QStringView current = text.sliced(i, width);
        i += width;
        if (current.size() == 1 && current[0].isSpace()) {
            previous = QStringView();
            continue;
        }
        if (!previous.isEmpty()) {
            out += previous;
            out += current;
            out += u' ';
        }
        out += current;
        out += u' ';
        previous = current;
    }
    if (!out.isEmpty())
        out.chop(1);
    return out;
}

QStringList searchWords(const QString& search)
{
    QStringList words = search.simplified().split(u' ', Qt::SkipEmptyParts);
    for (QString& word : words)
        word.truncate(MaxWordLength);
    return words;
}

QString ftsPhrase(const QString& word)
{
    QString quoted = word;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

} // namespace velmar::history
