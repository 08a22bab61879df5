// Random bytes as the content of a file: through detection and decoding for opening,
// through the format sniffing and the append encoder for saving. Nothing may crash,
// and bytes that are no text must come back exactly from the window's raw reading.

#include "common/text_bytes.h"
#include "text/file_codec.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <cstdlib>

using namespace velmar;
using namespace velmar::text;

namespace {

// What a text window keeps for undecodable bytes: the UTF-16LE units and an odd
// trailing byte.
QByteArray rawRoundTrip(const QByteArray& bytes)
{
    const qsizetype even = bytes.size() & ~qsizetype(1);
    QString units;
    units.reserve(even / 2);
    for (qsizetype i = 0; i < even; i += 2) {
        const auto low = static_cast<unsigned char>(bytes.at(i));
        const auto high = static_cast<unsigned char>(bytes.at(i + 1));
        units.append(QChar(static_cast<char16_t>(low | (high << 8))));
    }
    return utf16LeBytes(units) + bytes.mid(even);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const DecodedFile decoded = decodeFileBytes(bytes);
    if (!decoded.isText && rawRoundTrip(bytes) != bytes)
        std::abort();
    // Every reading offered for the window's 文字コード choice is one the bytes hold,
    // the chosen one among them, and reading again in the chosen one gives the same text.
    if (decoded.isText && !decoded.readings.isEmpty()) {
        if (!decoded.readings.contains(decoded.encoding))
            std::abort();
        for (const TextEncoding encoding : decoded.readings) {
            const std::optional<QString> again = decodeFileBytesAs(bytes, encoding);
            if (!again || (encoding == decoded.encoding && *again != decoded.text))
                std::abort();
        }
    }

    for (const bool complete : {true, false}) {
        const std::optional<FileFormat> format = sniffFileFormat(bytes, complete);
        if (!format)
            continue;
        const AppendBytes out = bytesToAppend(decoded.text, *format);
        // An encoder that fails must say which characters it lacks.
        if (out.bytes.isEmpty() == out.unfit.isEmpty())
            std::abort();
    }
    return 0;
}
