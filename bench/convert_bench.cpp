// Conversion figures on 10 MB inputs: Shift_JIS <-> JIS, ISO-2022-JP through the
// kanji filter, and the Base64, hex and URL encoders.

#include "components/converters.h"
#include "convert/encoders.h"
#include "convert/kanji_codes.h"
#include "convert/text_bytes.h"

#include <benchmark/benchmark.h>

using namespace velmar;

namespace {

constexpr qsizetype kTenMegabytes = 10 * 1024 * 1024;

// Japanese prose with some ASCII and half-width kana, as Shift_JIS bytes.
const QByteArray& japaneseShiftJis()
{
    static const QByteArray bytes = [] {
        const QString line =
            QStringLiteral("お世話になっております。先日の会議の件で、資料（第3版）を送付します。"
                           "ご確認のほどよろしくお願いいたします。Velmar 7.3 ｶﾞｲﾄﾞ\r\n");
        const QByteArray encoded = convert::textToBytes(line, convert::ByteForm::ShiftJis).bytes;
        QByteArray all;
        all.reserve(kTenMegabytes + encoded.size());
        while (all.size() < kTenMegabytes)
            all += encoded;
        return all;
    }();
    return bytes;
}

const QString& japaneseText()
{
    static const QString text = *convert::decodeShiftJis(japaneseShiftJis());
    return text;
}

void setBytes(benchmark::State& state, qsizetype bytes)
{
    state.SetBytesProcessed(qint64(state.iterations()) * bytes);
}

void BM_ShiftJisToJis(benchmark::State& state)
{
    const QByteArray& sjis = japaneseShiftJis();
    for (auto _ : state)
        benchmark::DoNotOptimize(convert::shiftJisToJis(sjis, "\x1B$B", "\x1B(B"));
    setBytes(state, sjis.size());
}
BENCHMARK(BM_ShiftJisToJis)->Unit(benchmark::kMillisecond);

void BM_JisToShiftJis(benchmark::State& state)
{
    const QByteArray jis = convert::shiftJisToJis(japaneseShiftJis(), "\x1B$B", "\x1B(B");
    for (auto _ : state)
        benchmark::DoNotOptimize(convert::jisToShiftJis(jis));
    setBytes(state, jis.size());
}
BENCHMARK(BM_JisToShiftJis)->Unit(benchmark::kMillisecond);

// The kanji filter's members as the commands call them: from the text to ISO-2022-JP
// bytes and from the bytes back to text.
void BM_Iso2022jpFromText(benchmark::State& state)
{
    QString text = japaneseText();
    components::KanjiPipeImpl pipe;
    for (auto _ : state)
        benchmark::DoNotOptimize(pipe.FromSJIS(text, QStringLiteral("j")));
    setBytes(state, japaneseShiftJis().size());
}
BENCHMARK(BM_Iso2022jpFromText)->Unit(benchmark::kMillisecond);

void BM_Iso2022jpToText(benchmark::State& state)
{
    QString text = japaneseText();
    components::KanjiPipeImpl pipe;
    QByteArray iso = pipe.FromSJIS(text, QStringLiteral("j"));
    for (auto _ : state)
        benchmark::DoNotOptimize(pipe.toSJIS(iso));
    setBytes(state, iso.size());
}
BENCHMARK(BM_Iso2022jpToText)->Unit(benchmark::kMillisecond);

void BM_Base64Encode(benchmark::State& state)
{
    QByteArray bytes = japaneseShiftJis().first(kTenMegabytes);
    components::RadixerImpl radixer;
    for (auto _ : state)
        benchmark::DoNotOptimize(radixer.enBase64Bin(bytes));
    setBytes(state, bytes.size());
}
BENCHMARK(BM_Base64Encode)->Unit(benchmark::kMillisecond);

void BM_HexEncode(benchmark::State& state)
{
    QByteArray bytes = japaneseShiftJis().first(kTenMegabytes);
    components::EscaperImpl escaper;
    for (auto _ : state)
        benchmark::DoNotOptimize(escaper.EncodeBin(bytes));
    setBytes(state, bytes.size());
}
BENCHMARK(BM_HexEncode)->Unit(benchmark::kMillisecond);

// The layout the hex command puts on the digits of 10 MB.
void BM_HexLayout(benchmark::State& state)
{
    QByteArray bytes = japaneseShiftJis().first(kTenMegabytes);
    components::EscaperImpl escaper;
    QString hex = escaper.EncodeBin(bytes);
    qint32 width = 49;
    for (auto _ : state)
        benchmark::DoNotOptimize(escaper.PlasticHexData(hex, &width));
    setBytes(state, bytes.size());
}
BENCHMARK(BM_HexLayout)->Unit(benchmark::kMillisecond);

void BM_UrlEncode(benchmark::State& state)
{
    QByteArray bytes = japaneseShiftJis().first(kTenMegabytes);
    components::EscaperImpl escaper;
    escaper.SetAddChar(QStringLiteral("%"));
    escaper.SetNonChangeChar(escaper.GetChar());
    escaper.SetMode(QStringLiteral("1"));
    for (auto _ : state)
        benchmark::DoNotOptimize(escaper.EncodeBin(bytes));
    setBytes(state, bytes.size());
}
BENCHMARK(BM_UrlEncode)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
