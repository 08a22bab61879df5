#include "common/text_bytes.h"
#include "support/japanese_corpus.h"
#include "text/bytes.h"
#include "text/file_codec.h"

#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>

namespace velmar::text {
namespace {

QByteArray sjis(const char* utf8)
{
    QByteArray out;
    // あい in Shift_JIS is 82 A0 82 A2; built from a table so the test does not
    // rely on the encoder it checks.
    const QString text = QString::fromUtf8(utf8);
    for (const QChar c : text) {
        if (c == u'あ')
            out += bytesOf({0x82, 0xA0});
        else if (c == u'い')
            out += bytesOf({0x82, 0xA2});
        else if (c == u'～')
            out += bytesOf({0x81, 0x60});
        else
            out += char(c.unicode());
    }
    return out;
}

struct DecodeCase {
    const char* name;
    QByteArray bytes;
    bool isText;
    QString text;
    TextEncoding encoding;
};

TEST(FileCodecTest, DecodesByContent)
{
    const QString ai = QString::fromUtf8("あい");
    const DecodeCase cases[] = {
        {"utf16le without mark", bytesOf({0x41, 0, 0x42, 0}), true, QStringLiteral("AB"),
         TextEncoding::Utf16Le},
        {"utf16le with mark, LF", bytesOf({0xFF, 0xFE, 0x42, 0x30, 0x0A, 0, 0x44, 0x30}), true,
         QString::fromUtf8("あ\r\nい"), TextEncoding::Utf16Le},
        {"utf16le japanese with CRLF, no mark", bytesOf({0x42, 0x30, 0x44, 0x30, 0x0D, 0, 0x0A, 0}),
         true, ai + QStringLiteral("\r\n"), TextEncoding::Utf16Le},
        {"utf16be with mark", bytesOf({0xFE, 0xFF, 0x30, 0x42, 0, 0x41}), true,
         QString::fromUtf8("あA"), TextEncoding::Utf16Be},
        {"utf8 LF", QByteArray("a\n\xE3\x81\x82\nb"), true, QString::fromUtf8("a\r\nあ\r\nb"),
         TextEncoding::Utf8},
        {"utf8 with mark, CR", QByteArray("\xEF\xBB\xBFx\ry\r"), true, QStringLiteral("x\r\ny\r\n"),
         TextEncoding::Utf8},
        {"utf8 CRLF stays", QByteArray("a\r\nb\r\n"), true, QStringLiteral("a\r\nb\r\n"),
         TextEncoding::Utf8},
        {"shift_jis LF", sjis("あ\nい～"), true, QString::fromUtf8("あ\r\nい～"),
         TextEncoding::ShiftJis},
        {"one ASCII byte", QByteArray("A"), true, QStringLiteral("A"), TextEncoding::Utf8},
        {"shift_jis with an end-of-file mark", sjis("あ") + '\x1A', true,
         QString::fromUtf8("あ\x1A"), TextEncoding::ShiftJis},
        {"short EUC-JP, not half-width kana", bytesOf({0xA4, 0xA2, 0xA4, 0xA4}), true, ai,
         TextEncoding::EucJp},
        {"EUC-JP LF", QByteArray("\xB4\xC1\xBB\xFA\na\n"), true, QString::fromUtf8("漢字\r\na\r\n"),
         TextEncoding::EucJp},
        {"half-width kana beside kanji stays Shift_JIS", bytesOf({0x8A, 0xBF, 0xB1}), true,
         QString::fromUtf8("漢ｱ"), TextEncoding::ShiftJis},
        {"ISO-2022-JP", QByteArray("a\x1b$B$\"$$\x1b(B\r\n"), true, QString::fromUtf8("aあい\r\n"),
         TextEncoding::Iso2022Jp},
        {"odd-length binary",
         bytesOf({0x41, 0x42, 0x43, 0x00, 0x80}),
         false,
         {},
         TextEncoding::ShiftJis},
        {"one byte that is no character", bytesOf({0x81}), false, {}, TextEncoding::ShiftJis},
        {"utf8 cut inside a character",
         QByteArray("abc\xE3\x81\x82\xE3\x81"),
         false,
         {},
         TextEncoding::ShiftJis},
        {"utf16 mark with odd length",
         bytesOf({0xFF, 0xFE, 0x41, 0x00, 0x42}),
         false,
         {},
         TextEncoding::ShiftJis},
        {"utf16 unpaired surrogate",
         bytesOf({0xFF, 0xFE, 0x00, 0xD8, 0x41, 0x00}),
         false,
         {},
         TextEncoding::ShiftJis},
        {"NUL bytes in otherwise ASCII",
         QByteArray("ab\0\0\0\0cd", 8),
         false,
         {},
         TextEncoding::ShiftJis},
        {"little-endian integers",
         bytesOf({0x01, 0, 0x02, 0, 0x03, 0}),
         false,
         {},
         TextEncoding::ShiftJis},
    };
    for (const DecodeCase& c : cases) {
        SCOPED_TRACE(c.name);
        const DecodedFile decoded = decodeFileBytes(c.bytes);
        EXPECT_EQ(decoded.isText, c.isText);
        if (c.isText) {
            EXPECT_EQ(decoded.text, c.text);
            EXPECT_EQ(decoded.encoding, c.encoding);
        }
    }
}

// Everyday Japanese lines in the four 8-bit encodings: EUC-JP is also valid Shift_JIS
// for many of them ("こんにちは"), so detection must weigh the evidence.
TEST(FileCodecTest, TellsJapaneseEncodingsApartOnRealText)
{
    const QStringList lines = velmar::testing::japaneseCorpus(600);
    struct Form {
        const char* name;
        TextEncoding encoding;
    };
    const Form forms[] = {{"UTF-8", TextEncoding::Utf8},
                          {"windows-31j", TextEncoding::ShiftJis},
                          {"EUC-JP", TextEncoding::EucJp},
                          {"ISO-2022-JP", TextEncoding::Iso2022Jp}};
    int long_ = 0;
    int longRight = 0;
    QStringList wrong;
    for (const Form& form : forms) {
        for (const QString& line : lines) {
            QStringEncoder encoder(form.name, QStringEncoder::Flag::Stateless);
            const QByteArray bytes = encoder.encode(line);
            ASSERT_FALSE(encoder.hasError()) << line.toStdString();
            bool ascii = true;
            for (const char b : bytes)
                ascii &= quint8(b) < 0x80 && b != 0x1B;
            if (ascii || bytes.size() < 20)
                continue;
            ++long_;
            const DecodedFile decoded = decodeFileBytes(bytes);
            if (decoded.isText && decoded.encoding == form.encoding && decoded.text == line)
                ++longRight;
            else
                wrong << QString::fromLatin1(form.name) + u' ' + line;
        }
    }
    EXPECT_GE(long_, 4 * 500);
    EXPECT_GE(longRight * 1000, long_ * 995) << wrong.join(u'\n').toStdString();
    std::printf("detection: %d of %d texts of 20 bytes or more right\n", longRight, long_);
}

// A short text valid in several encodings opens as the likely one and names the others,
// so the window can offer them; each reads back exactly.
TEST(FileCodecTest, AmbiguousShortTextOffersItsOtherReadings)
{
    const QByteArray euc("\xA4\xB3\xA4\xF3\xA4\xCB\xA4\xC1\xA4\xCF"); // こんにちは
    const DecodedFile decoded = decodeFileBytes(euc);
    ASSERT_TRUE(decoded.isText);
    EXPECT_EQ(decoded.encoding, TextEncoding::EucJp);
    EXPECT_EQ(decoded.text, QString::fromUtf8("こんにちは"));
    EXPECT_TRUE(decoded.readings.contains(TextEncoding::ShiftJis));
    EXPECT_TRUE(decoded.readings.contains(TextEncoding::EucJp));
    const std::optional<QString> asShiftJis = decodeFileBytesAs(euc, TextEncoding::ShiftJis);
    ASSERT_TRUE(asShiftJis);
    EXPECT_TRUE(asShiftJis->startsWith(QString::fromUtf8("､ｳ")));
    EXPECT_EQ(decodeFileBytesAs(euc, TextEncoding::Utf8), std::nullopt);
    EXPECT_EQ(decodeFileBytesAs("a\nb", TextEncoding::Utf8), QStringLiteral("a\r\nb"));
    EXPECT_TRUE(decodeFileBytes("plain ascii").readings.isEmpty());

    // Appending to an EUC-JP file of such phrases writes EUC-JP.
    const std::optional<FileFormat> format =
        sniffFileFormat(QByteArray("\xA4\xA2\xA4\xEA\xA4\xAC\xA4\xC8\xA4\xA6\r\n"), true);
    ASSERT_TRUE(format);
    EXPECT_EQ(format->encoding, TextEncoding::EucJp);
    EXPECT_EQ(bytesToAppend(QString::fromUtf8("こんにちは"), *format).bytes,
              euc + QByteArray("\r\n"));
}

TEST(FileCodecTest, EmptyFileIsAnEmptyText)
{
    const DecodedFile decoded = decodeFileBytes({});
    EXPECT_TRUE(decoded.isText);
    EXPECT_TRUE(decoded.text.isEmpty());
}

TEST(FileCodecTest, SniffsEncodingAndLineEnd)
{
    struct Case {
        const char* name;
        QByteArray head;
        bool complete;
        bool decided;
        std::optional<TextEncoding> encoding;
        LineEnd lineEnd;
        bool needsLineEndFirst;
    };
    constexpr auto None = std::nullopt;
    const Case cases[] = {
        {"empty", {}, true, true, None, LineEnd::CrLf, false},
        {"ascii LF: a Linux file", QByteArray("log line\nnext\n"), true, true, TextEncoding::Utf8,
         LineEnd::Lf, false},
        {"ascii CRLF", QByteArray("a\r\n"), true, true, None, LineEnd::CrLf, false},
        {"ascii without break", QByteArray("one line"), true, true, None, LineEnd::CrLf, true},
        {"utf8 LF", QByteArray("\xE3\x81\x82\n"), true, true, TextEncoding::Utf8, LineEnd::Lf,
         false},
        {"utf8 cut by the head", QByteArray("a\r\n\xE3\x81"), false, true, TextEncoding::Utf8,
         LineEnd::CrLf, false},
        {"shift_jis CRLF", sjis("あ\r\nい\r\n"), true, true, TextEncoding::ShiftJis, LineEnd::CrLf,
         false},
        {"shift_jis CR, last line open", sjis("あ\rい"), true, true, TextEncoding::ShiftJis,
         LineEnd::Cr, true},
        {"utf16le CRLF", bytesOf({0x41, 0, 0x0D, 0, 0x0A, 0}), true, true, TextEncoding::Utf16Le,
         LineEnd::CrLf, false},
        {"utf16le, last line open", bytesOf({0x41, 0, 0x0A, 0, 0x42, 0}), true, true,
         TextEncoding::Utf16Le, LineEnd::Lf, true},
        {"EUC-JP", QByteArray("\xA4\xA2\n"), true, true, TextEncoding::EucJp, LineEnd::Lf, false},
        {"ISO-2022-JP", QByteArray("\x1b$B$\"\x1b(B\r\n"), true, true, TextEncoding::Iso2022Jp,
         LineEnd::CrLf, false},
        {"NUL run in a UTF-8 log", QByteArray("one\n\0\0\0\0\0two\xC3\xA9\n", 15), true, true,
         TextEncoding::Utf8, LineEnd::Lf, false},
        {"terminal log with BEL", QByteArray("$ make\n\a done\n"), true, true, TextEncoding::Utf8,
         LineEnd::Lf, false},
        {"binary", bytesOf({0x00, 0x01, 0xFF, 0x80, 0x00}), true, false, None, LineEnd::CrLf,
         false},
        {"utf16le of odd length", bytesOf({0x41, 0, 0x0D, 0, 0x0A, 0, 0x42}), true, false, None,
         LineEnd::CrLf, false},
        {"utf16be without mark", bytesOf({0, 0x41, 0, 0x0D, 0, 0x0A, 0, 0x42}), true, false, None,
         LineEnd::CrLf, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<FileFormat> format = sniffFileFormat(c.head, c.complete);
        ASSERT_EQ(format.has_value(), c.decided);
        if (!format)
            continue;
        EXPECT_EQ(format->encoding, c.encoding);
        EXPECT_EQ(format->lineEnd, c.lineEnd);
        EXPECT_EQ(format->needsLineEndFirst, c.needsLineEndFirst);
    }
}

TEST(FileCodecTest, AppendBytesFollowTheFileAndEndEveryLine)
{
    struct Case {
        const char* name;
        QString text;
        FileFormat format;
        QByteArray bytes;
        TextEncoding encoding;
    };
    const QString aB = QStringLiteral("a\r\nb");
    const Case cases[] = {
        {"new file: Shift_JIS CRLF", aB, {}, QByteArray("a\r\nb\r\n"), TextEncoding::ShiftJis},
        {"text ending in a break gains an empty line",
         QStringLiteral("a\r\n"),
         {},
         QByteArray("a\r\n\r\n"),
         TextEncoding::ShiftJis},
        {"lone CR and LF become line ends",
         QStringLiteral("a\rb\nc"),
         {},
         QByteArray("a\r\nb\r\nc\r\n"),
         TextEncoding::ShiftJis},
        {"new file, japanese",
         QString::fromUtf8("あ～"),
         {},
         sjis("あ～\r\n"),
         TextEncoding::ShiftJis},
        {"new file, text Shift_JIS lacks: UTF-8",
         QString::fromUtf8("〜𠮷"),
         {},
         QByteArray("\xE3\x80\x9C\xF0\xA0\xAE\xB7\r\n"),
         TextEncoding::Utf8},
        {"UTF-8 LF file",
         QString::fromUtf8("あ\r\nb"),
         {TextEncoding::Utf8, LineEnd::Lf},
         QByteArray("\xE3\x81\x82\nb\n"),
         TextEncoding::Utf8},
        {"Shift_JIS CR file",
         aB,
         {TextEncoding::ShiftJis, LineEnd::Cr},
         QByteArray("a\rb\r"),
         TextEncoding::ShiftJis},
        {"UTF-16LE file",
         QStringLiteral("A"),
         {TextEncoding::Utf16Le, LineEnd::CrLf},
         bytesOf({0x41, 0, 0x0D, 0, 0x0A, 0}),
         TextEncoding::Utf16Le},
        {"UTF-16BE file",
         QStringLiteral("A"),
         {TextEncoding::Utf16Be, LineEnd::Lf},
         bytesOf({0, 0x41, 0, 0x0A}),
         TextEncoding::Utf16Be},
        {"file without a final line end",
         QStringLiteral("b"),
         {TextEncoding::ShiftJis, LineEnd::CrLf, true},
         QByteArray("\r\nb\r\n"),
         TextEncoding::ShiftJis},
        {"EUC-JP file",
         QString::fromUtf8("あ〜"),
         {TextEncoding::EucJp, LineEnd::Lf},
         QByteArray("\xA4\xA2\xA1\xC1\n"),
         TextEncoding::EucJp},
        {"ISO-2022-JP file",
         QString::fromUtf8("aあ～"),
         {TextEncoding::Iso2022Jp, LineEnd::CrLf},
         QByteArray("a\x1b$B$\"!A\x1b(B\r\n"),
         TextEncoding::Iso2022Jp},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const AppendBytes out = bytesToAppend(c.text, c.format);
        EXPECT_TRUE(out.unfit.isEmpty());
        EXPECT_EQ(out.bytes.toHex(' '), c.bytes.toHex(' '));
        EXPECT_EQ(out.encoding, c.encoding);
    }
}

TEST(FileCodecTest, TwinsTakeTheCodePageFormInShiftJis)
{
    struct Case {
        const char* character;
        QByteArray bytes;
    };
    const Case cases[] = {
        {"〜", bytesOf({0x81, 0x60})}, {"−", bytesOf({0x81, 0x7C})}, {"‖", bytesOf({0x81, 0x61})},
        {"—", bytesOf({0x81, 0x5C})},  {"¢", bytesOf({0x81, 0x91})}, {"£", bytesOf({0x81, 0x92})},
        {"¬", bytesOf({0x81, 0xCA})},  {"¥", bytesOf({0x81, 0x8F})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.character);
        const AppendBytes out =
            bytesToAppend(QString::fromUtf8(c.character), {TextEncoding::ShiftJis, LineEnd::Lf});
        EXPECT_TRUE(out.unfit.isEmpty());
        EXPECT_EQ(out.bytes.toHex(' '), QByteArray(c.bytes + '\n').toHex(' '));
    }
}

TEST(FileCodecTest, ShiftJisFileRefusesOnlyWhatHasNoForm)
{
    const QString text = QString::fromUtf8("a〜b𠮷−😀𠮷");
    const AppendBytes out = bytesToAppend(text, {TextEncoding::ShiftJis, LineEnd::CrLf});
    EXPECT_TRUE(out.bytes.isEmpty());
    EXPECT_EQ(out.unfit, (QStringList{QString::fromUtf8("𠮷"), QString::fromUtf8("😀")}));
    EXPECT_EQ(describeCharacter(out.unfit.at(0)), QString::fromUtf8("𠮷 (U+20BB7)"));

    // ISO-2022-JP lacks the control characters it switches with.
    const AppendBytes jis =
        bytesToAppend(QStringLiteral("a\x1b$B"), {TextEncoding::Iso2022Jp, LineEnd::CrLf});
    EXPECT_TRUE(jis.bytes.isEmpty());
    ASSERT_EQ(jis.unfit, QStringList{QStringLiteral("\x1b")});
    EXPECT_EQ(describeCharacter(jis.unfit.at(0)), QStringLiteral("U+001B"));
}

TEST(FileCodecTest, AppendToFileReportsFailuresAndKeepsTheFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("log.txt"));
    ASSERT_TRUE(appendToFile(path, "one\r\n").ok);
    ASSERT_TRUE(appendToFile(path, "two\r\n").ok);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("one\r\ntwo\r\n"));

    const QString notADirectory = path + QStringLiteral("/inner.txt");
    const WriteResult underFile = appendToFile(notADirectory, "x");
    EXPECT_FALSE(underFile.ok);
    EXPECT_FALSE(underFile.error.isEmpty());

    const WriteResult full = appendToFile(QStringLiteral("/dev/full"), "x");
    EXPECT_FALSE(full.ok);
    EXPECT_EQ(full.error, QString::fromLocal8Bit(std::strerror(ENOSPC)));
}

TEST(FileCodecTest, ReadsRefuseWhatTheyCannotTake)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("data.bin"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(100, 'x'));
    file.close();

    EXPECT_EQ(readWholeFile(path, 100).status, ReadResult::Status::Ok);
    EXPECT_EQ(readWholeFile(path, 99).status, ReadResult::Status::TooLarge);
    EXPECT_EQ(readWholeFile(dir.filePath(QStringLiteral("gone")), 100).status,
              ReadResult::Status::Missing);
}

// The head is kept small here; the program reads 1 MiB of it.
TEST(FileCodecTest, ExistingFileIsToldBeyondAnAsciiHead)
{
    struct Case {
        const char* name;
        QByteArray bytes;
        FileSniff::Status status;
        std::optional<TextEncoding> encoding;
        LineEnd lineEnd;
        bool needsLineEndFirst;
    };
    const QByteArray asciiHead = QByteArray("log\n").repeated(16);
    const Case cases[] = {
        {"Shift_JIS after a long ASCII head", asciiHead + sjis("あい\n"), FileSniff::Status::Ok,
         TextEncoding::ShiftJis, LineEnd::Lf, false},
        {"UTF-8 after a long ASCII head, last line open", asciiHead + "\xE3\x81\x82",
         FileSniff::Status::Ok, TextEncoding::Utf8, LineEnd::Lf, true},
        {"ASCII throughout", asciiHead + "end", FileSniff::Status::Ok, TextEncoding::Utf8,
         LineEnd::Lf, true},
        {"binary after a long ASCII head", asciiHead + bytesOf({0xFF, 0xFF, 0x80}),
         FileSniff::Status::Undecidable, std::nullopt, LineEnd::CrLf, false},
    };
    QTemporaryDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath(QString::fromLatin1(c.name));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(c.bytes);
        file.close();
        const FileSniff sniffed = sniffExistingFile(path, 16);
        ASSERT_EQ(sniffed.status, c.status);
        if (sniffed.status != FileSniff::Status::Ok)
            continue;
        EXPECT_EQ(sniffed.format.encoding, c.encoding);
        EXPECT_EQ(sniffed.format.lineEnd, c.lineEnd);
        EXPECT_EQ(sniffed.format.needsLineEndFirst, c.needsLineEndFirst);
    }
}

} // namespace
} // namespace velmar::text
