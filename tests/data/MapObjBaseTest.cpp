// The head every map object shares: both stored forms, filer coordinates,
// the anchor's view test and drawing by the owner.
#include "TestSupport.h"
#include "data/MapObj.h"

#include <cmath>
#include <vector>

using namespace tarn;
using namespace tarn::test;

namespace {

// The smallest concrete object: the head alone, loaded as a class loader
// does (flag 128 added after the head).
class TAnchorObject : public TBaseObject {
public:
    TAnchorObject() = default;
    TAnchorObject(TStream& s, TAbstractItem* owner) : TBaseObject(s, owner) { SetFlags(Flags() | ObjFlagFromFile); }
    explicit TAnchorObject(TReader& r) : TBaseObject(r) { SetFlags(Flags() | ObjFlagFromFile); }
    void Draw(const TDrawContext& c) const override { DrawByOwner(c, nullptr); }
    bool HitTest(const TDrawContext&, int32_t, int32_t, int32_t&) const override { return false; }

protected:
    TAnchorObject(const TAnchorObject&) = default;
    TBaseObject* CreateCopy() const override { return new TAnchorObject(*this); }
};

struct TRecordingModel : TDrawNotify {
    bool Hook = true;
    std::vector<std::vector<intptr_t>> Calls;
    bool HasNotifyHook() const override { return Hook; }
    void CallNotifyHook(int32_t code, intptr_t a, intptr_t b, intptr_t c) override
    {
        Calls.push_back({code, a, b, c});
    }
};

} // namespace

TEST(BaseObject, StreamHeadClearsSelectionAndAddsTheOrigin)
{
    TFileContext ctx;
    ctx.OriginX = 1000;
    ctx.OriginY = -20;
    ctx.CurrentSheetID = 42;
    const std::string head = I32(7) + I32(-3) + I32(0x12345678) + I32(5) + I32(6);
    TMemoryStream in(head);
    in.SetContext(ctx);
    TAnchorObject o(in, nullptr);
    EXPECT_EQ(o.Flags(), 133u) << "7 loses bit 2, the loader adds 128";
    EXPECT_EQ(o.Code, -3);
    EXPECT_EQ(o.Attribute, 0x12345678);
    EXPECT_EQ(o.X, 1005);
    EXPECT_EQ(o.Y, -14);
    EXPECT_EQ(o.SheetID, 42);
    EXPECT_EQ(o.RefCount, 0);

    TMemoryStream out;
    out.SetContext(ctx);
    o.Store(out);
    EXPECT_TRUE(SameBytes(out.Bytes(), I32(133) + I32(-3) + I32(0x12345678) + I32(5) + I32(6)));
    EXPECT_TRUE(EveryTruncationFails(head, [&](const std::string& b) {
        TMemoryStream m(b);
        TAnchorObject x(m, nullptr);
    }));
}

TEST(BaseObject, StreamAnchorsWrapAsStoredSoTheyReadBackUnchanged)
{
    TFileContext ctx;
    ctx.OriginX = 2'000'000'000;
    TMemoryStream in(I32(0) + I32(0) + I32(0) + I32(2'000'000'000) + I32(0));
    in.SetContext(ctx);
    TAnchorObject o(in, nullptr);
    TMemoryStream out;
    out.SetContext(ctx);
    o.Store(out);
    EXPECT_TRUE(SameBytes(out.Bytes().substr(12, 4), I32(2'000'000'000)));
}

TEST(BaseObject, FilerHeadSignExtendsTheFlagsByte)
{
    TFileContext ctx;
    ctx.CurrentSheetID = 9;
    struct Case {
        uint8_t Stored;
        uint32_t Flags;  // before the loader adds 128
    } cases[] = {{0x83, 0x381}, {0x07, 0x05}, {0x02, 0x00}, {0x7F, 0x7D}, {0xFF, 0x3FD}};
    for (const Case& c : cases) {
        TMemoryStream m(Bytes({c.Stored, 0xFE, 0xFF, 0x34, 0x12}));
        m.SetContext(ctx);
        TReader r(m);
        TAnchorObject o(r);
        EXPECT_EQ(o.Flags(), c.Flags | 128) << int(c.Stored);
        EXPECT_EQ(o.Code, -2);
        EXPECT_EQ(o.Attribute, 0x1234);
        EXPECT_EQ(o.SheetID, 9);
    }
}

TEST(BaseObject, FilerHeadWritesLowByteAndRefusesCodesItCannotHold)
{
    TAnchorObject o;
    o.SetFlags(0x4183);
    o.Code = -2;
    o.Attribute = 32767;
    TMemoryStream m;
    TWriter w(m);
    o.WriteFiler(w);
    EXPECT_TRUE(SameBytes(m.Bytes(), Bytes({0x83, 0xFE, 0xFF, 0xFF, 0x7F})));

    for (auto [code, attribute] : {std::pair{40000, 0}, std::pair{-32769, 0}, std::pair{0, 65535}}) {
        o.Code = code;
        o.Attribute = attribute;
        TMemoryStream refused;
        TWriter wr(refused);
        EXPECT_THROW(o.WriteFiler(wr), EWriteError) << code << " " << attribute;
        EXPECT_EQ(refused.Size(), 0) << "nothing written before the refusal";
    }
}

TEST(BaseObject, FilerCoordinatesRoundHalvesToEven)
{
    TFileContext ctx;  // FilerScale 1, origin 0, YBase 0
    TPoint p;
    ASSERT_TRUE(FilerToWorld(ctx, 2, 3, p));
    EXPECT_EQ(p, (TPoint{2000, -3000}));
    int16_t x16 = 0, y16 = 0;
    ASSERT_TRUE(WorldToFiler(ctx, 2000, -3000, x16, y16));
    EXPECT_EQ(x16, 2);
    EXPECT_EQ(y16, 3);

    struct Case {
        int32_t X;
        int16_t X16;
    } cases[] = {{2500, 2}, {3500, 4}, {-2500, -2}, {1499, 1}, {1501, 2}, {32767000, 32767}, {-32768000, -32768}};
    for (const Case& c : cases) {
        ASSERT_TRUE(WorldToFiler(ctx, c.X, 0, x16, y16)) << c.X;
        EXPECT_EQ(x16, c.X16) << c.X;
    }
    EXPECT_FALSE(WorldToFiler(ctx, 32767501, 0, x16, y16)) << "beyond 16 bits";
    EXPECT_FALSE(WorldToFiler(ctx, 0, 40000000, x16, y16));

    ctx.FilerScale = 0.5;
    ctx.OriginX = 10;
    ctx.OriginY = -4;
    ctx.YBase = 100;
    ASSERT_TRUE(FilerToWorld(ctx, 3, 90, p));
    EXPECT_EQ(p, (TPoint{11500, 1000})) << "x (3*0.5+10)*1000, y ((100-90)*0.5-4)*1000";
    ASSERT_TRUE(WorldToFiler(ctx, 11500, 1000, x16, y16));
    EXPECT_EQ(x16, 3);
    EXPECT_EQ(y16, 90);

    ctx.FilerScale = 0;
    EXPECT_FALSE(WorldToFiler(ctx, 0, 0, x16, y16)) << "no division by a zero scale";
    ctx.FilerScale = 1e9;
    EXPECT_FALSE(FilerToWorld(ctx, 3, 0, p)) << "beyond 32 bits";
}

// Every stored value of sheets whose scales put world points on halves, or
// a hair beside them, reads as the formula in long double rounds it.
TEST(BaseObject, FilerCoordinatesMatchTheFormulaForEveryStoredValue)
{
    struct Case {
        double Scale;
        int32_t Origin, YBase;
    } cases[] = {{0.0005, 0, 0},          {0.0015, -7, 3},          {0.1, 123456, -32768},
                 {0.3, -2000000, 32767},  {0.0005000000000001, 5, 0}, {0.00049999999999999, -5, 0},
                 {1.0 / 3.0, 77, 1},      {65.5, 1000, 0},          {0.0625, 2147, -1}};
    for (const Case& c : cases) {
        TFileContext ctx;
        ctx.FilerScale = c.Scale;
        ctx.OriginX = ctx.OriginY = c.Origin;
        ctx.YBase = c.YBase;
        for (int32_t v = -32768; v <= 32767; ++v) {
            const auto v16 = static_cast<int16_t>(v);
            const long double x = (v16 * static_cast<long double>(c.Scale) + c.Origin) * 1000.0L;
            const long double y = ((static_cast<long double>(c.YBase) - v16) * c.Scale + c.Origin) * 1000.0L;
            const long double rx = std::nearbyintl(x), ry = std::nearbyintl(y);
            auto in32 = [](long double r) { return r >= -2147483648.0L && r <= 2147483647.0L; };
            const bool fits = in32(rx) && in32(ry);
            TPoint p;
            ASSERT_EQ(FilerToWorld(ctx, v16, v16, p), fits) << c.Scale << " " << v;
            if (fits) {
                ASSERT_EQ(p, (TPoint{int32_t(rx), int32_t(ry)})) << c.Scale << " " << c.Origin << " " << v;
            }
        }
    }
}

TEST(BaseObject, AnchorInViewIncludesTheBorderAndSetsViewRect)
{
    TAnchorObject o;
    TDrawContext c;
    c.WorldRect = {0, 100, 200, 0};
    struct Case {
        int32_t X, Y;
        bool In;
    } cases[] = {{0, 0, true},     {200, 100, true}, {100, 50, true},  {-1, 50, false},
                 {201, 50, false}, {100, 101, false}, {100, -1, false}};
    for (const Case& k : cases) {
        o.X = k.X;
        o.Y = k.Y;
        SetViewRect({});
        EXPECT_EQ(o.InView(c), k.In) << k.X << "," << k.Y;
        EXPECT_EQ(ViewRect(), c.WorldRect);
    }
    o.X = 300;
    o.Y = 300;
    EXPECT_TRUE(o.InRect(c, {250, 400, 400, 250}));
    EXPECT_FALSE(o.InRect(c, {0, 100, 200, 0}));
    EXPECT_EQ(o.Flags(), 0u) << "the base view test leaves the flags alone";
}

TEST(BaseObject, OwnerDrawGoesToTheHookOnlyWhenThereIsOne)
{
    TAnchorObject o;
    o.SetFlags(ObjFlagOwnerDraw);
    TDrawContext c;
    EXPECT_NO_THROW(o.Draw(c)) << "no model at all";
    TRecordingModel model;
    model.Hook = false;
    c.Model = &model;
    o.Draw(c);
    EXPECT_TRUE(model.Calls.empty());
    model.Hook = true;
    TOwnerDrawRec rec;
    o.DrawByOwner(c, &rec);
    ASSERT_EQ(model.Calls.size(), 1u);
    EXPECT_EQ(model.Calls[0], (std::vector<intptr_t>{22, 0, 0, reinterpret_cast<intptr_t>(&rec)}));
}

TEST(BaseObject, CloneCopiesTheHead)
{
    TAnchorObject o;
    o.SetFlags(0x85);
    o.X = 1;
    o.Y = 2;
    o.Code = 3;
    o.Attribute = 4;
    o.SheetID = 5;
    o.RefCount = 7;
    std::unique_ptr<TBaseObject> c = o.Clone();
    ASSERT_NE(dynamic_cast<TAnchorObject*>(c.get()), nullptr);
    EXPECT_EQ(c->Flags(), 0x85u);
    EXPECT_EQ((std::vector<int32_t>{c->X, c->Y, c->Code, c->Attribute, c->SheetID}),
              (std::vector<int32_t>{1, 2, 3, 4, 5}));
    EXPECT_EQ(c->RefCount, 0) << "a copy starts with no references and no owner";
}
