// Raster layers, layer blocks, saving when the structure changed, extents.
//
// A sheet map keeps its pictures (TBmp) in its Extras collection and their
// folder in ExtraText1; a view's map shows them as a raster layer.
#include "ModelsInternal.h"

#include "data/FileNames.h"
#include "data/LayerWalk.h"
#include "data/MapObjBmp.h"

#include <filesystem>

namespace tarn {

namespace {

constexpr const char* RasterLayerName = "Растровый слой";
constexpr int32_t RasterScaleLimit = 2000000;

std::string FolderOf(const std::string& path)
{
    std::size_t cut = path.find_last_of("/\\");
    return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

} // namespace

void TModel::BuildRasterLayers(int32_t mode, TMap& source, TMap& target, TFolderNames* names)
{
    if (mode & 1) {
        std::vector<TCustomLayer*> layers;
        CollectLayers(source, true, layers);
        if (!target.Extras) target.Extras = std::make_unique<TCollection>();
        std::string lastFile;
        for (TCustomLayer* layer : layers) {
            if (!IsBitmapKind(layer->Kind)) continue;
            for (int32_t i = 0; i < layer->Count; ++i) {
                const TBmp* b = dynamic_cast<const TBmp*>(layer->Object(i));
                if (!b) continue;
                auto copy = std::make_unique<TBmp>();
                copy->SetFlags(b->Flags());
                copy->Left = b->Left;
                copy->Top = b->Top;
                copy->Width = b->Width;
                copy->Height = b->Height;
                std::string name = FileNamePart(b->FileName());
                copy->SetFileName(name.size() > 4 ? name.substr(0, name.size() - 4) : std::string());
                target.Extras->Add(copy.get());
                copy.release();
                lastFile = b->FileName();
            }
            TCollection* same = FindLayerByName(target, layer->Name);
            if (same != &target) {
                TCollection* owner = FindLayerOwner(target, layer->Name);
                owner->Remove(same);
                delete same;
            }
        }
        if (!lastFile.empty()) target.ExtraText1 = FolderOf(lastFile);
    }
    if ((mode & 2) && source.Extras && source.Extras->Count > 0) {
        std::vector<TCustomLayer*> layers;
        CollectLayers(target, true, layers);
        TCustomLayer* raster = nullptr;
        for (TCustomLayer* layer : layers)
            if (IsBitmapKind(layer->Kind)) raster = layer;
        if (!raster) {
            int32_t id = TUniqueID(UniqueIdDir()).GetLayerID(RasterLayerName);
            auto info = std::make_unique<TInfoLayer>();
            info->Name = RasterLayerName;
            info->Kind = LayerKindBitmap;
            info->ScaleLimit = RasterScaleLimit;
            info->InfoText = target.ExtraText1;
            info->LayerId = id;
            WorkMap->Add(info.get());
            info.release();
            auto layer = std::make_unique<TLayer>();
            layer->Name = RasterLayerName;
            layer->Kind = LayerKindBitmap;
            layer->ScaleLimit = RasterScaleLimit;
            layer->LayerId = id;
            raster = layer.get();
            target.Add(layer.get());
            layer.release();
        }
        for (int32_t i = 0; i < source.Extras->Count; ++i) {
            const TBmp* picture = dynamic_cast<const TBmp*>(source.Extras->GetItem(i));
            if (!picture) continue;
            const std::string stored = target.ExtraText1 + picture->FileName() + ".bmp";
            std::string file;
            bool inside = true;
            try {
                file = ResolveInProject(stored, names);
            } catch (const EOutsideFolder& e) {
                // Shown as its frame and name; never opened.
                LoadErrors.push_back(std::string("picture ") + e.what());
                file = stored;
                inside = false;
            }
            bool present = false;
            for (int32_t k = 0; k < raster->Count && !present; ++k)
                if (const TBmp* b = dynamic_cast<const TBmp*>(raster->Object(k))) present = b->FileName() == file;
            if (present) continue;
            auto b = std::make_unique<TBmp>();
            b->Code = raster->Count;
            b->SheetID = FileContext.CurrentSheetID;
            b->Left = picture->Left;
            b->Top = picture->Top;
            b->Width = picture->Width;
            b->Height = picture->Height;
            b->SetFlags(picture->Flags());
            b->X = picture->Left;
            b->Y = static_cast<int32_t>(int64_t(picture->Top) - picture->Height);
            b->SetFileName(file);
            if (inside) b->LoadPicture(names);
            raster->Add(b.get());
            b.release();
        }
    }
}

std::unique_ptr<TCustomLayer> TModel::LoadLayerBlock(const std::string& fileName, int32_t layerID)
{
    if (!LayerIdUsable(layerID)) return nullptr;
    std::string path = ResolveInProject(fileName);
    std::unique_ptr<TFlatFile> flat = TFlatFile::OpenForReading(path);
    int32_t handle = LayerBlockHandle(layerID);
    if (!flat->ObjectExists(handle)) return nullptr;
    TMemoryStream ms(flat->ReadObject(handle));
    ms.SetContext(FileContext);
    ms.SetName(path + ", block " + std::to_string(handle));
    std::unique_ptr<TAbstractItem> item(LoadRegisteredItem(ms, nullptr));
    if (!AsLayer(item.get())) throw EFormatError(ms.Name() + ": the block holds no layer");
    return std::unique_ptr<TCustomLayer>(static_cast<TCustomLayer*>(item.release()));
}

int32_t TModel::SaveIfModified(bool force)
{
    if (FileName.empty() || (!force && !StructureChanged)) return ResultNoData;
    int32_t answer = 0;
    if (OnNotify.Assigned()) Notify(17, 0, reinterpret_cast<intptr_t>(&answer), 0);
    if (answer != 1) return ResultNoData;
    SaveFile(FileName, 1);
    return ResultDone;
}

void TModel::SetExtent(const TRect& rect)
{
    SaveIfModified(false);
    if (!Project) return;
    Project->ExpandExtent(rect);
    RefreshViews();
}

} // namespace tarn
