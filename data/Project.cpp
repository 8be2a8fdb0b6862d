#include "Project.h"
#include "FileNames.h"
#include "Errors.h"
#include "Utils.h"
#include "_Common.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>

namespace tarn {

const char ProjectMagic[ProjectMagicSize] = "Tessara 4.02Project File";

namespace {

// The part of the magic that must match; bytes 10 and 11 carry the version.
constexpr std::size_t MagicCompared = 10;

int32_t Sat32(int64_t v)
{
    return static_cast<int32_t>(
        std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

template <std::size_t N>
void ReadRaw(TStream& s, std::array<uint8_t, N>& a, const char* field)
{
    s.ReadBuffer(a.data(), N, field);
}

template <std::size_t N>
void WriteRaw(TStream& s, const std::array<uint8_t, N>& a)
{
    s.Write(a.data(), N);
}

// A list read from a file holds only the class its owner expects.
template <class T>
void CheckItemsAre(const TObjList& list, const TStream& s, const char* what)
{
    for (int32_t i = 0; i < list.Count; ++i) {
        const TAbstractItem* item = list.Items[static_cast<std::size_t>(i)];
        if (!dynamic_cast<const T*>(item))
            ThrowFormat(s.Name(), s.Position(), what,
                        "a " + (item ? ClassNameOf(*item) : std::string("null item")) + " is not a " +
                            ClassNameOf(typeid(T)));
    }
}

} // namespace

int32_t ProjectMagicVersion(const char* magic)
{
    // The runtime's conversion of the (at most two) characters: leading
    // blanks, a sign, then digits only.
    std::string text;
    for (std::size_t i = MagicCompared; i < MagicCompared + 2 && magic[i] != '\0'; ++i) text += magic[i];
    std::size_t i = text.find_first_not_of(' ');
    int sign = 1;
    if (i != std::string::npos && (text[i] == '+' || text[i] == '-')) sign = text[i++] == '-' ? -1 : 1;
    int value = 0;
    bool digits = i != std::string::npos && i < text.size();
    for (; digits && i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') digits = false;
        else value = value * 10 + (text[i] - '0');
    }
    return 100 + (digits ? sign * value : 0);
}

// ---------------------------------------------------------------- TProject

TProject::TProject(std::string name) : Name(std::move(name)) {}

TProject::TProject(TStream& stream, TAbstractItem* owner) : TCollection(stream, owner)
{
    CheckItemsAre<TLevel>(*this, stream, "project levels");
    ReadFields(stream);
}

TProject::TProject(TReader& reader)
{
    TStream& s = reader.Stream();
    int64_t at = reader.Position();
    char magic[ProjectMagicSize] = {};
    std::size_t available = static_cast<std::size_t>(std::min<int64_t>(reader.Remaining(), ProjectMagicSize));
    reader.Read(magic, available, "project magic");
    if (available < ProjectMagicSize) {
        // Too short for a project: say which, a stranger or a cut one.
        if (std::memcmp(magic, ProjectMagic, std::min(available, MagicCompared)) != 0)
            ThrowFormat(s.Name(), at, "project magic", "Файл не является проектом");
        reader.Require(ProjectMagicSize - available, "project magic");
    }
    TFileContext& context = reader.Context();
    int32_t previous = context.FileVersion;
    context.FileVersion = ProjectMagicVersion(magic);
    if (std::memcmp(magic, ProjectMagic, MagicCompared) != 0) {
        context.FileVersion = previous;
        ThrowFormat(s.Name(), at, "project magic", "Файл не является проектом");
    }
    ReadItems(reader);
    CheckItemsAre<TLevel>(*this, s, "project levels");
    ReadFields(s);
}

void TProject::ReadFields(TStream& s)
{
    Name = ReadPStrStream(s, "project name");
    Extent.Left = s.readI32LE("project extent");
    Extent.Top = s.readI32LE("project extent");
    Extent.Right = s.readI32LE("project extent");
    Extent.Bottom = s.readI32LE("project extent");
    NextID = s.readI32LE("project next identifier");
    ExtentEmpty = s.readU8("project extent flag");
    Origin.X = s.readI32LE("project origin");
    Origin.Y = s.readI32LE("project origin");
    ReadRaw(s, Reserved, "project reserved bytes");
}

void TProject::WriteFields(TStream& s) const
{
    WritePStrStream(s, Name);
    s.writeI32LE(Extent.Left);
    s.writeI32LE(Extent.Top);
    s.writeI32LE(Extent.Right);
    s.writeI32LE(Extent.Bottom);
    s.writeI32LE(NextID);
    s.writeU8(ExtentEmpty);
    s.writeI32LE(Origin.X);
    s.writeI32LE(Origin.Y);
    WriteRaw(s, Reserved);
}

void TProject::Store(TStream& stream) const
{
    CheckPStr(Name, "project name");
    TCollection::Store(stream);
    WriteFields(stream);
}

void TProject::WriteFiler(TWriter& writer) const
{
    CheckPStr(Name, "project name");
    CheckWritable(TFilerForm::Project);
    writer.Write(ProjectMagic, ProjectMagicSize);
    TCollection::WriteFiler(writer);
    WriteFields(writer.Stream());
}

int32_t TProject::NewID()
{
    if (NextID == std::numeric_limits<int32_t>::max()) throw ETarnError("the project has no identifiers left");
    return ++NextID;
}

void TProject::ExpandExtent(const TRect& r)
{
    if (ExtentEmpty) {
        Extent = {0, Sat32(std::llabs(int64_t(r.Top) - r.Bottom)), Sat32(std::llabs(int64_t(r.Left) - r.Right)), 0};
        Origin = {r.Left, r.Bottom};
        ExtentEmpty = 0;
        return;
    }
    if (Origin.X > r.Left) {
        Extent.Right = Sat32(int64_t(Extent.Right) + Origin.X - r.Left);
        Origin.X = r.Left;
    }
    if (int64_t(Origin.X) + Extent.Right < r.Right) Extent.Right = Sat32(int64_t(r.Right) - Origin.X);
    if (int64_t(Origin.Y) + Extent.Top < r.Top) Extent.Top = Sat32(int64_t(r.Top) - Origin.Y);
    if (Origin.Y > r.Bottom) {
        Extent.Top = Sat32(int64_t(Extent.Top) + Origin.Y - r.Bottom);
        Origin.Y = r.Bottom;
    }
}

int32_t ProjectScaleOf(double minScale, double maxScale)
{
    long double v = (static_cast<long double>(minScale) + maxScale) * 10000.0L;
    if (std::isnan(v)) return 0;
    v = std::clamp<long double>(v, -4294967296.0L, 4294967296.0L);
    return Sat32(RoundEven(v) / 2);
}

void TProject::CalcProjectScale(TFileContext& context) const
{
    if (Count == 0) return;
    auto levelScale = [](const TAbstractItem* item) -> double {
        const TLevel* level = dynamic_cast<const TLevel*>(item);
        if (!level)
            throw EItemClass("a project item of class " + (item ? ClassNameOf(*item) : std::string("(none)")) +
                             " is not a level of detail");
        return level->Scale;
    };
    double lo = levelScale(Items[0]);
    double hi = lo;
    for (int32_t i = 1; i < Count; ++i) {
        double s = levelScale(Items[static_cast<std::size_t>(i)]);
        if (s > hi) hi = s;
        if (s < lo) lo = s;
    }
    context.ProjectScale = ProjectScaleOf(lo, hi);
}

// ---------------------------------------------------------------- TLevel

TLevel::TLevel(std::string name, int32_t value)
    : TAbstractItem(nullptr), Name(std::move(name)), Value(value), Sheets(std::make_unique<TCollection>()),
      Map(std::make_unique<TMap>())
{
}

TLevel::TLevel(TStream& s, TAbstractItem* owner) : TAbstractItem(s, owner)
{
    Name = ReadPStrStream(s, "level name");
    Value = s.readI32LE("level value");
    Scale = s.readF64LE("level scale");
    MaxScale = s.readI32LE("level largest scale");
    MinScale = s.readI32LE("level smallest scale");
    Sheets = std::make_unique<TCollection>(s, nullptr);
    CheckItemsAre<TSheet>(*Sheets, s, "level sheets");
    Map = std::make_unique<TMap>(s, nullptr);
    Flags = s.readI32LE("level flags");
    OffsetX = s.readI32LE("level offset");
    OffsetY = s.readI32LE("level offset");
}

TLevel::TLevel(TReader& r) : TAbstractItem(nullptr)
{
    TStream& s = r.Stream();
    Name = ReadPStr(r, "level name");
    Value = s.readI32LE("level value");
    Scale = s.readF64LE("level scale");
    MaxScale = s.readI32LE("level largest scale");
    MinScale = s.readI32LE("level smallest scale");
    Sheets = std::make_unique<TCollection>(r, TCollection::FromProject{});
    CheckItemsAre<TSheet>(*Sheets, s, "level sheets");
    Map = std::make_unique<TMap>(r);
    Flags = s.readI32LE("level flags");
    OffsetX = s.readI32LE("level offset");
    OffsetY = s.readI32LE("level offset");
}

void TLevel::Store(TStream& s) const
{
    CheckPStr(Name, "level name");
    WritePStrStream(s, Name);
    s.writeI32LE(Value);
    s.writeF64LE(Scale);
    s.writeI32LE(MaxScale);
    s.writeI32LE(MinScale);
    Sheets->Store(s);
    Map->Store(s);
    for (int32_t v : {Flags, OffsetX, OffsetY}) s.writeI32LE(v);
}

void TLevel::WriteFiler(TWriter& w) const
{
    TStream& s = w.Stream();
    CheckPStr(Name, "level name");
    WritePStr(w, Name);
    s.writeI32LE(Value);
    s.writeF64LE(Scale);
    s.writeI32LE(MaxScale);
    s.writeI32LE(MinScale);
    Sheets->WriteFiler(w);
    Map->WriteFiler(w);
    for (int32_t v : {Flags, OffsetX, OffsetY}) s.writeI32LE(v);
}

// ---------------------------------------------------------------- TSheet

TSheet::TSheet(std::string name, int32_t fileID, int32_t left, int32_t bottom, int32_t height, int32_t width,
               TPoint origin)
    : TAbstractItem(nullptr), Name(std::move(name)), FileID(fileID), Left(left), Bottom(bottom), Height(height),
      Width(width), Origin(origin)
{
}

TSheet::TSheet(TStream& s, TAbstractItem* owner) : TAbstractItem(s, owner)
{
    Name = ReadPStrStream(s, "sheet name");
    FileID = s.readI32LE("sheet file identifier");
    Left = s.readI32LE("sheet left");
    Bottom = s.readI32LE("sheet bottom");
    Height = s.readI32LE("sheet height");
    Width = s.readI32LE("sheet width");
    Origin.X = s.readI32LE("sheet origin");
    Origin.Y = s.readI32LE("sheet origin");
    ReadRaw(s, Reserved, "sheet reserved bytes");
}

TSheet::TSheet(TReader& r) : TAbstractItem(nullptr)
{
    Name = ReadPStr(r, "sheet name");
    FileID = r.ReadInteger("sheet file identifier");
    Left = r.ReadInteger("sheet left");
    Bottom = r.ReadInteger("sheet bottom");
    Height = r.ReadInteger("sheet height");
    Width = r.ReadInteger("sheet width");
    Origin.X = r.ReadInteger("sheet origin");
    Origin.Y = r.ReadInteger("sheet origin");
    ReadRaw(r.Stream(), Reserved, "sheet reserved bytes");
}

void TSheet::Store(TStream& s) const
{
    WritePStrStream(s, Name);
    for (int32_t v : {FileID, Left, Bottom, Height, Width, Origin.X, Origin.Y}) s.writeI32LE(v);
    WriteRaw(s, Reserved);
}

void TSheet::WriteFiler(TWriter& w) const
{
    WritePStr(w, Name);
    for (int32_t v : {FileID, Left, Bottom, Height, Width, Origin.X, Origin.Y}) w.WriteInteger(v);
    WriteRaw(w.Stream(), Reserved);
}

// ---------------------------------------------------------------- TComplObject

TComplObject::TComplObject(TStream& s, TAbstractItem* owner) : TCollection(s, owner)
{
    Identifier = s.readI32LE("compound object identifier");
    ReadRaw(s, Reserved, "compound object reserved bytes");
}

TComplObject::TComplObject(TReader& r)
{
    ReadItems(r);
    Identifier = r.ReadInteger("compound object identifier");
    ReadRaw(r.Stream(), Reserved, "compound object reserved bytes");
}

void TComplObject::Store(TStream& s) const
{
    TCollection::Store(s);
    s.writeI32LE(Identifier);
    WriteRaw(s, Reserved);
}

void TComplObject::WriteFiler(TWriter& w) const
{
    TCollection::WriteFiler(w);
    w.WriteInteger(Identifier);
    WriteRaw(w.Stream(), Reserved);
}

// ---------------------------------------------------------------- TComplItem

TComplItem::TComplItem(TStream& s, TAbstractItem* owner) : TAbstractItem(s, owner)
{
    Key = ReadObjectKey(s, "compound member key");
    ReadRaw(s, Reserved, "compound member reserved bytes");
}

TComplItem::TComplItem(TReader& r)
{
    Key = ReadObjectKey(r.Stream(), "compound member key");
    ReadRaw(r.Stream(), Reserved, "compound member reserved bytes");
}

void TComplItem::Store(TStream& s) const
{
    WriteObjectKey(s, Key);
    WriteRaw(s, Reserved);
}

void TComplItem::WriteFiler(TWriter& w) const { Store(w.Stream()); }

// ---------------------------------------------------------------- sheet paths

std::string SheetFileInProject(std::string_view storedName) { return NameInFolder(storedName); }

std::string ResolveSheetPath(const std::string& projectDir, std::string_view storedName)
{
    return TFolderNames().Resolve(projectDir, storedName);
}

} // namespace tarn
