#include "text/file_codec.h"

#include "common/code_page.h"
#include "common/text_bytes.h"
#include "platform/line_breaks.h"
#include "text/file_codec_internal.h"

#include <QFile>
#include <QStringDecoder>
#include <cstring>
#include <limits>
#include <memory>
#include <uchardet/uchardet.h>

namespace velmar::text {

using detail::kEucJpName;
using detail::kIso2022JpName;

namespace {

struct Detected {
    TextEncoding encoding;
    QString text;
    // Every encoding the bytes are valid text in, when there is more than one.
    QList<TextEncoding> readings;
};

// Opening wants text a window can show; appending wants whatever lines a file
// holds, and a stronger sign before it takes a file without a mark for UTF-16.
enum class Purpose { Open, Append };

bool isAscii(QByteArrayView bytes)
{
    for (const char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

// Text files hold tabs, line breaks, form feeds, ESC (JIS escape sequences) and
// SUB (an old end-of-file mark), but never NUL or the other C0 controls; bytes
// that decode to those are a binary file that happens to be valid in an encoding.
bool isPlausibleText(QStringView text)
{
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u >= 0x20)
            continue;
        if (u != u'\t' && u != u'\n' && u != 0x0b && u != 0x0c && u != u'\r' && u != 0x1a &&
            u != 0x1b)
            return false;
    }
    return true;
}

// An unpaired surrogate means the bytes were not UTF-16 after all. A high
// surrogate at the end of a partial head may have its partner in the next bytes.
bool hasUnpairedSurrogate(QStringView text, bool complete)
{
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate()) {
            if (i + 1 < n && text.at(i + 1).isLowSurrogate()) {
                ++i;
                continue;
            }
            if (i + 1 == n && !complete)
                return false;
            return true;
        }
        if (c.isLowSurrogate())
            return true;
    }
    return false;
}

std::optional<QString> decodeUtf16(QByteArrayView bytes, bool littleEndian, bool complete)
{
    if (bytes.size() % 2 != 0) {
        if (complete)
            return std::nullopt;
        bytes.chop(1);
    }
    QStringDecoder decoder(littleEndian ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE,
                           QStringDecoder::Flag::Stateless |
                               QStringDecoder::Flag::ConvertInitialBom);
    QString text = decoder.decode(bytes);
    if (decoder.hasError() || hasUnpairedSurrogate(text, complete))
        return std::nullopt;
    return text;
}

// A stateless decoder reports a sequence cut off at the end as an error; a stateful
// one waits for the rest, which is what a partial head needs.
std::optional<QString> decodeStrict(QStringDecoder&& decoder, QByteArrayView bytes)
{
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

QStringDecoder::Flags decoderFlags(bool complete)
{
    return complete ? QStringDecoder::Flag::Stateless : QStringDecoder::Flag::Default;
}

std::optional<QString> decodeCodePage932(QByteArrayView bytes, QStringDecoder::Flags flags)
{
    std::optional<QString> text = decodeStrict(QStringDecoder(CodePage932, flags), bytes);
    if (text)
        restoreControlCharacters(*text);
    return text;
}

struct NulPattern {
    qsizetype pairs = 0;
    qsizetype zeroLow = 0;  // pairs whose first byte is NUL
    qsizetype zeroHigh = 0; // pairs whose second byte is NUL
    qsizetype onlyLow = 0;  // ... and the other byte is not
    qsizetype onlyHigh = 0;
    qsizetype both = 0; // NUL pairs: U+0000, which text does not hold
};

NulPattern nulPattern(QByteArrayView bytes)
{
    NulPattern p;
    // Most files hold no NUL at all: one fast search instead of counting every pair.
    if (bytes.isEmpty() || !std::memchr(bytes.data(), 0, static_cast<std::size_t>(bytes.size()))) {
        p.pairs = bytes.size() / 2;
        return p;
    }
    for (qsizetype i = 0; i + 1 < bytes.size(); i += 2) {
        const bool low = bytes[i] == 0;
        const bool high = bytes[i + 1] == 0;
        ++p.pairs;
        p.zeroLow += low;
        p.zeroHigh += high;
        p.onlyLow += low && !high;
        p.onlyHigh += high && !low;
        p.both += high && low;
    }
    return p;
}

// UTF-16LE without a mark: the program's own raw files and files of other tools.
// ASCII characters give NUL high bytes; NUL low bytes (U+4E00 and the like) are
// much rarer than those in real text.
bool looksLikeUtf16Le(const NulPattern& p)
{
    return p.zeroHigh > 0 && p.zeroLow < p.zeroHigh;
}

// For appending the sign must be clearer: a run of NULs in an 8-bit log gives NUL
// pairs and single NULs on both sides, not ASCII characters with NUL high bytes.
// Real UTF-16 text has a line break (a pair with one NUL) every few dozen
// characters at least.
bool clearlyUtf16(qsizetype only, qsizetype other, const NulPattern& p)
{
    return only > 0 && only > 4 * other && only > 4 * p.both && only * 32 >= p.pairs;
}

bool hasC1Control(QStringView text)
{
    for (const QChar c : text) {
        if (c.unicode() >= 0x80 && c.unicode() <= 0x9F)
            return true;
    }
    return false;
}

// ISO-2022-JP is 7-bit and switches to JIS X 0208 with ESC $ B or ESC $ @ (or to
// JIS Roman / half-width kana with ESC ( J, ESC ( I).
bool hasJisEscape(QByteArrayView bytes)
{
    for (const char* escape : {"\x1b$B", "\x1b$@", "\x1b(J", "\x1b(I"}) {
        if (bytes.indexOf(QByteArrayView(escape)) >= 0)
            return true;
    }
    return false;
}

// How much a reading looks like Japanese text: kana count most, kanji and the
// full-width forms some; what a wrong reading of Japanese bytes produces (half-width
// kana, Latin letters with marks, Hangul, the private use area, controls) counts
// against it.
qint64 japaneseScore(QStringView text)
{
    qint64 score = 0;
    for (const QChar qc : text) {
        const char16_t c = qc.unicode();
        if (c < 0x80)
            continue;
        if (c >= 0x3041 && c <= 0x3096)
            score += 3; // hiragana
        else if ((c >= 0x30A1 && c <= 0x30FA) || c == 0x30FC)
            score += 2; // katakana and the long vowel mark
        else if ((c >= 0x3000 && c <= 0x303F) || (c >= 0xFF01 && c <= 0xFF5E))
            score += 1; // Japanese punctuation, full-width forms
        else if (c >= 0x4E00 && c <= 0x9FFF)
            score += 1; // kanji
        else if (c >= 0xFF61 && c <= 0xFF9F)
            score -= 2; // half-width kana
        else if (c >= 0xE000 && c <= 0xF8FF)
            score -= 5; // private use
        else if (c >= 0x80 && c <= 0x9F)
            score -= 10; // C1 controls
        else
            score -= 2;
    }
    return score;
}

std::optional<TextEncoding> encodingOfCharset(QByteArrayView name)
{
    if (name == "UTF-8")
        return TextEncoding::Utf8;
    if (name == "SHIFT_JIS" || name == "CP932" || name == "WINDOWS-31J")
        return TextEncoding::ShiftJis;
    if (name == "EUC-JP")
        return TextEncoding::EucJp;
    return std::nullopt;
}

// What a statistical detector made for these encodings says of the bytes (their first
// 256 KB are plenty), when it names one of ours.
std::optional<TextEncoding> detectorAnswer(QByteArrayView bytes)
{
    const std::unique_ptr<struct uchardet, void (*)(uchardet_t)> detector(uchardet_new(),
                                                                          uchardet_delete);
    if (!detector)
        return std::nullopt;
    const qsizetype sample = std::min<qsizetype>(bytes.size(), 256 * 1024);
    if (uchardet_handle_data(detector.get(), bytes.data(), static_cast<size_t>(sample)) != 0)
        return std::nullopt;
    uchardet_data_end(detector.get());
    const char* charset = uchardet_get_charset(detector.get());
    return charset ? encodingOfCharset(QByteArrayView(charset)) : std::nullopt;
}

// Of several valid readings, the likely one. The detector decides when it names one
// of them. Otherwise (short text, which it leaves undecided) valid UTF-8 wins: other
// Japanese text is rarely valid UTF-8, and a Linux file most often is UTF-8. Between
// Shift_JIS and EUC-JP the reading that looks most like Japanese text wins, the
// earlier one of `readings` on a tie.
std::optional<TextEncoding> likelyEncoding(QByteArrayView bytes, const QList<Detected>& readings)
{
    const std::optional<TextEncoding> answer = detectorAnswer(bytes);
    std::optional<TextEncoding> best;
    qint64 bestScore = 0;
    for (const Detected& reading : readings) {
        if (reading.encoding == answer)
            return answer;
        if (reading.encoding == TextEncoding::Utf8) {
            best = reading.encoding;
            bestScore = std::numeric_limits<qint64>::max();
            continue;
        }
        const qint64 score = japaneseScore(reading.text);
        if (!best || score > bestScore) {
            best = reading.encoding;
            bestScore = score;
        }
    }
    return best;
}

std::optional<Detected> detect(QByteArrayView bytes, bool complete, Purpose purpose)
{
    const auto accept = [purpose](TextEncoding encoding,
                                  std::optional<QString> text) -> std::optional<Detected> {
        if (!text || (purpose == Purpose::Open && !isPlausibleText(*text)))
            return std::nullopt;
        return Detected{encoding, std::move(*text), {}};
    };

    // A byte-order mark decides: FF FE and FE FF are invalid in UTF-8 and in
    // Shift_JIS, so there is nothing else to try.
    if (bytes.startsWith("\xFF\xFE"))
        return accept(TextEncoding::Utf16Le, decodeUtf16(bytes.sliced(2), true, complete));
    if (bytes.startsWith("\xFE\xFF"))
        return accept(TextEncoding::Utf16Be, decodeUtf16(bytes.sliced(2), false, complete));
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        return accept(TextEncoding::Utf8,
                      decodeStrict(QStringDecoder(QStringDecoder::Utf8,
                                                  decoderFlags(complete) |
                                                      QStringDecoder::Flag::ConvertInitialBom),
                                   bytes.sliced(3)));
    }

    const NulPattern nuls = nulPattern(bytes);
    if (purpose == Purpose::Open) {
        if (looksLikeUtf16Le(nuls)) {
            if (auto found = accept(TextEncoding::Utf16Le, decodeUtf16(bytes, true, complete)))
                return found;
        }
    } else {
        // UTF-16 of either order without a mark, but with an odd length or big
        // endian: no way to add lines that the file's reader would see as such.
        if (clearlyUtf16(nuls.onlyHigh, nuls.onlyLow, nuls))
            return accept(TextEncoding::Utf16Le, decodeUtf16(bytes, true, complete));
        if (clearlyUtf16(nuls.onlyLow, nuls.onlyHigh, nuls))
            return std::nullopt;
    }

    const bool ascii = isAscii(bytes);
    if (ascii && hasJisEscape(bytes)) {
        if (auto found =
                accept(TextEncoding::Iso2022Jp,
                       decodeStrict(QStringDecoder(kIso2022JpName, decoderFlags(complete)), bytes)))
            return found;
    }
    std::optional<Detected> utf8 =
        accept(TextEncoding::Utf8,
               decodeStrict(QStringDecoder(QStringDecoder::Utf8, decoderFlags(complete)), bytes));
    if (ascii)
        return utf8;
    QList<Detected> readings;
    if (utf8)
        readings.append(std::move(*utf8));
    if (auto sjis =
            accept(TextEncoding::ShiftJis, decodeCodePage932(bytes, decoderFlags(complete))))
        readings.append(std::move(*sjis));
    std::optional<QString> euc =
        decodeStrict(QStringDecoder(kEucJpName, decoderFlags(complete)), bytes);
    // The converter passes 80..8D through as C1 controls, which EUC-JP text never holds.
    if (euc && !hasC1Control(*euc)) {
        if (auto found = accept(TextEncoding::EucJp, std::move(euc)))
            readings.append(std::move(*found));
    }
    if (readings.isEmpty())
        return std::nullopt;
    if (readings.size() == 1)
        return readings.front();
    const std::optional<TextEncoding> likely = likelyEncoding(bytes, readings);
    QList<TextEncoding> encodings;
    qsizetype chosen = 0;
    for (qsizetype i = 0; i < readings.size(); ++i) {
        encodings.append(readings[i].encoding);
        if (readings[i].encoding == likely)
            chosen = i;
    }
    Detected found = std::move(readings[chosen]);
    found.readings = std::move(encodings);
    return found;
}

struct Sniffed {
    FileFormat format;
    // Nothing but ASCII (ISO-2022-JP aside): the encoding is not told yet.
    bool ascii = false;
};

std::optional<Sniffed> sniff(QByteArrayView head, bool complete)
{
    Sniffed sniffed;
    if (head.isEmpty())
        return sniffed;
    std::optional<Detected> found = detect(head, complete, Purpose::Append);
    if (!found)
        return std::nullopt;
    FileFormat& format = sniffed.format;
    const bool eightBit = found->encoding == TextEncoding::Utf8 ||
                          found->encoding == TextEncoding::ShiftJis ||
                          found->encoding == TextEncoding::EucJp;
    sniffed.ascii = eightBit && isAscii(head);
    if (!sniffed.ascii)
        format.encoding = found->encoding;

    const QString& text = found->text;
    const qsizetype brk = [&text] {
        for (qsizetype i = 0; i < text.size(); ++i) {
            if (text.at(i) == u'\r' || text.at(i) == u'\n')
                return i;
        }
        return qsizetype(-1);
    }();
    if (brk < 0 || text.at(brk) == u'\n') {
        format.lineEnd = brk < 0 ? LineEnd::CrLf : LineEnd::Lf;
    } else if (brk + 1 < text.size()) {
        format.lineEnd = text.at(brk + 1) == u'\n' ? LineEnd::CrLf : LineEnd::Cr;
    } else {
        // A CR that ends the bytes we have: the whole file ends in a lone CR, or
        // its LF lies beyond the head.
        format.lineEnd = complete ? LineEnd::Cr : LineEnd::CrLf;
    }
    // Plain ASCII fits both 8-bit encodings. LF line ends mark a file of Linux
    // tools, which write UTF-8; with CR LF (or no line yet) it may be one of ours,
    // and the text chooses.
    if (sniffed.ascii && format.lineEnd == LineEnd::Lf)
        format.encoding = TextEncoding::Utf8;
    if (complete)
        format.needsLineEndFirst = !endsWithLineBreak(
            head.last(std::min<qsizetype>(4, head.size())).toByteArray(), format.encoding);
    return sniffed;
}

} // namespace

QString encodingName(TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::Utf16Le:
    case TextEncoding::Utf16Be:
        return QStringLiteral("UTF-16");
    case TextEncoding::Utf8:
        return QStringLiteral("UTF-8");
    case TextEncoding::EucJp:
        return QStringLiteral("EUC-JP");
    case TextEncoding::Iso2022Jp:
        return QStringLiteral("ISO-2022-JP");
    case TextEncoding::ShiftJis:
        break;
    }
    return QStringLiteral("Shift_JIS");
}

DecodedFile decodeFileBytes(const QByteArray& bytes)
{
    DecodedFile result;
    if (bytes.isEmpty()) {
        result.isText = true;
        return result;
    }
    std::optional<Detected> found = detect(bytes, true, Purpose::Open);
    if (!found)
        return result;
    result.isText = true;
    result.encoding = found->encoding;
    result.text = platform::toCrlf(found->text);
    result.readings = std::move(found->readings);
    return result;
}

std::optional<QString> decodeFileBytesAs(const QByteArray& bytes, TextEncoding encoding)
{
    std::optional<QString> text;
    switch (encoding) {
    case TextEncoding::Utf16Le:
    case TextEncoding::Utf16Be: {
        const bool little = encoding == TextEncoding::Utf16Le;
        QByteArrayView body = bytes;
        if (body.startsWith(little ? "\xFF\xFE" : "\xFE\xFF"))
            body = body.sliced(2);
        text = decodeUtf16(body, little, true);
        break;
    }
    case TextEncoding::Utf8:
        text = decodeStrict(
            QStringDecoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless |
                                                     QStringDecoder::Flag::ConvertInitialBom),
            bytes);
        break;
    case TextEncoding::ShiftJis:
        text = decodeCodePage932(bytes, QStringDecoder::Flag::Stateless);
        break;
    case TextEncoding::EucJp:
        text = decodeStrict(QStringDecoder(kEucJpName, QStringDecoder::Flag::Stateless), bytes);
        if (text && hasC1Control(*text))
            text.reset();
        break;
    case TextEncoding::Iso2022Jp:
        text = isAscii(bytes)
                   ? decodeStrict(QStringDecoder(kIso2022JpName, QStringDecoder::Flag::Stateless),
                                  bytes)
                   : std::nullopt;
        break;
    }
    if (!text)
        return std::nullopt;
    return platform::toCrlf(*text);
}

std::optional<FileFormat> sniffFileFormat(const QByteArray& head, bool complete)
{
    const std::optional<Sniffed> sniffed = sniff(head, complete);
    if (!sniffed)
        return std::nullopt;
    return sniffed->format;
}

ReadResult readWholeFile(const QString& path, qint64 maxBytes)
{
    ReadResult result;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.status = file.exists() ? ReadResult::Status::Failed : ReadResult::Status::Missing;
        result.error = file.errorString();
        return result;
    }
    result.size = file.size();
    if (result.size > maxBytes) {
        result.status = ReadResult::Status::TooLarge;
        return result;
    }
    result.bytes = file.read(result.size);
    if (file.error() != QFileDevice::NoError) {
        result.status = ReadResult::Status::Failed;
        result.error = file.errorString();
        result.bytes.clear();
        return result;
    }
    result.status = ReadResult::Status::Ok;
    return result;
}

namespace {

// The offset of the first byte that an ASCII reading does not settle: one of 80..FF,
// or ESC (ISO-2022-JP). -1 when there is none; `file` is left after the bytes read.
qint64 firstTellingByte(QFile& file, qint64 from)
{
    constexpr qint64 kChunk = qint64(1) << 20;
    if (!file.seek(from))
        return -1;
    qint64 offset = from;
    while (true) {
        const QByteArray chunk = file.read(kChunk);
        if (chunk.isEmpty())
            return -1;
        for (qsizetype i = 0; i < chunk.size(); ++i) {
            const auto byte = static_cast<unsigned char>(chunk.at(i));
            if (byte >= 0x80 || byte == 0x1b)
                return offset + i;
        }
        offset += chunk.size();
    }
}

} // namespace

FileSniff sniffExistingFile(const QString& path, qint64 headBytes)
{
    FileSniff result;
    QFile file(path);
    const auto failed = [&result, &file] {
        result.status = FileSniff::Status::Failed;
        result.error = file.errorString();
        return result;
    };
    if (!file.open(QIODevice::ReadOnly))
        return failed();
    const qint64 size = file.size();
    const QByteArray head = file.read(std::min(size, headBytes));
    if (file.error() != QFileDevice::NoError)
        return failed();
    const bool complete = head.size() >= size;
    std::optional<Sniffed> sniffed = sniff(head, complete);
    if (!sniffed) {
        result.status = FileSniff::Status::Undecidable;
        return result;
    }
    FileFormat& format = sniffed->format;
    if (!complete && sniffed->ascii) {
        const qint64 telling = firstTellingByte(file, head.size());
        if (telling >= 0 && file.seek(telling)) {
            const QByteArray window = file.read(headBytes);
            std::optional<Sniffed> further = sniff(window, telling + window.size() >= size);
            if (!further) {
                result.status = FileSniff::Status::Undecidable;
                return result;
            }
            if (!further->ascii)
                format.encoding = further->format.encoding;
        }
        if (file.error() != QFileDevice::NoError)
            return failed();
    }
    if (!complete) {
        if (!file.seek(std::max<qint64>(0, size - 4)))
            return failed();
        const QByteArray tail = file.read(4);
        if (file.error() != QFileDevice::NoError)
            return failed();
        format.needsLineEndFirst = !endsWithLineBreak(tail, format.encoding);
    }
    result.format = format;
    result.status = FileSniff::Status::Ok;
    return result;
}

} // namespace velmar::text
