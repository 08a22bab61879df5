// The clipboard-control writer on a real compositor: wayland_clipboard_test.sh starts
// sway and runs this program in it, with wl-copy and wl-paste as the other programs.

#include "platform/clipboard.h"
#include "platform/wayland_clipboard.h"

#include <QClipboard>
#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QProcess>
#include <QRasterWindow>
#include <QTest>
#include <gtest/gtest.h>

namespace velmar::platform {
namespace {

struct Run {
    int exitCode = -1;
    QByteArray out;
};

Run run(const QString& command)
{
    QProcess process;
    process.start(QStringLiteral("sh"), {QStringLiteral("-c"), command});
    process.waitForFinished(20'000);
    return {process.exitCode(), process.readAllStandardOutput()};
}

QByteArray paste()
{
    return run(QStringLiteral("wl-paste --no-newline")).out;
}

// Several megabytes of Japanese text: more than a pipe takes in one write.
QByteArray largeText()
{
    QByteArray text;
    for (int i = 0; text.size() < 4 * 1024 * 1024; ++i)
        text += QByteArray::number(i) + QByteArray("行目：日本語のテキスト、全角ＡＢＣと半角ｶﾅ\n");
    return text + QByteArray("改行なしの最後の行");
}

class WaylandClipboardWriterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        writer = WaylandClipboardWriter::connect();
        ASSERT_TRUE(writer) << "sway offers clipboard control";
    }
    std::unique_ptr<WaylandClipboardWriter> writer;
};

TEST_F(WaylandClipboardWriterTest,
       OtherProgramsGetTheTextWholeAndAReaderThatLeavesEarlyCostsNothing)
{
    const QByteArray text = largeText();
    ASSERT_TRUE(writer->setText(text));
    EXPECT_EQ(paste(), text);

    // The reader closes its end after 16 bytes: the rest of the write fails quietly.
    EXPECT_EQ(run(QStringLiteral("wl-paste --no-newline | head -c 16")).out, text.left(16));
    EXPECT_EQ(paste(), text);
}

TEST_F(WaylandClipboardWriterTest, TheProgramsOwnWindowsReadItWithoutWaitingForThemselves)
{
    // Qt reads the clipboard through a pipe that the writer's thread fills; were the
    // writer served by this thread, the read would run into Qt's time-out empty-handed.
    // A Wayland client hears of the clipboard only while one of its windows has the
    // keyboard focus.
    QRasterWindow window;
    window.resize(200, 100);
    window.show();
    ASSERT_TRUE(QTest::qWaitFor([] { return QGuiApplication::focusWindow() != nullptr; }, 5'000));
    const QString text = QStringLiteral("自分の窓で貼り付け\n二行目");
    ASSERT_TRUE(writer->setText(text.toUtf8()));
    const QDeadlineTimer deadline(5'000);
    while (QGuiApplication::clipboard()->text() != text && !deadline.hasExpired())
        QTest::qWait(50);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), text);
}

TEST_F(WaylandClipboardWriterTest, AnotherProgramsCopyReplacesItAndTheNextCopyWinsAgain)
{
    ASSERT_TRUE(writer->setText("ours"));
    ASSERT_EQ(run(QStringLiteral("printf theirs | wl-copy")).exitCode, 0);
    EXPECT_EQ(paste(), "theirs");

    ASSERT_TRUE(writer->setText("ours again"));
    EXPECT_EQ(paste(), "ours again");

    ASSERT_TRUE(writer->clear());
    EXPECT_NE(run(QStringLiteral("wl-paste --no-newline")).exitCode, 0) << "the clipboard is empty";
}

TEST(QtClipboardOnWayland, WritesThroughClipboardControlWithTheDesktopsLineBreaks)
{
    QtClipboard clipboard;
    clipboard.setText(QStringLiteral("一行目\r\n二行目"));
    EXPECT_EQ(paste(), QStringLiteral("一行目\n二行目").toUtf8());
}

} // namespace
} // namespace velmar::platform

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    if (!QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) {
        std::fputs("needs a Wayland session (wayland_clipboard_test.sh)\n", stderr);
        return 1;
    }
    return RUN_ALL_TESTS();
}
