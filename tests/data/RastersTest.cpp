// The tiled raster cache: its file, its reuse and rebuilding, and drawing.
#include "PictureSupport.h"
#include "TestSupport.h"
#include "data/Errors.h"
#include "data/Rasters.h"

#include <gtest/gtest.h>

#include <bit>
#include <chrono>
#include <filesystem>
#include <sys/stat.h>

namespace tarn::test {
namespace {

namespace fs = std::filesystem;

const std::vector<uint32_t> WhiteBlack = {0xFFFFFF, 0x000000};

TTestBmp OneBit(int32_t w, int32_t h, std::function<uint32_t(int32_t, int32_t)> pixel, bool topDown = false)
{
    return TTestBmp{w, h, 1, topDown, WhiteBlack, 2, 40, std::move(pixel)};
}

int TileBit(const std::string& file, int64_t tileOffset, int32_t x, int32_t y)
{
    uint8_t b = uint8_t(file[size_t(tileOffset + y * 64 + x / 8)]);
    return (b >> (7 - x % 8)) & 1;
}

ino_t Inode(const std::string& path)
{
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_ino;
}

void MakeNewer(const std::string& path, const std::string& than, int seconds = 10)
{
    fs::last_write_time(path, fs::last_write_time(than) + std::chrono::seconds(seconds));
}

// Checks the one tile of level 1 against the picture: cells with 3 or 4
// set children are set, with 0 or 1 clear, cells outside the level clear;
// cells with exactly 2 are drawn at random up to a quarter of the set
// children of their quarter.
void ExpectReducedTile(const std::string& tr, int64_t at1, const TTestBmp& pic, int levelW, int levelH)
{
    for (int q = 0; q < 4; ++q) {
        SCOPED_TRACE("quarter " + std::to_string(q));
        const int qx = (q & 1) * 256, qy = (q >> 1) * 256;
        int64_t total = 0, sure = 0, set = 0, candidates = 0;
        int wrong = 0;
        for (int y = 0; y < 256; ++y)
            for (int x = 0; x < 256; ++x) {
                const int lx = qx + x, ly = qy + y;  // level-1 pixel
                int n = 0;
                for (int k = 0; k < 4; ++k) {
                    int cx = 2 * lx + (k & 1), cy = 2 * ly + (k >> 1);
                    n += (cx < pic.Width && cy < pic.Height && cy < 512) ? int(pic.Pixel(cx, cy)) : 0;
                }
                total += n;
                const int bit = TileBit(tr, at1, lx, ly);
                set += bit;
                const bool inside = lx < levelW && ly < levelH;
                if (n >= 3) ++sure;
                if (n == 2 && inside) ++candidates;
                const bool ok = !inside ? bit == 0 : n >= 3 ? bit == 1 : n <= 1 ? bit == 0 : true;
                if (!ok && wrong++ < 3) ADD_FAILURE() << "level 1 pixel (" << lx << ", " << ly << "), children " << n;
            }
        EXPECT_EQ(wrong, 0);
        const int64_t target = total / 4;
        EXPECT_GE(set, sure);
        EXPECT_LE(set, std::max(sure, target));
        if (target > sure && candidates > 0) {
            EXPECT_GT(set, sure);
        }
        if (q < 2) {
            EXPECT_GT(candidates, 0);  // the pattern does exercise the draw
        }
    }
}

TEST(TiledRaster, WorkedExampleByteForByte)
{
    TTempDir dir;
    const TTestBmp pic = OneBit(600, 300, AsymmetricBit);
    WriteFileBytes(dir.File("plan.bmp"), MakeBmp(pic));
    auto raster = TTiledRaster::OpenRaster(dir.File("plan.bmp"));
    ASSERT_TRUE(raster);
    const std::string tr = ReadFileBytes(dir.File("plan.tr"));
    ASSERT_EQ(tr.size(), 135168u);

    // Header, level table, colour count and table, written out by hand.
    std::string head = Bytes({'T', 'R', 1, 0, 1, 0, 0x58, 0x02, 0, 0, 0x2C, 0x01, 0, 0});
    head += Bytes({0, 0, 0, 0, 0, 0, 0xF0, 0x3F, 0x58, 0x02, 0, 0, 0x2C, 0x01, 0, 0, 0x00, 0x10, 0, 0});
    head += Bytes({0, 0, 0, 0, 0, 0, 0x00, 0x40, 0x2C, 0x01, 0, 0, 0x96, 0x00, 0, 0, 0x00, 0x90, 0x01, 0});
    head += std::string(14 * 20, '\0');
    head += Bytes({2, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0});
    head += std::string(4096 - head.size(), '\0');
    EXPECT_TRUE(SameBytes(tr.substr(0, 4096), head));

    // Level 0: two tiles of the picture itself, then an unused slot.
    for (int c = 0; c < 2; ++c) {
        const int64_t at = 4096 + c * 32768;
        int wrong = 0;
        for (int y = 0; y < 512; ++y)
            for (int x = 0; x < 512; ++x) {
                const int px = 512 * c + x;
                const int want = (px < 600 && y < 300) ? int(pic.Pixel(px, y)) : 0;
                if (TileBit(tr, at, x, y) != want && wrong++ < 3)
                    ADD_FAILURE() << "level 0 tile " << c << " pixel (" << x << ", " << y << ")";
            }
        EXPECT_EQ(wrong, 0);
    }
    EXPECT_EQ(tr.substr(4096 + 2 * 32768, 32768), std::string(32768, '\0'));

    ExpectReducedTile(tr, 102400, pic, 300, 150);
}

TEST(TiledRaster, OddSizesKeepTheEdgesClear)
{
    // Row padding and the half pixel past an odd width never show up as
    // set pixels outside a level.
    TTempDir dir;
    const TTestBmp pic = OneBit(601, 303, [](int32_t x, int32_t y) { return uint32_t(x >= 590 || y >= 296 || AsymmetricBit(x, y)); });
    WriteFileBytes(dir.File("odd.bmp"), MakeBmp(pic));
    ASSERT_TRUE(TTiledRaster::OpenRaster(dir.File("odd.bmp")));
    const std::string tr = ReadFileBytes(dir.File("odd.tr"));
    const TTrLayout l = ComputeTrLayout(601, 303, 2);
    ASSERT_EQ(int64_t(tr.size()), l.FileSize);
    for (int y = 0; y < 512; ++y)
        for (int x = 0; x < 512; ++x) {
            const int px = 512 + x;
            ASSERT_EQ(TileBit(tr, 4096 + 32768, x, y), (px < 601 && y < 303) ? int(pic.Pixel(px, y)) : 0) << px << ", " << y;
        }
    ExpectReducedTile(tr, l.Levels[1].Offset, pic, 300, 151);
}

TEST(TiledRaster, LevelLayouts)
{
    struct TCase {
        int32_t W, H, N;
        int32_t Levels;
        int64_t LastOffset, Size;
    } cases[] = {
        {512, 512, 2, 1, 4096, 4096 + 32768},
        {1, 1, 0, 1, 4096, 4096 + 32768},
        {513, 10, 2, 1, 4096, 4096 + 2 * 32768},
        {514, 10, 2, 2, 4096 + 2 * 32768, 4096 + 3 * 32768},  // 2 x 521 div 512 = 2 slots
        {600, 300, 2, 2, 102400, 135168},
        {1000, 1000, 940, 2, 8192 + 5 * 32768, 8192 + 6 * 32768},  // the table passes 4096
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.W) + " x " + std::to_string(c.H));
        TTrLayout l = ComputeTrLayout(c.W, c.H, c.N);
        EXPECT_EQ(l.LevelCount, c.Levels);
        EXPECT_EQ(l.Levels[c.Levels - 1].Offset, c.LastOffset);
        EXPECT_EQ(l.FileSize, c.Size);
    }
    TTrLayout big = ComputeTrLayout(20000, 20000, 2);
    EXPECT_EQ(big.LevelCount, 7);  // 20000 >> 6 = 312, >> 7 = 156
    EXPECT_EQ(big.Levels[6].Width, 312);
    EXPECT_EQ(big.Levels[6].Factor, 64.0);
    EXPECT_NO_THROW(ComputeTrLayout(140000, 140000, 2));
}

TEST(TiledRaster, RefusesWhatOffsetsCannotHold)
{
    try {
        ComputeTrLayout(180000, 180000, 2);
        ADD_FAILURE() << "no error";
    } catch (const EFormatError& e) {
        EXPECT_NE(std::string(e.what()).find("too large"), std::string::npos) << e.what();
    }
    try {
        ComputeTrLayout(600, 300, 70'000'000);  // a table past 2^28 would land inside level 0
        ADD_FAILURE() << "no error";
    } catch (const EFormatError& e) {
        EXPECT_NE(std::string(e.what()).find("overlap"), std::string::npos) << e.what();
    }
    EXPECT_THROW(ComputeTrLayout(600, 300, -1), EFormatError);
    EXPECT_THROW(ComputeTrLayout(0, 300, 2), EFormatError);

    // A real (sparse) picture of that size is refused before anything is read or written.
    TTempDir dir;
    const int32_t side = 200000;
    std::string head = MakeBmp(OneBit(8, 1, [](int32_t, int32_t) { return 0u; }));
    head = PatchI32(PatchI32(head.substr(0, 62), 18, side), 22, side);
    WriteFileBytes(dir.File("huge.bmp"), head);
    fs::resize_file(dir.File("huge.bmp"), 62 + uint64_t(side) / 8 * side);
    EXPECT_THROW(TTiledRaster::OpenRaster(dir.File("huge.bmp")), EFormatError);
    EXPECT_FALSE(fs::exists(dir.File("huge.tr")));
}

TEST(TiledRaster, PaletteComesFromWhereTheHeaderSays)
{
    // A 108-byte header puts the colour table 68 bytes later than the
    // 40-byte one; a table of 0 entries is the full table of two.
    TTempDir dir;
    for (uint32_t used : {0u, 2u}) {
        TTestBmp pic = OneBit(600, 300, AsymmetricBit);
        pic.HeaderSize = 108;
        pic.ColorsUsedField = used;
        pic.Palette = {0x11AA22, 0x3300CC};
        WriteFileBytes(dir.File("v4.bmp"), MakeBmp(pic));
        auto raster = TTiledRaster::OpenRaster(dir.File("v4.bmp"));
        ASSERT_TRUE(raster);
        EXPECT_EQ(raster->Palette(), pic.Palette);
        EXPECT_TRUE(SameBytes(ReadFileBytes(dir.File("v4.tr")).substr(334, 12),
                              Bytes({2, 0, 0, 0, 0x22, 0xAA, 0x11, 0, 0xCC, 0x00, 0x33, 0})));
        TTestCanvas canvas(20, 20);
        raster->DrawRaster(canvas.DC, {0, 0, 20, 20}, {100, 50, 120, 70}, TGDI_SRCCOPY);
        for (int32_t y = 0; y < 20; ++y)
            for (int32_t x = 0; x < 20; ++x)
                ASSERT_EQ(canvas.DC.GetPixel(x, y),
                          AsymmetricBit(100 + x, 50 + y) ? Rgb(0x33, 0x00, 0xCC) : Rgb(0x11, 0xAA, 0x22));
        fs::remove(dir.File("v4.tr"));
    }
}

TEST(TiledRaster, RowOrderDoesNotMatter)
{
    TTempDir dir;
    WriteFileBytes(dir.File("up.bmp"), MakeBmp(OneBit(700, 530, AsymmetricBit, false)));
    WriteFileBytes(dir.File("down.bmp"), MakeBmp(OneBit(700, 530, AsymmetricBit, true)));
    ASSERT_TRUE(TTiledRaster::OpenRaster(dir.File("up.bmp")));
    ASSERT_TRUE(TTiledRaster::OpenRaster(dir.File("down.bmp")));
    EXPECT_TRUE(SameBytes(ReadFileBytes(dir.File("down.tr")), ReadFileBytes(dir.File("up.tr"))));
}

TEST(TiledRaster, ReusesAValidCacheAndRebuildsAnOlderOne)
{
    TTempDir dir;
    const std::string bmp = dir.File("plan.bmp"), tr = dir.File("plan.tr");
    WriteFileBytes(bmp, MakeBmp(OneBit(600, 300, AsymmetricBit)));
    auto first = TTiledRaster::OpenRaster(bmp);
    ASSERT_TRUE(first);
    const std::string good = ReadFileBytes(tr);
    const ino_t built = Inode(tr);

    ASSERT_TRUE(TTiledRaster::OpenRaster(bmp));
    EXPECT_EQ(Inode(tr), built) << "a valid cache was rewritten";

    // The picture touched after the cache: a new file is put in place, and
    // the raster still open over the old one goes on reading it.
    MakeNewer(bmp, tr);
    ASSERT_TRUE(TTiledRaster::OpenRaster(bmp));
    EXPECT_NE(Inode(tr), built);
    EXPECT_TRUE(SameBytes(ReadFileBytes(tr), good));
    TTestCanvas canvas(600, 300);
    first->DrawRaster(canvas.DC, {0, 0, 600, 300}, {0, 0, 600, 300}, TGDI_SRCCOPY);
    EXPECT_EQ(canvas.DC.GetPixel(5, 5), Rgb(0, 0, 0));

    // Nothing but the picture and its cache is left in the folder.
    int files = 0;
    for (const auto& e : fs::directory_iterator(dir.Path())) {
        (void)e;
        ++files;
    }
    EXPECT_EQ(files, 2);
}

TEST(TiledRaster, RebuildsDamagedCaches)
{
    TTempDir dir;
    const std::string bmp = dir.File("plan.bmp"), tr = dir.File("plan.tr");
    WriteFileBytes(bmp, MakeBmp(OneBit(600, 300, AsymmetricBit)));
    ASSERT_TRUE(TTiledRaster::OpenRaster(bmp));
    const std::string good = ReadFileBytes(tr);
    const struct {
        const char* Name;
        std::function<std::string(std::string)> Spoil;
    } cases[] = {
        {"empty", [](std::string) { return std::string(); }},
        {"header only", [](std::string b) { return b.substr(0, 338); }},
        {"one byte short", [](std::string b) { b.pop_back(); return b; }},
        {"one byte long", [](std::string b) { return b + '\0'; }},
        {"magic", [](std::string b) { b[0] = 'X'; return b; }},
        {"version", [](std::string b) { return PatchU16(b, 2, 2); }},
        {"bit count", [](std::string b) { return PatchU16(b, 4, 8); }},
        {"width", [](std::string b) { return PatchI32(b, 6, 601); }},
        {"height", [](std::string b) { return PatchI32(b, 10, -300); }},
        {"level 1 offset", [](std::string b) { return PatchI32(b, 34 + 16, 69632); }},
        {"level 0 factor", [](std::string b) { return PatchU16(b, 14 + 6, 0x40F0); }},
        {"a third level", [](std::string b) { return PatchI32(b, 54 + 8, 150); }},
        {"colour count", [](std::string b) { return PatchI32(b, 334, 0); }},
        {"absurd colour count", [](std::string b) { return PatchI32(b, 334, INT32_MAX); }},
        {"colour entry", [](std::string b) { return PatchU16(b, 338, 0); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        WriteFileBytes(tr, c.Spoil(good));
        MakeNewer(tr, bmp);  // newer, so only its content can condemn it
        auto raster = TTiledRaster::OpenRaster(bmp);
        ASSERT_TRUE(raster);
        EXPECT_TRUE(SameBytes(ReadFileBytes(tr), good));
    }
}

TEST(TiledRaster, ColourPicturesGetNoCache)
{
    TTempDir dir;
    for (uint16_t bits : {4, 8, 24}) {
        SCOPED_TRACE(bits);
        TTestBmp p{40, 30, bits, false, {}, 0, 40, [](int32_t x, int32_t) { return uint32_t(x & 3); }};
        if (bits <= 8) p.Palette.assign(size_t(1) << bits, 0x123456);
        WriteFileBytes(dir.File("c.bmp"), MakeBmp(p));
        EXPECT_EQ(TTiledRaster::OpenRaster(dir.File("c.bmp")), nullptr);
        EXPECT_FALSE(fs::exists(dir.File("c.tr")));
    }
    TTestBmp p32{4, 3, 32, false, {}, 0, 40, [](int32_t, int32_t) { return 0u; }};
    WriteFileBytes(dir.File("c.bmp"), MakeBmp(p32));
    try {
        TTiledRaster::OpenRaster(dir.File("c.bmp"));
        ADD_FAILURE() << "no error";
    } catch (const ETarnError& e) {
        EXPECT_STREQ(e.what(), "Неизвестный формат .bmp растра");
    }
    EXPECT_FALSE(fs::exists(dir.File("c.tr")));
}

TEST(TiledRaster, MissingFilesAndLoneCaches)
{
    TTempDir dir;
    try {
        TTiledRaster::OpenRaster(dir.File("none.bmp"));
        ADD_FAILURE() << "no error";
    } catch (const ETarnError& e) {
        EXPECT_EQ(std::string(e.what()), "Файл " + dir.File("none.bmp") + " не найден");
    }

    // Only the cache: drawing works without the picture.
    const TTestBmp pic = OneBit(600, 300, AsymmetricBit);
    WriteFileBytes(dir.File("plan.bmp"), MakeBmp(pic));
    ASSERT_TRUE(TTiledRaster::OpenRaster(dir.File("plan.bmp")));
    fs::remove(dir.File("plan.bmp"));
    auto lone = TTiledRaster::OpenRaster(dir.File("plan.bmp"));
    ASSERT_TRUE(lone);
    EXPECT_EQ(lone->Width(), 600);
    TTestCanvas canvas(600, 300);
    lone->DrawRaster(canvas.DC, {0, 0, 600, 300}, {0, 0, 600, 300}, TGDI_SRCCOPY);
    for (int32_t y = 0; y < 300; y += 7)
        for (int32_t x = 0; x < 600; x += 5) ASSERT_EQ(canvas.DC.GetPixel(x, y), ExpectedColor(pic, x, y));

    // A damaged lone cache cannot be rebuilt: an error, not a picture.
    std::string tr = ReadFileBytes(dir.File("plan.tr"));
    WriteFileBytes(dir.File("plan.tr"), tr.substr(0, tr.size() - 1));
    EXPECT_THROW(TTiledRaster::OpenRaster(dir.File("plan.bmp")), EFormatError);
    WriteFileBytes(dir.File("plan.tr"), "TR");
    EXPECT_THROW(TTiledRaster::OpenRaster(dir.File("plan.bmp")), EFormatError);
}

TEST(TiledRaster, CorruptPicturesNeverBuild)
{
    TTempDir dir;
    const std::string good = MakeBmp(OneBit(600, 300, AsymmetricBit));
    for (size_t cut : {size_t(10), size_t(60), good.size() / 2, good.size() - 1}) {
        SCOPED_TRACE(cut);
        WriteFileBytes(dir.File("bad.bmp"), good.substr(0, cut));
        EXPECT_THROW(TTiledRaster::OpenRaster(dir.File("bad.bmp")), EFormatError);
        EXPECT_FALSE(fs::exists(dir.File("bad.tr")));
    }
}

// Draws the picture's source rectangle 1:1 and compares every pixel.
void ExpectExactDraw(TTiledRaster& raster, const TTestBmp& pic, const TRect& src, int32_t dx, int32_t dy)
{
    const int32_t w = src.Right - src.Left, h = src.Bottom - src.Top;
    TTestCanvas canvas(w + dx + 3, h + dy + 3, Rgb(255, 0, 0));
    raster.DrawRaster(canvas.DC, {dx, dy, dx + w, dy + h}, src, TGDI_SRCCOPY);
    int wrong = 0;
    for (int32_t y = 0; y < canvas.DC.Height(); ++y)
        for (int32_t x = 0; x < canvas.DC.Width(); ++x) {
            const bool inside = x >= dx && x < dx + w && y >= dy && y < dy + h;
            const TColorRef want = inside ? ExpectedColor(pic, src.Left + x - dx, src.Top + y - dy) : Rgb(255, 0, 0);
            if (canvas.DC.GetPixel(x, y) != want && wrong++ < 3)
                ADD_FAILURE() << "pixel (" << x << ", " << y << ") is " << std::hex << canvas.DC.GetPixel(x, y)
                              << ", expected " << want;
        }
    if (wrong) canvas.Save("raster-exact");
    EXPECT_EQ(wrong, 0);
}

TEST(TiledRasterDraw, ReductionOneIsExactAndUpright)
{
    TTempDir dir;
    TTestBmp pic = OneBit(700, 600, AsymmetricBit);
    pic.Palette = {0x00C000, 0x2040FF};  // the picture's own colours are used
    WriteFileBytes(dir.File("p.bmp"), MakeBmp(pic));
    auto raster = TTiledRaster::OpenRaster(dir.File("p.bmp"));
    ASSERT_TRUE(raster);
    ExpectExactDraw(*raster, pic, {0, 0, 700, 600}, 0, 0);
    // Parts, across tile borders, placed anywhere.
    ExpectExactDraw(*raster, pic, {100, 50, 400, 250}, 10, 20);
    ExpectExactDraw(*raster, pic, {450, 480, 650, 590}, 0, 7);
    ExpectExactDraw(*raster, pic, {511, 511, 513, 513}, 1, 1);
}

TEST(TiledRasterDraw, HalfSizeReadsTheNextLevel)
{
    // 4 x 4 blocks: every cell of level 1 has 0 or 4 set children.
    const auto blocks = [](int32_t x, int32_t y) { return uint32_t(((x / 4) * 3 + (y / 4) * 5) % 7 < 3); };
    TTempDir dir;
    const TTestBmp pic = OneBit(1024, 1024, blocks);
    WriteFileBytes(dir.File("p.bmp"), MakeBmp(pic));
    auto raster = TTiledRaster::OpenRaster(dir.File("p.bmp"));
    ASSERT_TRUE(raster);
    TTestCanvas canvas(512, 512);
    raster->DrawRaster(canvas.DC, {0, 0, 512, 512}, {0, 0, 1024, 1024}, TGDI_SRCCOPY);
    int wrong = 0;
    for (int32_t y = 0; y < 512; ++y)
        for (int32_t x = 0; x < 512; ++x)
            if (canvas.DC.GetPixel(x, y) != ExpectedColor(pic, 2 * x, 2 * y)) ++wrong;
    EXPECT_EQ(wrong, 0);
}

TEST(TiledRasterDraw, SourceAndKeepsWhatWhiteCovers)
{
    TTempDir dir;
    const TTestBmp pic = OneBit(300, 200, AsymmetricBit);
    WriteFileBytes(dir.File("p.bmp"), MakeBmp(pic));
    auto raster = TTiledRaster::OpenRaster(dir.File("p.bmp"));
    const TColorRef red = Rgb(255, 0, 0);
    TTestCanvas canvas(300, 200, red);
    raster->DrawRaster(canvas.DC, {0, 0, 300, 200}, {0, 0, 300, 200}, TGDI_SRCAND);
    for (int32_t y = 0; y < 200; y += 3)
        for (int32_t x = 0; x < 300; x += 3)
            ASSERT_EQ(canvas.DC.GetPixel(x, y), pic.Pixel(x, y) ? Rgb(0, 0, 0) : red) << x << ", " << y;
}

TEST(TiledRasterDraw, ShrinkingAveragesTheCoveredPixels)
{
    // Every third column black, and a black block at the top left: 3 x 3
    // pixels per window pixel give a third black, the block pure black.
    const auto pattern = [](int32_t x, int32_t y) { return uint32_t(x % 3 == 0 || (x < 60 && y < 30)); };
    TTempDir dir;
    WriteFileBytes(dir.File("p.bmp"), MakeBmp(OneBit(300, 300, pattern)));
    auto raster = TTiledRaster::OpenRaster(dir.File("p.bmp"));
    ASSERT_TRUE(raster);
    const TColorRef red = Rgb(255, 0, 0);
    auto grey = [](TColorRef c, int level) {
        return std::abs(int(c & 0xFF) - level) <= 1 && std::abs(int((c >> 8) & 0xFF) - level) <= 1 &&
               std::abs(int((c >> 16) & 0xFF) - level) <= 1;
    };
    {
        TTestCanvas canvas(100, 100);
        raster->DrawRaster(canvas.DC, {0, 0, 100, 100}, {0, 0, 300, 300}, TGDI_SRCCOPY);
        for (int32_t y = 0; y < 100; ++y)
            for (int32_t x = 0; x < 100; ++x) {
                const bool block = x < 20 && y < 10;
                ASSERT_TRUE(grey(canvas.DC.GetPixel(x, y), block ? 0 : 170))
                    << x << ", " << y << ": " << std::hex << canvas.DC.GetPixel(x, y);
            }
    }
    {
        // AND mode over red, the window's left half off the device.
        TTestCanvas canvas(100, 100, red);
        raster->DrawRaster(canvas.DC, {-50, 0, 50, 100}, {0, 0, 300, 300}, TGDI_SRCAND);
        for (int32_t y = 0; y < 100; y += 3)
            for (int32_t x = 0; x < 100; x += 3)
                ASSERT_EQ(canvas.DC.GetPixel(x, y), x < 50 ? Rgb(170, 0, 0) : red) << x << ", " << y;
    }
}

TEST(TiledRasterDraw, EmptyRectanglesDrawNothing)
{
    TTempDir dir;
    WriteFileBytes(dir.File("p.bmp"), MakeBmp(OneBit(300, 200, AsymmetricBit)));
    auto raster = TTiledRaster::OpenRaster(dir.File("p.bmp"));
    const TColorRef red = Rgb(255, 0, 0);
    TTestCanvas canvas(50, 50, red);
    const TRect rects[][2] = {
        {{0, 0, 0, 50}, {0, 0, 300, 200}},     // no destination width
        {{0, 0, 50, 50}, {10, 10, 10, 20}},    // no source width
        {{0, 0, 50, 50}, {400, 300, 500, 400}},  // beyond the picture
        {{0, 0, 50, 50}, {-100, -100, -1, -1}},
    };
    for (const auto& r : rects) raster->DrawRaster(canvas.DC, r[0], r[1], TGDI_SRCCOPY);
    for (int32_t y = 0; y < 50; ++y)
        for (int32_t x = 0; x < 50; ++x) ASSERT_EQ(canvas.DC.GetPixel(x, y), red);
}

} // namespace
} // namespace tarn::test
