#pragma once

// The packet format of the messaging protocol: building, accepting and decoding
// datagrams, the wire encoding and the address entries. Plain functions, no state.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <array>
#include <limits>
#include <optional>

namespace velmar::components {
class Textgauge;
}

namespace velmar::ipmsg {

// Command words the program sends (decimal on the wire).
namespace cmd {
inline constexpr quint32 BrEntry = 0x1;
inline constexpr quint32 BrExit = 0x2;
inline constexpr quint32 AnsEntry = 0x3;
inline constexpr quint32 AbsenceOpt = 0x100;    // option of entries sent while absent
inline constexpr quint32 SendMsg = 0x120;       // message asking for a receipt
inline constexpr quint32 SecretOpts = 0x100200; // sealed + read notice wanted
inline constexpr quint32 PasswordOpt = 0x8000;  // locked (only with SecretOpts)
inline constexpr quint32 AbsenceReply = 0x2020; // message + auto-answer flag
inline constexpr quint32 RecvMsg = 0x21;        // receipt
inline constexpr quint32 ReadMsg = 0x30;        // read notice
inline constexpr quint32 DelMsg = 0x31;         // discard notice
inline constexpr quint32 AnsReadMsg = 0x2032;   // answer to read/discard, auto-answer flag
inline constexpr quint32 SendInfo = 0x41;       // version answer
inline constexpr quint32 GetInfo = 0x240;       // version query
// The text of this packet is UTF-8.
inline constexpr quint32 Utf8Option = 0x00800000;
// The sender reads UTF-8 (in entries and entry answers).
inline constexpr quint32 Utf8Capability = 0x01000000;
} // namespace cmd

// Option numbers (counted from 1) tested with hexBitIsSet on the option field.
namespace opt {
inline constexpr int Absence = 1;
inline constexpr int Secret = 2;
inline constexpr int Broadcast = 3;
inline constexpr int Multicast = 4;
inline constexpr int AutoRet = 6;
inline constexpr int Password = 8;
inline constexpr int NoAddList = 12;
inline constexpr int ReadCheck = 13;
} // namespace opt

// The six fields of an accepted packet.
struct Fields {
    QString version;
    QString packetNo;
    QString user;
    QString host;
    QString command;
    QString extra;
};

// The command field decoded: two upper-case hex digits of command and six of options.
struct Command {
    QString command; // "00".."FF"
    QString options; // six hex digits, bits 8-31 of the word
    bool has(int option) const;
    bool isPresence() const; // "00" to "04"
};

// Header: version, packet number, "Wait", the local host name, each followed by ":".
QString packetHeader(int protocolVersion, const QString& packetNo, const QString& hostName);
// Before sending: every CR LF becomes LF.
QString lineBreaksForWire(const QString& text);
// After receiving: every line end (CR LF, a lone CR or a lone LF) becomes one CR LF.
QString lineBreaksFromWire(const QString& text);
// Splits an address entry "port:address" (narrowed, trimmed): the port piece when
// `portPart` is true, the address piece otherwise; the whole entry when it is not
// made of exactly two pieces.
QString addressEntryPart(const QString& entry, bool portPart);

// An address entry cut into its port (checked with NumChk) and its address piece.
struct AddressEntry {
    quint16 port = 0;
    QString address;
};
// Trimmed and cut at ":"; nullopt unless there are exactly two pieces and the
// port piece passes NumChk(piece, 3).
std::optional<AddressEntry> parseAddressEntry(const QString& entry,
                                              components::Textgauge& textgauge);
// "port:ip", the form of the destination list and of the status line.
QString addressEntry(const QString& portText, const QString& ip);

// A datagram's version field is accepted when it is "1", or "1_" followed by
// anything (current clients announce their own version after the underscore).
bool isAcceptedVersion(const QString& version);
// Cuts the text at the first five ":" and accepts it when it gives exactly six
// fields with an accepted version.
std::optional<Fields> splitPacket(const QString& text);
std::optional<Fields> splitPacket(QString&& text);
// numnum check, signed 32-bit conversion, hex with the "00000000" prefix. A
// command field that fails the check or does not fit 32 bits gives nullopt.
std::optional<Command> decodeCommand(const QString& commandField, components::Textgauge& textgauge);

// The text a message's extra shows as: one trailing NUL removed, LF to CR LF,
// any other NUL shown as ";".
QString messageText(const QString& extra);
// Nickname, NUL, group: the extra of entry, entry answer and exit packets.
QString presenceExtra(const QString& nickname, const QString& group);
// Every ":" becomes ";" and every TAB a blank (names shown in the peer list).
QString cleanName(const QString& name);

// Shift_JIS (code page 932) on the wire. Characters that the code page cannot
// hold go out as "?"; undecodable bytes arrive as a replacement character.
QByteArray toWire(const QString& text);
QString fromWire(QByteArrayView bytes);

enum class WireEncoding { ShiftJis, Utf8 };
QByteArray encodeText(const QString& text, WireEncoding encoding);
QString decodeText(QByteArrayView bytes, WireEncoding encoding);

// How a datagram is read: UTF-8 when it carries the UTF-8 option, when its sender
// advertised UTF-8 (`senderReadsUtf8`), or when a sender that is not one of ours
// (version other than "1") sends valid UTF-8 holding a multi-byte character;
// Shift_JIS otherwise.
WireEncoding datagramEncoding(const QByteArray& datagram, bool senderReadsUtf8);
// The same with the command word already read by rawCommandWord.
WireEncoding datagramEncoding(const QByteArray& datagram, quint32 commandWord,
                              bool senderReadsUtf8);
// The command word of a raw datagram (0 when it has none).
quint32 rawCommandWord(const QByteArray& datagram);

// The UTF-8 names that follow "\0\n" after the Shift_JIS fields of an entry.
struct Utf8Names {
    QString user;
    QString host;
    QString nickname;
    QString group;
};
std::optional<Utf8Names> utf8Names(QByteArrayView datagram);

// A datagram read once: everything the receive path needs from its bytes.
struct ReceivedPacket {
    Fields fields; // for presence packets with UTF-8 names the extra ends before them
    Command command;
    WireEncoding encoding = WireEncoding::ShiftJis;
    // Presence packets only: the sender reads UTF-8 (the capability bit, a UTF-8 packet,
    // or "utf-8" named in the extra), and the UTF-8 names after the Shift_JIS fields.
    bool readsUtf8 = false;
    std::optional<Utf8Names> names;
};
// Accepts and reads a datagram in one pass over its bytes: the five ":" that end the
// header fields, the command word, the encoding (see datagramEncoding), the text of
// each field and, for presence packets, the UTF-8 names. nullopt when it is not six
// fields with an accepted version and a command that decodes.
std::optional<ReceivedPacket> parseDatagram(const QByteArray& datagram, bool senderReadsUtf8,
                                            components::Textgauge& textgauge);

// Our own: "\0\n" then UN:, HN:, NN:, GN: lines, in UTF-8.
QByteArray utf8NamesTail(const Utf8Names& names);

// Longest piece for a peer that is not one of ours, in encoded bytes, header included.
inline constexpr qsizetype MaxPieceBytes = 8192;
// The largest UDP payload over IPv4: what our own peers read whole.
inline constexpr qsizetype MaxDatagramBytes = 65507;
// Cuts `text` into pieces whose encoding is at most `maxBytes` and whose length is at
// most `maxUnits` code units; never splits a character or a CR LF.
QStringList splitPiecesByBytes(const QString& text, qsizetype maxBytes, WireEncoding encoding,
                               qsizetype maxUnits = std::numeric_limits<qsizetype>::max());

// Longest piece a message carries; the text is cut into pieces of at most this
// many code units, never between the two halves of a surrogate pair.
inline constexpr qsizetype MaxPiece = 30000;
QStringList splitPieces(const QString& text, qsizetype maxPiece = MaxPiece);

// The whole-number part of a stored number ("6", " 6 ", "6.9" give 6); 0 when the
// text does not start with a number.
qint64 wholeNumber(const QString& text);

} // namespace velmar::ipmsg
