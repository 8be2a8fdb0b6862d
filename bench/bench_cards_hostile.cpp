// Cards a hostile database carries: metafiles of hatched ellipses over the
// whole picture drawn at 1600 x 1000 (14 KB and 1 MB; a thin pen, a wide
// dashed one, a thin one round ellipses 300 times the picture), and rich
// text of tables (a table past the cell cap at 2.2 MB, twenty tables just
// under it, 10 MB of tables and text), read into a bare document and into
// one laid out as it grows, as the viewer's is.
#include "platform/Metafile.h"
#include "platform/RichText.h"
#include "platform/gdi/Gdi.h"
#include "tools/HostileCards.h"

#include <QAbstractTextDocumentLayout>
#include <QImage>
#include <QTextDocument>

#include <benchmark/benchmark.h>

namespace {

using tarn::city::THostileRtf;

void BM_HostileMetafile(benchmark::State& state)
{
    tarn::EnsureGuiApplication();
    const std::string wmf = tarn::city::FullFrameEllipsesWmf(std::size_t(state.range(0)) << 10, int(state.range(1)),
                                                             int(state.range(2)));
    for (auto _ : state) {
        const tarn::TMetafile m(wmf, "card.wmf");
        benchmark::DoNotOptimize(m.Render(1600, 1000).constBits());
    }
}
BENCHMARK(BM_HostileMetafile)
    ->ArgsProduct({{14, 1024}, {0, 4096 + 256}, {1}})
    ->Args({14, 2, 300})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

void BM_HostileRichText(benchmark::State& state)
{
    tarn::EnsureGuiApplication();
    const auto kind = THostileRtf(state.range(0));
    const std::string rtf = tarn::city::HostileRtf(kind, std::size_t(state.range(1)) << 10);
    for (auto _ : state) {
        // Laid out at a width as the text comes, as the viewer's document is.
        QTextDocument doc;
        if (state.range(2)) {
            doc.documentLayout();
            doc.setTextWidth(800);
        }
        tarn::ReadRichText(rtf, doc, "card.rtf");
        benchmark::DoNotOptimize(doc.characterCount());
    }
}
BENCHMARK(BM_HostileRichText)
    ->ArgsProduct({{int(THostileRtf::LongTable)}, {2200}, {0, 1}})
    ->ArgsProduct({{int(THostileRtf::ManyTables)}, {20 * 9999 * 32 / 1024}, {0, 1}})
    ->ArgsProduct({{int(THostileRtf::TablesAndText)}, {10240}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

} // namespace
