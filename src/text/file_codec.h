#pragma once

// Bytes of text files: how to read them into a window's text, and which bytes to
// append when a window's text is saved. Plain code, no widgets, so every rule here
// is testable on byte arrays.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace velmar::text {

enum class TextEncoding { Utf16Le, Utf16Be, Utf8, ShiftJis, EucJp, Iso2022Jp };
enum class LineEnd { CrLf, Lf, Cr };

// Name shown to the user ("Shift_JIS", "UTF-8", "UTF-16", "EUC-JP", "ISO-2022-JP").
QString encodingName(TextEncoding encoding);

// A file's content as the window should take it.
struct DecodedFile {
    // false: the bytes are not text in any encoding we know (binary, cut off); the
    // window keeps them exactly in raw mode.
    bool isText = false;
    // The text with CRLF line breaks, without a byte-order mark.
    QString text;
    TextEncoding encoding = TextEncoding::ShiftJis;
    // When the bytes are valid text in more than one encoding: each of them (the chosen
    // one among them), so the user can have the file read in another.
    QList<TextEncoding> readings;
};

// Detects the encoding by content: a UTF-16 byte-order mark, bytes that look like
// UTF-16LE without a mark (NUL high bytes), a UTF-8 mark, ISO-2022-JP (7-bit with its
// escape sequences). Otherwise the bytes are tried as UTF-8, Shift_JIS (code page 932)
// and EUC-JP; of several valid readings a statistical detector picks one, and where it
// cannot tell (a short text), the reading that looks most like Japanese text wins. A
// decoded text that holds control characters no text file has (NUL and most of C0)
// counts as binary.
DecodedFile decodeFileBytes(const QByteArray& bytes);

// The bytes read as `encoding` (a byte-order mark dropped), with CRLF line breaks;
// nullopt when they are not valid text in it.
std::optional<QString> decodeFileBytesAs(const QByteArray& bytes, TextEncoding encoding);

// How to add lines to an existing file, as far as its content tells.
struct FileFormat {
    // nullopt: the file is empty, or plain ASCII without LF line ends; the text
    // itself then chooses (Shift_JIS when it fits, else UTF-8).
    std::optional<TextEncoding> encoding;
    LineEnd lineEnd = LineEnd::CrLf;
    // The file does not end with a line break: one goes first, so the first new line
    // does not continue the old last one.
    bool needsLineEndFirst = false;
};

// The format of a file that starts with `head`; `complete` tells whether it is the
// whole file (a multibyte sequence cut at the end of a partial head is not an
// error). Unlike opening, text with odd control characters (a NUL run, a terminal's
// BEL) still counts as text, since its lines are what the file holds. nullopt: the
// bytes are in no encoding we can tell, and nothing may be appended.
std::optional<FileFormat> sniffFileFormat(const QByteArray& head, bool complete);

// Whether `tail`, the last bytes of a file (four are enough), ends with a line break
// in `encoding` (nullopt: ASCII).
bool endsWithLineBreak(const QByteArray& tail, std::optional<TextEncoding> encoding);

struct AppendBytes {
    TextEncoding encoding = TextEncoding::ShiftJis;
    // Every line of the text followed by the line end, encoded. Empty when `unfit`
    // is not.
    QByteArray bytes;
    // Characters (each a whole code point) the encoding cannot represent, in order
    // of first appearance, without repeats. Nothing may be written when non-empty.
    QStringList unfit;
};

// The bytes that append `crlfText` to a file of the given format. Line breaks of any
// kind (CR LF, LF, lone CR) end lines; every line, the last one too, gets the
// file's line end, so a text ending in a break adds one empty line. Characters that
// code page 932 holds under another code point (〜 as ～, − as －) are written in the
// form the file's encoding has.
AppendBytes bytesToAppend(const QString& crlfText, const FileFormat& format);

// File access with the errors a user must hear about.
struct ReadResult {
    enum class Status { Ok, Missing, TooLarge, Failed };
    Status status = Status::Failed;
    QByteArray bytes;
    qint64 size = 0;
    QString error; // the system's reason when Failed
};

// Reads the whole of a regular file, refusing files larger than `maxBytes`.
ReadResult readWholeFile(const QString& path, qint64 maxBytes);

struct FileSniff {
    enum class Status { Ok, Undecidable, Failed };
    Status status = Status::Failed;
    FileFormat format;
    QString error; // the system's reason when Failed
};

// The format of an existing regular file, from its first `headBytes`. When those
// are plain ASCII, the rest is searched for the first byte that is not, and the
// encoding is told from there: a long ASCII log may hold Shift_JIS further on.
FileSniff sniffExistingFile(const QString& path, qint64 headBytes = qint64(1) << 20);

struct WriteResult {
    bool ok = false;
    QString error; // the system's reason ("No space left on device")
};

// Appends `bytes` to the file (created when missing). When the write fails part
// way, the file is cut back to its former length, so a failed append leaves nothing
// half-written.
WriteResult appendToFile(const QString& path, const QByteArray& bytes);

} // namespace velmar::text
