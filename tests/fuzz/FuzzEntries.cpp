#include "FuzzEntries.h"

#include "data/DrawContext.h"
#include "data/FlatFile.h"
#include "data/Layers.h"
#include "data/MapObj.h"
#include "data/Project.h"
#include "data/Rasters.h"
#include "data/Registration.h"
#include "data/_Common.h"
#include "data/Utils.h"
#include "data/ldr_bmps.h"
#include "platform/Ini.h"
#include "platform/TarnGdi.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <unistd.h>

namespace tarn::fuzz {

namespace fs = std::filesystem;

namespace {

[[noreturn]] void Broken(const std::string& what) { throw EFuzzCheck(what); }

// Where two written forms part, with the bytes from there, in hex.
std::string Difference(const std::string& first, const std::string& second)
{
    std::size_t at = 0;
    while (at < first.size() && at < second.size() && first[at] == second[at]) ++at;
    auto hex = [at](const std::string& b) {
        static const char digits[] = "0123456789ABCDEF";
        std::string h;
        for (std::size_t i = at; i < b.size() && i < at + 16; ++i) {
            h += digits[uint8_t(b[i]) >> 4];
            h += digits[uint8_t(b[i]) & 15];
            h += ' ';
        }
        return h;
    };
    char offset[32];
    std::snprintf(offset, sizeof offset, "0x%zX", at);
    return std::string(" (sizes ") + std::to_string(first.size()) + " and " + std::to_string(second.size()) +
           ", first difference at " + offset + ": " + hex(first) + "| " + hex(second) + ")";
}

void WriteFile(const std::string& path, const uint8_t* data, std::size_t size)
{
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(data), std::streamsize(size));
    f.close();
    if (!f) Broken("cannot write " + path);
}

struct TFolder {
    std::string Path;
    TFolder()
    {
        // In memory where there is such a folder: the writers sync every file.
        std::error_code ec;
        const fs::path base = ::access("/dev/shm", W_OK) == 0 ? fs::path("/dev/shm") : fs::temp_directory_path(ec);
        std::string pattern = (base / "tarn-fuzz-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) std::abort();
        Path = pattern;
    }
    ~TFolder()
    {
        std::error_code ec;
        fs::remove_all(Path, ec);
    }
};

std::string SubFolder(const char* name)
{
    std::string dir = FuzzFolder() + "/" + name;
    std::error_code ec;
    fs::create_directories(dir, ec);
    return dir;
}

// ---------------------------------------------------------------- round trips

enum class TForm { Sheet, Project, Stream };

TAbstractItem* ReadForm(TStream& s, TForm form)
{
    if (form == TForm::Stream) return LoadRegisteredItem(s, nullptr);
    TReader r(s);
    return form == TForm::Sheet ? ReadMapObject(r) : ReadProjectItem(r);
}

std::string WriteForm(const TAbstractItem& item, TForm form, TFileContext& context)
{
    TMemoryStream m;
    m.SetContext(context);
    if (form == TForm::Stream) {
        StoreItem(m, &item);
    } else {
        TWriter w(m);
        if (form == TForm::Sheet) WriteMapObject(w, &item);
        else WriteProjectItem(w, &item);
    }
    return m.TakeBytes();
}

// What was read and can be written must read back and write the same bytes
// again. A record the form cannot hold (EWriteError) is no fault.
void CheckRoundTrip(const TAbstractItem& item, TForm form, TFileContext& context)
{
    std::string first;
    try {
        first = WriteForm(item, form, context);
    } catch (const EWriteError&) {
        return;
    }
    std::unique_ptr<TAbstractItem> again;
    try {
        TMemoryStream s(first);
        s.SetContext(context);
        again.reset(ReadForm(s, form));
        if (s.Remaining() != 0) Broken("the written record leaves bytes unread");
    } catch (const ETarnError& e) {
        Broken(std::string("a written record does not read back: ") + e.what());
    }
    std::string second;
    try {
        second = WriteForm(*again, form, context);
    } catch (const ETarnError& e) {
        Broken(std::string("a record read back cannot be written again: ") + e.what());
    }
    if (first != second) Broken("a record read back writes other bytes" + Difference(first, second));
    if (const auto* object = dynamic_cast<const TBaseObject*>(&item)) {
        std::unique_ptr<TBaseObject> copy = object->Clone();
        std::string copied;
        try {
            copied = WriteForm(*copy, form, context);
        } catch (const ETarnError& e) {
            Broken(std::string("a copy cannot be written: ") + e.what());
        }
        if (copied != first) Broken("a copy writes other bytes than its original" + Difference(first, copied));
    }
}

// ---------------------------------------------------------------- rasters

TDeviceContext& Canvas()
{
    static TGdiRef<TBitmap> bitmap = TBitmap::Create(64, 48);
    static TDeviceContext dc(*bitmap);
    return dc;
}

void DrawRaster(TTiledRaster& raster)
{
    TDeviceContext& dc = Canvas();
    const int32_t w = raster.Width(), h = raster.Height();
    raster.DrawRaster(dc, {0, 0, 64, 48}, {0, 0, w, h}, TGDI_SRCCOPY);                       // shrunk
    raster.DrawRaster(dc, {0, 0, 64, 48}, {w / 2, h / 2, w / 2 + 64, h / 2 + 48}, TGDI_SRCCOPY);  // one to one
    raster.DrawRaster(dc, {0, 0, 64, 48}, {w - 4, h - 3, w + 4, h + 3}, TGDI_SRCCOPY);        // enlarged, edge
}

} // namespace

const std::string& ReferencePicture()
{
    static const std::string bytes = [] {
        const int32_t w = 600, h = 300, rowBytes = (w + 31) / 32 * 4;
        const uint32_t pixelOffset = 14 + 40 + 8;
        std::string b;
        auto put16 = [&](uint32_t v) { b.push_back(char(v & 0xFF)); b.push_back(char((v >> 8) & 0xFF)); };
        auto put32 = [&](uint32_t v) { put16(v & 0xFFFF); put16(v >> 16); };
        b += "BM";
        put32(pixelOffset + uint32_t(rowBytes * h));
        put32(0);
        put32(pixelOffset);
        put32(40);
        put32(w);
        put32(h);
        put16(1);
        put16(1);
        put32(0);
        put32(uint32_t(rowBytes * h));
        put32(2835);
        put32(2835);
        put32(2);
        put32(0);
        put32(0xFFFFFF);
        put32(0x000000);
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < rowBytes; ++x) b.push_back(char((x * 7 + y * 13) & 0xFF));
        return b;
    }();
    return bytes;
}

namespace {

// ---------------------------------------------------------------- map objects drawn

// A loaded object goes on to be drawn, tested against views and hit: two
// views, one of the world's first 100 units and one around the object's
// anchor at a scale the input picks. Texts need a font and draw nothing here.
void DrawObject(TBaseObject& object, uint8_t options, double scale)
{
    struct TTools {
        TGdiRef<TBitmap> Bitmap = TBitmap::Create(64, 48);
        TDeviceContext DC{*Bitmap};
        TGdiRef<TPen> Pen = TPen::Create(TGDI_PS_SOLID, 0, 0);
        TGdiRef<TPen> SelectPen = TPen::Create(TGDI_PS_SOLID, 0, 0xFF0000);
        TGdiRef<TBrush> Fill = TBrush::CreateSolid(0x00FFFF);
        TGdiRef<TBrush> Select = TBrush::CreateSolid(0xFFFF00);
    };
    static TTools tools;
    TDrawContext c;
    c.DC = &tools.DC;
    c.ClientRect = {0, 0, 64, 48};
    c.LayerPen = tools.Pen;
    c.SelectPen = tools.SelectPen;
    c.FillBrush = tools.Fill;
    c.SelectBrush = tools.Select;
    c.MmPerPixel = 0.25;
    c.OwnAttributes = (options & 2) != 0;
    c.ShowLabels = (options & 4) != 0;
    c.DrawOptions[DrawOptionVertexMarks] = (options & 8) != 0;
    c.DrawOptions[DrawOptionArrows] = (options & 16) != 0;
    c.DrawOptions[DrawOptionStyledVertexMarks] = (options & 32) != 0;
    c.LinePixelWidth = 10;
    if (options & 1) object.SetFlags(object.Flags() | ObjFlagSelected);

    auto view = [&](double perPixel, int64_t cx, int64_t cy) {
        auto clamp = [](int64_t v) { return int32_t(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); };
        const int64_t hw = int64_t(std::llround(std::min(32 * perPixel, 1e12))), hh = int64_t(std::llround(std::min(24 * perPixel, 1e12)));
        c.Scale = perPixel;
        c.SizeScale = 1000 / perPixel;
        c.WorldRect = {clamp(cx - hw), clamp(cy + hh), clamp(cx + hw), clamp(cy - hh)};
        int32_t index = 0;
        if (object.InView(c)) object.Draw(c);
        object.HitTest(c, object.X, object.Y, index);
        object.HitTest(c, c.WorldRect.Left, c.WorldRect.Bottom, index);
        object.InRect(c, c.WorldRect);
    };
    view(100.0 / 64, 50, 50);
    if (std::isfinite(scale) && scale >= 1e-3 && scale <= 1e9) view(scale, object.X, object.Y);
}

// ---------------------------------------------------------------- ini

// Names as the ini module compares them: trimmed, letters of code page 1251
// without regard to case.
bool SameIniName(std::string_view a, std::string_view b)
{
    auto trim = [](std::string_view s) {
        while (!s.empty() && std::strchr(" \t\r\n\v\f", s.front()) && s.front()) s.remove_prefix(1);
        while (!s.empty() && std::strchr(" \t\r\n\v\f", s.back()) && s.back()) s.remove_suffix(1);
        return s;
    };
    auto fold = [](unsigned char c) {
        if ((c >= 'a' && c <= 'z') || c >= 0xE0) return static_cast<unsigned char>(c - 32);
        return c == 0xB8 ? static_cast<unsigned char>(0xA8) : c;
    };
    a = trim(a);
    b = trim(b);
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (fold(static_cast<unsigned char>(a[i])) != fold(static_cast<unsigned char>(b[i]))) return false;
    return true;
}

struct TIniSnapshot {
    std::map<std::pair<std::string, std::string>, std::string> Values;
    std::vector<std::string> Sections;
};

TIniSnapshot ReadEverything(TIniFile& ini)
{
    TIniSnapshot snap;
    snap.Sections = ini.ReadSections();
    for (const std::string& section : snap.Sections) {
        if (!ini.SectionExists(section)) Broken("a listed section is not found: [" + section + "]");
        for (const std::string& key : ini.ReadSectionKeys(section)) {
            if (!ini.ValueExists(section, key)) Broken("a listed key is not found: " + key);
            std::string value = ini.ReadString(section, key, "");
            const int32_t number = ini.ReadInteger(section, key, -7);
            if (value.empty() ? number != -7 : number != ParseProfileInt(value))
                Broken("a key's integer differs from its text: " + key);
            if (ini.ReadString(section, key, "", 3) != value.substr(0, 3)) Broken("a shortened value differs");
            snap.Values[{section, key}] = std::move(value);
        }
    }
    return snap;
}

// The identifiers the file gives names of a section ("Maxs" aside).
std::vector<int64_t> SectionIdentifiers(TIniFile& ini, const char* section)
{
    std::vector<int64_t> ids;
    for (const std::string& key : ini.ReadSectionKeys(section)) {
        if (RusUpperCase(key) == "MAXS") continue;
        const std::string v = ini.ReadString(section, key, "", 100);
        std::size_t i = v.size() > 0 && (v[0] == '+' || v[0] == '-') ? 1 : 0;
        if (i == v.size() || v.size() > 12 || v.find_first_not_of("0123456789", i) != std::string::npos) continue;
        ids.push_back(std::stoll(v));
    }
    return ids;
}

void CheckIdentifiers(const std::string& dir)
{
    TUniqueID ids(dir);
    auto ini = TIniFile::Open(ids.IniName);
    struct TAsk {
        const char* Section;
        std::string Name;  // as asked
        std::string Key;   // as stored
        bool Layer;
    };
    // Two layer names (code page 1251) and a map file given with a Windows folder.
    const TAsk asks[] = {{"Layers", "\xC4\xEE\xEC\xE0", "\xC4\xEE\xEC\xE0", true},
                         {"Layers", "\xD3\xEB\xE8\xF6\xFB", "\xD3\xEB\xE8\xF6\xFB", true},
                         {"Files", "C:\\CITY\\TARN.MAP", "TARN.MAP", false}};
    for (const TAsk& a : asks) {
        const bool known = ini->ValueExists(a.Section, a.Key);
        const std::vector<int64_t> before = SectionIdentifiers(*ini, a.Section);
        int32_t id = 0;
        try {
            id = a.Layer ? ids.GetLayerID(a.Name) : ids.GetFileID(a.Name);
        } catch (const ETarnError&) {
            return; // a value that is no number: refused, as it should be
        }
        if (!known)
            for (int64_t v : before)
                if (v == id)
                    Broken("a new name in [" + std::string(a.Section) + "] got the identifier " + std::to_string(v) +
                           " that the file already gives another name");
        const int32_t again = a.Layer ? ids.GetLayerID(a.Name) : ids.GetFileID(a.Name);
        if (again != id) Broken("the same name got two identifiers");
    }
}

} // namespace

const std::string& FuzzFolder()
{
    static TFolder folder;
    return folder.Path;
}

// ---------------------------------------------------------------- entries

TFuzzResult FuzzBmp(const uint8_t* data, std::size_t size)
{
    TMemoryStream s(data, size);
    s.SetName("fuzz.bmp");
    try {
        const TBmpHeader h = ReadBmpHeader(s);
        if (int64_t(h.Width) * h.Height > MaxFuzzPixels) return TFuzzResult::Accepted;
        TGdiRef<TBitmap> bmp = ReadBitmap(s);
        if (!bmp || bmp->Width() != h.Width || bmp->Height() != h.Height)
            Broken("the image does not have the size of its header");
    } catch (const ETarnError&) {
        return TFuzzResult::Refused;
    }
    return TFuzzResult::Accepted;
}

TFuzzResult FuzzTr(const uint8_t* data, std::size_t size)
{
    const std::string dir = SubFolder("tr");
    const std::string picture = dir + "/pic.bmp", cache = dir + "/pic.tr";
    std::error_code ec;
    fs::remove(picture, ec);
    fs::remove(cache, ec);

    if (size >= 2 && data[0] == 'B' && data[1] == 'M') {
        // A picture to build a cache from.
        try {
            TMemoryStream s(data, size);
            const TBmpHeader h = ReadBmpHeader(s);
            if (int64_t(h.Width) * h.Height > MaxFuzzPixels) return TFuzzResult::Accepted;
        } catch (const ETarnError&) {
            return TFuzzResult::Refused;
        }
        WriteFile(picture, data, size);
        std::unique_ptr<TTiledRaster> built;
        try {
            built = TTiledRaster::OpenRaster(picture);
        } catch (const ETarnError&) {
            if (std::distance(fs::directory_iterator(dir), fs::directory_iterator()) != 1)
                Broken("a refused picture left a cache or a temporary file behind");
            return TFuzzResult::Refused;
        }
        if (!built) return TFuzzResult::Accepted;  // a picture of more colours
        DrawRaster(*built);
        const int32_t w = built->Width(), h = built->Height();
        built.reset();
        // The cache just built must be taken as it is.
        fs::last_write_time(cache, fs::last_write_time(picture) + std::chrono::seconds(10));
        const auto stamp = fs::last_write_time(cache);
        std::unique_ptr<TTiledRaster> reopened;
        try {
            reopened = TTiledRaster::OpenRaster(picture);
        } catch (const ETarnError& e) {
            Broken(std::string("a cache just built does not open: ") + e.what());
        }
        if (!reopened || reopened->Width() != w || reopened->Height() != h) Broken("a cache just built reopens wrong");
        if (fs::last_write_time(cache) != stamp) Broken("a cache just built was built again");
        DrawRaster(*reopened);
        return TFuzzResult::Accepted;
    }

    // A cache alone: its own header is all it is checked against.
    TFuzzResult result = TFuzzResult::Accepted;
    WriteFile(cache, data, size);
    try {
        std::unique_ptr<TTiledRaster> alone = TTiledRaster::OpenRaster(picture);
        if (!alone) Broken("a cache alone opened as nothing");
        DrawRaster(*alone);
    } catch (const ETarnError&) {
        result = TFuzzResult::Refused;
    }
    // The same cache beside a picture it may not match: used or rebuilt, and
    // what is opened is the picture's.
    const std::string& ref = ReferencePicture();
    WriteFile(picture, reinterpret_cast<const uint8_t*>(ref.data()), ref.size());
    WriteFile(cache, data, size);
    fs::last_write_time(cache, fs::last_write_time(picture) + std::chrono::seconds(10));
    std::unique_ptr<TTiledRaster> beside;
    try {
        beside = TTiledRaster::OpenRaster(picture);
    } catch (const ETarnError& e) {
        Broken(std::string("a good picture with a bad cache is refused: ") + e.what());
    }
    if (!beside || beside->Width() != 600 || beside->Height() != 300) Broken("the picture's raster has the wrong size");
    DrawRaster(*beside);
    return result;
}

TFuzzResult FuzzMts(const uint8_t* data, std::size_t size)
{
    RegisterMapEngineClasses();
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    std::vector<std::pair<int32_t, std::string>> blocks;
    try {
        auto stream = std::make_unique<TMemoryStream>(bytes);
        stream->SetName("fuzz.mts");
        TFlatFile file(std::move(stream), TFlatFile::TOpenMode::Read);
        for (int32_t rec = 0; rec < file.Count; ++rec) {
            const TFlatFileBlock b = file.Block(rec);
            if (b.Handle == TFlatFile::FirstHandle || b.Handle == TFlatFile::TailHandle ||
                b.Handle == TFlatFile::MapHandle)
                continue;
            if (!file.ObjectExists(b.Handle) || file.RecordOf(b.Handle) != rec) continue;
            blocks.emplace_back(b.Handle, file.ReadObject(b.Handle));
        }
    } catch (const ETarnError&) {
        return TFuzzResult::Refused;
    }

    // Every block as each record a block can hold.
    for (const auto& [handle, block] : blocks) {
        try {
            TMemoryStream s(block);
            TMapHeaderBlock header(s, nullptr);
        } catch (const ETarnError&) {
        }
        try {
            TMemoryStream s(block);
            TProject project(s, nullptr);
        } catch (const ETarnError&) {
        }
        std::unique_ptr<TAbstractItem> item;
        TFileContext context;
        try {
            TMemoryStream s(block);
            s.SetContext(context);
            item.reset(LoadRegisteredItem(s, nullptr));
        } catch (const ETarnError&) {
        }
        if (item) CheckRoundTrip(*item, TForm::Stream, context);
    }

    // One block rewritten on a copy: the copy opens, the other blocks read as before.
    const int32_t target = blocks.empty() ? 0 : blocks[size % blocks.size()].first;
    const std::string payload(size % 700, char('a' + size % 26));
    std::string written;
    int32_t handle = 0;
    try {
        auto stream = std::make_unique<TMemoryStream>(bytes);
        TMemoryStream* raw = stream.get();
        TFlatFile file(std::move(stream), TFlatFile::TOpenMode::ReadWrite);
        handle = target != 0 ? target : file.NewObject(0);
        file.WriteObject(handle, payload.data(), int32_t(payload.size()));
        file.SaveMap();
        written = raw->Bytes();
    } catch (const ETarnError& e) {
        Broken(std::string("a block file that reads cannot be written: ") + e.what());
    }
    try {
        auto stream = std::make_unique<TMemoryStream>(written);
        TFlatFile file(std::move(stream), TFlatFile::TOpenMode::Read);
        if (file.ReadObject(handle) != payload) Broken("a rewritten block reads other bytes");
        for (const auto& [h, block] : blocks)
            if (h != handle && file.ReadObject(h) != block) Broken("rewriting one block changed another");
    } catch (const ETarnError& e) {
        Broken(std::string("a rewritten block file does not open: ") + e.what());
    }
    return TFuzzResult::Accepted;
}

TFuzzResult FuzzPrj(const uint8_t* data, std::size_t size)
{
    RegisterMapEngineClasses();
    TMemoryStream s(data, size);
    s.SetName("fuzz.prj");
    TReader reader(s);
    const bool project = size >= 10 && std::memcmp(data, ProjectMagic, 10) == 0;
    std::unique_ptr<TCollection> read;
    try {
        if (project) read = std::make_unique<TProject>(reader);
        else read = std::make_unique<TCollection>(reader, TCollection::FromProject{});
    } catch (const ETarnError&) {
        return TFuzzResult::Refused;
    }
    auto write = [&](const TCollection& c) {
        TMemoryStream m;
        TWriter w(m);
        c.WriteFiler(w);
        return m.TakeBytes();
    };
    std::string first;
    try {
        first = write(*read);
    } catch (const EWriteError&) {
        return TFuzzResult::Accepted;  // holds a record the project form only reads
    }
    try {
        TMemoryStream again(first);
        TReader r(again);
        std::unique_ptr<TCollection> back;
        if (project) back = std::make_unique<TProject>(r);
        else back = std::make_unique<TCollection>(r, TCollection::FromProject{});
        const std::string second = write(*back);
        if (second != first) Broken("a project read back writes other bytes" + Difference(first, second));
    } catch (const ETarnError& e) {
        Broken(std::string("a written project does not read back: ") + e.what());
    }
    // The stream form of the same project (as a ".mts" block holds it).
    if (project) {
        TFileContext context;
        CheckRoundTrip(*read, TForm::Stream, context);
    }
    return TFuzzResult::Accepted;
}

TFuzzResult FuzzMapObj(const uint8_t* data, std::size_t size)
{
    RegisterMapEngineClasses();
    constexpr std::size_t head = 25;
    if (size < head) return TFuzzResult::Refused;
    const TForm form = data[0] % 3 == 0 ? TForm::Sheet : data[0] % 3 == 1 ? TForm::Project : TForm::Stream;
    TFileContext context;
    auto i32 = [&](std::size_t at) {
        uint32_t v = 0;
        std::memcpy(&v, data + at, 4);
        return int32_t(v);
    };
    std::memcpy(&context.FilerScale, data + 1, 8);
    context.OriginX = i32(9);
    context.OriginY = i32(13);
    context.YBase = i32(17);
    context.CurrentSheetID = i32(21);

    TMemoryStream s(data + head, size - head);
    s.SetName("fuzz record");
    s.SetContext(context);
    std::unique_ptr<TAbstractItem> item;
    try {
        item.reset(ReadForm(s, form));
    } catch (const ETarnError&) {
        return TFuzzResult::Refused;
    }
    // The filer keeps 16-bit coordinates: a point comes back exactly only
    // when a filer unit is at least a few world units.
    const double scale = std::fabs(context.FilerScale);
    if (form == TForm::Stream || (std::isfinite(scale) && scale >= 0.002 && scale <= 1e6))
        CheckRoundTrip(*item, form, context);
    if (auto* object = dynamic_cast<TBaseObject*>(item.get())) DrawObject(*object, uint8_t(data[0] / 3), scale * 1000);
    return TFuzzResult::Accepted;
}

TFuzzResult FuzzMap(const uint8_t* data, std::size_t size)
{
    RegisterMapEngineClasses();
    TFileContext context;
    TMemoryStream s(data, size);
    s.SetName("fuzz.map");
    s.SetContext(context);
    std::unique_ptr<TMap> map;
    try {
        TReader reader(s);
        map = std::make_unique<TMap>(reader, TLayer::FromMap16{});
    } catch (const ETarnError&) {
        return TFuzzResult::Refused;
    }
    // The sheet form again, then the project and stream forms of the same map.
    auto sheet = [&](const TMap& m) {
        TMemoryStream out;
        out.SetContext(context);
        TWriter w(out);
        m.WriteFiler16(w);
        return out.TakeBytes();
    };
    std::string first;
    try {
        first = sheet(*map);
    } catch (const EWriteError&) {
        return TFuzzResult::Accepted;
    }
    try {
        TMemoryStream again(first);
        again.SetContext(context);
        TReader r(again);
        TMap back(r, TLayer::FromMap16{});
        if (again.Remaining() != 0) Broken("a written sheet leaves bytes unread");
        const std::string second = sheet(back);
        if (second != first) Broken("a sheet read back writes other bytes" + Difference(first, second));
    } catch (const ETarnError& e) {
        Broken(std::string("a written sheet does not read back: ") + e.what());
    }
    // The project form drops a layer's transient flag on reading, so the
    // map it gives back is written once more before the two are compared.
    auto projectForm = [&](const TMap& m) {
        TMemoryStream out;
        out.SetContext(context);
        TWriter w(out);
        m.WriteFiler(w);
        return out.TakeBytes();
    };
    auto readProject = [&](const std::string& bytes) {
        TMemoryStream in(bytes);
        in.SetContext(context);
        TReader r(in);
        auto m = std::make_unique<TMap>(r);
        if (in.Remaining() != 0) Broken("a map written in the project form leaves bytes unread");
        return m;
    };
    std::string project;
    try {
        project = projectForm(*map);
    } catch (const EWriteError&) {
        return TFuzzResult::Accepted;
    }
    try {
        const std::string second = projectForm(*readProject(project));
        const std::string third = projectForm(*readProject(second));
        if (second != third)
            Broken("a map read back from the project form writes other bytes" + Difference(second, third));
    } catch (const ETarnError& e) {
        Broken(std::string("a map written in the project form does not read back: ") + e.what());
    }
    CheckRoundTrip(*map, TForm::Stream, context);
    return TFuzzResult::Accepted;
}

TFuzzResult FuzzIni(const uint8_t* data, std::size_t size)
{
    const std::string dir = SubFolder("ini");
    const std::string path = dir + "/tarn.ini";
    WriteFile(path, data, size);
    WriteFile(dir + "/" + TUniqueID::FileName, data, size);
    try {
        std::shared_ptr<TIniFile> ini = TIniFile::Open(path);
        const TIniSnapshot before = ReadEverything(*ini);

        std::string section = "Fuzz", key = "Key";
        for (const auto& [name, value] : before.Values) {
            section = name.first;
            key = name.second;
            break;
        }
        const std::string value = "v" + std::to_string(size);
        try {
            ini->WriteString(section, key, value);
        } catch (const EIniError&) {
            section = "Fuzz";
            key = "Key";
            ini->WriteString(section, key, value);
        }
        const TIniSnapshot after = ReadEverything(*ini);
        if (ini->ReadString(section, key, "") != value) Broken("a written key reads back otherwise");
        for (const auto& [name, v] : before.Values) {
            if (SameIniName(name.first, section) && SameIniName(name.second, key)) continue;
            auto it = after.Values.find(name);
            if (it == after.Values.end() || it->second != v)
                Broken("writing [" + section + "] " + key + " changed [" + name.first + "] " + name.second);
        }
    } catch (const ETarnError&) {
        return TFuzzResult::Refused;
    }
    CheckIdentifiers(dir);
    return TFuzzResult::Accepted;
}

const std::vector<TFuzzTarget>& FuzzTargets()
{
    static const std::vector<TFuzzTarget> targets = {
        {"bmp", FuzzBmp}, {"tr", FuzzTr}, {"mts", FuzzMts}, {"prj", FuzzPrj}, {"mapobj", FuzzMapObj},
        {"map", FuzzMap}, {"ini", FuzzIni}, {"model_prj", FuzzModelPrj}, {"model_mts", FuzzModelMts},
        {"model_map", FuzzModelMap}, {"tarndat", FuzzTarnDat}, {"rtf", FuzzRtf}, {"zip", FuzzZip},
        {"wmf", FuzzWmf},
    };
    return targets;
}

const TFuzzTarget* FindFuzzTarget(std::string_view name)
{
    for (const TFuzzTarget& t : FuzzTargets())
        if (name == t.Name) return &t;
    return nullptr;
}

} // namespace tarn::fuzz
