#pragma once

// Shift_JIS (code page 932) and the 7-bit JIS form of the same JIS X 0208 codes. The two
// differ only in how a row/cell pair is written, so conversion is arithmetic on the bytes;
// no character tables are involved except for half-width katakana and the IBM extension.

#include <QByteArray>
#include <QByteArrayView>

namespace velmar::convert {

// Kanji-in sequences selectable by number (1..5) and kanji-out sequences (1..3). Any
// other number gives an empty sequence.
QByteArray kanjiInSequence(int choice);
QByteArray kanjiOutSequence(int choice);

// The same sequences as the fixed-size arrays the kanji filter takes: 7 bytes for
// kanji-in and 4 for kanji-out, the escape bytes first, the rest zero.
QByteArray kanjiInArray(int choice);
QByteArray kanjiOutArray(int choice);

// The escape bytes of a zero-padded array: everything before the first zero byte.
QByteArrayView escapeBytes(QByteArrayView array);

// Shift_JIS to JIS. Every run of two-byte characters is opened by `kanjiIn` and closed by
// `kanjiOut`; single-byte characters pass unchanged, so a line end always follows a
// kanji-out and every line starts in single-byte mode. An empty sequence stands for
// ESC $ B or ESC ( B: two-byte codes are never written without their escape.
//
// Half-width katakana become their full-width forms, a voiced or semi-voiced sound mark
// joining the kana before it (ｶﾞ gives ガ): 7-bit JIS mail has no half-width kana, and
// mail readers expect the full-width forms. The IBM extension (lead bytes FA..FC) takes
// the code of the same character in the NEC rows (row 13 or the NEC-selected rows
// 89..92), so it comes back as that twin. Characters without any JIS code (the
// user-defined area F040..F9FC, unassigned codes) become 〓 (2-2E). A byte that starts
// no valid character is copied unchanged: nothing is dropped.
QByteArray shiftJisToJis(QByteArrayView sjis, QByteArrayView kanjiIn, QByteArrayView kanjiOut);

// How many characters of `sjis` shiftJisToJis replaces by 〓.
qsizetype countWithoutJisCode(QByteArrayView sjis);

// JIS (or ISO-2022-JP) to Shift_JIS. Recognises every kanji-in and kanji-out sequence
// above, ESC $ ( B and ESC $ ( @, and ESC ( I (half-width katakana as 21..5F). An
// unknown escape sequence, a lone byte in two-byte mode and bytes that are already
// Shift_JIS are copied unchanged.
QByteArray jisToShiftJis(QByteArrayView jis);

} // namespace velmar::convert
