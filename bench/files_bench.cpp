// File figures: decoding and opening a 10 MB UTF-8 file into a shown, coloured
// window, append-saving a 10 MB text, telling the format of a long log, and
// decoding 10 MB of EUC-JP.

#include "platform/file_fakes.h"
#include "settings/keys.h"
#include "support/japanese_corpus.h"
#include "text/fake_host.h"
#include "text/file_codec.h"
#include "text/file_commands.h"
#include "text/text_window.h"

#include <QCoreApplication>
#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <memory>

using namespace velmar;

namespace {

constexpr qsizetype kTenMegabytes = qsizetype(10) << 20;

// About `bytes` of UTF-8 in LF-ended lines of mixed Japanese and ASCII; every
// third line is quoted, so colouring has work to do.
QByteArray makeUtf8(qsizetype bytes)
{
    const QString body =
        QStringLiteral("日本語の文章をここに書きます。漢字とかなとカナ、ABCと123も混ぜてみる。");
    QString text;
    int line = 0;
    QByteArray out;
    out.reserve(bytes + 256);
    while (out.size() < bytes) {
        text.clear();
        if (line % 3 == 0)
            text += QString(line % 9 / 3 + 1, u'>');
        text += QStringView(body).left(20 + line % 21);
        text += u'\n';
        out += text.toUtf8();
        ++line;
    }
    return out;
}

struct Files {
    QTemporaryDir dir;
    QString write(const QString& name, const QByteArray& bytes) const
    {
        QFile file(dir.filePath(name));
        if (!file.open(QIODevice::WriteOnly))
            return {};
        file.write(bytes);
        return file.fileName();
    }
};

void BM_DecodeUtf8(benchmark::State& state)
{
    const QByteArray bytes = makeUtf8(state.range(0));
    for (auto _ : state) {
        const text::DecodedFile decoded = text::decodeFileBytes(bytes);
        benchmark::DoNotOptimize(decoded.text.data());
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
}
BENCHMARK(BM_DecodeUtf8)->Arg(kTenMegabytes)->Unit(benchmark::kMillisecond);

// From the file name to a shown window with its text coloured.
void BM_OpenIntoShownWindow(benchmark::State& state)
{
    Files files;
    const QString path = files.write(QStringLiteral("big.txt"), makeUtf8(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        auto host = std::make_unique<testing::FakeHost>();
        host->write(settings::keys::ReplyColours,
                    QStringLiteral(">>> 16711680 >> 255 > 32768 | 8421376"));
        platform::ScriptedFileDialogs dialogs;
        platform::PdfPrinting printing(files.dir.filePath(QStringLiteral("unused.pdf")));
        text::FileCommands commands(*host, dialogs, printing);
        state.ResumeTiming();

        commands.openFile(path);
        text::TextWindow* window = host->activeWindow();
        window->resize(800, 600);
        window->show();
        QCoreApplication::processEvents();

        state.PauseTiming();
        if (window->isRawMode())
            state.SkipWithError("opened in raw mode");
        host.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_OpenIntoShownWindow)->Arg(kTenMegabytes)->Unit(benchmark::kMillisecond);

// Append-save of a 10 MB text to a new file (the encoding check, the Shift_JIS
// conversion and the write).
void BM_AppendSave(benchmark::State& state)
{
    Files files;
    testing::FakeHost host;
    platform::ScriptedFileDialogs dialogs;
    platform::PdfPrinting printing(files.dir.filePath(QStringLiteral("unused.pdf")));
    text::FileCommands commands(host, dialogs, printing);
    const QString text = text::decodeFileBytes(makeUtf8(state.range(0))).text;
    text::TextWindow* window = host.newActiveWindow();
    window->setText(text);
    const QString path = files.dir.filePath(QStringLiteral("saved.txt"));
    for (auto _ : state) {
        state.PauseTiming();
        QFile::remove(path);
        window->fileName = path;
        state.ResumeTiming();
        commands.appendActiveToFile();
    }
    state.counters["boxes"] = double(host.boxes.boxes.size());
    state.SetBytesProcessed(state.iterations() * QFile(path).size());
}
BENCHMARK(BM_AppendSave)->Arg(kTenMegabytes)->Unit(benchmark::kMillisecond);

// The same text appended to an existing 10 MB UTF-8 file: the format is read from
// the file's head only.
void BM_AppendSaveToLargeUtf8File(benchmark::State& state)
{
    Files files;
    testing::FakeHost host;
    platform::ScriptedFileDialogs dialogs;
    platform::PdfPrinting printing(files.dir.filePath(QStringLiteral("unused.pdf")));
    text::FileCommands commands(host, dialogs, printing);
    const QByteArray existing = makeUtf8(state.range(0));
    const QString text = text::decodeFileBytes(existing).text;
    text::TextWindow* window = host.newActiveWindow();
    window->setText(text);
    for (auto _ : state) {
        state.PauseTiming();
        window->fileName = files.write(QStringLiteral("existing.txt"), existing);
        state.ResumeTiming();
        commands.appendActiveToFile();
    }
}
BENCHMARK(BM_AppendSaveToLargeUtf8File)->Arg(kTenMegabytes)->Unit(benchmark::kMillisecond);

// Telling the format of a 10 MB log that is plain ASCII up to its last line, which
// is Shift_JIS: the whole file is searched past the sniffed head.
void BM_SniffLongAsciiLog(benchmark::State& state)
{
    Files files;
    const QByteArray line("2026-12-09 03:00:00 INFO request served in 12 ms\r\n");
    QByteArray bytes = line.repeated(state.range(0) / line.size());
    bytes += QByteArray("\x82\xA0\x82\xA2\r\n");
    const QString path = files.write(QStringLiteral("long.log"), bytes);
    for (auto _ : state) {
        const text::FileSniff sniffed = text::sniffExistingFile(path);
        if (sniffed.format.encoding != text::TextEncoding::ShiftJis)
            state.SkipWithError("not told as Shift_JIS");
        benchmark::DoNotOptimize(sniffed);
    }
}
BENCHMARK(BM_SniffLongAsciiLog)->Arg(kTenMegabytes)->Unit(benchmark::kMillisecond);

// Decoding 10 MB of EUC-JP, which is tried after UTF-8 and Shift_JIS fail.
void BM_DecodeEucJp(benchmark::State& state)
{
    const QString text = text::decodeFileBytes(makeUtf8(state.range(0))).text;
    QStringEncoder encoder("EUC-JP");
    const QByteArray bytes = encoder.encode(text);
    for (auto _ : state) {
        const text::DecodedFile decoded = text::decodeFileBytes(bytes);
        if (decoded.encoding != text::TextEncoding::EucJp)
            state.SkipWithError("not told as EUC-JP");
        benchmark::DoNotOptimize(decoded);
    }
}
BENCHMARK(BM_DecodeEucJp)->Arg(kTenMegabytes)->Unit(benchmark::kMillisecond);

// Telling the encoding of short everyday lines (600 lines in UTF-8, Shift_JIS, EUC-JP and
// ISO-2022-JP): the time for all of them, and the share told right among those of 20
// bytes or more ("accuracy") and among the shorter ones ("short_accuracy").
void BM_DetectJapaneseLines(benchmark::State& state)
{
    struct Sample {
        QByteArray bytes;
        text::TextEncoding encoding;
    };
    QList<Sample> samples;
    const QStringList lines = testing::japaneseCorpus(600);
    const std::pair<const char*, text::TextEncoding> forms[] = {
        {"UTF-8", text::TextEncoding::Utf8},
        {"windows-31j", text::TextEncoding::ShiftJis},
        {"EUC-JP", text::TextEncoding::EucJp},
        {"ISO-2022-JP", text::TextEncoding::Iso2022Jp}};
    for (const auto& [name, encoding] : forms) {
        for (const QString& line : lines) {
            QStringEncoder encoder(name, QStringEncoder::Flag::Stateless);
            const QByteArray bytes = encoder.encode(line);
            bool ascii = true;
            for (const char b : bytes)
                ascii &= quint8(b) < 0x80 && b != 0x1B;
            if (!ascii)
                samples.append({bytes, encoding});
        }
    }
    int right = 0, total = 0, shortRight = 0, shortTotal = 0;
    for (auto _ : state) {
        right = total = shortRight = shortTotal = 0;
        for (const Sample& sample : std::as_const(samples)) {
            const bool ok = text::decodeFileBytes(sample.bytes).encoding == sample.encoding;
            if (sample.bytes.size() >= 20) {
                ++total;
                right += ok;
            } else {
                ++shortTotal;
                shortRight += ok;
            }
        }
    }
    state.counters["accuracy"] = total ? double(right) / total : 0;
    state.counters["short_accuracy"] = shortTotal ? double(shortRight) / shortTotal : 0;
    state.counters["texts"] = double(total + shortTotal);
}
BENCHMARK(BM_DetectJapaneseLines)->Unit(benchmark::kMillisecond);

} // namespace
