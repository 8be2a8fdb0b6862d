// The search lists: a keystroke in a search panel over 50 000 names (the
// list's key-up handler with its edit and list box, as the user types),
// and loading a 50 000-record object database into the object list and
// the action registry (the reader and the placement, sorted at the end),
// alone and with a supplement that names 20 000 of its objects again.
#include "BenchDatabase.h"

#include "app/search/ObjectDb.h"
#include "app/search/SearchObj.h"
#include "platform/Cp1251.h"
#include "platform/Keys.h"

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>

#include <benchmark/benchmark.h>

#include <malloc.h>
#include <string>

namespace tarn {
namespace {

QApplication& Application()
{
    static int argc = 1;
    static char name[] = "tarn_bench";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return new QApplication(argc, argv);
    }();
    return *app;
}

const char* const Titles[] = {"МАГАЗИН", "АПТЕКА", "КАФЕ", "ШКОЛА", "БИБЛИОТЕКА", "ПАРИКМАХЕРСКАЯ",
                              "БАНК", "ГОСТИНИЦА", "АВТОСЕРВИС", "ПОЧТОВОЕ ОТДЕЛЕНИЕ"};
const char* const Words[] = {"ЛЕСНАЯ", "САДОВАЯ", "ЗЕЛЁНАЯ", "ПОЛЕВАЯ", "РЕЧНАЯ", "МИРА", "ТРУДА", "ЗАРЯ",
                             "ВОСТОК", "СЕВЕР", "ОКТЯБРЬ", "ЮНОСТЬ", "РОДНИК", "КОЛОС", "ВОЛНА", "ЛИСТОК"};

// 50 000 different names of organisations, in code page 1251.
std::string OrganisationName(int32_t i)
{
    return Utf8ToCp1251(std::string(Titles[i % 10]) + " «" + Words[(i / 10) % 16] + "» № " + std::to_string(i));
}

struct TPanel {
    TPanel() : App(Application()), List(nullptr, nullptr, nullptr)
    {
        List.BeginUpdate();
        for (int32_t i = 0; i < 50000; ++i)
            List.AddItem(OrganisationName(i), MakeObjectData(nullptr, nullptr, {0, 1, 134, 24, i}));
        List.EndUpdate();
        List.SetListBox(&Box);
        List.SetEdit(&Edit);
    }
    QApplication& App;  // before the widgets
    TSearchText List;
    QListWidget Box;
    QLineEdit Edit;
};

// One keystroke: the edit holds the text typed so far and the key goes up.
void BM_SearchKeystroke(benchmark::State& state, const char* typed)
{
    static TPanel panel;
    const QString text = QString::fromUtf8(typed);
    for (auto _ : state) {
        state.PauseTiming();
        panel.Edit.setText(text);
        state.ResumeTiming();
        TKeyArgs key{'A', 0, text.right(1)};
        panel.List.EditKeyUp(key);
        benchmark::DoNotOptimize(panel.List.ItemIndex);
    }
}
// The first name that begins with the text, completed.
BENCHMARK_CAPTURE(BM_SearchKeystroke, Prefix, "аптека «род")->Unit(benchmark::kMicrosecond);
// No name begins with it: the first that holds every word, near the end.
BENCHMARK_CAPTURE(BM_SearchKeystroke, Words, "родник 49")->Unit(benchmark::kMicrosecond);
// Nothing holds every word: the whole list is searched.
BENCHMARK_CAPTURE(BM_SearchKeystroke, NoMatch, "ЗАРЯ ВОСТОК")->Unit(benchmark::kMicrosecond);

// Every placement rule a quarter of the records.
void PlacedOrganisation(int32_t i, city::TDataRecord& r)
{
    r.Name = OrganisationName(i);
    r.Group = i % 4 < 2 ? 1 + i % 8 : 0;
    r.SubGroup = i % 4 == 0 || i % 4 == 2 ? 101 + i % 40 : 0;
    r.ExtraListing = i % 3 == 0;
    r.Key = {0, 1, 134 + i % 6, 24, 1 + i / 6};
}

// Loads the folder's database into fresh lists as start-up does, the lists
// going outside the measure.
void LoadAndPlace(benchmark::State& state, const std::string& dir)
{
    int64_t placed = 0;
    for (auto _ : state) {
        auto objects = std::make_unique<TSearchText>(nullptr, nullptr, nullptr);
        auto actions = std::make_unique<TSearchObject>(nullptr, nullptr, nullptr);
        objects->BeginUpdate();
        TTarnDatabase db(nullptr, nullptr);
        db.OnRecord = [&](const TLoadedRecord& r) { placed += PlaceObjectRecord(*objects, *actions, r); };
        db.Load(dir);
        objects->EndUpdate();
        // The first look-up makes the registry's index.
        benchmark::DoNotOptimize(actions->HasAction(TickerKey));
        // Tidying the heap they leave goes outside too (the program loads
        // into a fresh one).
        state.PauseTiming();
        objects.reset();
        actions.reset();
        malloc_trim(0);
        state.ResumeTiming();
    }
    state.counters["placed"] = benchmark::Counter(double(placed), benchmark::Counter::kAvgIterations);
}

void BM_LoadAndPlaceObjectDatabase(benchmark::State& state)
{
    static const bench::TDatabaseFolder folder(PlacedOrganisation);
    LoadAndPlace(state, folder.Dir);
}
BENCHMARK(BM_LoadAndPlaceObjectDatabase)->Unit(benchmark::kMillisecond);

void BM_LoadAndPlaceReplacingSupplement(benchmark::State& state)
{
    static const bench::TDatabaseFolder folder(PlacedOrganisation);
    // Record j of "tarn.d01" names object j * 5 / 2 again under a new name.
    static const bool written = [] {
        folder.Write("tarn.d01", bench::TDatabaseFolder::Groups(), 20000, [](int32_t j, city::TDataRecord& r) {
            PlacedOrganisation(j * 5 / 2, r);
            r.Name += Utf8ToCp1251(" (НОВЫЙ АДРЕС)");
        });
        return true;
    }();
    benchmark::DoNotOptimize(written);
    LoadAndPlace(state, folder.Dir);
}
BENCHMARK(BM_LoadAndPlaceReplacingSupplement)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace tarn
