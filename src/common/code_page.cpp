#include "common/code_page.h"

namespace velmar {

char16_t codePage932Form(char16_t c)
{
    switch (c) {
    case 0x301C:
        return 0xFF5E; // WAVE DASH -> FULLWIDTH TILDE (81 60)
    case 0x2016:
        return 0x2225; // DOUBLE VERTICAL LINE -> PARALLEL TO (81 61)
    case 0x2212:
        return 0xFF0D; // MINUS SIGN -> FULLWIDTH HYPHEN-MINUS (81 7C)
    case 0x2014:
        return 0x2015; // EM DASH -> HORIZONTAL BAR (81 5C)
    case 0x00A2:
        return 0xFFE0; // CENT SIGN (81 91)
    case 0x00A3:
        return 0xFFE1; // POUND SIGN (81 92)
    case 0x00AC:
        return 0xFFE2; // NOT SIGN (81 CA)
    case 0x00A5:
        return 0xFFE5; // YEN SIGN (81 8F); 0x5C is the backslash in this code page
    default:
        return c;
    }
}

QString withCodePage932Forms(QStringView text)
{
    QString out = text.toString();
    for (QChar& c : out)
        c = QChar(codePage932Form(c.unicode()));
    return out;
}

} // namespace velmar
