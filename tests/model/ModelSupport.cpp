#include "ModelSupport.h"

#include "data/LayerOps.h"
#include "data/LayerWalk.h"
#include "data/MapObjBmp.h"
#include "data/ProjectLinks.h"
#include "data/Registration.h"

#include <cstring>
#include <tuple>

namespace tarn::test {

namespace {

struct TLayerSpec {
    const char* Name;
    int16_t Kind;
    int32_t Id;
    bool InGroup;
    uint32_t Flags;
};

const TLayerSpec Specs[] = {
    {"Улицы", 0, StreetsId, false, 0},        {"Кварталы", 1, BlocksId, false, 0},
    {"Надписи", 6, LabelsId, false, 0},       {"Знаки", 7, SignsId, false, 0},
    {"Трассы", 9, StyledLinesId, true, 0},    {"Парки", 10, StyledAreasId, false, 0},
    {"Подписи", 11, StyledTextsId, false, 0}, {"Отметки", 12, StyledSignsId, false, 0},
    {"Снимки", 13, PicturesId, false, 0},     {"Прочее", 3, NoClassId, false, 0},
    {"Скрытый", 0, HiddenId, false, LayerFlagHidden | 0x80},
};

void Style(TCustomLayer& l, const TLayerSpec& s)
{
    l.Name = s.Name;
    l.Kind = s.Kind;
    l.LayerId = s.Id;
    l.Flags = s.Flags;
    l.ScaleLimit = 100000000;
    l.Colour = s.Kind == 1 ? int32_t(BlockColour) : 0x202020;
    l.Colour2 = 0;
    l.Style1 = s.Kind == 1 ? -1 : (s.Kind == 7 ? 12 : 0);
    l.Style2 = s.Kind == 0 ? 10 : 0;
    l.Style3 = s.Kind == 7 ? 1 : 0;
    if (IsTextKind(s.Kind)) {
        l.TextFont.Height = 20;
        std::strcpy(l.TextFont.FaceName, "DejaVu Sans");
    }
}

// The sample's tree, of plain layers or of information layers.
void AddTree(TCollection& root, bool info)
{
    auto group = std::make_unique<TGapLayer>();
    group->Name = "Сети";
    TGapLayer* g = group.get();
    bool groupAdded = false;
    for (const TLayerSpec& s : Specs) {
        std::unique_ptr<TCustomLayer> l;
        if (info) l = std::make_unique<TInfoLayer>();
        else l = std::make_unique<TLayer>();
        Style(*l, s);
        if (s.InGroup) {
            if (!groupAdded) {
                root.Add(group.release());
                groupAdded = true;
            }
            g->Add(l.release());
        } else {
            root.Add(l.release());
        }
    }
}

template <class T>
T* Put(TMap& map, int32_t layerId, std::unique_ptr<T> o)
{
    std::vector<TCustomLayer*> layers;
    CollectLayers(map, true, layers);
    for (TCustomLayer* l : layers)
        if (l->LayerId == layerId) {
            T* p = o.get();
            l->Add(o.release());
            return p;
        }
    return nullptr;
}

template <class T>
std::unique_ptr<T> Line(int32_t code, std::initializer_list<TPoint> pts)
{
    auto o = std::make_unique<T>();
    o->Code = code;
    o->Points = pts;
    o->X = o->Points.front().X;
    o->Y = o->Points.front().Y;
    return o;
}

} // namespace

std::unique_ptr<TMap> MakeSheetMap()
{
    RegisterMapEngineClasses();
    auto map = std::make_unique<TMap>();
    map->Name = "Город";
    AddTree(*map, false);
    map->MapParams.Ints[0] = 1000;
    map->MapParams.Ints[1] = 1000;
    map->MapParams.Ints[2] = SampleScale;
    map->MapParams.Reals = {0.0, 0.0, 1000.0, 1000.0};
    map->ShortName = "tarn.dll";

    Put(*map, StreetsId, Line<TPolyLine>(1, {{100000, 500000}, {900000, 500000}}));
    Put(*map, BlocksId, Line<TPolygon>(1, {{200000, 200000}, {800000, 200000}, {800000, 800000}, {200000, 800000}}));
    auto text = std::make_unique<TText>();
    text->Code = 1;
    text->Text = "Center";
    text->X = 300000;
    text->Y = 300000;
    Put(*map, LabelsId, std::move(text));
    for (auto [code, x, y] : {std::tuple{5, 500000, 500000}, std::tuple{2, 100000, 900000}}) {
        auto sign = std::make_unique<TSign>();
        sign->Code = code;
        sign->SignNumber = 3;
        sign->X = x;
        sign->Y = y;
        Put(*map, SignsId, std::move(sign));
    }
    auto route = Line<TPolyLineEx>(1, {{100000, 100000}, {900000, 150000}});
    route->Color = 0x123456;
    route->Width = 2;
    route->Label = "Route";
    route->ValueMode = 2;
    route->Values = {7, 9};
    Put(*map, StyledLinesId, std::move(route));
    auto park = Line<TPolygonEx>(1, {{850000, 850000}, {950000, 850000}, {900000, 950000}});
    park->FillColor = 0x00FF00;
    park->OutlineColor = 0x0000FF;
    park->FillStyle = -1;
    park->OutlinePen = 0x00010002;
    park->Label = "Park";
    Put(*map, StyledAreasId, std::move(park));
    auto note = std::make_unique<TTextEx>();
    note->Code = 1;
    note->Text = "Note";
    note->X = 600000;
    note->Y = 100000;
    note->TextColor = 0xFF0000;
    note->Size = 12;
    Put(*map, StyledTextsId, std::move(note));
    auto mark = std::make_unique<TSignEx>();
    mark->Code = 1;
    mark->X = 700000;
    mark->Y = 900000;
    mark->Label = "Mark";
    mark->DllSignNumber = 4;
    mark->Size = 8;
    Put(*map, StyledSignsId, std::move(mark));
    Put(*map, HiddenId, Line<TPolyLine>(1, {{0, 0}, {1000000, 1000000}}));
    return map;
}

std::string SheetBytes(const TMap& sheet)
{
    TFileContext c;
    c.FileVersion = 102;
    c.FilerScale = 1.0;
    c.MapScale = 1.0;
    c.YBase = 1000;
    TMemoryStream ms;
    ms.SetContext(c);
    TWriter w(ms);
    sheet.WriteFiler16(w);
    return ms.TakeBytes();
}

std::string PrjBytes(const TPrjOptions& o)
{
    RegisterMapEngineClasses();
    bool layers = o.Layers;
    TFileContext c;
    c.FileVersion = 102;
    c.ProjectScale = SampleScale;
    c.MapScale = 1.0;
    TProject project("Город");
    auto city = std::make_unique<TLevel>("Город", 0);
    city->Scale = 1.0;
    city->MaxScale = 100000;
    city->MinScale = 0;
    city->Sheets->Add(new TSheet(o.SheetName, SheetId, 0, 0, 1000000, 1000000, TPoint{1000, 1000}));
    city->Map->Name = "Город";
    city->Map->ShortName = "tarn.dll";
    if (layers) AddTree(*city->Map, false);
    // Level and working maps hold drawing sizes: the sheet's scaled.
    ScaleLayerStyles(*city->Map, ScaleLayerValues, SampleScale);
    auto overview = std::make_unique<TLevel>("Обзор", 0);
    overview->Scale = 1.0;
    overview->MaxScale = 100000000;
    overview->MinScale = 100000;
    project.Add(city.release());
    project.Add(overview.release());
    project.ExpandExtent(TRect{0, 1000000, 1000000, 0});
    project.NextID = 1;
    TMap work;
    work.Name = "Город";
    if (layers) AddTree(work, true);
    ScaleLayerStyles(work, ScaleLayerValues, SampleScale);

    TCollection a, compounds, b;
    auto client = std::make_unique<TClientInfo>();
    client->FirstName = "Клиент";
    client->Number = 42;
    a.Add(client.release());
    auto compound = std::make_unique<TComplObject>();
    compound->Identifier = 7;
    for (TObjectKey k : {Key(StreetsId, 1), Key(BlocksId, 1)}) {
        auto item = std::make_unique<TComplItem>();
        k.ModelNo = 1;
        item->Key = k;
        compound->Add(item.release());
    }
    compounds.Add(compound.release());
    b.Add(new TAlias());

    TMemoryStream ms;
    ms.SetContext(c);
    TWriter w(ms);
    project.WriteFiler(w);
    work.WriteFiler(w);
    char lib[101] = {};
    std::memcpy(lib, o.Library.data(), std::min<std::size_t>(o.Library.size(), 101));
    ms.Write(lib, sizeof lib);
    ms.writeI32LE(77);
    ms.writeI32LE(o.ProjectScale);
    a.WriteFiler(w);
    if (o.Version == 100 && o.WithExtras) {
        WritePStr(w, "старое");
        ms.writeI32LE(1234);
        TCollection extra;
        extra.Add(new TAlias());
        extra.WriteFiler(w);
    }
    compounds.WriteFiler(w);
    b.WriteFiler(w);
    std::string bytes = ms.TakeBytes();
    if (o.Version != 102) {
        bytes[10] = static_cast<char>('0' + (o.Version - 100) / 10);
        bytes[11] = static_cast<char>('0' + (o.Version - 100) % 10);
    }
    return bytes;
}

TSampleCity::TSampleCity() : Prj(Dir.File("city.prj")), Map(Dir.File("city.map"))
{
    WriteFileBytes(Map, SheetBytes(*MakeSheetMap()));
    WriteFileBytes(Prj, PrjBytes());
}

TOpenCity::TOpenCity(const std::string& file)
{
    Surface.SetMmPerPixel(0.25);
    Model = std::make_unique<TModel>();
    Model->ProgramDir = City.Dir.Path();
    Model->SelectColour = static_cast<int32_t>(SelectRed);
    View = std::make_unique<TView>(&Surface);
    View->Scale = 5000;
    View->WorldRect = TRect{0, 1000000, 1000000, 0};
    Model->AttachView(*View);
    Model->OpenFile(file.empty() ? City.Prj : file);
}

TObjectKey Key(int32_t layerId, int32_t code, int32_t sheetId, int32_t force)
{
    TObjectKey k;
    k.Force = force;
    k.ModelNo = 1;
    k.LayerID = layerId;
    k.SheetID = sheetId;
    k.Code = code;
    return k;
}

} // namespace tarn::test
