#pragma once
// What the parts of the model share and nobody else needs.
#include "model/Models.h"
#include "data/Utils.h"

#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

namespace tarn {

// A document read into fresh state; the model takes it only when the whole
// read succeeded. Null parts were not in the file (a ".mts" block missing)
// and leave the model's own.
struct TModel::TDocument {
    std::unique_ptr<TProject> Project;
    std::unique_ptr<TMap> WorkMap;
    std::unique_ptr<TCollection> CollectionA;
    std::unique_ptr<TCollection> Compounds;
    std::unique_ptr<TCollection> CollectionB;
    bool HasSettings = false;
    std::string LibraryName;
    int32_t StoredValue = 0;
    uint8_t OpenedFromMap = 0;
    std::unique_ptr<TMapHeaderBlock> Header;
    TFileContext Context;
    std::string FileName;      // the file being read; its sheets resolve in its folder
    std::string SheetLibrary;  // the library name of the last sheet added
};

// Every file a save writes, complete in memory before any is replaced.
struct TModel::TSaveBatch {
    struct TFile {
        std::string Path;
        std::string Bytes;
        bool Backup = false;
    };
    struct TFlat {
        std::string Path;
        std::unique_ptr<TFlatFile> File;
        bool Backup = false;
    };
    std::vector<TFile> Files;
    std::vector<TFlat> Flats;

    void AddFile(std::string path, std::string bytes, bool backup);
    // The block file of path, opened on a copy in memory on first use.
    TFlat& Flat(const std::string& path);
    // Refused (EFileChanged) when a file to be replaced changed since it
    // was read; then backup copies first, then each file through a
    // temporary file. The files read are noted as written.
    void Commit(TReadFiles& read);
};

// A file as it was when a sheet was read from it or written: another stamp
// means it changed since.
struct TFileStamp {
    bool Exists = false;
    uint64_t Device = 0, Inode = 0, Size = 0;
    int64_t Modified = 0, Changed = 0;  // nanoseconds
    bool operator==(const TFileStamp&) const = default;
};
TFileStamp StampOf(const std::string& path);

// The files of the open project as they were when read, or last written:
// a save refuses to replace one that changed since (its size, modification
// time or inode differ).
struct TModel::TReadFiles {
    // Before the read, so that a change while it reads counts as a change.
    void Note(const std::string& path, const TFileStamp& before);
    void Written(const std::string& path);
    // EFileChanged naming the file; a file never read passes.
    void CheckUnchanged(const std::string& path);
    void Clear();

private:
    std::mutex Lock;  // sheets are read on several threads
    std::map<std::string, TFileStamp> Stamps;  // by absolute path
};
// A sheet file's permission bits; a missing file counts as read-only.
TSheetFileState FileState(const std::string& path);

// A sheet whose objects are in a view's map, as the switch read it.
struct TModel::TKeptSheet {
    std::string Path;
    TFileContext Given;  // the context it was read with
    TFileContext After;  // what reading left of it
    TFileStamp Stamp;
    int32_t LoadScale = 0;
    std::string PictureFolder;  // the sheet map's ExtraText1
    // A picture list becomes objects of the raster layer, made anew by each
    // read: such a sheet is read again.
    bool ReadAgain = false;
};

// Objects [From, To) of a layer that share one sheet identifier, and
// their largest code (0 at least).
struct TSheetRun {
    int32_t SheetID, From, To, Largest;
};
// Appends r, joined to the last run when it goes on with the same sheet.
void AddRun(std::vector<TSheetRun>& runs, const TSheetRun& r);
// Appends the runs of the layer's objects [from, to).
void AddObjectRuns(std::vector<TSheetRun>& runs, const TCustomLayer& layer, int32_t from, int32_t to);

// The runs a switch appended to each layer of the new map from sheets it read.
struct TModel::TReadRuns {
    std::unordered_map<const TCustomLayer*, std::vector<TSheetRun>> Of;
};

// The sheets of one view's map, in the order they were merged.
struct TModel::TMapSheets {
    std::weak_ptr<TMap> Map;
    std::vector<TKeptSheet> Sheets;
    std::set<int32_t> Unsaved;  // sheets with objects changed since they were read or saved
    // Per layer of the map (hidden ones too, in walk order): its objects'
    // runs as the switch left them, so that the next one need not look at
    // every object. Forgotten at the first change of an object.
    std::vector<std::vector<TSheetRun>> Layout;
    bool LayoutKnown = false;
};

// The view's new map a switch fills, with the layer each name leads to
// (the last item of the tree with it; null for a group), and the record of
// its sheets.
struct TModel::TSwitchInto {
    TMap& Map;
    TMapSheets& Sheets;
    std::unordered_map<std::string, TCustomLayer*> Layers;
    // Where each read sheet's objects went, as their reader summed them up.
    TReadRuns& ReadRuns;
};

// One sheet of a switch: where and how it is read, and what came of it.
struct TModel::TSheetLoad {
    TSheet* Sheet = nullptr;
    std::string Path;      // empty when the stored name was refused
    TFileContext Given;    // the model's state with the sheet's origins
    TFileContext Context;  // the same, as reading left it
    TSheetFileState State;
    TFileStamp Stamp;      // the file before it was read
    std::unique_ptr<TMap> Map;
    std::string Error;
    const TKeptSheet* Kept = nullptr;  // the old map's sheet whose objects it takes; null: read
    // Per layer of Map (hidden ones too, in walk order): its objects' runs.
    std::vector<std::vector<TSheetRun>> LayerRuns;
};

// What a switch keeps of the view's old map: the objects of every sheet
// the new levels list again with the same file, placement and scale, the
// file unchanged on disk or the sheet holding changes not yet saved (a
// read would lose them). They go into the new map's layers in the order
// they had, so the map is the one reading all again would give.
class TModel::TSheetKeeper {
public:
    // Chooses the loads that keep their objects and sorts the old map's
    // objects by sheet; keeps nothing unless the new map's layer tree is
    // the old one's. Lets go of the old map at once when nothing is kept.
    // A spare map (what an earlier switch let go of) gives only loads no
    // other keeper took, and never moves a layer whole.
    TSheetKeeper(std::shared_ptr<TMap> old, std::unique_ptr<TMapSheets> sheets, TMap& map,
                 std::vector<TSheetLoad>& loads, bool spare = false);
    // Objects taken and not yet let go by the old map are left to both maps.
    ~TSheetKeeper();
    TSheetKeeper(const TSheetKeeper&) = delete;
    TSheetKeeper& operator=(const TSheetKeeper&) = delete;

    // Hands the new map at once every old layer whose objects all stay, in
    // their order, and to which no sheet read brings any (incoming: what
    // the sheets read bring into each new layer): the list and its search
    // entries move whole, so a band step costs what the band holds.
    void TakeWhole(const std::unordered_map<TCustomLayer*, int64_t>& incoming);
    // Appends the objects of a load's kept sheet to the new map's layers.
    void Take(const TSheetLoad& load);
    // Of a layer of the new map: where the objects taken lie, by sheet.
    const std::vector<TSheetRun>& TakenRuns(const TCustomLayer* layer) const;
    // The sheets taken that hold unsaved changes.
    std::set<int32_t> UnsavedTaken() const;
    // The objects the kept sheets bring into a layer of the new map.
    int32_t KeptCount(const TCustomLayer* layer) const;
    // The old map once let go of (null before), for the caller to free.
    std::shared_ptr<TMap> Spent() { return std::move(Done); }
    // After Finish, of a map this switch alone held: the record of the
    // sheets left in the old map that a later switch may take (none with
    // unsaved changes); null otherwise.
    std::unique_ptr<TMapSheets> Left();
    bool Holds(const TKeptSheet* sheet) const
    {
        return OldSheets && sheet >= OldSheets->Sheets.data() && sheet < OldSheets->Sheets.data() + OldSheets->Sheets.size();
    }
    // The old map lets go of what was taken (or shares it with the view
    // that holds it still) and frees the rest.
    void Finish();

private:
    std::shared_ptr<TMap> Old, Done;
    std::unique_ptr<TMapSheets> OldSheets;
    std::vector<TCustomLayer*> OldLayers, NewLayers;
    std::unordered_map<const TCustomLayer*, std::size_t> NewIndex;
    std::map<int32_t, int16_t> Index;  // sheet identifier -> kept sheet
    // Per old layer: its objects' runs, all of them in their order.
    std::vector<std::vector<TSheetRun>> OldRuns;
    // Per kept sheet (index in OldSheets) and old layer: its runs.
    std::vector<std::vector<std::vector<TSheetRun>>> Runs;
    // Per new layer: the runs taken into it.
    std::vector<std::vector<TSheetRun>> Placed;
    std::vector<int32_t> Incoming;
    std::vector<bool> Taken;
    std::vector<bool> WholeCandidate, Whole;  // per layer: may move whole, moved whole
    bool IsSpare = false;
    bool Compacted = false;  // Finish left the old map only what was not taken
    // Per old layer: the marking's knowledge of its flags stood before the
    // sheets were read (reading sets flags only on the objects it makes).
    std::vector<bool> FlagsKnown;
    // Whether the map's record of its runs still fits its layers.
    bool LayoutFits() const;
    void Share();
};

// Frees a spent map on a thread of its own; then, unless the next switch
// comes within TrimDelay, hands the heap's free pages back to the system
// (right after every switch, the pages would only be taken again).
class TModel::TMapFreer {
public:
    // Fewer objects are freed at once: a thread would cost more, its frees
    // holding up the reads of the next switch (a band step's spent map
    // holds one band's labels).
    static constexpr int64_t SpentAsideFrom = 50000;
    static constexpr std::chrono::milliseconds TrimDelay{1000};
    explicit TMapFreer(std::shared_ptr<TMap> spent);
    // Stops a trim still waiting, then waits for the thread.
    ~TMapFreer();
    // Stops a trim still waiting; true once the map is freed.
    bool Cancel();

private:
    std::mutex Lock;
    std::condition_variable Wake;
    bool Stop = false, Freed = false;
    std::thread Thread;
};

// The blocks of a block-file project.
constexpr int32_t BlockProject = 10000;
constexpr int32_t BlockWorkMap = 10001;
constexpr int32_t BlockCollectionA = 10002;
constexpr int32_t BlockCompounds = 10003;
constexpr int32_t BlockCollectionB = 10004;
constexpr int32_t BlockSettings = 10005;
constexpr int32_t BlockHeader = 10006;

// value / by, rounded halves to even, saturated to 32 bits.
inline int32_t RoundDiv(double value, double by) { return RoundEvenSat(static_cast<long double>(value) / by); }

// The 101 bytes of a library name: at most 100 characters read up to the
// first zero (a missing terminator is supplied), written zero-padded.
constexpr std::size_t LibraryNameSize = 101;
std::string ReadLibraryName(TStream& stream);
void WriteLibraryName(TStream& stream, const std::string& name);

// Layer identifiers whose block (identifier + 100) would be one of the
// block file's own (below 10, or the project's 10000-10006) or overflow.
bool LayerIdUsable(int32_t layerId);
int32_t LayerBlockHandle(int32_t layerId);

// Same folder, compared without regard to case.
bool SameFolder(const std::string& a, const std::string& b);
bool EndsWithNoCase(const std::string& s, const std::string& suffix);

// The largest object code of a layer (0 when empty or all negative).
int32_t LargestCode(const TCustomLayer& layer);

} // namespace tarn
