#pragma once
// The project records: the project (the root of a map document, holding its
// levels of detail), the sheets of a level, compound objects and their
// members. Each has a filer form (".prj") and a stream form (".mts" blocks).
//
// A project holds levels of detail (TLevel) only; each level holds its
// sheets (TSheet) and its map of layers.
#include "Layers.h"
#include "ObjectKey.h"
#include "cObjects.h"
#include "platform/Types.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace tarn {

// "Tessara 4.02Project File" and its terminating zero.
constexpr std::size_t ProjectMagicSize = 25;
extern const char ProjectMagic[ProjectMagicSize];

// The version a project magic announces: its characters at offsets 10 and
// 11 as a decimal number plus 100 ("4.02" gives 102); 100 when they are no number.
int32_t ProjectMagicVersion(const char* magic);

class TProject : public TCollection {
public:
    explicit TProject(std::string name = std::string());
    // Stream form (class id 113): the levels as a list, then the fields; no magic.
    TProject(TStream& stream, TAbstractItem* owner);
    // Filer form: the magic, the levels, then the fields. Sets the reader's
    // FileVersion from the magic; a wrong magic leaves it as it was and
    // raises "Файл не является проектом".
    explicit TProject(TReader& reader);

    void Store(TStream& stream) const override;
    void WriteFiler(TWriter& writer) const override;

    // The next identifier (NextID + 1, kept).
    int32_t NewID();
    // Widens the extent to hold r (world rectangle, Top above Bottom).
    void ExpandExtent(const TRect& r);
    // Sets context.ProjectScale from the levels' scales; no levels change nothing.
    void CalcProjectScale(TFileContext& context) const;

    std::string Name;
    TRect Extent;   // relative to Origin: Left 0, Top = height, Right = width, Bottom 0
    int32_t NextID = 0;
    TPoint Origin;  // world position of the extent's left-bottom corner
    uint8_t ExtentEmpty = 1;
    std::array<uint8_t, 4> Reserved{};

private:
    void ReadFields(TStream& stream);
    void WriteFields(TStream& stream) const;
};

// round((min + max) x 10000) div 2, the project scale of levels whose scales
// range from min to max.
int32_t ProjectScaleOf(double minScale, double maxScale);

// One level of detail: a range of scale denominators, the sheets (map
// files) drawn in it and its map of layers. Both forms: Name, Value,
// Scale, MaxScale, MinScale, Sheets, Map, Flags, OffsetX, OffsetY.
class TLevel : public TAbstractItem {
public:
    // Scale 0, no range, empty sheets and map.
    explicit TLevel(std::string name = std::string(), int32_t value = 0);
    // Stream form (class id 114): the sheets as a list, the map's own
    // stream form with no class id before it.
    TLevel(TStream& stream, TAbstractItem* owner);
    // Project form (type code 1201): the sheets as a collection of code
    // 1202 items, the map's project form.
    explicit TLevel(TReader& reader);
    void Store(TStream& stream) const override;
    void WriteFiler(TWriter& writer) const;

    std::string Name;
    int32_t Value = 0;      // 1 for the level made for a lone map; carried
    double Scale = 0;       // world units per stored map unit
    int32_t MaxScale = 0;   // largest scale denominator
    int32_t MinScale = 0;   // smallest scale denominator
    std::unique_ptr<TCollection> Sheets;  // of TSheet
    std::unique_ptr<TMap> Map;
    int32_t Flags = 0;      // a low byte not 0 keeps the level out of level switching
    int32_t OffsetX = 0;    // added to the sheets of the level
    int32_t OffsetY = 0;
};

// One map sheet file of a level.
class TSheet : public TAbstractItem {
public:
    TSheet(std::string name, int32_t fileID, int32_t left, int32_t bottom, int32_t height, int32_t width,
           TPoint origin);
    TSheet(TStream& stream, TAbstractItem* owner); // class id 115
    explicit TSheet(TReader& reader);              // type code 1202
    void Store(TStream& stream) const override;
    void WriteFiler(TWriter& writer) const;

    std::string Name;
    int32_t FileID = 0;
    int32_t Left = 0;
    int32_t Bottom = 0;
    int32_t Height = 0;
    int32_t Width = 0;
    TPoint Origin;
    uint16_t Flags = 0; // run time only: bit 0 loaded, bit 2 read-only; never stored
    int32_t LoadScale = 0;  // run time only: the scale its sizes were loaded with
    std::array<uint8_t, 12> Reserved{};
};

// A compound object: its number and its members (TComplItem).
class TComplObject : public TCollection {
public:
    TComplObject() = default;
    TComplObject(TStream& stream, TAbstractItem* owner); // class id 117
    explicit TComplObject(TReader& reader);              // type code 1204
    void Store(TStream& stream) const override;
    void WriteFiler(TWriter& writer) const override;

    int32_t Identifier = 0;
    std::array<uint8_t, 12> Reserved{};
};

// One member of a compound object. Made with no reference and no owner.
class TComplItem : public TAbstractItem {
public:
    TComplItem() = default;
    TComplItem(TStream& stream, TAbstractItem* owner); // class id 118
    explicit TComplItem(TReader& reader);              // type code 1205
    void Store(TStream& stream) const override;
    void WriteFiler(TWriter& writer) const;

    TObjectKey Key;
    std::array<uint8_t, 12> Reserved{};
};

// A sheet name as stored by the project as a path relative to the
// project's folder (NameInFolder: absolute names keep their file name, ".."
// never leads out; EOutsideFolder when it would).
std::string SheetFileInProject(std::string_view storedName);

// The sheet's full path in projectDir; each part of the name that does not
// exist as written is looked up without regard to case.
std::string ResolveSheetPath(const std::string& projectDir, std::string_view storedName);

} // namespace tarn
