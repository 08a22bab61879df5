#include "text/bytes.h"
#include "text/file_codec.h"

#include <QFile>
#include <QTemporaryDir>
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
        std::optional<TextEncoding> encoding;
        LineEnd lineEnd;
    };
    const Case cases[] = {
        {"empty", {}, true, std::nullopt, LineEnd::CrLf},
        {"ascii LF: a Linux file", QByteArray("log line\nnext\n"), true, TextEncoding::Utf8,
         LineEnd::Lf},
        {"ascii CRLF", QByteArray("a\r\n"), true, std::nullopt, LineEnd::CrLf},
        {"ascii without break", QByteArray("one line"), true, std::nullopt, LineEnd::CrLf},
        {"utf8 LF", QByteArray("\xE3\x81\x82\n"), true, TextEncoding::Utf8, LineEnd::Lf},
        {"utf8 cut by the head", QByteArray("a\r\n\xE3\x81"), false, TextEncoding::Utf8,
         LineEnd::CrLf},
        {"shift_jis CRLF", sjis("あ\r\nい\r\n"), true, TextEncoding::ShiftJis, LineEnd::CrLf},
        {"shift_jis CR", sjis("あ\rい\r"), true, TextEncoding::ShiftJis, LineEnd::Cr},
        {"utf16le CRLF", bytesOf({0x41, 0, 0x0D, 0, 0x0A, 0}), true, TextEncoding::Utf16Le,
         LineEnd::CrLf},
        {"binary", bytesOf({0x00, 0x01, 0xFF, 0x80, 0x00}), true, std::nullopt, LineEnd::CrLf},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const FileFormat format = sniffFileFormat(c.head, c.complete);
        EXPECT_EQ(format.encoding, c.encoding);
        EXPECT_EQ(format.lineEnd, c.lineEnd);
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
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const AppendBytes out = bytesToAppend(c.text, c.format);
        EXPECT_TRUE(out.unfit.isEmpty());
        EXPECT_EQ(out.bytes.toHex(' '), c.bytes.toHex(' '));
        EXPECT_EQ(out.encoding, c.encoding);
    }
}

TEST(FileCodecTest, ShiftJisFileRefusesWhatItCannotHold)
{
    const QString text = QString::fromUtf8("a〜b𠮷〜¥");
    const AppendBytes out = bytesToAppend(text, {TextEncoding::ShiftJis, LineEnd::CrLf});
    EXPECT_TRUE(out.bytes.isEmpty());
    EXPECT_EQ(out.unfit, (QStringList{QString::fromUtf8("〜"), QString::fromUtf8("𠮷"),
                                      QString::fromUtf8("¥")}));
    EXPECT_EQ(describeCharacter(out.unfit.at(1)), QString::fromUtf8("𠮷 (U+20BB7)"));
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
    EXPECT_FALSE(full.error.isEmpty());
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
    const ReadResult head = readFileHead(path, 10);
    EXPECT_EQ(head.bytes.size(), 10);
    EXPECT_EQ(head.size, 100);
    EXPECT_EQ(readWholeFile(dir.filePath(QStringLiteral("gone")), 100).status,
              ReadResult::Status::Missing);
}

} // namespace
} // namespace velmar::text
