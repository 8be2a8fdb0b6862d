#include "Rasters.h"
#include "FileNames.h"
#include "Errors.h"
#include "Utils.h"
#include "platform/SafeFile.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <filesystem>

namespace tarn {

namespace {

void PutU16(std::string& b, size_t at, uint16_t v)
{
    b[at] = char(v & 0xFF);
    b[at + 1] = char(v >> 8);
}
void PutU32(std::string& b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i) b[at + size_t(i)] = char((v >> (8 * i)) & 0xFF);
}
uint32_t GetU32(const std::string& b, size_t at)
{
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= uint32_t(uint8_t(b[at + size_t(i)])) << (8 * i);
    return v;
}

// Counts of a cell's four children, for a byte of the upper child row (high
// half of the index) and the byte below it: bits 0-3 the cells with three
// or four set children, bits 4-7 those with exactly two (cell 0 in the high
// bit of each nibble, as pixels lie in a byte), bits 8-12 the set children,
// bits 13-15 the number of cells with three or four.
struct TReduceTable {
    uint16_t E[65536];
    TReduceTable()
    {
        for (uint32_t a = 0; a < 256; ++a)
            for (uint32_t b = 0; b < 256; ++b) {
                uint16_t full = 0, two = 0;
                for (int k = 0; k < 4; ++k) {
                    int shift = 6 - 2 * k;
                    int n = std::popcount((a >> shift) & 3u) + std::popcount((b >> shift) & 3u);
                    if (n >= 3) full |= uint16_t(8 >> k);
                    if (n == 2) two |= uint16_t(8 >> k);
                }
                E[(a << 8) | b] = uint16_t(full | (two << 4) | (std::popcount(a) + std::popcount(b)) << 8 |
                                           std::popcount(unsigned(full)) << 13);
            }
    }
};

const TReduceTable& ReduceTable()
{
    static const TReduceTable table;
    return table;
}

// A small seeded generator (splitmix64): the same cache for the same picture.
class TRandom {
public:
    explicit TRandom(uint64_t seed) : State(seed) {}
    uint64_t Next()
    {
        uint64_t z = (State += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // 0..n-1 (n > 0), uniform to within n / 2^64.
    uint32_t Below(uint32_t n) { return uint32_t((unsigned __int128)Next() * n >> 64); }

private:
    uint64_t State;
};

// Halves one child tile into a quarter of `dest` at (qx, qy): a cell is set
// when three or four of its children are, and then cells with exactly two
// set children are drawn at random (uniformly, with repetition) until a
// quarter of all set children is reached or there are none to draw. Cells
// at or beyond (limitX, limitY) lie outside the level and stay clear.
void ReduceQuadrant(const uint8_t* child, uint8_t* dest, int32_t qx, int32_t qy, int32_t limitX, int32_t limitY,
                    TRandom& random, std::vector<uint16_t>& candidates)
{
    const TReduceTable& t = ReduceTable();
    candidates.clear();
    int64_t set = 0, total = 0;
    const int32_t half = TrTileSide / 2;
    for (int32_t y = 0; y < half; ++y) {
        const uint8_t* upper = child + size_t(2 * y) * TrTileRowBytes;
        const uint8_t* lower = upper + TrTileRowBytes;
        uint8_t* out = dest + size_t(qy + y) * TrTileRowBytes + size_t(qx / 8);
        const bool rowInside = y < limitY;
        for (int32_t j = 0; j < half / 8; ++j) {
            uint16_t e0 = t.E[(uint32_t(upper[2 * j]) << 8) | lower[2 * j]];
            uint16_t e1 = t.E[(uint32_t(upper[2 * j + 1]) << 8) | lower[2 * j + 1]];
            uint8_t full = uint8_t(((e0 & 15) << 4) | (e1 & 15));
            uint8_t two = uint8_t((((e0 >> 4) & 15) << 4) | ((e1 >> 4) & 15));
            total += ((e0 >> 8) & 31) + ((e1 >> 8) & 31);
            set += (e0 >> 13) + (e1 >> 13);
            out[j] = full;
            if (two && rowInside) {
                for (int k = 0; k < 8; ++k) {
                    int32_t x = 8 * j + k;
                    if ((two & (0x80 >> k)) && x < limitX) candidates.push_back(uint16_t(y * half + x));
                }
            }
        }
    }
    const int64_t target = total / 4;
    if (set >= target || candidates.empty()) return;
    const uint32_t n = uint32_t(candidates.size());
    for (int64_t k = set; k < target; ++k) {
        uint16_t cell = candidates[random.Below(n)];
        int32_t x = cell % half, y = cell / half;
        dest[size_t(qy + y) * TrTileRowBytes + size_t((qx + x) / 8)] |= uint8_t(0x80 >> ((qx + x) & 7));
    }
}

[[noreturn]] void BadCache(const std::string& name, const std::string& message)
{
    throw EFormatError(name + ": " + message);
}

// Opens a cache and checks it against its own header, and against the
// picture when that is known.
std::unique_ptr<TTiledRaster> OpenCache(const std::string& name, const TBmpHeader* picture)
{
    auto s = std::make_unique<TFileStream>(name, TFileStream::Mode::Read);
    const std::string head = s->readBytes(TrHeaderSize, "cache header");
    if (head.compare(0, 2, "TR") != 0) BadCache(name, "not a tiled raster cache (no \"TR\")");
    if (uint8_t(head[2]) != 1 || head[3] != 0) BadCache(name, "unknown cache version");
    if (uint8_t(head[4]) != 1 || head[5] != 0) BadCache(name, "the cache is not of a one-bit picture");
    const int32_t width = int32_t(GetU32(head, 6)), height = int32_t(GetU32(head, 10));
    const int32_t count = int32_t(GetU32(head, 334));
    if (width <= 0 || height <= 0) BadCache(name, "the cache's picture size is not positive");
    const TTrLayout layout = ComputeTrLayout(width, height, count);
    if (EncodeTrHeader(layout) != head) BadCache(name, "the cache's level table does not match its picture size");
    if (s->Size() != layout.FileSize)
        BadCache(name, "the cache holds " + std::to_string(s->Size()) + " bytes, its levels need " +
                           std::to_string(layout.FileSize));
    std::vector<uint32_t> palette(static_cast<size_t>(count));
    for (uint32_t& c : palette) c = s->readU32LE("cache palette");
    if (picture && (picture->Width != width || picture->Height != height || picture->Palette != palette))
        BadCache(name, "the cache does not match its picture");
    return std::make_unique<T1BitRaster>(std::move(s), layout, std::move(palette));
}

} // namespace

TTrLayout ComputeTrLayout(int32_t width, int32_t height, int32_t paletteCount)
{
    if (width <= 0 || height <= 0) throw EFormatError("a tiled raster needs a positive picture size");
    if (paletteCount < 0) throw EFormatError("negative colour count " + std::to_string(paletteCount));
    TTrLayout l;
    l.Width = width;
    l.Height = height;
    l.PaletteCount = paletteCount;
    const int64_t paletteEnd = TrHeaderSize + 4 * int64_t(paletteCount);
    // The first 4096-byte boundary after the colour table, kept below 2^28.
    const int64_t first = (paletteEnd + 4095) & 0x0FFFF000;
    if (first < paletteEnd)
        throw EFormatError("a colour table of " + std::to_string(paletteCount) +
                           " entries would overlap the first level of the tiled raster");
    int64_t offset = first;
    const int32_t side = std::max(width, height);
    for (int32_t n = 0; n < TrMaxLevels; ++n) {
        if (n > 0) {
            if ((side >> n) < TrMinLevelSide) break;
            const TTrLevel& p = l.Levels[n - 1];
            offset += (int64_t(p.Columns()) * (int64_t(p.Height) + TrTileSide - 1)) / TrTileSide * TrTileBytes;
        }
        if (offset > int64_t(UINT32_MAX))
            throw EFormatError("a picture of " + std::to_string(width) + " x " + std::to_string(height) +
                               " pixels is too large for a tiled raster cache (32-bit offsets)");
        TTrLevel& v = l.Levels[n];
        v.Factor = std::ldexp(1.0, n);
        v.Width = width >> n;
        v.Height = height >> n;
        v.Offset = uint32_t(offset);
        l.LevelCount = n + 1;
    }
    const TTrLevel& last = l.Levels[l.LevelCount - 1];
    l.FileSize = int64_t(last.Offset) + int64_t(last.Columns()) * last.Rows() * TrTileBytes;
    if (l.FileSize > int64_t(UINT32_MAX) + 1)
        throw EFormatError("a picture of " + std::to_string(width) + " x " + std::to_string(height) +
                           " pixels is too large for a tiled raster cache (32-bit offsets)");
    return l;
}

std::string EncodeTrHeader(const TTrLayout& l)
{
    std::string b(size_t(TrHeaderSize), '\0');
    b[0] = 'T';
    b[1] = 'R';
    PutU16(b, 2, 1);
    PutU16(b, 4, 1);
    PutU32(b, 6, uint32_t(l.Width));
    PutU32(b, 10, uint32_t(l.Height));
    for (int32_t n = 0; n < l.LevelCount; ++n) {
        const TTrLevel& v = l.Levels[n];
        const size_t at = 14 + size_t(n) * 20;
        uint64_t bits = std::bit_cast<uint64_t>(v.Factor);
        PutU32(b, at, uint32_t(bits));
        PutU32(b, at + 4, uint32_t(bits >> 32));
        PutU32(b, at + 8, uint32_t(v.Width));
        PutU32(b, at + 12, uint32_t(v.Height));
        PutU32(b, at + 16, v.Offset);
    }
    PutU32(b, 334, uint32_t(l.PaletteCount));
    return b;
}

std::string TrCacheName(const std::string& pictureName)
{
    size_t slash = pictureName.find_last_of('/');
    size_t dot = pictureName.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return pictureName + ".tr";
    return pictureName.substr(0, dot) + ".tr";
}

// ---- TTiledRaster ----

TTiledRaster::TTiledRaster(std::unique_ptr<TStream> cache, const TTrLayout& layout, std::vector<uint32_t> palette)
    : Cache(std::move(cache)), Layout(layout), Colors(std::move(palette))
{
}

TTiledRaster::~TTiledRaster() = default;

bool TTiledRaster::SeekTile(int32_t level, int32_t column, int32_t row)
{
    if (level < 0 || level >= Layout.LevelCount) return false;
    const TTrLevel& v = Layout.Levels[level];
    if (column < 0 || row < 0 || column >= v.Columns() || row >= v.Rows()) return false;
    Cache->Seek(int64_t(v.Offset) + (int64_t(row) * v.Columns() + column) * TrTileBytes);
    return true;
}

std::unique_ptr<TTiledRaster> TTiledRaster::OpenRaster(const std::string& fileName, TFolderNames* names)
{
    namespace fs = std::filesystem;
    TFolderNames oneOff;
    TFolderNames& found = names ? *names : oneOff;
    const std::string picture = found.Find(fileName);
    const std::string cache = found.Find(TrCacheName(picture));
    std::error_code ec;
    const bool havePicture = fs::is_regular_file(picture, ec);
    // A cache that is a link may lead anywhere: it is neither read nor replaced.
    const bool haveCache = fs::is_regular_file(fs::symlink_status(cache, ec));
    if (!havePicture && !haveCache) throw EFileError("Файл " + fileName + " не найден");
    if (!havePicture) return OpenCache(cache, nullptr);

    TFileStream bmp(picture, TFileStream::Mode::Read);
    const TBmpHeader h = ReadBmpHeader(bmp);
    switch (h.BitCount) {
    case 1: break;
    case 4: case 8: case 16: case 24: return nullptr;
    default: throw EFormatError("Неизвестный формат .bmp растра");
    }
    ComputeTrLayout(h.Width, h.Height, int32_t(h.Palette.size()));  // refuses what cannot be cached
    if (haveCache) {
        const auto pictureTime = fs::last_write_time(picture, ec);
        const auto cacheTime = fs::last_write_time(cache, ec);
        if (!ec && pictureTime < cacheTime) {
            try {
                return OpenCache(cache, &h);
            } catch (const EFormatError&) {
                // inconsistent with itself or with the picture: built anew
            }
        }
    }
    T1BitRaster::BuildTiles(bmp, h, cache);
    return OpenCache(cache, &h);
}

// ---- T1BitRaster ----

T1BitRaster::T1BitRaster(std::unique_ptr<TStream> cache, const TTrLayout& layout, std::vector<uint32_t> palette)
    : TTiledRaster(std::move(cache), layout, std::move(palette))
{
}

void T1BitRaster::BuildTiles(TStream& picture, const TBmpHeader& h, const std::string& cacheName)
{
    if (h.BitCount != 1 || h.Compression != 0)
        throw EFormatError("Формат исходного растра несоответствует формату отрисовывающего объекта");
    const TTrLayout layout = ComputeTrLayout(h.Width, h.Height, int32_t(h.Palette.size()));

    TSafeFileWriter writer(cacheName);
    TFileStream out(writer.TempPath(), TFileStream::Mode::ReadWrite);
    out.writeBytes(EncodeTrHeader(layout));
    for (uint32_t c : h.Palette) out.writeU32LE(c);

    std::vector<uint8_t> tile(TrTileBytes);
    // Level 0: 512 picture rows at a time, cut into tiles. Bits past the
    // picture's right edge (row padding) are cleared.
    {
        const TTrLevel& v = layout.Levels[0];
        const int32_t cols = v.Columns(), rows = v.Rows();
        const int64_t usedBytes = (int64_t(h.Width) + 7) / 8;
        const uint8_t tailMask = uint8_t(0xFF << ((8 - h.Width % 8) % 8));
        std::vector<uint8_t> band(static_cast<size_t>(h.RowBytes) * TrTileSide);
        out.Seek(v.Offset);
        for (int32_t r = 0; r < rows; ++r) {
            const int32_t y0 = r * TrTileSide;
            const int32_t n = std::min(TrTileSide, h.Height - y0);
            // The band's rows are contiguous in the file either way round.
            const int64_t first = h.TopDown ? h.RowOffset(y0) : h.RowOffset(y0 + n - 1);
            picture.Seek(first);
            picture.ReadBuffer(band.data(), size_t(h.RowBytes) * size_t(n), "pixel data");
            for (int32_t c = 0; c < cols; ++c) {
                std::fill(tile.begin(), tile.end(), 0);
                const int64_t from = int64_t(c) * TrTileRowBytes;
                const int64_t len = std::min<int64_t>(TrTileRowBytes, usedBytes - from);
                const bool edge = from + len == usedBytes;
                for (int32_t k = 0; k < n; ++k) {
                    const int32_t mem = h.TopDown ? k : n - 1 - k;
                    uint8_t* dst = tile.data() + size_t(k) * TrTileRowBytes;
                    std::memcpy(dst, band.data() + size_t(mem) * size_t(h.RowBytes) + size_t(from), size_t(len));
                    if (edge) dst[len - 1] &= tailMask;
                }
                out.Write(tile.data(), tile.size());
            }
        }
    }
    // Every further level from the four tiles of the one below.
    std::vector<uint8_t> child(TrTileBytes);
    std::vector<uint16_t> candidates;
    candidates.reserve(size_t(TrTileSide / 2) * (TrTileSide / 2));
    for (int32_t n = 1; n < layout.LevelCount; ++n) {
        const TTrLevel& p = layout.Levels[n - 1];
        const TTrLevel& v = layout.Levels[n];
        for (int32_t r = 0; r < v.Rows(); ++r)
            for (int32_t c = 0; c < v.Columns(); ++c) {
                std::fill(tile.begin(), tile.end(), 0);
                for (int32_t q = 0; q < 4; ++q) {
                    const int32_t cc = 2 * c + (q & 1), rr = 2 * r + (q >> 1);
                    if (cc >= p.Columns() || rr >= p.Rows()) continue;
                    out.Seek(int64_t(p.Offset) + (int64_t(rr) * p.Columns() + cc) * TrTileBytes);
                    out.ReadBuffer(child.data(), child.size(), "tile");
                    const int32_t qx = (q & 1) * (TrTileSide / 2), qy = (q >> 1) * (TrTileSide / 2);
                    TRandom random((uint64_t(n) << 56) ^ (uint64_t(r) << 34) ^ (uint64_t(c) << 4) ^ uint64_t(q));
                    ReduceQuadrant(child.data(), tile.data(), qx, qy, v.Width - (c * TrTileSide + qx),
                                   v.Height - (r * TrTileSide + qy), random, candidates);
                }
                out.Seek(int64_t(v.Offset) + (int64_t(r) * v.Columns() + c) * TrTileBytes);
                out.Write(tile.data(), tile.size());
            }
    }
    if (out.Size() != layout.FileSize) throw EFormatError(cacheName + ": the cache came out at the wrong size");
    out.Flush();
    writer.Commit();
}

void T1BitRaster::DrawRaster(TDeviceContext& dc, const TRect& d, const TRect& s, uint32_t rop)
{
    const int64_t dw = int64_t(d.Right) - d.Left, dh = int64_t(d.Bottom) - d.Top;
    const int64_t sw = int64_t(s.Right) - s.Left, sh = int64_t(s.Bottom) - s.Top;
    if (!dc.CanDraw() || dw == 0 || dh == 0 || sw <= 0 || sh <= 0) return;
    const double ratio = std::max(double(sw) / double(std::abs(dw)), double(sh) / double(std::abs(dh)));
    int32_t level = 0;
    for (int32_t n = 1; n < Layout.LevelCount; ++n) {
        const TTrLevel& v = Layout.Levels[n];
        if (v.Factor == 0 || v.Factor > ratio || v.Width == 0 || v.Height == 0) break;
        level = n;
    }
    const TTrLevel& v = Layout.Levels[level];
    const long double f = v.Factor;
    const int64_t l = RoundEven(s.Left / f), t = RoundEven(s.Top / f);
    const int64_t r = std::max(RoundEven(s.Right / f), l + 1), b = std::max(RoundEven(s.Bottom / f), t + 1);
    // Only tiles that exist are fetched; the rest of the source is blank.
    const int64_t cl = std::max<int64_t>(l, 0), ct = std::max<int64_t>(t, 0);
    const int64_t cr = std::min<int64_t>(r, v.Width), cb = std::min<int64_t>(b, v.Height);
    if (cl >= cr || ct >= cb) return;
    const int32_t c0 = int32_t(cl / TrTileSide), c1 = int32_t((cr - 1) / TrTileSide);
    const int32_t r0 = int32_t(ct / TrTileSide), r1 = int32_t((cb - 1) / TrTileSide);
    const size_t cols = size_t(c1 - c0 + 1), rows = size_t(r1 - r0 + 1);
    const size_t rowBytes = cols * TrTileRowBytes;
    Buffer.assign(rowBytes * rows * TrTileSide, 0);
    uint8_t tile[TrTileBytes];
    for (int32_t tr = r0; tr <= r1; ++tr)
        for (int32_t tc = c0; tc <= c1; ++tc) {
            if (!SeekTile(level, tc, tr)) continue;
            Cache->ReadBuffer(tile, sizeof tile, "tile");
            uint8_t* at = Buffer.data() + size_t(tr - r0) * TrTileSide * rowBytes + size_t(tc - c0) * TrTileRowBytes;
            for (int32_t k = 0; k < TrTileSide; ++k)
                std::memcpy(at + size_t(k) * rowBytes, tile + size_t(k) * TrTileRowBytes, TrTileRowBytes);
        }

    // White and black unless the picture has its own colours.
    uint32_t colors[2] = {0xFFFFFF, 0x000000};
    for (size_t i = 0; i < 2 && i < Colors.size(); ++i) colors[i] = Colors[i];
    TBitmapInfo info;
    info.Width = int32_t(cols * TrTileSide);
    info.Height = -int32_t(rows * TrTileSide);  // rows top-down, as in the tiles
    info.BitCount = 1;
    info.Colors = colors;
    info.ColorCount = 2;

    TGdiRef<TBrush> oldBrush = dc.SelectBrush(StockBrush(TGDI_BLACK_BRUSH));
    const int32_t oldMode = dc.SetStretchBltMode(TGDI_HALFTONE);
    const int64_t lw = r - l, lh = b - t;
    if (dw > 0 && dh > 0 && dw <= lw && dh <= lh && (dw < lw || dh < lh)) {
        DrawHalftone(dc, d.Left, d.Top, int32_t(dw), int32_t(dh), l - int64_t(c0) * TrTileSide,
                     t - int64_t(r0) * TrTileSide, lw, lh, info, rop);
    } else {
        dc.StretchDIBits(d.Left, d.Top, int32_t(dw), int32_t(dh), int32_t(l - int64_t(c0) * TrTileSide),
                         int32_t(t - int64_t(r0) * TrTileSide), int32_t(lw), int32_t(lh), Buffer.data(),
                         Buffer.size(), info, rop);
    }
    dc.SetStretchBltMode(oldMode);
    dc.SelectBrush(oldBrush);
}

namespace {

// Set pixels among the first k (0..7) of a byte, pixel 0 in the high bit.
struct TLeadingBits {
    uint8_t N[256][8];
    TLeadingBits()
    {
        for (int v = 0; v < 256; ++v)
            for (int k = 0; k < 8; ++k) N[v][k] = uint8_t(std::popcount(unsigned(v) >> (8 - k)));
    }
};

const TLeadingBits& LeadingBits()
{
    static const TLeadingBits table;
    return table;
}

} // namespace

void T1BitRaster::DrawHalftone(TDeviceContext& dc, int32_t x, int32_t y, int32_t w, int32_t h, int64_t sx,
                               int64_t sy, int64_t sw, int64_t sh, const TBitmapInfo& buffer, uint32_t rop)
{
    // Only the destination pixels on the device are computed.
    const int64_t i0 = std::max<int64_t>(0, -int64_t(x)), i1 = std::min<int64_t>(w, int64_t(dc.Width()) - x);
    const int64_t j0 = std::max<int64_t>(0, -int64_t(y)), j1 = std::min<int64_t>(h, int64_t(dc.Height()) - y);
    if (i0 >= i1 || j0 >= j1) return;
    const int64_t bw = buffer.Width, bh = -int64_t(buffer.Height);
    const size_t rowBytes = size_t(bw / 8);
    Buffer.push_back(0);  // a column ending at the right edge reads one byte past its row

    // Each destination column and row takes the source pixels from its own
    // start to the next one's: every source pixel counts once.
    const size_t vw = size_t(i1 - i0), vh = size_t(j1 - j0);
    Columns.resize(vw + 1);
    Widths.resize(vw);
    for (size_t i = 0; i <= vw; ++i) Columns[i] = sx + (int64_t(i0) + int64_t(i)) * sw / w;
    for (size_t i = 0; i < vw; ++i) Widths[i] = int32_t(Columns[i + 1] - Columns[i]);
    for (int64_t& c : Columns) c = std::clamp<int64_t>(c, 0, bw);
    Counts.resize(vw);
    Pixels.resize(vw * vh);

    const uint32_t c0 = buffer.Colors[0], c1 = buffer.Colors[1];
    const int32_t r0 = int32_t((c0 >> 16) & 0xFF), g0 = int32_t((c0 >> 8) & 0xFF), b0 = int32_t(c0 & 0xFF);
    const int32_t dr = int32_t((c1 >> 16) & 0xFF) - r0, dg = int32_t((c1 >> 8) & 0xFF) - g0,
                  db = int32_t(c1 & 0xFF) - b0;
    // Per source row: set pixels before each byte, then before each column
    // start; a column's count is the difference of its two ends.
    const TLeadingBits& lead = LeadingBits();
    const size_t firstByte = size_t(Columns[0] >> 3), lastByte = size_t(Columns[vw] >> 3);
    BytePrefix.resize(lastByte - firstByte + 1);
    Starts.resize(vw + 1);
    for (size_t j = 0; j < vh; ++j) {
        const int64_t ya = sy + (j0 + int64_t(j)) * sh / h, yb = sy + (j0 + int64_t(j) + 1) * sh / h;
        std::fill(Counts.begin(), Counts.end(), 0u);
        for (int64_t yy = std::max<int64_t>(ya, 0); yy < std::min<int64_t>(yb, bh); ++yy) {
            const uint8_t* row = Buffer.data() + size_t(yy) * rowBytes;
            uint32_t run = 0;
            for (size_t k = firstByte; k <= lastByte; ++k) {
                BytePrefix[k - firstByte] = run;
                run += lead.N[row[k]][7] + (row[k] & 1);
            }
            for (size_t i = 0; i <= vw; ++i) {
                const size_t at = size_t(Columns[i] >> 3);
                Starts[i] = BytePrefix[at - firstByte] + lead.N[row[at]][Columns[i] & 7];
            }
            for (size_t i = 0; i < vw; ++i) Counts[i] += Starts[i + 1] - Starts[i];
        }
        // The share of set pixels blends the two colours; pixels outside
        // the level count as unset.
        uint32_t* out = Pixels.data() + j * vw;
        int64_t lastArea = -1;
        uint32_t scale = 0;  // 2^24 / area
        for (size_t i = 0; i < vw; ++i) {
            const int64_t area = int64_t(Widths[i]) * (yb - ya);
            if (area != lastArea) {
                lastArea = area;
                scale = area > 0 ? uint32_t((uint64_t(1) << 24) / uint64_t(area)) : 0;
            }
            const int32_t a = int32_t((uint64_t(Counts[i]) * scale + (1u << 15)) >> 16);  // 0..256
            out[i] = uint32_t(r0 + ((dr * a) >> 8)) << 16 | uint32_t(g0 + ((dg * a) >> 8)) << 8 |
                     uint32_t(b0 + ((db * a) >> 8));
        }
    }
    TBitmapInfo info;
    info.Width = int32_t(vw);
    info.Height = -int32_t(vh);
    info.BitCount = 32;
    dc.StretchDIBits(int32_t(x + i0), int32_t(y + j0), int32_t(vw), int32_t(vh), 0, 0, int32_t(vw), int32_t(vh),
                     Pixels.data(), Pixels.size() * 4, info, rop);
}

} // namespace tarn
