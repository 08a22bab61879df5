#include "convert/encoders.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace velmar::convert {

namespace {

constexpr char kBase64Alphabet[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr char kHexDigits[] = "0123456789ABCDEF";
constexpr int kBase64LineLength = 76;

constexpr bool isIgnorable(char16_t c)
{
    return c == u'\r' || c == u'\n' || c == u' ' || c == u'\t';
}

// The value of a Base64 character in either alphabet, -1 for anything else.
constexpr std::array<qint8, 128> base64Values()
{
    std::array<qint8, 128> values{};
    for (auto& v : values)
        v = -1;
    for (int i = 0; i < 64; ++i)
        values[std::size_t(kBase64Alphabet[i])] = qint8(i);
    values['-'] = 62;
    values['_'] = 63;
    return values;
}

constexpr std::array<qint8, 128> kBase64Values = base64Values();

constexpr int hexValue(char16_t c)
{
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    return -1;
}

} // namespace

QString base64Encode(QByteArrayView bytes)
{
    const qsizetype groups = (bytes.size() + 2) / 3;
    const qsizetype chars = groups * 4;
    const qsizetype breaks = chars > 0 ? (chars - 1) / kBase64LineLength : 0;
    QString text(chars + breaks * 2, Qt::Uninitialized);
    char16_t* out = reinterpret_cast<char16_t*>(text.data());
    const auto* p = reinterpret_cast<const quint8*>(bytes.data());
    const qsizetype n = bytes.size();
    int column = 0;
    auto put = [&](char16_t c) {
        if (column == kBase64LineLength) {
            *out++ = u'\r';
            *out++ = u'\n';
            column = 0;
        }
        *out++ = c;
        ++column;
    };
    qsizetype i = 0;
    for (; i + 3 <= n; i += 3) {
        const quint32 v = (quint32(p[i]) << 16) | (quint32(p[i + 1]) << 8) | p[i + 2];
        put(char16_t(kBase64Alphabet[(v >> 18) & 63]));
        put(char16_t(kBase64Alphabet[(v >> 12) & 63]));
        put(char16_t(kBase64Alphabet[(v >> 6) & 63]));
        put(char16_t(kBase64Alphabet[v & 63]));
    }
    if (i < n) {
        const bool two = i + 1 < n;
        const quint32 v = (quint32(p[i]) << 16) | (two ? quint32(p[i + 1]) << 8 : 0);
        put(char16_t(kBase64Alphabet[(v >> 18) & 63]));
        put(char16_t(kBase64Alphabet[(v >> 12) & 63]));
        put(two ? char16_t(kBase64Alphabet[(v >> 6) & 63]) : u'=');
        put(u'=');
    }
    return text;
}

Decoded base64DecodeAt(QStringView text)
{
    Decoded result;
    QByteArray bytes;
    bytes.reserve(text.size() / 4 * 3 + 3);
    quint32 accumulator = 0;
    int pending = 0; // characters in the current group
    int padding = 0;
    qsizetype firstPad = -1;
    const auto fail = [&result](qsizetype at) {
        result.errorAt = at;
        return result;
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (isIgnorable(c))
            continue;
        if (c == u'=') {
            if (padding++ == 0)
                firstPad = i;
            continue;
        }
        if (padding > 0 || c >= 128 || kBase64Values[c] < 0)
            return fail(i);
        accumulator = (accumulator << 6) | quint32(kBase64Values[c]);
        if (++pending == 4) {
            bytes.append(char(accumulator >> 16));
            bytes.append(char(accumulator >> 8));
            bytes.append(char(accumulator));
            accumulator = 0;
            pending = 0;
        }
    }
    // What is left of the last group: two characters give one byte, three give two.
    switch (pending) {
    case 0:
        if (padding != 0)
            return fail(firstPad);
        break;
    case 2:
        if (padding != 0 && padding != 2)
            return fail(firstPad);
        bytes.append(char(accumulator >> 4));
        break;
    case 3:
        if (padding > 1)
            return fail(firstPad);
        bytes.append(char(accumulator >> 10));
        bytes.append(char(accumulator >> 2));
        break;
    default:
        return fail(padding > 0 ? firstPad : text.size());
    }
    result.bytes = std::move(bytes);
    return result;
}

std::optional<QByteArray> base64Decode(QStringView text)
{
    return base64DecodeAt(text).bytes;
}

QString unreservedCharacters()
{
    return QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-._~");
}

QString percentEncode(QByteArrayView bytes, QStringView kept, QChar escape)
{
    std::array<bool, 256> keep{};
    for (const QChar c : kept) {
        if (c.unicode() < 0x80)
            keep[c.unicode()] = true;
    }
    qsizetype length = 0;
    for (const char b : bytes)
        length += keep[quint8(b)] ? 1 : 3;
    QString text(length, Qt::Uninitialized);
    char16_t* out = reinterpret_cast<char16_t*>(text.data());
    std::array<std::array<char16_t, 3>, 256> escaped{};
    for (std::size_t v = 0; v < 256; ++v)
        escaped[v] = {escape.unicode(), char16_t(kHexDigits[v >> 4]), char16_t(kHexDigits[v & 15])};
    for (const char b : bytes) {
        const quint8 v = quint8(b);
        if (keep[v]) {
            *out++ = char16_t(v);
        } else {
            std::memcpy(out, escaped[v].data(), sizeof(char16_t) * 3);
            out += 3;
        }
    }
    return text;
}

Decoded percentDecodeAt(QStringView text, QChar escape)
{
    Decoded result;
    QByteArray bytes;
    bytes.reserve(text.size());
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n;) {
        const QChar c = text[i];
        if (c == escape) {
            for (qsizetype k = i + 1; k <= i + 2; ++k) {
                if (k >= n || hexValue(text[k].unicode()) < 0) {
                    result.errorAt = k >= n ? n : k;
                    return result;
                }
            }
            bytes.append(
                char((hexValue(text[i + 1].unicode()) << 4) | hexValue(text[i + 2].unicode())));
            i += 3;
        } else if (c.unicode() < 0x80) {
            bytes.append(char(c.unicode()));
            ++i;
        } else {
            qsizetype length = 1;
            if (c.isHighSurrogate() && i + 1 < n && text[i + 1].isLowSurrogate())
                length = 2;
            if (c.isSurrogate() && length == 1) {
                result.errorAt = i;
                return result;
            }
            bytes.append(text.sliced(i, length).toUtf8());
            i += length;
        }
    }
    result.bytes = std::move(bytes);
    return result;
}

std::optional<QByteArray> percentDecode(QStringView text, QChar escape)
{
    return percentDecodeAt(text, escape).bytes;
}

QString hexEncode(QByteArrayView bytes)
{
    // Both digits of every byte value, ready to copy.
    static const std::array<std::array<char16_t, 2>, 256> pairs = [] {
        std::array<std::array<char16_t, 2>, 256> table{};
        for (std::size_t b = 0; b < 256; ++b)
            table[b] = {char16_t(kHexDigits[b >> 4]), char16_t(kHexDigits[b & 15])};
        return table;
    }();
    QString text(bytes.size() * 2, Qt::Uninitialized);
    char16_t* out = reinterpret_cast<char16_t*>(text.data());
    for (const char b : bytes) {
        std::memcpy(out, pairs[quint8(b)].data(), sizeof(char16_t) * 2);
        out += 2;
    }
    return text;
}

Decoded hexDecodeAt(QStringView text)
{
    Decoded result;
    QByteArray bytes;
    bytes.reserve(text.size() / 2);
    int high = -1;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (isIgnorable(c))
            continue;
        const int value = hexValue(c);
        if (value < 0) {
            result.errorAt = i;
            return result;
        }
        if (high < 0) {
            high = value;
        } else {
            bytes.append(char((high << 4) | value));
            high = -1;
        }
    }
    if (high >= 0) {
        result.errorAt = text.size();
        return result;
    }
    result.bytes = std::move(bytes);
    return result;
}

std::optional<QByteArray> hexDecode(QStringView text)
{
    return hexDecodeAt(text).bytes;
}

QString layoutHex(QStringView hex, qint64 width)
{
    // A line of k pairs is 3k - 1 characters long.
    const qint64 pairsPerLine = std::max<qint64>(1, (width + 1) / 3);
    qsizetype digits = 0;
    for (const QChar c : hex)
        digits += isIgnorable(c.unicode()) ? 0 : 1;
    const qsizetype pairs = (digits + 1) / 2;
    const qsizetype lines = pairs == 0 ? 0 : qsizetype((pairs - 1) / pairsPerLine + 1);
    const qsizetype blanks = pairs == 0 ? 0 : pairs - lines;
    const qsizetype breaks = lines == 0 ? 0 : lines - 1;
    QString text(digits + blanks + 2 * breaks, Qt::Uninitialized);
    char16_t* out = reinterpret_cast<char16_t*>(text.data());
    if (digits == hex.size()) {
        // No blanks or breaks to skip: copy whole pairs.
        const char16_t* in = reinterpret_cast<const char16_t*>(hex.data());
        const qsizetype whole = digits / 2;
        qint64 pairsOnLine = 0;
        for (qsizetype i = 0; i < whole; ++i) {
            if (pairsOnLine == pairsPerLine) {
                *out++ = u'\r';
                *out++ = u'\n';
                pairsOnLine = 0;
            } else if (i > 0) {
                *out++ = u' ';
            }
            *out++ = in[2 * i];
            *out++ = in[2 * i + 1];
            ++pairsOnLine;
        }
        if (digits % 2 != 0) {
            if (pairsOnLine == pairsPerLine) {
                *out++ = u'\r';
                *out++ = u'\n';
            } else if (whole > 0) {
                *out++ = u' ';
            }
            *out++ = in[digits - 1];
        }
        return text;
    }
    bool secondDigit = false;
    qint64 pairsOnLine = 0; // complete pairs on the current line
    for (const QChar c : hex) {
        if (isIgnorable(c.unicode()))
            continue;
        if (!secondDigit && pairsOnLine > 0) {
            if (pairsOnLine == pairsPerLine) {
                *out++ = u'\r';
                *out++ = u'\n';
                pairsOnLine = 0;
            } else {
                *out++ = u' ';
            }
        }
        *out++ = c.unicode();
        if (secondDigit)
            ++pairsOnLine;
        secondDigit = !secondDigit;
    }
    return text;
}

} // namespace velmar::convert
