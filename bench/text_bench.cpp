// Text window figures: setting and reading back large texts, colouring (the pass over
// every block, what a shown window colours, and a QSyntaxHighlighter for comparison),
// typing into a large coloured text, a text made of one very long line, and opening a
// 10 MB file beside the same steps done plainly with bare Qt.

#include "platform/file_fakes.h"
#include "settings/keys.h"
#include "text/clipboard_commands.h"
#include "text/fake_host.h"
#include "text/file_commands.h"
#include "text/reply_colors.h"
#include "text/text_area.h"
#include "text/text_window.h"

#include <QCoreApplication>
#include <QFile>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QStringDecoder>
#include <QSyntaxHighlighter>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextLayout>
#include <benchmark/benchmark.h>
#include <chrono>
#include <memory>
#include <sys/resource.h>

using namespace velmar;

namespace {

constexpr qsizetype OneMegabyte = qsizetype(1) << 20;
const QString Rules = QStringLiteral(">>> 16711680 >> 255 > 32768 | 8421376");

// About `bytes` of UTF-16 text in lines of 20 to 40 characters; every third line is
// quoted one to three levels deep.
QString makeText(qsizetype bytes)
{
    const QString body =
        QStringLiteral("日本語の文章をここに書きます。漢字とかなとカナ、ABCと123も混ぜてみる。");
    QString text;
    text.reserve(bytes / 2 + 64);
    int line = 0;
    while (text.size() * 2 < bytes) {
        if (line % 3 == 0)
            text += QString(line % 9 / 3 + 1, u'>');
        text += QStringView(body).left(20 + line % 21);
        text += u"\r\n";
        ++line;
    }
    return text;
}

// One line of `chars` characters, like a minified document or a Base64 blob.
QString makeLongLine(qsizetype chars)
{
    const QString piece = QStringLiteral(" {\"key\":\"value\",\"n\":12345} QUJDREVGR0g=");
    QString text;
    text.reserve(chars);
    while (text.size() < chars)
        text += piece;
    text.truncate(chars);
    return text;
}

double peakMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

struct Fixture {
    testing::FakeHost host;
    text::TextWindow* window = nullptr;
    explicit Fixture(bool shown = false)
    {
        host.write(settings::keys::ReplyColours, Rules);
        window = host.newActiveWindow();
        window->resize(800, 600);
        if (shown) {
            window->show();
            QCoreApplication::processEvents();
        }
    }
};

void BM_SetAndGetText(benchmark::State& state)
{
    Fixture f;
    const QString text = makeText(state.range(0));
    for (auto _ : state) {
        f.window->setText(text);
        benchmark::DoNotOptimize(f.window->text());
    }
    state.counters["lines"] = double(text.count(u'\n'));
    state.counters["raw"] = f.window->isRawMode();
}
BENCHMARK(BM_SetAndGetText)->Arg(OneMegabyte)->Arg(10 * OneMegabyte)->Unit(benchmark::kMillisecond);

// setText of 50 MB of ordinary lines (into an empty window, and replacing that text).
void BM_SetTextFiftyMegabytes(benchmark::State& state)
{
    const QString text = makeText(50 * OneMegabyte);
    for (auto _ : state) {
        Fixture f;
        f.window->setText(text);
        // All of it, not only the part shown first.
        f.window->textArea()->finishLoading();
        benchmark::DoNotOptimize(f.window->isRawMode());
        state.PauseTiming();
        state.counters["replaceMs"] = [&] {
            const auto start = std::chrono::steady_clock::now();
            f.window->setText(text);
            f.window->textArea()->finishLoading();
            return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() -
                                                             start)
                .count();
        }();
        state.ResumeTiming();
    }
    state.counters["peakMB"] = peakMegabytes();
}
BENCHMARK(BM_SetTextFiftyMegabytes)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_GetText(benchmark::State& state)
{
    Fixture f;
    f.window->setText(makeText(state.range(0)));
    f.window->textArea()->finishLoading();
    for (auto _ : state)
        benchmark::DoNotOptimize(f.window->text());
}
BENCHMARK(BM_GetText)->Arg(10 * OneMegabyte)->Unit(benchmark::kMillisecond);

// Block-level colouring of every block (what printing or a full pass costs).
void BM_ColourEveryBlock(benchmark::State& state)
{
    Fixture f;
    const QString text = makeText(state.range(0));
    f.window->setText(text);
    f.window->textArea()->finishLoading();
    for (auto _ : state) {
        f.window->applyReplyColours();
        f.window->textArea()->colourAllBlocks();
    }
    state.counters["lines"] = double(text.count(u'\n'));
}
BENCHMARK(BM_ColourEveryBlock)
    ->Arg(OneMegabyte)
    ->Arg(10 * OneMegabyte)
    ->Unit(benchmark::kMillisecond);

// What a shown window pays: new rules, then the blocks in view coloured as painted.
void BM_ColourShownWindow(benchmark::State& state)
{
    Fixture f(true);
    f.window->setText(makeText(state.range(0)));
    f.window->textArea()->finishLoading();
    for (auto _ : state) {
        f.window->applyReplyColours();
        f.window->textArea()->viewport()->repaint();
    }
}
BENCHMARK(BM_ColourShownWindow)->Arg(10 * OneMegabyte)->Unit(benchmark::kMillisecond);

// The same rules through QSyntaxHighlighter, for comparison.
class MarkHighlighter final : public QSyntaxHighlighter {
public:
    MarkHighlighter(QTextDocument* doc, const text::LineColorer& colorer)
        : QSyntaxHighlighter(doc), m_colorer(colorer)
    {
    }

protected:
    void highlightBlock(const QString& line) override
    {
        const int entry = m_colorer.decide(line, !currentBlock().next().isValid());
        QTextCharFormat format;
        format.setForeground(entry < 0 ? QColor(Qt::black)
                                       : QColor::fromRgb(m_colorer.rules()[entry].colour));
        setFormat(0, int(line.size()), format);
    }

private:
    const text::LineColorer& m_colorer;
};

void BM_ColourWithSyntaxHighlighter(benchmark::State& state)
{
    QPlainTextEdit edit;
    edit.setPlainText(
        makeText(state.range(0)).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    const text::LineColorer colorer(text::buildColorTable(Rules));
    MarkHighlighter highlighter(nullptr, colorer);
    for (auto _ : state) {
        highlighter.setDocument(edit.document());
        highlighter.rehighlight();
        state.PauseTiming();
        highlighter.setDocument(nullptr);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ColourWithSyntaxHighlighter)
    ->Arg(OneMegabyte)
    ->Arg(10 * OneMegabyte)
    ->Unit(benchmark::kMillisecond);

// One key typed at the start of a quoted line in the middle of a coloured 10 MB text:
// the edit and the re-colouring of what it touched.
void BM_TypeIntoColouredText(benchmark::State& state)
{
    const char* failure = nullptr;
    Fixture f(true);
    f.window->setText(makeText(state.range(0)));
    f.window->applyReplyColours();
    text::TextArea* area = f.window->textArea();
    area->finishLoading();
    const QTextBlock middle =
        area->document()->findBlockByNumber(area->document()->blockCount() / 2 / 3 * 3);
    QTextCursor cursor(middle);
    area->setTextCursor(cursor);
    area->centerCursor();
    area->viewport()->repaint();
    area->setFocus();
    QKeyEvent press(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
    QKeyEvent erase(QEvent::KeyPress, Qt::Key_Backspace, Qt::NoModifier);
    for (auto _ : state) {
        QCoreApplication::sendEvent(area, &press);
        state.PauseTiming();
        if (area->blockColour(middle.blockNumber()) != area->blockColour(middle.blockNumber() + 1))
            failure = "the typed line kept its quoted colour";
        QCoreApplication::sendEvent(area, &erase);
        state.ResumeTiming();
    }
    if (failure != nullptr)
        state.SkipWithError(failure);
}
BENCHMARK(BM_TypeIntoColouredText)->Arg(10 * OneMegabyte)->Unit(benchmark::kMicrosecond);

// A text of one 2 MB line (2 Mi characters): opening it into a shown, coloured window,
// marking it for a reply and trimming it.
void BM_LongLine(benchmark::State& state)
{
    const char* failure = nullptr;
    const QString line = u'>' + makeLongLine(2 * OneMegabyte - 1);
    const int step = int(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        Fixture f(true);
        text::ClipboardCommands commands(f.host);
        if (step > 0) {
            f.window->setText(line);
            f.window->applyReplyColours();
            QCoreApplication::processEvents();
        }
        state.ResumeTiming();
        switch (step) {
        case 0:
            f.window->setText(line);
            f.window->applyReplyColours();
            break;
        case 1:
            commands.copyWithReplyMarks(text::ReplyCopy::ToClipboard);
            break;
        default:
            commands.trimBlanks();
            break;
        }
        f.window->textArea()->viewport()->repaint();
        QCoreApplication::processEvents();
        state.PauseTiming();
        const QString expected = step == 0 ? line : step == 1 ? u'>' + line : line.trimmed();
        if (f.window->text() != expected)
            failure = "the text changed";
        state.ResumeTiming();
    }
    if (failure != nullptr)
        state.SkipWithError(failure);
}
BENCHMARK(BM_LongLine)
    ->ArgName("open0_reply1_trim2")
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond);

// About `bytes` of UTF-8 in LF-ended lines, every third line quoted.
QByteArray makeUtf8(qsizetype bytes)
{
    return makeText(bytes * 2 / 3).replace(QStringLiteral("\r\n"), QStringLiteral("\n")).toUtf8();
}

struct File {
    QTemporaryDir dir;
    QString path;
    explicit File(qsizetype bytes) : path(dir.filePath(QStringLiteral("big.txt")))
    {
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write(makeUtf8(bytes));
    }
};

// From the file name to a shown window with its text coloured.
void BM_OpenFile(benchmark::State& state)
{
    const char* failure = nullptr;
    const File file(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        auto host = std::make_unique<testing::FakeHost>();
        host->write(settings::keys::ReplyColours, Rules);
        platform::ScriptedFileDialogs dialogs;
        platform::PdfPrinting printing(file.dir.filePath(QStringLiteral("unused.pdf")));
        text::FileCommands commands(*host, dialogs, printing);
        state.ResumeTiming();

        commands.openFile(file.path);
        text::TextWindow* window = host->activeWindow();
        window->resize(800, 600);
        window->show();
        QCoreApplication::processEvents();

        state.PauseTiming();
        if (window->isRawMode())
            failure = "opened in raw mode";
        // The rest of a large text comes in while the event loop is idle.
        const auto start = std::chrono::steady_clock::now();
        while (window->textArea()->isLoading())
            QCoreApplication::processEvents();
        state.counters["restMs"] =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
        host.reset();
        state.ResumeTiming();
    }
    state.counters["peakMB"] = peakMegabytes();
    if (failure != nullptr)
        state.SkipWithError(failure);
}
BENCHMARK(BM_OpenFile)->Arg(OneMegabyte)->Arg(10 * OneMegabyte)->Unit(benchmark::kMillisecond);

// The same steps done plainly with bare Qt: decode, setPlainText, read the text back,
// colour every block, show.
void BM_OpenFileNaiveReference(benchmark::State& state)
{
    const char* failure = nullptr;
    const File file(state.range(0));
    const text::LineColorer colorer(text::buildColorTable(Rules));
    for (auto _ : state) {
        QFile in(file.path);
        if (!in.open(QIODevice::ReadOnly))
            failure = "cannot read";
        QStringDecoder decoder(QStringDecoder::Utf8);
        const QString decoded = decoder(in.readAll());
        auto edit = std::make_unique<QPlainTextEdit>();
        edit->setPlainText(decoded);
        if (edit->document()->toRawText().replace(QChar::ParagraphSeparator, u'\n') != decoded)
            failure = "not exact";
        QTextDocument* doc = edit->document();
        for (QTextBlock block = doc->begin(); block.isValid(); block = block.next()) {
            const int entry = colorer.decide(block.text(), !block.next().isValid());
            QTextLayout::FormatRange range;
            range.start = 0;
            range.length = block.length() - 1;
            range.format.setForeground(entry < 0 ? QColor(Qt::black)
                                                 : QColor::fromRgb(colorer.rules()[entry].colour));
            block.layout()->setFormats({range});
        }
        doc->markContentsDirty(0, doc->characterCount());
        edit->resize(800, 600);
        edit->show();
        QCoreApplication::processEvents();
        state.PauseTiming();
        edit.reset();
        state.ResumeTiming();
    }
    if (failure != nullptr)
        state.SkipWithError(failure);
}
BENCHMARK(BM_OpenFileNaiveReference)
    ->Arg(OneMegabyte)
    ->Arg(10 * OneMegabyte)
    ->Unit(benchmark::kMillisecond);

void BM_DecideLines(benchmark::State& state)
{
    const QString text = makeText(state.range(0));
    const text::LineColorer colorer(text::buildColorTable(Rules));
    for (auto _ : state)
        benchmark::DoNotOptimize(colorer.decideText(text));
}
BENCHMARK(BM_DecideLines)->Arg(OneMegabyte)->Unit(benchmark::kMillisecond);

} // namespace
