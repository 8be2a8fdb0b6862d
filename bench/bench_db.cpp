// The object database: reading a "tarn.dat" of 50 000 records (key records
// with a card every tenth) written through the database writer, as start-up
// reads it, every record handed to a callback; and a file whose group table
// has a million entries, with 20 000 records each naming a group and a
// subgroup spread over the table.
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

void BM_LoadLargeGroupTable(benchmark::State& state)
{
    // Entry k: id k / 2 + 1, a group at even k and a subgroup at odd k.
    constexpr int32_t Entries = 1000000;
    static const bench::TDatabaseFolder folder;
    static const bool written = [] {
        std::vector<city::TDataGroup> groups;
        groups.reserve(Entries);
        for (int32_t k = 0; k < Entries; ++k)
            groups.push_back({k / 2 + 1, Utf8ToCp1251("Группа ") + std::to_string(k), k % 2});
        folder.Write("tarn.dat", groups, 20000, [](int32_t i, city::TDataRecord& r) {
            r.Name = Utf8ToCp1251("МАГАЗИН № ") + std::to_string(i);
            // Spread over the table; every 50th names no entry at all.
            r.Group = i % 50 == 0 ? Entries : 1 + int32_t(int64_t(i) * 7919 % (Entries / 2));
            r.SubGroup = 1 + int32_t(int64_t(i) * 104729 % (Entries / 2));
            r.Key = {0, 1, 134, 24, 1 + i};
        });
        return true;
    }();
    benchmark::DoNotOptimize(written);
    int64_t named = 0;
    for (auto _ : state) {
        TTarnDatabase db(nullptr, nullptr);
        db.OnRecord = [&](const TLoadedRecord& r) { named += !r.GroupName.empty() + !r.SubGroupName.empty(); };
        db.Load(folder.Dir);
    }
    state.counters["named"] = benchmark::Counter(double(named), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_LoadLargeGroupTable)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace tarn
