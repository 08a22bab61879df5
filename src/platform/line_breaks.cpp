#include "platform/line_breaks.h"

namespace velmar::platform {

QString replaceLineBreaks(const QString& text, QStringView lineBreak)
{
    QString out;
    out.reserve(text.size() + text.size() / 32);
    const qsizetype n = text.size();
    qsizetype runStart = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c != u'\r' && c != u'\n')
            continue;
        out.append(QStringView(text).sliced(runStart, i - runStart));
        out.append(lineBreak);
        if (c == u'\r' && i + 1 < n && text.at(i + 1) == u'\n')
            ++i;
        runStart = i + 1;
    }
    out.append(QStringView(text).sliced(runStart));
    return out;
}

QString toCrlf(const QString& text)
{
    return replaceLineBreaks(text, u"\r\n");
}

QString crlfToLf(const QString& text)
{
    QString out = text;
    out.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return out;
}

} // namespace velmar::platform
