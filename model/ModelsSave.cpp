// Saving: every file of a save complete in memory and written through one
// batch that replaces them all or none; sheets with the scale they were
// loaded with.
#include "ModelsInternal.h"

#include "data/FileNames.h"
#include "data/LayerOps.h"
#include "data/LayerWalk.h"
#include "data/MapObjBmp.h"
#include "platform/SafeFile.h"

#include <filesystem>
#include <set>

namespace tarn {

namespace fs = std::filesystem;

namespace {

void WriteBlock(TFlatFile& flat, int32_t handle, const TMemoryStream& ms)
{
    const std::string& b = ms.Bytes();
    if (b.size() > size_t(INT32_MAX) - 1) throw EWriteError("block " + std::to_string(handle) + " is too large");
    if (!flat.ObjectExists(handle)) flat.NewObject(handle);
    flat.WriteObject(handle, b.data(), static_cast<int32_t>(b.size()));
}

std::string StampKey(const std::string& path)
{
    std::error_code ec;
    fs::path p = fs::absolute(fs::path(path), ec);
    return (ec ? fs::path(path) : p).lexically_normal().string();
}

bool SameFile(const TFileStamp& a, const TFileStamp& b)
{
    // Not the status change time: keeping the old file by a link while
    // the new one is put in place changes it without changing the file.
    return a.Exists == b.Exists && a.Device == b.Device && a.Inode == b.Inode && a.Size == b.Size &&
           a.Modified == b.Modified;
}

} // namespace

// ---------------------------------------------------------------- files as read

void TModel::TReadFiles::Note(const std::string& path, const TFileStamp& before)
{
    std::lock_guard<std::mutex> guard(Lock);
    Stamps[StampKey(path)] = before;
}

void TModel::TReadFiles::Written(const std::string& path) { Note(path, StampOf(path)); }

void TModel::TReadFiles::CheckUnchanged(const std::string& path)
{
    std::lock_guard<std::mutex> guard(Lock);
    const auto found = Stamps.find(StampKey(path));
    if (found == Stamps.end() || SameFile(found->second, StampOf(path))) return;
    throw EFileChanged(path + ": файл изменён на диске после того, как программа его прочитала; он не будет "
                              "заменён, а ваши изменения остаются только в памяти программы");
}

void TModel::TReadFiles::Clear()
{
    std::lock_guard<std::mutex> guard(Lock);
    Stamps.clear();
}

// ---------------------------------------------------------------- the batch

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

void TModel::TSaveBatch::Commit(TReadFiles& read)
{
    // Another program's changes are never lost: checked before anything is written.
    for (const TFile& f : Files) read.CheckUnchanged(f.Path);
    for (const TFlat& f : Flats) read.CheckUnchanged(f.Path);
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
    for (const TFile& f : Files) read.Written(f.Path);
    for (const TFlat& f : Flats) read.Written(f.Path);
}

// ---------------------------------------------------------------- sheets

void TModel::SaveSheetFile(const std::string& fileName, const TMap& map)
{
    if (!ReadOnlyReason.empty()) throw EModel(ReadOnlyReason);
    TSaveBatch batch;
    std::unique_ptr<TMap> copy = CopyMapWithObjects(map);
    SaveSheetTo(batch, ResolveInProject(fileName), *copy);
    batch.Commit(*ReadFiles);
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

// ---------------------------------------------------------------- saving

void TModel::SaveFile(const std::string& fileName, int32_t withSheets)
{
    std::string ext = LowerExtension(fileName);
    bool map = ext == ".map" && OpenedFromMap;
    if (ext != ".prj" && ext != ".mts" && !map)
        throw EModel("Тип файла " + fs::path(fileName).extension().string() + " не поддерживается...");
    if (!Project) throw EModel("Нет проекта для записи в " + fileName);
    if (!ReadOnlyReason.empty()) throw EModel(ReadOnlyReason);
    TFileContext saved = FileContext;
    FileContext.FileVersion = 102;
    TSaveBatch batch;
    try {
        if (ext == ".prj") WritePrj(fileName, withSheets, batch);
        else if (ext == ".mts") WriteBlockFile(fileName, withSheets, batch);
        else WriteMapProject(fileName, batch);
        batch.Commit(*ReadFiles);
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
    if (withSheets == 1 || map) {
        StructureChanged = 0;
        NoteSaved();
    }
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
