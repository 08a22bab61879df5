#include "components/converters.h"

#include "convert/encoders.h"
#include "convert/kanji_codes.h"
#include "convert/text_bytes.h"

namespace velmar::components {

QByteArray KanjiPipeImpl::sjis2jis(QByteArray& bytes, QByteArray& kanjiIn, QByteArray& kanjiOut,
                                   const QString& mode)
{
    if (mode == u"0")
        return convert::shiftJisToJis(bytes, convert::escapeBytes(kanjiIn),
                                      convert::escapeBytes(kanjiOut));
    if (mode == u"1")
        return convert::jisToShiftJis(bytes);
    return {};
}

QByteArray KanjiPipeImpl::FromSJIS(QString& text, const QString& option)
{
    if (option != u"j")
        return {};
    return convert::shiftJisToJis(convert::shiftJisWithGeta(text), convert::kanjiInSequence(2),
                                  convert::kanjiOutSequence(3));
}

QString KanjiPipeImpl::toSJIS(QByteArray& bytes)
{
    return convert::decodeShiftJisWithGeta(convert::jisToShiftJis(bytes));
}

QString RadixerImpl::enBase64Bin(QByteArray& bytes)
{
    m_error = 0;
    return convert::base64Encode(bytes);
}

QByteArray RadixerImpl::deBase64Bin(QString& text)
{
    std::optional<QByteArray> bytes = convert::base64Decode(text);
    m_error = bytes ? 0 : -1;
    return bytes.value_or(QByteArray());
}

void EscaperImpl::SetAddChar(const QString& ch)
{
    if (!ch.isEmpty() && ch.front().unicode() > 0x20 && ch.front().unicode() < 0x7F)
        m_escape = ch.front();
}

QString EscaperImpl::GetChar()
{
    return convert::unreservedCharacters();
}

void EscaperImpl::SetNonChangeChar(const QString& chars)
{
    m_kept = chars;
}

void EscaperImpl::SetMode(const QString& mode)
{
    if (mode == u"0")
        m_mode = Mode::Hex;
    else if (mode == u"1")
        m_mode = Mode::Escapes;
}

QString EscaperImpl::EncodeBin(QByteArray& bytes)
{
    m_error = 0;
    if (m_mode == Mode::Hex)
        return convert::hexEncode(bytes);
    // The escape character itself can never stand for itself.
    QString kept = m_kept;
    kept.remove(m_escape);
    return convert::percentEncode(bytes, kept, m_escape);
}

QByteArray EscaperImpl::DecodeBin(QString& text)
{
    const std::optional<QByteArray> bytes =
        m_mode == Mode::Hex ? convert::hexDecode(text) : convert::percentDecode(text, m_escape);
    m_error = bytes ? 0 : -1;
    return bytes.value_or(QByteArray());
}

QString EscaperImpl::PlasticHexData(QString& hex, qint32* lineWidth)
{
    m_error = 0;
    return convert::layoutHex(hex, lineWidth ? *lineWidth : DefaultLineWidth);
}

} // namespace velmar::components
