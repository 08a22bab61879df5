#pragma once

// Code page 932 (Shift_JIS as Japanese desktops write it) and the characters it
// holds under other code points. Every Shift_JIS encoder of the program goes through
// the functions here, so a character is written alike everywhere.

#include <QByteArray>
#include <QString>
#include <QStringList>
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

// The converter behind CodePage932 exchanges three control codes as IBM code pages do
// (U+001A is written as 7F, U+001C as 1A, U+007F as 1C, and read the other way round);
// code page 932 keeps them as they are. Every encoder and decoder of the program
// puts them back with these, so an old end-of-file mark (SUB) stays SUB.
void restoreControlBytes(QByteArray& encoded);
void restoreControlCharacters(QString& decoded);

struct CodePage932Bytes {
    QByteArray bytes;
    // Characters (whole code points) the code page lacks, in order of first
    // appearance, without repeats and at most a few dozen. `bytes` is empty when any.
    QStringList unfit;
    bool ok() const { return unfit.isEmpty(); }
};

// The code page bytes of `text`, its characters in their code page forms; refused
// (with the characters named) rather than written with stand-ins.
CodePage932Bytes encodeCodePage932(QStringView text);

// The characters of `text` that the code page lacks (see CodePage932Bytes::unfit).
QStringList charactersCodePage932Lacks(QStringView text);

// The code page bytes of `text` where every character the code page lacks becomes 〓
// (81 AC). For callers that must produce something.
QByteArray codePage932WithGeta(QStringView text);

} // namespace velmar
