#include "convert/kanji_codes.h"
#include "convert/text_bytes.h"

#include <QRandomGenerator>
#include <gtest/gtest.h>

using namespace velmar::convert;
using namespace Qt::StringLiterals;

namespace {

QByteArray hex(const char* digits)
{
    return QByteArray::fromHex(digits);
}

QByteArray sjis(const QString& text)
{
    const TextBytes encoded = textToBytes(text, ByteForm::ShiftJis);
    EXPECT_TRUE(encoded.ok()) << text.toStdString();
    return encoded.bytes;
}

TEST(KanjiCodes, EscapeArraysHoldTheChosenBytesThenZeros)
{
    struct Case {
        bool kanjiIn;
        int choice;
        const char* bytes;
    };
    const Case cases[] = {
        {true, 1, "1b4b0000000000"}, {true, 2, "1b244200000000"}, {true, 3, "1b244000000000"},
        {true, 4, "1b242844000000"}, {true, 5, "1b26401b244200"}, {true, 0, "00000000000000"},
        {true, 6, "00000000000000"}, {false, 1, "1b284a00"},      {false, 2, "1b284800"},
        {false, 3, "1b284200"},      {false, 4, "00000000"},
    };
    for (const Case& c : cases) {
        const QByteArray array = c.kanjiIn ? kanjiInArray(c.choice) : kanjiOutArray(c.choice);
        EXPECT_EQ(array, hex(c.bytes)) << c.kanjiIn << " " << c.choice;
        EXPECT_EQ(escapeBytes(array),
                  c.kanjiIn ? kanjiInSequence(c.choice) : kanjiOutSequence(c.choice));
    }
}

TEST(KanjiCodes, ShiftJisToJisWritesRunsBetweenTheChosenEscapes)
{
    struct Case {
        QString text;
        int in;
        int out;
        const char* jis;
    };
    const Case cases[] = {
        {u"漢字"_s, 2, 3, "1b2442 3441 3b7a 1b2842"},
        {u"漢字"_s, 1, 1, "1b4b 3441 3b7a 1b284a"},
        {u"漢字"_s, 3, 2, "1b2440 3441 3b7a 1b2848"},
        {u"漢字"_s, 4, 3, "1b242844 3441 3b7a 1b2842"},
        {u"漢字"_s, 5, 3, "1b2640 1b2442 3441 3b7a 1b2842"},
        // Every line starts in single-byte mode.
        {u"a漢\r\n字b"_s, 2, 3, "61 1b2442 3441 1b2842 0d0a 1b2442 3b7a 1b2842 62"},
        {u"abc\r\n~\\"_s, 2, 3, "616263 0d0a 7e5c"},
        {QString(), 2, 3, ""},
        // NEC row 13 keeps its row.
        {u"①Ⅰ㈱"_s, 2, 3, "1b2442 2d21 2d35 2d6a 1b2842"},
        // Half-width kana become full width; marks join the kana before them.
        {u"ｶﾞﾊﾟｳﾞｱﾞｰ｡"_s, 2, 3, "1b2442 252c 2551 2574 2522 212b 213c 2123 1b2842"},
        {u"ﾞx"_s, 2, 3, "1b2442 212b 1b2842 78"},
    };
    for (const Case& c : cases) {
        const QByteArray jis =
            shiftJisToJis(sjis(c.text), kanjiInSequence(c.in), kanjiOutSequence(c.out));
        EXPECT_EQ(jis.toHex(), hex(c.jis).toHex()) << c.text.toStdString();
    }
}

TEST(KanjiCodes, ShiftJisBytesWithoutJisCodeOrCharacter)
{
    struct Case {
        const char* sjis;
        const char* jis; // with ESC $ B / ESC ( B
        qsizetype replaced;
    };
    const Case cases[] = {
        // IBM extension: kanji and non-kanji to their twins in the NEC rows.
        {"fa5c", "1b2442 7921 1b2842", 0}, // same as ED40
        {"fc4b", "1b2442 7c6e 1b2842", 0}, // same as EEEC
        {"fa40", "1b2442 7c71 1b2842", 0}, // small roman one, as EEEF
        {"fa4a", "1b2442 2d35 1b2842", 0}, // Ⅰ, as 8754
        {"fa58", "1b2442 2d6a 1b2842", 0}, // ㈱, as 878D
        {"fa54", "1b2442 224c 1b2842", 0}, // ￢, as 81CA
        // User-defined area and unassigned IBM codes have no JIS code.
        {"f040 41 f9fc", "1b2442 222e 1b2842 41 1b2442 222e 1b2842", 2},
        {"fc4c", "1b2442 222e 1b2842", 1},
        // Bytes that start no character are copied unchanged.
        {"81", "81", 0},
        {"8120", "8120", 0},
        {"80 a0 fd", "80a0fd", 0},
        {"1b2442", "1b2442", 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(shiftJisToJis(hex(c.sjis), "\x1B$B", "\x1B(B").toHex(), hex(c.jis).toHex())
            << c.sjis;
        EXPECT_EQ(countWithoutJisCode(hex(c.sjis)), c.replaced) << c.sjis;
    }
    // Every character of the IBM extension has a twin.
    QByteArray ibm;
    for (int s1 = 0xFA; s1 <= 0xFC; ++s1) {
        for (int s2 = 0x40; s2 <= 0xFC; ++s2) {
            const QByteArray code = QByteArray(1, char(s1)) + char(s2);
            if (s2 != 0x7F && decodeShiftJis(code))
                ibm += code;
        }
    }
    EXPECT_EQ(ibm.size(), 388 * 2);
    EXPECT_EQ(countWithoutJisCode(ibm), 0);
    // Missing sequences stand for ESC $ B and ESC ( B.
    EXPECT_EQ(shiftJisToJis(hex("8abf"), {}, {}), hex("1b2442 3441 1b2842"));
}

TEST(KanjiCodes, HalfWidthKanaBecomeTheirCompatibilityForms)
{
    // The full-width form of every half-width kana, alone and with each mark, is what
    // Unicode's compatibility normalisation gives.
    QStringList texts;
    for (char16_t kana = 0xFF61; kana <= 0xFF9F; ++kana) {
        texts << QString(QChar(kana));
        texts << QString(QChar(kana)) + QChar(0xFF9E);
        texts << QString(QChar(kana)) + QChar(0xFF9F);
    }
    for (const QString& text : texts) {
        const QByteArray back = jisToShiftJis(shiftJisToJis(sjis(text), {}, {}));
        QString expected = text.normalized(QString::NormalizationForm_KC);
        // Marks that join nothing (or make a kana JIS X 0208 lacks, such as ヷ) stay as
        // the spacing marks.
        if (!textToBytes(expected, ByteForm::ShiftJis).ok()) {
            expected = text.normalized(QString::NormalizationForm_KD);
            expected.replace(QChar(0x3099), QChar(0x309B)).replace(QChar(0x309A), QChar(0x309C));
        }
        EXPECT_EQ(decodeShiftJis(back).value_or(u"?"_s), expected)
            << QString::number(text.front().unicode(), 16).toStdString() << " " << text.size();
    }
}

TEST(KanjiCodes, JisToShiftJisRecognisesEscapesAndKeepsWhatItCannotRead)
{
    struct Case {
        const char* jis;
        const char* sjis;
    };
    const Case cases[] = {
        {"1b4b 3441 1b284a 41", "8abf 41"},
        {"1b2442 3441 1b2848 41", "8abf 41"},
        {"1b2440 3441 1b2842 41", "8abf 41"},
        {"1b242844 3441 1b2842", "8abf"},
        {"1b2640 1b2442 3441 1b2842", "8abf"},
        {"1b242842 3441 1b4842", "8abf 42"},
        {"1b2849 3136 5e 1b2842 31", "b1b6de 31"},
        // Malformed input passes unchanged: an unknown escape, a lone byte in two-byte
        // mode, a cut-off escape.
        {"1b2443 41", "1b2443 41"},
        {"1b2442 34 0d0a 1b2842", "34 0d0a"},
        {"1b2442 3441 34", "8abf 34"},
        {"41 1b", "41 1b"},
        {"1b24", "1b24"},
        // Shift_JIS already there stays, in any mode.
        {"8abf 1b2442 8abf 3441 1b2842", "8abf 8abf 8abf"},
        {"7e5c", "7e5c"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(jisToShiftJis(hex(c.jis)).toHex(), hex(c.sjis).toHex()) << c.jis;
}

// Valid two-byte Shift_JIS codes that have a JIS code: JIS X 0208 rows 1..8 and
// 16..84, NEC row 13 and the NEC-selected rows 89..92, as the code page assigns them.
QList<QByteArray> assignedCodes()
{
    QList<QByteArray> codes;
    auto addRow = [&codes](int row) {
        for (int cell = 1; cell <= 94; ++cell) {
            QByteArray jis("\x1B$B");
            jis.append(char(0x20 + row)).append(char(0x20 + cell));
            const QByteArray sjis = jisToShiftJis(jis);
            if (decodeShiftJis(sjis))
                codes << sjis;
        }
    };
    for (int row = 1; row <= 8; ++row)
        addRow(row);
    addRow(13);
    for (int row = 16; row <= 84; ++row)
        addRow(row);
    for (int row = 89; row <= 92; ++row)
        addRow(row);
    return codes;
}

TEST(KanjiCodes, RandomTextsSurviveBothRoundTrips)
{
    const QList<QByteArray> codes = assignedCodes();
    ASSERT_GT(codes.size(), 7000);
    const QList<QByteArray> singles{"a", "Z", "0", " ", "\r\n", "~", "\\", "\t"};
    QRandomGenerator random(12);
    for (int n = 0; n < 3000; ++n) {
        QByteArray text;
        const int length = int(random.bounded(1, 40));
        for (int i = 0; i < length; ++i) {
            text += random.bounded(3) == 0 ? singles[random.bounded(singles.size())]
                                           : codes[random.bounded(codes.size())];
        }
        const QByteArray jis = shiftJisToJis(text, kanjiInSequence(int(random.bounded(1, 6))),
                                             kanjiOutSequence(int(random.bounded(1, 4))));
        ASSERT_EQ(jisToShiftJis(jis), text) << text.toHex().toStdString();
        for (const char b : jis)
            ASSERT_LT(quint8(b), 0x80) << text.toHex().toStdString();
        const QByteArray iso = shiftJisToJis(text, "\x1B$B", "\x1B(B");
        ASSERT_EQ(jisToShiftJis(iso), text) << text.toHex().toStdString();
        // Back in ASCII at the end.
        ASSERT_LT(iso.lastIndexOf("\x1B$B"), iso.lastIndexOf("\x1B(B") + 1);
    }
}

} // namespace
