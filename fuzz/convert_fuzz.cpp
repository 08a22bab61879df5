// The conversions that read outside input: JIS to Shift_JIS (and back), and the Base64,
// URL and hex decoders. VELMAR_CONVERT_FUZZ selects the target at compile time.
//
// Text input is taken as UTF-16 code units (pairs of bytes), so unpaired surrogates and
// characters beyond ASCII reach the decoders as well.

#include "convert/encoders.h"
#include "convert/kanji_codes.h"
#include "convert/text_bytes.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

using namespace velmar::convert;

[[maybe_unused]] QString textOf(const std::uint8_t* data, std::size_t size)
{
    QString text(qsizetype(size / 2), Qt::Uninitialized);
    for (std::size_t i = 0; i + 1 < size; i += 2)
        text[qsizetype(i / 2)] = QChar(char16_t(data[i] | (data[i + 1] << 8)));
    return text;
}

void check(bool condition)
{
    if (!condition)
        std::abort();
}

// Shift_JIS that JIS holds one to one: valid code page 932, no ESC, no half-width kana
// (JIS writes them full-width) and no IBM extension (it comes back as its NEC twin).
[[maybe_unused]] bool isPlainShiftJis(QByteArrayView bytes)
{
    if (!decodeShiftJis(bytes))
        return false;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto b = quint8(bytes[i]);
        if (b == 0x1B || (b >= 0xA1 && b <= 0xDF) || b >= 0xFA)
            return false;
        if (b >= 0x80)
            ++i; // the trail byte of a valid pair
    }
    return countWithoutJisCode(bytes) == 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
#if VELMAR_CONVERT_FUZZ == 1
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    // Escapes go, every other unit keeps its size: never longer than the input.
    check(jisToShiftJis(bytes).size() <= bytes.size());
    const QByteArray jis =
        shiftJisToJis(bytes, kanjiInSequence(int(size % 6)), kanjiOutSequence(int(size % 4)));
    // Valid Shift_JIS gives 7-bit JIS (a stray byte is copied as it is), and plain
    // Shift_JIS comes back from it byte for byte.
    if (decodeShiftJis(bytes)) {
        for (const char b : jis)
            check(quint8(b) < 0x80);
    }
    const QByteArray back = jisToShiftJis(jis);
    if (isPlainShiftJis(bytes))
        check(back == bytes);
#elif VELMAR_CONVERT_FUZZ == 2
    const QString text = textOf(data, size);
    const Decoded decoded = base64DecodeAt(text);
    // A refusal names a position inside the text (or its end); an acceptance none.
    check(decoded.bytes ? decoded.errorAt < 0
                        : decoded.errorAt >= 0 && decoded.errorAt <= text.size());
    if (const std::optional<QByteArray> bytes = decoded.bytes)
        check(base64Decode(base64Encode(*bytes)) == bytes);
    // A text encoded in the byte form the encoders use decodes back to itself: any text
    // in UTF-16LE; in UTF-8 and Shift_JIS a text without NUL characters and half-width
    // kana (which the decoder reads as other forms by evidence), Shift_JIS giving its
    // code page forms (〜 as ～).
    const ByteForm form = ByteForm(size % 3);
    bool plain = true;
    for (const QChar c : text)
        plain &= c.unicode() != 0 && (c.unicode() < 0xFF61 || c.unicode() > 0xFF9F);
    const TextBytes encoded = encoderBytes(text, form);
    if (encoded.ok() && (form == ByteForm::Utf16Le || plain)) {
        const QString expected =
            form == ByteForm::ShiftJis ? decodeShiftJis(encoded.bytes).value_or(QString()) : text;
        check(textFromDecodedBytes(encoded.bytes, form) == expected);
    }
#elif VELMAR_CONVERT_FUZZ == 3
    const QString text = textOf(data, size);
    const Decoded decoded = percentDecodeAt(text);
    check(decoded.bytes ? decoded.errorAt < 0
                        : decoded.errorAt >= 0 && decoded.errorAt <= text.size());
    if (const std::optional<QByteArray> bytes = decoded.bytes)
        check(percentDecode(percentEncode(*bytes, unreservedCharacters())) == bytes);
#elif VELMAR_CONVERT_FUZZ == 4
    const QString text = textOf(data, size);
    const Decoded decoded = hexDecodeAt(text);
    check(decoded.bytes ? decoded.errorAt < 0
                        : decoded.errorAt >= 0 && decoded.errorAt <= text.size());
    if (const std::optional<QByteArray> bytes = decoded.bytes) {
        const QString hex = hexEncode(*bytes);
        check(hexDecode(layoutHex(hex, qint64(size % 80))) == bytes);
    }
#else
#error "VELMAR_CONVERT_FUZZ must be 1 to 4"
#endif
    return 0;
}
