#pragma once

#include "components/components.h"

namespace velmar::components {

// The built-in character-check component.
//
// Decisions where callers leave room:
// - Blanks are the space, the ideographic space U+3000 and the tab.
// - NumChk accepts a decimal number of 0 to 65535 after trimming blanks, with
//   full-width digits read as half-width; anything else is "error".
// - numnum accepts an optional sign and decimal digits (full-width too) and answers
//   the number without leading zeros.
// - ResAddText marks every line, empty lines included, except the empty piece after
//   a final line break; an empty text stays empty.
// - PasGene answers the greater of the seconds since 1970 and the previous number
//   plus one: always larger than the last, so peers that drop a number not larger
//   than the last one seen from an address never lose a message.
class TextgaugeImpl final : public Textgauge {
public:
    QString NumChk(QString& text, qint16 option) override;
    QString numnum(QString& text) override;
    QString PasGene(qint16, qint16, qint16, qint16, qint16, qint16, qint16) override;
    QString DayIs(qint16 mode) override;
    QString ResAddText(QString& text, const QString& separator, const QString& mark) override;
    QString TRimText(QString& text, const QString& separator) override;

private:
    qint64 m_lastPacket = 0;
};

// Blank test and trimming used by the component (space, U+3000, tab).
bool isBlank(QChar c);
QStringView trimBlanks(QStringView text);
// Full-width digits and signs become their half-width forms; other characters stay.
QString narrowDigits(QStringView text);

} // namespace velmar::components
