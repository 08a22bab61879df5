#pragma once

// The program's text uses CR LF line breaks; Linux uses LF on the clipboard, in
// widgets and in most files. These convert at each such boundary.

#include <QString>

namespace velmar::platform {

// Every line break (LF, CR LF or a lone CR) becomes `lineBreak`.
QString replaceLineBreaks(const QString& text, QStringView lineBreak);
// Any of LF, CR LF or a lone CR becomes CR LF.
QString toCrlf(const QString& text);
// CR LF becomes LF; lone CRs stay.
QString crlfToLf(const QString& text);

} // namespace velmar::platform
