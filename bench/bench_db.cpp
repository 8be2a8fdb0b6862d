// The object database: reading a "tarn.dat" of 50 000 records (key records
// with a card every tenth) written through the database writer, as start-up
// reads it, every record handed to a callback.
#include "BenchDatabase.h"

#include "db/TarnData.h"

#include <benchmark/benchmark.h>

namespace tarn {
namespace {

void BM_LoadObjectDatabase(benchmark::State& state)
{
    static const bench::TDatabaseFolder folder([](int32_t i, city::TDataRecord& r) {
        r.Name = Utf8ToCp1251("МАГАЗИН «ПРОДУКТЫ» № ") + std::to_string(i);
        r.Group = 1 + i % 8;
        r.SubGroup = 101 + i % 40;
        r.Text2 = Utf8ToCp1251("ул. Полевая, ") + std::to_string(i % 200);
        r.Key = {0, 1, 134 + i % 6, 24, 1 + i / 6};
    });
    int64_t records = 0;
    for (auto _ : state) {
        TTarnDatabase db(nullptr, nullptr);
        int64_t cards = 0;
        db.OnRecord = [&](const TLoadedRecord& r) {
            ++records;
            cards += r.Kind == CardItemKind;
        };
        db.Load(folder.Dir);
        benchmark::DoNotOptimize(cards);
    }
    state.counters["records"] = benchmark::Counter(double(records), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_LoadObjectDatabase)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace tarn
