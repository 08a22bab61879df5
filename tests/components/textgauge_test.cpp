#include "components/textgauge.h"

#include <gtest/gtest.h>

using velmar::components::TextgaugeImpl;

namespace {

QString numChk(const QString& input)
{
    TextgaugeImpl gauge;
    QString text = input;
    return gauge.NumChk(text, 3);
}

QString numnum(const QString& input)
{
    TextgaugeImpl gauge;
    QString text = input;
    return gauge.numnum(text);
}

TEST(Textgauge, NumChkAcceptsPortNumbersOnly)
{
    EXPECT_EQ(numChk(QStringLiteral("2425")), u"2425");
    EXPECT_EQ(numChk(QStringLiteral(" \t2425\u3000")), u"2425");
    EXPECT_EQ(numChk(QStringLiteral("２４２５")), u"2425");
    EXPECT_EQ(numChk(QStringLiteral("0")), u"0");
    EXPECT_EQ(numChk(QStringLiteral("00080")), u"80");
    EXPECT_EQ(numChk(QStringLiteral("65535")), u"65535");
    for (const char* bad : {"65536", "-1", "", " ", "24 25", "2425a", "0x10", "1e3", "+5",
                            "99999999999999999999", "2425.0"})
        EXPECT_EQ(numChk(QString::fromUtf8(bad)), u"error") << bad;
}

TEST(Textgauge, NumnumAcceptsSignedDecimalText)
{
    EXPECT_EQ(numnum(QStringLiteral("288")), u"288");
    EXPECT_EQ(numnum(QStringLiteral("-5")), u"-5");
    EXPECT_EQ(numnum(QStringLiteral("0007")), u"7");
    EXPECT_EQ(numnum(QStringLiteral("-0")), u"0");
    EXPECT_EQ(numnum(QStringLiteral("99999999999")), u"99999999999");
    for (const char* bad : {"", "-", "1.5", "abc", "1 2", "0x20", "--1"})
        EXPECT_EQ(numnum(QString::fromUtf8(bad)), u"error") << bad;
}

TEST(Textgauge, PasGeneGivesGrowingNumbersThatFitInt32)
{
    TextgaugeImpl gauge;
    qint64 previous = 0;
    for (int i = 0; i < 1000; ++i) {
        bool ok = false;
        const qint64 value = gauge.PasGene(9, 9, 1, 0, 0, 0, 1).toLongLong(&ok);
        ASSERT_TRUE(ok);
        ASSERT_GT(value, previous);
        ASSERT_LE(value, std::numeric_limits<qint32>::max());
        previous = value;
    }
}

TEST(Textgauge, ResAddTextMarksEveryLine)
{
    TextgaugeImpl gauge;
    const QString crlf = QStringLiteral("\r\n");
    const QString mark = QStringLiteral(">");
    const struct {
        const char16_t* in;
        const char16_t* out;
    } cases[] = {
        {u"a\r\nb", u">a\r\n>b"},
        {u"a\r\nb\r\n", u">a\r\n>b\r\n"},
        {u"a\r\n\r\nb", u">a\r\n>\r\n>b"},
        {u"", u""},
        {u"\r\n", u">\r\n"},
        {u"a\nb", u">a\nb"},
    };
    for (const auto& c : cases) {
        QString text = QString::fromUtf16(c.in);
        EXPECT_EQ(gauge.ResAddText(text, crlf, mark), QString::fromUtf16(c.out));
    }
    QString text = QStringLiteral("x\r\ny");
    EXPECT_EQ(gauge.ResAddText(text, crlf, QStringLiteral("| ")), u"| x\r\n| y");
}

TEST(Textgauge, TRimTextRemovesBlanksAtBothEndsOfEveryLine)
{
    TextgaugeImpl gauge;
    QString text = QStringLiteral("  a b \t\r\n\u3000\u3000全角\u3000\r\n\r\n   \r\nx");
    EXPECT_EQ(gauge.TRimText(text, QStringLiteral("\r\n")),
              QStringLiteral("a b\r\n全角\r\n\r\n\r\nx"));
    QString keepsOthers = QStringLiteral("\u00a0a\u00a0");
    EXPECT_EQ(gauge.TRimText(keepsOthers, QStringLiteral("\r\n")), keepsOthers);
}

} // namespace
