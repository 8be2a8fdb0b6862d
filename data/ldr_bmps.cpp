#include "ldr_bmps.h"
#include "Errors.h"
#include "FileNames.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <filesystem>

namespace tarn {

namespace {

constexpr uint32_t BiRgb = 0, BiRle8 = 1, BiRle4 = 2, BiBitFields = 3;

[[noreturn]] void Bad(const TStream& s, int64_t offset, const char* field, const std::string& message)
{
    ThrowFormat(s.Name(), offset, field, message);
}

uint32_t U32At(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }
uint16_t U16At(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

// A colour mask of bit fields: where its bits start and how many there are.
struct TMaskShape {
    int Shift = 0;
    int Bits = 0;
};

bool MaskShape(uint32_t mask, TMaskShape& shape)
{
    if (mask == 0) return true;
    shape.Shift = std::countr_zero(mask);
    shape.Bits = std::popcount(mask);
    // A full mask first: shifting 1 by 32 is undefined.
    return shape.Bits == 32 || (mask >> shape.Shift) == (uint32_t(1) << shape.Bits) - 1;
}

uint32_t Channel(uint32_t pixel, uint32_t mask, const TMaskShape& m)
{
    if (mask == 0) return 0;
    uint32_t v = (pixel & mask) >> m.Shift;
    uint32_t max = m.Bits >= 32 ? 0xFFFFFFFFu : (uint32_t(1) << m.Bits) - 1;
    return uint32_t((uint64_t(v) * 255 + max / 2) / max);
}

} // namespace

TBmpHeader ReadBmpHeader(TStream& s)
{
    TBmpHeader h;
    h.FileSize = s.Size();
    s.Seek(0);
    uint8_t fh[14];
    s.ReadBuffer(fh, sizeof fh, "file header");
    if (fh[0] != 'B' || fh[1] != 'M') Bad(s, 0, "magic", "not a \"BM\" picture");
    h.PixelOffset = U32At(fh + 10);

    h.HeaderSize = s.readU32LE("header size");
    const uint32_t hs = h.HeaderSize;
    if (hs != 12 && hs != 40 && hs != 52 && hs != 56 && hs != 108 && hs != 124)
        Bad(s, 14, "header size", "unknown information header of " + std::to_string(hs) + " bytes");
    std::vector<uint8_t> ih(hs);
    s.ReadBuffer(ih.data() + 4, hs - 4, "information header");
    const uint8_t* p = ih.data();

    int64_t height = 0;
    uint16_t planes = 0;
    uint32_t colorsUsed = 0, imageSize = 0;
    int entrySize = 4;
    if (hs == 12) {
        h.Width = U16At(p + 4);
        height = U16At(p + 6);
        planes = U16At(p + 8);
        h.BitCount = U16At(p + 10);
        entrySize = 3;
    } else {
        h.Width = int32_t(U32At(p + 4));
        height = int32_t(U32At(p + 8));
        planes = U16At(p + 12);
        h.BitCount = U16At(p + 14);
        h.Compression = U32At(p + 16);
        imageSize = U32At(p + 20);
        colorsUsed = U32At(p + 32);
    }
    if (h.Width <= 0) Bad(s, 18, "width", "width " + std::to_string(h.Width) + " is not positive");
    if (height == 0) Bad(s, 22, "height", "height is 0");
    h.TopDown = height < 0;
    height = std::abs(height);
    if (height > INT32_MAX) Bad(s, 22, "height", "height out of range");
    h.Height = int32_t(height);
    if (planes != 1) Bad(s, 26, "planes", "planes must be 1, not " + std::to_string(planes));
    const uint16_t bits = h.BitCount;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        Bad(s, 28, "bit count", "unsupported bit count " + std::to_string(bits));
    switch (h.Compression) {
    case BiRgb: break;
    case BiRle8:
        if (bits != 8) Bad(s, 30, "compression", "8-bit run-length coding of a " + std::to_string(bits) + "-bit picture");
        break;
    case BiRle4:
        if (bits != 4) Bad(s, 30, "compression", "4-bit run-length coding of a " + std::to_string(bits) + "-bit picture");
        break;
    case BiBitFields:
        if (bits != 16 && bits != 32) Bad(s, 30, "compression", "bit fields in a " + std::to_string(bits) + "-bit picture");
        break;
    default: Bad(s, 30, "compression", "unsupported compression " + std::to_string(h.Compression));
    }
    if (h.TopDown && (h.Compression == BiRle8 || h.Compression == BiRle4))
        Bad(s, 22, "height", "a run-length coded picture cannot run top-down");

    int64_t tableOffset = 14 + int64_t(hs);
    if (h.Compression == BiBitFields) {
        if (hs == 40) {
            uint8_t m[12];
            s.ReadBuffer(m, sizeof m, "colour masks");
            for (int i = 0; i < 3; ++i) h.Masks[i] = U32At(m + 4 * i);
            tableOffset += 12;
        } else {
            for (int i = 0; i < 3; ++i) h.Masks[i] = U32At(p + 40 + 4 * i);
        }
        TMaskShape shape;
        for (uint32_t m : h.Masks)
            if (!MaskShape(m, shape)) Bad(s, tableOffset - 12, "colour masks", "a colour mask is not contiguous");
    } else if (bits == 16) {
        h.Masks[0] = 0x7C00, h.Masks[1] = 0x03E0, h.Masks[2] = 0x001F;
    } else if (bits == 32) {
        h.Masks[0] = 0x00FF0000, h.Masks[1] = 0x0000FF00, h.Masks[2] = 0x000000FF;
    }
    h.PaletteOffset = tableOffset;

    if (bits <= 8) {
        const uint32_t full = uint32_t(1) << bits;
        if (colorsUsed > full)
            Bad(s, 46, "colours used", std::to_string(colorsUsed) + " colours in a " + std::to_string(bits) + "-bit picture");
        const uint32_t n = colorsUsed == 0 ? full : colorsUsed;
        const int64_t tableBytes = int64_t(n) * entrySize;
        if (tableOffset + tableBytes > h.FileSize) Bad(s, tableOffset, "colour table", "colour table beyond the end of the file");
        std::vector<uint8_t> table(static_cast<size_t>(tableBytes));
        s.Seek(tableOffset);
        s.ReadBuffer(table.data(), table.size(), "colour table");
        h.Palette.resize(n);
        for (uint32_t i = 0; i < n; ++i) {
            const uint8_t* e = table.data() + size_t(i) * entrySize;
            h.Palette[i] = uint32_t(e[0]) | uint32_t(e[1]) << 8 | uint32_t(e[2]) << 16 |
                           (entrySize == 4 ? uint32_t(e[3]) << 24 : 0);
        }
        tableOffset += tableBytes;
    }

    if (h.PixelOffset < tableOffset)
        Bad(s, 10, "pixel offset", "pixel data at " + std::to_string(h.PixelOffset) + " overlaps the headers");
    if (h.PixelOffset >= h.FileSize) Bad(s, 10, "pixel offset", "pixel data beyond the end of the file");
    if (h.Compression == BiRle8 || h.Compression == BiRle4) {
        h.PixelBytes = imageSize != 0 ? int64_t(imageSize) : h.FileSize - h.PixelOffset;
    } else {
        h.RowBytes = (int64_t(h.Width) * bits + 31) / 32 * 4;
        // Rows of a wide picture times a tall one pass 64 bits: the rows the
        // file can hold are counted first.
        if (h.Height > (h.FileSize - h.PixelOffset) / h.RowBytes)
            Bad(s, 22, "height",
                std::to_string(h.Height) + " rows of " + std::to_string(h.RowBytes) + " bytes beyond the end of the file");
        h.PixelBytes = h.RowBytes * h.Height;
    }
    if (h.PixelOffset + h.PixelBytes > h.FileSize)
        Bad(s, 10, "pixel data", "pixel data of " + std::to_string(h.PixelBytes) + " bytes beyond the end of the file");
    return h;
}

namespace {

// Run-length coded rows into 8-bit indices, bottom-up rows of `rowBytes`.
// Pixels the coding skips stay 0; runs past the right edge are cut.
void DecodeRle(const TBmpHeader& h, const std::vector<uint8_t>& in, std::vector<uint8_t>& out, int64_t rowBytes,
               const std::string& name)
{
    const bool four = h.Compression == BiRle4;
    size_t i = 0;
    int64_t x = 0, y = 0;  // y counts rows from the bottom
    auto put = [&](uint8_t v) {
        if (x < h.Width && y < h.Height) out[size_t(y * rowBytes + x)] = v;
        ++x;
    };
    auto need = [&](size_t n) {
        if (in.size() - i < n) ThrowFormat(name, h.PixelOffset + int64_t(i), "pixel data", "run-length data cut short");
    };
    while (i < in.size() && y < h.Height) {
        need(2);
        uint8_t count = in[i], value = in[i + 1];
        i += 2;
        if (count > 0) {
            for (int k = 0; k < count; ++k) put(four ? ((k & 1) ? value & 0x0F : value >> 4) : value);
            continue;
        }
        if (value == 0) {  // end of row
            x = 0;
            ++y;
        } else if (value == 1) {  // end of picture
            break;
        } else if (value == 2) {  // move
            need(2);
            x += in[i];
            y += in[i + 1];
            i += 2;
        } else {  // literal pixels, padded to a 16-bit boundary
            size_t bytes = four ? (value + 1u) / 2 : value;
            size_t padded = (bytes + 1) & ~size_t(1);
            need(bytes);
            for (int k = 0; k < value; ++k) {
                uint8_t b = in[i + size_t(four ? k / 2 : k)];
                put(four ? ((k & 1) ? b & 0x0F : b >> 4) : b);
            }
            i += std::min(padded, in.size() - i);
        }
    }
}

} // namespace

TGdiRef<TBitmap> ReadBitmapFile(const std::string& name, int64_t maxImageBytes)
{
    // A name taken from a map may point anywhere: a pipe or a device would
    // block the open or never end.
    std::error_code ec;
    const auto status = std::filesystem::status(name, ec);
    if (!ec && std::filesystem::exists(status) && !std::filesystem::is_regular_file(status))
        throw EFileError(name + ": не обычный файл");
    TFileStream s(name, TFileStream::Mode::Read);
    return ReadBitmap(s, maxImageBytes);
}

TGdiRef<TBitmap> ReadBitmap(TStream& s, int64_t maxImageBytes)
{
    const std::string& name = s.Name();
    const TBmpHeader h = ReadBmpHeader(s);
    const std::string size = std::to_string(h.Width) + " x " + std::to_string(h.Height) + " pixels";
    if (ImageBytes(h.Width, h.Height) > maxImageBytes)
        ThrowFormat(name, 18, "width",
                    "picture of " + size + " needs " + std::to_string(ImageBytes(h.Width, h.Height) >> 20) +
                        " MiB as an image, more than the " +
                        std::to_string(std::max<int64_t>(maxImageBytes, 0) >> 20) + " MiB it may take");
    std::vector<uint8_t> pixels(static_cast<size_t>(h.PixelBytes));
    s.Seek(h.PixelOffset);
    s.ReadBuffer(pixels.data(), pixels.size(), "pixel data");

    TBitmapInfo info;
    info.Width = h.Width;
    info.Height = h.TopDown ? -h.Height : h.Height;
    info.BitCount = h.BitCount;
    info.Colors = h.Palette.data();
    info.ColorCount = uint32_t(h.Palette.size());

    std::vector<uint8_t> converted;
    const bool standard32 = h.BitCount == 32 && h.Masks[0] == 0x00FF0000 && h.Masks[1] == 0x0000FF00 &&
                            h.Masks[2] == 0x000000FF;
    if (h.Compression == BiRle8 || h.Compression == BiRle4) {
        const int64_t rowBytes = (int64_t(h.Width) + 3) / 4 * 4;
        converted.assign(size_t(rowBytes * h.Height), 0);
        DecodeRle(h, pixels, converted, rowBytes, name);
        info.BitCount = 8;
    } else if (h.BitCount == 16 || (h.BitCount == 32 && !standard32)) {
        // Through the masks into blue, green, red bytes.
        TMaskShape m[3];
        for (int c = 0; c < 3; ++c) MaskShape(h.Masks[c], m[c]);
        const int64_t outRow = int64_t(h.Width) * 4;
        converted.resize(size_t(outRow * h.Height));
        for (int64_t row = 0; row < h.Height; ++row) {
            const uint8_t* in = pixels.data() + row * h.RowBytes;
            uint8_t* out = converted.data() + row * outRow;
            for (int32_t x = 0; x < h.Width; ++x) {
                uint32_t px = h.BitCount == 16 ? U16At(in + 2 * x) : U32At(in + 4 * x);
                out[4 * x + 0] = uint8_t(Channel(px, h.Masks[2], m[2]));
                out[4 * x + 1] = uint8_t(Channel(px, h.Masks[1], m[1]));
                out[4 * x + 2] = uint8_t(Channel(px, h.Masks[0], m[0]));
                out[4 * x + 3] = 0;
            }
        }
        info.BitCount = 32;
    }
    const std::vector<uint8_t>& bits = converted.empty() ? pixels : converted;
    TGdiRef<TBitmap> bmp = TBitmap::FromDib(info, bits.data(), bits.size());
    if (!bmp) ThrowFormat(name, -1, nullptr, "the picture cannot be made into an image");
    return bmp;
}

TGdiRef<TBitmap> LoadBitmapFile(const std::string& name, int64_t maxImageBytes)
{
    try {
        return ReadBitmapFile(name, maxImageBytes);
    } catch (const ETarnError&) {
        return {};
    } catch (const std::bad_alloc&) {
        return {};
    }
}

// ---- the cache ----

TCachedBitmap::TCachedBitmap(TGdiRef<TBitmap> bitmap)
    : Bitmap(std::move(bitmap)), DC(std::make_unique<TDeviceContext>(*Bitmap))
{
}

TCachedBitmap::~TCachedBitmap() = default;

const TCachedBitmap* TBitmapCache::Find(const std::string& name) const
{
    auto it = Names.find(name);
    return it == Names.end() ? nullptr : it->second.get();
}

const TCachedBitmap* TBitmapCache::Get(const std::string& name, TFolderNames* names)
{
    if (const TCachedBitmap* found = Find(name)) return found;
    ++Loads;
    const std::string file = names ? names->Find(name) : ResolveFileName(name);
    TGdiRef<TBitmap> bmp = LoadBitmapFile(file, Limit - Held);
    if (!bmp) return nullptr;
    auto entry = std::make_unique<TCachedBitmap>(std::move(bmp));
    const TCachedBitmap* result = entry.get();
    Held += ImageBytes(result->Width(), result->Height());
    Names.emplace(name, std::move(entry));
    return result;
}

TBitmapCache& BitmapCache()
{
    static TBitmapCache cache;
    return cache;
}

const TCachedBitmap* GetCachedBitmap(const std::string& name, TFolderNames* names)
{
    if (name.empty()) return nullptr;
    return BitmapCache().Get(name, names);
}

std::string ResolveFileName(const std::string& name) { return TFolderNames().Find(name); }

} // namespace tarn
