// A marking passes over objects and runs of objects far from the view; it
// must leave every in-view flag as asking every object does, whatever
// happened between two markings: flags set behind its back, objects moved
// (their layer told), added, removed, views anywhere and of any size.
#include "TestSupport.h"
#include "data/LayerDraw.h"
#include "data/LayerWalk.h"
#include "data/MapObj.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>

namespace tarn::test {
namespace {

TLayer* NewLayer(TMap& map, const char* name, int16_t kind, int32_t fontHeight = 0)
{
    auto* l = new TLayer;
    l->Name = name;
    l->Kind = kind;
    l->TextFont.Height = fontHeight;
    map.Insert(l);
    return l;
}

// Objects over 100 000 x 100 000 world units, some large; from left to
// right as a sheet's objects often lie (so that runs of them lie together),
// or anywhere.
std::unique_ptr<TBaseObject> RandomObject(std::mt19937& rng, int16_t kind, int32_t left = -1)
{
    std::uniform_int_distribution<int32_t> at(-5000, 105000), size(1, 3000);
    const int32_t x = left >= 0 ? left + int32_t(rng() % 500) : at(rng), y = at(rng);
    const int32_t w = rng() % 20 == 0 ? 60000 : size(rng), h = size(rng);
    std::unique_ptr<TBaseObject> o;
    if (IsLineKind(kind) || IsPolygonKind(kind)) {
        auto p = IsLineKind(kind) ? std::make_unique<TPolyLine>() : std::make_unique<TPolygon>();
        p->Points = {{x, y}, {x + w, y}, {x + w, y + h}, {x, y + h}};
        o = std::move(p);
    } else if (IsTextKind(kind)) {
        auto t = std::make_unique<TText>();
        t->Text = std::string(1 + rng() % 12, 'x');
        t->Angle = int32_t(rng() % 360);
        o = std::move(t);
    } else {
        o = std::make_unique<TSign>();
    }
    o->X = x;
    o->Y = y;
    o->Code = int32_t(rng() % 30000);
    return o;
}

struct TTwin {
    TMap Map;
    std::vector<TLayer*> Layers;
    TTwin()
    {
        Layers = {NewLayer(Map, "lines", LayerKindLine), NewLayer(Map, "areas", LayerKindPolygon),
                  NewLayer(Map, "labels", LayerKindText, 40), NewLayer(Map, "signs", LayerKindSign)};
    }
};

std::vector<uint32_t> FlagsOf(const TTwin& t)
{
    std::vector<uint32_t> flags;
    for (const TLayer* l : t.Layers)
        for (int32_t i = 0; i < l->Count; ++i) flags.push_back(l->Object(i)->Flags());
    return flags;
}

TEST(Marking, PassingOverFarObjectsLeavesTheFlagsOfAskingEveryOne)
{
    std::mt19937 rng(11);
    TTwin quick, full;  // the same objects; full forgets its entries before each marking
    for (int n = 0; n < 1500; ++n)
        for (std::size_t l = 0; l < quick.Layers.size(); ++l) {
            std::mt19937 twin = rng;
            quick.Layers[l]->Insert(RandomObject(rng, quick.Layers[l]->Kind, n * 66).release());
            full.Layers[l]->Insert(RandomObject(twin, full.Layers[l]->Kind, n * 66).release());
        }
    std::uniform_int_distribution<int32_t> at(-20000, 110000), side(10, 40000);
    for (int step = 0; step < 200; ++step) {
        SCOPED_TRACE("step " + std::to_string(step));
        // What may happen between two markings, to both maps alike.
        const std::size_t l = rng() % quick.Layers.size();
        TLayer& q = *quick.Layers[l];
        TLayer& f = *full.Layers[l];
        const int32_t i = int32_t(rng() % uint32_t(q.Count));
        switch (step % 5) {
        case 1:  // a flag set behind the marking's back
            q.Object(i)->SetFlags(q.Object(i)->Flags() | ObjFlagInView);
            f.Object(i)->SetFlags(f.Object(i)->Flags() | ObjFlagInView);
            break;
        case 2:  // moved in place, the layer told
            for (TLayer* layer : {&q, &f}) {
                TBaseObject* o = layer->Object(i);
                o->X += 30000;
                if (auto* p = dynamic_cast<TPolyLine*>(o))
                    for (TPoint& pt : p->Points) pt.X += 30000;
                layer->InvalidateHitIndex();
            }
            break;
        case 3: {  // one more, somewhere
            std::mt19937 twin = rng;
            q.InsertAt(i, RandomObject(rng, q.Kind).release());
            f.InsertAt(i, RandomObject(twin, f.Kind).release());
            break;
        }
        case 4:  // one fewer
            q.FreeAt(i);
            f.FreeAt(i);
            break;
        default:
            break;
        }
        TDrawContext c;
        c.Scale = 10;
        const int32_t x = at(rng), y = at(rng), w = side(rng), h = side(rng);
        c.WorldRect = {x, y + h, x + w, y};
        for (TLayer* layer : full.Layers) layer->InvalidateHitIndex();
        MarkObjectsInView(quick.Map, c);
        MarkObjectsInView(full.Map, c);
        ASSERT_EQ(FlagsOf(quick), FlagsOf(full));
    }
}

} // namespace
} // namespace tarn::test
