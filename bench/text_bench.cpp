// Text window figures: setting and reading back a large Japanese text, and the
// colouring pass over a text with quoted lines at several depths.

#include "settings/keys.h"
#include "text/fake_host.h"
#include "text/reply_colors.h"
#include "text/text_window.h"

#include <benchmark/benchmark.h>
#include <memory>

using namespace velmar;

namespace {

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

struct Fixture {
    testing::FakeHost host;
    text::TextWindow* window = nullptr;
    Fixture()
    {
        host.write(settings::keys::ReplyColours,
                   QStringLiteral(">>> 16711680 >> 255 > 32768 | 8421376"));
        window = host.newActiveWindow();
        window->resize(800, 600);
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
BENCHMARK(BM_SetAndGetText)->Arg(1 << 20)->Arg(10 << 20)->Unit(benchmark::kMillisecond);

void BM_GetText(benchmark::State& state)
{
    Fixture f;
    f.window->setText(makeText(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(f.window->text());
}
BENCHMARK(BM_GetText)->Arg(10 << 20)->Unit(benchmark::kMillisecond);

void BM_ColorChg(benchmark::State& state)
{
    Fixture f;
    const QString text = makeText(state.range(0));
    f.window->setText(text);
    for (auto _ : state)
        f.window->applyReplyColours();
    state.counters["lines"] = double(text.count(u'\n'));
}
BENCHMARK(BM_ColorChg)->Arg(1 << 20)->Arg(10 << 20)->Unit(benchmark::kMillisecond);

void BM_DecideLines(benchmark::State& state)
{
    const QString text = makeText(state.range(0));
    const text::LineColorer colorer(
        text::buildColorTable(QStringLiteral(">>> 16711680 >> 255 > 32768 | 8421376")));
    for (auto _ : state)
        benchmark::DoNotOptimize(colorer.decideText(text));
}
BENCHMARK(BM_DecideLines)->Arg(1 << 20)->Unit(benchmark::kMillisecond);

} // namespace
