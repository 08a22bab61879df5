#include "ipmsg/packet.h"

#include "common/code_page.h"
#include "common/list_helpers.h"
#include "common/text_bytes.h"
#include "components/components.h"
#include "platform/line_breaks.h"
#include "settings/typed_setting.h"

#include <QHash>
#include <QStringDecoder>
#include <QStringEncoder>
#include <limits>

namespace velmar::ipmsg {

bool Command::has(int option) const
{
    return hexBitIsSet(options, option);
}

bool Command::isPresence() const
{
    return command.size() == 2 && command.at(0) == u'0' && command.at(1) >= u'0' &&
           command.at(1) <= u'4';
}

QString packetHeader(int protocolVersion, const QString& packetNo, const QString& hostName)
{
    return QString::number(protocolVersion) + u':' + packetNo + u":Wait:" + hostName + u':';
}

QString lineBreaksForWire(const QString& text)
{
    return platform::crlfToLf(text);
}

QString lineBreaksFromWire(const QString& text)
{
    QString out;
    out.reserve(text.size() + text.size() / 16);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'\r') {
            if (i + 1 < text.size() && text.at(i + 1) == u'\n')
                ++i;
            out += QStringLiteral("\r\n");
        } else if (c == u'\n') {
            out += QStringLiteral("\r\n");
        } else {
            out += c;
        }
    }
    return out;
}

QString addressEntryPart(const QString& entry, bool portPart)
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
    return splitPacket(QString(text));
}

std::optional<Fields> splitPacket(QString&& text)
{
    std::array<QString, 5> pieces;
    qsizetype from = 0;
    for (int i = 0; i < 5; ++i) {
        const qsizetype colon = text.indexOf(u':', from);
        if (colon < 0)
            return std::nullopt;
        pieces[i] = text.mid(from, colon - from);
        from = colon + 1;
    }
    if (!isAcceptedVersion(pieces[0]))
        return std::nullopt;
    // The extra is most of the datagram: the text itself becomes it, without a copy
    // when nobody else holds it.
    text.remove(0, from);
    return Fields{std::move(pieces[0]), std::move(pieces[1]), std::move(pieces[2]),
                  std::move(pieces[3]), std::move(pieces[4]), std::move(text)};
}

std::optional<Command> decodeCommand(const QString& commandField, components::Textgauge& textgauge)
{
    // Plain ASCII digits, what every client sends, are read here; numnum would only
    // drop their leading zeros. Anything else (blanks, a sign, wide digits) goes
    // through the component.
    qint64 plain = 0;
    bool isPlain = !commandField.isEmpty();
    for (const QChar c : commandField) {
        if (c < u'0' || c > u'9') {
            isPlain = false;
            break;
        }
        plain = plain * 10 + (c.unicode() - u'0');
        if (plain > std::numeric_limits<qint32>::max())
            return std::nullopt; // does not fit a signed 32-bit integer, nor a number
    }
    qint32 word = static_cast<qint32>(plain);
    if (!isPlain) {
        QString field = commandField;
        const QString number = textgauge.numnum(field);
        if (number == NumberCheckError)
            return std::nullopt;
        bool ok = false;
        word = number.toInt(&ok);
        if (!ok)
            return std::nullopt; // does not fit a signed 32-bit integer
    }
    // Eight upper-case hex digits, written straight into the two fields: this runs
    // for every datagram, and the string arithmetic it replaces allocated six times.
    static constexpr char16_t digits[] = u"0123456789ABCDEF";
    char16_t hex[8];
    auto bits = static_cast<quint32>(word);
    for (int i = 7; i >= 0; --i, bits >>= 4)
        hex[i] = digits[bits & 0xF];
    return Command{QString(reinterpret_cast<const QChar*>(hex + 6), 2),
                   QString(reinterpret_cast<const QChar*>(hex), 6)};
}

QString messageText(const QString& extra)
{
    QString text = extra;
    if (text.endsWith(QChar(0)))
        text.chop(1);
    text = lineBreaksFromWire(text);
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
    // As for decoding: one converter per thread, reset for each text.
    thread_local QStringEncoder encoder(CodePage932);
    encoder.resetState();
    QByteArray bytes = encoder.encode(mapped);
    if (!encoder.hasError()) {
        restoreControlBytes(bytes);
        return bytes;
    }
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
    restoreControlBytes(bytes);
    return bytes;
}

QString fromWire(QByteArrayView bytes)
{
    // Opening the converter costs more than decoding a presence datagram; one per
    // thread is kept and reset for each datagram.
    thread_local QStringDecoder decoder(CodePage932);
    if (!decoder.isValid())
        return QString::fromLatin1(bytes);
    decoder.resetState();
    QString text = decoder.decode(bytes);
    restoreControlCharacters(text);
    return text;
}

QByteArray encodeText(const QString& text, WireEncoding encoding)
{
    return encoding == WireEncoding::Utf8 ? text.toUtf8() : toWire(text);
}

QString decodeText(QByteArrayView bytes, WireEncoding encoding)
{
    return encoding == WireEncoding::Utf8 ? QString::fromUtf8(bytes) : fromWire(bytes);
}

namespace {

bool isUtf8WithMultiByte(const QByteArray& bytes)
{
    bool multiByte = false;
    for (const char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            multiByte = true;
            break;
        }
    }
    if (!multiByte)
        return false;
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString decoded = decoder.decode(bytes);
    return !decoder.hasError() && !decoded.isEmpty();
}

} // namespace

namespace {

quint32 commandWordOf(QByteArrayView field)
{
    bool ok = false;
    const qint64 word = field.trimmed().toLongLong(&ok, 0);
    return ok ? static_cast<quint32>(word) : 0;
}

// A field's text: plain ASCII (most header fields) needs no converter.
QString decodeField(QByteArrayView bytes, WireEncoding encoding)
{
    bool ascii = true;
    for (const char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            ascii = false;
            break;
        }
    }
    if (ascii)
        return QString::fromLatin1(bytes);
    return decodeText(bytes, encoding);
}

// "utf-8" in any case anywhere in the extra (other clients list the encodings they
// read there). Found by its "-8", rare in names, rather than by a case-insensitive
// comparison at every position: this runs for every presence datagram.
bool mentionsUtf8(QStringView extra)
{
    for (qsizetype at = extra.indexOf(u"-8"); at >= 0; at = extra.indexOf(u"-8", at + 1)) {
        if (at >= 3 && extra.sliced(at - 3, 3).compare(u"utf", Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

} // namespace

std::optional<ReceivedPacket> parseDatagram(const QByteArray& datagram, bool senderReadsUtf8,
                                            components::Textgauge& textgauge)
{
    // ":" is never part of a multi-byte character in Shift_JIS or UTF-8, so the fields
    // are cut on the bytes, and each is decoded on its own.
    std::array<qsizetype, 5> colons{};
    qsizetype from = 0;
    for (qsizetype& colon : colons) {
        colon = datagram.indexOf(':', from);
        if (colon < 0)
            return std::nullopt;
        from = colon + 1;
    }
    const QByteArrayView bytes(datagram);
    const auto field = [&](int i) {
        const qsizetype begin = i == 0 ? 0 : colons[i - 1] + 1;
        return bytes.sliced(begin, colons[i] - begin);
    };
    const quint32 word = commandWordOf(field(4));
    ReceivedPacket packet;
    packet.encoding = datagramEncoding(datagram, word, senderReadsUtf8);
    Fields& fields = packet.fields;
    fields.version = decodeField(field(0), packet.encoding);
    if (!isAcceptedVersion(fields.version))
        return std::nullopt;
    fields.command = decodeField(field(4), packet.encoding);
    auto command = decodeCommand(fields.command, textgauge);
    if (!command)
        return std::nullopt;
    packet.command = std::move(*command);
    fields.packetNo = decodeField(field(1), packet.encoding);
    fields.user = decodeField(field(2), packet.encoding);
    fields.host = decodeField(field(3), packet.encoding);
    QByteArrayView extra = bytes.sliced(colons[4] + 1);
    if (packet.command.isPresence()) {
        packet.names = utf8Names(extra);
        if (packet.names) {
            // The Shift_JIS fields end where the UTF-8 ones begin.
            const qsizetype cut = extra.indexOf(QByteArrayView("\0\n", 2));
            if (cut >= 0)
                extra.truncate(cut);
        }
    }
    fields.extra = decodeText(extra, packet.encoding);
    if (packet.command.isPresence())
        packet.readsUtf8 = (word & cmd::Utf8Capability) != 0 ||
                           packet.encoding == WireEncoding::Utf8 || mentionsUtf8(fields.extra);
    return packet;
}

quint32 rawCommandWord(const QByteArray& datagram)
{
    qsizetype from = 0;
    for (int i = 0; i < 4; ++i) {
        from = datagram.indexOf(':', from);
        if (from < 0)
            return 0;
        ++from;
    }
    const qsizetype end = datagram.indexOf(':', from);
    if (end < 0)
        return 0;
    return commandWordOf(QByteArrayView(datagram).sliced(from, end - from));
}

WireEncoding datagramEncoding(const QByteArray& datagram, bool senderReadsUtf8)
{
    return datagramEncoding(datagram, rawCommandWord(datagram), senderReadsUtf8);
}

WireEncoding datagramEncoding(const QByteArray& datagram, quint32 commandWord, bool senderReadsUtf8)
{
    if ((commandWord & cmd::Utf8Option) != 0 || senderReadsUtf8)
        return WireEncoding::Utf8;
    if (datagram.startsWith("1:"))
        return WireEncoding::ShiftJis;
    return isUtf8WithMultiByte(datagram) ? WireEncoding::Utf8 : WireEncoding::ShiftJis;
}

std::optional<Utf8Names> utf8Names(QByteArrayView datagram)
{
    // A NUL is in every entry (between nickname and group); "\0\n" is looked for
    // only where one is.
    qsizetype at = datagram.indexOf('\0');
    while (at >= 0 && (at + 1 >= datagram.size() || datagram.at(at + 1) != '\n'))
        at = datagram.indexOf('\0', at + 1);
    if (at < 0)
        return std::nullopt;
    Utf8Names names;
    bool any = false;
    const QList<QByteArray> lines = datagram.sliced(at + 2).toByteArray().split('\n');
    for (const QByteArray& line : lines) {
        QByteArray value = line.mid(3);
        if (value.endsWith('\0'))
            value.chop(1);
        QString* target = line.startsWith("UN:")   ? &names.user
                          : line.startsWith("HN:") ? &names.host
                          : line.startsWith("NN:") ? &names.nickname
                          : line.startsWith("GN:") ? &names.group
                                                   : nullptr;
        if (target) {
            *target = QString::fromUtf8(value);
            any = true;
        }
    }
    return any ? std::optional(names) : std::nullopt;
}

QByteArray utf8NamesTail(const Utf8Names& names)
{
    return QByteArray("\0\n", 2) + "UN:" + names.user.toUtf8() + "\nHN:" + names.host.toUtf8() +
           "\nNN:" + names.nickname.toUtf8() + "\nGN:" + names.group.toUtf8() + '\n';
}

QStringList splitPiecesByBytes(const QString& text, qsizetype maxBytes, WireEncoding encoding,
                               qsizetype maxUnits)
{
    QStringList pieces;
    QHash<QStringView, qsizetype> shiftJisSizes;
    maxBytes = std::max<qsizetype>(maxBytes, 8); // room for any one character and a CR LF
    qsizetype from = 0;
    qsizetype bytes = 0;
    qsizetype i = 0;
    while (i < text.size()) {
        qsizetype len = 1;
        if (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            len = 2;
        else if (text.at(i) == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n')
            len = 2;
        const QStringView unit = QStringView(text).mid(i, len);
        const char16_t first = unit.at(0).unicode();
        qsizetype size = len;
        if (first >= 0x80) {
            if (encoding == WireEncoding::ShiftJis) {
                // As the sender writes it; each distinct character measured once.
                auto known = shiftJisSizes.constFind(unit);
                if (known == shiftJisSizes.constEnd())
                    known = shiftJisSizes.insert(unit, codePage932WithGeta(unit).size());
                size = *known;
            } else
                size = len == 2 ? 4 : (first < 0x800 ? 2 : 3);
        }
        if ((bytes + size > maxBytes || i + len - from > maxUnits) && i > from) {
            pieces.append(text.mid(from, i - from));
            from = i;
            bytes = 0;
        }
        bytes += size;
        i += len;
    }
    pieces.append(text.mid(from));
    return pieces;
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
