// The model's core: flags by change code, the hook chains, view state,
// saving when the structure changed.
#include "ModelSupport.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

namespace tarn::test {
namespace {

TEST(ModelNotify, SetsTheFlagsOfEachCode)
{
    struct TCase {
        int32_t Code;
        bool Modified, Structure, Redraw;
    };
    const TCase cases[] = {
        {2, false, true, true},   {3, false, true, true},   {4, true, false, true},   {5, true, false, true},
        {6, true, false, false},  {7, true, false, false},  {8, false, false, true},  {10, true, false, false},
        {11, false, false, true}, {12, false, false, true}, {13, true, false, true},  {14, false, false, false},
        {15, true, false, false}, {17, false, false, false}, {18, false, false, true}, {19, false, false, true},
        {20, false, false, true}, {21, false, false, false}, {22, false, false, false},
    };
    for (const TCase& c : cases) {
        TModel m;
        TView v;
        m.AttachView(v);
        m.NeedsRedraw = 0;
        v.NeedsRedraw = false;
        EXPECT_EQ(m.Notify(c.Code), 0);
        EXPECT_EQ(m.Modified != 0, c.Modified) << "code " << c.Code;
        EXPECT_EQ(m.StructureChanged != 0, c.Structure) << "code " << c.Code;
        EXPECT_EQ(m.NeedsRedraw != 0, c.Redraw) << "code " << c.Code;
        EXPECT_EQ(v.NeedsRedraw, c.Redraw) << "code " << c.Code << ": every view's picture goes stale";
    }
}

TEST(ModelNotify, AThrowingHookIsContainedAndTheChangeStays)
{
    TModel m;
    bool later = false;
    THookToken below = m.OnNotify.Install([&](const auto&, const TNotifyArgs&) { later = true; });
    THookToken top = m.OnNotify.Install([](const auto&, const TNotifyArgs&) { throw std::runtime_error("hook failed"); });
    EXPECT_EQ(m.Notify(4), 0);
    EXPECT_EQ(m.Modified, 1);
    EXPECT_EQ(m.LastHookError, "hook failed");
    EXPECT_FALSE(later) << "a handler that throws passes nothing on";
}

TEST(ModelNotify, ArgumentsArriveTypedByCode)
{
    TModel m;
    TView v;
    TObjectKey key = Key(1, 2);
    int32_t answer = 0;
    std::vector<TNotifyArgs> seen;
    THookToken t = m.OnNotify.Install([&](const auto&, const TNotifyArgs& a) {
        seen.push_back(a);
        if (int32_t* ans = a.Answer()) *ans = 1;
    });
    m.Notify(20, -1, reinterpret_cast<intptr_t>(&v), 0);
    m.Notify(12, 0, 0, reinterpret_cast<intptr_t>(&v));
    m.Notify(2, 3, reinterpret_cast<intptr_t>(&key), 0);
    m.Notify(17, 0, reinterpret_cast<intptr_t>(&answer), 0);
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[0].View(), &v);
    EXPECT_EQ(seen[1].View(), &v);
    EXPECT_EQ(seen[2].Key(), &key);
    EXPECT_EQ(seen[2].View(), nullptr);
    EXPECT_EQ(seen[2].Answer(), nullptr);
    EXPECT_EQ(answer, 1);
}

TEST(ModelHooks, LastInstalledRunsFirstAndDecidesWhetherToPassOn)
{
    TModel m;
    TView v;
    std::vector<int> order;
    THookToken a = m.OnMouseDown.Install([&](const auto& next, TView& view, TMouseButton b, uint32_t s, int32_t x, int32_t y) {
        order.push_back(1);
        next(view, b, s, x, y);
    });
    bool swallow = false;
    THookToken b = m.OnMouseDown.Install([&](const auto& next, TView& view, TMouseButton btn, uint32_t s, int32_t x, int32_t y) {
        order.push_back(2);
        EXPECT_EQ(x, 10);
        EXPECT_EQ(btn, TMouseButton::Right);
        if (!swallow) next(view, btn, s, x, y);
    });
    m.RightMouseDown(v, 0, 10, 20);
    EXPECT_EQ(order, (std::vector<int>{2, 1}));
    order.clear();
    swallow = true;
    m.RightMouseDown(v, 0, 10, 20);
    EXPECT_EQ(order, (std::vector<int>{2}));
}

TEST(ModelHooks, RemovalByTokenInAnyOrderKeepsTheOthersChained)
{
    TModel m;
    TView v;
    std::vector<int> order;
    auto install = [&](int n) {
        return m.OnMouseMove.Install([&order, n](const auto& next, TView& view, uint32_t s, int32_t x, int32_t y) {
            order.push_back(n);
            next(view, s, x, y);
        });
    };
    THookToken t1 = install(1), t2 = install(2), t3 = install(3);
    t2.Reset();  // the middle one first, then the bottom one
    m.MouseMove(v, 0, 0, 0);
    EXPECT_EQ(order, (std::vector<int>{3, 1}));
    order.clear();
    t1.Reset();
    m.MouseMove(v, 0, 0, 0);
    EXPECT_EQ(order, (std::vector<int>{3}));
    t3.Reset();
    EXPECT_FALSE(m.OnMouseMove.Assigned());
}

TEST(ModelHooks, ATokenOutlivingItsModelIsHarmless)
{
    THookToken token;
    {
        TModel m;
        token = m.OnNotify.Install([](const auto&, const TNotifyArgs&) {});
        EXPECT_TRUE(token.Installed());
    }
    EXPECT_FALSE(token.Installed());
    token.Reset();
}

TEST(ModelHooks, AHandlerRemovedDuringAnEventIsNotCalledByIt)
{
    TModel m;
    TView v;
    THookToken bottom;
    bool bottomRan = false;
    bottom = m.OnMouseUp.Install([&](const auto&, TView&, TMouseButton, uint32_t, int32_t, int32_t) { bottomRan = true; });
    THookToken top = m.OnMouseUp.Install([&](const auto& next, TView& view, TMouseButton b, uint32_t s, int32_t x, int32_t y) {
        bottom.Reset();
        next(view, b, s, x, y);
    });
    m.LeftMouseUp(v, 0, 0, 0);
    EXPECT_FALSE(bottomRan);
}

TEST(ModelViews, ANewViewHasNoScaleYet)
{
    TWindowSurface s(100, 50);
    s.SetMmPerPixel(0.3);
    TView v(&s);
    EXPECT_EQ(v.Scale, 0.0);
    EXPECT_EQ(v.PrevScale, -1.0);
    EXPECT_DOUBLE_EQ(v.MmPerPixel, 0.3);
    EXPECT_EQ(v.ClientRect, (TRect{0, 0, 100, 50}));
    TView none;
    EXPECT_EQ(none.MmPerPixel, 1.0);
}

TEST(ModelViews, StateIsFoundByWindowAndTheWholeClientRectangle)
{
    TOpenCity c;
    TView probe(&c.Surface);
    probe.ClientRect = c.View->ClientRect;
    EXPECT_EQ(c.Model->GetViewState(probe), 0);
    EXPECT_EQ(probe.Map, c.View->Map);
    EXPECT_EQ(probe.Scale, c.View->Scale);
    for (int side = 0; side < 4; ++side) {
        TView other(&c.Surface);
        other.ClientRect = c.View->ClientRect;
        int32_t* f[] = {&other.ClientRect.Left, &other.ClientRect.Top, &other.ClientRect.Right, &other.ClientRect.Bottom};
        *f[side] += 1;
        EXPECT_EQ(c.Model->GetViewState(other), ResultNoData) << "side " << side;
        EXPECT_EQ(c.Model->SetViewState(other), ResultNoData) << "side " << side;
    }
}

TEST(ModelViews, SetViewStateTakesTheModeRecomputesAndClamps)
{
    TOpenCity c;
    int codes20 = 0, codes19 = 0;
    THookToken t = c.Model->OnNotify.Install([&](const auto&, const TNotifyArgs& a) {
        codes20 += a.Code == 20;
        codes19 += a.Code == 19;
    });
    TView probe(&c.Surface);
    probe.ViewMode = ModeSelect;
    probe.Scale = 1000;
    probe.WorldRect = TRect{900000, 100000, 0, 0};
    EXPECT_EQ(c.Model->SetViewState(probe), 0);
    EXPECT_EQ(c.View->ViewMode, ModeSelect);
    EXPECT_EQ(probe.WorldRect, (TRect{800000, 200000, 1000000, 0})) << "200 pixels x 1000 held inside the extent";
    EXPECT_EQ(codes19, 1);
    EXPECT_EQ(codes20, 1);
    TModel empty;
    TView v;
    empty.AttachView(v);
    EXPECT_EQ(empty.SetViewState(v), ResultNoData) << "no project";
}

TEST(ModelViews, AViewThatGoesFirstLeavesTheRegistry)
{
    TModel m;
    auto v = std::make_unique<TView>();
    m.AttachView(*v);
    v.reset();
    EXPECT_TRUE(m.Views.empty());
    TView w;
    {
        TModel gone;
        gone.AttachView(w);
    }
    EXPECT_EQ(w.Model, nullptr);
}

// ---------------------------------------------------------------- saving when changed

struct TSaveCase {
    const char* Name;
    int Hook;  // 0 none, 1 answers 0, 2 answers 1, 3 throws
    bool Saved;
};

class SaveIfModified : public ::testing::TestWithParam<TSaveCase> {};

TEST_P(SaveIfModified, SavesOnlyWhenTheHookAnswersOne)
{
    const TSaveCase& p = GetParam();
    TOpenCity c;
    std::string before = ReadFileBytes(c.City.Prj);
    TKeyList none;
    TObjectKey k = Key(SignsId, 5);
    ASSERT_EQ(c.Model->CreateObject(c.View.get(), 2, k, nullptr, 0), 0);
    ASSERT_EQ(c.Model->StructureChanged, 1);
    THookToken t;
    if (p.Hook)
        t = c.Model->OnNotify.Install([&](const auto&, const TNotifyArgs& a) {
            if (a.Code != 17) return;
            if (p.Hook == 3) throw std::runtime_error("no answer");
            *a.Answer() = p.Hook == 2 ? 1 : 0;
        });
    EXPECT_EQ(c.Model->SaveIfModified(false), p.Saved ? 0 : ResultNoData);
    std::string sheet = ReadFileBytes(c.City.Map);
    TModel check;
    check.ProgramDir = c.City.Dir.Path();
    TView v(&c.Surface);
    v.Scale = 5000;
    check.AttachView(v);
    check.OpenFile(c.City.Prj);
    std::vector<uint8_t> header;
    int32_t found = check.GetObjectData(&v, 1, k, header);
    EXPECT_EQ(found, p.Saved ? ResultNoObject : 0) << "the deleted sign is gone from the file only when saved";
    if (!p.Saved) {
        EXPECT_TRUE(SameBytes(ReadFileBytes(c.City.Prj), before));
    }
    EXPECT_EQ(c.Model->StructureChanged, p.Saved ? 0 : 1);
}

INSTANTIATE_TEST_SUITE_P(Model, SaveIfModified,
                         ::testing::Values(TSaveCase{"NoHook", 0, false}, TSaveCase{"AnswerZero", 1, false},
                                           TSaveCase{"AnswerOne", 2, true}, TSaveCase{"Throws", 3, false}),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(SaveIfModifiedOnClose, DestroyingAChangedModelWithoutAHookSavesNothing)
{
    TSampleCity city;
    std::string prj = ReadFileBytes(city.Prj), map = ReadFileBytes(city.Map);
    {
        TOpenCity c(city.Prj);
        c.Model->Notify(2);
    }
    EXPECT_TRUE(SameBytes(ReadFileBytes(city.Prj), prj));
    EXPECT_TRUE(SameBytes(ReadFileBytes(city.Map), map));
}

TEST(SaveIfModifiedOnClose, NothingToDoWithoutAChangeOrAFileName)
{
    TModel m;
    int asked = 0;
    THookToken t = m.OnNotify.Install([&](const auto&, const TNotifyArgs& a) { asked += a.Code == 17; });
    m.StructureChanged = 1;
    EXPECT_EQ(m.SaveIfModified(false), ResultNoData) << "no file name";
    EXPECT_EQ(m.SaveIfModified(true), ResultNoData) << "forcing does not make a file name";
    EXPECT_EQ(asked, 0);
}

} // namespace
} // namespace tarn::test
