#include "common/code_page.h"
#include "common/text_bytes.h"
#include "platform/line_breaks.h"
#include "text/file_codec.h"
#include "text/file_codec_internal.h"

#include <QFile>
#include <QSet>
#include <QStringEncoder>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// The appending half of the file codec: the bytes a window's text becomes in a
// file's own encoding and line ends, and the write that adds them.

namespace velmar::text {

using detail::kEucJpName;
using detail::kIso2022JpName;

namespace {

QStringEncoder encoderFor(TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::Utf8:
        return QStringEncoder(QStringEncoder::Utf8, QStringEncoder::Flag::Stateless);
    case TextEncoding::EucJp:
        return QStringEncoder(kEucJpName, QStringEncoder::Flag::Stateless);
    case TextEncoding::Iso2022Jp:
        return QStringEncoder(kIso2022JpName, QStringEncoder::Flag::Stateless);
    case TextEncoding::Utf16Le:
    case TextEncoding::Utf16Be:
    case TextEncoding::ShiftJis:
        break;
    }
    return QStringEncoder(CodePage932, QStringEncoder::Flag::Stateless);
}

std::optional<QByteArray> encodeExactly(TextEncoding encoding, QStringView text)
{
    // UTF-16 holds every code unit, unpaired surrogates too: the bytes are the
    // units themselves, which keeps a window's text exact.
    if (encoding == TextEncoding::Utf16Le)
        return utf16LeBytes(text);
    if (encoding == TextEncoding::Utf16Be)
        return utf16BeBytes(text);
    QStringEncoder encoder = encoderFor(encoding);
    QByteArray bytes = encoder.encode(text);
    if (encoder.hasError())
        return std::nullopt;
    if (encoding == TextEncoding::ShiftJis)
        restoreControlBytes(bytes);
    return bytes;
}

// The JIS form of a character written in its code page 932 form; the reverse of
// codePage932Form for the characters it maps.
char16_t jisForm(char16_t c)
{
    for (const char16_t jis :
         {u'\u301C', u'\u2016', u'\u2212', u'\u2014', u'\u00A2', u'\u00A3', u'\u00AC', u'\u00A5'}) {
        if (codePage932Form(jis) == c)
            return jis;
    }
    return c;
}

QString withJisForms(QStringView text)
{
    QString out = text.toString();
    for (QChar& c : out)
        c = QChar(jisForm(c.unicode()));
    return out;
}

// The text as it is, else with the twins in the code page 932 forms, else in the
// JIS forms: whichever the encoding holds.
std::optional<QByteArray> encode(TextEncoding encoding, QStringView text)
{
    if (auto bytes = encodeExactly(encoding, text))
        return bytes;
    if (auto bytes = encodeExactly(encoding, withCodePage932Forms(text)))
        return bytes;
    return encodeExactly(encoding, withJisForms(text));
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
        // ASCII too: ISO-2022-JP cannot hold ESC, SO and SI.
        if (seen.contains(codePoint))
            continue;
        seen.insert(codePoint);
        if (!encode(encoding, character))
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

bool endsWithLineBreak(const QByteArray& tail, std::optional<TextEncoding> encoding)
{
    if (tail.isEmpty())
        return true;
    const auto isBreak = [](char c) { return c == '\n' || c == '\r'; };
    switch (encoding.value_or(TextEncoding::Utf8)) {
    case TextEncoding::Utf16Le:
        return tail.size() >= 2 && isBreak(tail.at(tail.size() - 2)) && tail.back() == 0;
    case TextEncoding::Utf16Be:
        return tail.size() >= 2 && tail.at(tail.size() - 2) == 0 && isBreak(tail.back());
    case TextEncoding::Iso2022Jp:
        // The switch back to ASCII may follow the last line break.
        if (tail.size() >= 4 && (tail.endsWith("\x1b(B") || tail.endsWith("\x1b(J")))
            return isBreak(tail.at(tail.size() - 4));
        break;
    case TextEncoding::Utf8:
    case TextEncoding::ShiftJis:
    case TextEncoding::EucJp:
        break;
    }
    return isBreak(tail.back());
}

AppendBytes bytesToAppend(const QString& crlfText, const FileFormat& format)
{
    const QString lineEnd = lineEndText(format.lineEnd);
    // Every line, the last one included, ends with the file's line end.
    QString lines = platform::replaceLineBreaks(crlfText, lineEnd) + lineEnd;
    if (format.needsLineEndFirst)
        lines.prepend(lineEnd);
    AppendBytes result;
    if (format.encoding) {
        result.encoding = *format.encoding;
    } else {
        // A new, empty or plain ASCII file takes Shift_JIS, the program's own code
        // page, unless the text holds characters it lacks.
        if (std::optional<QByteArray> sjis = encode(TextEncoding::ShiftJis, lines)) {
            result.encoding = TextEncoding::ShiftJis;
            result.bytes = std::move(*sjis);
            return result;
        }
        result.encoding = TextEncoding::Utf8;
    }
    if (std::optional<QByteArray> encoded = encode(result.encoding, lines))
        result.bytes = std::move(*encoded);
    else
        result.unfit = unfitCharacters(result.encoding, lines);
    return result;
}

WriteResult appendToFile(const QString& path, const QByteArray& bytes)
{
    // Plain system calls: their errno is the reason the user sees (QFile reports a
    // full disk as an unknown error).
    WriteResult result;
    const auto failed = [&result] {
        result.error = QString::fromLocal8Bit(std::strerror(errno));
        return result;
    };
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0)
        return failed();
    struct stat info {};
    const bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    const off_t before = regular ? info.st_size : 0;
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, static_cast<size_t>(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            if (written == 0)
                errno = ENOSPC;
            // Cut back what part of the text reached the file; the reason the
            // write failed is what the user hears, not a failure of this.
            const int error = errno;
            if (regular && ::ftruncate(fd, before) != 0)
                errno = error;
            ::close(fd);
            errno = error;
            return failed();
        }
        data += written;
        left -= written;
    }
    if (::close(fd) != 0)
        return failed();
    result.ok = true;
    return result;
}

} // namespace velmar::text
