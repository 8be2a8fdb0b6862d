// Metafiles written record by record from the format's description,
// replayed onto a picture: the window mapped onto the target, the object
// table, shapes, poly-polygons with holes, pictures, text, skipped records,
// and the refusals of broken files.
#include "GdiSupport.h"

#include "platform/Metafile.h"
#include "platform/gdi/Gdi.h"

#include <QImage>

#include <gtest/gtest.h>

namespace tarn {
namespace {

void Put16(std::string& b, int v)
{
    b += char(v & 0xFF);
    b += char((v >> 8) & 0xFF);
}
void Put32(std::string& b, uint32_t v)
{
    Put16(b, int(v & 0xFFFF));
    Put16(b, int(v >> 16));
}

// One record: size in words, function, parameter words, then raw bytes.
std::string Rec(uint16_t function, std::initializer_list<int> words, const std::string& raw = {})
{
    std::string r;
    Put32(r, uint32_t(3 + words.size() + raw.size() / 2));
    Put16(r, function);
    for (int w : words) Put16(r, w);
    return r + raw;
}

// A placeable header over (0, 0, w, h) at `inch` units an inch, the
// metafile header, the records and the end record.
std::string Wmf(const std::string& records, int w = 100, int h = 100, int inch = 96, int objects = 8)
{
    std::string b;
    Put32(b, 0x9AC6CDD7u);
    for (int v : {0, 0, 0, w, h, inch}) Put16(b, v);
    Put32(b, 0);
    Put16(b, 0);  // checksum: not checked
    for (int v : {1, 9, 0x0300}) Put16(b, v);
    Put32(b, 0);
    Put16(b, objects);
    Put32(b, 0);
    Put16(b, 0);
    return b + records + Rec(0, {});
}

std::string Brush(uint32_t bgr) { return Rec(0x02FC, {0, int(bgr & 0xFFFF), int(bgr >> 16), 0}); }
std::string NullPen() { return Rec(0x02FA, {5, 0, 0, 0, 0}); }
std::string Select(int slot) { return Rec(0x012D, {slot}); }
std::string Box(uint16_t function, int l, int t, int r, int b) { return Rec(function, {b, r, t, l}); }

QImage Play(const std::string& wmf, int w = 100, int h = 100)
{
    EnsureGuiApplication();
    return TMetafile(wmf, "test.wmf").Render(w, h);
}

QRgb At(const QImage& image, int x, int y) { return image.pixel(x, y) & 0xFFFFFF; }

constexpr QRgb White = 0xFFFFFF, Black = 0x000000, Red = 0xFF0000, Green = 0x00FF00, Blue = 0x0000FF;

TEST(Metafile, MapsItsWindowOntoTheTarget)
{
    const struct {
        const char* What;
        std::string Records;
        int Width, Height;
        TPoint Inside, Outside;
    } cases[] = {
        {"the placeable box", NullPen() + Brush(0) + Select(0) + Select(1) + Box(0x041B, 10, 10, 50, 50), 200, 200,
         {30, 30}, {100, 100}},
        {"a window origin and extent",
         Rec(0x020B, {100, 100}) + Rec(0x020C, {1000, 1000}) + NullPen() + Brush(0) + Select(0) + Select(1) +
             Box(0x041B, 100, 100, 600, 600),
         100, 100, {40, 40}, {60, 60}},
        {"an extent that turns y up",
         Rec(0x020B, {100, 0}) + Rec(0x020C, {-100, 100}) + NullPen() + Brush(0) + Select(0) + Select(1) +
             Box(0x041B, 0, 100, 50, 80),
         100, 100, {25, 10}, {25, 30}},
        {"an offset and a scaled extent",
         Rec(0x020C, {200, 200}) + Rec(0x020F, {50, 50}) + Rec(0x0410, {1, 2, 1, 2}) + NullPen() + Brush(0) +
             Select(0) + Select(1) + Box(0x041B, 50, 50, 250, 250),
         100, 100, {20, 20}, {60, 60}},
    };
    for (const auto& c : cases) {
        const QImage image = Play(Wmf(c.Records), c.Width, c.Height);
        EXPECT_EQ(At(image, c.Inside.X, c.Inside.Y), Black) << c.What;
        EXPECT_EQ(At(image, c.Outside.X, c.Outside.Y), White) << c.What;
    }
}

TEST(Metafile, ObjectsTakeTheLowestFreePlaceOfTheTable)
{
    // Red in 0, blue in 1; 0 deleted; green takes 0; 5 does not exist.
    const std::string records = NullPen() + Select(0) + Rec(0x01F0, {0}) + Brush(0x0000FF) + Brush(0xFF0000) +
                                Rec(0x01F0, {0}) + Brush(0x00FF00) + Select(0) + Box(0x041B, 0, 0, 50, 100) +
                                Select(1) + Select(5) + Box(0x041B, 50, 0, 100, 100);
    const QImage image = Play(Wmf(records));
    EXPECT_EQ(At(image, 25, 50), Green);
    EXPECT_EQ(At(image, 75, 50), Blue) << "selecting a place of no object changes nothing";
}

TEST(Metafile, DrawsLinesShapesAndPolyPolygonsWithHoles)
{
    std::string rings;
    for (int v : {5, 4}) Put16(rings, v);
    for (int v : {10, 10, 90, 10, 90, 90, 10, 90, 10, 10, 30, 30, 70, 30, 70, 70, 30, 70}) Put16(rings, v);
    std::string points;
    for (int v : {0, 95, 50, 95, 99, 95}) Put16(points, v);
    const std::string records = Rec(0x02FA, {0, 0, 0, 0xFF, 0}) + Brush(0xFF0000) + Select(0) + Select(1) +
                                Rec(0x0538, {2}, rings) + Rec(0x0214, {5, 0}) + Rec(0x0213, {5, 99}) +
                                Rec(0x0325, {3}, points) + Brush(0) + Select(2) + Box(0x0418, 40, 40, 60, 60);
    const QImage image = Play(Wmf(records));
    test::SaveImage(image, "metafile-shapes");
    EXPECT_EQ(At(image, 20, 50), Blue) << "between the rings";
    EXPECT_EQ(At(image, 35, 35), White) << "inside the hole";
    EXPECT_EQ(At(image, 50, 50), Black) << "the disc";
    EXPECT_EQ(At(image, 10, 50), Red) << "the outer ring's outline";
    EXPECT_EQ(At(image, 30, 50), Red) << "the hole's outline";
    EXPECT_EQ(At(image, 50, 5), Red) << "move to and line to";
    EXPECT_EQ(At(image, 50, 95), Red) << "the polyline";
    EXPECT_EQ(At(image, 95, 50), White);
}

TEST(Metafile, StretchesDeviceIndependentPictures)
{
    // 2 x 2, 24 bits, rows bottom-up: blue green / red white on screen.
    std::string dib;
    for (uint32_t v : {40u, 2u, 2u}) Put32(dib, v);
    Put16(dib, 1);
    Put16(dib, 24);
    for (int i = 0; i < 6; ++i) Put32(dib, 0);
    dib += std::string("\x00\x00\xFF\xFF\xFF\xFF\x00\x00", 8);  // bottom row: red, white; padded
    dib += std::string("\xFF\x00\x00\x00\xFF\x00\x00\x00", 8);  // top row: blue, green
    const std::string stretch = Rec(0x0F43, {0x0020, 0x00CC, 0, 2, 2, 0, 0, 80, 80, 10, 10}, dib);
    const std::string blt = Rec(0x0B41, {0x0020, 0x00CC, 2, 2, 0, 0, 10, 10, 90, 90}, dib);
    const QImage image = Play(Wmf(stretch + blt));
    EXPECT_EQ(At(image, 20, 20), Blue);
    EXPECT_EQ(At(image, 80, 20), Green);
    EXPECT_EQ(At(image, 20, 80), Red);
    EXPECT_EQ(At(image, 80, 80), White);
    EXPECT_EQ(At(image, 92, 92), Blue) << "the second picture, 10 x 10 at (90, 90)";
    EXPECT_EQ(At(image, 5, 5), White);
}

TEST(Metafile, WritesTextInItsFontAndColours)
{
    std::string font;
    for (int v : {-40, 0, 0, 0, 700}) Put16(font, v);
    font += std::string("\0\0\0\xCC\0\0\0\0", 8) + "DejaVu Sans" + std::string(21, '\0');
    const std::string text = "\xC4\xE0";  // "Да" in code page 1251
    std::string tail = text;
    Put16(tail, 60);  // y, x
    Put16(tail, 10);
    const std::string records = Rec(0x02FB, {}, font) + Select(0) + Rec(0x0209, {0xFF, 0}) + Rec(0x012E, {24}) +
                                Rec(0x0521, {2}, tail) + Rec(0x0102, {2}) + Rec(0x0201, {0, 0xFF}) +
                                Rec(0x0A32, {90, 10, 2, 0x0002, 0, 70, 99, 99}, text);
    const QImage image = Play(Wmf(records), 200, 200);
    test::SaveImage(image, "metafile-text");
    int red = 0, blueBack = 0;
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 200; ++x) red += At(image, x, y) == Red, blueBack += At(image, x, y) == Blue;
    EXPECT_GT(red, 100) << "two bold letters of 80 pixels";
    EXPECT_GT(blueBack, 40 * 40) << "the opaque rectangle of the second text";
    EXPECT_EQ(At(image, 5, 5), White);
}

TEST(Metafile, SkipsRecordsItDoesNotDrawAndKeepsTheCallersState)
{
    EnsureGuiApplication();
    const std::string records = Rec(0x0999, {1, 2, 3}) + Rec(0x0035, {}) + Rec(0x00F7, {0x300, 0}) + NullPen() +
                                Brush(0) + Select(1) + Select(2) + Rec(0x0127, {-3}) + Rec(0x001E, {}) +
                                Rec(0x020C, {10, 10}) + Rec(0x0127, {-1}) + Box(0x041B, 0, 0, 10, 10);
    const TMetafile m(Wmf(records), "test.wmf");
    EXPECT_EQ(m.Records().size(), 12u);
    QImage image(100, 100, QImage::Format_RGB32);
    image.fill(Qt::white);
    TDeviceContext dc(image);
    TGdiRef<TPen> pen = TPen::Create(TGDI_PS_SOLID, 3, Rgb(1, 2, 3));
    dc.SelectPen(pen.get());
    dc.SetBkMode(TGDI_TRANSPARENT);
    m.Play(dc, {0, 0, 100, 100});
    EXPECT_EQ(dc.Pen(), pen.get());
    EXPECT_EQ(dc.GetBkMode(), TGDI_TRANSPARENT);
    EXPECT_EQ(dc.GetPixel(5, 5), Rgb(0, 0, 0));
    EXPECT_EQ(dc.GetPixel(50, 50), Rgb(255, 255, 255)) << "the window put back by RestoreDC";
}

TEST(Metafile, StopsWhereItsTimeBudgetEnds)
{
    EnsureGuiApplication();
    // A megabyte of hatched ellipses over the whole picture, masked with what
    // is there: minutes of drawing.
    std::string records = Rec(0x02FC, {2, 0xFF, 0, 5}) + Select(0) + Rec(0x0104, {9});
    while (records.size() < (1 << 20)) records += Box(0x0418, 0, 0, 1600, 1000);
    const TMetafile m(Wmf(records, 1600, 1000), "ellipses.wmf");
    QImage image(1600, 1000, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        TDeviceContext dc(image);
        EXPECT_FALSE(m.Play(dc, {0, 0, 1600, 1000}, std::chrono::nanoseconds(0)));
    }
    EXPECT_EQ(At(image, 800, 500), White) << "nothing drawn past the budget";
    // The program's budget cuts it to a fraction of a second.
    const auto start = std::chrono::steady_clock::now();
    image = m.Render(1600, 1000);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
    int red = 0;
    for (int x = 800; x < 808; ++x) red += At(image, x, 500) == Red;  // a hatch crosses every 8 pixels
    EXPECT_GT(red, 0) << "what was drawn is shown";
    TDeviceContext dc(image);
    EXPECT_TRUE(TMetafile(Wmf(Box(0x041B, 10, 10, 90, 90)), "box.wmf").Play(dc, {0, 0, 100, 100}));
}

TEST(Metafile, TellsItsFrameAndSize)
{
    EnsureGuiApplication();
    const TMetafile placeable(Wmf({}, 2880, 1440, 1440), "a.wmf");
    EXPECT_TRUE(placeable.Placeable());
    EXPECT_EQ(placeable.PixelWidth(), 192);
    EXPECT_EQ(placeable.PixelHeight(), 96);
    std::string plain;
    for (int v : {1, 9, 0x0300}) Put16(plain, v);
    Put32(plain, 0);
    Put16(plain, 0);
    Put32(plain, 0);
    Put16(plain, 0);
    const TMetafile windowed(plain + Rec(0x020B, {20, 10}) + Rec(0x020C, {100, 200}) + Rec(0, {}), "b.wmf");
    EXPECT_EQ(windowed.Frame(), (TRect{10, 20, 210, 120}));
    EXPECT_EQ(windowed.PixelWidth(), 200);
    const TMetafile bare(plain, "c.wmf");
    EXPECT_EQ(bare.Frame(), (TRect{0, 0, 1000, 1000}));
    EXPECT_EQ(TMetafile(Wmf({}, 30000, 30000, 1), "d.wmf").PixelWidth(), 4096);
}

TEST(Metafile, RefusesBrokenFilesNamingTheOffset)
{
    const std::string good = Wmf(Box(0x041B, 0, 0, 10, 10));
    std::string badType = good, badHeader = good, smallRecord = good, longRecord = good;
    badType[22] = 3;
    badHeader[24] = 10;
    smallRecord[40] = 2;
    longRecord[40] = char(0xFF);
    const struct {
        std::string Bytes;
        const char* Message;
    } cases[] = {
        {good.substr(0, 10), "test.wmf, offset 0x0, placeable header: the file ends inside it"},
        {good.substr(0, 30), "test.wmf, offset 0x16, metafile header: the file ends inside it"},
        {badType, "offset 0x16, metafile type: 3 is neither 1 nor 2"},
        {badHeader, "offset 0x18, header size: 10 words, not 9"},
        {smallRecord, "offset 0x28, record size: 2 words, less than 3"},
        {longRecord, "offset 0x28, record size: 255 words, past the end of the file"},
    };
    for (const auto& c : cases) {
        try {
            TMetafile m(c.Bytes, "test.wmf");
            ADD_FAILURE() << "accepted: " << c.Message;
        } catch (const EMetafileError& e) {
            EXPECT_NE(std::string(e.what()).find(c.Message), std::string::npos) << e.what();
        }
    }
    // A record too short for its function is refused when played, and the
    // context is left as it was.
    EXPECT_THROW(Play(Wmf(Rec(0x041B, {1, 2}))), EMetafileError);
    QImage image(10, 10, QImage::Format_RGB32);
    TDeviceContext dc(image);
    dc.SetTextColor(Rgb(1, 2, 3));
    EXPECT_THROW(TMetafile(Wmf(Rec(0x0209, {0, 0}) + Rec(0x041B, {1})), "x.wmf").Play(dc, {0, 0, 10, 10}), EMetafileError);
    EXPECT_EQ(dc.GetTextColor(), Rgb(1, 2, 3));
    std::string points;
    Put16(points, 1);
    Put16(points, 1);
    EXPECT_THROW(Play(Wmf(Rec(0x0324, {5}, points))), EMetafileError) << "a count past the record";
    // Ring counts adding up to 2^31 + 32767 points: twice that wraps in 32
    // bits to a count the record seems to hold.
    std::string rings;
    for (int i = 0; i < 32769; ++i) Put16(rings, 0xFFFF);
    rings.append(2 * 65534, '\0');
    EXPECT_THROW(Play(Wmf(Rec(0x0538, {32769}, rings))), EMetafileError) << "ring counts past the record";
}

} // namespace
} // namespace tarn
