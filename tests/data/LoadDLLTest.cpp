// The symbol library loader: names, sizes, request records and the
// built-in procedures.
#include "data/DrawContext.h"
#include "data/LoadDLL.h"
#include "data/Utils.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <filesystem>

using namespace tarn;
using namespace tarn::test;
namespace fs = std::filesystem;

namespace {

struct TTempFolder {
    fs::path Path;
    TTempFolder()
    {
        Path = fs::temp_directory_path() / ("tarn-loaddll-" + std::to_string(::getpid()));
        fs::create_directories(Path);
    }
    ~TTempFolder() { fs::remove_all(Path); }
};

using TLastCall = int32_t (*)(int32_t* proc, int32_t* mode, uint8_t* bytes, TgdiPoint* firstPoint);

struct TRecorded {
    int32_t Proc = 0, Mode = 0, Size = 0;
    uint8_t Bytes[64] = {};
    TgdiPoint First{};
    std::string Record() const { return std::string(reinterpret_cast<const char*>(Bytes), size_t(Size)); }
};

TRecorded LastCall(const TDynLib& lib)
{
    auto fn = reinterpret_cast<TLastCall>(lib.Symbol("TestLastCall"));
    TRecorded r;
    if (fn) r.Size = fn(&r.Proc, &r.Mode, r.Bytes, &r.First);
    return r;
}

TDynLib Open(const char* path)
{
    TDynLib lib;
    EXPECT_TRUE(lib.Open(path)) << lib.LastError();
    return lib;
}

std::string LE(uint64_t v, int bytes)
{
    std::string s;
    for (int i = 0; i < bytes; ++i) s += char((v >> (8 * i)) & 0xFF);
    return s;
}

// A drawing surface without Qt: a bitmap and a context on it.
struct TSurface {
    TGdiRef<TBitmap> Bmp = TBitmap::Create(40, 40);
    TDeviceContext DC{*Bmp};
    TColorRef At(int x, int y) const { return DC.GetPixel(x, y); }
    int Count(TColorRef c) const
    {
        int n = 0;
        for (int y = 0; y < DC.Height(); ++y)
            for (int x = 0; x < DC.Width(); ++x) n += DC.GetPixel(x, y) == c;
        return n;
    }
};

constexpr TColorRef White = Rgb(255, 255, 255), Black = 0;

} // namespace

TEST(LoadDLL, NamesShorterThanSixCharactersAreRefusedUntouched)
{
    TTempFolder dir;
    fs::copy_file(TARN_SYMTEST_DLL, dir.Path / "ab.dll");
    fs::copy_file(TARN_SYMTEST_DLL, dir.Path / "a.dll");
    TDynLib handle = Open(TARN_SYMBOLS_DLL);
    EXPECT_FALSE(LoadDrawDll("a.dll", dir.Path.string(), handle)) << "five characters, though the file is there";
    EXPECT_FALSE(LoadDrawDll(nullptr, dir.Path.string(), handle));
    EXPECT_TRUE(handle.IsOpen()) << "a refused name leaves the handle alone";
    EXPECT_EQ(handle.Path(), TARN_SYMBOLS_DLL);
    EXPECT_TRUE(LoadDrawDll("ab.dll", dir.Path.string(), handle)) << "six characters are tried";
    EXPECT_EQ(fs::path(handle.Path()), dir.Path / "ab.dll");
    EXPECT_FALSE(LoadDrawDll("xy.dll", dir.Path.string(), handle)) << "tried, and missing";
    EXPECT_FALSE(handle.IsOpen()) << "the handle takes the failed result";
}

TEST(LoadDLL, RelativeNamesAreFoundInTheGivenFolderWhateverTheirCase)
{
    TTempFolder dir;
    fs::copy_file(TARN_SYMBOLS_DLL, dir.Path / "TARN.DLL");
    TDynLib handle;
    ASSERT_TRUE(LoadDrawDll("tarn.dll", dir.Path.string(), handle)) << handle.LastError();
    EXPECT_EQ(GetDllSize(&handle), 40);
    TDynLib other;
    EXPECT_FALSE(LoadDrawDll("tarn.dll", "", other)) << "no folder, no current directory";
}

TEST(LoadDLL, MissingGetSizeGivesOneHundredAndNoPositiveSizeDivides)
{
    TDynLib test = Open(TARN_SYMTEST_DLL), zero = Open(TARN_SYMZERO_DLL), ours = Open(TARN_SYMBOLS_DLL);
    EXPECT_EQ(GetDllSize(&test), 100);
    EXPECT_EQ(GetDllSize(nullptr), 100);
    EXPECT_EQ(GetDllSize(&ours), 40);
    EXPECT_EQ(GetDllSize(&zero), 0) << "answered as the library says";
    EXPECT_EQ(DllSizeDivisor(GetDllSize(&zero)), 100);
    EXPECT_EQ(DllSizeDivisor(-7), 100);
    EXPECT_EQ(DllSizeDivisor(40), 40);
}

TEST(LoadDLL, ProceduresAreLookedUpByDecimalNumberWithSign)
{
    TDynLib test = Open(TARN_SYMTEST_DLL);
    TSignParams rec{};
    struct Case {
        int32_t N;
        int32_t Recorded;  // -1000: no such export
    };
    for (Case c : {Case{0, 0}, Case{-3, -3}, Case{7, 7}, Case{3, -1000}, Case{-7, -1000}, Case{70, -1000}}) {
        TSymbolProc p = GetSignProc(&test, c.N);
        if (c.Recorded == -1000) {
            EXPECT_EQ(p, nullptr) << c.N;
            continue;
        }
        ASSERT_NE(p, nullptr) << c.N;
        EXPECT_EQ(p(1, &rec), 1);
        EXPECT_EQ(LastCall(test).Proc, c.Recorded) << "SIGN" << c.N << " is the export of that name";
    }
    EXPECT_NE(GetLineProc(&test, 2), nullptr);
    EXPECT_EQ(GetLineProc(&test, 7), nullptr);
    EXPECT_NE(GetFillProc(&test, 5), nullptr);
    EXPECT_EQ(GetFillProc(&test, 2), nullptr);
    EXPECT_EQ(GetSignProc(nullptr, 1), nullptr) << "no library, no procedure: callers use the built-ins";
    TDynLib closed;
    EXPECT_EQ(GetSignProc(&closed, 1), nullptr);
}

TEST(LoadDLL, SignRecordReachesTheLibraryByteForByte)
{
    TDynLib test = Open(TARN_SYMTEST_DLL);
    TSurface s;
    TSignParams rec;
    FillSignParams(rec, &s.DC, 0x11223344, -2, 7, 100001, true);
    ASSERT_EQ(GetSignProc(&test, 7)(1, &rec), 1);
    const TRecorded got = LastCall(test);
    EXPECT_EQ(got.Mode, 1);
    const uint64_t dc = uint64_t(reinterpret_cast<uintptr_t>(s.DC.Handle()));
    const std::string want = Bytes({0x44, 0x33, 0x22, 0x11, 0xFE, 0xFF, 0xFF, 0xFF}) + LE(dc, 8) +
                             Bytes({0x07, 0, 0, 0, 0xA0, 0x86, 0x01, 0x00, 0x01});
    EXPECT_TRUE(SameBytes(got.Record(), want)) << "X 0, Y 4, DC 8, sign 16, size 20 (capped), selected 24";
}

TEST(LoadDLL, LineAndFillRecordsCarryTheirPointsAcross)
{
    TDynLib test = Open(TARN_SYMTEST_DLL);
    TSurface s;
    TPoint pts[3] = {{-5, 9}, {10, 20}, {30, 1}};
    const uint64_t dc = uint64_t(reinterpret_cast<uintptr_t>(s.DC.Handle()));
    const uint64_t addr = uint64_t(reinterpret_cast<uintptr_t>(pts));

    TLineParams line;
    FillLineParams(line, &s.DC, pts, 3, 10, 45, 0x00ABCDEF, false);
    ASSERT_EQ(GetLineProc(&test, 2)(1, &line), 1);
    TRecorded got = LastCall(test);
    EXPECT_TRUE(SameBytes(got.Record(), LE(dc, 8) + LE(addr, 8) +
                                            Bytes({3, 0, 0, 0, 10, 0, 0, 0, 45, 0, 0, 0, 0xEF, 0xCD, 0xAB, 0, 0})))
        << "DC 0, points 8, count 16, size 20, width 24, colour 28, selected 32";
    EXPECT_EQ(got.First.X, -5);
    EXPECT_EQ(got.First.Y, 9);

    TFillParams fill;
    FillFillParams(fill, &s.DC, pts + 1, 2, 1, 0x0000FF, true);
    ASSERT_EQ(GetFillProc(&test, 5)(3, &fill), 0) << "the test procedure handles only mode 1";
    got = LastCall(test);
    EXPECT_EQ(got.Mode, 3);
    EXPECT_TRUE(SameBytes(got.Record(), LE(dc, 8) + LE(addr + 8, 8) +
                                            Bytes({2, 0, 0, 0, 1, 0, 0, 0, 0xFF, 0, 0, 0, 1})))
        << "DC 0, points 8, count 16, size 20, colour 24, selected 28";
    EXPECT_EQ(got.First.X, 10);
}

TEST(LoadDLL, SizesAboveOneHundredThousandAreCapped)
{
    struct Case {
        int32_t In, Out;
    };
    for (Case c : {Case{100000, 100000}, Case{100001, 100000}, Case{INT32_MAX, 100000}, Case{-5, -5}, Case{0, 0}}) {
        TSignParams s;
        TLineParams l;
        TFillParams f;
        FillSignParams(s, nullptr, 0, 0, 0, c.In, false);
        FillLineParams(l, nullptr, nullptr, 0, c.In, 0, 0, false);
        FillFillParams(f, nullptr, nullptr, 0, c.In, 0, false);
        EXPECT_EQ(s.Size, c.Out) << c.In;
        EXPECT_EQ(l.Size, c.Out) << c.In;
        EXPECT_EQ(f.Size, c.Out) << c.In;
        EXPECT_EQ(s.DC, nullptr) << "no context, no handle";
    }
}

TEST(LoadDLL, BuiltInSignOfSizeTenIsADiscOfRadiusFiveWithoutRightAndBottomEdge)
{
    for (bool selected : {false, true}) {
        TSurface s;
        TSignParams rec;
        FillSignParams(rec, &s.DC, 20, 20, 0, 10, selected);
        ASSERT_EQ(DefaultSignProc(1, &rec), 1);
        // the outline is black all round, so the disc's box is that of the ink
        int minX = 99, maxX = -1, minY = 99, maxY = -1;
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 40; ++x)
                if (s.At(x, y) != White) {
                    minX = std::min(minX, x), maxX = std::max(maxX, x);
                    minY = std::min(minY, y), maxY = std::max(maxY, y);
                }
        EXPECT_EQ(minX, 15);
        EXPECT_EQ(maxX, 24) << "x + 5 is left out";
        EXPECT_EQ(minY, 15);
        EXPECT_EQ(maxY, 24) << "y + 5 is left out";
        EXPECT_EQ(s.At(15, 20), Black) << "black outline";
        EXPECT_EQ(s.At(20, 20), selected ? Rgb(32, 32, 32) : White);
        EXPECT_EQ(s.At(25, 20), White);
        EXPECT_EQ(s.DC.Pen(), StockPen(TGDI_BLACK_PEN)) << "selections put back";
        EXPECT_EQ(s.DC.Brush(), StockBrush(TGDI_WHITE_BRUSH));
    }
}

TEST(LoadDLL, BuiltInSignModeTwoOnlyClearsXAndOtherModesAreRefused)
{
    TSurface s;
    TSignParams rec;
    FillSignParams(rec, &s.DC, 17, 18, 3, 10, false);
    EXPECT_EQ(DefaultSignProc(2, &rec), 1);
    EXPECT_EQ(rec.X, 0);
    EXPECT_EQ(rec.Y, 18);
    EXPECT_EQ(DefaultSignProc(3, &rec), 0);
    EXPECT_EQ(DefaultSignProc(0, &rec), 0);
    EXPECT_EQ(DefaultLineProc(2, &rec), 0);
    EXPECT_EQ(DefaultFillProc(2, &rec), 0);
    EXPECT_EQ(DefaultSignProc(1, nullptr), 0);
    EXPECT_EQ(s.Count(White), 40 * 40);
}

TEST(LoadDLL, BuiltInLineAndFillDrawBlackUnlessSelected)
{
    const TColorRef red = Rgb(255, 0, 0);
    for (bool selected : {false, true}) {
        TSurface s;
        TPoint line[3] = {{2, 2}, {30, 2}, {30, 10}};
        TLineParams l;
        FillLineParams(l, &s.DC, line, 3, 10, 10, int32_t(red), selected);
        ASSERT_EQ(DefaultLineProc(1, &l), 1);
        EXPECT_EQ(s.Count(selected ? red : Black), 28 + 8) << "one-pixel polyline, last point out";

        TSurface f;
        f.DC.SelectPen(StockPen(TGDI_NULL_PEN));
        f.DC.SetBkMode(TGDI_TRANSPARENT);
        TPoint square[4] = {{0, 0}, {32, 0}, {32, 32}, {0, 32}};
        TFillParams p;
        FillFillParams(p, &f.DC, square, 4, 1, int32_t(red), selected);
        ASSERT_EQ(DefaultFillProc(1, &p), 1);
        const TColorRef ink = selected ? red : Black;
        EXPECT_EQ(f.Count(ink), 32 * 32 / 8) << "hatch style 3: one pixel in eight";
        for (int y = 1; y < 32; ++y)
            for (int x = 0; x < 31; ++x)
                if (f.At(x, y) == ink) {
                    EXPECT_EQ(f.At(x + 1, y - 1), ink) << "rising lines at " << x << ", " << y;
                }
        EXPECT_EQ(f.DC.Brush(), StockBrush(TGDI_WHITE_BRUSH));
    }
}

TEST(LoadDLL, BuiltInsIgnoreUnknownContextsAndEmptyPoints)
{
    TSignParams s{};
    s.DC = reinterpret_cast<TgdiHandle>(uintptr_t(0xDEAD0));
    s.Size = 10;
    EXPECT_EQ(DefaultSignProc(1, &s), 1);
    TSurface surface;
    TLineParams l;
    FillLineParams(l, &surface.DC, nullptr, 5, 10, 10, 0, false);
    EXPECT_EQ(DefaultLineProc(1, &l), 1);
    TPoint one[1] = {{3, 3}};
    FillLineParams(l, &surface.DC, one, -1, 10, 10, 0, false);
    EXPECT_EQ(DefaultLineProc(1, &l), 1);
    EXPECT_EQ(surface.Count(White), 40 * 40);
}

TEST(DrawContext, ConvertsThroughTheSharedWorldToScreen)
{
    TDrawContext ctx;
    ctx.Scale = 0.5;
    ctx.WorldRect = {1000, 2000, 1200, 1900};
    ctx.ClientRect = {0, 0, 400, 200};
    int32_t sx, sy;
    WorldToScreen(ctx, 1100, 1950, sx, sy);
    EXPECT_EQ(sx, 200);
    EXPECT_EQ(sy, 100);
    TDrawContext copy = ctx;  // a plain record
    copy.Flags |= DrawFlagStop;
    EXPECT_EQ(ctx.Flags, 0u);
}
