#include "text/file_codec.h"

#include "platform/line_breaks.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStringDecoder>
#include <QStringEncoder>

namespace velmar::text {

namespace {

// Code page 932. Debian's Qt resolves this name through ICU to the converter that
// maps 0x8160 to U+FF5E, as the platform's own code page does.
constexpr char kShiftJisName[] = "windows-31j";

struct Detected {
    TextEncoding encoding;
    QString text;
};

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

// UTF-16LE without a mark: the program's own raw files and files of other tools.
// ASCII characters give NUL high bytes; NUL low bytes (U+4E00 and the like) are
// much rarer than those in real text.
bool looksLikeUtf16Le(QByteArrayView bytes, bool complete)
{
    if (bytes.size() % 2 != 0) {
        if (complete)
            return false;
        bytes.chop(1);
    }
    qsizetype zeroHigh = 0;
    qsizetype zeroLow = 0;
    for (qsizetype i = 0; i + 1 < bytes.size(); i += 2) {
        zeroLow += bytes[i] == 0;
        zeroHigh += bytes[i + 1] == 0;
    }
    return zeroHigh > 0 && zeroLow < zeroHigh;
}

std::optional<Detected> detect(QByteArrayView bytes, bool complete)
{
    const auto accept = [](TextEncoding encoding,
                           std::optional<QString> text) -> std::optional<Detected> {
        if (!text || !isPlausibleText(*text))
            return std::nullopt;
        return Detected{encoding, std::move(*text)};
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
    if (looksLikeUtf16Le(bytes, complete)) {
        if (auto found = accept(TextEncoding::Utf16Le, decodeUtf16(bytes, true, complete)))
            return found;
    }
    if (auto found = accept(
            TextEncoding::Utf8,
            decodeStrict(QStringDecoder(QStringDecoder::Utf8, decoderFlags(complete)), bytes)))
        return found;
    return accept(TextEncoding::ShiftJis,
                  decodeStrict(QStringDecoder(kShiftJisName, decoderFlags(complete)), bytes));
}

struct Encoded {
    QByteArray bytes;
    bool ok = false;
};

QStringEncoder encoderFor(TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::Utf16Le:
        return QStringEncoder(QStringEncoder::Utf16LE, QStringEncoder::Flag::Stateless);
    case TextEncoding::Utf16Be:
        return QStringEncoder(QStringEncoder::Utf16BE, QStringEncoder::Flag::Stateless);
    case TextEncoding::Utf8:
        return QStringEncoder(QStringEncoder::Utf8, QStringEncoder::Flag::Stateless);
    case TextEncoding::ShiftJis:
        break;
    }
    return QStringEncoder(kShiftJisName, QStringEncoder::Flag::Stateless);
}

Encoded encode(TextEncoding encoding, const QString& text)
{
    // UTF-16 holds every code unit, unpaired surrogates too: the bytes are the
    // units themselves, which keeps a window's text exact.
    if (encoding == TextEncoding::Utf16Le || encoding == TextEncoding::Utf16Be) {
        QByteArray bytes(text.size() * 2, Qt::Uninitialized);
        char* out = bytes.data();
        const bool little = encoding == TextEncoding::Utf16Le;
        for (const QChar c : text) {
            const char16_t u = c.unicode();
            *out++ = static_cast<char>(little ? (u & 0xff) : (u >> 8));
            *out++ = static_cast<char>(little ? (u >> 8) : (u & 0xff));
        }
        return {bytes, true};
    }
    QStringEncoder encoder = encoderFor(encoding);
    QByteArray bytes = encoder.encode(text);
    return {bytes, !encoder.hasError()};
}

// The distinct code points of `text` that `encoding` lacks; a few dozen are enough
// to tell the user what to change.
QStringList unfitCharacters(TextEncoding encoding, const QString& text)
{
    constexpr qsizetype kMaxListed = 50;
    QStringList unfit;
    QSet<char32_t> seen;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n && unfit.size() < kMaxListed; ++i) {
        qsizetype len = 1;
        if (text.at(i).isHighSurrogate() && i + 1 < n && text.at(i + 1).isLowSurrogate())
            len = 2;
        const QString character = text.mid(i, len);
        const char32_t codePoint =
            len == 2 ? QChar::surrogateToUcs4(text.at(i), text.at(i + 1)) : text.at(i).unicode();
        i += len - 1;
        if (codePoint < 0x80 || seen.contains(codePoint))
            continue;
        seen.insert(codePoint);
        if (!encode(encoding, character).ok)
            unfit << character;
    }
    return unfit;
}

QString lineEndText(LineEnd lineEnd)
{
    switch (lineEnd) {
    case LineEnd::Lf:
        return QStringLiteral("\n");
    case LineEnd::Cr:
        return QStringLiteral("\r");
    case LineEnd::CrLf:
        break;
    }
    return QStringLiteral("\r\n");
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
    std::optional<Detected> found = detect(bytes, true);
    if (!found)
        return result;
    result.isText = true;
    result.encoding = found->encoding;
    result.text = platform::toCrlf(found->text);
    return result;
}

FileFormat sniffFileFormat(const QByteArray& head, bool complete)
{
    FileFormat format;
    if (head.isEmpty())
        return format;
    std::optional<Detected> found = detect(head, complete);
    if (!found)
        return format;
    const bool eightBit =
        found->encoding == TextEncoding::Utf8 || found->encoding == TextEncoding::ShiftJis;
    const bool ascii = eightBit && isAscii(head);
    if (!ascii)
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
    if (ascii && format.lineEnd == LineEnd::Lf)
        format.encoding = TextEncoding::Utf8;
    return format;
}

AppendBytes bytesToAppend(const QString& crlfText, const FileFormat& format)
{
    const QString lineEnd = lineEndText(format.lineEnd);
    // Every line, the last one included, ends with the file's line end.
    const QString lines = platform::replaceLineBreaks(crlfText, lineEnd) + lineEnd;
    AppendBytes result;
    if (format.encoding) {
        result.encoding = *format.encoding;
    } else {
        // A new, empty or plain ASCII file takes Shift_JIS, the program's own code
        // page, unless the text holds characters it lacks.
        Encoded sjis = encode(TextEncoding::ShiftJis, lines);
        if (sjis.ok) {
            result.encoding = TextEncoding::ShiftJis;
            result.bytes = std::move(sjis.bytes);
            return result;
        }
        result.encoding = TextEncoding::Utf8;
    }
    Encoded encoded = encode(result.encoding, lines);
    if (encoded.ok)
        result.bytes = std::move(encoded.bytes);
    else
        result.unfit = unfitCharacters(result.encoding, lines);
    return result;
}

QString describeCharacter(const QString& character)
{
    char32_t codePoint = character.isEmpty() ? 0 : character.at(0).unicode();
    if (character.size() == 2 && character.at(0).isHighSurrogate())
        codePoint = QChar::surrogateToUcs4(character.at(0), character.at(1));
    const QString code =
        QStringLiteral("U+") + QString::number(codePoint, 16).toUpper().rightJustified(4, u'0');
    if (character.size() == 1 && character.at(0).isSurrogate())
        return code;
    return QStringLiteral("%1 (%2)").arg(character, code);
}

namespace {

ReadResult readFile(const QString& path, qint64 maxBytes, bool whole)
{
    ReadResult result;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.status = file.exists() ? ReadResult::Status::Failed : ReadResult::Status::Missing;
        result.error = file.errorString();
        return result;
    }
    result.size = file.size();
    if (whole && result.size > maxBytes) {
        result.status = ReadResult::Status::TooLarge;
        return result;
    }
    result.bytes = file.read(std::min(result.size, maxBytes));
    if (file.error() != QFileDevice::NoError) {
        result.status = ReadResult::Status::Failed;
        result.error = file.errorString();
        result.bytes.clear();
        return result;
    }
    result.status = ReadResult::Status::Ok;
    return result;
}

} // namespace

ReadResult readWholeFile(const QString& path, qint64 maxBytes)
{
    return readFile(path, maxBytes, true);
}

ReadResult readFileHead(const QString& path, qint64 maxBytes)
{
    return readFile(path, maxBytes, false);
}

WriteResult appendToFile(const QString& path, const QByteArray& bytes)
{
    WriteResult result;
    QFile file(path);
    // Unbuffered: the write below is the write to the file, and its error (a full
    // disk) is seen here rather than at an unchecked flush on close.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
        result.error = file.errorString();
        return result;
    }
    const bool seekable = !file.isSequential();
    const qint64 before = seekable ? file.size() : 0;
    const qint64 written = file.write(bytes);
    if (written != bytes.size()) {
        result.error = file.errorString();
        if (seekable && file.size() != before)
            file.resize(before);
        return result;
    }
    file.close();
    if (file.error() != QFileDevice::NoError) {
        result.error = file.errorString();
        return result;
    }
    result.ok = true;
    return result;
}

} // namespace velmar::text
