// The conversions that read outside input: JIS to Shift_JIS (and back), and the Base64,
// URL and hex decoders. VELMAR_CONVERT_FUZZ selects the target at compile time.
//
// Text input is taken as UTF-16 code units (pairs of bytes), so unpaired surrogates and
// characters beyond ASCII reach the decoders as well.

#include "convert/encoders.h"
#include "convert/kanji_codes.h"

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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
#if VELMAR_CONVERT_FUZZ == 1
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    // Escapes go, every other unit keeps its size: never longer than the input.
    check(jisToShiftJis(bytes).size() <= bytes.size());
    const QByteArray jis =
        shiftJisToJis(bytes, kanjiInSequence(int(size % 6)), kanjiOutSequence(int(size % 4)));
    check(countWithoutJisCode(bytes) >= 0);
    (void)jisToShiftJis(jis);
#elif VELMAR_CONVERT_FUZZ == 2
    const QString text = textOf(data, size);
    if (const std::optional<QByteArray> bytes = base64Decode(text))
        check(base64Decode(base64Encode(*bytes)) == bytes);
#elif VELMAR_CONVERT_FUZZ == 3
    const QString text = textOf(data, size);
    if (const std::optional<QByteArray> bytes = percentDecode(text))
        check(percentDecode(percentEncode(*bytes, unreservedCharacters())) == bytes);
#elif VELMAR_CONVERT_FUZZ == 4
    const QString text = textOf(data, size);
    if (const std::optional<QByteArray> bytes = hexDecode(text)) {
        const QString hex = hexEncode(*bytes);
        check(hexDecode(layoutHex(hex, qint64(size % 80))) == bytes);
    }
#else
#error "VELMAR_CONVERT_FUZZ must be 1 to 4"
#endif
    return 0;
}
