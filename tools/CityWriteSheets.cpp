// The sheets of the demo city's folder, written through the map's sheet
// writer.
#include "CityWriteSheets.h"

#include "City.h"
#include "CityNames.h"

#include "data/Filer.h"
#include "data/LayerOps.h"
#include "data/LayerWalk.h"
#include "data/MapObjBmp.h"
#include "data/Streams.h"
#include "data/_Common.h"
#include "platform/Cp1251.h"
#include "platform/SafeFile.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace tarn::city::write {

namespace {

int32_t World(double m) { return int32_t(std::lround(m)) * 1000; }
TPoint WorldPoint(TPt p) { return {World(p.X), World(p.Y)}; }

// ---------------------------------------------------------------- layer trees

void Style(TCustomLayer& l, const TLayerStyle& s)
{
    l.Name = Cp(s.Name);
    l.Kind = s.Kind;
    l.LayerId = s.LayerId;
    l.Flags = s.Flags;
    l.Colour = s.Colour;
    l.Colour2 = IsTextKind(s.Kind) ? 0 : s.Colour2;
    l.Style1 = s.Style1;
    l.Style2 = s.Style2;
    l.Style3 = s.Style3;
    l.ScaleLimit = s.ScaleLimit;
    if (IsTextKind(s.Kind)) l.TextFont = LabelFont(s.FontHeight, s.FontWeight, s.Italic);
}

// The layers of a map: by L (or NL), and the label kinds' by band.
struct TLayerTable {
    std::vector<TCustomLayer*> Plain;
    std::map<std::pair<int, int>, TCustomLayer*> Banded;
    TCustomLayer* Of(const TFeature& f) const
    {
        if (f.Band >= 0 && LabelKindOf(L(f.Layer))) return Banded.at({f.Layer, f.Band});
        return Plain[std::size_t(f.Layer)];
    }
};

const TLayerStyle& StyleFor(const TFeature& f, bool nav)
{
    if (nav) return NavStyleOf(NL(f.Layer));
    return f.Band >= 0 && LabelKindOf(L(f.Layer)) ? StyleOf(L(f.Layer), f.Band) : StyleOf(L(f.Layer));
}

// The whole layer tree of the main map (every sheet carries all of it, so
// the sheets agree with each other and with the project).
TLayerTable MainTree(TMap& map)
{
    TLayerTable table;
    table.Plain.assign(std::size_t(L::Count), nullptr);
    std::map<std::string, TGapLayer*> groups;
    auto add = [&](const TLayerStyle& s) -> TCustomLayer* {
        TCollection* parent = &map;
        if (s.Group) {
            std::string path;
            std::string rest = s.Group;
            while (!rest.empty()) {
                const std::size_t cut = rest.find('/');
                const std::string part = rest.substr(0, cut);
                rest = cut == std::string::npos ? std::string() : rest.substr(cut + 1);
                path += "/" + part;
                TGapLayer*& g = groups[path];
                if (!g) {
                    auto made = std::make_unique<TGapLayer>();
                    made->Name = Cp(part);
                    g = made.get();
                    parent->Add(made.release());
                }
                parent = g;
            }
        }
        auto layer = std::make_unique<TLayer>();
        Style(*layer, s);
        TCustomLayer* made = layer.get();
        parent->Add(layer.release());
        return made;
    };
    for (int i = 0; i < int(L::Count); ++i) {
        if (!LabelKindOf(L(i))) {
            table.Plain[std::size_t(i)] = add(StyleOf(L(i)));
            continue;
        }
        for (int b = 0; b < BandCount; ++b)
            if (InBand(L(i), b)) table.Banded[{i, b}] = add(StyleOf(L(i), b));
    }
    return table;
}

TLayerTable NavTree(TMap& map)
{
    TLayerTable table;
    for (int i = 0; i < int(NL::Count); ++i) {
        auto layer = std::make_unique<TLayer>();
        Style(*layer, NavStyleOf(NL(i)));
        table.Plain.push_back(layer.get());
        map.Add(layer.release());
    }
    return table;
}

// ---------------------------------------------------------------- objects

template <class T>
std::unique_ptr<T> Lines(const TFeature& f)
{
    auto o = std::make_unique<T>();
    for (const TPt& p : f.Points) o->Points.push_back(WorldPoint(p));
    if (!o->Points.empty()) {
        o->X = o->Points.front().X;
        o->Y = o->Points.front().Y;
    }
    return o;
}

std::unique_ptr<TBaseObject> MakeObject(const TFeature& f, const TLayerStyle& s)
{
    std::unique_ptr<TBaseObject> o;
    switch (s.Kind) {
    case LayerKindLine: o = Lines<TPolyLine>(f); break;
    case LayerKindPolygon: o = Lines<TPolygon>(f); break;
    case LayerKindStyledLine: {
        auto l = Lines<TPolyLineEx>(f);
        l->Color = f.Colour;
        l->Width = f.Width;
        l->PenStyle = f.Style;
        l->Label = Cp(f.Text);
        if (!f.Values.empty()) {
            l->ValueMode = 2;
            l->Values = f.Values;
        }
        o = std::move(l);
        break;
    }
    case LayerKindStyledPolygon: {
        auto p = Lines<TPolygonEx>(f);
        p->FillColor = f.Colour;
        p->OutlineColor = f.Colour2;
        p->FillStyle = f.Style;
        p->Label = Cp(f.Text);
        p->OutlinePen = 1;  // solid, one pixel
        o = std::move(p);
        break;
    }
    case LayerKindText: case LayerKindStyledText: {
        std::unique_ptr<TText> t;
        if (s.Kind == LayerKindStyledText) {
            auto e = std::make_unique<TTextEx>();
            e->TextColor = f.Colour;
            e->Size = f.Size;
            t = std::move(e);
        } else {
            t = std::make_unique<TText>();
        }
        t->Text = Cp(f.Text);
        t->Angle = f.Angle;
        t->X = World(f.At.X);
        t->Y = World(f.At.Y);
        o = std::move(t);
        break;
    }
    case LayerKindSign: {
        std::unique_ptr<TSign> sign;
        if (f.Exact) {
            auto e = std::make_unique<TExactPoint>();
            e->Extra1 = f.Extra1;
            e->Extra2 = f.Extra2;
            sign = std::move(e);
        } else {
            sign = std::make_unique<TSign>();
        }
        sign->SignNumber = s.Style3;
        sign->X = World(f.At.X);
        sign->Y = World(f.At.Y);
        o = std::move(sign);
        break;
    }
    case LayerKindStyledSign: {
        auto sign = std::make_unique<TSignEx>();
        sign->DllSignNumber = f.Sign;
        sign->Size = f.Size;
        sign->Label = Cp(f.Text);
        sign->LabelOffset = {14000, -4000};  // right of the sign, centred on its middle
        sign->X = World(f.At.X);
        sign->Y = World(f.At.Y);
        o = std::move(sign);
        break;
    }
    case LayerKindBitmap: {
        auto b = std::make_unique<TBmp>();
        // The picture is named after the wanted flag is set, so nothing is
        // opened here: the model opens it from the project's folder.
        b->SetFlags(f.Flags);
        b->SetFileName(f.Text);
        b->Left = World(f.At.X);
        b->Top = World(f.At.Y);
        b->Width = World(f.PictureW);
        b->Height = World(f.PictureH);
        b->X = b->Left;
        b->Y = World(f.At.Y - f.PictureH);
        return b;
    }
    default: throw ETarnError(std::string("no object class for the layer ") + s.Name);
    }
    o->SetFlags(f.Flags);
    o->Attribute = f.Link;
    return o;
}

// ---------------------------------------------------------------- sheets

// Writes one sheet in the 16-bit form with the placement the model reads
// it with (see MapParams in model/Models.h), its style values converted to
// the sheet's scale-relative form first.
std::string SheetBytes(TMap& map, const TSheetRect& r, int32_t sheetId)
{
    map.MapParams.Ints[0] = r.Width;
    map.MapParams.Ints[1] = r.Height;
    map.MapParams.Ints[2] = CityProjectScale;
    map.MapParams.Reals = {double(r.Left), double(r.Bottom), double(r.Width), double(r.Height)};
    UnscaleLayerStyles(map, ScaleLayerValues | ScaleObjectValues, CityProjectScale);
    TFileContext c;
    c.FileVersion = 102;
    c.ProjectScale = CityProjectScale;
    c.FilerScale = 1.0;
    c.MapScale = 1.0;
    c.OriginX = r.Left;
    c.OriginY = r.Bottom;
    c.YBase = r.Height;
    c.CurrentSheetID = sheetId;
    TMemoryStream ms;
    ms.SetContext(c);
    ms.SetName(Cp1251ToUtf8(map.Name));
    TWriter w(ms);
    map.WriteFiler16(w);
    return ms.TakeBytes();
}

} // namespace

std::string Cp(const std::string& utf8) { return Utf8ToCp1251(utf8); }

TLogFont LabelFont(int32_t height, int32_t weight, bool italic)
{
    TLogFont f{};
    f.Height = -height;
    f.Weight = weight > 0 ? weight : 400;
    f.Italic = italic ? 1 : 0;
    f.CharSet = 204;
    f.Quality = 1;
    std::strncpy(f.FaceName, LabelFace, sizeof f.FaceName - 1);
    return f;
}

std::vector<const TLayerStyle*> MainStyles()
{
    std::vector<const TLayerStyle*> styles;
    for (int i = 0; i < int(L::Count); ++i) {
        if (!LabelKindOf(L(i))) {
            styles.push_back(&StyleOf(L(i)));
            continue;
        }
        for (int b = 0; b < BandCount; ++b)
            if (InBand(L(i), b)) styles.push_back(&StyleOf(L(i), b));
    }
    return styles;
}

// Fills a sheet's layers with its features; codes count from 1 in each
// layer unless a feature brings its own. Answers where each feature went.
void WriteSheet(const std::string& dir, const TSheetOut& sheet, const std::vector<TFeature>& features,
                std::map<std::size_t, TWritten>& keys, int64_t& objects)
{
    TMap map;
    map.Name = Cp(CityName);
    map.ShortName = "tarn.dll";
    const TLayerTable layers = sheet.Nav ? NavTree(map) : MainTree(map);
    std::map<TCustomLayer*, int32_t> next;
    for (std::size_t k : sheet.Features) {
        const TFeature& f = features[k];
        const TLayerStyle& s = StyleFor(f, sheet.Nav);
        TCustomLayer* layer = layers.Of(f);
        std::unique_ptr<TBaseObject> o = MakeObject(f, s);
        o->Code = f.Code ? f.Code : ++next[layer];
        if (o->Code > MaxCodesPerLayer)
            throw ETarnError("the sheet " + sheet.Name + " holds too many objects in the layer " + s.Name);
        keys[k] = {sheet.Id, o->Code};
        layer->Add(o.release());
        ++objects;
    }
    WriteFileAtomically(dir + "/" + sheet.Name, SheetBytes(map, sheet.Rect, sheet.Id));
}

// The detail tiles: the smallest grid whose every tile keeps each layer
// within the 16-bit codes of a sheet.
std::vector<TSheetOut> DetailSheets(const TPlan& plan, const std::vector<std::size_t>& detail, TSheetOut& town)
{
    static const int grids[][2] = {{2, 2}, {3, 2}, {4, 3}, {4, 4}, {6, 4}, {6, 5}, {8, 6}, {8, 8}, {10, 8}, {12, 10}};
    const double w = plan.CityX1 - plan.CityX0, h = plan.CityY1 - plan.CityY0;
    auto anchor = [&](const TFeature& f) {
        if (f.Points.empty()) return f.At;
        TPt c;
        for (const TPt& p : f.Points) c = {c.X + p.X, c.Y + p.Y};
        return TPt{c.X / double(f.Points.size()), c.Y / double(f.Points.size())};
    };
    auto inTown = [&](TPt p) { return p.X >= plan.TownX0 && p.X <= plan.TownX1 && p.Y >= plan.TownY0 && p.Y <= plan.TownY1; };
    for (const auto& g : grids) {
        const int nx = g[0], ny = g[1];
        std::vector<TSheetOut> tiles(std::size_t(nx * ny));
        std::vector<std::map<int, int>> counts(tiles.size());
        town.Features.clear();
        std::map<int, int> townCounts;
        bool fits = true;
        for (std::size_t k : detail) {
            const TPt p = anchor(plan.Features[k]);
            if (inTown(p)) {
                town.Features.push_back(k);
                fits = fits && ++townCounts[plan.Features[k].Layer] <= MaxCodesPerLayer;
                continue;
            }
            const int tx = std::clamp(int((p.X - plan.CityX0) / w * nx), 0, nx - 1);
            const int ty = std::clamp(int((p.Y - plan.CityY0) / h * ny), 0, ny - 1);
            const std::size_t t = std::size_t(ty * nx + tx);
            tiles[t].Features.push_back(k);
            if (++counts[t][plan.Features[k].Layer] > MaxCodesPerLayer) fits = false;
        }
        if (!fits) continue;
        for (int ty = 0; ty < ny; ++ty)
            for (int tx = 0; tx < nx; ++tx) {
                TSheetOut& s = tiles[std::size_t(ty * nx + tx)];
                const int32_t x0 = Metres(plan.CityX0 + w * tx / nx), x1 = Metres(plan.CityX0 + w * (tx + 1) / nx);
                const int32_t y0 = Metres(plan.CityY0 + h * ty / ny), y1 = Metres(plan.CityY0 + h * (ty + 1) / ny);
                s.Rect = {x0, y0, x1 - x0, y1 - y0};
                s.Name = DetailSheetName(ty * nx + tx + 1);
                s.Id = FirstDetailSheetId + ty * nx + tx;
            }
        return tiles;
    }
    throw ETarnError("the city has too many objects for its detail sheets");
}

// The sheets of a band's labels: the world cut into the fewest tiles that
// keep each layer within the codes of a sheet.
std::vector<TSheetOut> LabelSheets(const TPlan& plan, int band, const std::vector<std::size_t>& labels)
{
    static const int grids[][2] = {{1, 1}, {2, 1}, {2, 2}, {3, 2}, {4, 3}, {4, 4}, {6, 4}, {6, 5}, {8, 6}, {8, 8}};
    for (const auto& g : grids) {
        const int nx = g[0], ny = g[1];
        std::vector<TSheetOut> tiles(std::size_t(nx * ny));
        std::vector<std::map<int, int>> counts(tiles.size());
        bool fits = true;
        for (std::size_t k : labels) {
            const TPt p = plan.Features[k].At;
            const int tx = std::clamp(int(p.X / plan.WorldW * nx), 0, nx - 1);
            const int ty = std::clamp(int(p.Y / plan.WorldH * ny), 0, ny - 1);
            const std::size_t t = std::size_t(ty * nx + tx);
            tiles[t].Features.push_back(k);
            if (++counts[t][plan.Features[k].Layer] > MaxCodesPerLayer) fits = false;
        }
        if (!fits) continue;
        for (int t = 0; t < nx * ny; ++t) {
            TSheetOut& s = tiles[std::size_t(t)];
            const int tx = t % nx, ty = t / nx;
            const int32_t x0 = Metres(plan.WorldW * tx / nx), x1 = Metres(plan.WorldW * (tx + 1) / nx);
            const int32_t y0 = Metres(plan.WorldH * ty / ny), y1 = Metres(plan.WorldH * (ty + 1) / ny);
            s.Rect = {x0, y0, x1 - x0, y1 - y0};
            char name[32];
            if (nx * ny == 1) std::snprintf(name, sizeof name, "nadp%d.map", band + 1);
            else std::snprintf(name, sizeof name, "nadp%d_%02d.map", band + 1, t + 1);
            s.Name = name;
            s.Id = FirstLabelSheetId + 100 * band + t;
        }
        return tiles;
    }
    throw ETarnError("the city has too many labels for its label sheets");
}

} // namespace tarn::city::write
