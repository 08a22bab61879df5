#pragma once

// The program's text uses CR LF line breaks; Linux uses LF on the clipboard, in
// widgets and in most files. These convert at each such boundary.

#include <QList>
#include <QString>
#include <QStringView>

namespace velmar::platform {

// The lines of `text`, broken at LF, CR LF or a lone CR. A text ending in a break
// has an empty last line; an empty text is one empty line. The views point into
// `text`.
QList<QStringView> splitLines(QStringView text);
// Every line break (LF, CR LF or a lone CR) becomes `lineBreak`.
QString replaceLineBreaks(QStringView text, QStringView lineBreak);
// Any of LF, CR LF or a lone CR becomes CR LF.
QString toCrlf(QStringView text);
// CR LF becomes LF; lone CRs stay.
QString crlfToLf(const QString& text);

} // namespace velmar::platform
