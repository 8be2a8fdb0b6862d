#pragma once
// Large one-bit pictures kept in a ".tr" cache file beside them: a pyramid
// of levels, each half the size of the one before, cut into 512 x 512 tiles.
// Drawing reads only the tiles under the part shown, from the level that
// suits the reduction, so memory follows the tiles drawn, not the picture.
#include "Streams.h"
#include "ldr_bmps.h"
#include "platform/Types.h"
#include "platform/gdi/Gdi.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tarn {

class TFolderNames;

constexpr int32_t TrHeaderSize = 338;
constexpr int32_t TrTileSide = 512;
constexpr int32_t TrTileRowBytes = TrTileSide / 8;
constexpr int32_t TrTileBytes = TrTileRowBytes * TrTileSide;  // 32768
constexpr int32_t TrMaxLevels = 16;
// A level is made while the larger side of the previous one halved is at
// least this many pixels.
constexpr int32_t TrMinLevelSide = 257;

struct TTrLevel {
    double Factor = 0;   // 2^n; 0 for a level that does not exist
    int32_t Width = 0;
    int32_t Height = 0;
    uint32_t Offset = 0; // of the level's first tile

    int32_t Columns() const { return (Width + TrTileSide - 1) / TrTileSide; }
    int32_t Rows() const { return (Height + TrTileSide - 1) / TrTileSide; }
};

// Where everything of a ".tr" file lies, from the picture's size and its
// colour count alone.
struct TTrLayout {
    int32_t Width = 0;
    int32_t Height = 0;
    int32_t PaletteCount = 0;
    int32_t LevelCount = 0;
    TTrLevel Levels[TrMaxLevels];
    int64_t FileSize = 0;  // the end of the last level's last tile
};

// Throws EFormatError when the size or colour count is unusable: a cache
// whose offsets would not fit 32 bits, or whose colour table would reach
// into level 0.
TTrLayout ComputeTrLayout(int32_t width, int32_t height, int32_t paletteCount);
// The 338 header bytes of such a file (magic "TR", version 1, one bit).
std::string EncodeTrHeader(const TTrLayout& layout);
// The picture's name with its extension changed to ".tr".
std::string TrCacheName(const std::string& pictureName);

class TTiledRaster {
public:
    virtual ~TTiledRaster();
    TTiledRaster(const TTiledRaster&) = delete;
    TTiledRaster& operator=(const TTiledRaster&) = delete;

    // The raster of a ".bmp" file: its cache used when it is newer than the
    // picture and agrees with it, else built anew (to a temporary file
    // renamed into place). Null, and no cache written, for pictures of 4,
    // 8, 16 and 24 bits. Throws "Файл ... не найден" when neither file
    // exists, "Неизвестный формат .bmp растра" for other depths, and
    // EFormatError / EFileError for unreadable or unusable files. Names
    // finds files whose names differ in letter case (a one-off listing
    // without it).
    static std::unique_ptr<TTiledRaster> OpenRaster(const std::string& fileName, TFolderNames* names = nullptr);

    // Draws SourceRect (full-size picture pixels: left, top, right, bottom,
    // right and bottom exclusive) into DestRect of the context.
    virtual void DrawRaster(TDeviceContext& dc, const TRect& destRect, const TRect& sourceRect, uint32_t rop) = 0;

    // True, and the cache positioned at the tile, when the level has it.
    bool SeekTile(int32_t level, int32_t column, int32_t row);

    int32_t Width() const { return Layout.Width; }
    int32_t Height() const { return Layout.Height; }
    const TTrLayout& GetLayout() const { return Layout; }
    // The picture's colour table, as stored in the cache.
    const std::vector<uint32_t>& Palette() const { return Colors; }

protected:
    TTiledRaster(std::unique_ptr<TStream> cache, const TTrLayout& layout, std::vector<uint32_t> palette);

    std::unique_ptr<TStream> Cache;
    TTrLayout Layout;
    std::vector<uint32_t> Colors;
};

class T1BitRaster final : public TTiledRaster {
public:
    T1BitRaster(std::unique_ptr<TStream> cache, const TTrLayout& layout, std::vector<uint32_t> palette);

    // Writes the cache of a checked one-bit picture to `cacheName` through a
    // temporary file; nothing is replaced when it fails.
    static void BuildTiles(TStream& picture, const TBmpHeader& header, const std::string& cacheName);

    void DrawRaster(TDeviceContext& dc, const TRect& destRect, const TRect& sourceRect, uint32_t rop) override;

private:
    // Shrinking averages the pixels under each destination pixel, as the
    // half-tone stretch mode does, straight from the level's bits.
    void DrawHalftone(TDeviceContext& dc, int32_t x, int32_t y, int32_t w, int32_t h, int64_t sx, int64_t sy,
                      int64_t sw, int64_t sh, const TBitmapInfo& buffer, uint32_t rop);

    // Scratch of the last drawing, reused by the next.
    std::vector<uint8_t> Buffer;  // the tiles under the part drawn
    std::vector<int64_t> Columns;
    std::vector<int32_t> Widths;
    std::vector<uint32_t> Counts;
    std::vector<uint32_t> BytePrefix;
    std::vector<uint32_t> Starts;
    std::vector<uint32_t> Pixels;
};

} // namespace tarn
