// A view's map for its level of detail: the working map's tree filled with
// the objects of the sheets of the levels that hold the view's scale.
#include "ModelsInternal.h"

#include "data/LayerDraw.h"
#include "data/LayerOps.h"
#include "data/LayerWalk.h"
#include "data/MapObjBmp.h"

#include <algorithm>

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

void TModel::LevelCheck(TView& view)
{
    if (!Project || !(view.MmPerPixel > 0)) return;
    const double d0 = view.PrevScale / view.MmPerPixel, d1 = view.Scale / view.MmPerPixel;
    for (int32_t li = 0; li < Project->Count; ++li) {
        const TLevel& level = *static_cast<TLevel*>(Project->GetItem(li));
        if (LevelHolds(level, d0) != LevelHolds(level, d1)) {
            LevelSwitch(view);
            return;
        }
    }
}

void TModel::LevelSwitch(TView& view)
{
    JoinDrawThread(view);
    SaveIfModified(false);
    std::unique_ptr<TMap> map;
    MergeLayers(*WorkMap, map, 0);
    view.Map = std::shared_ptr<TMap>(std::move(map));
    if (Project) {
        TRect load{Project->Origin.X, static_cast<int32_t>(int64_t(Project->Origin.Y) + Project->Extent.Top),
                   static_cast<int32_t>(int64_t(Project->Origin.X) + Project->Extent.Right), Project->Origin.Y};
        double d = view.MmPerPixel > 0 ? view.Scale / view.MmPerPixel : 0;
        for (int32_t li = 0; li < Project->Count; ++li) {
            TLevel& level = *static_cast<TLevel*>(Project->GetItem(li));
            for (int32_t si = 0; si < level.Sheets->Count; ++si)
                static_cast<TSheet*>(level.Sheets->GetItem(si))->Flags = 0;
        }
        for (int32_t li = 0; li < Project->Count; ++li) {
            TLevel& level = *static_cast<TLevel*>(Project->GetItem(li));
            if (!LevelHolds(level, d)) continue;
            CurrentLevel = li;
            LoadLevelSheets(level, *view.Map, load);
        }
    }
    LastSwitchedView = &view;
    StructureChanged = 0;
    UpdateLayerCodes(*view.Map);
    SetObjectFlags(view, 1, Highlight);
    Notify(12, 0, 0, reinterpret_cast<intptr_t>(&view));
}

void TModel::LoadLevelSheets(TLevel& level, TMap& map, TRect& load)
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
        FileContext.OriginX = static_cast<int32_t>(int64_t(s->Left) - Project->Origin.X + level.OffsetX);
        FileContext.OriginY = static_cast<int32_t>(int64_t(s->Bottom) - Project->Origin.Y + level.OffsetY);
        FileContext.YBase = s->Height;
        FileContext.CurrentSheetID = s->FileID;
        FileContext.FilerScale = level.Scale;
        TSheetFileState st = LoadSheetIntoMap(s->Name, map);
        if (st.ReadOnly) s->Flags |= SheetFlagReadOnly;
    }
}

TSheetFileState TModel::LoadSheetIntoMap(const std::string& fileName, TMap& map)
{
    std::string path = ResolveInProject(fileName);
    TSheetFileState state;
    std::unique_ptr<TMap> sheet;
    TFileContext saved = FileContext;
    try {
        sheet = ReadSheet(path, FileContext, state, true);
    } catch (const std::exception& e) {
        // A missing or unreadable sheet is skipped and kept from being overwritten.
        FileContext = saved;
        LastSheetError = e.what();
        state.ReadOnly = true;
        return state;
    }
    if (!sheet) {
        LastSheetError = path + ": not a map sheet";
        state.ReadOnly = true;
        return state;
    }
    if (sheet->MapParams.Ints[2] != 0) FileContext.ProjectScale = sheet->MapParams.Ints[2];
    if (LowerExtension(path) == ".map") ScaleLayerStyles(*sheet, ScaleObjectValues, FileContext.ProjectScale);
    std::vector<TCustomLayer*> layers;
    CollectLayers(*sheet, true, layers);
    // A picture's name is relative to the project's folder, never to the
    // process's current one; it is opened once, below.
    for (TCustomLayer* layer : layers)
        if (IsBitmapKind(layer->Kind))
            for (int32_t i = 0; i < layer->Count; ++i)
                if (auto* b = dynamic_cast<TBmp*>(layer->Object(i)); b && !b->FileName().empty() && b->FileName()[0] != '/') {
                    const std::string name = ResolveInProject(b->FileName());
                    b->SetFileName(std::string());
                    b->SetFileName(name);
                }
    for (TCustomLayer* layer : layers) {
        TCustomLayer* target = AsLayer(FindLayerByName(map, layer->Name));
        if (!target) continue;
        for (int32_t i = 0; i < layer->Count; ++i) target->Insert(layer->GetItem(i));
        layer->Clear();
    }
    BuildRasterLayers(2, *sheet, map);
    map.ExtraText1 = sheet->ExtraText1;
    LoadLayerBitmaps(map);
    return state;
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

void TModel::UpdateLayerCodes(const TMap& viewMap)
{
    std::vector<TCustomLayer*> layers;
    CollectLayers(viewMap, true, layers);
    for (TCustomLayer* layer : layers) {
        TCustomLayer* target = FindLayerById(*WorkMap, layer->LayerId);
        if (target) target->LargestCode = static_cast<uint16_t>(LargestCode(*layer));
    }
}

} // namespace tarn
