#pragma once

// Base64, URL percent escapes and hexadecimal: bytes to text and back.

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <optional>

namespace velmar::convert {

// What a decoder made of a text: the bytes, or where the text stops being valid input
// (the index of the first character that cannot stand there, the text's size when it
// ends too early).
struct Decoded {
    std::optional<QByteArray> bytes;
    qsizetype errorAt = -1;
};

// Base64 with padding, in lines of 76 characters separated by CR LF (the MIME form that
// mail expects); no line break after the last line.
QString base64Encode(QByteArrayView bytes);

// Ignores line breaks, blanks and tabs and accepts the URL-safe alphabet ("-" and "_")
// as well as the standard one. Missing padding is accepted; a character outside both
// alphabets, padding before the end, or a length that cannot end a group is not.
std::optional<QByteArray> base64Decode(QStringView text);
Decoded base64DecodeAt(QStringView text);

// The characters RFC 3986 calls unreserved: A-Z a-z 0-9 - . _ ~
QString unreservedCharacters();

// Every byte that is not one of `kept` (ASCII characters) becomes `escape` followed by two
// capital hexadecimal digits.
QString percentEncode(QByteArrayView bytes, QStringView kept, QChar escape = u'%');

// `escape` must be followed by two hexadecimal digits, or the text is malformed. Other
// ASCII characters stand for themselves; a character beyond ASCII (as a browser's address
// bar shows it) stands for its UTF-8 bytes.
std::optional<QByteArray> percentDecode(QStringView text, QChar escape = u'%');
Decoded percentDecodeAt(QStringView text, QChar escape = u'%');

// Two capital hexadecimal digits per byte.
QString hexEncode(QByteArrayView bytes);

// Ignores CR, LF, blanks and tabs; nullopt for an odd count of digits or a character
// that is no hexadecimal digit.
std::optional<QByteArray> hexDecode(QStringView text);
Decoded hexDecodeAt(QStringView text);

// Hex text laid out for reading: blanks and line breaks of `hex` are dropped, then the
// digits go in pairs with one blank between pairs and a CR LF wherever the next pair
// would make the line longer than `width` characters (at least one pair a line). Width
// 49 gives 16 bytes a line. An odd last digit stays on its own.
QString layoutHex(QStringView hex, qint64 width);

} // namespace velmar::convert
