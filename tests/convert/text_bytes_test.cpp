#include "common/code_page.h"
#include "common/text_bytes.h"
#include "convert/text_bytes.h"

#include <gtest/gtest.h>

using namespace velmar::convert;
using velmar::describeCharacter;
using namespace Qt::StringLiterals;

namespace {

TEST(TextBytes, ByteFormsOfAText)
{
    struct Case {
        QString text;
        ByteForm form;
        QByteArray bytes;
        QStringList unfit;
    };
    const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80");
    const Case cases[] = {
        {u"abc"_s, ByteForm::ShiftJis, "abc", {}},
        {u"abc"_s, ByteForm::Utf16Le, QByteArray("a\0b\0c\0", 6), {}},
        {u"abc"_s, ByteForm::Utf8, "abc", {}},
        {u"日本\r\n"_s, ByteForm::ShiftJis, "\x93\xFA\x96\x7B\r\n", {}},
        {u"日本"_s, ByteForm::Utf8, "\xE6\x97\xA5\xE6\x9C\xAC", {}},
        {u"a"_s + emoji + u"한"_s + emoji, ByteForm::ShiftJis, {}, {emoji, u"한"_s}},
        // Not the backslash of a best-fit mapping: the code page's own yen sign.
        {u"¥"_s, ByteForm::ShiftJis, "\x81\x8F", {}},
        {u"x"_s + QChar(0xD800), ByteForm::Utf8, {}, {QString(QChar(0xD800))}},
        {QString(QChar(0xD800)), ByteForm::Utf16Le, QByteArray("\x00\xD8", 2), {}},
    };
    for (const Case& c : cases) {
        const TextBytes result = textToBytes(c.text, c.form);
        EXPECT_EQ(result.bytes, c.bytes) << c.text.toStdString();
        EXPECT_EQ(result.unfit, c.unfit) << c.text.toStdString();
    }
    EXPECT_EQ(shiftJisWithGeta(u"a"_s + emoji + u"本"_s), QByteArray("a\x81\xAC\x96\x7B"));
    EXPECT_EQ(describeCharacter(emoji), emoji + u" (U+1F600)"_s);
    EXPECT_EQ(describeCharacter(QString(QChar(0xD800))), u"U+D800"_s);
}

// Linux input methods and the web write these in their JIS forms; code page 932
// holds them under other code points. Every Shift_JIS encoder takes them.
TEST(TextBytes, CodePage932TwinsEncodeToTheirCodePageBytes)
{
    struct Case {
        char16_t jisForm;
        QByteArray bytes;
    };
    const Case cases[] = {
        {0x301C, "\x81\x60"}, // 〜 WAVE DASH
        {0x2016, "\x81\x61"}, // ‖ DOUBLE VERTICAL LINE
        {0x2212, "\x81\x7C"}, // − MINUS SIGN
        {0x2014, "\x81\x5C"}, // — EM DASH
        {0x00A2, "\x81\x91"}, // ¢
        {0x00A3, "\x81\x92"}, // £
        {0x00AC, "\x81\xCA"}, // ¬
        {0x00A5, "\x81\x8F"}, // ¥
    };
    for (const Case& c : cases) {
        const QString text = u"a"_s + QChar(c.jisForm);
        const TextBytes encoded = textToBytes(text, ByteForm::ShiftJis);
        EXPECT_EQ(encoded.bytes, "a" + c.bytes) << int(c.jisForm);
        EXPECT_TRUE(encoded.ok()) << int(c.jisForm);
        EXPECT_EQ(shiftJisWithGeta(text), "a" + c.bytes) << int(c.jisForm);
        EXPECT_EQ(
            textToBytes(QString(QChar(velmar::codePage932Form(c.jisForm))), ByteForm::ShiftJis)
                .bytes,
            c.bytes);
    }
}

// Code page 932 keeps the control codes where ASCII has them; the converter behind it
// exchanges three of them, which the program puts back both ways.
TEST(TextBytes, ControlCodesKeepTheirBytes)
{
    const QString controls = u"\x1A\x1C\x7F"_s;
    EXPECT_EQ(textToBytes(controls, ByteForm::ShiftJis).bytes, QByteArray("\x1A\x1C\x7F"));
    EXPECT_EQ(shiftJisWithGeta(controls + u"😀"_s), QByteArray("\x1A\x1C\x7F\x81\xAC"));
    EXPECT_EQ(decodeShiftJis("\x1A\x1C\x7F"), controls);
}

TEST(TextBytes, DecodedBytesFollowTheEvidenceThenTheCurrentForm)
{
    struct Case {
        QByteArray bytes;
        ByteForm form;
        std::optional<QString> text;
    };
    const ByteForm all[] = {ByteForm::Utf8, ByteForm::ShiftJis, ByteForm::Utf16Le};
    // All ASCII is ASCII, whatever the form: a URL taken apart, not CJK.
    for (const ByteForm form : all) {
        EXPECT_EQ(textFromDecodedBytes("https://example.com/", form), u"https://example.com/"_s);
        EXPECT_EQ(textFromDecodedBytes("\xE6\x97\xA5\xE6\x9C\xAC x", form), u"日本 x"_s)
            << "percent-encoded UTF-8 of a web address";
        EXPECT_EQ(textFromDecodedBytes("\xFF\xFE,g", form), u"本"_s) << "UTF-16LE with its mark";
        EXPECT_EQ(textFromDecodedBytes("\x80", form), std::nullopt);
        EXPECT_EQ(textFromDecodedBytes("", form), u""_s);
    }
    const Case cases[] = {
        // Shift_JIS of an old CGI query string.
        {"\x93\xFA\x96\x7B\x8C\xEA", ByteForm::Utf8, u"日本語"_s},
        {"\x93\xFA\x96\x7B\x8C\xEA", ByteForm::ShiftJis, u"日本語"_s},
        {QByteArray("a\0b\0c\0", 6), ByteForm::Utf8, u"abc"_s},
        {QByteArray("a\0b\0c\0", 6), ByteForm::ShiftJis, u"abc"_s},
        // 日本 in UTF-16LE reads as Shift_JIS too: the encoder marks it.
        {QByteArray("\xE5\x65\x2C\x67", 4), ByteForm::Utf16Le, u"\u8630,g"_s},
        {QByteArray("\xFF\xFE\xE5\x65\x2C\x67", 6), ByteForm::Utf16Le, u"日本"_s},
        // Both readings valid: the current form wins.
        {"\xC3\xA9", ByteForm::Utf8, u"é"_s},
        {"\x82\xA0", ByteForm::ShiftJis, u"あ"_s},
    };
    for (const Case& c : cases)
        EXPECT_EQ(textFromDecodedBytes(c.bytes, c.form), c.text) << c.bytes.toHex().toStdString();
}

// Every JIS X 0208 character (each valid two-byte code of rows 1-84), mixed with ASCII,
// line breaks and (where the form holds them) supplementary characters: encoding then
// decoding gives the text back in every form.
TEST(TextBytes, EncodeThenDecodeRestoresEveryText)
{
    QStringList jis;
    for (int lead = 0x81; lead <= 0xEA; ++lead) {
        if (lead > 0x9F && lead < 0xE0)
            continue;
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            if (trail == 0x7F)
                continue;
            const char pair[] = {char(lead), char(trail)};
            if (const auto c = decodeShiftJis(QByteArrayView(pair, 2)))
                jis << *c;
        }
    }
    ASSERT_GT(jis.size(), 6800);
    const QString supplementary = u"𠮷😀"_s;
    const QString extras[] = {u"a"_s, u"\r\n"_s, u" "_s, u"Z9"_s, u"%"_s};
    quint32 seed = 12345;
    const auto next = [&seed] { return seed = seed * 1103515245u + 12345u; };
    for (const ByteForm form : {ByteForm::Utf8, ByteForm::ShiftJis, ByteForm::Utf16Le}) {
        qsizetype checked = 0;
        const auto roundTrips = [&](const QString& t) {
            const TextBytes encoded = encoderBytes(t, form);
            ++checked;
            return encoded.ok() && textFromDecodedBytes(encoded.bytes, form) == t;
        };
        // Every character alone, and in texts of up to a dozen of them.
        for (const QString& c : std::as_const(jis))
            ASSERT_TRUE(roundTrips(c)) << c.toStdString() << " " << int(form);
        for (qsizetype i = 0; i < jis.size();) {
            QString text;
            const qsizetype end = std::min(jis.size(), i + 1 + qsizetype((next() >> 16) % 12));
            for (; i < end; ++i) {
                text += jis[i];
                const quint32 r = next() >> 16;
                if (r % 3 == 0)
                    text += extras[r % 5];
                if (form != ByteForm::ShiftJis && r % 17 == 0)
                    text += supplementary;
            }
            ASSERT_TRUE(roundTrips(text)) << text.toStdString() << " " << int(form);
        }
        EXPECT_GT(checked, jis.size());
    }
}

} // namespace
