// A view's map for its level of detail: the working map's tree filled with
// the objects of the sheets of the levels that hold the view's scale.
//
// A switch keeps the objects of the sheets the view's map already holds
// and the new levels list again (ModelsLevelsKept). It reads the others,
// each into a map of its own and with a file context of its own (the
// model's state with the sheet's origins), on as many threads as the
// machine has cores, and scales their sizes there (a sheet whose sizes do
// not scale is skipped as unreadable); then, on this thread and in the
// levels' and sheets' order, it opens their pictures and moves their
// objects, read or kept, into the view's map. Reading one by one, or all
// again, gives the same map.
#include "ModelsInternal.h"

#include "data/FileNames.h"
#include "data/LayerDraw.h"
#include "data/LayerOps.h"
#include "data/LayerWalk.h"
#include "data/MapObjBmp.h"

#include <algorithm>
#include <atomic>
#include <malloc.h>
#include <unordered_map>
#include <optional>
#include <system_error>
#include <thread>

namespace tarn {

namespace {

bool LevelHolds(const TLevel& level, double denominator)
{
    return (level.Flags & 0xFF) == 0 && level.MinScale < denominator && denominator < level.MaxScale;
}

} // namespace

int32_t LargestCode(const TCustomLayer& layer)
{
    int32_t best = 0;
    for (int32_t i = 0; i < layer.Count; ++i) best = std::max(best, layer.Object(i)->Code);
    return best;
}

TView* TModel::SheetSourceView() const
{
    if (LastSwitchedView && std::find(Views.begin(), Views.end(), LastSwitchedView) != Views.end())
        return LastSwitchedView;
    return Views.empty() ? nullptr : Views.front();
}

bool TModel::LevelsDiffer(const TView& view, double scale0, double scale1) const
{
    if (!Project || !(view.MmPerPixel > 0)) return false;
    const double d0 = scale0 / view.MmPerPixel, d1 = scale1 / view.MmPerPixel;
    for (int32_t li = 0; li < Project->Count; ++li) {
        const TLevel& level = *static_cast<TLevel*>(Project->GetItem(li));
        if (LevelHolds(level, d0) != LevelHolds(level, d1)) return true;
    }
    return false;
}

void TModel::LevelCheck(TView& view)
{
    if (&view == HeldView) {
        HeldChecked = true;
        return;
    }
    if (LevelsDiffer(view, view.PrevScale, view.Scale)) LevelSwitch(view);
}

TModel::TLevelHold::TLevelHold(TModel& model, TView& view)
    : Model(model), View(view), Outer(model.HeldView), From(view.Scale)
{
    if (Outer) return;  // the outer hold decides
    Model.HeldView = &view;
    Model.HeldChecked = false;
}

TModel::TLevelHold::~TLevelHold()
{
    if (Outer) return;
    Model.HeldView = nullptr;
    if (!Model.HeldChecked || !Model.LevelsDiffer(View, From, View.Scale)) return;
    try {
        Model.LevelSwitch(View);
        // Marks the new map's objects in view (the rectangle is held already).
        Model.ClampToExtent(View);
        Model.InvalidateView(View);
    } catch (const std::exception& e) {
        Model.UI().ShowError(e.what());
    }
}

void TModel::LevelSwitch(TView& view)
{
    JoinDrawThread(view);
    SaveIfModified(false);
    std::shared_ptr<TMap> old = std::move(view.Map);
    std::unique_ptr<TMapSheets> oldSheets = TakeMapSheets(old.get());
    std::unique_ptr<TMap> map;
    MergeLayers(*WorkMap, map, 0);
    view.Map = std::shared_ptr<TMap>(std::move(map));
    auto sheets = std::make_unique<TMapSheets>();
    sheets->Map = view.Map;
    std::optional<TSheetKeeper> keeper, spare;
    std::unique_ptr<TMapSheets> left;
    TReadRuns readRuns;
    std::shared_ptr<TMap> spareMap = std::move(SpareMap);
    std::unique_ptr<TMapSheets> spareSheets = std::move(SpareSheets);
    if (SpareView != &view) spareMap.reset();
    DropSpare();
    if (Project) {
        TRect load{Project->Origin.X, static_cast<int32_t>(int64_t(Project->Origin.Y) + Project->Extent.Top),
                   static_cast<int32_t>(int64_t(Project->Origin.X) + Project->Extent.Right), Project->Origin.Y};
        double d = view.MmPerPixel > 0 ? view.Scale / view.MmPerPixel : 0;
        for (int32_t li = 0; li < Project->Count; ++li) {
            TLevel& level = *static_cast<TLevel*>(Project->GetItem(li));
            for (int32_t si = 0; si < level.Sheets->Count; ++si)
                static_cast<TSheet*>(level.Sheets->GetItem(si))->Flags = 0;
        }
        TFolderNames names;
        std::vector<TSheetLoad> loads;
        for (int32_t li = 0; li < Project->Count; ++li) {
            TLevel& level = *static_cast<TLevel*>(Project->GetItem(li));
            if (!LevelHolds(level, d)) continue;
            CurrentLevel = li;
            LoadLevelSheets(level, load, loads, names);
        }
        keeper.emplace(std::move(old), std::move(oldSheets), *view.Map, loads);
        if (spareMap) spare.emplace(std::move(spareMap), std::move(spareSheets), *view.Map, loads, true);
        TSwitchInto into{*view.Map, *sheets, {}, readRuns};
        IndexLayers(into);
        ReadSheets(loads);
        SizeLayers(loads, into, *keeper, spare ? &*spare : nullptr);
        for (TSheetLoad& l : loads) {
            if (!l.Kept) {
                MergeSheet(l, into, names);
                continue;
            }
            (spare && spare->Holds(l.Kept) ? *spare : *keeper).Take(l);
            MergeKept(l, *l.Kept, into);
        }
        sheets->Unsaved = keeper->UnsavedTaken();
        keeper->Finish();
        old = keeper->Spent();
        left = keeper->Left();
        if (spare) {
            spare->Finish();
            spareMap = spare->Spent();
        }
        ReportLoadErrors();
    }
    TMapSheets* record = sheets.get();
    MapSheets.push_back(std::move(sheets));
    // A small map let go of, whose sheets a step back lists again, is kept
    // aside for it (after the highlight is set below, which lets go of it).
    std::shared_ptr<TMap> kept;
    if (left && old && old.use_count() == 1) {
        const int64_t n = AloneObjects(*old);
        if (n >= 0 && n < TMapFreer::SpentAsideFrom) kept = std::move(old);
    }
    spareMap.reset();  // what a step back left of it: a band's labels at most
    FreeSpentMap(std::move(old));
    LastSwitchedView = &view;
    // Changes kept with their sheets are still to be saved.
    StructureChanged = 0;
    for (const auto& m : MapSheets)
        if (!m->Unsaved.empty()) StructureChanged = 1;
    UpdateLayerCodes(*view.Map, keeper ? &*keeper : nullptr, record, &readRuns);
    SetObjectFlags(view, 1, Highlight);
    if (kept) {
        SpareMap = std::move(kept);
        SpareSheets = std::move(left);
        SpareView = &view;
    }
    Notify(12, 0, 0, reinterpret_cast<intptr_t>(&view));
}

void TModel::LoadLevelSheets(TLevel& level, TRect& load, std::vector<TSheetLoad>& loads, TFolderNames& names)
{
    std::vector<TSheet*> chosen;
    for (int32_t si = 0; si < level.Sheets->Count; ++si) {
        TSheet& s = *static_cast<TSheet*>(level.Sheets->GetItem(si));
        s.Flags &= static_cast<uint16_t>(~SheetFlagLoaded);
        int64_t left = int64_t(s.Left) + level.OffsetX, bottom = int64_t(s.Bottom) + level.OffsetY;
        int64_t right = left + s.Width, top = bottom + s.Height;
        if (left >= load.Left && right <= load.Right && bottom >= load.Bottom && top <= load.Top) chosen.push_back(&s);
    }
    for (TSheet* s : chosen) {
        load.Left = std::min(load.Left, s->Left);
        load.Bottom = std::min(load.Bottom, s->Bottom);
        load.Right = static_cast<int32_t>(std::max<int64_t>(load.Right, int64_t(s->Left) + s->Width));
        load.Top = static_cast<int32_t>(std::max<int64_t>(load.Top, int64_t(s->Bottom) + s->Height));
    }
    for (TSheet* s : chosen) {
        s->Flags |= SheetFlagLoaded;
        TSheetLoad& l = loads.emplace_back();
        l.Sheet = s;
        l.Given = FileContext;
        l.Given.OriginX = static_cast<int32_t>(int64_t(s->Left) - Project->Origin.X + level.OffsetX);
        l.Given.OriginY = static_cast<int32_t>(int64_t(s->Bottom) - Project->Origin.Y + level.OffsetY);
        l.Given.YBase = s->Height;
        l.Given.CurrentSheetID = s->FileID;
        l.Given.FilerScale = level.Scale;
        l.Context = l.Given;
        try {
            l.Path = ResolveInProject(s->Name, &names);
        } catch (const ETarnError& e) {
            l.Error = e.what();
        }
    }
}

void TModel::ReadSheets(std::vector<TSheetLoad>& loads)
{
    auto read = [this](TSheetLoad& l) {
        if (l.Path.empty() || l.Kept) return;
        l.Stamp = StampOf(l.Path);
        try {
            l.Map = ReadSheet(l.Path, l.Context, l.State, true);
            if (!l.Map) {
                l.Error = l.Path + ": not a map sheet";
                return;
            }
            // Sizes are scaled with the sheet's own scale (0: stored as
            // drawn), and saving converts them back with the same.
            if (LowerExtension(l.Path) == ".map")
                ScaleLayerStyles(*l.Map, ScaleObjectValues, l.Map->MapParams.Ints[2]);
            // The view's marking then asks only the objects near it.
            std::vector<TCustomLayer*> layers;
            CollectLayers(*l.Map, true, layers);
            l.LayerRuns.resize(layers.size());
            for (std::size_t k = 0; k < layers.size(); ++k) {
                const TCustomLayer& layer = *layers[k];
                MakeReadEntries(layer);
                AddObjectRuns(l.LayerRuns[k], layer, 0, layer.Count);
            }
        } catch (const std::exception& e) {
            l.Map.reset();
            l.Error = e.what();
        }
    };
    std::size_t threads = LoadThreads > 0 ? std::size_t(LoadThreads) : std::max(1u, std::thread::hardware_concurrency());
    threads = std::min<std::size_t>(threads, std::count_if(loads.begin(), loads.end(), [](const TSheetLoad& l) {
                                        return !l.Path.empty() && !l.Kept;
                                    }));
    if (threads <= 1) {
        for (TSheetLoad& l : loads) read(l);
        return;
    }
    // Sheets are independent: each worker takes the next one not yet taken.
    std::atomic<std::size_t> next{0};
    auto work = [&] {
        for (std::size_t i; (i = next.fetch_add(1)) < loads.size();) read(loads[i]);
    };
    std::vector<std::thread> pool;
    pool.reserve(threads - 1);
    try {
        for (std::size_t t = 1; t < threads; ++t) pool.emplace_back(work);
    } catch (const std::system_error&) {
        // Fewer threads than asked for: the rest is read here.
    }
    work();
    for (std::thread& t : pool) t.join();
}

void TModel::MergeSheet(TSheetLoad& l, TSwitchInto& into, TFolderNames& names)
{
    TMap& map = into.Map;
    TSheet& s = *l.Sheet;
    if (!l.Map) {
        // A missing or unreadable sheet is skipped and kept from being overwritten.
        LastSheetError = l.Error;
        LoadErrors.push_back(s.Name + ": " + l.Error);
        s.Flags |= SheetFlagReadOnly;
        return;
    }
    if (l.State.ReadOnly) s.Flags |= SheetFlagReadOnly;
    TMap& sheet = *l.Map;
    const int32_t projectScale = FileContext.ProjectScale;
    FileContext = l.Context;
    FileContext.ProjectScale = projectScale;
    s.LoadScale = sheet.MapParams.Ints[2];
    if (s.LoadScale != 0) FileContext.ProjectScale = s.LoadScale;
    std::vector<TCustomLayer*> layers;
    CollectLayers(sheet, true, layers);
    // A picture's name is relative to the project's folder, never to the
    // process's current one; each is opened once, here.
    for (TCustomLayer* layer : layers)
        if (IsBitmapKind(layer->Kind))
            for (int32_t i = 0; i < layer->Count; ++i)
                if (auto* b = dynamic_cast<TBmp*>(layer->Object(i)); b && !b->FileName().empty()) {
                    try {
                        const std::string name = ResolveInProject(b->FileName(), &names);
                        b->SetFileName(std::string());
                        b->SetFileName(name);
                        b->LoadPicture(&names);
                    } catch (const EOutsideFolder& e) {
                        LoadErrors.push_back(s.Name + ": picture " + e.what());
                    }
                }
    const bool summed = l.LayerRuns.size() == layers.size();
    for (std::size_t k = 0; k < layers.size(); ++k) {
        TCustomLayer* layer = layers[k];
        const auto found = into.Layers.find(layer->Name);
        TCustomLayer* target = found == into.Layers.end() ? nullptr : found->second;
        if (!target) continue;
        // The sheet's objects passed the layer's check as they were read.
        const int64_t count = int64_t(target->Count) + layer->Count;
        if (count > TObjList::MaxCapacity) {
            for (int32_t i = 0; i < layer->Count; ++i) target->Insert(layer->GetItem(i));  // throws when full
        } else {
            const int32_t at = target->Count;
            AppendMarkedObjects(*target, *layer, 0, layer->Count);
            if (summed) {
                std::vector<TSheetRun>& runs = into.ReadRuns.Of[target];
                for (const TSheetRun& r : l.LayerRuns[k]) runs.push_back({r.SheetID, at + r.From, at + r.To, r.Largest});
            }
        }
        layer->Clear();
    }
    BuildRasterLayers(2, sheet, map, &names);
    map.ExtraText1 = sheet.ExtraText1;
    const bool pictures = sheet.Extras && sheet.Extras->Count > 0;
    into.Sheets.Sheets.push_back({l.Path, l.Given, l.Context, l.Stamp, s.LoadScale, sheet.ExtraText1, pictures});
    if (pictures) IndexLayers(into);
    l.Map.reset();
}

void TModel::SizeLayers(const std::vector<TSheetLoad>& loads, TSwitchInto& into, TSheetKeeper& keeper,
                        const TSheetKeeper* spare)
{
    std::unordered_map<TCustomLayer*, int64_t> incoming;
    std::vector<TCustomLayer*> layers;
    for (const TSheetLoad& l : loads) {
        if (!l.Map) continue;
        layers.clear();
        CollectLayers(*l.Map, true, layers);
        for (const TCustomLayer* layer : layers)
            if (const auto found = into.Layers.find(layer->Name); found != into.Layers.end() && found->second)
                incoming[found->second] += layer->Count;
    }
    if (spare)
        for (const auto& [name, target] : into.Layers)
            if (target) incoming[target] += spare->KeptCount(target);
    keeper.TakeWhole(incoming);
    for (const auto& [name, target] : into.Layers) {
        if (!target) continue;
        const int64_t n = int64_t(target->Count) + incoming[target] + keeper.KeptCount(target);
        if (n > target->Capacity) target->SetCapacity(int32_t(std::min<int64_t>(n, TObjList::MaxCapacity)));
        target->HitObjects.reserve(std::size_t(n));
        target->HitIndex.reserve(std::size_t(n));
        target->HitFlagged.reserve(std::size_t(n));
    }
}

int64_t TModel::AloneObjects(const TMap& map)
{
    // Aside only what belongs to this map alone: objects with no other
    // holder and no owner, no pictures, layers owned within the tree.
    if (map.Extras && map.Extras->Count > 0) return -1;
    std::vector<const TCollection*> open{&map}, own{&map};
    int64_t objects = 0;
    while (!open.empty()) {
        const TCollection& c = *open.back();
        open.pop_back();
        for (int32_t i = 0; i < c.Count; ++i) {
            const TAbstractItem* item = c.GetItem(i);
            if (!item || (item->Owner && std::find(own.begin(), own.end(), item->Owner) == own.end())) return -1;
            if (const TCustomLayer* layer = dynamic_cast<const TCustomLayer*>(item)) {
                if (IsBitmapKind(layer->Kind) && layer->Count > 0) return -1;
                objects += layer->Count;
                for (int32_t j = 0; j < layer->Count; ++j) {
                    const TAbstractItem* o = layer->GetItem(j);
                    if (!o || o->RefCount != 0 || o->Owner) return -1;
                }
            } else if (const TCollection* group = dynamic_cast<const TCollection*>(item)) {
                open.push_back(group);
                own.push_back(group);
            }
        }
    }
    return objects;
}

void TModel::FreeSpentMap(std::shared_ptr<TMap> map)
{
    if (map && map.use_count() > 1) map.reset();
    if (map && AloneObjects(*map) < TMapFreer::SpentAsideFrom) map.reset();  // freed here, as the last reference goes
    // A freer still at work goes on; those done are let go of.
    std::erase_if(MapFreers, [](const std::unique_ptr<TMapFreer>& f) { return f->Cancel(); });
    try {
        MapFreers.push_back(std::make_unique<TMapFreer>(std::move(map)));
    } catch (const std::system_error&) {
        // No thread to spare: freed here, the pages kept.
    }
}

void TModel::JoinMapFreer() { MapFreers.clear(); }

TModel::TMapFreer::TMapFreer(std::shared_ptr<TMap> spent)
{
    Thread = std::thread([this, spent = std::move(spent)]() mutable {
        spent.reset();
        std::unique_lock<std::mutex> lock(Lock);
        Freed = true;
        if (!Wake.wait_for(lock, TrimDelay, [this] { return Stop; })) malloc_trim(0);
    });
}

bool TModel::TMapFreer::Cancel()
{
    std::lock_guard<std::mutex> lock(Lock);
    Stop = true;
    Wake.notify_all();
    return Freed;
}

TModel::TMapFreer::~TMapFreer()
{
    Cancel();
    Thread.join();
}

void TModel::IndexLayers(TSwitchInto& into)
{
    TCollection tree;
    ListLayerTree(into.Map, tree);
    into.Layers.clear();
    for (int32_t i = 0; i < tree.Count; ++i) {
        const TItem& e = *static_cast<const TItem*>(tree.GetItem(i));
        if (e.Layer != &into.Map) into.Layers[e.Name] = AsLayer(e.Layer);
    }
}

void TModel::ReportLoadErrors()
{
    std::string message;
    for (const std::string& e : LoadErrors)
        if (ReportedLoadErrors.insert(e).second) message += (message.empty() ? "" : "\n") + e;
    LoadErrors.clear();
    if (!message.empty()) UI().ShowError(message);
}

void TModel::RefreshViews()
{
    for (TView* v : std::vector<TView*>(Views)) {
        LevelSwitch(*v);
        MarkViewObjects(*v);
        JoinDrawThread(*v);
        InvalidateView(*v);
    }
}

void AddRun(std::vector<TSheetRun>& runs, const TSheetRun& r)
{
    if (!runs.empty() && runs.back().SheetID == r.SheetID && runs.back().To == r.From) {
        runs.back().To = r.To;
        runs.back().Largest = std::max(runs.back().Largest, r.Largest);
    } else {
        runs.push_back(r);
    }
}

void AddObjectRuns(std::vector<TSheetRun>& runs, const TCustomLayer& layer, int32_t from, int32_t to)
{
    for (int32_t i = from; i < to; ++i) {
        const TBaseObject& o = *layer.Object(i);
        AddRun(runs, {o.SheetID, i, i + 1, std::max(0, o.Code)});
    }
}

void TModel::UpdateLayerCodes(const TMap& viewMap) { UpdateLayerCodes(viewMap, nullptr, nullptr, nullptr); }

void TModel::UpdateLayerCodes(const TMap& viewMap, const TSheetKeeper* keeper, TMapSheets* sheets,
                              const TReadRuns* readRuns)
{
    std::vector<TCustomLayer*> layers;
    CollectLayers(*WorkMap, true, layers);
    std::unordered_map<int32_t, TCustomLayer*> byId;  // the last layer of each identifier
    for (TCustomLayer* l : layers) byId[l->LayerId] = l;
    CollectLayers(viewMap, true, layers);
    if (sheets) {
        sheets->Layout.assign(layers.size(), {});
        sheets->LayoutKnown = true;
    }
    std::vector<TSheetRun> scratch, known;
    for (std::size_t k = 0; k < layers.size(); ++k) {
        const TCustomLayer& layer = *layers[k];
        std::vector<TSheetRun>& runs = sheets ? sheets->Layout[k] : scratch;
        runs.clear();
        // The objects a switch kept brought their runs along, and those it
        // read were summed up by their reader; the others are looked at.
        int32_t i = 0;
        known.clear();
        if (keeper) known = keeper->TakenRuns(layers[k]);
        if (readRuns)
            if (const auto read = readRuns->Of.find(layers[k]); read != readRuns->Of.end()) {
                known.insert(known.end(), read->second.begin(), read->second.end());
                std::sort(known.begin(), known.end(), [](const TSheetRun& a, const TSheetRun& b) { return a.From < b.From; });
            }
        for (const TSheetRun& r : known) {
            AddObjectRuns(runs, layer, i, r.From);
            AddRun(runs, r);
            i = r.To;
        }
        AddObjectRuns(runs, layer, i, layer.Count);
        const auto target = byId.find(layer.LayerId);
        if (target == byId.end()) continue;
        int32_t best = 0;
        for (const TSheetRun& r : runs) best = std::max(best, r.Largest);
        target->second->LargestCode = static_cast<uint16_t>(best);
    }
}

} // namespace tarn
