#include "components/converters.h"
#include "components/registry.h"
#include "convert/kanji_codes.h"

#include <gtest/gtest.h>

using namespace velmar::components;
using namespace Qt::StringLiterals;

namespace {

TEST(Converters, RegisteredUnderTheirNames)
{
    const ComponentRegistry registry = ComponentRegistry::withBuiltins();
    std::unique_ptr<KanjiPipe> pipe;
    std::unique_ptr<Radixer> radixer;
    std::unique_ptr<Escaper> escaper;
    EXPECT_TRUE(CreateComponent(registry, pipe, u"KanjiPipe.FilterAtl.1"));
    EXPECT_TRUE(CreateComponent(registry, radixer, u"Radixer.Base64Func"));
    EXPECT_TRUE(CreateComponent(registry, escaper, u"Escaper.HexCoding"));
}

TEST(Converters, KanjiPipeMembers)
{
    KanjiPipeImpl pipe;
    QByteArray sjis("\x8A\xBF\x8E\x9A"); // 漢字
    QByteArray in = velmar::convert::kanjiInArray(2);
    QByteArray out = velmar::convert::kanjiOutArray(3);
    QByteArray jis = pipe.sjis2jis(sjis, in, out, u"0"_s);
    EXPECT_EQ(jis, QByteArray("\x1B$B4A;z\x1B(B"));
    EXPECT_EQ(pipe.sjis2jis(jis, in, out, u"1"_s), sjis);
    EXPECT_EQ(pipe.sjis2jis(sjis, in, out, u"2"_s), QByteArray());
    QByteArray zeros(7, '\0');
    QByteArray zeroOut(4, '\0');
    EXPECT_EQ(pipe.sjis2jis(sjis, zeros, zeroOut, u"0"_s), QByteArray("\x1B$B4A;z\x1B(B"));

    QString text = u"漢\r\n😀a"_s;
    const QByteArray iso = pipe.FromSJIS(text, u"j"_s);
    EXPECT_EQ(iso, QByteArray("\x1B$B4A\x1B(B\r\n\x1B$B\".\x1B(B"
                              "a"));
    EXPECT_EQ(pipe.FromSJIS(text, u"x"_s), QByteArray());
    QByteArray isoBytes = iso;
    EXPECT_EQ(pipe.toSJIS(isoBytes), u"漢\r\n〓a"_s);
    // Row 85 is empty, and 0x80 is no character.
    QByteArray emptyCell("\x1B$B4Au!\x1B(B\x80");
    EXPECT_EQ(pipe.toSJIS(emptyCell), u"漢〓〓"_s);
}

TEST(Converters, ErrorStateFollowsTheLastCall)
{
    RadixerImpl radixer;
    QString bad = u"Zm9v!"_s;
    QString good = u"Zm9v"_s;
    EXPECT_EQ(radixer.deBase64Bin(bad), QByteArray());
    EXPECT_EQ(radixer.IsError(), -1);
    EXPECT_EQ(radixer.deBase64Bin(good), QByteArray("foo"));
    EXPECT_EQ(radixer.IsError(), 0);

    EscaperImpl escaper;
    QString badHex = u"ABC"_s;
    escaper.DecodeBin(badHex);
    EXPECT_EQ(escaper.IsError(), -1);
    QByteArray bytes("a");
    escaper.EncodeBin(bytes);
    EXPECT_EQ(escaper.IsError(), 0);
}

TEST(Converters, EscaperModes)
{
    struct Case {
        bool urlSetup;
        QString addChar;
        QByteArray bytes;
        QString encoded;
    };
    const Case cases[] = {
        {false, {}, "a b~", u"6120627E"_s},
        {true, u"%"_s, "a b~\xE6", u"a%20b~%E6"_s},
        {true, u"="_s, "a=b", u"a=3Db"_s},
        {true, u""_s, "a b", u"a%20b"_s},
    };
    for (const Case& c : cases) {
        EscaperImpl escaper;
        if (c.urlSetup) {
            escaper.SetAddChar(c.addChar);
            escaper.SetNonChangeChar(escaper.GetChar() + u"="_s);
            escaper.SetMode(u"1"_s);
        }
        QByteArray bytes = c.bytes;
        const QString encoded = escaper.EncodeBin(bytes);
        EXPECT_EQ(encoded, c.encoded);
        QString text = encoded;
        EXPECT_EQ(escaper.DecodeBin(text), c.bytes);
    }

    EscaperImpl escaper;
    QString hex = QString(34, u'A');
    EXPECT_EQ(escaper.PlasticHexData(hex).count(u"\r\n"_s), 1);
    qint32 width = 5;
    EXPECT_EQ(escaper.PlasticHexData(hex, &width).count(u"\r\n"_s), 8);
}

} // namespace
