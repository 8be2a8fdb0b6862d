// Writes the seed inputs of every fuzz target into <folder>/<target>/, made
// by the project's own writers (pictures by the test picture writer and the
// raster cache builder). `make fuzz-corpus` minimises them into
// tests/fuzz/corpus/.
#include "FuzzEntries.h"
#include "PictureSupport.h"
#include "data/FlatFile.h"
#include "data/Layers.h"
#include "data/MapObj.h"
#include "data/MapObjBmp.h"
#include "data/Project.h"
#include "data/ProjectLinks.h"
#include "data/Rasters.h"
#include "data/Registration.h"
#include "data/_Common.h"
#include "db/TarnData.h"
#include "model/Models.h"
#include "platform/Ini.h"
#include "tools/City.h"
#include "tools/CityCards.h"
#include "tools/CityData.h"
#include "tools/CityDatabase.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <vector>

using namespace tarn;
namespace fs = std::filesystem;

namespace {

fs::path Out;

void Save(const char* target, const std::string& name, const std::string& bytes)
{
    fs::create_directories(Out / target);
    std::ofstream f(Out / target / name, std::ios::binary | std::ios::trunc);
    f.write(bytes.data(), std::streamsize(bytes.size()));
    if (!f) throw std::runtime_error("cannot write " + (Out / target / name).string());
}

std::string ReadAll(const std::string& path)
{
    TMemoryStream m;
    m.LoadFromFile(path);
    return m.Bytes();
}

// ---------------------------------------------------------------- pictures

uint32_t Pattern(int32_t x, int32_t y) { return uint32_t(x * 3 + y * 5); }

std::string Picture(int32_t w, int32_t h, uint16_t bits, bool topDown, uint32_t headerSize = 40)
{
    test::TTestBmp p;
    p.Width = w;
    p.Height = h;
    p.BitCount = bits;
    p.TopDown = topDown;
    p.HeaderSize = headerSize;
    if (bits <= 8) {
        const uint32_t n = bits == 1 ? 2 : bits == 4 ? 5 : 7;
        for (uint32_t i = 0; i < n; ++i) p.Palette.push_back(0x102030u * (i + 1));
        p.ColorsUsedField = n;
        p.Pixel = [n](int32_t x, int32_t y) { return Pattern(x, y) % n; };
    } else {
        p.Pixel = [](int32_t x, int32_t y) { return 0x00FFFFFFu & (Pattern(x, y) * 0x010305u); };
    }
    return test::MakeBmp(p);
}

void Put16(std::string& b, uint32_t v)
{
    b.push_back(char(v & 0xFF));
    b.push_back(char((v >> 8) & 0xFF));
}
void Put32(std::string& b, uint32_t v)
{
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}

// The two headers of an uncommon picture, the colour table and the pixel
// bytes as given.
std::string RawPicture(uint32_t headerSize, int32_t w, int32_t h, uint16_t bits, uint32_t compression,
                       const std::vector<uint32_t>& table, const std::string& pixels)
{
    std::string b = "BM";
    const uint32_t tableBytes = uint32_t(table.size()) * (headerSize == 12 ? 3 : 4);
    const uint32_t offset = 14 + headerSize + tableBytes;
    Put32(b, offset + uint32_t(pixels.size()));
    Put32(b, 0);
    Put32(b, offset);
    Put32(b, headerSize);
    if (headerSize == 12) {
        Put16(b, uint32_t(w));
        Put16(b, uint32_t(h));
        Put16(b, 1);
        Put16(b, bits);
    } else {
        Put32(b, uint32_t(w));
        Put32(b, uint32_t(h));
        Put16(b, 1);
        Put16(b, bits);
        Put32(b, compression);
        Put32(b, uint32_t(pixels.size()));
        Put32(b, 2835);
        Put32(b, 2835);
        Put32(b, compression == 3 ? 0 : uint32_t(table.size()));
        Put32(b, 0);
        b.resize(14 + headerSize, '\0');
    }
    for (uint32_t c : table) {
        if (headerSize == 12) {
            b.push_back(char(c & 0xFF));
            b.push_back(char((c >> 8) & 0xFF));
            b.push_back(char((c >> 16) & 0xFF));
        } else {
            Put32(b, c);
        }
    }
    return b + pixels;
}

void PictureSeeds()
{
    Save("bmp", "1bit.bmp", Picture(13, 7, 1, false));
    Save("bmp", "1bit-topdown.bmp", Picture(9, 4, 1, true));
    Save("bmp", "4bit.bmp", Picture(11, 5, 4, false));
    Save("bmp", "8bit.bmp", Picture(7, 6, 8, false));
    Save("bmp", "8bit-v5.bmp", Picture(5, 3, 8, true, 124));
    Save("bmp", "24bit.bmp", Picture(5, 4, 24, false));
    Save("bmp", "32bit-v4.bmp", Picture(4, 3, 32, false, 108));
    Save("bmp", "16bit.bmp", Picture(6, 3, 16, false));
    // 8-bit runs: a run, a literal of three, a move, end of row, end of picture.
    Save("bmp", "rle8.bmp",
         RawPicture(40, 8, 4, 8, 1, {0x000000, 0xFF0000, 0x00FF00, 0x0000FF},
                    std::string("\x04\x01\x00\x03\x02\x03\x01\x00\x00\x02\x01\x01\x02\x02\x00\x00\x03\x03\x00\x01", 20)));
    Save("bmp", "rle4.bmp",
         RawPicture(40, 8, 3, 4, 2, {0x000000, 0xFFFFFF, 0x808080},
                    std::string("\x05\x12\x00\x04\x21\x12\x00\x00\x03\x11\x00\x01", 12)));
    // Bit fields of 16 bits (5-6-5) and the core header of 12 bytes.
    std::string fields = RawPicture(40, 2, 2, 16, 3, {}, std::string("\x1F\x00\xE0\x07\x00\xF8\xFF\xFF", 8));
    fields.insert(14 + 40, std::string("\x00\xF8\x00\x00\xE0\x07\x00\x00\x1F\x00\x00\x00", 12));
    Put32(fields, 0);
    fields.resize(fields.size() - 4);
    fields[10] = char(14 + 40 + 12);
    Save("bmp", "16bit-fields.bmp", fields);
    Save("bmp", "core.bmp", RawPicture(12, 3, 2, 1, 0, {0xFFFFFF, 0x000000}, std::string("\xA0\0\0\0\x40\0\0\0", 8)));

    // Rasters: one-bit pictures to build from, and caches built by the
    // builder (one level, and two levels of the harness's reference size).
    const fs::path work = Out / "work";
    fs::create_directories(work);
    Save("tr", "small.bmp", Picture(40, 30, 1, false));
    Save("tr", "wide-topdown.bmp", Picture(530, 6, 1, true));
    const std::string one = (work / "one.bmp").string();
    {
        std::ofstream(one, std::ios::binary) << Picture(40, 30, 1, false);
    }
    TTiledRaster::OpenRaster(one);
    Save("tr", "one-level.tr", ReadAll(TrCacheName(one)));
    const std::string reference = (work / "reference.bmp").string();
    {
        std::ofstream(reference, std::ios::binary) << fuzz::ReferencePicture();
    }
    TTiledRaster::OpenRaster(reference);
    Save("tr", "reference.tr", ReadAll(TrCacheName(reference)));
}

// ---------------------------------------------------------------- records

std::vector<std::unique_ptr<TAbstractItem>> MapObjects()
{
    std::vector<std::unique_ptr<TAbstractItem>> v;
    auto line = std::make_unique<TPolyLine>();
    line->Points = {{1000, 2000}, {5000, 2000}, {5000, 9000}};
    line->X = 1000, line->Y = 2000, line->Code = 7, line->Attribute = 3;
    v.push_back(std::move(line));
    auto area = std::make_unique<TPolygon>();
    area->Points = {{0, 0}, {4000, 0}, {4000, 3000}, {0, 3000}};
    area->Code = 8;
    v.push_back(std::move(area));
    auto lineEx = std::make_unique<TPolyLineEx>();
    lineEx->Points = {{2000, 1000}, {3000, 4000}};
    lineEx->Color = 0x0000FF, lineEx->Width = 15, lineEx->PenStyle = 102, lineEx->Label = "\xD3\xEB";
    lineEx->ValueMode = 2, lineEx->Values = {5, 6};
    v.push_back(std::move(lineEx));
    auto areaEx = std::make_unique<TPolygonEx>();
    areaEx->Points = {{0, 0}, {2000, 0}, {1000, 3000}};
    areaEx->FillColor = 0x00FF00, areaEx->FillStyle = -1, areaEx->Label = "park", areaEx->OutlinePen = 0x00010002;
    v.push_back(std::move(areaEx));
    auto text = std::make_unique<TText>();
    text->X = 3000, text->Y = 4000, text->Text = "\xCB\xE5\xED\xE8\xED\xE0", text->Angle = 450;
    v.push_back(std::move(text));
    auto textEx = std::make_unique<TTextEx>();
    textEx->X = 1000, textEx->Y = 1000, textEx->Text = "A", textEx->TextColor = 0xFF, textEx->Size = 25;
    v.push_back(std::move(textEx));
    auto sign = std::make_unique<TSign>();
    sign->X = 6000, sign->Y = 7000, sign->SignNumber = 12;
    v.push_back(std::move(sign));
    auto signEx = std::make_unique<TSignEx>();
    signEx->X = 6000, signEx->Y = 1000, signEx->Label = "s", signEx->LabelOffset = {100, -200}, signEx->DllSignNumber = 3;
    v.push_back(std::move(signEx));
    auto point = std::make_unique<TExactPoint>();
    point->X = 4000, point->Y = 5000;
    v.push_back(std::move(point));
    auto bmp = std::make_unique<TBmp>();
    bmp->SetFileName("plan.bmp");
    bmp->Left = 1000, bmp->Top = 9000, bmp->Width = 5000, bmp->Height = 4000;
    v.push_back(std::move(bmp));
    return v;
}

std::vector<std::unique_ptr<TAbstractItem>> ProjectRecords()
{
    std::vector<std::unique_ptr<TAbstractItem>> v;
    v.push_back(std::make_unique<TSheet>("maps\\north.map", 4, 0, 0, 3000, 4000, TPoint{100, 200}));
    auto compl_ = std::make_unique<TComplObject>();
    compl_->Identifier = 9;
    compl_->Insert(new TComplItem());
    compl_->Insert(new TComplItem());
    v.push_back(std::move(compl_));
    auto client = std::make_unique<TClientInfo>();
    client->FirstName = "db", client->SecondName = "city", client->Number = 2;
    client->Items->Insert(new TFieldTable());
    v.push_back(std::move(client));
    v.push_back(std::make_unique<TAlias>());
    auto proc = std::make_unique<TProcInfoGraphObj>();
    proc->FirstName = "p", proc->ObjectName = "house", proc->ObjectNumber = 300;
    proc->Params->Insert(new TFieldProc());
    v.push_back(std::move(proc));
    auto voc = std::make_unique<TVoc>();
    voc->FirstName = "streets";
    v.push_back(std::move(voc));
    auto field = std::make_unique<TFieldEx>();
    field->Caption = "\xC8\xEC\xFF", field->FieldType = 70000;
    v.push_back(std::move(field));
    auto connect = std::make_unique<TDBConnect>();
    connect->Items->Insert(new TLayerID());
    v.push_back(std::move(connect));
    auto layer = std::make_unique<TLayerID>();
    layer->LayerName = "roads", layer->LayerID = 5;
    v.push_back(std::move(layer));
    v.push_back(std::make_unique<TProcInfoNoPar>());
    v.push_back(std::make_unique<TProcInfoPar>());
    return v;
}

// A map with a layer of every kind (their objects when asked), a group
// holding a layer, and (but in sheets) an information layer.
std::unique_ptr<TMap> SeedMap(bool withObjects, bool sheet = false)
{
    auto m = std::make_unique<TMap>();
    m->Name = "City";
    m->MapParams.Ints = {4000, 3000, 2000, 0, 0, 0, 0, 0};
    m->MapParams.Reals = {0, 0, 4000, 3000};
    m->ShortName = "CITY";
    struct TKind {
        const char* Name;
        int16_t Kind;
        std::vector<const char*> Classes;
    };
    const TKind kinds[] = {{"Roads", LayerKindLine, {"TPolyLine", "TPolyLineEx"}},
                           {"Blocks", LayerKindStyledPolygon, {"TPolygon", "TPolygonEx"}},
                           {"Names", LayerKindText, {"TText", "TTextEx"}},
                           {"Signs", LayerKindSign, {"TSign", "TSignEx", "TExactPoint"}},
                           {"Plans", LayerKindBitmap, {"TBmp"}}};
    auto objects = MapObjects();
    for (const TKind& k : kinds) {
        auto layer = std::make_unique<TLayer>();
        layer->Name = k.Name;
        layer->Kind = k.Kind;
        layer->LayerId = k.Kind + 1;
        if (withObjects)
            for (auto& o : objects)
                for (const char* c : k.Classes)
                    if (o && ClassNameOf(*o) == c) layer->Insert(o.release());
        m->Insert(layer.release());
    }
    auto group = std::make_unique<TGapLayer>();
    group->Name = "Group";
    auto inner = std::make_unique<TLayer>();
    inner->Name = "Inner";
    inner->LayerId = 30;
    group->Insert(inner.release());
    m->Insert(group.release());
    if (!sheet) {
        auto info = std::make_unique<TInfoLayer>();
        info->Name = "Info";
        info->LayerId = 31;
        m->Insert(info.release());
    }
    return m;
}

std::string Context(uint8_t form, double scale, int32_t ox, int32_t oy, int32_t ybase)
{
    std::string b(1, char(form));
    char d[8];
    std::memcpy(d, &scale, 8);
    b.append(d, 8);
    Put32(b, uint32_t(ox));
    Put32(b, uint32_t(oy));
    Put32(b, uint32_t(ybase));
    Put32(b, 1);
    return b;
}

void RecordSeeds()
{
    // Map objects in the sheet form (two contexts) and the stream form; the
    // project records in the project form and the stream form.
    int n = 0;
    for (const auto& item : MapObjects()) {
        const std::string name = ClassNameOf(*item) + "-" + std::to_string(n++);
        TFileContext c;
        c.FilerScale = 1.0;
        {
            TMemoryStream m;
            m.SetContext(c);
            TWriter w(m);
            WriteMapObject(w, item.get());
            Save("mapobj", name + ".sheet", Context(0, 1.0, 0, 0, 0) + m.Bytes());
            if (dynamic_cast<TBmp*>(item.get())) Save("mapobj", name + ".project", Context(1, 1.0, 0, 0, 0) + m.Bytes());
        }
        TFileContext shifted;
        shifted.FilerScale = 0.5, shifted.OriginX = 1, shifted.OriginY = 2, shifted.YBase = 10;
        try {
            TMemoryStream m;
            m.SetContext(shifted);
            TWriter w(m);
            WriteMapObject(w, item.get());
            Save("mapobj", name + "-shifted.sheet", Context(3, 0.5, 1, 2, 10) + m.Bytes());
        } catch (const EWriteError&) {
        }
        TMemoryStream s;
        StoreItem(s, item.get());
        Save("mapobj", name + ".stream", Context(2, 1.0, 0, 0, 0) + s.Bytes());
    }
    for (const auto& item : ProjectRecords()) {
        const std::string name = ClassNameOf(*item) + "-" + std::to_string(n++);
        TMemoryStream m;
        TWriter w(m);
        WriteProjectItem(w, item.get());
        Save("mapobj", name + ".project", Context(1, 1.0, 0, 0, 0) + m.Bytes());
        TMemoryStream s;
        StoreItem(s, item.get());
        Save("mapobj", name + ".stream", Context(2, 1.0, 0, 0, 0) + s.Bytes());
    }

    // Projects: an empty one, one with a name and an extent; collections of
    // project records (read when the magic is missing).
    auto projectBytes = [](const TProject& p) {
        TMemoryStream m;
        TWriter w(m);
        p.WriteFiler(w);
        return m.Bytes();
    };
    Save("prj", "empty.prj", projectBytes(TProject()));
    {
        TProject levels("levels");
        auto level = std::make_unique<TLevel>("Main", 1);
        level->Scale = 1;
        level->MaxScale = 50000;
        level->MinScale = 500;
        level->Sheets->Insert(new TSheet("north.map", 1, 0, 0, 3000, 4000, TPoint{4000, 3000}));
        level->Map = SeedMap(false);
        levels.Insert(level.release());
        levels.ExpandExtent({0, 3000, 4000, 0});
        Save("prj", "levels.prj", projectBytes(levels));
    }

    // A sheet with objects in every layer, written as the model writes one.
    {
        TFileContext c;
        c.MapScale = 1;
        TMemoryStream m;
        m.SetContext(c);
        TWriter w(m);
        SeedMap(true, true)->WriteFiler16(w);
        Save("map", "city.map", m.Bytes());
        TMemoryStream bare;
        bare.SetContext(c);
        TWriter wb(bare);
        TMap().WriteFiler16(wb);
        Save("map", "empty.map", bare.Bytes());
    }
    TProject city("\xC3\xEE\xF0\xEE\xE4");
    city.ExpandExtent({1000, 9000, 8000, 2000});
    city.NextID = 41;
    Save("prj", "city.prj", projectBytes(city));
    TCollection records;
    for (auto& item : ProjectRecords()) records.Insert(item.release());
    {
        TMemoryStream m;
        TWriter w(m);
        records.WriteFiler(w);
        Save("prj", "records.col", m.Bytes());
    }
    TCollection one;
    one.Insert(new TLayerID());
    {
        TMemoryStream m;
        TWriter w(m);
        one.WriteFiler(w);
        Save("prj", "one.col", m.Bytes());
    }

    // Block files: the header block, the project, and items of every kind;
    // one with a block grown (moved to the end) and one deleted.
    auto blockFile = [&](const char* name, bool reshaped) {
        auto stream = std::make_unique<TMemoryStream>();
        TMemoryStream* raw = stream.get();
        TFlatFile file(std::move(stream), TFlatFile::TOpenMode::ReadWrite);
        auto put = [&](const std::string& bytes) {
            int32_t h = file.NewObject(0);
            file.WriteObject(h, bytes.data(), int32_t(bytes.size()));
            return h;
        };
        TMemoryStream header;
        TMapHeaderBlock hb;
        hb.Text1 = "north";
        hb.Store(header);
        put(header.Bytes());
        TMemoryStream project;
        city.Store(project);
        const int32_t ph = put(project.Bytes());
        for (const auto& item : MapObjects()) {
            TMemoryStream s;
            StoreItem(s, item.get());
            put(s.Bytes());
            if (!reshaped) break;
        }
        TMemoryStream list;
        StoreItem(list, &records);
        put(list.Bytes());
        TMemoryStream map;
        map.Context().MapScale = 1;
        StoreItem(map, SeedMap(reshaped).get());
        put(map.Bytes());
        if (reshaped) {
            const std::string grown(300, 'g');
            file.WriteObject(ph, grown.data(), int32_t(grown.size()));
            file.WriteObject(ph + 1, "", 0);
        }
        file.SaveMap();
        Save("mts", name, raw->Bytes());
    };
    blockFile("city.mts", false);
    blockFile("reshaped.mts", true);
    {
        auto stream = std::make_unique<TMemoryStream>();
        TMemoryStream* raw = stream.get();
        TFlatFile file(std::move(stream), TFlatFile::TOpenMode::ReadWrite);
        file.SaveMap();
        Save("mts", "empty.mts", raw->Bytes());
    }
}

// ---------------------------------------------------------------- ini files

void IniSeeds()
{
    // Written through the ini module and the identifier service, then a
    // hand-edited file with what such files carry.
    const fs::path work = Out / "work";
    fs::create_directories(work);
    {
        const std::string path = (work / "tarn.ini").string();
        auto ini = TIniFile::Open(path);
        ini->WriteString("Main", "Project", "C:\\CITY\\TARN.PRJ");
        ini->WriteInteger("Main", "Scale", 2000);
        ini->WriteString("\xCE\xEA\xED\xEE", "\xD8\xE8\xF0\xE8\xED\xE0", "\"640\"");
        ini->WriteInteger("Window", "Left", -12);
        Save("ini", "tarn.ini", ReadAll(path));
    }
    {
        TUniqueID ids(work.string());
        ids.GetLayerID("\xC4\xEE\xEC\xE0");
        ids.GetLayerID("roads");
        ids.GetLayerID(" padded=name ");
        ids.GetFileID("C:\\CITY\\NORTH.MAP");
        Save("ini", "tsclnt31.ini", ReadAll(ids.IniName));
    }
    Save("ini", "edited.ini",
         "; comment\r\n[ Main ]\r\n  key = 'quoted' \r\nnum=+0012abc\r\n\r\n[main]\r\nkey=dup\r\n[Layers]\r\n"
         "Maxs=2\r\nA=1\r\nB=2\r\n[Files]\nx.map=7\nMaxs=7\n[broken\nnoequals\n=novalue\n");
}

// ---------------------------------------------------------------- the model's files

// The demo city's projects and sheets (those up to the model targets' input
// length), and its projects saved by the model as block files.
void ModelSeeds()
{
    const fs::path city = Out / "work" / "city";
    city::TCityOptions o;
    o.OutDir = city.string();
    o.Objects = city::MinObjects;
    o.SymbolLibrary = TARN_SYMBOLS_DLL;
    city::MakeCity(o);
    for (const auto& entry : fs::directory_iterator(city)) {
        const std::string name = entry.path().filename().string(), ext = entry.path().extension().string();
        if (ext == ".prj") Save("model_prj", name, ReadAll(entry.path().string()));
        if (ext == ".map" && entry.file_size() <= 40000) Save("model_map", name, ReadAll(entry.path().string()));
        if (ext != ".prj") continue;
        TModel model;
        model.ProgramDir = city.string();
        model.OpenFile(entry.path().string());
        const std::string mts = (city / entry.path().stem()).string() + ".mts";
        model.SaveFile(mts, 0);
        Save("model_mts", entry.path().stem().string() + ".mts", ReadAll(mts));
    }
}

// ---------------------------------------------------------------- the object database

// The demo city's database files (tarn.dat cut at the last record that
// ends within the target's input length), and small files of every kind
// of record written through the database writer.
void DatabaseSeeds()
{
    const fs::path city = Out / "work" / "city";
    Save("tarndat", "tarn.d05", ReadAll((city / city::SupplementFile).string()));
    Save("tarndat", "banners.dat", ReadAll((city / city::BannerFile).string()));
    const std::string dat = ReadAll((city / city::DatabaseFile).string());
    TMemoryStream stream(dat);
    TDataReader reader(stream);
    TGroupTable table;
    ReadGroupLevelTable(reader, table);
    int64_t cut = reader.Position();
    while (!reader.AtEnd()) {
        ReadTarnRecord(reader);
        if (reader.Position() > 60000) break;
        cut = reader.Position();
    }
    Save("tarndat", "tarn.dat", dat.substr(0, std::size_t(cut)));

    city::TDataFileWriter w({{1, "Group", 0}, {1, "Sub", 1}, {2, "Other", 1}});
    auto record = [&w](const char* name, const char* type, TObjectKey key, std::string data, bool present = true) {
        city::TDataRecord r;
        r.Name = name;
        r.Group = 1;
        r.SubGroup = 2;
        r.FileType = type;
        r.Key = key;
        r.Data = std::move(data);
        r.DataPresent = present;
        r.Archive = std::string(type) == "ZIP";
        r.Text = r.Archive ? "index.htm" : "";
        w.Add(r);
    };
    record("key", "???", {0, 1, 134, 24, 1}, "", false);
    record("present", "???", {0, 1, 134, 24, 2}, "", true);
    record("text", "TXT", {1, 1, 11, 5, 811}, "text\r\n|255red\r\n");
    record("place", "TXT", {0, 1, 67, 7, 3}, "p");
    record("site", "ZIP", {0, 1, 135, 24, 4}, "PK\x03\x04");
    record("absent", "JPG", {0, 1, 136, 24, 5}, "", false);
    record("zero", "???", {1, 7, 0, 0, 0}, "");
    Save("tarndat", "kinds.dat", w.Bytes());
}

// ---------------------------------------------------------------- cards

// The demo city's rich cards, and small files of the constructs each
// reader knows.
void CardSeeds()
{
    const city::TCardSubject subject{"Имя", {"Адрес: улица", "Телефон — 1-23-45", "Слова"}, 7};
    Save("rtf", "card.rtf", city::RtfCard(subject));
    Save("rtf", "table.rtf", "{\\rtf1\\trowd\\cellx1\\cellx2\\pard\\intbl a\\cell b\\par c\\cell\\row\\pard d}");
    Save("rtf", "field.rtf", "{\\rtf1{\\field{\\*\\fldinst{HYPERLINK \"http://a.example\"}}{\\fldrslt{x}}} www.b.example}");
    Save("rtf", "codes.rtf", "{\\rtf1\\ansi\\ansicpg1251{\\fonttbl{\\f1\\fcharset238 A;}}{\\colortbl;\\red1\\green2\\blue3;}"
                             "\\f1\\'e8\\uc2\\u1046\\'3f\\'3f\\cf1\\b\\i\\ul\\fs40 x\\plain\\qc\\line\\tab{\\*\\x y}}");
    Save("zip", "site.zip", city::ZipSiteCard(subject));
    Save("zip", "small.zip", city::StoredZip({{"a/", ""}, {"a\\b.txt", "b"}, {"../c", "c"}}));
    Save("wmf", "card.wmf", city::WmfCard(subject));
    const std::string wmf = city::WmfCard(subject);
    Save("wmf", "plain.wmf", wmf.substr(22));  // without the placeable header
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
        return 2;
    }
    Out = argv[1];
    try {
        RegisterMapEngineClasses();
        fs::create_directories(Out);
        PictureSeeds();
        RecordSeeds();
        IniSeeds();
        ModelSeeds();
        DatabaseSeeds();
        CardSeeds();
        fs::remove_all(Out / "work");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
