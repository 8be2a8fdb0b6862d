#include "Layers.h"
#include "Errors.h"
#include "LayerOps.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace tarn {

namespace {

// "Отсутствует" in code page 1251.
const std::string NoRefName = "\xCE\xF2\xF1\xF3\xF2\xF1\xF2\xE2\xF3\xE5\xF2";

constexpr std::size_t LogFontSize = 60;
constexpr std::size_t LogFont16Size = 50;

// ---------------------------------------------------------------- fixed fields

// A char[n] field: the bytes up to the first zero, at most n - 1 of them
// (a field without a terminator is cut before its last byte).
std::string ReadFixedName(TStream& s, std::size_t n, const char* field)
{
    std::string raw = s.readBytes(n, field);
    std::size_t len = raw.find('\0');
    if (len == std::string::npos || len > n - 1) len = n - 1;
    raw.resize(len);
    return raw;
}

void CheckFixedName(const std::string& text, std::size_t n, const char* field)
{
    if (text.size() > n - 1 || text.find('\0') != std::string::npos)
        throw EWriteError(std::string(field) + ": \"" + text + "\" does not fit a field of " + std::to_string(n) +
                          " bytes");
}

void WriteFixedName(TStream& s, const std::string& text, std::size_t n)
{
    s.writeBytes(text);
    static const char zeros[LayerTextSize] = {};
    s.Write(zeros, n - text.size());
}

void CheckFits16(int64_t value, bool isSigned, const char* field)
{
    bool fits = isSigned ? value >= INT16_MIN && value <= INT16_MAX : value >= 0 && value <= UINT16_MAX;
    if (!fits)
        throw EWriteError(std::string(field) + ": " + std::to_string(value) + " does not fit the sheet's " +
                          (isSigned ? "signed " : "unsigned ") + "16-bit field");
}

// ---------------------------------------------------------------- fonts

TLogFont ReadLogFont(TStream& s, const char* field)
{
    uint8_t b[LogFontSize];
    s.ReadBuffer(b, sizeof b, field);
    auto i32 = [&b](int at) {
        return static_cast<int32_t>(uint32_t(b[at]) | (uint32_t(b[at + 1]) << 8) | (uint32_t(b[at + 2]) << 16) |
                                    (uint32_t(b[at + 3]) << 24));
    };
    TLogFont f{};
    f.Height = i32(0);
    f.Width = i32(4);
    f.Escapement = i32(8);
    f.Orientation = i32(12);
    f.Weight = i32(16);
    f.Italic = b[20];
    f.Underline = b[21];
    f.StrikeOut = b[22];
    f.CharSet = b[23];
    f.OutPrecision = b[24];
    f.ClipPrecision = b[25];
    f.Quality = b[26];
    f.PitchAndFamily = b[27];
    std::memcpy(f.FaceName, b + 28, sizeof f.FaceName);
    return f;
}

void WriteFontBytes(TStream& s, const TLogFont& f)
{
    const uint8_t bytes[8] = {f.Italic,       f.Underline,     f.StrikeOut, f.CharSet,
                              f.OutPrecision, f.ClipPrecision, f.Quality,   f.PitchAndFamily};
    s.Write(bytes, sizeof bytes);
    s.Write(f.FaceName, sizeof f.FaceName);
}

void WriteLogFont(TStream& s, const TLogFont& f)
{
    for (int32_t v : {f.Height, f.Width, f.Escapement, f.Orientation, f.Weight}) s.writeI32LE(v);
    WriteFontBytes(s, f);
}

// The sheets' font: the five integers as 16 bits, sign-extended on reading.
TLogFont ReadLogFont16(TStream& s, const char* field)
{
    s.Require(LogFont16Size, field);
    TLogFont f{};
    f.Height = s.readI16LE(field);
    f.Width = s.readI16LE(field);
    f.Escapement = s.readI16LE(field);
    f.Orientation = s.readI16LE(field);
    f.Weight = s.readI16LE(field);
    uint8_t b[8];
    s.ReadBuffer(b, sizeof b, field);
    f.Italic = b[0];
    f.Underline = b[1];
    f.StrikeOut = b[2];
    f.CharSet = b[3];
    f.OutPrecision = b[4];
    f.ClipPrecision = b[5];
    f.Quality = b[6];
    f.PitchAndFamily = b[7];
    s.ReadBuffer(f.FaceName, sizeof f.FaceName, field);
    return f;
}

void CheckLogFont16(const TLogFont& f, const char* field)
{
    for (int32_t v : {f.Height, f.Width, f.Escapement, f.Orientation, f.Weight}) CheckFits16(v, true, field);
}

void WriteLogFont16(TStream& s, const TLogFont& f)
{
    for (int32_t v : {f.Height, f.Width, f.Escapement, f.Orientation, f.Weight})
        s.writeI16LE(static_cast<int16_t>(v));
    WriteFontBytes(s, f);
}

// ---------------------------------------------------------------- the style block

// Flags to the text font, in the order every form but the layer's stream
// form keeps them: Flags, Kind, LayerParam, Colour, Colour2, Style3,
// Style1, Style2, ScaleLimit, and a text layer's font. Sheets hold the
// flags and styles in 16 bits and the font in 50 bytes.
enum class TWidth { Full, Sheet };

void ReadStyleBlock(TStream& s, TCustomLayer& l, TWidth width)
{
    const bool sheet = width == TWidth::Sheet;
    l.Flags = sheet ? s.readU16LE("layer flags") : s.readU32LE("layer flags");
    l.Kind = s.readI16LE("layer kind");
    l.LayerParam = s.readI16LE("layer parameter");
    l.Colour = s.readI32LE("layer colour");
    l.Colour2 = s.readI32LE("layer colour 2");
    int32_t* styles[3] = {&l.Style3, &l.Style1, &l.Style2};
    for (int32_t* v : styles) *v = sheet ? s.readI16LE("layer style") : s.readI32LE("layer style");
    l.ScaleLimit = s.readI32LE("layer scale limit");
    if (IsTextKind(l.Kind)) {
        l.TextFont = sheet ? ReadLogFont16(s, "layer font") : ReadLogFont(s, "layer font");
        l.Colour2 = 0;  // held the font's address once: no meaning
    }
}

void WriteStyleBlock(TStream& s, const TCustomLayer& l, TWidth width)
{
    const bool sheet = width == TWidth::Sheet;
    if (sheet) s.writeU16LE(static_cast<uint16_t>(l.Flags));  // the sheet keeps the low 16 bits
    else s.writeU32LE(l.Flags);
    s.writeI16LE(l.Kind);
    s.writeI16LE(l.LayerParam);
    s.writeI32LE(l.Colour);
    s.writeI32LE(IsTextKind(l.Kind) ? 0 : l.Colour2);
    for (int32_t v : {l.Style3, l.Style1, l.Style2}) {
        if (sheet) s.writeI16LE(static_cast<int16_t>(v));
        else s.writeI32LE(v);
    }
    s.writeI32LE(l.ScaleLimit);
    if (IsTextKind(l.Kind)) {
        if (sheet) WriteLogFont16(s, l.TextFont);
        else WriteLogFont(s, l.TextFont);
    }
}

// ---------------------------------------------------------------- checks before writing

enum class TForm { Stream, Project, Map16 };

void CheckObjects(const TCustomLayer& layer, TForm form, const TFileContext& context)
{
    for (int32_t i = 0; i < layer.Count; ++i) {
        const TBaseObject* o = layer.Object(i);
        if (form == TForm::Stream) {
            if (GetItemClassId(o) == 0)
                throw EItemClass("Saving class was not registered '" + ClassNameOf(*o) + "'");
            o->CheckStore();
        } else {
            o->CheckFiler(context);
        }
    }
}

void CheckLayerTree(const TCollection& tree, TForm form, const TFileContext& context);

// Fields and items of one layer or group, before anything is written.
void CheckTreeItem(const TAbstractItem* item, TForm form, const TFileContext& context)
{
    if (const TCustomLayer* layer = AsLayer(item)) {
        CheckPStr(layer->Name, "layer name");
        CheckFixedName(layer->LayerText, LayerTextSize, "layer text");
        const TLayer* plain = dynamic_cast<const TLayer*>(layer);
        if (plain && form != TForm::Stream) {  // the stream form has no short names
            CheckFixedName(plain->RefName1, RefNameSize, "layer short name 1");
            CheckFixedName(plain->RefName2, RefNameSize, "layer short name 2");
            CheckFixedName(plain->RefName3, RefNameSize, "layer short name 3");
        }
        if (const TInfoLayer* info = dynamic_cast<const TInfoLayer*>(layer)) CheckPStr(info->InfoText, "information text");
        if (form == TForm::Map16) {
            CheckFits16(layer->Style1, true, "layer style 1");
            CheckFits16(layer->Style2, true, "layer style 2");
            CheckFits16(layer->Style3, true, "layer style 3");
            CheckFits16(layer->LayerId, false, "layer identifier");
            CheckFits16(layer->LayerTag, false, "layer tag");
            if (IsTextKind(layer->Kind)) CheckLogFont16(layer->TextFont, "layer font");
        }
        if (form == TForm::Project && dynamic_cast<const TInfoLayer*>(layer))
            CheckFits16(layer->LayerId, false, "layer identifier");
        if (form != TForm::Stream) layer->CheckWritable(form == TForm::Map16 ? TFilerForm::Map16 : TFilerForm::Project);
        CheckObjects(*layer, form, context);
    } else if (const TGapLayer* group = dynamic_cast<const TGapLayer*>(item)) {
        CheckPStr(group->Name, "group name");
        CheckFixedName(group->GroupText, LayerTextSize, "group text");
        CheckLayerTree(*group, form, context);
    }
}

void CheckLayerTree(const TCollection& tree, TForm form, const TFileContext& context)
{
    if (form != TForm::Stream) tree.CheckWritable(form == TForm::Map16 ? TFilerForm::Map16 : TFilerForm::Project);
    for (int32_t i = 0; i < tree.Count; ++i) CheckTreeItem(tree.Items[static_cast<std::size_t>(i)], form, context);
}

// A list read from a stream holds what its class may hold.
template <class Pred>
void CheckLoaded(const TObjList& list, const TStream& s, const char* what, Pred ok)
{
    for (int32_t i = 0; i < list.Count; ++i) {
        const TAbstractItem* item = list.Items[static_cast<std::size_t>(i)];
        if (!ok(item))
            ThrowFormat(s.Name(), s.Position(), what,
                        "a " + ClassNameOf(*item) + " cannot be an item of a " + ClassNameOf(list));
    }
}

// Runs a filer collection reader, turning an item the list refuses into a
// format error at the reader's position.
template <class F>
void ReadChecked(TReader& reader, const char* what, F read)
{
    try {
        read();
    } catch (const EObjList& e) {
        ThrowFormat(reader.Stream().Name(), reader.Position(), what, e.what());
    }
}

bool IsObjectItem(const TAbstractItem* item) { return item && item->IsMapObject(); }

} // namespace

TLogFont DefaultLabelFont()
{
    TLogFont f{};
    f.Height = 16;
    f.Width = 10;
    f.Weight = 300;
    f.Quality = 1;
    f.PitchAndFamily = 50;
    std::memcpy(f.FaceName, "Courier New", 12);
    return f;
}

bool IsLayerTreeItem(const TAbstractItem* item)
{
    return AsLayer(item) != nullptr || dynamic_cast<const TGapLayer*>(item) != nullptr;
}

// ---------------------------------------------------------------- TCustomLayer

TCustomLayer::TCustomLayer(TStream& stream, TAbstractItem* owner) : TCollection(stream, owner)
{
    CheckLoadedItems(stream);
}

TCustomLayer::~TCustomLayer()
{
    // Here, not in the base destructor, so that FreeItem is this class's.
    FreeAll();
}

int32_t TCustomLayer::Add(TAbstractItem* item)
{
    if (!IsObjectItem(item))
        throw EObjList("a " + (item ? ClassNameOf(*item) : std::string("null item")) +
                       " cannot be an item of a layer");
    return TCollection::Add(item);
}

void TCustomLayer::FreeItem(TAbstractItem* item)
{
    if (item->RefCount > 0) {
        --item->RefCount;
        return;
    }
    delete item;
}

void TCustomLayer::CheckLoadedItems(const TStream& stream) const
{
    CheckLoaded(*this, stream, "layer objects", IsObjectItem);
}

void TCustomLayer::ReadObjects16(TReader& reader)
{
    ReadChecked(reader, "layer objects", [&] { ReadItems16(reader); });
}

void TCustomLayer::ReadObjects(TReader& reader)
{
    ReadChecked(reader, "layer objects", [&] { ReadItems(reader); });
}

TBaseObject* TCustomLayer::FindObject(int32_t sheetID, int32_t code) const
{
    for (int32_t i = 0; i < Count; ++i) {
        TBaseObject* o = Object(i);
        if (o->SheetID == sheetID && o->Code == code) return o;
    }
    return nullptr;
}

// ---------------------------------------------------------------- TLayer

TLayer::TLayer() : RefName1(NoRefName), RefName2(NoRefName), RefName3(NoRefName) {}

TLayer::TLayer(TStream& s, TAbstractItem* owner) : TCustomLayer(s, owner)
{
    Name = ReadPStrStream(s, "layer name");
    LayerId = s.readI32LE("layer identifier");
    Flags = s.readU32LE("layer flags");
    Kind = s.readI16LE("layer kind");
    LayerParam = s.readI16LE("layer parameter");
    Colour = s.readI32LE("layer colour");
    Style3 = s.readI32LE("layer style 3");
    Style1 = s.readI32LE("layer style 1");
    Style2 = s.readI32LE("layer style 2");
    ScaleLimit = s.readI32LE("layer scale limit");
    if (IsTextKind(Kind)) {
        TextFont = ReadLogFont(s, "layer font");
        Colour2 = 0;
    } else {
        Colour2 = s.readI32LE("layer colour 2");
    }
    if (s.Context().FileVersion > 101) {
        LabelFont = ReadLogFont(s, "layer label font");
        LabelColour = s.readI32LE("layer label colour");
    }
    LayerTag = s.readI32LE("layer tag");
    LayerText = ReadFixedName(s, LayerTextSize, "layer text");
    // The stream form has no short names.
    RefName1 = RefName2 = RefName3 = NoRefName;
}

void TLayer::Store(TStream& s) const
{
    CheckTreeItem(this, TForm::Stream, s.Context());
    TCollection::Store(s);
    WritePStrStream(s, Name);
    s.writeI32LE(LayerId);
    s.writeU32LE(Flags);
    s.writeI16LE(Kind);
    s.writeI16LE(LayerParam);
    s.writeI32LE(Colour);
    s.writeI32LE(Style3);
    s.writeI32LE(Style1);
    s.writeI32LE(Style2);
    s.writeI32LE(ScaleLimit);
    if (IsTextKind(Kind)) WriteLogFont(s, TextFont);
    else s.writeI32LE(Colour2);
    if (s.Context().FileVersion > 101) {
        WriteLogFont(s, LabelFont);
        s.writeI32LE(LabelColour);
    }
    s.writeI32LE(LayerTag);
    WriteFixedName(s, LayerText, LayerTextSize);
}

TLayer::TLayer(TReader& r)
{
    TStream& s = r.Stream();
    ReadObjects(r);
    Name = ReadPStr(r, "layer name");
    ReadStyleBlock(s, *this, TWidth::Full);
    Flags &= ~LayerFlagTransient;
    RefName1 = ReadFixedName(s, RefNameSize, "layer short name 1");
    LayerId = s.readI32LE("layer identifier");
    RefName2 = ReadFixedName(s, RefNameSize, "layer short name 2");
    RefName3 = ReadFixedName(s, RefNameSize, "layer short name 3");
    if (s.Context().FileVersion > 101) {
        LabelFont = ReadLogFont(s, "layer label font");
        LabelColour = s.readI32LE("layer label colour");
    }
    LayerTag = s.readI32LE("layer tag");
    LayerText = ReadFixedName(s, LayerTextSize, "layer text");
}

void TLayer::WriteFiler(TWriter& w) const
{
    TStream& s = w.Stream();
    CheckTreeItem(this, TForm::Project, s.Context());
    TCollection::WriteFiler(w);
    WritePStr(w, Name);
    WriteStyleBlock(s, *this, TWidth::Full);
    WriteFixedName(s, RefName1, RefNameSize);
    s.writeI32LE(LayerId);
    WriteFixedName(s, RefName2, RefNameSize);
    WriteFixedName(s, RefName3, RefNameSize);
    if (s.Context().FileVersion > 101) {
        WriteLogFont(s, LabelFont);
        s.writeI32LE(LabelColour);
    }
    s.writeI32LE(LayerTag);
    WriteFixedName(s, LayerText, LayerTextSize);
}

TLayer::TLayer(TReader& r, FromMap16)
{
    TStream& s = r.Stream();
    ReadObjects16(r);
    Name = ReadPStr(r, "layer name");
    ReadStyleBlock(s, *this, TWidth::Sheet);
    RefName1 = ReadFixedName(s, RefNameSize, "layer short name 1");
    LayerId = s.readU16LE("layer identifier");
    RefName2 = ReadFixedName(s, RefNameSize, "layer short name 2");
    RefName3 = ReadFixedName(s, RefNameSize, "layer short name 3");
    LayerTag = s.readU16LE("layer tag");
    LayerText = ReadFixedName(s, LayerTextSize, "layer text");
    LabelFont = DefaultLabelFont();
    LabelColour = 0;
}

void TLayer::WriteFiler16(TWriter& w) const
{
    TStream& s = w.Stream();
    CheckTreeItem(this, TForm::Map16, s.Context());
    TCollection::WriteFiler16(w);
    WritePStr(w, Name);
    WriteStyleBlock(s, *this, TWidth::Sheet);
    WriteFixedName(s, RefName1, RefNameSize);
    s.writeU16LE(static_cast<uint16_t>(LayerId));
    WriteFixedName(s, RefName2, RefNameSize);
    WriteFixedName(s, RefName3, RefNameSize);
    s.writeU16LE(static_cast<uint16_t>(LayerTag));
    WriteFixedName(s, LayerText, LayerTextSize);
}

// ---------------------------------------------------------------- TInfoLayer

TInfoLayer::TInfoLayer() = default;

TInfoLayer::TInfoLayer(TStream& s, TAbstractItem* owner) : TCustomLayer(s, owner)
{
    Name = ReadPStrStream(s, "layer name");
    ReadStyleBlock(s, *this, TWidth::Full);
    LayerId = s.readI32LE("layer identifier");
    InfoValue1 = s.readI32LE("information value 1");
    InfoValue2 = s.readI32LE("information value 2");
    InfoText = ReadPStrStream(s, "information text");
    LayerTag = s.readI32LE("layer tag");
    LayerText = ReadFixedName(s, LayerTextSize, "layer text");
    if (s.Context().FileVersion > 100) {
        LabelFont = ReadLogFont(s, "layer label font");
        LabelColour = s.readI32LE("layer label colour");
    }
}

void TInfoLayer::Store(TStream& s) const
{
    CheckTreeItem(this, TForm::Stream, s.Context());
    TCollection::Store(s);
    WritePStrStream(s, Name);
    WriteStyleBlock(s, *this, TWidth::Full);
    s.writeI32LE(LayerId);
    s.writeI32LE(InfoValue1);
    s.writeI32LE(InfoValue2);
    WritePStrStream(s, InfoText);
    s.writeI32LE(LayerTag);
    WriteFixedName(s, LayerText, LayerTextSize);
    WriteLogFont(s, LabelFont);
    s.writeI32LE(LabelColour);
}

TInfoLayer::TInfoLayer(TReader& r)
{
    TStream& s = r.Stream();
    ReadObjects(r);
    Name = ReadPStr(r, "layer name");
    ReadStyleBlock(s, *this, TWidth::Full);
    Flags &= ~LayerFlagTransient;
    LayerId = s.readU16LE("layer identifier");
    InfoValue1 = s.readI32LE("information value 1");
    InfoValue2 = s.readI32LE("information value 2");
    if (s.Context().FileVersion > 100) {
        LabelFont = ReadLogFont(s, "layer label font");
        LabelColour = s.readI32LE("layer label colour");
    }
}

void TInfoLayer::WriteFiler(TWriter& w) const
{
    TStream& s = w.Stream();
    CheckTreeItem(this, TForm::Project, s.Context());
    TCollection::WriteFiler(w);
    WritePStr(w, Name);
    WriteStyleBlock(s, *this, TWidth::Full);
    s.writeU16LE(static_cast<uint16_t>(LayerId));
    s.writeI32LE(InfoValue1);
    s.writeI32LE(InfoValue2);
    WriteLogFont(s, LabelFont);
    s.writeI32LE(LabelColour);
}

void TInfoLayer::WriteFiler16(TWriter& w) const
{
    TStream& s = w.Stream();
    CheckTreeItem(this, TForm::Map16, s.Context());
    TCollection::WriteFiler16(w);
    WritePStr(w, Name);
    WriteStyleBlock(s, *this, TWidth::Sheet);
    s.writeU16LE(static_cast<uint16_t>(LayerId));
    s.writeI32LE(InfoValue1);
    s.writeI32LE(InfoValue2);
}

// ---------------------------------------------------------------- TGapLayer

TGapLayer::TGapLayer(TStream& s, TAbstractItem* owner) : TCollection(s, owner)
{
    CheckLoaded(*this, s, "group items", IsLayerTreeItem);
    Name = ReadPStrStream(s, "group name");
    Flags = s.readU32LE("group flags");
    GroupTag = s.readI32LE("group tag");
    GroupText = ReadFixedName(s, LayerTextSize, "group text");
}

TGapLayer::TGapLayer(TReader& r)
{
    ReadChecked(r, "group items", [&] { ReadItems(r); });
    Name = ReadPStr(r, "group name");
    Flags = r.ReadU32LE("group flags");
}

TGapLayer::TGapLayer(TReader& r, TLayer::FromMap16)
{
    ReadChecked(r, "group items", [&] { ReadItems16(r); });
    Name = ReadPStr(r, "group name");
    Flags = r.ReadU16LE("group flags");
}

int32_t TGapLayer::Add(TAbstractItem* item)
{
    if (!IsLayerTreeItem(item))
        throw EObjList("a " + (item ? ClassNameOf(*item) : std::string("null item")) +
                       " cannot be an item of a layer group");
    return TCollection::Add(item);
}

void TGapLayer::Store(TStream& s) const
{
    CheckTreeItem(this, TForm::Stream, s.Context());
    TCollection::Store(s);
    WritePStrStream(s, Name);
    s.writeU32LE(Flags);
    s.writeI32LE(GroupTag);
    WriteFixedName(s, GroupText, LayerTextSize);
}

void TGapLayer::WriteFiler(TWriter& w) const
{
    CheckTreeItem(this, TForm::Project, w.Context());
    TCollection::WriteFiler(w);
    WritePStr(w, Name);
    w.WriteU32LE(Flags);
}

void TGapLayer::WriteFiler16(TWriter& w) const
{
    CheckTreeItem(this, TForm::Map16, w.Context());
    TCollection::WriteFiler16(w);
    WritePStr(w, Name);
    w.WriteU16LE(static_cast<uint16_t>(Flags));
}

// ---------------------------------------------------------------- 6-byte reals

double Real48ToDouble(const uint8_t b[6])
{
    if (b[0] == 0) return 0.0;
    uint64_t mantissa = uint64_t(b[1]) | (uint64_t(b[2]) << 8) | (uint64_t(b[3]) << 16) | (uint64_t(b[4]) << 24) |
                        (uint64_t(b[5] & 0x7F) << 32);
    double v = std::ldexp(1.0 + std::ldexp(static_cast<double>(mantissa), -39), int(b[0]) - 129);
    return (b[5] & 0x80) ? -v : v;
}

void DoubleToReal48(double value, uint8_t b[6])
{
    std::memset(b, 0, 6);
    if (!std::isfinite(value)) throw EWriteError("a 6-byte real cannot hold " + std::to_string(value));
    if (value == 0) return;
    int exp = 0;
    double f = std::frexp(std::fabs(value), &exp);  // f in [0.5, 1)
    int biased = exp + 128;                          // value = 2f * 2^(exp - 1)
    // 39 bits below the leading 1, rounded to nearest, halves to even.
    double scaled = std::ldexp(2 * f - 1, 39);
    uint64_t mantissa = static_cast<uint64_t>(std::nearbyint(scaled));
    if (mantissa == (uint64_t(1) << 39)) {
        mantissa = 0;
        ++biased;
    }
    if (biased > 255) throw EWriteError("a 6-byte real cannot hold " + std::to_string(value));
    if (biased < 1) return;  // below the smallest 6-byte real
    b[0] = static_cast<uint8_t>(biased);
    for (int i = 0; i < 4; ++i) b[1 + i] = static_cast<uint8_t>(mantissa >> (8 * i));
    b[5] = static_cast<uint8_t>((mantissa >> 32) & 0x7F) | (value < 0 ? 0x80 : 0);
}

// ---------------------------------------------------------------- TMap

namespace {

constexpr const char* BadSheetMessage = "Структура файла неправильна...";

void ReadMagic(TReader& r, char magic[MapMagicSize])
{
    r.Read(magic, MapMagicSize, "map magic");
}

double ReadReal48(TStream& s, const char* field)
{
    uint8_t b[6];
    s.ReadBuffer(b, sizeof b, field);
    return Real48ToDouble(b);
}

void WriteReal48(TStream& s, double v)
{
    uint8_t b[6];
    DoubleToReal48(v, b);
    s.Write(b, sizeof b);
}

void CheckReal48(double v, const char* field)
{
    uint8_t b[6];
    try {
        DoubleToReal48(v, b);
    } catch (EWriteError& e) {
        e.AddContext(field);
        throw;
    }
}

} // namespace

TMap::TMap() : Extras(std::make_unique<TCollection>()) {}

TMap::TMap(TStream& s, TAbstractItem* owner) : TCollection(s, owner)
{
    CheckLoaded(*this, s, "map layers", IsLayerTreeItem);
    ReadFields(s);
    s.Context().MapScale = s.readF64LE("map scale");
}

TMap::TMap(TReader& r)
{
    TStream& s = r.Stream();
    int64_t at = r.Position();
    char magic[MapMagicSize];
    ReadMagic(r, magic);
    if (std::memcmp(magic, MapMagic, MapMagicSize) != 0) ThrowFormat(s.Name(), at, "map magic", BadSheetMessage);
    ReadChecked(r, "map layers", [&] { ReadItems(r); });
    ReadFields(s);
    s.Context().MapScale = s.readF64LE("map scale");
}

TMap::TMap(TReader& r, TLayer::FromMap16)
{
    TStream& s = r.Stream();
    int64_t at = r.Position();
    char magic[MapMagicSize];
    ReadMagic(r, magic);
    bool old = std::memcmp(magic, OldSheetMagic, MapMagicSize) == 0;
    if (!old && std::memcmp(magic, MapMagic, MapMagicSize) != 0)
        ThrowFormat(s.Name(), at, "map magic", BadSheetMessage);
    ReadChecked(r, "map layers", [&] { ReadItems16(r); });
    Name = ReadPStr(r, "map name");
    Flags = s.readU16LE("map flags");
    for (int32_t& v : MapParams.Ints) v = s.readI32LE("map parameters");
    for (double& v : MapParams.Reals) v = ReadReal48(s, "map parameters");
    MapParams.Last = s.readI32LE("map parameters");
    s.ReadBuffer(MapExtra.data(), 4, "map extra bytes");
    ShortName = ReadFixedName(s, RefNameSize, "map short name");
    s.Context().MapScale = ReadReal48(s, "map scale");
    if (old) {
        ExtraText1 = ReadPStr(r, "map text 1");
        ExtraText2 = ReadPStr(r, "map text 2");
        Extras = std::make_unique<TCollection>(r, TCollection::FromMap16{});
        ExtraText3 = ReadPStr(r, "map text 3");
        s.ReadBuffer(ExtraData.data(), ExtraData.size(), "map extra data");
        ExtraWord = s.readU16LE("map extra word");
    }
}

int32_t TMap::Add(TAbstractItem* item)
{
    if (!IsLayerTreeItem(item))
        throw EObjList("a " + (item ? ClassNameOf(*item) : std::string("null item")) + " cannot be an item of a map");
    return TCollection::Add(item);
}

void TMap::ReadFields(TStream& s)
{
    Name = ReadPStrStream(s, "map name");
    Flags = s.readI32LE("map flags");
    for (int32_t& v : MapParams.Ints) v = s.readI32LE("map parameters");
    for (double& v : MapParams.Reals) v = s.readF64LE("map parameters");
    MapParams.Last = s.readI32LE("map parameters");
    s.ReadBuffer(MapExtra.data(), MapExtra.size(), "map extra bytes");
    ShortName = ReadFixedName(s, RefNameSize, "map short name");
}

void TMap::WriteFields(TStream& s) const
{
    WritePStrStream(s, Name);
    s.writeI32LE(Flags);
    for (int32_t v : MapParams.Ints) s.writeI32LE(v);
    for (double v : MapParams.Reals) s.writeF64LE(v);
    s.writeI32LE(MapParams.Last);
    s.Write(MapExtra.data(), MapExtra.size());
    WriteFixedName(s, ShortName, RefNameSize);
}

void TMap::Store(TStream& s) const
{
    CheckPStr(Name, "map name");
    CheckFixedName(ShortName, RefNameSize, "map short name");
    CheckLayerTree(*this, TForm::Stream, s.Context());
    TCollection::Store(s);
    WriteFields(s);
    s.writeF64LE(s.Context().MapScale);
}

void TMap::WriteFiler(TWriter& w) const
{
    TStream& s = w.Stream();
    CheckPStr(Name, "map name");
    CheckFixedName(ShortName, RefNameSize, "map short name");
    CheckLayerTree(*this, TForm::Project, s.Context());
    w.Write(MapMagic, MapMagicSize);
    TCollection::WriteFiler(w);
    WriteFields(s);
    s.writeF64LE(s.Context().MapScale);
}

void TMap::WriteFiler16(TWriter& w) const
{
    TStream& s = w.Stream();
    CheckPStr(Name, "map name");
    CheckFixedName(ShortName, RefNameSize, "map short name");
    for (double v : MapParams.Reals) CheckReal48(v, "map parameters");
    CheckReal48(s.Context().MapScale, "map scale");
    CheckLayerTree(*this, TForm::Map16, s.Context());
    w.Write(MapMagic, MapMagicSize);
    TCollection::WriteFiler16(w);
    WritePStr(w, Name);
    s.writeU16LE(static_cast<uint16_t>(Flags));  // the sheet keeps the low 16 bits
    for (int32_t v : MapParams.Ints) s.writeI32LE(v);
    for (double v : MapParams.Reals) WriteReal48(s, v);
    s.writeI32LE(MapParams.Last);
    s.Write(MapExtra.data(), 4);
    WriteFixedName(s, ShortName, RefNameSize);
    WriteReal48(s, s.Context().MapScale);
}

} // namespace tarn
