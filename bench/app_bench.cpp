// Start-up figure: from creating the main window to the first text window shown,
// filled from the clipboard and coloured, with a fresh settings store.

#include "app/main_window.h"
#include "components/registry.h"
#include "platform/fakes.h"
#include "platform/file_fakes.h"
#include "settings/keys.h"
#include "support/temp_settings.h"
#include "text/text_window.h"

#include <QApplication>
#include <benchmark/benchmark.h>
#include <memory>

using namespace velmar;

namespace {

void BM_StartToFirstTextWindow(benchmark::State& state)
{
    const QString clipboardText = QStringLiteral("> 先日の件ですが\r\n了解しました。\r\n");
    for (auto _ : state) {
        state.PauseTiming();
        auto settings = std::make_unique<testing::TempSettings>();
        settings->store->write(settings::keys::ReplyColours, QStringLiteral(">> 255 > 32768"));
        const auto registry = components::ComponentRegistry::withBuiltins();
        platform::FakeUdpEndpoint endpoint;
        platform::RecordingMessageBoxes boxes;
        platform::FakeClipboard clipboard;
        clipboard.setText(clipboardText);
        platform::ScriptedFileDialogs dialogs;
        platform::PdfPrinting printing(settings->dir.filePath(QStringLiteral("p.pdf")));
        platform::FakeTrayIcon trayIcon;
        platform::FakeInputMethod inputMethod;
        platform::FakeNotifications notifications;
        state.ResumeTiming();

        app::MainWindow window(app::Services{*settings->store,
                                             registry,
                                             endpoint,
                                             boxes,
                                             clipboard,
                                             dialogs,
                                             printing,
                                             {},
                                             [](int) {},
                                             nullptr,
                                             false,
                                             {},
                                             &trayIcon,
                                             &inputMethod,
                                             &notifications});
        window.load();
        window.start();
        QApplication::processEvents();
        text::TextWindow* first = window.activeWindow();
        if (!first || !first->isVisible() || first->text() != clipboardText)
            state.SkipWithError("no text window with the clipboard text");

        state.PauseTiming();
        window.fin();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_StartToFirstTextWindow)->Unit(benchmark::kMillisecond)->Iterations(20);

} // namespace
