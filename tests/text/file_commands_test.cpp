#include "platform/file_fakes.h"
#include "text/bytes.h"
#include "text/fake_host.h"
#include "text/file_commands.h"

#include <QComboBox>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>

namespace velmar::text {
namespace {

class FileCommandsTest : public ::testing::Test {
protected:
    QString path(const QString& name) const { return dir.filePath(name); }
    QString write(const QString& name, const QByteArray& bytes) const
    {
        QFile file(path(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return file.fileName();
    }
    static QByteArray read(const QString& file)
    {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    // A window in normal mode holding `text`, as if typed in.
    TextWindow* windowWith(const QString& text, const QString& fileName = {})
    {
        host.openTextWindow(WindowPlacement::Foreground);
        host.active->setText(text);
        host.active->fileName = fileName;
        return host.active;
    }
    QString lastBoxTitle() const
    {
        return host.boxes.boxes.isEmpty() ? QString() : host.boxes.boxes.last().title;
    }
    QString lastBoxText() const
    {
        return host.boxes.boxes.isEmpty() ? QString() : host.boxes.boxes.last().text;
    }

    QTemporaryDir dir;
    testing::FakeHost host;
    platform::ScriptedFileDialogs dialogs;
    platform::PdfPrinting printing{dir.filePath(QStringLiteral("out.pdf"))};
    FileCommands commands{host, dialogs, printing};
};

TEST_F(FileCommandsTest, OpenShowsTheDecodedTextInNormalMode)
{
    struct Case {
        const char* name;
        QByteArray bytes;
        QString text;
    };
    const Case cases[] = {
        {"utf16le", bytesOf({0x41, 0, 0x42, 0}), QStringLiteral("AB")},
        {"utf16le with mark", bytesOf({0xFF, 0xFE, 0x42, 0x30, 0x0D, 0, 0x0A, 0, 0x41, 0}),
         QString::fromUtf8("あ\r\nA")},
        {"utf8 LF", QByteArray("\xE3\x81\x82\nb\n"), QString::fromUtf8("あ\r\nb\r\n")},
        {"shift_jis CRLF", QByteArray("\x82\xA0\r\n\x82\xA2"), QString::fromUtf8("あ\r\nい")},
        {"CR line ends", QByteArray("a\rb\r"), QStringLiteral("a\r\nb\r\n")},
        {"empty file", QByteArray(), QString()},
        {"one byte", QByteArray("x"), QStringLiteral("x")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString file = write(QString::fromLatin1(c.name), c.bytes);
        commands.openFile(file);
        TextWindow* window = host.activeWindow();
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(window->text(), c.text);
        EXPECT_FALSE(window->isRawMode());
        EXPECT_EQ(window->fileName, file);
        EXPECT_EQ(window->caption(), file);
    }
    EXPECT_EQ(host.windows().size(), qsizetype(std::size(cases)));
    EXPECT_TRUE(host.boxes.boxes.isEmpty());
}

TEST_F(FileCommandsTest, BinaryOpensRawAndIsSavedBackExactly)
{
    const QByteArray binary = bytesOf({0x41, 0x42, 0x43, 0x00, 0xFF, 0x80, 0x00});
    commands.openFile(write(QStringLiteral("blob.bin"), binary));
    TextWindow* window = host.activeWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isRawMode());
    EXPECT_EQ(window->rawBytes(), binary);

    const QString copy = path(QStringLiteral("copy.bin"));
    dialogs.saveAnswers << copy;
    commands.saveAs();
    EXPECT_EQ(read(copy), binary);
    EXPECT_EQ(window->fileName, copy);
    commands.appendSave();
    EXPECT_EQ(read(copy), binary + binary);
    EXPECT_EQ(lastBoxText(), copy + QStringLiteral("\r\nに追加保存しました"));
}

TEST_F(FileCommandsTest, SingleOddByteIsStillSaved)
{
    commands.openFile(write(QStringLiteral("one"), bytesOf({0x81})));
    ASSERT_TRUE(host.activeWindow()->isRawMode());
    const QString copy = path(QStringLiteral("one-copy"));
    dialogs.saveAnswers << copy;
    commands.saveAs();
    EXPECT_EQ(read(copy), bytesOf({0x81}));
}

TEST_F(FileCommandsTest, AppendSaveToANewFileThenAgain)
{
    const QString file = path(QStringLiteral("new.txt"));
    windowWith(QStringLiteral("a\r\nb"));
    dialogs.saveAnswers << file;
    commands.appendSave();
    EXPECT_EQ(read(file), QByteArray("a\r\nb\r\n"));
    EXPECT_EQ(lastBoxTitle(), QStringLiteral("情報"));
    EXPECT_EQ(lastBoxText(), file + QStringLiteral("\r\nに保存しました"));
    EXPECT_EQ(host.active->caption(), file);
    EXPECT_EQ(dialogs.saveSuffixes, QStringList{QStringLiteral("txt")});
    EXPECT_EQ(dialogs.saveFilters, QStringList{FileCommands::textFileFilter()});

    commands.appendSave();
    EXPECT_EQ(read(file), QByteArray("a\r\nb\r\na\r\nb\r\n"));
    EXPECT_EQ(lastBoxText(), file + QStringLiteral("\r\nに追加保存しました"));
    EXPECT_EQ(dialogs.saveFilters.size(), 1); // the name was known the second time
}

TEST_F(FileCommandsTest, AppendFollowsAnExistingUtf8LfFile)
{
    const QString file = write(QStringLiteral("notes.txt"), QByteArray("x\n"));
    windowWith(QString::fromUtf8("あ\r\nb"), file);
    commands.appendActiveToFile();
    EXPECT_EQ(read(file), QByteArray("x\n\xE3\x81\x82\nb\n"));
}

TEST_F(FileCommandsTest, ShiftJisFileRefusesCharactersItLacks)
{
    const QByteArray before("\x82\xA0\r\n");
    const QString file = write(QStringLiteral("sjis.txt"), before);
    windowWith(QString::fromUtf8("波𠮷"), file);
    commands.appendSave();
    EXPECT_EQ(read(file), before);
    EXPECT_EQ(lastBoxTitle(), QStringLiteral("エラー"));
    EXPECT_TRUE(lastBoxText().contains(QString::fromUtf8("𠮷 (U+20BB7)")));
    EXPECT_TRUE(lastBoxText().contains(QStringLiteral("Shift_JIS")));
    EXPECT_FALSE(lastBoxText().contains(QStringLiteral("保存しました")));

    // What fits goes in as Shift_JIS, the twins of code page 932 characters too.
    windowWith(QString::fromUtf8("波〜−"), file);
    commands.appendSave();
    EXPECT_EQ(read(file), before + QByteArray("\x94\x67\x81\x60\x81\x7C\r\n"));
}

TEST_F(FileCommandsTest, RawModeTextAppendsInTheFileEncoding)
{
    struct Case {
        const char* name;
        QByteArray before;
        QByteArray appended;
    };
    // A lone CR keeps a window in raw mode; it is a line break like any other.
    const Case cases[] = {
        {"Shift_JIS", QByteArray("\x82\xA0\r\n"), QByteArray("\x82\xA2\r\nb\r\n")},
        {"UTF-8", QByteArray("\xE3\x81\x82\n"), QByteArray("\xE3\x81\x84\nb\n")},
        {"UTF-16LE", bytesOf({0xFF, 0xFE, 0x42, 0x30, 0x0D, 0, 0x0A, 0}),
         bytesOf({0x44, 0x30, 0x0D, 0, 0x0A, 0, 0x62, 0, 0x0D, 0, 0x0A, 0})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString file = write(QString::fromLatin1(c.name), c.before);
        TextWindow* window = windowWith(QString::fromUtf8("い\rb"), file);
        ASSERT_TRUE(window->isRawMode());
        commands.appendSave();
        EXPECT_EQ(read(file).toHex(' '), QByteArray(c.before + c.appended).toHex(' '));
    }
}

TEST_F(FileCommandsTest, AppendStartsANewLineAfterAnOpenLastLine)
{
    const QString file = write(QStringLiteral("open.log"), QByteArray("one\ntwo"));
    windowWith(QStringLiteral("three"), file);
    commands.appendSave();
    EXPECT_EQ(read(file), QByteArray("one\ntwo\nthree\n"));
}

TEST_F(FileCommandsTest, UndecidableFileIsRefusedAndLeftAlone)
{
    const QByteArray odd = bytesOf({0x41, 0, 0x0D, 0, 0x0A, 0, 0x42});
    const QString file = write(QStringLiteral("odd.txt"), odd);
    windowWith(QStringLiteral("x"), file);
    commands.appendSave();
    EXPECT_EQ(read(file), odd);
    EXPECT_EQ(lastBoxTitle(), QStringLiteral("エラー"));
    EXPECT_TRUE(lastBoxText().startsWith(file + QStringLiteral("\r\n")));
    EXPECT_TRUE(lastBoxText().contains(QStringLiteral("判別できない")));
}

TEST_F(FileCommandsTest, JapaneseMailEncodingsOpenAndTakeAppendsInTheirOwnEncoding)
{
    struct Case {
        const char* name;
        QByteArray before;
        QString text;
        QByteArray appended;
    };
    const Case cases[] = {
        {"EUC-JP", QByteArray("\xA4\xA2\n"), QString::fromUtf8("あ\r\n"), QByteArray("\xA4\xA4\n")},
        {"ISO-2022-JP", QByteArray("\x1b$B$\"\x1b(B\r\n"), QString::fromUtf8("あ\r\n"),
         QByteArray("\x1b$B$$\x1b(B\r\n")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString file = write(QString::fromLatin1(c.name), c.before);
        commands.openFile(file);
        TextWindow* window = host.activeWindow();
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(window->text(), c.text);
        window->setText(QString::fromUtf8("い"));
        commands.appendSave();
        EXPECT_EQ(read(file).toHex(' '), QByteArray(c.before + c.appended).toHex(' '));
    }
}

// Bytes that read in more than one encoding open in the likely one; the status bar's
// 文字コード choice reads them again in another, and appending then follows that choice.
TEST_F(FileCommandsTest, AmbiguousFileCanBeReadAgainInAnotherEncoding)
{
    const QByteArray before("\xA4\xA2\xA4\xA4\r\n"); // あい in EUC-JP, or ､｢､､ in Shift_JIS
    const QString file = write(QStringLiteral("short.txt"), before);
    commands.openFile(file);
    TextWindow* window = host.activeWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->text(), QString::fromUtf8("あい\r\n"));
    QComboBox* choice = window->encodingChoice;
    ASSERT_FALSE(choice->isHidden());
    EXPECT_EQ(choice->currentText(), QString::fromUtf8("文字コード: EUC-JP"));
    const int shiftJis = choice->findText(QString::fromUtf8("文字コード: Shift_JIS"));
    ASSERT_GE(shiftJis, 0);

    // As the user does it: the keyboard on the choice.
    choice->setFocus();
    while (choice->currentIndex() != shiftJis) {
        const int was = choice->currentIndex();
        QTest::keyClick(choice, was < shiftJis ? Qt::Key_Down : Qt::Key_Up);
        ASSERT_NE(choice->currentIndex(), was);
    }
    EXPECT_EQ(window->text(), QString::fromUtf8("､｢､､\r\n"));
    EXPECT_TRUE(host.boxes.boxes.isEmpty());

    window->setText(QString::fromUtf8("ｱ"));
    commands.appendSave();
    EXPECT_EQ(read(file).toHex(' '), QByteArray(before + "\xB1\r\n").toHex(' '));

    // A file with one reading offers no choice.
    commands.openFile(write(QStringLiteral("plain.txt"), "plain\r\n"));
    EXPECT_TRUE(host.activeWindow()->encodingChoice->isHidden());
}

TEST_F(FileCommandsTest, NewFileInUtf8SaysSo)
{
    const QString file = path(QStringLiteral("emoji.txt"));
    windowWith(QString::fromUtf8("😀"), file);
    commands.appendSave();
    EXPECT_EQ(read(file), QByteArray("\xF0\x9F\x98\x80\r\n"));
    EXPECT_EQ(lastBoxTitle(), QStringLiteral("情報"));
    EXPECT_TRUE(lastBoxText().startsWith(file + QStringLiteral("\r\nに保存しました\r\n")));
    EXPECT_TRUE(lastBoxText().contains(QStringLiteral("UTF-8")));
}

TEST_F(FileCommandsTest, SaveAsCancelledOrFailedKeepsTheFileName)
{
    const QString old = path(QStringLiteral("old.txt"));
    TextWindow* window = windowWith(QStringLiteral("text"), old);
    commands.saveAs(); // no scripted answer: cancelled
    EXPECT_EQ(window->fileName, old);
    EXPECT_FALSE(QFile::exists(old));

    const QString blocked = write(QStringLiteral("plain"), "x") + QStringLiteral("/sub.txt");
    dialogs.saveAnswers << blocked << QStringLiteral("/dev/full");
    commands.saveAs();
    EXPECT_EQ(window->fileName, old);
    EXPECT_EQ(lastBoxTitle(), QStringLiteral("エラー"));
    EXPECT_TRUE(lastBoxText().startsWith(blocked + QStringLiteral("\r\nに保存できませんでした")));
    commands.saveAs();
    EXPECT_EQ(window->fileName, old);
    EXPECT_EQ(lastBoxText(), QStringLiteral("/dev/full\r\nに保存できませんでした。\r\n（%1）")
                                 .arg(QString::fromLocal8Bit(std::strerror(ENOSPC))));
    EXPECT_FALSE(host.boxes.titles().contains(QStringLiteral("情報")));
}

TEST_F(FileCommandsTest, EmptyTextIsNeitherSavedNorPrinted)
{
    windowWith(QString());
    commands.saveAs();
    commands.appendSave();
    EXPECT_TRUE(dialogs.saveFilters.isEmpty());
    commands.print();
    ASSERT_EQ(host.boxes.boxes.size(), 1);
    EXPECT_EQ(lastBoxTitle(), QStringLiteral("紙の無駄使い反対! ;-P"));
    EXPECT_EQ(lastBoxText(), QStringLiteral("印刷するデータが空でしょ!"));
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("out.pdf"))));
}

TEST_F(FileCommandsTest, CommandsWithoutAWindowDoNothing)
{
    commands.saveAs();
    commands.appendSave();
    commands.appendActiveToFile();
    commands.print();
    EXPECT_TRUE(host.boxes.boxes.isEmpty());
    EXPECT_TRUE(dialogs.saveFilters.isEmpty());
}

TEST_F(FileCommandsTest, OpenCommandUsesTheFilterAndReportsAVanishedFile)
{
    commands.open(); // cancelled
    EXPECT_EQ(dialogs.openFilters, QStringList{FileCommands::textFileFilter()});
    EXPECT_TRUE(host.windows().isEmpty());

    const QString gone = write(QStringLiteral("gone.txt"), "soon gone");
    dialogs.openAnswers << gone;
    QFile::remove(gone);
    commands.open();
    EXPECT_TRUE(host.windows().isEmpty());
    EXPECT_EQ(lastBoxTitle(), QStringLiteral("エラー"));
    EXPECT_EQ(lastBoxText(), gone + QStringLiteral("\r\nファイルが見つかりません。"));

    // A dropped name that is no file is ignored silently.
    commands.openFile(gone);
    commands.openFile(dir.path());
    commands.openFile(QString());
    EXPECT_TRUE(host.windows().isEmpty());
    EXPECT_EQ(host.boxes.boxes.size(), 1);
}

TEST_F(FileCommandsTest, LargeFilesOpenUpToTheLimit)
{
    // 50 MB of ASCII lines: opens, every byte becomes text.
    const QByteArray line("0123456789 abcdefghijklmnopqrstuvwxyz ABCDEFGHIJKLMNOPQRSTUVWXY\n");
    const qsizetype lines = 50 * 1024 * 1024 / line.size();
    const QString big = write(QStringLiteral("big.log"), line.repeated(lines));
    commands.openFile(big);
    ASSERT_NE(host.activeWindow(), nullptr);
    EXPECT_FALSE(host.activeWindow()->isRawMode());
    EXPECT_EQ(host.activeWindow()->text().size(), lines * (line.size() + 1));

    QFile file(path(QStringLiteral("huge.log")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_TRUE(file.resize(FileCommands::MaxOpenBytes + 1)); // sparse, costs no disk
    file.close();
    commands.openFile(file.fileName());
    EXPECT_EQ(host.windows().size(), 1);
    EXPECT_EQ(lastBoxTitle(), QStringLiteral("エラー"));
    EXPECT_TRUE(lastBoxText().contains(QStringLiteral("大きすぎる")));
}

} // namespace
} // namespace velmar::text
