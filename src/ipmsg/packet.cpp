#include "ipmsg/packet.h"

#include "common/code_page.h"
#include "common/list_helpers.h"
#include "common/text_bytes.h"
#include "components/components.h"
#include "platform/line_breaks.h"
#include "settings/typed_setting.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace velmar::ipmsg {

bool Command::has(int option) const
{
    return hexBitIsSet(options, option);
}

QString packetHeader(int protcolVer, const QString& packetNo, const QString& hostName)
{
    return QString::number(protcolVer) + u':' + packetNo + u":Wait:" + hostName + u':';
}

QString ret_chg1(const QString& text)
{
    return platform::crlfToLf(text);
}

QString ret_chg2(const QString& text)
{
    QString out = text;
    out.replace(u'\n', QStringLiteral("\r\n"));
    return out;
}

QString GetIPandPort(const QString& entry, bool portPart)
{
    QString narrow;
    narrow.reserve(entry.size());
    for (const QChar c : entry) {
        const char16_t u = c.unicode();
        if (u >= 0xFF01 && u <= 0xFF5E)
            narrow += QChar(u - 0xFF01 + 0x21);
        else if (u == 0x3000)
            narrow += u' ';
        else
            narrow += c;
    }
    narrow = narrow.trimmed();
    const QStringList pieces = narrow.split(u':');
    if (pieces.size() == 2)
        return (portPart ? pieces.at(0) : pieces.at(1)).trimmed();
    return narrow;
}

std::optional<AddressEntry> parseAddressEntry(const QString& entry,
                                              components::Textgauge& textgauge)
{
    const QStringList pieces = entry.trimmed().split(u':');
    if (pieces.size() != 2)
        return std::nullopt;
    QString portText = pieces.at(0).trimmed();
    const QString checked = textgauge.NumChk(portText, 3);
    if (checked == NumberCheckError)
        return std::nullopt;
    bool ok = false;
    const uint port = checked.toUInt(&ok);
    if (!ok || port > 0xFFFF)
        return std::nullopt;
    return AddressEntry{static_cast<quint16>(port), pieces.at(1)};
}

QString addressEntry(const QString& portText, const QString& ip)
{
    return portText + u':' + ip;
}

bool isAcceptedVersion(const QString& version)
{
    return version == u"1" || version.startsWith(u"1_");
}

std::optional<Fields> splitPacket(const QString& text)
{
    std::array<QString, 6> pieces;
    qsizetype from = 0;
    for (int i = 0; i < 5; ++i) {
        const qsizetype colon = text.indexOf(u':', from);
        if (colon < 0)
            return std::nullopt;
        pieces[i] = text.mid(from, colon - from);
        from = colon + 1;
    }
    pieces[5] = text.mid(from);
    if (!isAcceptedVersion(pieces[0]))
        return std::nullopt;
    return Fields{pieces[0], pieces[1], pieces[2], pieces[3], pieces[4], pieces[5]};
}

std::optional<Command> decodeCommand(const QString& commandField, components::Textgauge& textgauge)
{
    QString field = commandField;
    const QString number = textgauge.numnum(field);
    if (number == NumberCheckError)
        return std::nullopt;
    bool ok = false;
    const qint32 word = number.toInt(&ok);
    if (!ok)
        return std::nullopt; // does not fit a signed 32-bit integer
    const QString hex =
        QStringLiteral("00000000") + QString::number(static_cast<quint32>(word), 16).toUpper();
    return Command{hex.right(2), hex.mid(hex.size() - 8, 6)};
}

QString messageText(const QString& extra)
{
    QString text = extra;
    if (text.endsWith(QChar(0)))
        text.chop(1);
    text = ret_chg2(text);
    text.replace(QChar(0), u';');
    return text;
}

QString presenceExtra(const QString& nickname, const QString& group)
{
    return nickname + QChar(0) + group;
}

QString cleanName(const QString& name)
{
    QString out = name;
    out.replace(u':', u';');
    out.replace(u'\t', u' ');
    return out;
}

QByteArray toWire(const QString& text)
{
    const QString mapped = withCodePage932Forms(text);
    QStringEncoder encoder(CodePage932);
    QByteArray bytes = encoder.encode(mapped);
    if (!encoder.hasError())
        return bytes;
    // The converter substitutes its own two-byte code for what it cannot hold;
    // peers would show that as some other character, so encode per code point
    // and send "?" instead.
    bytes.clear();
    bytes.reserve(mapped.size() * 2);
    qsizetype i = 0;
    while (i < mapped.size()) {
        const qsizetype len = (mapped.at(i).isHighSurrogate() && i + 1 < mapped.size() &&
                               mapped.at(i + 1).isLowSurrogate())
                                  ? 2
                                  : 1;
        QStringEncoder one(CodePage932);
        const QByteArray piece = one.encode(QStringView(mapped).mid(i, len));
        bytes += one.hasError() ? QByteArray("?") : piece;
        i += len;
    }
    return bytes;
}

QString fromWire(const QByteArray& bytes)
{
    QStringDecoder decoder(CodePage932);
    if (!decoder.isValid())
        return QString::fromLatin1(bytes);
    return decoder.decode(bytes);
}

QStringList splitPieces(const QString& text, qsizetype maxPiece)
{
    QStringList pieces;
    if (maxPiece < 2)
        maxPiece = 2; // a surrogate pair must fit into one piece
    qsizetype from = 0;
    do {
        qsizetype len = std::min(maxPiece, text.size() - from);
        // Never end a piece between the halves of a surrogate pair: a lone half
        // cannot be encoded and the peer would see two broken characters.
        if (from + len < text.size() && text.at(from + len - 1).isHighSurrogate() &&
            text.at(from + len).isLowSurrogate())
            --len;
        pieces.append(text.mid(from, len));
        from += len;
    } while (from < text.size());
    return pieces;
}

qint64 wholeNumber(const QString& text)
{
    return settings::wholeNumber(text);
}

} // namespace velmar::ipmsg
