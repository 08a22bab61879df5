// Each conversion command end to end on a 10 MB window: the window's text, the
// conversion through its component, and the result set back into the window.

#include "components/registry.h"
#include "convert/conversion_commands.h"
#include "text/fake_host.h"
#include "text/text_window.h"

#include <benchmark/benchmark.h>

using namespace velmar;

namespace {

class BenchMenu final : public convert::ConversionMenu {
public:
    int jisIn() const override { return 2; }
    int jisOut() const override { return 3; }
    convert::ByteForm byteForm() const override { return form; }
    QString hexWidth() const override { return QStringLiteral("49"); }
    void disableBase64() override {}
    void disableUrlHex() override {}
    convert::ByteForm form = convert::ByteForm::ShiftJis;
};

// About 10 MB of Shift_JIS: Japanese prose in CRLF lines.
QString japaneseText()
{
    const QString line =
        QStringLiteral("お世話になっております。先日の会議の件で、資料（第3版）を送付します。"
                       "ご確認のほどよろしくお願いいたします。Velmar 7.3\r\n");
    QString text;
    while (text.size() * 2 < 10 * 1024 * 1024)
        text += line;
    return text;
}

// A real text window behind the commands, as in the program.
class WindowText final : public convert::ActiveText {
public:
    explicit WindowText(text::TextWindow*& window) : m_window(window) {}
    bool exists() const override { return m_window != nullptr; }
    QString text() const override { return m_window->text(); }
    void setText(const QString& text) override { m_window->setText(text); }

private:
    text::TextWindow*& m_window;
};

struct Fixture {
    testing::FakeHost host;
    components::ComponentRegistry registry = components::ComponentRegistry::withBuiltins();
    BenchMenu menu;
    text::TextWindow* window = nullptr;
    WindowText windowText{window};
    convert::ConversionCommands commands{windowText, host.boxes, registry, menu};
    Fixture()
    {
        window = host.newActiveWindow();
        window->resize(800, 600);
    }
};

// Sets the window's text to `input` (untimed), then times `command`.
template <typename Prepare, typename Command>
void runCommand(benchmark::State& state, Prepare prepare, Command command)
{
    Fixture f;
    const QString input = prepare(f);
    for (auto _ : state) {
        state.PauseTiming();
        f.window->setText(input);
        state.ResumeTiming();
        command(f);
    }
    if (!f.host.boxes.boxes.isEmpty() || f.window->text() == input)
        state.SkipWithError("the command did not convert the text");
}

void BM_CommandToJis(benchmark::State& state)
{
    runCommand(
        state, [](Fixture&) { return japaneseText(); },
        [](Fixture& f) { f.commands.convertJis(convert::JisDirection::ToJis); });
}
BENCHMARK(BM_CommandToJis)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_CommandToShiftJis(benchmark::State& state)
{
    runCommand(
        state,
        [](Fixture& f) {
            f.window->setText(japaneseText());
            f.commands.convertJis(convert::JisDirection::ToJis);
            return f.window->text();
        },
        [](Fixture& f) { f.commands.convertJis(convert::JisDirection::ToShiftJis); });
}
BENCHMARK(BM_CommandToShiftJis)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_CommandToIso2022jp(benchmark::State& state)
{
    runCommand(
        state, [](Fixture&) { return japaneseText(); },
        [](Fixture& f) { f.commands.toIso2022jp(); });
}
BENCHMARK(BM_CommandToIso2022jp)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_CommandBase64Encode(benchmark::State& state)
{
    runCommand(
        state, [](Fixture&) { return japaneseText(); },
        [](Fixture& f) { f.commands.base64Command(convert::Coding::Encode); });
}
BENCHMARK(BM_CommandBase64Encode)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_CommandHexEncode(benchmark::State& state)
{
    runCommand(
        state, [](Fixture&) { return japaneseText(); },
        [](Fixture& f) { f.commands.hexCommand(convert::Coding::Encode); });
}
BENCHMARK(BM_CommandHexEncode)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_CommandUrlEncode(benchmark::State& state)
{
    runCommand(
        state, [](Fixture&) { return japaneseText(); },
        [](Fixture& f) { f.commands.urlCommand(convert::Coding::Encode); });
}
BENCHMARK(BM_CommandUrlEncode)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
