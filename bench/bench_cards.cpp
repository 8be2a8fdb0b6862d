// Opening a card: the demo city's rich text read into a document, its
// stadium metafile replayed at its screen size, its zip site unpacked.
#include "app/cards/Unzip.h"
#include "platform/Metafile.h"
#include "platform/RichText.h"
#include "platform/gdi/Gdi.h"
#include "tools/CityCards.h"

#include <QImage>
#include <QTemporaryDir>
#include <QTextDocument>

#include <benchmark/benchmark.h>

namespace {

const tarn::city::TCardSubject Subject{"ГОРОДСКАЯ КЛИНИЧЕСКАЯ БОЛЬНИЦА",
                                       {"Приёмное отделение работает круглосуточно.", "Телефон: 6-30-89",
                                        "Часы работы: с 9 до 18, без перерыва."},
                                       7};

void BM_CardRichText(benchmark::State& state)
{
    tarn::EnsureGuiApplication();
    const std::string rtf = tarn::city::RtfCard(Subject);
    for (auto _ : state) {
        QTextDocument doc;
        tarn::ReadRichText(rtf, doc, "card.rtf");
        benchmark::DoNotOptimize(doc.characterCount());
    }
}
BENCHMARK(BM_CardRichText)->Unit(benchmark::kMicrosecond);

void BM_CardMetafile(benchmark::State& state)
{
    tarn::EnsureGuiApplication();
    const std::string wmf = tarn::city::WmfCard(Subject);
    for (auto _ : state) {
        const tarn::TMetafile m(wmf, "card.wmf");
        benchmark::DoNotOptimize(m.Render(m.PixelWidth(), m.PixelHeight()).constBits());
    }
}
BENCHMARK(BM_CardMetafile)->Unit(benchmark::kMicrosecond);

void BM_CardZipSite(benchmark::State& state)
{
    const std::string zip = tarn::city::ZipSiteCard(Subject);
    for (auto _ : state) {
        QTemporaryDir dir;
        benchmark::DoNotOptimize(tarn::UnzipToFolder(zip, dir.path().toStdString(), "card.zip"));
    }
}
BENCHMARK(BM_CardZipSite)->Unit(benchmark::kMicrosecond);

} // namespace
