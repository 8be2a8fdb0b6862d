#pragma once
// Windows ".bmp" pictures: a reader that checks every header field against
// the file before it reads a byte of pixels, and the run-wide cache that
// keeps one image per file name for every picture object that shows it.
#include "Streams.h"
#include "platform/gdi/Gdi.h"

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace tarn {

// What the headers of a ".bmp" file say, after checking.
struct TBmpHeader {
    int64_t FileSize = 0;
    uint32_t HeaderSize = 0;    // 12 for the core form, else 40 and up
    int32_t Width = 0;          // > 0
    int32_t Height = 0;         // rows, > 0
    bool TopDown = false;       // first row in the file is the top one
    uint16_t BitCount = 0;      // 1, 4, 8, 16, 24 or 32
    uint32_t Compression = 0;   // 0 none, 1 RLE8, 2 RLE4, 3 bit fields
    uint32_t Masks[3] = {};     // red, green, blue masks of 16 and 32 bits
    int64_t PaletteOffset = 0;  // where the colour table begins
    // The colour table as 0x00RRGGBB (the stored blue, green, red, reserved
    // bytes read little-endian); a count of 0 in the header means the full
    // table of the depth. Empty above 8 bits.
    std::vector<uint32_t> Palette;
    int64_t PixelOffset = 0;
    int64_t RowBytes = 0;       // uncompressed rows, padded to four bytes
    int64_t PixelBytes = 0;     // bytes of pixel data from PixelOffset

    // File offset of row y counted from the top (uncompressed pictures).
    int64_t RowOffset(int32_t y) const
    {
        return PixelOffset + (TopDown ? int64_t(y) : int64_t(Height) - 1 - y) * RowBytes;
    }
};

// Reads and checks the file and information headers and the colour table;
// EFormatError names the first bad field. The stream is left anywhere.
TBmpHeader ReadBmpHeader(TStream& stream);

// What one picture may take as an image when nobody says otherwise: the
// largest the drawing layer makes.
constexpr int64_t DefaultMaxImageBytes = int64_t(1) << 30;

// The picture as an image; throws EFileError or EFormatError, the latter
// also, before anything is decoded, for a picture whose image would take
// more than maxImageBytes (4 bytes a pixel).
TGdiRef<TBitmap> ReadBitmapFile(const std::string& name, int64_t maxImageBytes = DefaultMaxImageBytes);
// The same from a stream (errors name the stream).
TGdiRef<TBitmap> ReadBitmap(TStream& stream, int64_t maxImageBytes = DefaultMaxImageBytes);
// The same, null on any failure.
TGdiRef<TBitmap> LoadBitmapFile(const std::string& name, int64_t maxImageBytes = DefaultMaxImageBytes);
// The bytes the image of a picture of that size takes.
inline int64_t ImageBytes(int32_t width, int32_t height) { return int64_t(width) * height * 4; }

// A picture of the cache: never drawn into once loaded. Blits read it
// through its own memory context.
class TCachedBitmap {
public:
    explicit TCachedBitmap(TGdiRef<TBitmap> bitmap);
    ~TCachedBitmap();
    TCachedBitmap(const TCachedBitmap&) = delete;
    TCachedBitmap& operator=(const TCachedBitmap&) = delete;

    int32_t Width() const { return Bitmap->Width(); }
    int32_t Height() const { return Bitmap->Height(); }
    const TDeviceContext& Source() const { return *DC; }

private:
    TGdiRef<TBitmap> Bitmap;
    std::unique_ptr<TDeviceContext> DC;
};

class TFolderNames;

// One image per file name (byte-wise, case-sensitive) for the whole run;
// the cache owns the images, callers only borrow them. A name whose load
// failed is tried again on the next request. The images together stay
// within a budget: a picture whose image would pass it is not loaded (its
// object shows the placeholder), so a small run-length coded file cannot
// make the program take gigabytes. Large one-bit plans are shown through
// their tiled cache instead and need none of it.
class TBitmapCache {
public:
    static constexpr int64_t DefaultBudget = int64_t(512) << 20;

    TBitmapCache() = default;
    TBitmapCache(const TBitmapCache&) = delete;
    TBitmapCache& operator=(const TBitmapCache&) = delete;

    // The remembered picture, else the file loaded and remembered; null
    // when it cannot be loaded or its image would pass the budget. Names
    // resolves a name that differs from the file's in letter case (a
    // one-off listing without it).
    const TCachedBitmap* Get(const std::string& name, TFolderNames* names = nullptr);
    const TCachedBitmap* Find(const std::string& name) const;
    // How many files were read (loads attempted), for the cache's users.
    int32_t LoadCount() const { return Loads; }
    // The bytes the images held take, and what they may take.
    int64_t Bytes() const { return Held; }
    int64_t Budget() const { return Limit; }
    void SetBudget(int64_t bytes) { Limit = bytes; }

private:
    std::unordered_map<std::string, std::unique_ptr<TCachedBitmap>> Names;
    int32_t Loads = 0;
    int64_t Held = 0;
    int64_t Limit = DefaultBudget;
};

// The cache of the run.
TBitmapCache& BitmapCache();
// BitmapCache().Get(name, names); null for an empty name.
const TCachedBitmap* GetCachedBitmap(const std::string& name, TFolderNames* names = nullptr);

// The name as given when that file exists; otherwise the one entry of its
// folder whose name differs only in letter case, if any; otherwise the
// name as given.
std::string ResolveFileName(const std::string& name);

} // namespace tarn
