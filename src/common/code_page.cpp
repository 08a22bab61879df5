#include "common/code_page.h"

#include <QHash>
#include <QSet>
#include <QStringDecoder>
#include <QStringEncoder>
#include <algorithm>

namespace velmar {

namespace {

constexpr qsizetype kMaxListed = 50;

// One code point of `text` at `i` (a pair of surrogates or one unit).
QStringView characterAt(QStringView text, qsizetype i)
{
    if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
        return text.sliced(i, 2);
    return text.sliced(i, 1);
}

// The code page bytes of one character in its code page form; nullopt when the code
// page lacks it. The converter has "best fit" mappings (a character written as a
// similar one), which the round trip rejects.
std::optional<QByteArray> characterBytes(QStringView character)
{
    const QString wanted = withCodePage932Forms(character);
    QStringEncoder encoder(CodePage932, QStringEncoder::Flag::Stateless);
    QByteArray bytes = encoder.encode(wanted);
    if (encoder.hasError())
        return std::nullopt;
    QStringDecoder decoder(CodePage932, QStringDecoder::Flag::Stateless);
    const QString back = decoder.decode(bytes);
    if (decoder.hasError() || back != wanted)
        return std::nullopt;
    return bytes;
}

} // namespace

void restoreControlBytes(QByteArray& encoded)
{
    const auto isExchanged = [](char b) { return b == 0x7F || b == 0x1A || b == 0x1C; };
    if (std::none_of(encoded.cbegin(), encoded.cend(), isExchanged))
        return; // no detach of a long text's bytes
    for (char& b : encoded) {
        if (b == 0x7F)
            b = 0x1A;
        else if (b == 0x1A)
            b = 0x1C;
        else if (b == 0x1C)
            b = 0x7F;
    }
}

void restoreControlCharacters(QString& decoded)
{
    const auto isExchanged = [](QChar c) {
        return c.unicode() == 0x1C || c.unicode() == 0x7F || c.unicode() == 0x1A;
    };
    const qsizetype first =
        std::find_if(decoded.cbegin(), decoded.cend(), isExchanged) - decoded.cbegin();
    for (qsizetype i = first; i < decoded.size(); ++i) {
        const char16_t c = decoded[i].unicode();
        if (c == 0x1C)
            decoded[i] = QChar(char16_t(0x1A));
        else if (c == 0x7F)
            decoded[i] = QChar(char16_t(0x1C));
        else if (c == 0x1A)
            decoded[i] = QChar(char16_t(0x7F));
    }
}

char16_t codePage932Form(char16_t c)
{
    switch (c) {
    case 0x301C:
        return 0xFF5E; // WAVE DASH -> FULLWIDTH TILDE (81 60)
    case 0x2016:
        return 0x2225; // DOUBLE VERTICAL LINE -> PARALLEL TO (81 61)
    case 0x2212:
        return 0xFF0D; // MINUS SIGN -> FULLWIDTH HYPHEN-MINUS (81 7C)
    case 0x2014:
        return 0x2015; // EM DASH -> HORIZONTAL BAR (81 5C)
    case 0x00A2:
        return 0xFFE0; // CENT SIGN (81 91)
    case 0x00A3:
        return 0xFFE1; // POUND SIGN (81 92)
    case 0x00AC:
        return 0xFFE2; // NOT SIGN (81 CA)
    case 0x00A5:
        return 0xFFE5; // YEN SIGN (81 8F); 0x5C is the backslash in this code page
    default:
        return c;
    }
}

QString withCodePage932Forms(QStringView text)
{
    QString out = text.toString();
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        const char16_t form = codePage932Form(c);
        if (form != c)
            out[i] = QChar(form);
    }
    return out;
}

CodePage932Bytes encodeCodePage932(QStringView text)
{
    CodePage932Bytes result;
    QStringEncoder encoder(CodePage932, QStringEncoder::Flag::Stateless);
    // Most texts hold none of the twins: no copy of them is made then.
    bool twins = false;
    for (const QChar c : text)
        twins |= codePage932Form(c.unicode()) != c.unicode();
    const QString mapped = twins ? withCodePage932Forms(text) : QString();
    QByteArray bytes = encoder.encode(twins ? QStringView(mapped) : text);
    // The encoder writes no "best fit" stand-ins (¥ is not written as a backslash): a
    // character without its own code is an error, so no round trip is needed here.
    if (!encoder.hasError()) {
        restoreControlBytes(bytes);
        result.bytes = std::move(bytes);
        return result;
    }
    result.unfit = charactersCodePage932Lacks(text);
    // A difference the per-character check cannot pin down must still refuse the text.
    if (result.unfit.isEmpty())
        result.unfit << QString(QChar::ReplacementCharacter);
    return result;
}

QStringList charactersCodePage932Lacks(QStringView text)
{
    QStringList unfit;
    QSet<QStringView> seen;
    for (qsizetype i = 0; i < text.size() && unfit.size() < kMaxListed;) {
        const QStringView character = characterAt(text, i);
        i += character.size();
        if (character.front().unicode() < 0x80 || seen.contains(character))
            continue;
        seen.insert(character);
        if (!characterBytes(character))
            unfit << character.toString();
    }
    return unfit;
}

QByteArray codePage932WithGeta(QStringView text)
{
    CodePage932Bytes encoded = encodeCodePage932(text);
    if (encoded.ok())
        return encoded.bytes;
    static const QByteArray geta("\x81\xAC");
    // Each distinct character is looked at once: a long text may repeat the few that fail.
    QHash<QStringView, QByteArray> known;
    QByteArray bytes;
    bytes.reserve(text.size() * 2);
    for (qsizetype i = 0; i < text.size();) {
        const QStringView character = characterAt(text, i);
        i += character.size();
        if (character.front().unicode() < 0x80) {
            bytes.append(char(character.front().unicode()));
            continue;
        }
        auto it = known.constFind(character);
        if (it == known.constEnd())
            it = known.insert(character, characterBytes(character).value_or(geta));
        bytes.append(*it);
    }
    return bytes;
}

} // namespace velmar
