#include "convert/text_bytes.h"

#include <QHash>
#include <QSet>
#include <QStringDecoder>
#include <QStringEncoder>

namespace velmar::convert {

namespace {

constexpr char kCodePage[] = "windows-31j";
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

QStringEncoder encoderFor(ByteForm form)
{
    if (form == ByteForm::Utf8)
        return QStringEncoder(QStringEncoder::Utf8, QStringEncoder::Flag::Stateless);
    return QStringEncoder(kCodePage, QStringEncoder::Flag::Stateless);
}

// One code point of `text` at `i` (a pair of surrogates or one unit).
QString characterAt(const QString& text, qsizetype i)
{
    if (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
        return text.mid(i, 2);
    return text.mid(i, 1);
}

// Whether the character survives the byte form unchanged. The code page has "best fit"
// mappings (a character written as a similar one), which the round trip also rejects.
bool fits(const QString& character, ByteForm form)
{
    QStringEncoder encoder = encoderFor(form);
    const QByteArray bytes = encoder.encode(character);
    if (encoder.hasError())
        return false;
    const std::optional<QString> back =
        form == ByteForm::Utf8 ? decodeUtf8(bytes) : decodeShiftJis(bytes);
    return back && *back == character;
}

QStringList unfitCharacters(const QString& text, ByteForm form)
{
    QStringList unfit;
    QSet<QString> seen;
    for (qsizetype i = 0; i < text.size() && unfit.size() < kMaxListed;) {
        const QString character = characterAt(text, i);
        i += character.size();
        if (character.front().unicode() < 0x80 || seen.contains(character))
            continue;
        seen.insert(character);
        if (!fits(character, form))
            unfit << character;
    }
    return unfit;
}

} // namespace

TextBytes textToBytes(const QString& text, ByteForm form)
{
    if (form == ByteForm::Utf16Le)
        return {utf16LeBytes(text), {}};
    QStringEncoder encoder = encoderFor(form);
    QByteArray bytes = encoder.encode(text);
    // The encoder writes no "best fit" stand-ins (¥ is not written as a backslash): a
    // character without its own code is an error, so no round trip is needed here.
    if (!encoder.hasError())
        return {std::move(bytes), {}};
    TextBytes result;
    result.unfit = unfitCharacters(text, form);
    // A difference the per-character check cannot pin down must still refuse the text.
    if (result.unfit.isEmpty())
        result.unfit << QString(QChar::ReplacementCharacter);
    return result;
}

QByteArray shiftJisWithGeta(const QString& text)
{
    TextBytes encoded = textToBytes(text, ByteForm::ShiftJis);
    if (encoded.ok())
        return encoded.bytes;
    static const QByteArray geta("\x81\xAC");
    // Each distinct character is looked at once: a long text may repeat the few that fail.
    QHash<QString, QByteArray> known;
    QByteArray bytes;
    bytes.reserve(text.size() * 2);
    for (qsizetype i = 0; i < text.size();) {
        const QString character = characterAt(text, i);
        i += character.size();
        if (character.front().unicode() < 0x80) {
            bytes.append(char(character.front().unicode()));
            continue;
        }
        auto it = known.constFind(character);
        if (it == known.constEnd()) {
            QByteArray form = geta;
            if (fits(character, ByteForm::ShiftJis)) {
                QStringEncoder encoder(kCodePage, QStringEncoder::Flag::Stateless);
                form = encoder.encode(character);
            }
            it = known.insert(character, form);
        }
        bytes.append(*it);
    }
    return bytes;
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
    return text;
}

std::optional<QString> decodeUtf8(QByteArrayView bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
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

std::optional<QString> textFromDecodedBytes(QByteArrayView bytes, DecodedForm form)
{
    bool multiByte = false;
    bool nul = false;
    for (const char c : bytes) {
        multiByte |= quint8(c) >= 0x80;
        nul |= c == '\0';
    }
    if (multiByte && !nul) {
        if (std::optional<QString> text = decodeUtf8(bytes))
            return text;
    }
    if (form == DecodedForm::Utf16Le && bytes.size() % 2 == 0)
        return decodeUtf16Le(bytes);
    return decodeShiftJis(bytes);
}

} // namespace velmar::convert
