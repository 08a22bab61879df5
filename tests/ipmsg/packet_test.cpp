#include "components/textgauge.h"
#include "ipmsg/packet.h"

#include <gtest/gtest.h>

using namespace velmar::ipmsg;

namespace {

QString u8(const char* s)
{
    return QString::fromUtf8(s);
}

TEST(Packet, CutsAtTheFirstFiveColonsOnly)
{
    const auto fields = splitPacket(u8("1:482:Wait:PC01:288:a:b::c"));
    ASSERT_TRUE(fields);
    EXPECT_EQ(fields->packetNo, u"482");
    EXPECT_EQ(fields->user, u"Wait");
    EXPECT_EQ(fields->host, u"PC01");
    EXPECT_EQ(fields->command, u"288");
    EXPECT_EQ(fields->extra, u"a:b::c");

    const auto empty = splitPacket(u8("1:482:Wait:PC01:2:"));
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->extra, u"");
    EXPECT_FALSE(splitPacket(u8("1:482:Wait:PC01:2")));
    EXPECT_FALSE(splitPacket(u8("")));
}

TEST(Packet, AcceptsVersionOneAndVersionOneWithClientSuffix)
{
    struct Case {
        const char* version;
        bool accepted;
    } cases[] = {{"1", true},    {"1_iptux 0.8.3", true},
                 {"1_", true},   {"01", false},
                 {"1.0", false}, {"2", false},
                 {"", false},    {" 1", false},
                 {"1 ", false},  {"11", false},
                 {"_1", false}};
    for (const Case& c : cases) {
        const QString packet = u8(c.version) + u8(":1:u:h:0:");
        EXPECT_EQ(splitPacket(packet).has_value(), c.accepted) << c.version;
    }
}

TEST(Packet, DecodesTheCommandWord)
{
    velmar::components::TextgaugeImpl gauge;
    struct Case {
        const char* field;
        const char* command;
        const char* options;
    } cases[] = {
        {"1049376", "20", "001003"},
        {"8224", "20", "000020"},
        {"1", "01", "000000"},
        {"1082144", "20", "001083"},
        {"-1", "FF", "FFFFFF"},
        {" 33 ", "21", "000000"},
        {"0", "00", "000000"},
        {"２８８", "20", "000001"},
        {"0000000000000000000033", "21", "000000"},
        {"2147483647", "FF", "7FFFFF"},
    };
    for (const Case& c : cases) {
        const auto decoded = decodeCommand(u8(c.field), gauge);
        ASSERT_TRUE(decoded) << c.field;
        EXPECT_EQ(decoded->command, u8(c.command)) << c.field;
        EXPECT_EQ(decoded->options, u8(c.options)) << c.field;
    }
    for (const char* bad : {"", "abc", "0x20", "1.5", "4294967296", "2147483648", "02147483648",
                            "99999999999999999999x", "-2147483649"})
        EXPECT_FALSE(decodeCommand(u8(bad), gauge)) << bad;

    const auto sealed = decodeCommand(u8("1049376"), gauge);
    for (int n = 1; n <= 24; ++n)
        EXPECT_EQ(sealed->has(n), n == 1 || n == 2 || n == 13) << n;
    const auto absence = decodeCommand(u8("8224"), gauge);
    for (int n = 1; n <= 24; ++n)
        EXPECT_EQ(absence->has(n), n == 6) << n;
}

TEST(Packet, ADatagramIsReadOnceIntoOneValue)
{
    velmar::components::TextgaugeImpl gauge;
    const QByteArray nul(1, '\0');
    const QString n(QChar(0));
    const QByteArray names = QByteArray("\0\nUN:yamada\nHN:pc\nNN:", 21) + u8("山田").toUtf8() +
                             "\nGN:" + u8("営業").toUtf8() + "\n";
    const struct {
        const char* what;
        QByteArray datagram;
        bool senderReadsUtf8;
        bool accepted;
        QString user;
        QString command;
        QString extra;
        WireEncoding encoding;
        bool readsUtf8;
        QString nickname; // the UTF-8 name, empty when none
    } cases[] = {
        {"Shift_JIS message",
         "1:5:" + toWire(u8("山田")) + ":pc:288:" + toWire(u8("本文:続き")),
         false,
         true,
         u8("山田"),
         u8("20"),
         u8("本文:続き"),
         WireEncoding::ShiftJis,
         false,
         {}},
        {"UTF-8 option",
         "1_x:5:u:pc:8388896:" + u8("本文").toUtf8(),
         false,
         true,
         u8("u"),
         u8("20"),
         u8("本文"),
         WireEncoding::Utf8,
         false,
         {}},
        {"a sender known to read UTF-8",
         "1_x:5:u:pc:288:" + u8("本文").toUtf8(),
         true,
         true,
         u8("u"),
         u8("20"),
         u8("本文"),
         WireEncoding::Utf8,
         false,
         {}},
        {"entry with UTF-8 names after the Shift_JIS ones",
         "1:5:u:pc:16777217:" + toWire(u8("山田")) + nul + toWire(u8("営業")) + names, false, true,
         u8("u"), u8("01"), u8("山田") + n + u8("営業"), WireEncoding::ShiftJis, true, u8("山田")},
        {"entry naming UTF-8 in its extra",
         "1_x:5:u:pc:3:name" + nul + "group" + nul + "UTF-8",
         false,
         true,
         u8("u"),
         u8("03"),
         u8("name") + n + u8("group") + n + u8("UTF-8"),
         WireEncoding::ShiftJis,
         true,
         {}},
        {"a message keeps what follows a NUL and a newline",
         "1:5:u:pc:288:a" + nul + "\nGN:x",
         false,
         true,
         u8("u"),
         u8("20"),
         u8("a") + n + u8("\nGN:x"),
         WireEncoding::ShiftJis,
         false,
         {}},
        {"a broken character cannot swallow the separator",
         "1:5:u:pc\x81:288:abc",
         false,
         true,
         u8("u"),
         u8("20"),
         u8("abc"),
         WireEncoding::ShiftJis,
         false,
         {}},
        {"version 2",
         "2:5:u:pc:288:abc",
         false,
         false,
         {},
         {},
         {},
         WireEncoding::ShiftJis,
         false,
         {}},
        {"five fields",
         "1:5:u:pc:288",
         false,
         false,
         {},
         {},
         {},
         WireEncoding::ShiftJis,
         false,
         {}},
        {"a command that is no number",
         "1:5:u:pc:abc:x",
         false,
         false,
         {},
         {},
         {},
         WireEncoding::ShiftJis,
         false,
         {}},
    };
    for (const auto& c : cases) {
        const auto packet = parseDatagram(c.datagram, c.senderReadsUtf8, gauge);
        ASSERT_EQ(packet.has_value(), c.accepted) << c.what;
        if (!packet)
            continue;
        EXPECT_EQ(packet->fields.packetNo, u"5") << c.what;
        EXPECT_EQ(packet->fields.user, c.user) << c.what;
        EXPECT_EQ(packet->command.command, c.command) << c.what;
        EXPECT_EQ(packet->fields.extra, c.extra) << c.what;
        EXPECT_EQ(packet->encoding, c.encoding) << c.what;
        EXPECT_EQ(packet->readsUtf8, c.readsUtf8) << c.what;
        EXPECT_EQ(packet->names ? packet->names->nickname : QString(), c.nickname) << c.what;
    }
}

TEST(Packet, MessageTextDropsOneTrailingNulAndShowsOthersAsSemicolons)
{
    const QChar nul(0);
    EXPECT_EQ(messageText(u8("abc") + nul), u"abc");
    EXPECT_EQ(messageText(u8("abc") + nul + u8("def")), u"abc;def");
    EXPECT_EQ(messageText(u8("abc") + nul + u8("def") + nul), u"abc;def");
    EXPECT_EQ(messageText(u8("abc") + nul + nul), u"abc;");
    EXPECT_EQ(messageText(u8("a\nb\r\nc")), u"a\r\nb\r\nc");
    EXPECT_EQ(messageText(QString()), u"");
}

TEST(Packet, LineBreakConversions)
{
    EXPECT_EQ(lineBreaksForWire(u8("a\r\nb\r\n")), u"a\nb\n");
    EXPECT_EQ(lineBreaksForWire(u8("a\rb\n")), u"a\rb\n");
    // Every line end as received becomes one CR LF.
    const struct {
        const char* wire;
        const char* shown;
    } received[] = {{"a\nb", "a\r\nb"},         {"a\r\nb", "a\r\nb"},     {"a\rb", "a\r\nb"},
                    {"a\r\r\nb", "a\r\n\r\nb"}, {"a\n\r\n", "a\r\n\r\n"}, {"\r", "\r\n"}};
    for (const auto& c : received)
        EXPECT_EQ(lineBreaksFromWire(u8(c.wire)), u8(c.shown)) << c.wire;
}

TEST(Packet, HeaderAndAddressEntries)
{
    EXPECT_EQ(packetHeader(1, u8("482"), u8("PC01")), u"1:482:Wait:PC01:");
    EXPECT_EQ(addressEntryPart(u8(" 2425 : 10.0.0.255 "), true), u"2425");
    EXPECT_EQ(addressEntryPart(u8(" 2425 : 10.0.0.255 "), false), u"10.0.0.255");
    EXPECT_EQ(addressEntryPart(u8("２４２５：１０．０．０．２５５"), true), u"2425");
    EXPECT_EQ(addressEntryPart(u8(" 10.0.0.255 "), true), u"10.0.0.255");
    EXPECT_EQ(addressEntryPart(u8("1:2:3"), false), u"1:2:3");

    velmar::components::TextgaugeImpl gauge;
    const auto ok = parseAddressEntry(u8(" 2426: 10.0.0.255 "), gauge);
    ASSERT_TRUE(ok);
    EXPECT_EQ(ok->port, 2426);
    EXPECT_EQ(ok->address, u" 10.0.0.255") << "the address piece is used as it stands";
    for (const char* bad : {"10.0.0.1", "x:10.0.0.1", "70000:10.0.0.1", "1:2:3", ""})
        EXPECT_FALSE(parseAddressEntry(u8(bad), gauge)) << bad;
}

TEST(Packet, ShiftJisOnTheWire)
{
    EXPECT_EQ(toWire(u8("あ表\\~ｱ①")), QByteArray("\x82\xa0\x95\x5c\x5c\x7e\xb1\x87\x40"));
    // What Linux input methods type for the wave dash and friends goes out as the
    // code page's own characters.
    EXPECT_EQ(toWire(u8("〜−‖")), QByteArray("\x81\x60\x81\x7c\x81\x61"));
    EXPECT_EQ(toWire(u8("a😀b")), QByteArray("a?b"));
    EXPECT_EQ(fromWire(QByteArray("\x82\xa0\x95\x5c")), u"あ表");
    const QString broken = fromWire(QByteArray("\x82\xff"
                                               "abc\x81",
                                               6));
    EXPECT_TRUE(broken.endsWith(u"abc") || broken.contains(u"abc"));
    EXPECT_FALSE(broken.isEmpty());
}

TEST(Packet, PiecesOfAtMost30000UnitsNeverSplittingASurrogatePair)
{
    const auto sizes = [](const QStringList& pieces) {
        std::vector<qsizetype> out;
        for (const QString& p : pieces)
            out.push_back(p.size());
        return out;
    };
    EXPECT_EQ(sizes(splitPieces(QString(30000, u'a'))), (std::vector<qsizetype>{30000}));
    EXPECT_EQ(sizes(splitPieces(QString(30001, u'a'))), (std::vector<qsizetype>{30000, 1}));
    EXPECT_EQ(sizes(splitPieces(QString(70000, u'a'))),
              (std::vector<qsizetype>{30000, 30000, 10000}));
    EXPECT_EQ(sizes(splitPieces(QString())), (std::vector<qsizetype>{0}));

    const QString emoji = u8("😀");
    const QString text = QString(29999, u'a') + emoji + u8("b");
    const QStringList pieces = splitPieces(text);
    ASSERT_EQ(sizes(pieces), (std::vector<qsizetype>{29999, 3}));
    EXPECT_EQ(pieces.at(1), emoji + u8("b"));
    EXPECT_EQ(pieces.join(QString()), text);
}

TEST(Packet, WholeNumberPart)
{
    EXPECT_EQ(wholeNumber(u8("6")), 6);
    EXPECT_EQ(wholeNumber(u8(" 6.9 ")), 6);
    EXPECT_EQ(wholeNumber(u8("-1")), -1);
    EXPECT_EQ(wholeNumber(u8("abc")), 0);
    EXPECT_EQ(wholeNumber(QString()), 0);
}

} // namespace
