#pragma once

// Bytes of text files: how to read them into a window's text, and which bytes to
// append when a window's text is saved. Plain code, no widgets, so every rule here
// is testable on byte arrays.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

namespace velmar::text {

enum class TextEncoding { Utf16Le, Utf16Be, Utf8, ShiftJis };
enum class LineEnd { CrLf, Lf, Cr };

// Name shown to the user ("Shift_JIS", "UTF-8", "UTF-16").
QString encodingName(TextEncoding encoding);

// A file's content as the window should take it.
struct DecodedFile {
    // false: the bytes are not text in any encoding we know (binary, cut off); the
    // window keeps them exactly in raw mode.
    bool isText = false;
    // The text with CRLF line breaks, without a byte-order mark.
    QString text;
    TextEncoding encoding = TextEncoding::ShiftJis;
};

// Detects the encoding by content, in this order: a UTF-16 byte-order mark, bytes
// that look like UTF-16LE without a mark (NUL high bytes), a UTF-8 mark or valid
// UTF-8, valid Shift_JIS (code page 932). A decoded text that holds control
// characters no text file has (NUL and most of C0) counts as binary.
DecodedFile decodeFileBytes(const QByteArray& bytes);

// How to add lines to an existing file, as far as its content tells.
struct FileFormat {
    // nullopt: the file is empty, plain ASCII without LF line ends, or not
    // decodable; the text itself then chooses (Shift_JIS when it fits, else UTF-8).
    std::optional<TextEncoding> encoding;
    LineEnd lineEnd = LineEnd::CrLf;
};

// `head` is the start of a file; `complete` tells whether it is the whole file (a
// multibyte sequence cut at the end of a partial head is not an error).
FileFormat sniffFileFormat(const QByteArray& head, bool complete);

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
// file's line end, so a text ending in a break adds one empty line.
AppendBytes bytesToAppend(const QString& crlfText, const FileFormat& format);

// "〜 (U+301C)" for the box that lists characters an encoding lacks.
QString describeCharacter(const QString& character);

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
// Reads at most `maxBytes` from the start of a file; `size` is the file's size.
ReadResult readFileHead(const QString& path, qint64 maxBytes);

struct WriteResult {
    bool ok = false;
    QString error;
};

// Appends `bytes` to the file (created when missing) in one write. When the write
// fails part way, the file is cut back to its former length, so a failed append
// leaves nothing half-written.
WriteResult appendToFile(const QString& path, const QByteArray& bytes);

} // namespace velmar::text
