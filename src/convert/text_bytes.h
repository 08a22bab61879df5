#pragma once

// How a window's text becomes bytes for the converters and encoders, and how decoded
// bytes become text again.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

namespace velmar::convert {

// The byte form of a text for the encoders: Shift_JIS (code page 932), the UTF-16LE code
// units, or UTF-8.
enum class ByteForm { ShiftJis, Utf16Le, Utf8 };

struct TextBytes {
    QByteArray bytes;
    // Characters (whole code points) the byte form cannot hold, in order of first
    // appearance, without repeats and at most a few dozen. `bytes` is empty when any.
    QStringList unfit;
    bool ok() const { return unfit.isEmpty(); }
};

// The text in the byte form. UTF-16LE holds every code unit, unpaired surrogates too;
// the other two refuse what they cannot hold instead of writing "?".
TextBytes textToBytes(const QString& text, ByteForm form);

// Shift_JIS bytes of `text` where every character the code page lacks becomes 〓. For
// callers that must produce something, such as a component handed any text.
QByteArray shiftJisWithGeta(const QString& text);

// Shift_JIS bytes as text where every byte sequence that is no character of the code
// page (an empty cell, a stray byte) reads as 〓, one for each such sequence.
QString decodeShiftJisWithGeta(QByteArrayView bytes);

// Strict decoders: nullopt when the bytes are not valid text in that code.
std::optional<QString> decodeShiftJis(QByteArrayView bytes);
std::optional<QString> decodeUtf8(QByteArrayView bytes);

// Bytes taken directly as UTF-16LE code units; nullopt for an odd count.
std::optional<QString> decodeUtf16Le(QByteArrayView bytes);

// The text of decoded bytes (Base64, URL, hex), `current` being the byte form the
// encoders are set to. Bytes that are all ASCII (no NUL) are that ASCII text; bytes that
// start with the UTF-16LE byte-order mark are UTF-16LE. Otherwise the reading of the
// current form wins where it is valid (UTF-8 over a Shift_JIS reading full of half-width
// kana, and in the UTF-16LE form any reading holding a NUL), then valid UTF-8, valid
// Shift_JIS, UTF-16LE. nullopt when the bytes are no text in any of these forms, so the
// caller can keep its text rather than show broken characters.
std::optional<QString> textFromDecodedBytes(QByteArrayView bytes, ByteForm current);

// The bytes the encoders work on: textToBytes, where UTF-16LE bytes that
// textFromDecodedBytes would read as something else (a text of code units made of two
// ASCII bytes, such as 本 as ",g") get the byte-order mark FF FE in front, so that
// decoding always gives the text back.
TextBytes encoderBytes(const QString& text, ByteForm form);

} // namespace velmar::convert
