#include "CityPictures.h"

#include "CityBytes.h"
#include "CityFont.h"

#include "platform/Error.h"
#include "platform/JpegWriter.h"

#include <algorithm>
#include <unordered_map>

namespace tarn::city {

namespace {

// A small deterministic random source (xorshift32).
struct TDice {
    uint32_t S;
    explicit TDice(uint32_t seed) : S(seed * 2654435761u + 0x9E3779B9u) { if (!S) S = 1; }
    uint32_t Next()
    {
        S ^= S << 13;
        S ^= S >> 17;
        S ^= S << 5;
        return S;
    }
    int32_t Range(int32_t lo, int32_t hi) { return lo + int32_t(Next() % uint32_t(hi - lo + 1)); }
};

// Packs GIF codes of growing width, least significant bit first.
class TBitPacker {
public:
    void Put(uint32_t code, int bits)
    {
        Acc |= code << Used;
        Used += bits;
        while (Used >= 8) {
            Bytes += char(Acc & 0xFF);
            Acc >>= 8;
            Used -= 8;
        }
    }
    std::string Finish()
    {
        if (Used > 0) Bytes += char(Acc & 0xFF);
        return Bytes;
    }

private:
    std::string Bytes;
    uint32_t Acc = 0;
    int Used = 0;
};

std::string Lzw(const std::vector<uint8_t>& pixels, int minCode)
{
    const uint32_t clear = 1u << minCode, end = clear + 1;
    TBitPacker out;
    std::unordered_map<uint32_t, uint32_t> table;
    uint32_t next = end + 1;
    int width = minCode + 1;
    out.Put(clear, width);
    if (pixels.empty()) {
        out.Put(end, width);
        return out.Finish();
    }
    uint32_t prefix = pixels[0];
    for (std::size_t i = 1; i < pixels.size(); ++i) {
        const uint8_t c = pixels[i];
        const uint32_t key = (prefix << 8) | c;
        const auto it = table.find(key);
        if (it != table.end()) {
            prefix = it->second;
            continue;
        }
        out.Put(prefix, width);
        if (next < 4096) {
            table.emplace(key, next++);
            // The reader widens its codes one code later than it adds them.
            if (next > (1u << width) && width < 12) ++width;
        } else {
            out.Put(clear, width);
            table.clear();
            next = end + 1;
            width = minCode + 1;
        }
        prefix = c;
    }
    out.Put(prefix, width);
    out.Put(end, width);
    return out.Finish();
}

void SubBlocks(std::string& b, const std::string& data)
{
    for (std::size_t at = 0; at < data.size(); at += 255) {
        const std::size_t n = std::min<std::size_t>(255, data.size() - at);
        b += char(n);
        b.append(data, at, n);
    }
    b += '\0';
}

} // namespace

TPicture::TPicture(int32_t width, int32_t height, std::vector<uint32_t> palette)
    : Width(width), Height(height), Palette(std::move(palette)), Pixels(std::size_t(width) * std::size_t(height), 0)
{
    if (Palette.empty() || Palette.size() > 256) throw ETarnError("a picture palette holds 1 to 256 colours");
}

void TPicture::Rect(int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint8_t colour)
{
    x0 = std::max(x0, 0);
    y0 = std::max(y0, 0);
    x1 = std::min(x1, Width);
    y1 = std::min(y1, Height);
    for (int32_t y = y0; y < y1; ++y)
        for (int32_t x = x0; x < x1; ++x) At(x, y) = colour;
}

void TPicture::Disc(int32_t cx, int32_t cy, int32_t r, uint8_t colour)
{
    for (int32_t y = std::max(cy - r, 0); y <= std::min(cy + r, Height - 1); ++y)
        for (int32_t x = std::max(cx - r, 0); x <= std::min(cx + r, Width - 1); ++x)
            if ((x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r) At(x, y) = colour;
}

void TPicture::Gradient(int32_t y0, int32_t y1, uint8_t first, uint8_t last)
{
    const int32_t span = std::max(y1 - y0 - 1, 1);
    for (int32_t y = std::max(y0, 0); y < std::min(y1, Height); ++y) {
        const uint8_t c = uint8_t(first + (int32_t(last) - int32_t(first)) * (y - y0) / span);
        for (int32_t x = 0; x < Width; ++x) At(x, y) = c;
    }
}

std::vector<uint32_t> TPicture::Rgb() const
{
    std::vector<uint32_t> rgb(Pixels.size());
    for (std::size_t i = 0; i < Pixels.size(); ++i)
        rgb[i] = Pixels[i] < Palette.size() ? Palette[Pixels[i]] : 0;
    return rgb;
}

std::vector<uint32_t> Ramp(uint32_t from, uint32_t to, int steps)
{
    std::vector<uint32_t> colours;
    for (int i = 0; i < steps; ++i) {
        uint32_t c = 0;
        for (int shift : {16, 8, 0}) {
            const int a = int((from >> shift) & 0xFF), b = int((to >> shift) & 0xFF);
            c |= uint32_t(a + (b - a) * i / std::max(steps - 1, 1)) << shift;
        }
        colours.push_back(c);
    }
    return colours;
}

std::string BmpBytes(const TPicture& p, int bits)
{
    if (bits != 8 && bits != 24) throw ETarnError("BMP pictures are written with 8 or 24 bits a pixel");
    const uint32_t stride = (uint32_t(p.Width) * uint32_t(bits) / 8 + 3) & ~3u;
    const uint32_t table = bits == 8 ? 256 * 4 : 0;
    const uint32_t offset = 14 + 40 + table;
    std::string b = "BM";
    Put32(b, offset + stride * uint32_t(p.Height));
    Put32(b, 0);
    Put32(b, offset);
    Put32(b, 40);
    Put32(b, uint32_t(p.Width));
    Put32(b, uint32_t(p.Height));
    Put16(b, 1);
    Put16(b, uint32_t(bits));
    Put32(b, 0);  // no compression
    Put32(b, stride * uint32_t(p.Height));
    Put32(b, 2835);  // 72 dots an inch
    Put32(b, 2835);
    Put32(b, bits == 8 ? uint32_t(p.Palette.size()) : 0);
    Put32(b, 0);
    if (bits == 8)
        for (std::size_t i = 0; i < 256; ++i) Put32(b, i < p.Palette.size() ? p.Palette[i] : 0);
    const std::vector<uint32_t> rgb = p.Rgb();
    for (int32_t y = p.Height - 1; y >= 0; --y) {
        const std::size_t row = b.size();
        for (int32_t x = 0; x < p.Width; ++x) {
            const std::size_t i = std::size_t(y) * std::size_t(p.Width) + std::size_t(x);
            if (bits == 8) {
                b += char(p.Pixels[i]);
            } else {
                b += char(rgb[i] & 0xFF);
                b += char((rgb[i] >> 8) & 0xFF);
                b += char((rgb[i] >> 16) & 0xFF);
            }
        }
        b.resize(row + stride, '\0');
    }
    return b;
}

std::string GifBytes(const std::vector<TPicture>& frames, int32_t delay)
{
    if (frames.empty()) throw ETarnError("a GIF picture needs a frame");
    const TPicture& first = frames.front();
    int depth = 1;
    while ((1u << depth) < first.Palette.size()) ++depth;
    std::string b = "GIF89a";
    Put16(b, uint32_t(first.Width));
    Put16(b, uint32_t(first.Height));
    b += char(0x80 | ((depth - 1) << 4) | (depth - 1));  // a global table of 2^depth colours
    b += '\0';
    b += '\0';
    for (std::size_t i = 0; i < (std::size_t(1) << depth); ++i) {
        const uint32_t c = i < first.Palette.size() ? first.Palette[i] : 0;
        b += char((c >> 16) & 0xFF);
        b += char((c >> 8) & 0xFF);
        b += char(c & 0xFF);
    }
    // Loop for ever.
    b += "\x21\xFF\x0BNETSCAPE2.0\x03\x01";
    Put16(b, 0);
    b += '\0';
    const int minCode = std::max(depth, 2);
    for (const TPicture& f : frames) {
        if (f.Width != first.Width || f.Height != first.Height)
            throw ETarnError("the frames of a GIF picture differ in size");
        b += "\x21\xF9\x04";
        b += char(1 << 2);  // keep the frame under the next one
        Put16(b, uint32_t(delay));
        b += '\0';
        b += '\0';
        b += '\x2C';
        Put16(b, 0);
        Put16(b, 0);
        Put16(b, uint32_t(f.Width));
        Put16(b, uint32_t(f.Height));
        b += '\0';
        b += char(minCode);
        SubBlocks(b, Lzw(f.Pixels, minCode));
    }
    b += '\x3B';
    return b;
}

std::string JpegBytes(const TPicture& picture, int32_t quality)
{
    const std::vector<uint32_t> rgb = picture.Rgb();
    return EncodeJpeg(rgb.data(), picture.Width, picture.Height, quality);
}

TPicture FacadePicture(int32_t width, int32_t height, uint32_t seed)
{
    // 0..31 sky, 32..47 wall, 48..55 windows, 56..63 trees, 64 roof, 65 door, 66 ground.
    std::vector<uint32_t> palette = Ramp(0x5C8FD6, 0xDCEBFA, 32);
    TDice dice(seed);
    const uint32_t walls[] = {0xE4D2B8, 0xD9B8A0, 0xE8E0C8, 0xC8D4DC, 0xE6C8C8};
    const uint32_t wall = walls[dice.Next() % 5];
    for (uint32_t c : Ramp(wall, wall & 0xB0B0B0, 16)) palette.push_back(c);
    for (uint32_t c : Ramp(0x2A4A6E, 0x9CC4E4, 8)) palette.push_back(c);
    for (uint32_t c : Ramp(0x1E5A28, 0x6AAA4A, 8)) palette.push_back(c);
    palette.push_back(0x8A3A2A);
    palette.push_back(0x5A3A22);
    palette.push_back(0x7A7A72);
    TPicture p(width, height, palette);
    const int32_t ground = height * 5 / 6;
    p.Gradient(0, ground, 0, 31);
    p.Rect(0, ground, width, height, 66);
    const int32_t x0 = width / 8, x1 = width - width / 8, top = height / 4;
    for (int32_t y = top; y < ground; ++y)
        for (int32_t x = x0; x < x1; ++x) p.At(x, y) = uint8_t(32 + (x - x0) * 15 / std::max(x1 - x0, 1));
    p.Rect(x0 - 3, top - 6, x1 + 3, top, 64);
    const int32_t floors = std::max(2, (ground - top) / 22), columns = std::max(2, (x1 - x0) / 18);
    const int32_t cellW = (x1 - x0) / columns, cellH = (ground - top) / floors;
    for (int32_t f = 0; f < floors; ++f)
        for (int32_t c = 0; c < columns; ++c) {
            const int32_t wx = x0 + c * cellW + cellW / 4, wy = top + f * cellH + cellH / 4;
            if (f == floors - 1 && c == columns / 2) {
                p.Rect(wx, wy, wx + cellW / 2, ground, 65);
                continue;
            }
            const uint8_t glass = uint8_t(48 + dice.Range(0, 7));
            p.Rect(wx, wy, wx + cellW / 2, wy + cellH / 2, glass);
        }
    for (int i = 0; i < 3; ++i) {
        const int32_t tx = dice.Range(0, width - 1), r = dice.Range(height / 14, height / 8);
        p.Disc(tx, ground - r / 2, r, uint8_t(56 + dice.Range(0, 7)));
    }
    return p;
}

TPicture BannerPicture(int32_t width, int32_t height, uint32_t seed, int32_t frame, const std::string& caption)
{
    TDice dice(seed);
    const uint32_t hues[] = {0x1F4E8C, 0x8C1F3A, 0x1F7A4E, 0x6A2A8C, 0xB0601A};
    const uint32_t base = hues[dice.Next() % 5];
    std::vector<uint32_t> palette = Ramp(base, 0xFFFFFF, 24);
    palette.push_back(0xFFD040);
    palette.push_back(0xFFFFFF);
    TPicture p(width, height, palette);
    p.Gradient(0, height, 0, 18);
    for (int i = 0; i < 5; ++i) {
        // One draw a statement: the order of a call's arguments is the compiler's.
        const int32_t x = (dice.Range(0, width - 1) + frame * width / 7) % width;
        const int32_t y = dice.Range(0, height - 1);
        const int32_t r = dice.Range(height / 8, height / 3);
        p.Disc(x, y, r, uint8_t(dice.Range(8, 22)));
    }
    p.Rect(0, height - 6, width, height, 24);
    // A bright dot that runs along the lower band from frame to frame.
    p.Disc((frame * 23 + 10) % width, height - 12, 5, 25);
    DrawCaption(p, caption, 8, 25, 0);
    return p;
}

} // namespace tarn::city
