#include "common/text_bytes.h"

namespace velmar {

namespace {

QByteArray utf16Bytes(QStringView text, bool littleEndian)
{
    QByteArray bytes(text.size() * 2, Qt::Uninitialized);
    char* out = bytes.data();
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        *out++ = static_cast<char>(littleEndian ? (u & 0xFF) : (u >> 8));
        *out++ = static_cast<char>(littleEndian ? (u >> 8) : (u & 0xFF));
    }
    return bytes;
}

} // namespace

QByteArray utf16LeBytes(QStringView text)
{
    return utf16Bytes(text, true);
}

QByteArray utf16BeBytes(QStringView text)
{
    return utf16Bytes(text, false);
}

QString describeCharacter(const QString& character)
{
    char32_t codePoint = character.isEmpty() ? 0 : character.at(0).unicode();
    if (character.size() == 2 && character.at(0).isHighSurrogate())
        codePoint = QChar::surrogateToUcs4(character.at(0), character.at(1));
    const QString code =
        QStringLiteral("U+") + QString::number(codePoint, 16).toUpper().rightJustified(4, u'0');
    if (character.size() == 1 &&
        (character.at(0).isSurrogate() || codePoint < 0x20 || codePoint == 0x7F))
        return code;
    return QStringLiteral("%1 (%2)").arg(character, code);
}

} // namespace velmar
