#pragma once
// A picture file placed on the map over a world rectangle: shown as a tiled
// raster when the file is a one-bit ".bmp" (or only its ".tr" cache is
// there), else as an image from the run-wide bitmap cache. Pictures live in
// bitmap layers, whose pass puts the raster operation into SymbolSize and
// 1 into LayerColour when the layer's background is transparent.
#include "data/MapObj.h"
#include "data/Rasters.h"
#include "data/ldr_bmps.h"

#include <cstdint>
#include <memory>
#include <string>

namespace tarn {

class TBmp : public TBaseObject {
public:
    // Create: no file name and no picture.
    TBmp() = default;
    // The stream head, then FileName, Left and Top less the origin, Width,
    // Height (class id 108). Flag 128 is set. The stored name is relative
    // to the project's folder, which the reader does not know: the owner
    // resolves it and loads the picture (LoadPicture).
    TBmp(TStream& stream, TAbstractItem* owner);
    // No common head: FileName, a 16-bit word (not 0: flag 128), then Left,
    // Top, Width and Height in tens of world units, Left and Top less 100 x
    // the origin (type code 1011). Not loaded either.
    explicit TBmp(TReader& reader);
    ~TBmp() override;

    void CheckStore() const override;
    void CheckFiler(const TFileContext& context) const override;

    // Changing flag 128 frees the picture and loads it again.
    void SetFlags(uint32_t value) override;

    // The frame and name first when LayerColour is not 0; then, with flag
    // 128 and a picture, the part of it inside the view, with the raster
    // operation in SymbolSize.
    void Draw(const TDrawContext& context) const override;
    // The picture's rectangle and the view's (both closed) overlap. Sets
    // ViewRect; the flags are left alone.
    bool InView(const TDrawContext& context) override;
    // The rectangle grown by HitTolerance holds the point; index unused.
    bool HitTest(const TDrawContext& context, int32_t x, int32_t y, int32_t& index) const override;

    // A changed name frees the picture; when both the old and the new name
    // are set the new picture is loaded and the answer is LoadPicture's,
    // else the answer is false.
    bool SetFileName(const std::string& name);
    const std::string& FileName() const { return FFileName; }
    // Frees the picture held, then opens the tiled raster of FileName, or
    // failing that takes the bitmap cache's image. True only when an image
    // of the bitmap cache was obtained. Never throws. Names, when given,
    // holds the folder listings of the load this belongs to.
    bool LoadPicture(TFolderNames* names = nullptr);
    // Frees the raster and forgets the image (the cache keeps it).
    void FreePicture();
    // The frame of the picture with the null brush, and the file name
    // 3 pixels right of and below its upper-left corner.
    void DrawPlaceholder(const TDrawContext& context) const;

    const TCachedBitmap* Bitmap() const { return FBitmap; }
    const TTiledRaster* Raster() const { return FRaster.get(); }

    int32_t Left = 0;    // upper-left corner, world units (Y up)
    int32_t Top = 0;
    int32_t Width = 0;   // covers Left..Left + Width and Top - Height..Top
    int32_t Height = 0;
    uint32_t Extra = 0;  // carried by copies only

protected:
    // A copy has no picture until it loads one.
    TBmp(const TBmp& source);
    TBaseObject* CreateCopy() const override { return new TBmp(*this); }
    void StoreFields(TStream& stream) const override;
    void WriteFilerFields(TWriter& writer) const override;

private:
    std::string FFileName;
    const TCachedBitmap* FBitmap = nullptr;  // owned by the bitmap cache
    // Drawing reads tiles through the raster's stream.
    mutable std::unique_ptr<TTiledRaster> FRaster;
};

} // namespace tarn
