#pragma once

// Code page 932 (Shift_JIS as Japanese desktops write it) and the characters it
// holds under other code points.

#include <QString>
#include <QStringView>

namespace velmar {

// The converter name Qt resolves (through ICU) to code page 932, which maps 0x8160
// to U+FF5E and holds the NEC and IBM extensions.
inline constexpr char CodePage932[] = "windows-31j";

// Linux input methods, Linux programs and the web write the JIS forms of a few
// characters whose code page 932 forms are other code points (the wave dash is
// typed as U+301C, the code page holds U+FF5E). Each such character becomes its
// code page form; every other character is returned unchanged.
char16_t codePage932Form(char16_t c);

// `text` with every such character replaced by its code page form.
QString withCodePage932Forms(QStringView text);

} // namespace velmar
