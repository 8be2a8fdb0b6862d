#pragma once
// Small persistent parts of the document: the view history, the backup copy
// made before a sheet is overwritten, stable identifiers of layers and map
// files, and the header block of a block-file project.
#include "cObjects.h"
#include "platform/Types.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace tarn {

class TIniFile;
class TSafeFileBatch;

// One saved view position: the visible world rectangle and the scale
// (world units per pixel).
class TWndState : public TAbstractItem {
public:
    TWndState(const TRect& r, double scale) : TAbstractItem(nullptr), WorldRect(r), Scale(scale) {}

    TRect WorldRect;
    double Scale = 0;
};

// A view's stack of previous positions, oldest first.
class THistory : public TCollection {
public:
    static constexpr int32_t MaxEntries = 16000;

    // Appends the state (the history owns it), dropping the oldest entry
    // when full; returns the new count.
    int32_t PutPresentInstance(std::unique_ptr<TWndState> state);
    // Removes and hands over the newest state; none when empty.
    std::unique_ptr<TWndState> GetPrevInstance();
};

// "tarn.map" -> "tarn.~ma", "a.x" -> "a.~x", "readme" -> "readme.~": the
// extension replaced by "~" and its first two characters.
std::string BackupName(const std::string& fileName);

// Copies fileName to BackupName(fileName) (replacing an older copy through a
// temporary file) and returns the backup's name; an empty string when there
// is no file to back up. Throws EFileError, naming the backup once, when the
// copy fails: the caller must then leave the original alone.
std::string MakeBackup(const std::string& fileName);
// The same copy as one file of a batch that replaces files together; it is
// in place only when the whole batch is.
std::string AddBackup(TSafeFileBatch& batch, const std::string& fileName);

// Stable numeric identifiers of layers and map files, kept in the identifier
// file "tsclnt31.ini" of the program's directory. Names that the ini file
// could not hold as keys ("Maxs", names with "=", line breaks, leading or
// trailing blanks) are stored escaped: "%" followed by the name with those
// characters as %XX; names beginning with "%" are escaped too, so an escaped
// key never equals a plain one.
class TUniqueID : public TAbstractItem {
public:
    static constexpr const char* FileName = "tsclnt31.ini";

    explicit TUniqueID(const std::string& programDir);
    ~TUniqueID() override;

    int32_t GetLayerID(std::string_view layerName);
    // The key is the file name without its folder ("/" and "\" both count).
    int32_t GetFileID(std::string_view fileName);

    std::string IniName; // full path of the identifier file

    // The key under which a name is stored.
    static std::string KeyOf(std::string_view name);

private:
    int32_t GetUniqueID(const char* section, std::string_view name);
    std::shared_ptr<TIniFile> Ini;
};

// The file name part of a path written on either system ("C:\a\b.map",
// "maps/b.map" -> "b.map").
std::string FileNamePart(std::string_view path);

// The header block of a block-file project: a version and two strings kept
// as read. Stream form: version (i32), then the two length-prefixed strings.
class TMapHeaderBlock : public TAbstractItem {
public:
    TMapHeaderBlock() : TAbstractItem(nullptr) {}
    TMapHeaderBlock(TStream& stream, TAbstractItem* owner);
    void Store(TStream& stream) const override;

    int32_t Version = 102;
    std::string Text1;
    std::string Text2;
};

} // namespace tarn
