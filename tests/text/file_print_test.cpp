#include "platform/file_dialogs.h"
#include "platform/file_fakes.h"
#include "text/fake_host.h"
#include "text/file_commands.h"
#include "text/text_printer.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace velmar::text {
namespace {

// The text of a PDF as poppler reads it back, blanks removed so that where a long
// line wrapped does not matter.
QString pdfText(const QString& pdf)
{
    QProcess process;
    process.start(QStringLiteral("pdftotext"),
                  {QStringLiteral("-enc"), QStringLiteral("UTF-8"), pdf, QStringLiteral("-")});
    if (!process.waitForFinished(60000))
        return {};
    QString text = QString::fromUtf8(process.readAllStandardOutput());
    text.remove(u' ').remove(u'\n').remove(u'\f');
    return text;
}

int pdfPages(const QString& pdf)
{
    QProcess process;
    process.start(QStringLiteral("pdfinfo"), {pdf});
    if (!process.waitForFinished(60000))
        return -1;
    for (const QString& line : QString::fromUtf8(process.readAllStandardOutput()).split(u'\n')) {
        if (line.startsWith(QStringLiteral("Pages:")))
            return line.mid(6).trimmed().toInt();
    }
    return -1;
}

TEST(FilePrintTest, LongTextFlowsOverPagesWithEveryLine)
{
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("print.pdf"));
    testing::FakeHost host;
    platform::ScriptedFileDialogs dialogs;
    platform::PdfPrinting printing(pdf);
    FileCommands commands(host, dialogs, printing);

    // 200 numbered lines, every tenth one far wider than a page and in Japanese
    // without blanks, so it can only wrap between characters. Kana only: for many
    // kanji the PDF's font names a look-alike radical, which poppler reads back.
    QStringList lines;
    for (int i = 0; i < 200; ++i) {
        QString line = QStringLiteral("line%1:").arg(i, 3, 10, QLatin1Char('0'));
        if (i % 10 == 0)
            line += QString::fromUtf8("ながいぎょうをおりかえす").repeated(20) +
                    QStringLiteral("END%1").arg(i);
        lines << line;
    }
    host.openTextWindow(WindowPlacement::Foreground);
    host.active->setText(lines.join(QStringLiteral("\r\n")));
    commands.print();
    ASSERT_EQ(host.boxes.boxes.size(), 1);
    EXPECT_EQ(host.boxes.boxes.last().title, QStringLiteral("確認"));
    EXPECT_EQ(host.boxes.boxes.last().text, QStringLiteral("印刷完了"));

    const QString printed = pdfText(pdf);
    qsizetype from = 0;
    for (const QString& line : lines) {
        const qsizetype at = printed.indexOf(line, from);
        ASSERT_GE(at, 0) << line.left(12).toStdString() << " missing or out of order";
        from = at + line.size();
    }
    EXPECT_GT(pdfPages(pdf), 3);
}

TEST(FilePrintTest, UnopenablePrinterIsReported)
{
    testing::FakeHost host;
    platform::ScriptedFileDialogs dialogs;
    platform::PdfPrinting printing(QStringLiteral("/nonexistent-dir/out.pdf"));
    FileCommands commands(host, dialogs, printing);
    host.openTextWindow(WindowPlacement::Foreground);
    host.active->setText(QStringLiteral("x"));
    commands.print();
    ASSERT_EQ(host.boxes.boxes.size(), 1);
    EXPECT_EQ(host.boxes.boxes.last().title, QStringLiteral("エラー"));

    commands.setUpPrinter();
    EXPECT_EQ(printing.dialogs, 1);
}

TEST(FilePrintTest, FilterInQtNotation)
{
    EXPECT_EQ(platform::qtFileFilter(FileCommands::textFileFilter()),
              QString::fromUtf8("ﾃｷｽﾄ (*.txt *.log);;全て (*)"));
    EXPECT_EQ(platform::qtFileFilter(QString::fromUtf8("音(*.wav)|*.wav")),
              QString::fromUtf8("音 (*.wav)"));
}

} // namespace
} // namespace velmar::text
