#include "convert/encoders.h"

#include <gtest/gtest.h>
#include <limits>

using namespace velmar::convert;
using namespace Qt::StringLiterals;

namespace {

TEST(Encoders, Base64EncodesInMimeLines)
{
    struct Case {
        QByteArray bytes;
        QString text;
    };
    const Case cases[] = {
        {"", u""_s},
        {"f", u"Zg=="_s},
        {"fo", u"Zm8="_s},
        {"foo", u"Zm9v"_s},
        {"foobar", u"Zm9vYmFy"_s},
        {QByteArray::fromHex("fbff"), u"+/8="_s},
        // 57 bytes fill exactly one line of 76; one more starts a second line.
        {QByteArray(57, 'a'), QString(19, u'Y').replace(u"Y"_s, u"YWFh"_s)},
        {QByteArray(58, 'a'), QString(19, u'Y').replace(u"Y"_s, u"YWFh"_s) + u"\r\nYQ=="_s},
    };
    for (const Case& c : cases)
        EXPECT_EQ(base64Encode(c.bytes), c.text) << c.bytes.toHex().toStdString();
}

TEST(Encoders, Base64DecodeIsLenientAboutLayoutOnly)
{
    struct Case {
        QString text;
        std::optional<QByteArray> bytes;
    };
    const Case cases[] = {
        {u"Zm9vYmFy"_s, QByteArray("foobar")},
        {u"Zm9v\r\nYmE=\r\n"_s, QByteArray("fooba")},
        {u" Zm 9v\tYg== "_s, QByteArray("foob")},
        {u"Zm9vYg"_s, QByteArray("foob")},
        {u"-_8="_s, QByteArray::fromHex("fbff")},
        {u"+/8"_s, QByteArray::fromHex("fbff")},
        {u""_s, QByteArray()},
        {u"Zm9v!"_s, std::nullopt},
        {u"Zg==Zg=="_s, std::nullopt},
        {u"Zm9vY"_s, std::nullopt},
        {u"Zg="_s, std::nullopt},
        {u"===="_s, std::nullopt},
        {u"Zm9vあ"_s, std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(base64Decode(c.text), c.bytes) << c.text.toStdString();
}

TEST(Encoders, PercentEncodingKeepsTheUnreservedSet)
{
    const QByteArray all = [] {
        QByteArray bytes;
        for (int b = 0; b < 256; ++b)
            bytes.append(char(b));
        return bytes;
    }();
    const QString encoded = percentEncode(all, unreservedCharacters());
    for (int b = 0; b < 256; ++b) {
        const QChar c = QChar(char16_t(b));
        const bool kept = (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') ||
                          (c >= u'0' && c <= u'9') || u"-._~"_s.contains(c);
        const QString form = kept ? QString(c) : u"%"_s + QString::asprintf("%02X", b);
        EXPECT_TRUE(encoded.contains(form)) << b;
    }
    EXPECT_EQ(percentDecode(encoded), all);
    EXPECT_EQ(percentEncode("a b+/", unreservedCharacters(), u'='), u"a=20b=2B=2F"_s);
}

TEST(Encoders, PercentDecoding)
{
    struct Case {
        QString text;
        std::optional<QByteArray> bytes;
    };
    const Case cases[] = {
        {u"%E6%97%A5%E6%9C%AC"_s, QByteArray("\xE6\x97\xA5\xE6\x9C\xAC")},
        {u"a+b%2fc"_s, QByteArray("a+b/c")},
        {u"日%20"_s, QByteArray("\xE6\x97\xA5 ")},
        {u"%"_s, std::nullopt},
        {u"%4"_s, std::nullopt},
        {u"%4G"_s, std::nullopt},
        {u"ab%"_s, std::nullopt},
        {QString(QChar(0xD800)), std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(percentDecode(c.text), c.bytes) << c.text.toStdString();
}

TEST(Encoders, HexCodingAndLayout)
{
    EXPECT_EQ(hexEncode(QByteArray::fromHex("00ff7a")), u"00FF7A"_s);

    struct Decode {
        QString text;
        std::optional<QByteArray> bytes;
    };
    const Decode decodes[] = {
        {u"00FF7a"_s, QByteArray::fromHex("00ff7a")},
        {u" 0 0\r\nF\nF 7A\r\n"_s, QByteArray::fromHex("00ff7a")},
        {u""_s, QByteArray()},
        {u"ABC"_s, std::nullopt},
        {u"0G"_s, std::nullopt},
        {u"00-FF"_s, std::nullopt},
    };
    for (const Decode& c : decodes)
        EXPECT_EQ(hexDecode(c.text), c.bytes) << c.text.toStdString();

    const QString sixteen = u"00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F"_s;
    struct Layout {
        QString hex;
        qint64 width;
        QString text;
    };
    const Layout layouts[] = {
        {QString(sixteen).remove(u' '), 49, sixteen},
        {QString(sixteen).remove(u' ') + u"10"_s, 49, sixteen + u"\r\n10"_s},
        {u"0001 0203\r\n04"_s, 8, u"00 01 02\r\n03 04"_s},
        {u"000102"_s, 1, u"00\r\n01\r\n02"_s},
        {u"000102"_s, 0, u"00\r\n01\r\n02"_s},
        {u"000102"_s, std::numeric_limits<qint32>::max(), u"00 01 02"_s},
        {u"00010"_s, 49, u"00 01 0"_s},
        {u""_s, 49, u""_s},
    };
    for (const Layout& c : layouts)
        EXPECT_EQ(layoutHex(c.hex, c.width), c.text) << c.hex.toStdString() << " " << c.width;
}

} // namespace
