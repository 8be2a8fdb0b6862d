// The picture object: its two stored forms, loading and freeing its
// picture, drawing (whole, in part, copy and AND modes, placeholder) and
// its view and hit tests.
#include "PictureSupport.h"
#include "TestSupport.h"
#include "data/MapObjBmp.h"
#include "data/Registration.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

namespace tarn::test {
namespace {

std::string PStr(const std::string& s) { return Bytes({int(s.size() & 0xFF), int(s.size() >> 8)}) + s; }

// A 300 x 200 picture shown at 10 world units per pixel over
// (1000, 5000)-(4000, 3000).
const TTestBmp Plan1Bit{300, 200, 1, false, {0xFFFFFF, 0x000000}, 2, 40, AsymmetricBit};
const TTestBmp PlanColour{300, 200, 24, true, {}, 0, 40, [](int32_t x, int32_t y) {
                              return AsymmetricBit(x, y) ? uint32_t(0x2040A0 + x % 50) : uint32_t(0xF0F0F0 - y);
                          }};

std::unique_ptr<TBmp> Picture(const std::string& file, uint32_t flags = ObjFlagFromFile)
{
    auto b = std::make_unique<TBmp>();
    b->Left = 1000;
    b->Top = 5000;
    b->Width = 3000;
    b->Height = 2000;
    b->SetFileName(file);
    b->SetFlags(flags);
    return b;
}

struct TView {
    TDrawContext C;
    TView(TDeviceContext& dc, const TRect& world, const TRect& client, uint32_t rop = TGDI_SRCCOPY)
    {
        C.DC = &dc;
        C.Scale = 10;
        C.WorldRect = world;
        C.ClientRect = client;
        C.SymbolSize = int32_t(rop);
    }
};

const TRect WholeWorld{1000, 5000, 4000, 3000};

int DifferentPixels(const TDeviceContext& dc, const std::function<TColorRef(int32_t, int32_t)>& want)
{
    int wrong = 0;
    for (int32_t y = 0; y < dc.Height(); ++y)
        for (int32_t x = 0; x < dc.Width(); ++x)
            if (dc.GetPixel(x, y) != want(x, y) && wrong++ < 3)
                ADD_FAILURE() << "pixel (" << x << ", " << y << ") is " << std::hex << dc.GetPixel(x, y)
                              << ", expected " << want(x, y);
    return wrong;
}

class PictureObject : public ::testing::Test {
protected:
    void SetUp() override { RegisterMapEngineClasses(); }
    TTempDir Dir;
    std::string Write(const std::string& name, const TTestBmp& pic)
    {
        WriteFileBytes(Dir.File(name), MakeBmp(pic));
        return Dir.File(name);
    }
};

// ---------------------------------------------------------------- stored forms

TEST_F(PictureObject, StreamFormAddsTheOriginAndWantsThePicture)
{
    TFileContext ctx;
    ctx.OriginX = 1000;
    ctx.OriginY = -500;
    ctx.CurrentSheetID = 3;
    // id 108; flags 7, code 7, attribute -1, anchor (10, 20); "p.bmp";
    // left 10, top 600, width 300, height 200.
    const std::string body = I32(7) + I32(7) + I32(-1) + I32(10) + I32(20) + PStr("p.bmp") + I32(10) + I32(600) +
                             I32(300) + I32(200);
    TMemoryStream in(Bytes({108, 0}) + body);
    in.SetContext(ctx);
    std::unique_ptr<TAbstractItem> item(LoadRegisteredItem(in, nullptr));
    auto* b = dynamic_cast<TBmp*>(item.get());
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->Flags(), 0x85u);
    EXPECT_EQ(b->FileName(), "p.bmp");
    EXPECT_EQ(b->Left, 1010);
    EXPECT_EQ(b->Top, 100);
    EXPECT_EQ(b->Width, 300);
    EXPECT_EQ(b->Height, 200);
    EXPECT_EQ(b->X, 1010);
    EXPECT_EQ(b->SheetID, 3);
    EXPECT_FALSE(b->Raster() || b->Bitmap());  // no such file: no picture, no error

    TMemoryStream out;
    out.SetContext(ctx);
    StoreItem(out, b);
    EXPECT_TRUE(SameBytes(out.Bytes(), Bytes({108, 0}) + PatchI32(body, 0, 0x85)));
    EXPECT_TRUE(EveryTruncationFails(body, [&](const std::string& bytes) {
        TMemoryStream s(bytes);
        s.SetContext(ctx);
        TBmp cut(s, nullptr);
    }));
}

TEST_F(PictureObject, FilerFormInTensOfWorldUnits)
{
    TFileContext ctx;
    ctx.OriginX = 10;
    ctx.OriginY = 5;
    ctx.CurrentSheetID = 4;
    // code 1011; "p.bmp"; 188, 1 (wanted); left 1234, top 567, width 30, height 20.
    const std::string record = PStr("p.bmp") + Bytes({188, 1}) + I32(1234) + I32(567) + I32(30) + I32(20);
    for (TFilerForm form : {TFilerForm::Map16, TFilerForm::Project}) {
        TMemoryStream in(Bytes({0xF3, 0x03}) + record);
        in.SetContext(ctx);
        TReader r(in);
        std::unique_ptr<TAbstractItem> item(form == TFilerForm::Map16 ? ReadMapObject(r) : ReadProjectItem(r));
        auto* b = dynamic_cast<TBmp*>(item.get());
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(b->Flags(), ObjFlagFromFile);
        EXPECT_EQ(b->Left, 12340 + 10000);
        EXPECT_EQ(b->Top, 5670 + 5000);
        EXPECT_EQ(b->Width, 300);
        EXPECT_EQ(b->Height, 200);
        EXPECT_EQ(b->Code, 0);
        EXPECT_EQ(b->SheetID, 4);

        TMemoryStream out;
        out.SetContext(ctx);
        TWriter w(out);
        if (form == TFilerForm::Map16) {
            WriteMapObject(w, b);
            EXPECT_TRUE(SameBytes(out.Bytes(), Bytes({0xF3, 0x03}) + record));
        } else {
            EXPECT_THROW(WriteProjectItem(w, b), EWriteError);  // read only in the project form
        }
    }
    EXPECT_TRUE(EveryTruncationFails(record, [&](const std::string& bytes) {
        TMemoryStream s(bytes);
        s.SetContext(ctx);
        TReader r(s);
        TBmp cut(r);
    }));

    // Not wanted: two zero bytes, and the flag stays clear.
    TMemoryStream in(PatchU16(record, 7, 0));
    in.SetContext(ctx);
    TReader r(in);
    TBmp quiet(r);
    EXPECT_EQ(quiet.Flags(), 0u);
}

TEST_F(PictureObject, FilerValuesRoundHalvesToEvenAndMustFit)
{
    TFileContext ctx;
    ctx.OriginX = 10;
    TBmp b;
    b.SetFileName("x");
    b.Left = 22345;  // 2234.5 -> 2234, less 1000
    b.Top = 22355;   // 2235.5 -> 2236
    b.Width = 15;    // 1.5 -> 2
    b.Height = 25;   // 2.5 -> 2
    TMemoryStream out;
    out.SetContext(ctx);
    TWriter w(out);
    b.WriteFiler(w);
    EXPECT_TRUE(SameBytes(out.Bytes(), PStr("x") + Bytes({0, 0}) + I32(1234) + I32(2236) + I32(2) + I32(2)));

    ctx.OriginX = -30'000'000;  // 100 x the origin no longer fits
    TMemoryStream refused;
    refused.SetContext(ctx);
    TWriter w2(refused);
    EXPECT_THROW(b.WriteFiler(w2), EWriteError);
    EXPECT_EQ(refused.Size(), 0);

    // A stored value whose world value cannot be held is bad data.
    TMemoryStream in(PStr("x") + Bytes({0, 0}) + I32(300'000'000) + I32(0) + I32(0) + I32(0));
    TReader r(in);
    EXPECT_THROW(TBmp bad(r), EFormatError);
}

// ---------------------------------------------------------------- the picture

TEST_F(PictureObject, FlagOneTwentyEightLoadsAndFreesThePicture)
{
    const std::string plan = Write("plan.bmp", Plan1Bit);
    TBmp b;
    b.Left = 1000;
    b.Top = 5000;
    b.Width = 3000;
    b.Height = 2000;
    EXPECT_FALSE(b.SetFileName(plan));
    EXPECT_FALSE(b.Raster()) << "a name alone loads nothing";
    b.SetFlags(ObjFlagFromFile);
    ASSERT_TRUE(b.Raster());
    EXPECT_EQ(b.Raster()->Width(), 300);
    const TTiledRaster* first = b.Raster();

    // Other bits leave the picture alone.
    b.SetFlags(ObjFlagFromFile | ObjFlagInView);
    EXPECT_EQ(b.Raster(), first);

    // Cleared: loaded again, but not drawn until the flag is back.
    b.SetFlags(ObjFlagInView);
    ASSERT_TRUE(b.Raster());
    TTestCanvas canvas(300, 200);
    TView v(canvas.DC, WholeWorld, {0, 0, 300, 200});
    b.Draw(v.C);
    EXPECT_EQ(DifferentPixels(canvas.DC, [](int32_t, int32_t) { return Rgb(255, 255, 255); }), 0);
    b.SetFlags(ObjFlagFromFile);
    b.Draw(v.C);
    EXPECT_EQ(canvas.DC.GetPixel(0, 0), Rgb(0, 0, 0));
}

TEST_F(PictureObject, LoadingAnotherPictureFreesTheOldOne)
{
    const std::string plan = Write("plan.bmp", Plan1Bit);
    const std::string photo = Write("photo.bmp", PlanColour);
    auto b = Picture(plan);
    ASSERT_TRUE(b->Raster());
    EXPECT_TRUE(b->SetFileName(photo));  // both names set: loaded at once
    EXPECT_FALSE(b->Raster());
    ASSERT_TRUE(b->Bitmap());
    EXPECT_FALSE(b->SetFileName(plan));  // a raster is not a cached image
    EXPECT_TRUE(b->Raster());
    EXPECT_FALSE(b->Bitmap());
    EXPECT_FALSE(b->LoadPicture());
    EXPECT_TRUE(b->Raster());
    // A name that cannot be loaded leaves no picture behind.
    EXPECT_FALSE(b->SetFileName(Dir.File("gone.bmp")));
    EXPECT_FALSE(b->Raster() || b->Bitmap());
    // Nor does clearing the name.
    b->SetFileName(plan);
    b->SetFileName("");
    EXPECT_FALSE(b->Raster() || b->Bitmap());
}

TEST_F(PictureObject, PicturesOfOneFileShareTheCachedImage)
{
    const std::string photo = Write("photo.bmp", PlanColour);
    auto a = Picture(photo);
    auto b = Picture(photo);
    ASSERT_TRUE(a->Bitmap());
    EXPECT_EQ(a->Bitmap(), b->Bitmap());
    EXPECT_FALSE(std::filesystem::exists(Dir.File("photo.tr")));
    a.reset();
    TTestCanvas canvas(300, 200);
    TView v(canvas.DC, WholeWorld, {0, 0, 300, 200});
    b->Draw(v.C);
    EXPECT_EQ(DifferentPixels(canvas.DC, [](int32_t x, int32_t y) { return ExpectedColor(PlanColour, x, y); }), 0);
}

TEST_F(PictureObject, ACopyHasNoPictureUntilItLoadsOne)
{
    auto b = Picture(Write("plan.bmp", Plan1Bit));
    b->Extra = 99;
    b->Code = 5;
    std::unique_ptr<TBaseObject> copy = b->Clone();
    auto* c = dynamic_cast<TBmp*>(copy.get());
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->FileName(), b->FileName());
    EXPECT_EQ(c->Left, 1000);
    EXPECT_EQ(c->Height, 2000);
    EXPECT_EQ(c->Extra, 99u);
    EXPECT_EQ(c->Code, 5);
    EXPECT_EQ(c->Flags(), ObjFlagFromFile);
    EXPECT_FALSE(c->Raster());
    c->LoadPicture();
    EXPECT_TRUE(c->Raster());
}

// ---------------------------------------------------------------- drawing

TEST_F(PictureObject, DrawsWholePicturesExactlyAndUpright)
{
    for (const TTestBmp* pic : {&Plan1Bit, &PlanColour}) {
        SCOPED_TRACE(pic->BitCount);
        auto b = Picture(Write(pic->BitCount == 1 ? "plan.bmp" : "photo.bmp", *pic));
        ASSERT_TRUE(b->Raster() || b->Bitmap());
        EXPECT_EQ(bool(b->Raster()), pic->BitCount == 1);
        TTestCanvas canvas(300, 200);
        TView v(canvas.DC, WholeWorld, {0, 0, 300, 200});
        b->Draw(v.C);
        const int wrong = DifferentPixels(canvas.DC, [&](int32_t x, int32_t y) { return ExpectedColor(*pic, x, y); });
        if (wrong) canvas.Save("bmp-whole");
        EXPECT_EQ(wrong, 0);
    }
}

TEST_F(PictureObject, DrawsOnlyThePartInView)
{
    const TColorRef white = Rgb(255, 255, 255);
    for (const TTestBmp* pic : {&Plan1Bit, &PlanColour}) {
        SCOPED_TRACE(pic->BitCount);
        auto b = Picture(Write(pic->BitCount == 1 ? "plan.bmp" : "photo.bmp", *pic));
        {
            // Picture pixels 50..249 and 40..159 fill the window.
            TTestCanvas canvas(200, 120);
            TView v(canvas.DC, {1500, 4600, 3500, 3400}, {0, 0, 200, 120});
            b->Draw(v.C);
            EXPECT_EQ(DifferentPixels(canvas.DC, [&](int32_t x, int32_t y) { return ExpectedColor(*pic, x + 50, y + 40); }),
                      0);
        }
        {
            // The picture's upper-left corner at (100, 100) of the window.
            TTestCanvas canvas(300, 200);
            TView v(canvas.DC, {0, 6000, 3000, 4000}, {0, 0, 300, 200});
            b->Draw(v.C);
            EXPECT_EQ(DifferentPixels(canvas.DC, [&](int32_t x, int32_t y) {
                          return x >= 100 && y >= 100 ? ExpectedColor(*pic, x - 100, y - 100) : white;
                      }),
                      0);
        }
    }
}

TEST_F(PictureObject, SourceAndKeepsTheBackgroundUnderWhite)
{
    const TColorRef red = Rgb(255, 0, 0), black = Rgb(0, 0, 0), white = Rgb(255, 255, 255);
    auto b = Picture(Write("plan.bmp", Plan1Bit));
    for (uint32_t rop : {TGDI_SRCCOPY, TGDI_SRCAND}) {
        TTestCanvas canvas(300, 200, red);
        TView v(canvas.DC, WholeWorld, {0, 0, 300, 200}, rop);
        b->Draw(v.C);
        for (int32_t y = 0; y < 200; y += 4)
            for (int32_t x = 0; x < 300; x += 3)
                ASSERT_EQ(canvas.DC.GetPixel(x, y),
                          Plan1Bit.Pixel(x, y) ? black : rop == TGDI_SRCAND ? red : white)
                    << x << ", " << y << " rop " << std::hex << rop;
    }
}

TEST_F(PictureObject, PlaceholderOfAPictureThatCannotBeLoaded)
{
    auto b = Picture(Dir.File("missing.bmp"));
    b->Width = 1000;
    b->Height = 800;  // (0, 0)-(100, 80) on the window
    EXPECT_FALSE(b->Raster() || b->Bitmap());
    const TColorRef white = Rgb(255, 255, 255), black = Rgb(0, 0, 0);

    TTestCanvas plain(150, 120);
    TView v(plain.DC, WholeWorld, {0, 0, 150, 120});
    b->Draw(v.C);  // an opaque layer: nothing at all
    EXPECT_EQ(DifferentPixels(plain.DC, [&](int32_t, int32_t) { return white; }), 0);

    TTestCanvas canvas(150, 120);
    TView t(canvas.DC, WholeWorld, {0, 0, 150, 120});
    t.C.LayerColour = 1;
    b->Draw(t.C);
    for (TPoint p : {TPoint{0, 0}, TPoint{99, 0}, TPoint{0, 79}, TPoint{99, 79}, TPoint{99, 40}, TPoint{50, 79}})
        EXPECT_EQ(canvas.DC.GetPixel(p.X, p.Y), black) << p.X << ", " << p.Y;
    for (TPoint p : {TPoint{100, 40}, TPoint{50, 80}, TPoint{50, 60}, TPoint{1, 60}})
        EXPECT_EQ(canvas.DC.GetPixel(p.X, p.Y), white) << p.X << ", " << p.Y;
    int inked = 0;  // the file name below and right of the corner
    for (int32_t y = 3; y < 30; ++y)
        for (int32_t x = 3; x < 99; ++x) inked += canvas.DC.GetPixel(x, y) != white;
    EXPECT_GT(inked, 20);
    for (int32_t x = 1; x < 99; ++x) EXPECT_EQ(canvas.DC.GetPixel(x, 2), white) << x;
}

TEST_F(PictureObject, NothingToDivideByDrawsNothing)
{
    auto b = Picture(Write("plan.bmp", Plan1Bit));
    const TColorRef white = Rgb(255, 255, 255);
    TTestCanvas canvas(300, 200);
    TView v(canvas.DC, WholeWorld, {0, 0, 300, 200});
    v.C.Scale = 0;
    b->Draw(v.C);
    v.C.Scale = 10;
    b->Width = 0;
    b->Draw(v.C);
    b->Width = 3000;
    b->Height = 0;
    b->Draw(v.C);
    EXPECT_EQ(DifferentPixels(canvas.DC, [&](int32_t, int32_t) { return white; }), 0);
}

TEST_F(PictureObject, DrawnByItsOwnerWithItsCorners)
{
    struct TModel : TDrawNotify {
        std::vector<TPoint> Corners;
        int Calls = 0;
        bool HasNotifyHook() const override { return true; }
        void CallNotifyHook(int32_t code, intptr_t, intptr_t, intptr_t c) override
        {
            ++Calls;
            EXPECT_EQ(code, 22);
            const auto* rec = reinterpret_cast<const TOwnerDrawRec*>(c);
            Corners.assign(rec->Points, rec->Points + rec->Count);
        }
    } model;
    auto b = Picture(Write("plan.bmp", Plan1Bit), ObjFlagFromFile | ObjFlagOwnerDraw);
    TTestCanvas canvas(300, 200);
    TView v(canvas.DC, WholeWorld, {0, 0, 300, 200});
    v.C.Model = &model;
    b->Draw(v.C);
    EXPECT_EQ(model.Calls, 1);
    const std::vector<TPoint> want = {{0, 0}, {300, 0}, {300, 200}, {0, 200}};
    ASSERT_EQ(model.Corners.size(), 4u);
    for (size_t i = 0; i < 4; ++i) EXPECT_TRUE(model.Corners[i].X == want[i].X && model.Corners[i].Y == want[i].Y) << i;
    EXPECT_EQ(canvas.DC.GetPixel(0, 0), Rgb(255, 255, 255));
}

// ---------------------------------------------------------------- view and hits

TEST_F(PictureObject, InViewWhenTheRectanglesMeet)
{
    TBmp b;  // (0, 100)-(100, 0)
    b.Width = 100;
    b.Height = 100;
    b.Top = 100;
    const struct {
        TRect View;
        bool In;
    } cases[] = {
        {{10, 90, 90, 10}, true},       // the view inside
        {{-50, 200, 200, -50}, true},   // the picture inside
        {{50, 150, 150, 50}, true},     // overlapping
        {{100, 50, 150, 0}, true},      // sharing the right edge
        {{101, 50, 150, 0}, false},     // beside it
        {{0, 300, 100, 101}, false},    // above it
        {{-10, 100, 50, 0}, true},      // corners on the view's border, inside it
    };
    TDrawContext c;
    for (const auto& k : cases) {
        c.WorldRect = k.View;
        EXPECT_EQ(b.InView(c), k.In) << k.View.Left << ", " << k.View.Top;
        EXPECT_EQ(ViewRect().Left, k.View.Left);
    }
    EXPECT_EQ(b.Flags(), 0u);
}

TEST_F(PictureObject, HitWithinTheToleranceOfItsRectangle)
{
    TBmp b;
    b.Left = 0;
    b.Top = 100;
    b.Width = 100;
    b.Height = 100;
    TDrawContext c;
    int32_t index = -7;
    SetHitTolerance(5);
    EXPECT_TRUE(b.HitTest(c, 50, 50, index));
    EXPECT_TRUE(b.HitTest(c, -5, 105, index));
    EXPECT_TRUE(b.HitTest(c, 105, -5, index));
    EXPECT_FALSE(b.HitTest(c, -6, 50, index));
    EXPECT_FALSE(b.HitTest(c, 50, 106, index));
    EXPECT_EQ(index, -7);
    SetHitTolerance(0);
    EXPECT_TRUE(b.HitTest(c, 100, 0, index));
    EXPECT_FALSE(b.HitTest(c, 101, 0, index));
}

} // namespace
} // namespace tarn::test
