#include "LayerDraw.h"
#include "Errors.h"
#include "LayerWalk.h"
#include "LoadDLL.h"
#include "Utils.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <typeinfo>
#include <limits>
#include <vector>

namespace tarn {

namespace {

// The device context's state as a layer pass found it, put back when the
// pass ends however it ends.
class TDcState {
public:
    explicit TDcState(TDeviceContext& dc)
        : Dc(dc), Pen(dc.Pen()), Brush(dc.Brush()), Font(dc.Font()), BkMode(dc.GetBkMode()),
          BkColor(dc.GetBkColor()), TextColor(dc.GetTextColor()), TextAlign(dc.GetTextAlign()), Rop2(dc.GetROP2())
    {
    }
    ~TDcState()
    {
        Dc.SelectPen(Pen);
        Dc.SelectBrush(Brush);
        Dc.SelectFont(Font);
        Dc.SetBkMode(BkMode);
        Dc.SetBkColor(BkColor);
        Dc.SetTextColor(TextColor);
        Dc.SetTextAlign(TextAlign);
        Dc.SetROP2(Rop2);
    }
    TDcState(const TDcState&) = delete;
    TDcState& operator=(const TDcState&) = delete;

private:
    TDeviceContext& Dc;
    TGdiRef<TPen> Pen;
    TGdiRef<TBrush> Brush;
    TGdiRef<TFont> Font;
    int32_t BkMode;
    TColorRef BkColor;
    TColorRef TextColor;
    uint32_t TextAlign;
    int32_t Rop2;
};

// Styles the drawing layer does not know draw solid.
int32_t KnownPenStyle(int32_t style) { return style >= TGDI_PS_SOLID && style <= TGDI_PS_INSIDEFRAME ? style : TGDI_PS_SOLID; }

TGdiRef<TBrush> LayerBrush(int32_t style, TColorRef colour)
{
    if (style >= TGDI_HS_HORIZONTAL && style <= TGDI_HS_DIAGCROSS) return TBrush::CreateHatch(style, colour);
    return TBrush::CreateSolid(colour);
}

int32_t PixelWidth(int32_t tenths, double sizeScale, const char* what)
{
    return std::max(0, CheckedRound(tenths / 10.0L * sizeScale, what));
}

TColorRef Colour(int32_t c) { return static_cast<TColorRef>(c); }

bool DrawnAtScale(const TCustomLayer& layer, int64_t denominator, uint32_t contextFlags)
{
    if (layer.ScaleLimit >= denominator) return true;
    return (contextFlags & DrawFlagAllScales) && (IsLineKind(layer.Kind) || IsPolygonKind(layer.Kind));
}

int64_t Denominator(const TDrawContext& c)
{
    long double n = static_cast<long double>(c.Scale) / c.MmPerPixel;
    if (!(c.MmPerPixel > 0) || !std::isfinite(n) || std::fabs(n) > 9.0e18L)
        return std::numeric_limits<int64_t>::max();
    return RoundEven(n);
}

// The objects a marking found in view: indices into the layer's list.
struct TInView {
    const int32_t* First = nullptr;
    const int32_t* Last = nullptr;
    int32_t Count = -1;  // the layer's count when marked; -1: not marked here
};

// The objects of a layer lie all over the heap, their outlines elsewhere
// again: a marking that waits for each in turn spends most of its time
// waiting. Objects are asked for well ahead, and the outlines of those a
// little ahead (by then the object itself is at hand).
constexpr int32_t ObjectsAhead = 16, OutlinesAhead = 8, PixelsAhead = 4;

void DrawObjects(const TCustomLayer& layer, const TDrawContext& c, const TBaseObject* only, const TInView& marked)
{
    if (!only) {
        auto draw = [&c](const TBaseObject* o) {
            const uint32_t f = o->Flags();
            if ((f & ObjFlagInView) && !(f & (ObjFlagHidden | ObjFlagTemporary))) o->Draw(c);
        };
        if (marked.Count == layer.Count) {
            // Only what the marking found in view: the rest has its in-view flag clear.
            // The screen under each object a few objects ahead is asked for
            // early (around its anchor, as far as a sign reaches).
            const double perPixel = 1.0 / c.Scale;
            const int32_t half = std::clamp(c.SymbolSize / 2, 1, 16);
            const bool ahead = c.DC && std::isfinite(perPixel) && marked.Last - marked.First > PixelsAhead;
            for (const int32_t* i = marked.First; i != marked.Last && !(c.Flags & DrawFlagStop); ++i) {
                if (ahead && marked.Last - i > PixelsAhead) {
                    const TBaseObject* next = layer.Object(i[PixelsAhead]);
                    const double x = c.ClientRect.Left + (double(next->X) - c.WorldRect.Left) * perPixel;
                    const double y = c.ClientRect.Top + (double(c.WorldRect.Top) - next->Y) * perPixel;
                    if (x > -1 && x < 65536 && y > -65536 && y < 65536) c.DC->Prefetch(int32_t(x), int32_t(y), half);
                }
                draw(layer.Object(*i));
            }
        } else {
            for (int32_t i = 0; i < layer.Count && !(c.Flags & DrawFlagStop); ++i) draw(layer.Object(i));
        }
        return;
    }
    if (only->Attribute == 0) {
        only->Draw(c);
        return;
    }
    for (int32_t i = 0; i < layer.Count; ++i) {
        const TBaseObject* o = layer.Object(i);
        const uint32_t f = o->Flags();
        if (o->Attribute == only->Attribute && (f & ObjFlagInView) && !(f & ObjFlagTemporary)) o->Draw(c);
    }
}

void Pass(const TCustomLayer& layer, TDrawContext c, const TBaseObject* only, const TInView& marked);

void PrefetchObject(const TBaseObject* o)
{
    __builtin_prefetch(o);
    __builtin_prefetch(reinterpret_cast<const char*>(o) + 64);
}

void PrefetchOutline(const TBaseObject* o)
{
    const std::type_info* type = &typeid(*o);  // the exact classes, by address: no name comparisons
    if (type == &typeid(TPolygon) || type == &typeid(TPolyLine) || type == &typeid(TPolygonEx) ||
        type == &typeid(TPolyLineEx))
        __builtin_prefetch(static_cast<const TPolyLine*>(o)->Points.data());
}

// Marks the objects of the layers, last layer first; with marked, keeps
// for each layer the indices of the objects in view, in list order.
void Mark(const std::vector<TCustomLayer*>& layers, TDrawContext context, std::vector<int32_t>* indices,
          std::vector<TInView>* marked)
{
    SetViewRect(context.WorldRect);
    if (marked) {
        std::size_t total = 0;
        for (const TCustomLayer* l : layers) total += static_cast<std::size_t>(l->Count);
        indices->clear();
        indices->reserve(total);
        marked->assign(layers.size(), TInView{});
    }
    std::vector<std::size_t> begins(marked ? layers.size() : 0);
    const TMarkingFlags own;
    const uint64_t flagSets = InViewFlagSets();
    std::vector<int32_t> visit;
    std::vector<uint8_t> ask;
    std::vector<std::size_t> touched;
    for (std::size_t k = layers.size(); k-- > 0;) {
        const TCustomLayer& layer = *layers[k];
        TLogFont font = layer.TextFont;
        context.TextFont = IsTextKind(layer.Kind) ? &font : nullptr;
        if (marked) begins[k] = indices->size();
        // The searches' entries of what is in view, and of what is new, are
        // made again while the objects are at hand.
        layer.HitObjects.resize(static_cast<std::size_t>(layer.Count), nullptr);
        layer.HitIndex.resize(static_cast<std::size_t>(layer.Count));
        // An object whose entry is its own and lies apart from the view is
        // not asked: at a city's detail most of a layer is far away. Its
        // in-view flag is cleared, and not even looked at when no flag was
        // set since the last marking left it clear.
        const bool flagsKnown = layer.HitFlagSets == flagSets && layer.HitFlagged.size() == layer.HitObjects.size();
        layer.HitFlagged.resize(static_cast<std::size_t>(layer.Count), 1);
        const int32_t fontHeight = context.TextFont ? context.TextFont->Height : 0;
        const TRect view = context.WorldRect;
        // First from the entries alone, which lie together (and from their
        // sums, run by run): the objects to ask (ask) and those only to
        // clear (the rest of visit).
        visit.clear();
        ask.clear();
        constexpr std::size_t BlockSize = TCustomLayer::HitBlockSize;
        const std::size_t count = static_cast<std::size_t>(layer.Count);
        layer.HitBlocks.resize((count + BlockSize - 1) / BlockSize);
        for (std::size_t b = 0; b < layer.HitBlocks.size(); ++b) {
            const std::size_t begin = b * BlockSize, end = std::min(begin + BlockSize, count);
            const TCustomLayer::THitBlock& sum = layer.HitBlocks[b];
            if (flagsKnown && !sum.Flagged && BlockOutsideView(sum, view, fontHeight) &&
                std::memcmp(layer.HitObjects.data() + begin, layer.Items.data() + begin,
                            (end - begin) * sizeof(TAbstractItem*)) == 0)
                continue;
            for (std::size_t k = begin; k < end; ++k) {
                const bool away =
                    layer.HitObjects[k] == layer.Items[k] && OutsideView(layer.HitIndex[k], view, fontHeight);
                if (away && flagsKnown && !layer.HitFlagged[k]) continue;
                visit.push_back(int32_t(k));
                ask.push_back(!away);
            }
            touched.push_back(b);
        }
        const std::size_t n = visit.size();
        for (std::size_t v = 0; v < n; ++v) {
            if (v + ObjectsAhead < n) PrefetchObject(layer.Object(visit[v + ObjectsAhead]));
            if (v + OutlinesAhead < n && ask[v + OutlinesAhead]) PrefetchOutline(layer.Object(visit[v + OutlinesAhead]));
            const int32_t i = visit[v];
            const std::size_t k = static_cast<std::size_t>(i);
            TBaseObject* o = layer.Object(i);
            const bool in = ask[v] && o->InView(context);
            const uint32_t f = o->Flags();
            const uint32_t flagged = in ? (f | ObjFlagInView) : (f & ~ObjFlagInView);
            if (flagged != f) o->SetFlags(flagged);
            layer.HitFlagged[k] = in;
            if (in && marked) indices->push_back(i);
            if (in || layer.HitObjects[k] != o) {
                layer.HitObjects[k] = o;
                layer.HitIndex[k] = HitEntryOf(o);
            }
        }
        // The runs looked at are summed again; the others did not change.
        for (std::size_t b : touched) SumHitBlock(layer, b);
        touched.clear();
        layer.HitView = context.WorldRect;
        layer.HitViewMarked = true;
        if (marked) (*marked)[k].Count = layer.Count;
    }
    // Every flag of these layers now stands as HitFlagged says.
    const uint64_t after = InViewFlagSets();
    for (TCustomLayer* layer : layers) layer->HitFlagSets = after;
    if (marked)
        for (std::size_t k = 0; k < layers.size(); ++k) {
            const std::size_t end = k == 0 ? indices->size() : begins[k - 1];
            (*marked)[k].First = indices->data() + begins[k];
            (*marked)[k].Last = indices->data() + end;
        }
}

void Pass(const TCustomLayer& layer, TDrawContext c, const TBaseObject* only, const TInView& marked)
{
    if ((c.Flags & DrawFlagStop) || !c.DC) return;
    if (!(c.Scale > 0) || !std::isfinite(c.Scale)) return;
    TDeviceContext& dc = *c.DC;
    TDcState state(dc);

    const int kind = layer.Kind;
    c.SizeScale = 1000.0 / c.Scale;
    c.LayerColour = layer.Colour;
    dc.SetBkMode(TGDI_TRANSPARENT);
    c.OwnAttributes = (layer.Flags & LayerFlagOwnAttributes) ? 1 : 0;
    c.ShowLabels = (layer.Flags & LayerFlagShowLabels) ? 1 : 0;
    c.LayerProc = nullptr;
    c.LayerProcKind = SymbolKindNone;
    TLogFont labelFont = layer.LabelFont;  // objects get a copy, never the layer's record
    c.LabelFont = &labelFont;
    c.LabelColour = layer.LabelColour;
    c.TextFont = nullptr;
    c.FillBrush = c.SelectBrush = nullptr;
    c.SelectPen = c.LayerPen = nullptr;
    const TDynLib* library = c.LibraryLoaded ? c.Library : nullptr;

    // The pass's tools; freed when the pass ends, after the state is restored.
    TGdiRef<TPen> layerPen, selectPen;
    TGdiRef<TBrush> fillBrush, selectBrush;
    TLogFont textFont{};
    const TColorRef select = Colour(c.SelectColour);

    if (IsLineKind(kind)) c.LinePixelWidth = CheckedRound(layer.Style2 * static_cast<long double>(c.SizeScale), "line width");

    if (kind == LayerKindPolygon || (kind == LayerKindStyledPolygon && !c.OwnAttributes)) {
        if (layer.Colour2 == NoOutlineColour) layerPen = TPen::Create(TGDI_PS_NULL, 0, 0);
        else
            layerPen = TPen::Create(KnownPenStyle(layer.Style2), PixelWidth(layer.Style3, c.SizeScale, "outline width"),
                                    Colour(layer.Colour2));
        dc.SelectPen(layerPen);
        selectPen = TPen::Create(TGDI_PS_DASH, 0, select);
        if (layer.Style1 > 100) {
            c.SymbolSize = 10;
            if (library) c.LayerProc = GetFillProc(library, layer.Style1 - 100);
            if (!c.LayerProc) c.LayerProc = DefaultFillProc;
            c.LayerProcKind = SymbolKindFill;
        } else if (layer.Style1 == -2) {
            fillBrush = StockBrush(TGDI_NULL_BRUSH);
            selectBrush = TBrush::CreateSolid(select);
        } else if (layer.Style1 == -1) {
            fillBrush = TBrush::CreateSolid(Colour(layer.Colour));
            selectBrush = TBrush::CreateSolid(select);
        } else {
            fillBrush = LayerBrush(layer.Style1, Colour(layer.Colour));
            selectBrush = LayerBrush(layer.Style1, select);
        }
    } else if (kind == LayerKindStyledPolygon) {
        selectPen = TPen::Create(TGDI_PS_DASH, 0, select);
    } else if (kind == LayerKindLine || (kind == LayerKindStyledLine && !c.OwnAttributes)) {
        if (layer.Style1 > 100) {
            c.SymbolSize = 10;
            if (library) c.LayerProc = GetLineProc(library, layer.Style1 - 100);
            if (!c.LayerProc) c.LayerProc = DefaultLineProc;
            c.LayerProcKind = SymbolKindLine;
            selectPen = TPen::Create(TGDI_PS_SOLID, 0, select);
        } else {
            const int32_t style = KnownPenStyle(layer.Style1);
            const int32_t width = PixelWidth(layer.Style2, c.SizeScale, "line width");
            layerPen = TPen::Create(style, width, Colour(layer.Colour));
            selectPen = TPen::Create(style, width, select);
            dc.SelectPen(layerPen);  // each line selects it again: then a no-op
        }
    } else if (kind == LayerKindStyledLine) {
        selectPen = TPen::Create(TGDI_PS_SOLID, 0, select);
    } else if (kind == LayerKindSign || (kind == LayerKindStyledSign && !c.OwnAttributes)) {
        if (layer.Flags & LayerFlagSignMapUnits) c.Flags |= DrawFlagSignMapUnits;
        else c.Flags &= ~DrawFlagSignMapUnits;
        c.SymbolSize = SignPixelSize(layer, c);
        if (library) c.LayerProc = GetSignProc(library, layer.Style3);
        if (!c.LayerProc) c.LayerProc = DefaultSignProc;
        c.LayerProcKind = SymbolKindSign;
    } else if (kind == LayerKindStyledSign) {
        // Own attributes: the signs use their own library numbers and sizes.
    } else if (IsTextKind(kind)) {
        c.TextDC = &dc;
        selectBrush = TBrush::CreateSolid(select);
        dc.SelectBrush(selectBrush);
        dc.SetTextColor(Colour(layer.Colour));
        dc.SetTextAlign(TGDI_TA_BASELINE);
        textFont = layer.TextFont;
        textFont.Height = CheckedRound(textFont.Height * static_cast<long double>(c.SizeScale) / 10, "font height");
        c.TextFont = &textFont;
        selectBrush = nullptr;  // selected; the context keeps it alive until the state is restored
    } else if (IsBitmapKind(kind)) {
        c.SymbolSize = static_cast<int32_t>((layer.Flags & LayerFlagOpaqueBitmap) ? 0xCC0020u : 0x8800C6u);
        c.LayerColour = (layer.Flags & LayerFlagTransparentBitmap) ? 1 : 0;
    } else {
        return;  // kinds without a drawing
    }
    c.LayerPen = layerPen.get();
    c.SelectPen = selectPen.get();
    c.FillBrush = fillBrush.get();
    c.SelectBrush = selectBrush.get();
    DrawObjects(layer, c, only, marked);
}

} // namespace

void DrawLayer(const TCustomLayer& layer, TDrawContext context, const TBaseObject* only)
{
    Pass(layer, context, only, TInView{});
}

void AppendMarkedObjects(TCustomLayer& target, const TCustomLayer& source, int32_t from, int32_t to)
{
    if (from >= to) return;
    const std::size_t at = std::size_t(target.Count), n = std::size_t(to - from);
    // Sheet after sheet comes in: the list grows by half at least.
    if (at + n > std::size_t(target.Capacity))
        target.SetCapacity(int32_t(std::max<std::size_t>(at + n, std::size_t(target.Capacity) * 3 / 2)));
    std::copy(source.Items.begin() + from, source.Items.begin() + to, target.Items.begin() + std::ptrdiff_t(at));
    target.Count += int32_t(n);
    // Objects appended otherwise before these have no entries yet.
    target.HitObjects.resize(at, nullptr);
    target.HitIndex.resize(at);
    target.HitFlagged.resize(at, 1);
    const std::size_t count = std::size_t(source.Count);
    const bool entries = source.HitObjects.size() == count && source.HitIndex.size() == count;
    const bool flags = entries && source.HitFlagged.size() == count && source.HitFlagSets == InViewFlagSets();
    if (entries) {
        target.HitObjects.insert(target.HitObjects.end(), source.HitObjects.begin() + from, source.HitObjects.begin() + to);
        target.HitIndex.insert(target.HitIndex.end(), source.HitIndex.begin() + from, source.HitIndex.begin() + to);
    } else {
        target.HitObjects.resize(at + n, nullptr);
        target.HitIndex.resize(at + n);
    }
    // Unknown flags are looked at by the next marking.
    if (flags) target.HitFlagged.insert(target.HitFlagged.end(), source.HitFlagged.begin() + from, source.HitFlagged.begin() + to);
    else target.HitFlagged.resize(at + n, 1);
}

void MakeReadEntries(const TCustomLayer& layer)
{
    const std::size_t count = std::size_t(layer.Count);
    layer.HitObjects.assign(layer.Items.begin(), layer.Items.begin() + std::ptrdiff_t(count));
    layer.HitIndex.resize(count);
    layer.HitFlagged.resize(count);
    for (std::size_t k = 0; k < count; ++k) {
        const TBaseObject* o = layer.Object(int32_t(k));
        layer.HitIndex[k] = HitEntryOf(o);
        layer.HitFlagged[k] = (o->Flags() & ObjFlagInView) ? 1 : 0;
    }
    layer.HitBlocks.clear();
    layer.HitViewMarked = false;
    layer.HitFlagSets = InViewFlagSets();
}

void SettleMarkedObjects(TCustomLayer& target)
{
    const std::size_t count = std::size_t(target.Count);
    target.HitObjects.resize(count, nullptr);
    target.HitIndex.resize(count);
    target.HitFlagged.resize(count, 1);
    target.HitBlocks.clear();
    target.HitViewMarked = false;
    target.HitFlagSets = InViewFlagSets();
}

void MarkObjectsInView(const TMap& map, TDrawContext context)
{
    std::vector<TCustomLayer*> layers;
    CollectLayers(map, false, layers);
    Mark(layers, context, nullptr, nullptr);
}

void DrawMap(const TMap& map, TDrawContext context)
{
    std::vector<TCustomLayer*> layers;
    CollectLayers(map, false, layers);
    std::vector<int32_t> indices;
    std::vector<TInView> marked;
    Mark(layers, context, &indices, &marked);
    const int64_t n = Denominator(context);
    TDrawNotify* model = context.Model;
    for (std::size_t k = 0; k < layers.size(); ++k) {
        TCustomLayer* layer = layers[k];
        if (DrawnAtScale(*layer, n, context.Flags)) {
            const bool hook = model && model->HasNotifyHook();
            const auto layerArg = reinterpret_cast<intptr_t>(layer);
            const auto contextArg = reinterpret_cast<intptr_t>(&context);
            if (hook) model->CallNotifyHook(21, 0, layerArg, contextArg);
            Pass(*layer, context, nullptr, marked[k]);
            if (hook) model->CallNotifyHook(21, 1, layerArg, contextArg);
        }
        if (context.Flags & DrawFlagStop) break;
    }
}

void DrawObjectList(const TMap& map, TDrawContext context, std::span<const TObjectKey> keys)
{
    TObjectFinder finder(map);
    for (const TObjectKey& key : keys) {
        const TCustomLayer* layer = nullptr;
        if (const TBaseObject* o = finder.Find(key.LayerID, key.SheetID, key.Code, &layer)) Pass(*layer, context, o, TInView{});
    }
}

} // namespace tarn
