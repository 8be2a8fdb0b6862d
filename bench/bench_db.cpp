// The object database: reading a "tarn.dat" of 50 000 records (key records
// with a card every tenth) written through the database writer, as start-up
// reads it, every record handed to a callback.
#include "app/TarnData.h"
#include "platform/Cp1251.h"
#include "tools/CityData.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <unistd.h>

namespace tarn {
namespace {

struct TDatabaseFolder {
    std::string Dir;
    TDatabaseFolder()
    {
        char pattern[] = "/tmp/tarn-bench-db-XXXXXX";
        Dir = mkdtemp(pattern);
        std::vector<city::TDataGroup> groups;
        for (int32_t g = 1; g <= 8; ++g) groups.push_back({g, Utf8ToCp1251("Группа ") + std::to_string(g), 0});
        for (int32_t s = 101; s <= 140; ++s) groups.push_back({s, Utf8ToCp1251("Подгруппа ") + std::to_string(s), 1});
        city::TDataFileWriter w(groups);
        const std::string card(600, 'x');
        for (int32_t i = 0; i < 50000; ++i) {
            city::TDataRecord r;
            r.Name = Utf8ToCp1251("МАГАЗИН «ПРОДУКТЫ» № ") + std::to_string(i);
            r.Group = 1 + i % 8;
            r.SubGroup = 101 + i % 40;
            r.Text2 = Utf8ToCp1251("ул. Полевая, ") + std::to_string(i % 200);
            r.Key = {0, 1, 134 + i % 6, 24, 1 + i / 6};
            if (i % 10 == 0) {
                r.FileType = "TXT";
                r.Data = card;
            } else {
                r.FileType = city::NoData;
                r.DataPresent = false;
            }
            w.Add(r);
        }
        w.Save(Dir + "/tarn.dat");
    }
    ~TDatabaseFolder()
    {
        std::error_code ec;
        std::filesystem::remove_all(Dir, ec);
    }
};

void BM_LoadObjectDatabase(benchmark::State& state)
{
    static const TDatabaseFolder folder;
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
