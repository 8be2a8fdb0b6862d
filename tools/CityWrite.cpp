// Writing the demo city's program folder: the sheets through the map's
// sheet writer, the projects through the model (its sheets added with
// AddSheet and saved with its ".prj" sequence), the identifier file that
// gives the sheets and layers the numbers the program expects, the symbol
// library, the object database and the scanned plan with its cache.
#include "City.h"

#include "CityDatabase.h"
#include "CityNames.h"
#include "CityPlan.h"
#include "CityRaster.h"
#include "CityStyle.h"

#include "data/Filer.h"
#include "data/LayerOps.h"
#include "data/LayerWalk.h"
#include "data/Layers.h"
#include "data/MapObjBmp.h"
#include "data/Rasters.h"
#include "data/Registration.h"
#include "data/Streams.h"
#include "data/_Common.h"
#include "model/Models.h"
#include "platform/Cp1251.h"
#include "platform/Ini.h"
#include "platform/SafeFile.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace tarn::city {

namespace fs = std::filesystem;

namespace {

constexpr int32_t FirstDetailSheetId = 30;
constexpr int32_t FirstLabelSheetId = 500;  // 50 a band
constexpr int32_t MaxCodesPerLayer = 32000;  // codes are 16-bit in a sheet

std::string Cp(const std::string& utf8) { return Utf8ToCp1251(utf8); }

int32_t Metres(double m) { return int32_t(std::lround(m)); }
int32_t World(double m) { return int32_t(std::lround(m)) * 1000; }
TPoint WorldPoint(TPt p) { return {World(p.X), World(p.Y)}; }

// A sheet's rectangle in whole metres.
struct TSheetRect {
    int32_t Left = 0, Bottom = 0, Width = 0, Height = 0;
};

struct TSheetOut {
    std::string Name;
    int32_t Id = 0;
    TSheetRect Rect;
    bool Nav = false;
    std::vector<std::size_t> Features;  // indexes into the plan's lists
};

// ---------------------------------------------------------------- layer trees

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

// Every layer style of the main map in tree order: a label kind gives one
// layer per band.
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

struct TWritten {
    int32_t SheetId = 0;
    int32_t Code = 0;
};

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

// ---------------------------------------------------------------- the folder

// A private folder beside the output, removed unless everything was moved.
class TWorkDir {
public:
    explicit TWorkDir(const fs::path& out)
    {
        std::string pattern = (out / ".mkcity-XXXXXX").string();
        std::vector<char> buf(pattern.begin(), pattern.end());
        buf.push_back('\0');
        if (!::mkdtemp(buf.data()))
            throw ECityError("mkcity: cannot write to the folder " + out.string() + ": " + std::strerror(errno));
        Path = buf.data();
    }
    ~TWorkDir()
    {
        std::error_code ec;
        fs::remove_all(Path, ec);
    }
    TWorkDir(const TWorkDir&) = delete;
    TWorkDir& operator=(const TWorkDir&) = delete;
    std::string File(const std::string& name) const { return Path + "/" + name; }
    std::string Path;
};

void SeedIdentifiers(const std::string& dir, const std::vector<TSheetOut>& sheets)
{
    std::shared_ptr<TIniFile> ini = TIniFile::Open(dir + "/" + IdentifierFile);
    int32_t maxFile = 0, maxLayer = 0;
    for (const TSheetOut& s : sheets) maxFile = std::max(maxFile, s.Id);
    const std::vector<const TLayerStyle*> styles = MainStyles();
    for (const TLayerStyle* s : styles) maxLayer = std::max(maxLayer, s->LayerId);
    ini->WriteInteger("Files", "Maxs", maxFile);
    for (const TSheetOut& s : sheets) ini->WriteInteger("Files", TUniqueID::KeyOf(s.Name), s.Id);
    ini->WriteInteger("Layers", "Maxs", maxLayer);
    for (const TLayerStyle* s : styles) ini->WriteInteger("Layers", TUniqueID::KeyOf(Cp(s->Name)), s->LayerId);
}

void Check(int32_t result, const std::string& sheet)
{
    if (result < 0)
        throw ETarnError("the model refused the sheet " + sheet + " (AddSheet answered " + std::to_string(result) + ")");
}

// The project through the model: levels, sheets added as the model adds
// them, label fonts that the sheet form cannot carry, the station as a
// compound object; then the model's own ".prj" sequence. Besides the
// city's level and the overview, each band of labels has a level of its
// own that loads only its sheets over the others.
void WriteProject(const std::string& dir, const TSheetOut& base,
                  const TSheetOut& overview, const std::vector<TSheetOut>& cityOnly, const std::vector<TSheetOut>& both,
                  const std::vector<std::vector<TSheetOut>>& bands, const std::vector<TObjectKey>& station)
{
    TModel m;
    m.ProgramDir = dir;
    m.FileName = dir + "/" + ProjectFile;
    m.Project = std::make_unique<TProject>(Cp(CityName));
    auto city = std::make_unique<TLevel>(Cp("Город"), 0);
    city->MinScale = 0;
    city->MaxScale = LevelBoundary;
    auto view = std::make_unique<TLevel>(Cp("Обзор"), 0);
    view->MinScale = LevelBoundary;
    view->MaxScale = 20000000;
    m.Project->Add(city.release());
    m.Project->Add(view.release());
    for (int b = 0; b < int(bands.size()); ++b) {
        auto labels = std::make_unique<TLevel>(Cp("Надписи " + BandName(b)), 0);
        labels->MinScale = BandBottom(b);
        labels->MaxScale = BandTop(b);
        m.Project->Add(labels.release());
    }
    m.WorkMap = std::make_unique<TMap>();
    m.FileContext.ProjectScale = CityProjectScale;
    m.LibraryName = "tarn.dll";
    Check(m.AddSheet(0, base.Name), base.Name);
    for (const TSheetOut& s : cityOnly) Check(m.AddSheet(0, s.Name), s.Name);
    for (const TSheetOut& s : both) Check(m.AddSheet(0, s.Name), s.Name);
    Check(m.AddSheet(1, base.Name), base.Name);
    Check(m.AddSheet(1, overview.Name), overview.Name);
    for (const TSheetOut& s : both) Check(m.AddSheet(1, s.Name), s.Name);
    for (int b = 0; b < int(bands.size()); ++b)
        for (const TSheetOut& s : bands[std::size_t(b)]) Check(m.AddSheet(2 + b, s.Name), s.Name);
    // Label fonts of the styled layers live in the project only.
    for (int i = 0; i < int(L::Count); ++i) {
        const TLayerStyle& s = StyleOf(L(i));
        if (s.FontHeight <= 0 || IsTextKind(s.Kind)) continue;
        TCustomLayer* layer = FindLayerById(*m.WorkMap, s.LayerId);
        if (!layer) continue;
        layer->LabelFont = LabelFont(s.FontHeight, s.FontWeight, s.Italic);
        layer->LabelColour = int32_t(Rgb(50, 40, 60));
    }
    auto compound = std::make_unique<TComplObject>();
    compound->Identifier = 1;
    for (const TObjectKey& key : station) {
        auto copy = std::make_unique<TComplItem>();
        copy->Key = key;
        compound->Add(copy.release());
    }
    if (compound->Count > 0) m.Compounds->Add(compound.release());
    m.SaveFile(m.FileName, 0);
}

void WriteNavProject(const std::string& dir, const TSheetOut& nav)
{
    TModel m;
    m.ProgramDir = dir;
    m.FileName = dir + "/" + NavProjectFile;
    m.Project = std::make_unique<TProject>(Cp(CityName));
    auto level = std::make_unique<TLevel>(Cp("Навигатор"), 0);
    level->MinScale = 0;
    level->MaxScale = 100000000;
    m.Project->Add(level.release());
    m.WorkMap = std::make_unique<TMap>();
    m.FileContext.ProjectScale = CityProjectScale;
    m.LibraryName = "tarn.dll";
    Check(m.AddSheet(0, nav.Name), nav.Name);
    m.SaveFile(m.FileName, 0);
}

std::string ReadWhole(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) throw ECityError("mkcity: cannot read the symbol library " + path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void SetMode(const std::string& path, mode_t mode)
{
    if (::chmod(path.c_str(), mode) != 0)
        throw ECityError("mkcity: cannot set the permissions of " + path + ": " + std::strerror(errno));
}

} // namespace

std::string DetailSheetName(int32_t i)
{
    char b[16];
    std::snprintf(b, sizeof b, "dom%02d.map", int(i));
    return b;
}

TCityReport MakeCity(const TCityOptions& o)
{
    RegisterMapEngineClasses();
    if (o.OutDir.empty()) throw ECityError("mkcity: no output folder");
    if (o.Objects < MinObjects || o.Objects > MaxObjects)
        throw ECityError("mkcity: --objects must lie between " + std::to_string(MinObjects) + " and " +
                         std::to_string(MaxObjects));
    const std::string library = ReadWhole(o.SymbolLibrary);
    const fs::path out(o.OutDir);
    std::error_code ec;
    if (fs::exists(out, ec) && !fs::is_directory(out, ec))
        throw ECityError("mkcity: " + out.string() + " exists and is not a folder");
    fs::create_directories(out, ec);
    if (ec) throw ECityError("mkcity: cannot create the folder " + out.string() + ": " + ec.message());
    TWorkDir work(out);

    const TPlan plan = MakePlan(o.Seed, o.Objects);
    TCityReport report;
    report.Streets = plan.StreetCount;
    report.TownStreets = plan.TownStreetCount;
    report.Districts = plan.DistrictCount;

    // Sheets and where the plan's objects go.
    const TSheetRect world{0, 0, Metres(plan.WorldW), Metres(plan.WorldH)};
    TSheetOut base{BaseSheet, BaseSheetId, world, false, {}};
    TSheetOut overview{OverviewSheet, 1, world, false, {}};
    TSheetOut town{TownSheet, 2,
                   {Metres(plan.TownX0), Metres(plan.TownY0), Metres(plan.TownX1 - plan.TownX0),
                    Metres(plan.TownY1 - plan.TownY0)},
                   false, {}};
    TSheetOut picture{PlanSheet, 3, world, false, {}};
    TSheetOut nav{NavSheet, 4, world, true, {}};
    TSheetOut places{PlacesSheet, PlacesSheetId, world, false, {}};
    TSheetOut signs{UserSignSheet, UserSignSheetId, world, false, {}};
    std::vector<std::size_t> detail;
    std::vector<std::vector<std::size_t>> labels(BandCount);
    for (std::size_t k = 0; k < plan.Features.size(); ++k) {
        switch (plan.Features[k].Sheet) {
        case TSheetKind::Base: base.Features.push_back(k); break;
        case TSheetKind::Overview: overview.Features.push_back(k); break;
        case TSheetKind::Detail: detail.push_back(k); break;
        case TSheetKind::Places: places.Features.push_back(k); break;
        case TSheetKind::UserSigns: signs.Features.push_back(k); break;
        case TSheetKind::Plan: picture.Features.push_back(k); break;
        case TSheetKind::Labels: labels[std::size_t(plan.Features[k].Band)].push_back(k); break;
        }
    }
    for (std::size_t k = 0; k < plan.Nav.size(); ++k) nav.Features.push_back(k);
    std::vector<TSheetOut> tiles = DetailSheets(plan, detail, town);
    report.DetailSheets = int32_t(tiles.size());

    std::vector<std::vector<TSheetOut>> bands;
    for (int b = 0; b < BandCount; ++b) bands.push_back(LabelSheets(plan, b, labels[std::size_t(b)]));

    std::vector<TSheetOut> all = {base, overview, town, picture, places, signs};
    all.insert(all.end(), tiles.begin(), tiles.end());
    for (const std::vector<TSheetOut>& band : bands) all.insert(all.end(), band.begin(), band.end());
    std::vector<TSheetOut> withNav = all;
    withNav.push_back(nav);
    SeedIdentifiers(work.Path, withNav);

    std::map<std::size_t, TWritten> keys, navKeys;
    for (const TSheetOut& s : all) WriteSheet(work.Path, s, plan.Features, keys, report.Objects);
    int64_t navObjects = 0;
    WriteSheet(work.Path, nav, plan.Nav, navKeys, navObjects);

    // The scanned plan and its tiled cache, the cache newer than the picture.
    const std::string bmp = work.File("plan.bmp");
    WriteFileAtomically(bmp, MakeScanPicture(plan.Scan, plan.Seed));
    if (!TTiledRaster::OpenRaster(bmp)) throw ETarnError("the scanned plan is not a one-bit picture");
    const std::string tr = work.File(TrCacheName("plan.bmp"));
    fs::last_write_time(tr, fs::last_write_time(bmp) + std::chrono::seconds(2));

    // The station's building and sign as one compound object.
    std::vector<TObjectKey> station;
    for (int index : {plan.StationBuilding, plan.StationSign}) {
        if (index < 0) continue;
        const auto it = keys.find(std::size_t(index));
        if (it == keys.end()) continue;
        TObjectKey key;
        key.ModelNo = 1;
        key.LayerID = StyleOf(L(plan.Features[std::size_t(index)].Layer)).LayerId;
        key.SheetID = it->second.SheetId;
        key.Code = it->second.Code;
        station.push_back(key);
    }
    std::vector<TSheetOut> cityOnly = tiles;
    cityOnly.push_back(town);
    cityOnly.push_back(picture);
    WriteProject(work.Path, base, overview, cityOnly, {places, signs}, bands, station);
    WriteNavProject(work.Path, nav);

    WriteFileAtomically(work.File("tarn.dll"), library);

    // The object database points at the places of interest, the stations
    // and the information centres.
    std::vector<TDatabaseObject> listed;
    for (const auto& [index, at] : keys) {
        const TFeature& f = plan.Features[index];
        const L layer = L(f.Layer);
        if (!IsPlaceOfInterest(layer) && layer != L::Stations && layer != L::InfoCentres) continue;
        listed.push_back({&f, TObjectKey{0, 1, StyleOf(layer).LayerId, at.SheetId, at.Code}});
    }
    const TDatabaseReport database = WriteObjectDatabase(work.Path, listed, o.Seed);
    report.KeyRecords = database.KeyRecords;
    report.Cards = database.Cards;
    report.SupplementRecords = database.Supplement;
    report.Banners = database.Banners;

    // Into the folder: everything but the user's own files, unless forced.
    std::vector<std::string> names = {ProjectFile, NavProjectFile, IdentifierFile, "tarn.dll", DatabaseFile,
                                      SupplementFile, BannerFile, "plan.bmp", TrCacheName("plan.bmp")};
    for (const TSheetOut& s : withNav) names.push_back(s.Name);
    for (const std::string& name : names) {
        const std::string from = work.File(name), to = (out / name).string();
        const bool sheet = name.size() > 4 && name.compare(name.size() - 4, 4, ".map") == 0;
        const bool userFile = name == UserSignSheet;
        if (userFile && !o.Force && fs::exists(to, ec)) {
            report.Kept.push_back(name);
            continue;
        }
        // Only the user-sign sheet is saved by the program; the others are
        // the city's data and stay read-only, so saving skips them.
        SetMode(from, name == "tarn.dll" ? 0755 : sheet && !userFile ? 0444 : 0644);
        fs::rename(from, to, ec);
        if (ec) throw ECityError("mkcity: cannot write " + to + ": " + ec.message());
        report.Written.push_back(name);
    }
    const fs::path settings = out / SettingsFile;
    if (fs::exists(settings, ec)) {
        if (o.Force) fs::remove(settings, ec);
        else report.Kept.push_back(SettingsFile);
    }
    return report;
}

} // namespace tarn::city
