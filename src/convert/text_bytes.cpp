#include "convert/text_bytes.h"

#include "common/code_page.h"

#include <QHash>
#include <QSet>
#include <QStringDecoder>
#include <QStringEncoder>

namespace velmar::convert {

namespace {

constexpr const char* kCodePage = CodePage932;
constexpr qsizetype kMaxListed = 50;

QByteArray utf16LeBytes(const QString& text)
{
    QByteArray bytes(text.size() * 2, Qt::Uninitialized);
    char* out = bytes.data();
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        *out++ = char(u & 0xFF);
        *out++ = char(u >> 8);
    }
    return bytes;
}

// One code point of `text` at `i` (a pair of surrogates or one unit).
QString characterAt(const QString& text, qsizetype i)
{
    if (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
        return text.mid(i, 2);
    return text.mid(i, 1);
}

// The characters UTF-8 cannot hold: unpaired surrogates.
QStringList unfitUtf8Characters(const QString& text)
{
    QStringList unfit;
    QSet<QString> seen;
    for (qsizetype i = 0; i < text.size() && unfit.size() < kMaxListed;) {
        const QString character = characterAt(text, i);
        i += character.size();
        if (character.size() == 1 && character.front().isSurrogate() && !seen.contains(character)) {
            seen.insert(character);
            unfit << character;
        }
    }
    return unfit;
}

} // namespace

TextBytes textToBytes(const QString& text, ByteForm form)
{
    if (form == ByteForm::Utf16Le)
        return {utf16LeBytes(text), {}};
    if (form == ByteForm::ShiftJis) {
        CodePage932Bytes encoded = encodeCodePage932(text);
        return {std::move(encoded.bytes), std::move(encoded.unfit)};
    }
    QStringEncoder encoder(QStringEncoder::Utf8, QStringEncoder::Flag::Stateless);
    QByteArray bytes = encoder.encode(text);
    if (!encoder.hasError())
        return {std::move(bytes), {}};
    TextBytes result;
    result.unfit = unfitUtf8Characters(text);
    if (result.unfit.isEmpty())
        result.unfit << QString(QChar::ReplacementCharacter);
    return result;
}

QByteArray shiftJisWithGeta(const QString& text)
{
    return codePage932WithGeta(text);
}

QString decodeShiftJisWithGeta(QByteArrayView bytes)
{
    if (std::optional<QString> text = decodeShiftJis(bytes))
        return *text;
    // Character by character, each distinct byte sequence decoded once.
    QHash<quint16, QString> known;
    QString text;
    text.reserve(bytes.size());
    const auto* p = reinterpret_cast<const quint8*>(bytes.data());
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n;) {
        const quint8 b = p[i];
        if (b < 0x80) {
            text.append(QChar(char16_t(b)));
            ++i;
            continue;
        }
        const bool lead = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
        const qsizetype length =
            lead && i + 1 < n && p[i + 1] >= 0x40 && p[i + 1] <= 0xFC && p[i + 1] != 0x7F ? 2 : 1;
        const quint16 key = length == 2 ? quint16((b << 8) | p[i + 1]) : b;
        auto it = known.constFind(key);
        if (it == known.constEnd()) {
            const std::optional<QString> unit = decodeShiftJis(bytes.sliced(i, length));
            it = known.insert(key, unit ? *unit : QStringLiteral("〓"));
        }
        text.append(*it);
        i += length;
    }
    return text;
}

std::optional<QString> decodeShiftJis(QByteArrayView bytes)
{
    QStringDecoder decoder(kCodePage, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    restoreControlCharacters(text);
    return text;
}

std::optional<QString> decodeUtf8(QByteArrayView bytes)
{
    // A leading U+FEFF is part of the text, not a mark to drop.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless |
                                                     QStringDecoder::Flag::ConvertInitialBom);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

std::optional<QString> decodeUtf16Le(QByteArrayView bytes)
{
    if (bytes.size() % 2 != 0)
        return std::nullopt;
    QString text(bytes.size() / 2, Qt::Uninitialized);
    QChar* out = text.data();
    const auto* p = reinterpret_cast<const quint8*>(bytes.data());
    for (qsizetype i = 0; i < bytes.size(); i += 2)
        *out++ = QChar(char16_t(p[i] | (p[i + 1] << 8)));
    return text;
}

namespace {

struct ByteTraits {
    bool ascii = true;
    bool nul = false;
    qsizetype nulLow = 0;  // NUL as the first byte of a pair
    qsizetype nulHigh = 0; // NUL as the second byte of a pair
};

ByteTraits traitsOf(QByteArrayView bytes)
{
    ByteTraits traits;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto b = quint8(bytes[i]);
        traits.ascii &= b < 0x80;
        if (b == 0) {
            traits.nul = true;
            ++((i % 2 == 0) ? traits.nulLow : traits.nulHigh);
        }
    }
    return traits;
}

bool hasHalfWidthKana(QStringView text)
{
    for (const QChar c : text) {
        if (c.unicode() >= 0xFF61 && c.unicode() <= 0xFF9F)
            return true;
    }
    return false;
}

// UTF-16LE of a text that holds ASCII: NUL high bytes, and more of them than NUL low ones.
bool looksLikeUtf16Le(QByteArrayView bytes, const ByteTraits& traits)
{
    return bytes.size() % 2 == 0 && traits.nulHigh > 0 && traits.nulHigh >= traits.nulLow;
}

} // namespace

std::optional<QString> textFromDecodedBytes(QByteArrayView bytes, ByteForm current)
{
    const ByteTraits traits = traitsOf(bytes);
    if (traits.ascii && !traits.nul)
        return QString::fromLatin1(bytes);
    if (bytes.startsWith("\xFF\xFE") && bytes.size() % 2 == 0)
        return decodeUtf16Le(bytes.sliced(2));

    const bool even = bytes.size() % 2 == 0;
    // Each reading is made only when asked for: a long UTF-16 text needs neither.
    std::optional<std::optional<QString>> utf8Reading;
    std::optional<std::optional<QString>> sjisReading;
    const auto utf8 = [&]() -> const std::optional<QString>& {
        if (!utf8Reading)
            utf8Reading = traits.ascii ? std::nullopt : decodeUtf8(bytes);
        return *utf8Reading;
    };
    const auto sjis = [&]() -> const std::optional<QString>& {
        if (!sjisReading)
            sjisReading = decodeShiftJis(bytes);
        return *sjisReading;
    };
    switch (current) {
    case ByteForm::Utf8:
        if (!traits.nul && utf8())
            return utf8();
        if (looksLikeUtf16Le(bytes, traits))
            return decodeUtf16Le(bytes);
        break;
    case ByteForm::ShiftJis:
        if (looksLikeUtf16Le(bytes, traits))
            return decodeUtf16Le(bytes);
        // UTF-8 read as Shift_JIS is full of half-width kana, which Shift_JIS text
        // rarely holds.
        if (sjis() && !(!traits.nul && utf8() && hasHalfWidthKana(*sjis())))
            return sjis();
        break;
    case ByteForm::Utf16Le:
        if (even && traits.nul)
            return decodeUtf16Le(bytes);
        if (!traits.nul && utf8())
            return utf8();
        if (!traits.nul && sjis())
            return sjis();
        if (even)
            return decodeUtf16Le(bytes);
        break;
    }
    if (utf8())
        return utf8();
    if (sjis())
        return sjis();
    if (even && traits.nul)
        return decodeUtf16Le(bytes);
    return std::nullopt;
}

TextBytes encoderBytes(const QString& text, ByteForm form)
{
    TextBytes encoded = textToBytes(text, form);
    if (form != ByteForm::Utf16Le)
        return encoded;
    const QByteArray& bytes = encoded.bytes;
    // Bytes holding a NUL read as UTF-16LE, unless they start like the mark itself.
    const bool readBack = !bytes.startsWith("\xFF\xFE") && bytes.contains('\0')
                              ? true
                              : textFromDecodedBytes(bytes, form) == text;
    if (!readBack)
        encoded.bytes.prepend("\xFF\xFE");
    return encoded;
}

} // namespace velmar::convert
