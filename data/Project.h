#pragma once
// The project records: the project (the root of a map document, holding its
// levels of detail), the sheets of a level, compound objects and their
// members. Each has a filer form (".prj") and a stream form (".mts" blocks).
//
// Levels of detail (TLevel: class id 114, type code 1201) hold a TMap and
// arrive with it. Until then a project holds no levels: a stored project
// with levels is refused as holding an unknown class.
#include "ObjectKey.h"
#include "cObjects.h"
#include "platform/Types.h"

#include <array>
#include <cstdint>
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

// TLevel goes here, with TMap: Name, Value, Scale, MaxScale, MinScale, Sheets
// (a TCollection of TSheet), Map, Flags, OffsetX, OffsetY; class id 114, type
// code 1201. TProject::CalcProjectScale then reads each level's Scale.

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

// A sheet name as stored by the project (possibly written on Windows:
// "C:\CITY\TARN.MAP", "maps\north.map") as a path relative to the project's
// folder with "/" separators. Absolute names and names with a drive letter
// keep only their file name: the sheet is looked for beside the project.
std::string SheetFileInProject(std::string_view storedName);

// The sheet's full path in projectDir; each part of the name that does not
// exist as written is looked up without regard to case.
std::string ResolveSheetPath(const std::string& projectDir, std::string_view storedName);

} // namespace tarn
