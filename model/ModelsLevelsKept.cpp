// What a level switch keeps of the view's map: the sheets the new levels
// list again. Reading such a sheet again would give the objects the map
// already holds (scaled, their pictures opened) and lose the changes the
// user has not saved; so they move into the new map instead, and only the
// sheets new to the view are read.
#include "ModelsInternal.h"

#include "data/LayerDraw.h"
#include "data/LayerWalk.h"
#include "data/MapObj.h"

#include <algorithm>
#include <map>
#include <sys/stat.h>

namespace tarn {

namespace {

// The fields of the context that reading a sheet depends on.
bool SameReading(const TFileContext& a, const TFileContext& b)
{
    return a.FileVersion == b.FileVersion && a.FilerScale == b.FilerScale && a.OriginX == b.OriginX &&
           a.OriginY == b.OriginY && a.YBase == b.YBase && a.CurrentSheetID == b.CurrentSheetID;
}

// A sheet's layer lands in the last item of the tree with its name: the
// same names in the same order (groups included) send it to the same place.
std::vector<std::pair<std::string, bool>> TreeNames(const TMap& map)
{
    TCollection list;
    ListLayerTree(map, list);
    std::vector<std::pair<std::string, bool>> names;
    names.reserve(std::size_t(list.Count));
    for (int32_t i = 0; i < list.Count; ++i) {
        const TItem& e = *static_cast<const TItem*>(list.GetItem(i));
        names.emplace_back(e.Name, AsLayer(e.Layer) != nullptr);
    }
    return names;
}

} // namespace

TFileStamp StampOf(const std::string& path)
{
    TFileStamp s;
    struct stat sb {};
    if (::stat(path.c_str(), &sb) != 0) return s;
    s.Exists = true;
    s.Device = uint64_t(sb.st_dev);
    s.Inode = uint64_t(sb.st_ino);
    s.Size = uint64_t(sb.st_size);
    s.Modified = int64_t(sb.st_mtim.tv_sec) * 1000000000 + sb.st_mtim.tv_nsec;
    s.Changed = int64_t(sb.st_ctim.tv_sec) * 1000000000 + sb.st_ctim.tv_nsec;
    return s;
}

// ---------------------------------------------------------------- the keeper

TModel::TSheetKeeper::TSheetKeeper(std::shared_ptr<TMap> old, std::unique_ptr<TMapSheets> sheets, TMap& map,
                                   std::vector<TSheetLoad>& loads, bool spare)
    : Old(std::move(old)), OldSheets(std::move(sheets)), IsSpare(spare)
{
    if (!Old || !OldSheets || OldSheets->Sheets.empty() ||
        OldSheets->Sheets.size() > std::size_t(INT16_MAX) || TreeNames(*Old) != TreeNames(map)) {
        Done = std::move(Old);
        return;
    }
    const std::vector<TKeptSheet>& kept = OldSheets->Sheets;
    // Objects know their sheet by its identifier only: a sheet whose
    // identifier the map holds twice cannot be told apart, and is read.
    std::map<int32_t, int> uses;
    for (const TKeptSheet& k : kept) ++uses[k.Given.CurrentSheetID];
    std::vector<bool> chosen(kept.size(), false);
    std::vector<std::size_t> order(kept.size(), 0);  // the load that takes each
    for (std::size_t at = 0; at < loads.size(); ++at) {
        TSheetLoad& l = loads[at];
        if (l.Path.empty() || l.Kept) continue;
        for (std::size_t j = 0; j < kept.size(); ++j) {
            const TKeptSheet& k = kept[j];
            if (chosen[j] || k.ReadAgain || k.Path != l.Path || !SameReading(k.Given, l.Given) ||
                uses[k.Given.CurrentSheetID] != 1)
                continue;
            // A file changed since it was read is read again, unless the
            // map holds changes of the user's that a read would lose.
            if (!(StampOf(l.Path) == k.Stamp) && !OldSheets->Unsaved.count(k.Given.CurrentSheetID)) break;
            chosen[j] = true;
            order[j] = at;
            l.Kept = &k;
            Index[k.Given.CurrentSheetID] = int16_t(j);
            break;
        }
    }
    if (Index.empty()) {
        Done = std::move(Old);
        return;
    }
    CollectLayers(*Old, true, OldLayers);
    CollectLayers(map, true, NewLayers);
    if (LayoutFits()) {
        OldRuns = std::move(OldSheets->Layout);
    } else {
        // A sheet's objects lie together: the identifier is looked up once a
        // run. Their largest code comes along while they are at hand.
        OldRuns.assign(OldLayers.size(), {});
        for (std::size_t k = 0; k < OldLayers.size(); ++k) AddObjectRuns(OldRuns[k], *OldLayers[k], 0, OldLayers[k]->Count);
    }
    Runs.assign(kept.size(), {});
    for (const auto& [id, j] : Index) Runs[std::size_t(j)].assign(OldLayers.size(), {});
    Taken.assign(kept.size(), false);
    // A layer moves whole when its objects are all kept and the loads
    // bring their sheets in the order the objects lie; not when another
    // view still shows the old map.
    const bool alone = !spare && Old.use_count() == 1;
    WholeCandidate.assign(OldLayers.size(), false);
    Whole.assign(OldLayers.size(), false);
    FlagsKnown.assign(OldLayers.size(), false);
    const uint64_t flagSets = InViewFlagSets();
    for (std::size_t k = 0; k < OldLayers.size(); ++k)
        FlagsKnown[k] = OldLayers[k]->HitFlagSets == flagSets &&
                        OldLayers[k]->HitFlagged.size() == std::size_t(OldLayers[k]->Count);
    for (std::size_t k = 0; k < OldLayers.size(); ++k) {
        bool whole = alone && !OldRuns[k].empty();
        std::size_t last = 0;
        for (const TSheetRun& r : OldRuns[k]) {
            const auto at = Index.find(r.SheetID);
            if (at == Index.end()) {
                whole = false;
                continue;
            }
            const std::size_t j = std::size_t(at->second);
            Runs[j][k].push_back(r);
            whole = whole && order[j] >= last;
            last = order[j];
        }
        WholeCandidate[k] = whole;
    }
    for (std::size_t k = 0; k < NewLayers.size(); ++k) NewIndex[NewLayers[k]] = k;
    Placed.assign(NewLayers.size(), {});
    // What each new layer takes: its room is made once, with the sheets read.
    Incoming.assign(NewLayers.size(), 0);
    for (std::size_t k = 0; k < NewLayers.size(); ++k)
        for (const auto& [id, j] : Index)
            for (const TSheetRun& r : Runs[std::size_t(j)][k]) Incoming[k] += r.To - r.From;
}

bool TModel::TSheetKeeper::LayoutFits() const
{
    const auto& layout = OldSheets->Layout;
    if (!OldSheets->LayoutKnown || layout.size() != OldLayers.size()) return false;
    for (std::size_t k = 0; k < layout.size(); ++k) {
        const TCustomLayer& layer = *OldLayers[k];
        int32_t at = 0;
        for (const TSheetRun& r : layout[k]) {
            // The ends of each run still carry its sheet.
            if (r.From != at || r.To <= r.From || r.To > layer.Count || layer.Object(r.From)->SheetID != r.SheetID ||
                layer.Object(r.To - 1)->SheetID != r.SheetID)
                return false;
            at = r.To;
        }
        if (at != layer.Count) return false;
    }
    return true;
}

int32_t TModel::TSheetKeeper::KeptCount(const TCustomLayer* layer) const
{
    const auto k = NewIndex.find(layer);
    return k == NewIndex.end() || k->second >= Incoming.size() ? 0 : Incoming[k->second];
}

TModel::TSheetKeeper::~TSheetKeeper()
{
    if (Old) Share();
}

namespace {

// The objects, their search entries and what the marking knew of them.
void SwapObjects(TCustomLayer& a, TCustomLayer& b)
{
    std::swap(a.Items, b.Items);
    std::swap(a.Count, b.Count);
    std::swap(a.Capacity, b.Capacity);
    std::swap(a.HitIndex, b.HitIndex);
    std::swap(a.HitObjects, b.HitObjects);
    std::swap(a.HitView, b.HitView);
    std::swap(a.HitViewMarked, b.HitViewMarked);
    std::swap(a.HitFlagged, b.HitFlagged);
    std::swap(a.HitFlagSets, b.HitFlagSets);
    std::swap(a.HitBlocks, b.HitBlocks);
}

} // namespace

void TModel::TSheetKeeper::TakeWhole(const std::unordered_map<TCustomLayer*, int64_t>& incoming)
{
    if (!Old) return;
    for (std::size_t k = 0; k < NewLayers.size() && k < WholeCandidate.size(); ++k) {
        TCustomLayer& target = *NewLayers[k];
        const auto in = incoming.find(&target);
        if (!WholeCandidate[k] || target.Count != 0 || (in != incoming.end() && in->second != 0)) continue;
        SwapObjects(target, *OldLayers[k]);
        Placed[k] = OldRuns[k];
        Incoming[k] = 0;
        Whole[k] = true;
    }
}

void TModel::TSheetKeeper::Take(const TSheetLoad& load)
{
    const std::size_t j = std::size_t(load.Kept - OldSheets->Sheets.data());
    if (j >= Taken.size() || Taken[j]) return;
    for (std::size_t k = 0; k < NewLayers.size(); ++k) {
        if (Whole[k]) continue;
        for (const TSheetRun& r : Runs[j][k]) {
            const int32_t at = NewLayers[k]->Count;
            AppendMarkedObjects(*NewLayers[k], *OldLayers[k], r.From, r.To);
            Placed[k].push_back({r.SheetID, at, at + r.To - r.From, r.Largest});
        }
    }
    Taken[j] = true;
}

const std::vector<TSheetRun>& TModel::TSheetKeeper::TakenRuns(const TCustomLayer* layer) const
{
    static const std::vector<TSheetRun> none;
    const auto k = NewIndex.find(layer);
    return k == NewIndex.end() ? none : Placed[k->second];
}

std::set<int32_t> TModel::TSheetKeeper::UnsavedTaken() const
{
    std::set<int32_t> unsaved;
    for (std::size_t j = 0; j < Taken.size(); ++j) {
        const int32_t id = OldSheets->Sheets[j].Given.CurrentSheetID;
        if (Taken[j] && OldSheets->Unsaved.count(id)) unsaved.insert(id);
    }
    return unsaved;
}

// Both maps list the objects taken: each holds a reference. Those of a
// layer moved whole are in the new map alone.
void TModel::TSheetKeeper::Share()
{
    for (std::size_t j = 0; j < Taken.size(); ++j)
        if (Taken[j])
            for (std::size_t k = 0; k < OldLayers.size(); ++k)
                if (!Whole[k])
                    for (const TSheetRun& r : Runs[j][k])
                        for (int32_t i = r.From; i < r.To; ++i) ++OldLayers[k]->Object(i)->RefCount;
    Done = std::move(Old);
}

void TModel::TSheetKeeper::Finish()
{
    if (!Old) return;
    for (std::size_t k = 0; k < NewLayers.size(); ++k) {
        // A spare settles only what it brought: another keeper may have
        // moved a layer whole.
        if (IsSpare ? !Placed[k].empty() : !Whole[k]) SettleMarkedObjects(*NewLayers[k]);
        else if (Whole[k] && FlagsKnown[k]) NewLayers[k]->HitFlagSets = InViewFlagSets();
    }
    // Another view still shows the old map: it keeps the objects too.
    if (Old.use_count() > 1) {
        Share();
        return;
    }
    // The runs left are noted where they now lie.
    for (std::size_t k = 0; k < OldLayers.size(); ++k) {
        std::vector<TSheetRun>& runs = OldRuns[k];
        if (Whole[k]) {
            runs.clear();
            continue;
        }
        TCustomLayer& layer = *OldLayers[k];
        int32_t n = 0;
        std::size_t left = 0;
        for (const TSheetRun& r : runs) {
            const auto at = Index.find(r.SheetID);
            if (at != Index.end() && Taken[std::size_t(at->second)]) continue;
            if (n != r.From) std::copy(layer.Items.begin() + r.From, layer.Items.begin() + r.To, layer.Items.begin() + n);
            runs[left++] = {r.SheetID, n, n + r.To - r.From, r.Largest};
            n += r.To - r.From;
        }
        runs.resize(left);
        layer.Count = n;
        layer.InvalidateHitIndex();
    }
    Compacted = true;
    Done = std::move(Old);
}

std::unique_ptr<TModel::TMapSheets> TModel::TSheetKeeper::Left()
{
    if (!Compacted || !OldSheets) return nullptr;
    auto left = std::make_unique<TMapSheets>();
    left->Map = Done;
    for (std::size_t j = 0; j < OldSheets->Sheets.size(); ++j) {
        const TKeptSheet& k = OldSheets->Sheets[j];
        if ((j < Taken.size() && Taken[j]) || k.ReadAgain || OldSheets->Unsaved.count(k.Given.CurrentSheetID)) continue;
        left->Sheets.push_back(k);
    }
    if (left->Sheets.empty()) return nullptr;
    left->Layout = std::move(OldRuns);
    left->LayoutKnown = true;
    return left;
}

// ---------------------------------------------------------------- the model's side

void TModel::MergeKept(TSheetLoad& l, const TKeptSheet& kept, TSwitchInto& into)
{
    TSheet& s = *l.Sheet;
    if (FileState(l.Path).ReadOnly) s.Flags |= SheetFlagReadOnly;
    const int32_t projectScale = FileContext.ProjectScale;
    FileContext = kept.After;
    FileContext.ProjectScale = projectScale;
    s.LoadScale = kept.LoadScale;
    if (s.LoadScale != 0) FileContext.ProjectScale = s.LoadScale;
    into.Map.ExtraText1 = kept.PictureFolder;
    into.Sheets.Sheets.push_back(kept);
}

std::unique_ptr<TModel::TMapSheets> TModel::TakeMapSheets(const TMap* map)
{
    std::unique_ptr<TMapSheets> found;
    for (auto it = MapSheets.begin(); it != MapSheets.end();) {
        const std::shared_ptr<TMap> held = (*it)->Map.lock();
        if (held && held.get() == map && !found) {
            found = std::move(*it);
            it = MapSheets.erase(it);
        } else if (!held) {
            it = MapSheets.erase(it);
        } else {
            ++it;
        }
    }
    return found;
}

void TModel::NoteUnsaved(const TView* view, int32_t sheetID)
{
    if (!view || !view->Map) return;
    for (const auto& m : MapSheets)
        if (m->Map.lock() == view->Map) {
            m->Unsaved.insert(sheetID);
            m->LayoutKnown = false;
        }
    DropSpare();
}

void TModel::DropSpare()
{
    SpareMap.reset();
    SpareSheets.reset();
    SpareView = nullptr;
}

void TModel::NoteSaved()
{
    // The sheets a save writes: those loaded and writable.
    std::set<int32_t> written;
    for (int32_t li = 0; Project && li < Project->Count; ++li) {
        const TLevel& level = *static_cast<const TLevel*>(Project->GetItem(li));
        for (int32_t si = 0; si < level.Sheets->Count; ++si) {
            const TSheet& s = *static_cast<const TSheet*>(level.Sheets->GetItem(si));
            if ((s.Flags & SheetFlagLoaded) && !(s.Flags & SheetFlagReadOnly)) written.insert(s.FileID);
        }
    }
    for (const auto& m : MapSheets) {
        m->Unsaved.clear();
        for (TKeptSheet& k : m->Sheets)
            if (written.count(k.Given.CurrentSheetID)) k.Stamp = StampOf(k.Path);
    }
}

} // namespace tarn
