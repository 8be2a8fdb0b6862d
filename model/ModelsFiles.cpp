// Opening ".prj", ".mts" and ".map" files, adding and reading sheets, the
// symbol library of the project (saving: ModelsSave).
#include "ModelsInternal.h"

#include "data/FileNames.h"
#include "data/LayerOps.h"
#include "data/LayerWalk.h"
#include "data/LoadDLL.h"
#include "data/Utils.h"
#include "platform/Paths.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>

namespace tarn {

namespace fs = std::filesystem;

namespace {

constexpr const char* NewProjectName = "Проект Tessara 4.0";
constexpr std::size_t SettingsSize = 110;

std::string Lower(std::string s)
{
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// Items of a list read from a file must be of the class their owner expects.
template <class T>
void RequireItems(const TCollection& list, const std::string& source, const char* what)
{
    for (int32_t i = 0; i < list.Count; ++i)
        if (!dynamic_cast<const T*>(list.GetItem(i)))
            throw EFormatError(source + ": " + what + ": item " + std::to_string(i) + " is a " +
                               ClassNameOf(*list.GetItem(i)));
}

std::unique_ptr<TMemoryStream> BlockStream(TFlatFile& flat, int32_t handle, TFileContext& context,
                                           const std::string& name)
{
    auto ms = std::make_unique<TMemoryStream>(flat.ReadObject(handle));
    ms->SetContext(context);
    ms->SetName(name + ", block " + std::to_string(handle));
    return ms;
}

// The entries of a layer tree with their classes, for comparing trees.
struct TTreeEntry {
    std::string Name;
    const TAbstractItem* Item;
};

void ListTree(const TMap& map, std::vector<TTreeEntry>& out)
{
    TCollection list;
    ListLayerTree(map, list);
    for (int32_t i = 0; i < list.Count; ++i) {
        const TItem* e = static_cast<const TItem*>(list.GetItem(i));
        out.push_back({e->Name, e->Layer});
    }
}

bool IsGroup(const TAbstractItem* item) { return dynamic_cast<const TGapLayer*>(item) != nullptr; }

// (true, missing count) or (false, position of the mismatch). Layers of
// either class match each other: a working map holds information layers
// where its sheets hold plain ones.
std::pair<bool, int32_t> CheckLayerTree(const TMap& sheet, const TMap& work)
{
    std::vector<TTreeEntry> a, b;
    ListTree(sheet, a);
    ListTree(work, b);
    int32_t missing = 0;
    for (std::size_t i = 1; i < a.size(); ++i) {
        const TTreeEntry* found = nullptr;
        for (const TTreeEntry& e : b)
            if (e.Name == a[i].Name) found = &e;
        if (!found) {
            ++missing;
            continue;
        }
        const TCustomLayer* la = AsLayer(a[i].Item);
        const TCustomLayer* lb = AsLayer(found->Item);
        bool mismatch;
        if (IsGroup(a[i].Item)) mismatch = !IsGroup(found->Item);
        else if (la) mismatch = !lb || la->Kind != lb->Kind;
        else mismatch = false;  // the map's own entry
        if (mismatch) return {false, static_cast<int32_t>(i)};
    }
    return {true, missing};
}

} // namespace

// ---------------------------------------------------------------- helpers

std::string LowerExtension(const std::string& fileName)
{
    return Lower(fs::path(fileName).extension().string());
}

bool EndsWithNoCase(const std::string& s, const std::string& suffix)
{
    return s.size() >= suffix.size() && Lower(s.substr(s.size() - suffix.size())) == Lower(suffix);
}

bool SameFolder(const std::string& a, const std::string& b)
{
    auto folder = [](const std::string& p) {
        return Lower(fs::absolute(fs::path(p)).lexically_normal().parent_path().string());
    };
    return folder(a) == folder(b);
}

std::string ReadLibraryName(TStream& s)
{
    std::string raw = s.readBytes(LibraryNameSize, "library name");
    std::size_t end = raw.find('\0');
    if (end == std::string::npos || end > LibraryNameSize - 1) end = LibraryNameSize - 1;
    return raw.substr(0, end);
}

void WriteLibraryName(TStream& s, const std::string& name)
{
    char b[LibraryNameSize] = {};
    std::memcpy(b, name.data(), std::min(name.size(), LibraryNameSize - 1));
    s.Write(b, sizeof b);
}

bool LayerIdUsable(int32_t id)
{
    int64_t h = int64_t(id) + 100;
    return h >= 10 && h <= INT32_MAX && !(h >= BlockProject && h <= BlockHeader);
}

int32_t LayerBlockHandle(int32_t id) { return id + 100; }

std::string TModel::ProjectDir() const
{
    if (FileName.empty()) return std::string();
    fs::path p = fs::path(FileName).parent_path();
    return p.empty() ? std::string(".") : p.string();
}

std::string TModel::ResolveInProject(const std::string& name, TFolderNames* names) const
{
    std::string dir = ProjectDir();
    if (dir.empty()) dir = ".";
    return names ? names->Resolve(dir, name) : ResolveSheetPath(dir, name);
}

std::string TModel::UniqueIdDir() const
{
    if (!ProgramDir.empty()) return ProgramDir;
    std::string dir = ProjectDir();
    return dir.empty() ? std::string(".") : dir;
}

// ---------------------------------------------------------------- opening

bool TModel::OpenFile(const std::string& fileName)
{
    std::string ext = LowerExtension(fileName);
    if (ext != ".prj" && ext != ".mts" && ext != ".map") return false;
    TDocument doc;
    doc.Context = FileContext;
    doc.FileName = fileName;
    const TFileStamp read = StampOf(fileName);
    try {
        if (ext == ".prj") ReadPrj(fileName, doc);
        else if (ext == ".mts") ReadBlockFile(fileName, doc);
        else OpenBareMap(fileName, doc);
    } catch (const std::exception& e) {
        throw EModel("Ошибка входного файла " + fileName, e.what());
    }
    Commit(doc, ext == ".mts");
    ReadFiles->Clear();
    ReadFiles->Note(fileName, read);
    FileName = fileName;
    ReportedLoadErrors.clear();
    LoadProjectDll(LibraryName);
    if (ext == ".map") Notify(14, 0, 0, 0);
    RefreshViews();
    return true;
}

void TModel::Commit(TDocument& doc, bool partial)
{
    auto take = [partial](auto& mine, auto& theirs) {
        if (theirs || !partial) mine = std::move(theirs);
    };
    take(Project, doc.Project);
    take(WorkMap, doc.WorkMap);
    take(CollectionA, doc.CollectionA);
    take(Compounds, doc.Compounds);
    take(CollectionB, doc.CollectionB);
    take(Header, doc.Header);
    if (!WorkMap) WorkMap = std::make_unique<TMap>();
    if (!CollectionA) CollectionA = std::make_unique<TCollection>();
    if (!Compounds) Compounds = std::make_unique<TCollection>();
    if (!CollectionB) CollectionB = std::make_unique<TCollection>();
    if (!Header) Header = std::make_unique<TMapHeaderBlock>();
    if (doc.HasSettings || !partial) {
        LibraryName = doc.LibraryName;
        StoredValue = doc.StoredValue;
        OpenedFromMap = doc.OpenedFromMap;
    }
    FileContext = doc.Context;
    Highlight.clear();
    CurrentLevel = 0;
    // Opening reads every sheet again, however the views' maps came to be.
    MapSheets.clear();
    DropSpare();
}

void TModel::ReadPrj(const std::string& fileName, TDocument& doc)
{
    TFileReader ms(fileName);
    ms.SetContext(doc.Context);
    TReader r(ms);
    doc.Project = std::make_unique<TProject>(r);
    doc.WorkMap = std::make_unique<TMap>(r);
    doc.LibraryName = ReadLibraryName(ms);
    doc.StoredValue = ms.readI32LE("stored value");
    doc.Context.ProjectScale = ms.readI32LE("project scale");
    doc.CollectionA = std::make_unique<TCollection>(r, TCollection::FromProject{});
    if (doc.Context.FileVersion == 100) {
        ReadPStr(r, "version 100 text");
        ms.readI32LE("version 100 value");
        TCollection dropped(r, TCollection::FromProject{});
    }
    doc.Compounds = std::make_unique<TCollection>(r, TCollection::FromProject{});
    RequireItems<TComplObject>(*doc.Compounds, fileName, "compound objects");
    doc.CollectionB = std::make_unique<TCollection>(r, TCollection::FromProject{});
    doc.HasSettings = true;
    doc.OpenedFromMap = 0;
    doc.Header = std::make_unique<TMapHeaderBlock>();
    doc.Header->Version = 102;
}

void TModel::ReadBlockFile(const std::string& fileName, TDocument& doc)
{
    std::unique_ptr<TFlatFile> flat = TFlatFile::OpenForReading(fileName);
    // The block file takes an empty file as one without blocks; as a project
    // it is a copy cut short, and opening it would keep the old project
    // under the new name.
    if (flat->Stream().Size() == 0) ThrowFormat(fileName, 0, "block file header", "the project file is empty");
    auto block = [&](int32_t handle) { return BlockStream(*flat, handle, doc.Context, fileName); };
    if (flat->ObjectExists(BlockHeader)) {
        auto s = block(BlockHeader);
        doc.Header = std::make_unique<TMapHeaderBlock>(*s, nullptr);
        doc.Context.FileVersion = doc.Header->Version;
    }
    if (flat->ObjectExists(BlockProject)) doc.Project = std::make_unique<TProject>(*block(BlockProject), nullptr);
    if (flat->ObjectExists(BlockWorkMap)) doc.WorkMap = std::make_unique<TMap>(*block(BlockWorkMap), nullptr);
    if (flat->ObjectExists(BlockCollectionA))
        doc.CollectionA = std::make_unique<TCollection>(*block(BlockCollectionA), nullptr);
    if (flat->ObjectExists(BlockCompounds)) {
        doc.Compounds = std::make_unique<TCollection>(*block(BlockCompounds), nullptr);
        RequireItems<TComplObject>(*doc.Compounds, fileName, "compound objects");
    }
    if (flat->ObjectExists(BlockCollectionB))
        doc.CollectionB = std::make_unique<TCollection>(*block(BlockCollectionB), nullptr);
    if (flat->ObjectExists(BlockSettings)) {
        auto s = block(BlockSettings);
        s->Require(SettingsSize, "settings block");
        doc.LibraryName = ReadLibraryName(*s);
        doc.StoredValue = s->readI32LE("stored value");
        doc.Context.ProjectScale = s->readI32LE("project scale");
        doc.OpenedFromMap = s->readU8("opened from a map");
        doc.HasSettings = true;
    }
    OnLoadFlatFile(*flat);
}

void TModel::OpenBareMap(const std::string& fileName, TDocument& doc)
{
    doc.OpenedFromMap = 1;
    doc.HasSettings = true;
    doc.Project = std::make_unique<TProject>(NewProjectName);
    auto level = std::make_unique<TLevel>(fileName, 1);
    level->MaxScale = 20000000;
    level->MinScale = 0;
    doc.Project->Add(level.release());
    doc.WorkMap = std::make_unique<TMap>();
    doc.CollectionA = std::make_unique<TCollection>();
    doc.Compounds = std::make_unique<TCollection>();
    doc.CollectionB = std::make_unique<TCollection>();
    std::string name = StripPaths ? FileNamePart(fileName) : fileName;
    AddSheetTo(doc, 0, name);
    doc.LibraryName = doc.SheetLibrary.substr(0, std::min<std::size_t>(doc.SheetLibrary.size(), 99));
    doc.Project->CalcProjectScale(doc.Context);
    doc.Header = std::make_unique<TMapHeaderBlock>();
    doc.Header->Version = doc.Context.FileVersion;
}

// ---------------------------------------------------------------- sheets

int32_t TModel::AddSheet(int32_t levelIndex, const std::string& fileName)
{
    if (!Project) return -1;
    TDocument doc;
    doc.Project = std::move(Project);
    doc.WorkMap = std::move(WorkMap);
    doc.OpenedFromMap = OpenedFromMap;
    doc.Context = FileContext;
    doc.FileName = FileName;
    int32_t r;
    try {
        r = AddSheetTo(doc, levelIndex, fileName);
    } catch (...) {
        Project = std::move(doc.Project);
        WorkMap = std::move(doc.WorkMap);
        throw;
    }
    Project = std::move(doc.Project);
    WorkMap = std::move(doc.WorkMap);
    FileContext = doc.Context;
    if (r >= 0) {
        SaveIfModified(false);
        RefreshViews();
    }
    return r;
}

int32_t TModel::AddSheetTo(TDocument& doc, int32_t levelIndex, const std::string& fileName)
{
    TProject& project = *doc.Project;
    if (levelIndex < 0 || levelIndex >= project.Count) return -1;
    TLevel& level = *static_cast<TLevel*>(project.GetItem(levelIndex));

    // The sheet is read with zero origins: only its tree and fields count here.
    TFileContext scratch = doc.Context;
    scratch.OriginX = scratch.OriginY = scratch.YBase = 0;
    scratch.FilerScale = 1.0;
    scratch.CurrentSheetID = 0;
    std::string dir = doc.FileName.empty() ? std::string(".") : fs::path(doc.FileName).parent_path().string();
    if (dir.empty()) dir = ".";
    TSheetFileState state;
    std::unique_ptr<TMap> sheet = ReadSheet(ResolveSheetPath(dir, fileName), scratch, state, false);
    if (!sheet) throw ETarnError(fileName + ": not a map sheet");
    doc.Context.FileVersion = scratch.FileVersion;
    double mapScale = scratch.MapScale;
    if (level.Sheets->Count > 0 && !SameValue(mapScale, level.Scale)) return -2;
    auto [ok, n] = CheckLayerTree(*sheet, *doc.WorkMap);
    if (!ok) return -(n + 10);
    int32_t missing = n;

    bool isMap = LowerExtension(fileName) == ".map";
    double mult = isMap ? 1000.0 : 1.0;
    const TMapParams& mp = sheet->MapParams;
    int32_t left = RoundEvenSat(static_cast<long double>(mp.Reals[0]) * mult) + level.OffsetX;
    int32_t bottom = RoundEvenSat(static_cast<long double>(mp.Reals[1]) * mult) + level.OffsetY;
    int32_t width = RoundEvenSat(static_cast<long double>(mp.Reals[2]) * mult);
    int32_t height = RoundEvenSat(static_cast<long double>(mp.Reals[3]) * mult);
    level.Scale = mapScale;
    int64_t right = int64_t(left) + width, top = int64_t(bottom) + height;
    if (width < 0 || height < 0 || right > INT32_MAX || top > INT32_MAX)
        throw EFormatError(fileName + ": the sheet's rectangle does not fit world coordinates");
    project.ExpandExtent(TRect{left, static_cast<int32_t>(top), static_cast<int32_t>(right), bottom});

    TUniqueID ids(UniqueIdDir());
    int32_t id = ids.GetFileID(fileName);
    project.NextID = id;
    level.Sheets->Add(new TSheet(fileName, id, left, bottom, height, width, TPoint{mp.Ints[0], mp.Ints[1]}));
    int32_t result = missing > 1 ? missing - 1 : 0;

    if (mp.Ints[2] != 0) doc.Context.ProjectScale = mp.Ints[2];
    // The level map and the working map both keep drawing sizes; saving
    // converts them back once, with the sheet's own scale (0: stored as drawn).
    if (isMap) ScaleLayerStyles(*sheet, ScaleLayerValues, mp.Ints[2]);
    MergeLayers(*sheet, level.Map, MergeSkipNamed);
    MergeLayers(*sheet, doc.WorkMap, MergeSkipNamed | MergeInfoLayers | MergeLayerIds);
    if (doc.WorkMap->Name.empty()) doc.WorkMap->Name = NewProjectName;
    doc.SheetLibrary = sheet->ShortName;
    return result;
}

TSheetFileState FileState(const std::string& path)
{
    TSheetFileState st;
    struct stat sb {};
    if (::lstat(path.c_str(), &sb) != 0) return st;
    st.Exists = true;
    // Nothing is written through a link: a sheet reached by one is read only.
    st.ReadOnly = S_ISLNK(sb.st_mode) || (sb.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
    return st;
}

std::unique_ptr<TMap> TModel::LoadSheetFile(const std::string& fileName, TSheetFileState& state, bool withLayers)
{
    return ReadSheet(ResolveInProject(fileName), FileContext, state, withLayers);
}

std::unique_ptr<TMap> TModel::ReadSheet(const std::string& path, TFileContext& context, TSheetFileState& state,
                                        bool withLayers)
{
    state = FileState(path);
    const TFileStamp read = StampOf(path);
    std::unique_ptr<TMap> map = ReadSheetFile(path, context, withLayers);
    if (map) ReadFiles->Note(path, read);
    return map;
}

std::unique_ptr<TMap> TModel::ReadSheetFile(const std::string& path, TFileContext& context, bool withLayers)
{
    std::string ext = LowerExtension(path);
    if (ext == ".map") {
        TFileReader ms(path);
        if (!(context.FilerScale > 0) || !std::isfinite(context.FilerScale))
            throw ETarnError(path + ": the level's scale cannot place a sheet");
        context.OriginX = RoundDiv(context.OriginX, 1000.0);
        context.OriginY = RoundDiv(context.OriginY, 1000.0);
        context.YBase = RoundDiv(context.YBase / 1000.0, context.FilerScale);
        ms.SetContext(context);
        TReader r(ms);
        auto map = std::make_unique<TMap>(r, TLayer::FromMap16{});
        // Bytes after the content would be neither read nor kept by a save.
        if (ms.Remaining() > 0)
            ms.Fail("end of the sheet",
                    std::to_string(ms.Remaining()) + " bytes follow the sheet's content: the file is damaged");
        return map;
    }
    if (ext == ".mts") {
        std::unique_ptr<TFlatFile> flat = TFlatFile::OpenForReading(path);
        if (flat->ObjectExists(BlockHeader)) {
            auto s = BlockStream(*flat, BlockHeader, context, path);
            TMapHeaderBlock header(*s, nullptr);
            context.FileVersion = header.Version;
        }
        if (!flat->ObjectExists(BlockWorkMap)) throw EFormatError(path + ": the block file holds no map");
        std::unique_ptr<TMap> read;
        {
            auto s = BlockStream(*flat, BlockWorkMap, context, path);
            read = std::make_unique<TMap>(*s, nullptr);
        }
        std::unique_ptr<TMap> map;
        MergeLayers(*read, map, 0);
        read.reset();
        if (withLayers) {
            std::vector<TCustomLayer*> layers;
            CollectLayers(*map, true, layers);
            for (TCustomLayer* layer : layers) {
                if (!LayerIdUsable(layer->LayerId))
                    throw EFormatError(path + ": layer identifier " + std::to_string(layer->LayerId) +
                                       " has no block of its own");
                int32_t handle = LayerBlockHandle(layer->LayerId);
                if (!flat->ObjectExists(handle)) continue;
                auto s = BlockStream(*flat, handle, context, path);
                std::unique_ptr<TAbstractItem> item(LoadRegisteredItem(*s, nullptr));
                TCustomLayer* stored = AsLayer(item.get());
                if (!stored) throw EFormatError(s->Name() + ": the block holds no layer");
                for (int32_t i = 0; i < stored->Count; ++i) layer->Insert(stored->GetItem(i));
                stored->Clear();
            }
        }
        return map;
    }
    return nullptr;
}

// ---------------------------------------------------------------- the symbol library

void TModel::LoadProjectDll(const std::string& dllName)
{
    if (FileName.empty()) return;
    std::string name = StripPaths ? FileNamePart(dllName) : dllName;
    if (name.size() > LibraryNameSize - 1) name.resize(LibraryNameSize - 1);
    LibraryName = name;
    Library.Close();
    LibraryLoaded = 0;
    std::string inside;
    try {
        inside = NameInFolder(name);
    } catch (const EOutsideFolder& e) {
        // Drawing goes on with the built-in procedures.
        UI().ShowError("Библиотека знаков " + std::string(e.what()));
        return;
    }
    if (const std::string path = ResolveLibraryPath(inside, ProjectDir());
        !path.empty() && !LeadsInside(ProjectDir(), path)) {
        UI().ShowError("Библиотека знаков " + path + ": ссылка ведёт за пределы папки проекта");
        return;
    }
    if (LoadDrawDll(inside.c_str(), ProjectDir(), Library)) LibraryLoaded = 1;
}

} // namespace tarn
