// Opening and saving ".prj", ".mts" and ".map" files, sheets, the symbol
// library of the project.
#include "ModelsInternal.h"

#include "data/FileNames.h"
#include "data/LayerOps.h"
#include "data/LayerWalk.h"
#include "data/LoadDLL.h"
#include "data/MapObjBmp.h"
#include "data/Utils.h"
#include "platform/SafeFile.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <set>
#include <sys/stat.h>

namespace tarn {

namespace fs = std::filesystem;

namespace {

constexpr const char* NewProjectName = "Проект Tessara 4.0";
constexpr int32_t BlockProject = 10000;
constexpr int32_t BlockWorkMap = 10001;
constexpr int32_t BlockCollectionA = 10002;
constexpr int32_t BlockCompounds = 10003;
constexpr int32_t BlockCollectionB = 10004;
constexpr int32_t BlockSettings = 10005;
constexpr int32_t BlockHeader = 10006;
constexpr std::size_t SettingsSize = 110;

std::string Lower(std::string s)
{
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

TSheetFileState FileState(const std::string& path)
{
    TSheetFileState st;
    struct stat sb {};
    if (::stat(path.c_str(), &sb) != 0) return st;
    st.Exists = true;
    st.ReadOnly = (sb.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
    return st;
}

int32_t RoundDiv(double value, double by)
{
    return RoundEvenSat(static_cast<long double>(value) / by);
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

void WriteBlock(TFlatFile& flat, int32_t handle, const TMemoryStream& ms)
{
    const std::string& b = ms.Bytes();
    if (b.size() > size_t(INT32_MAX) - 1) throw EWriteError("block " + std::to_string(handle) + " is too large");
    if (!flat.ObjectExists(handle)) flat.NewObject(handle);
    flat.WriteObject(handle, b.data(), static_cast<int32_t>(b.size()));
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

void TModel::TSaveBatch::AddFile(std::string path, std::string bytes, bool backup)
{
    for (TFile& f : Files)
        if (f.Path == path) {
            f.Bytes = std::move(bytes);
            f.Backup = f.Backup || backup;
            return;
        }
    Files.push_back({std::move(path), std::move(bytes), backup});
}

TModel::TSaveBatch::TFlat& TModel::TSaveBatch::Flat(const std::string& path)
{
    for (TFlat& f : Flats)
        if (f.Path == path) return f;
    Flats.push_back({path, TFlatFile::OpenForWriting(path), false});
    return Flats.back();
}

void TModel::TSaveBatch::Commit()
{
    // Temporaries a killed save left in these folders go first.
    std::set<std::string> folders;
    for (const TFile& f : Files) folders.insert(fs::path(f.Path).parent_path().string());
    for (const TFlat& f : Flats) folders.insert(fs::path(f.Path).parent_path().string());
    for (const std::string& folder : folders) RemoveLeftoverTemporaries(folder.empty() ? "." : folder);
    TSafeFileBatch batch;
    std::vector<std::pair<std::string, fs::file_time_type>> backups;
    auto backup = [&](const std::string& path) {
        std::string copy = AddBackup(batch, path);
        std::error_code ec;
        if (!copy.empty()) backups.emplace_back(copy, fs::last_write_time(path, ec));
    };
    for (const TFile& f : Files)
        if (f.Backup) backup(f.Path);
    for (const TFlat& f : Flats)
        if (f.Backup) backup(f.Path);
    for (const TFile& f : Files) batch.Add(f.Path, f.Bytes);
    for (TFlat& f : Flats) f.File->Commit(batch);
    batch.Commit();
    // Like a system file copy, a backup keeps the original's time stamp.
    for (const auto& [copy, time] : backups) {
        std::error_code ec;
        fs::last_write_time(copy, time, ec);
    }
}

std::string TModel::ProjectDir() const
{
    if (FileName.empty()) return std::string();
    fs::path p = fs::path(FileName).parent_path();
    return p.empty() ? std::string(".") : p.string();
}

std::string TModel::ResolveInProject(const std::string& name) const
{
    std::string dir = ProjectDir();
    return ResolveSheetPath(dir.empty() ? std::string(".") : dir, name);
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
    try {
        if (ext == ".prj") ReadPrj(fileName, doc);
        else if (ext == ".mts") ReadBlockFile(fileName, doc);
        else OpenBareMap(fileName, doc);
    } catch (const std::exception& e) {
        throw EModel("Ошибка входного файла " + fileName, e.what());
    }
    Commit(doc, ext == ".mts");
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

std::unique_ptr<TMap> TModel::LoadSheetFile(const std::string& fileName, TSheetFileState& state, bool withLayers)
{
    return ReadSheet(ResolveInProject(fileName), FileContext, state, withLayers);
}

std::unique_ptr<TMap> TModel::ReadSheet(const std::string& path, TFileContext& context, TSheetFileState& state,
                                        bool withLayers)
{
    state = FileState(path);
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

void TModel::SaveSheetFile(const std::string& fileName, const TMap& map)
{
    TSaveBatch batch;
    std::unique_ptr<TMap> copy = CopyMapWithObjects(map);
    SaveSheetTo(batch, ResolveInProject(fileName), *copy);
    batch.Commit();
}

void TModel::SaveSheetTo(TSaveBatch& batch, const std::string& path, TMap& m)
{
    std::string ext = LowerExtension(path);
    if (ext == ".map") {
        int32_t w = RoundDiv(m.MapParams.Reals[2] / 1000.0, FileContext.MapScale);
        int32_t h = RoundDiv(m.MapParams.Reals[3] / 1000.0, FileContext.MapScale);
        CheckFilerI16(w, "sheet width in stored units");
        CheckFilerI16(h, "sheet height in stored units");
        m.MapParams.Ints[0] = w;
        m.MapParams.Ints[1] = h;
        m.MapParams.Ints[2] = FileContext.ProjectScale;
        for (double& v : m.MapParams.Reals) v /= 1000.0;
        TFileContext c = FileContext;
        c.OriginX = RoundDiv(c.OriginX, 1000.0);
        c.OriginY = RoundDiv(c.OriginY, 1000.0);
        c.YBase = RoundDiv(c.YBase / 1000.0, c.MapScale);
        TMemoryStream ms;
        ms.SetName(path);
        ms.SetContext(c);
        TWriter wr(ms);
        m.WriteFiler16(wr);
        batch.AddFile(path, ms.TakeBytes(), true);
    } else if (ext == ".mts") {
        std::vector<TCustomLayer*> layers;
        CollectLayers(m, true, layers);
        for (TCustomLayer* layer : layers)
            if (!LayerIdUsable(layer->LayerId))
                throw EWriteError(path + ": layer \"" + layer->Name + "\" has the identifier " +
                                  std::to_string(layer->LayerId) + ", whose block is the block file's own");
        std::vector<TMemoryStream> blocks(layers.size());
        for (std::size_t i = 0; i < layers.size(); ++i) {
            blocks[i].SetContext(FileContext);
            StoreItem(blocks[i], layers[i]);
        }
        TSaveBatch::TFlat& flat = batch.Flat(path);
        flat.Backup = true;
        for (std::size_t i = 0; i < layers.size(); ++i)
            WriteBlock(*flat.File, LayerBlockHandle(layers[i]->LayerId), blocks[i]);
    } else {
        throw EModel("Тип файла " + fs::path(path).extension().string() + " не поддерживается...");
    }
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
        UI().ShowError("symbol library " + std::string(e.what()));
        return;
    }
    if (LoadDrawDll(inside.c_str(), ProjectDir(), Library)) LibraryLoaded = 1;
}

// ---------------------------------------------------------------- saving

void TModel::SaveFile(const std::string& fileName, int32_t withSheets)
{
    std::string ext = LowerExtension(fileName);
    bool map = ext == ".map" && OpenedFromMap;
    if (ext != ".prj" && ext != ".mts" && !map)
        throw EModel("Тип файла " + fs::path(fileName).extension().string() + " не поддерживается...");
    if (!Project) throw EModel("Нет проекта для записи в " + fileName);
    TFileContext saved = FileContext;
    FileContext.FileVersion = 102;
    TSaveBatch batch;
    try {
        if (ext == ".prj") WritePrj(fileName, withSheets, batch);
        else if (ext == ".mts") WriteBlockFile(fileName, withSheets, batch);
        else WriteMapProject(fileName, batch);
        batch.Commit();
    } catch (...) {
        int32_t version = FileContext.FileVersion;
        FileContext = saved;
        FileContext.FileVersion = version;
        throw;
    }
    int32_t version = FileContext.FileVersion;
    FileContext = saved;
    FileContext.FileVersion = version;
    Modified = 0;
    FileName = fileName;
    if (ext == ".prj") OpenedFromMap = 0;
    if (withSheets == 1 || map) StructureChanged = 0;
}

void TModel::WritePrj(const std::string& fileName, int32_t withSheets, TSaveBatch& batch)
{
    TMemoryStream ms;
    ms.SetName(fileName);
    ms.SetContext(FileContext);
    TWriter w(ms);
    CollectionA->CheckWritable(TFilerForm::Project);
    Compounds->CheckWritable(TFilerForm::Project);
    CollectionB->CheckWritable(TFilerForm::Project);
    Project->WriteFiler(w);
    WorkMap->WriteFiler(w);
    WriteLibraryName(ms, LibraryName);
    ms.writeI32LE(StoredValue);
    ms.writeI32LE(FileContext.ProjectScale);
    CollectionA->WriteFiler(w);
    Compounds->WriteFiler(w);
    CollectionB->WriteFiler(w);
    batch.AddFile(fileName, ms.TakeBytes(), false);
    if (withSheets == 1) WriteSheets(batch, false, fileName);
}

void TModel::WriteBlockFile(const std::string& fileName, int32_t withSheets, TSaveBatch& batch)
{
    TSaveBatch::TFlat& target = batch.Flat(fileName);
    if (withSheets == 1) {
        std::string previous = FileName;
        std::string pointed = StripPaths ? FileNamePart(fileName) : fileName;
        for (int32_t li = 0; li < Project->Count; ++li) {
            TLevel& level = *static_cast<TLevel*>(Project->GetItem(li));
            for (int32_t si = 0; si < level.Sheets->Count; ++si) {
                TSheet& sheet = *static_cast<TSheet*>(level.Sheets->GetItem(si));
                std::string path;
                try {
                    path = ResolveInProject(sheet.Name);
                } catch (const EOutsideFolder&) {
                    // never loaded, so never written; not this project's to re-point
                }
                bool repoint = OpenedFromMap || (!previous.empty() && !path.empty() && SameFolder(path, previous));
                if (!repoint) continue;
                if (EndsWithNoCase(sheet.Name, ".map")) {
                    sheet.Name.replace(sheet.Name.size() - 4, 4, ".mts");
                    std::unique_ptr<TMap> rebuilt;
                    MergeLayers(*WorkMap, rebuilt, 0);
                    level.Map = std::move(rebuilt);
                }
                if (sheet.Name != fileName) sheet.Name = pointed;
            }
        }
        WriteSheets(batch, false, fileName);
    }
    auto block = [&](int32_t handle, auto&& write) {
        TMemoryStream ms;
        ms.SetContext(FileContext);
        ms.SetName(fileName);
        write(ms);
        WriteBlock(*target.File, handle, ms);
    };
    block(BlockProject, [&](TStream& s) { Project->Store(s); });
    block(BlockWorkMap, [&](TStream& s) { WorkMap->Store(s); });
    block(BlockCollectionA, [&](TStream& s) { CollectionA->Store(s); });
    block(BlockCompounds, [&](TStream& s) { Compounds->Store(s); });
    block(BlockCollectionB, [&](TStream& s) { CollectionB->Store(s); });
    block(BlockSettings, [&](TStream& s) {
        WriteLibraryName(s, LibraryName);
        s.writeI32LE(StoredValue);
        s.writeI32LE(FileContext.ProjectScale);
        s.writeU8(OpenedFromMap);
    });
    Header->Version = 102;
    block(BlockHeader, [&](TStream& s) { Header->Store(s); });
    OnSaveFlatFile(*target.File);
}

void TModel::WriteMapProject(const std::string& fileName, TSaveBatch& batch)
{
    std::string pointed = StripPaths ? FileNamePart(fileName) : fileName;
    for (int32_t li = 0; li < Project->Count; ++li) {
        TLevel& level = *static_cast<TLevel*>(Project->GetItem(li));
        for (int32_t si = 0; si < level.Sheets->Count; ++si) {
            TSheet& sheet = *static_cast<TSheet*>(level.Sheets->GetItem(si));
            if (sheet.Name != fileName) sheet.Name = pointed;
        }
    }
    WriteSheets(batch, true, fileName);
}

void TModel::WriteSheets(TSaveBatch& batch, bool /*forMapProject*/, const std::string& projectFile)
{
    TView* source = SheetSourceView();
    // Without a view no sheet's objects are in memory: writing would empty the sheets.
    if (!source || !source->Map) return;
    DeleteTempObjects(*source->Map);
    std::string dir = fs::path(projectFile).parent_path().string();
    if (dir.empty()) dir = ".";
    TFileContext saved = FileContext;
    try {
        for (int32_t li = 0; li < Project->Count; ++li) {
            TLevel& level = *static_cast<TLevel*>(Project->GetItem(li));
            std::unique_ptr<TMap> copy;
            MergeLayers(*level.Map, copy, 0);
            for (int32_t si = 0; si < level.Sheets->Count; ++si) {
                TSheet& sheet = *static_cast<TSheet*>(level.Sheets->GetItem(si));
                if (!(sheet.Flags & SheetFlagLoaded) || (sheet.Flags & SheetFlagReadOnly)) continue;
                FileContext.OriginX = static_cast<int32_t>(int64_t(sheet.Left) - Project->Origin.X + level.OffsetX);
                FileContext.OriginY = static_cast<int32_t>(int64_t(sheet.Bottom) - Project->Origin.Y + level.OffsetY);
                FileContext.YBase = sheet.Height;
                FileContext.CurrentSheetID = sheet.FileID;
                FileContext.MapScale = FileContext.FilerScale = level.Scale;
                copy->MapParams.Reals = {double(int64_t(sheet.Left) - level.OffsetX),
                                         double(int64_t(sheet.Bottom) - level.OffsetY), double(sheet.Width),
                                         double(sheet.Height)};
                CopySheetObjects(*source->Map, *copy, sheet.FileID);
                std::unique_ptr<TMap> second = CopyMapWithObjects(*copy);
                ClearAllLayers(*copy);
                // Pictures opened from the project's folder keep their name relative to it.
                const std::string folder = ProjectDir() + "/";
                std::vector<TCustomLayer*> layers;
                CollectLayers(*second, true, layers);
                for (TCustomLayer* layer : layers)
                    if (IsBitmapKind(layer->Kind))
                        for (int32_t i = 0; i < layer->Count; ++i)
                            if (auto* b = dynamic_cast<TBmp*>(layer->Object(i));
                                b && b->FileName().compare(0, folder.size(), folder) == 0) {
                                const std::string name = b->FileName().substr(folder.size());
                                b->SetFileName(std::string());
                                b->SetFileName(name);
                            }
                // Raster layers stay layers: the sheet form keeps no picture list.
                std::string path = ResolveSheetPath(dir, sheet.Name);
                // Stored with the scale it was loaded with, so a save keeps its sizes' meaning.
                FileContext.ProjectScale = sheet.LoadScale;
                if (LowerExtension(path) == ".map")
                    UnscaleLayerStyles(*second, ScaleLayerValues | ScaleObjectValues, sheet.LoadScale);
                SaveSheetTo(batch, path, *second);
            }
        }
    } catch (...) {
        FileContext = saved;
        throw;
    }
    FileContext = saved;
}

} // namespace tarn
