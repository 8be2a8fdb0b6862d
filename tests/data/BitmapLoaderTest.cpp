// The ".bmp" loader and the bitmap cache.
#include "PictureSupport.h"
#include "TestSupport.h"
#include "support/Allocations.h"
#include "data/Errors.h"
#include "data/ldr_bmps.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace tarn::test {
namespace {

uint32_t Colour8(int32_t x, int32_t y) { return uint32_t((x * 7 + y * 13) & 0xFF); }
uint32_t Colour24(int32_t x, int32_t y) { return uint32_t(x * 40) << 16 | uint32_t(y * 30) << 8 | uint32_t((x + y) * 9 & 0xFF); }

std::vector<uint32_t> GreyRamp(int n)
{
    std::vector<uint32_t> p;
    for (int i = 0; i < n; ++i) {
        uint32_t g = uint32_t(i * 255 / (n - 1));
        p.push_back(g << 16 | ((255 - g) << 8) | (i * 37 & 0xFF));
    }
    return p;
}

struct TDecodeCase {
    const char* Name;
    TTestBmp Picture;
};

std::vector<TDecodeCase> DecodeCases()
{
    const auto bit = [](int32_t x, int32_t y) { return AsymmetricBit(x, y); };
    std::vector<TDecodeCase> cases;
    cases.push_back({"one bit, two entries, bottom-up", {13, 9, 1, false, {0x102030, 0xF0E0D0}, 2, 40, bit}});
    // A table of 0 entries in the header means the full table of the depth.
    cases.push_back({"one bit, zero entries", {13, 9, 1, false, {0x000000, 0xFFFFFF}, 0, 40, bit}});
    cases.push_back({"one bit, top-down", {13, 9, 1, true, {0x0000FF, 0x00FF00}, 2, 40, bit}});
    cases.push_back({"four bits", {11, 7, 4, false, GreyRamp(16), 0, 40,
                                   [](int32_t x, int32_t y) { return uint32_t((x + 3 * y) & 15); }}});
    cases.push_back({"four bits, short table", {11, 7, 4, true, GreyRamp(5), 5, 40,
                                                [](int32_t x, int32_t y) { return uint32_t((x + y) % 5); }}});
    cases.push_back({"eight bits", {10, 6, 8, false, GreyRamp(256), 256, 40, Colour8}});
    cases.push_back({"24 bits", {7, 5, 24, false, {}, 0, 40, Colour24}});
    cases.push_back({"24 bits top-down", {7, 5, 24, true, {}, 0, 40, Colour24}});
    cases.push_back({"32 bits", {6, 4, 32, false, {}, 0, 40, Colour24}});
    // The colour table follows the header wherever the header ends.
    cases.push_back({"eight bits, 108-byte header", {10, 6, 8, false, GreyRamp(256), 0, 108, Colour8}});
    return cases;
}

TEST(BitmapLoader, DecodesEveryDepthAndRowOrder)
{
    TTempDir dir;
    for (const TDecodeCase& c : DecodeCases()) {
        SCOPED_TRACE(c.Name);
        const std::string path = dir.File("p.bmp");
        WriteFileBytes(path, MakeBmp(c.Picture));
        TGdiRef<TBitmap> bmp = ReadBitmapFile(path);
        ASSERT_TRUE(bmp);
        ASSERT_EQ(bmp->Width(), c.Picture.Width);
        ASSERT_EQ(bmp->Height(), c.Picture.Height);
        TDeviceContext dc(*bmp);
        int wrong = 0;
        for (int32_t y = 0; y < c.Picture.Height; ++y)
            for (int32_t x = 0; x < c.Picture.Width; ++x)
                if (dc.GetPixel(x, y) != ExpectedColor(c.Picture, x, y) && wrong++ < 3)
                    ADD_FAILURE() << "pixel (" << x << ", " << y << ") is " << std::hex << dc.GetPixel(x, y)
                                  << ", expected " << ExpectedColor(c.Picture, x, y);
        EXPECT_EQ(wrong, 0);
    }
}

TEST(BitmapLoader, ReadsCoreHeaderWithThreeByteEntries)
{
    // 12-byte header: 16-bit width and height, entries blue, green, red.
    std::string b = Bytes({'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 32, 0, 0, 0,  // pixels at 32
                           12, 0, 0, 0, 3, 0, 2, 0, 1, 0, 1, 0,               // 3 x 2, one bit
                           0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00});             // red, blue
    b += Bytes({0x40, 0, 0, 0, 0xA0, 0, 0, 0});  // bottom row .1. , top row 1.1
    TTempDir dir;
    WriteFileBytes(dir.File("core.bmp"), b);
    TGdiRef<TBitmap> bmp = ReadBitmapFile(dir.File("core.bmp"));
    TDeviceContext dc(*bmp);
    const TColorRef red = Rgb(255, 0, 0), blue = Rgb(0, 0, 255);
    EXPECT_EQ(dc.GetPixel(0, 0), blue);
    EXPECT_EQ(dc.GetPixel(1, 0), red);
    EXPECT_EQ(dc.GetPixel(2, 0), blue);
    EXPECT_EQ(dc.GetPixel(0, 1), red);
    EXPECT_EQ(dc.GetPixel(1, 1), blue);
}

// A 40-byte header with 16-bit bit fields (5-6-5) or plain 16-bit (5-5-5).
std::string Bmp16(bool fields)
{
    std::string b = Bytes({'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0});
    b += I32(fields ? 66 : 54);
    b += I32(40) + I32(2) + I32(1) + Bytes({1, 0, 16, 0}) + I32(fields ? 3 : 0) + I32(0) + I32(0) + I32(0) + I32(0) +
         I32(0);
    if (fields) b += I32(0xF800) + I32(0x07E0) + I32(0x001F);
    // two pixels: pure red, pure green
    if (fields) b += Bytes({0x00, 0xF8, 0xE0, 0x07});
    else b += Bytes({0x00, 0x7C, 0xE0, 0x03});
    return b;
}

TEST(BitmapLoader, SixteenBitsThroughTheirMasks)
{
    TTempDir dir;
    for (bool fields : {false, true}) {
        SCOPED_TRACE(fields ? "bit fields" : "5-5-5");
        WriteFileBytes(dir.File("p.bmp"), Bmp16(fields));
        TGdiRef<TBitmap> bmp = ReadBitmapFile(dir.File("p.bmp"));
        TDeviceContext dc(*bmp);
        EXPECT_EQ(dc.GetPixel(0, 0), Rgb(255, 0, 0));
        EXPECT_EQ(dc.GetPixel(1, 0), Rgb(0, 255, 0));
    }
}

std::string Rle8(const std::string& data)
{
    // 4 x 3 pixels, palette of 3 entries: 0 black, 1 white, 2 red
    std::string b = Bytes({'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0}) + I32(66);
    b += I32(40) + I32(4) + I32(3) + Bytes({1, 0, 8, 0}) + I32(1) + I32(int32_t(data.size())) + I32(0) + I32(0) +
         I32(3) + I32(0);
    b += I32(0x000000) + I32(0xFFFFFF) + I32(0xFF0000);
    return b + data;
}

TEST(BitmapLoader, DecodesRunLengthCodedRows)
{
    // bottom row: run of 3 whites; row 1: literal 2,1,2 (padded); row 2:
    // a move right by 1, then two reds; end of picture.
    const std::string data = Bytes({3, 1, 0, 0,  0, 3, 2, 1, 2, 0, 0, 0,  0, 2, 1, 0, 2, 2, 0, 1});
    TTempDir dir;
    WriteFileBytes(dir.File("rle.bmp"), Rle8(data));
    TGdiRef<TBitmap> bmp = ReadBitmapFile(dir.File("rle.bmp"));
    TDeviceContext dc(*bmp);
    const TColorRef k = 0, w = Rgb(255, 255, 255), r = Rgb(255, 0, 0);
    const TColorRef expected[3][4] = {{k, r, r, k}, {r, w, r, k}, {w, w, w, k}};  // top row first
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_EQ(dc.GetPixel(x, y), expected[y][x]) << x << ", " << y;

    // A literal run that the data cuts short is refused.
    WriteFileBytes(dir.File("cut.bmp"), Rle8(Bytes({0, 9, 1, 2})));
    EXPECT_THROW(ReadBitmapFile(dir.File("cut.bmp")), EFormatError);
}

// An 8-bit run-length coded picture of any declared size whose data ends it at once.
std::string RleBomb(int32_t width, int32_t height)
{
    std::string b = PatchI32(PatchI32(Rle8(Bytes({0, 1})), 18, width), 22, height);
    return b + std::string(1024 - b.size(), '\0');  // a kilobyte, as found
}

TEST(BitmapCache, SmallCodedFilesCannotTakeMoreThanTheCachesBudget)
{
    TTempDir dir;
    WriteFileBytes(dir.File("bomb.bmp"), RleBomb(16384, 16384));
    for (int i = 0; i < 3; ++i) WriteFileBytes(dir.File("p" + std::to_string(i) + ".bmp"), RleBomb(1024, 1024));
    TBitmapCache cache;
    cache.SetBudget(int64_t(10) << 20);  // room for two pictures of 4 MB
    std::size_t largest = 0;
    {
        TAllocationWatch watch;
        EXPECT_EQ(cache.Get(dir.File("bomb.bmp")), nullptr);
        largest = watch.Largest();
    }
    EXPECT_LT(largest, std::size_t(1) << 20) << "nothing decoded for a picture over the budget";
    EXPECT_NE(cache.Get(dir.File("p0.bmp")), nullptr);
    EXPECT_NE(cache.Get(dir.File("p1.bmp")), nullptr);
    EXPECT_EQ(cache.Get(dir.File("p2.bmp")), nullptr) << "the budget is spent";
    EXPECT_EQ(cache.Bytes(), ImageBytes(1024, 1024) * 2);
    try {
        ReadBitmapFile(dir.File("p2.bmp"), ImageBytes(1024, 1024) - 1);
        ADD_FAILURE() << "read";
    } catch (const EFormatError& e) {
        EXPECT_EQ(std::string(e.what()).rfind(dir.File("p2.bmp") + ", offset 0x12, width: picture of 1024 x 1024", 0), 0u)
            << e.what();
    }
}

struct TBadCase {
    const char* Name;
    std::function<std::string(std::string)> Spoil;
};

TEST(BitmapLoader, RefusesBadHeadersAndShortData)
{
    TTestBmp pic{16, 4, 1, false, {0, 0xFFFFFF}, 2, 40, AsymmetricBit};
    const std::string good = MakeBmp(pic);  // 14 + 40 + 8 + 4 x 4 bytes = 78
    ASSERT_EQ(good.size(), 78u);
    const TBadCase cases[] = {
        {"magic", [](std::string b) { b[0] = 'X'; return b; }},
        {"header size 64", [](std::string b) { return PatchI32(b, 14, 64); }},
        {"header size 0", [](std::string b) { return PatchI32(b, 14, 0); }},
        {"width 0", [](std::string b) { return PatchI32(b, 18, 0); }},
        {"negative width", [](std::string b) { return PatchI32(b, 18, -16); }},
        {"height 0", [](std::string b) { return PatchI32(b, 22, 0); }},
        {"height -2^31", [](std::string b) { return PatchI32(b, 22, INT32_MIN); }},
        {"huge height", [](std::string b) { return PatchI32(b, 22, 1 << 30); }},
        {"huge width", [](std::string b) { return PatchI32(b, 18, INT32_MAX); }},
        // Row bytes times rows past 64 bits.
        {"huge width and height at 32 bits",
         [](std::string b) { return PatchU16(PatchI32(PatchI32(b, 18, INT32_MAX), 22, INT32_MAX), 28, 32); }},
        {"two planes", [](std::string b) { return PatchU16(b, 26, 2); }},
        {"bit count 3", [](std::string b) { return PatchU16(b, 28, 3); }},
        {"bit count 0", [](std::string b) { return PatchU16(b, 28, 0); }},
        {"JPEG compression", [](std::string b) { return PatchI32(b, 30, 4); }},
        {"RLE8 of one bit", [](std::string b) { return PatchI32(b, 30, 1); }},
        {"bit fields of one bit", [](std::string b) { return PatchI32(b, 30, 3); }},
        {"three colours in one bit", [](std::string b) { return PatchI32(b, 46, 3); }},
        {"colour count 2^32-1", [](std::string b) { return PatchI32(b, 46, -1); }},
        {"pixel offset 0", [](std::string b) { return PatchI32(b, 10, 0); }},
        {"pixel offset in the table", [](std::string b) { return PatchI32(b, 10, 58); }},
        {"pixel offset past the end", [](std::string b) { return PatchI32(b, 10, 1 << 30); }},
        {"rows cut short", [](std::string b) { b.pop_back(); return b; }},
        {"top-down RLE", [](std::string b) { return PatchU16(PatchI32(PatchI32(b, 30, 1), 22, -4), 28, 8); }},
    };
    TTempDir dir;
    for (const TBadCase& c : cases) {
        SCOPED_TRACE(c.Name);
        WriteFileBytes(dir.File("bad.bmp"), c.Spoil(good));
        EXPECT_THROW(ReadBitmapFile(dir.File("bad.bmp")), EFormatError);
        EXPECT_FALSE(LoadBitmapFile(dir.File("bad.bmp")));
    }
    EXPECT_TRUE(LoadBitmapFile(dir.File("none.bmp")) == nullptr);
    EXPECT_TRUE(EveryTruncationFails(good, [&](const std::string& bytes) {
        WriteFileBytes(dir.File("cut.bmp"), bytes);
        ReadBitmapFile(dir.File("cut.bmp"));
    }));
}

TEST(BitmapLoader, RefusesNonContiguousMasks)
{
    std::string b = Bmp16(true);
    b = PatchI32(b, 54, 0xF00F);
    TTempDir dir;
    WriteFileBytes(dir.File("m.bmp"), b);
    EXPECT_THROW(ReadBitmapFile(dir.File("m.bmp")), EFormatError);
}

TEST(BitmapLoader, AMaskOfAllBitsIsContiguous)
{
    // Red takes all 32 bits: 0xF800 of 0xFFFFFFFF is no red at all.
    TTempDir dir;
    WriteFileBytes(dir.File("m.bmp"), PatchI32(Bmp16(true), 54, -1));
    TGdiRef<TBitmap> bmp = ReadBitmapFile(dir.File("m.bmp"));
    TDeviceContext dc(*bmp);
    EXPECT_EQ(dc.GetPixel(0, 0), Rgb(0, 0, 0));
    EXPECT_EQ(dc.GetPixel(1, 0), Rgb(0, 255, 0));
}

// Picture names come from maps: a pipe would block the open for good.
TEST(BitmapLoader, RefusesWhatIsNoRegularFile)
{
    TTempDir dir;
    ASSERT_EQ(::mkfifo(dir.File("pipe.bmp").c_str(), 0600), 0);
    EXPECT_THROW(ReadBitmapFile(dir.File("pipe.bmp")), EFileError);
    EXPECT_FALSE(LoadBitmapFile(dir.File("pipe.bmp")));
    EXPECT_FALSE(LoadBitmapFile(dir.Path()));
}

TEST(BitmapCache, SharesOnePictureAndRetriesFailures)
{
    TTempDir dir;
    TTestBmp pic{5, 5, 24, false, {}, 0, 40, Colour24};
    WriteFileBytes(dir.File("a.bmp"), MakeBmp(pic));
    TBitmapCache cache;
    const TCachedBitmap* first = cache.Get(dir.File("a.bmp"));
    ASSERT_NE(first, nullptr);
    // Replaced on disk: the cache still answers the picture it read.
    pic.Pixel = [](int32_t, int32_t) { return 0u; };
    WriteFileBytes(dir.File("a.bmp"), MakeBmp(pic));
    EXPECT_EQ(cache.Get(dir.File("a.bmp")), first);
    EXPECT_EQ(cache.LoadCount(), 1);
    EXPECT_EQ(first->Source().GetPixel(1, 1), ExpectedColor({5, 5, 24, false, {}, 0, 40, Colour24}, 1, 1));

    // Letter case makes another name, here one with no file.
    EXPECT_EQ(cache.Find(dir.File("A.bmp")), nullptr);

    // A failed name is tried again and remembered once it loads.
    EXPECT_EQ(cache.Get(dir.File("later.bmp")), nullptr);
    EXPECT_EQ(cache.Get(dir.File("later.bmp")), nullptr);
    EXPECT_EQ(cache.LoadCount(), 3);
    WriteFileBytes(dir.File("later.bmp"), MakeBmp(pic));
    const TCachedBitmap* later = cache.Get(dir.File("later.bmp"));
    ASSERT_NE(later, nullptr);
    EXPECT_EQ(cache.Get(dir.File("later.bmp")), later);
    EXPECT_EQ(cache.LoadCount(), 4);
    EXPECT_EQ(later->Source().GetPixel(0, 0), 0u);
}

TEST(BitmapCache, FindsAFileWhoseNameDiffersInCase)
{
    TTempDir dir;
    WriteFileBytes(dir.File("Plan.BMP"), MakeBmp({5, 5, 24, false, {}, 0, 40, Colour24}));
    EXPECT_EQ(ResolveFileName(dir.File("plan.bmp")), dir.File("Plan.BMP"));
    EXPECT_EQ(ResolveFileName(dir.File("other.bmp")), dir.File("other.bmp"));
    TBitmapCache cache;
    EXPECT_NE(cache.Get(dir.File("plan.bmp")), nullptr);
}

} // namespace
} // namespace tarn::test
