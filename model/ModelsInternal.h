#pragma once
// What the parts of the model share and nobody else needs.
#include "model/Models.h"
#include "data/Utils.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace tarn {

// A document read into fresh state; the model takes it only when the whole
// read succeeded. Null parts were not in the file (a ".mts" block missing)
// and leave the model's own.
struct TModel::TDocument {
    std::unique_ptr<TProject> Project;
    std::unique_ptr<TMap> WorkMap;
    std::unique_ptr<TCollection> CollectionA;
    std::unique_ptr<TCollection> Compounds;
    std::unique_ptr<TCollection> CollectionB;
    bool HasSettings = false;
    std::string LibraryName;
    int32_t StoredValue = 0;
    uint8_t OpenedFromMap = 0;
    std::unique_ptr<TMapHeaderBlock> Header;
    TFileContext Context;
    std::string FileName;      // the file being read; its sheets resolve in its folder
    std::string SheetLibrary;  // the library name of the last sheet added
};

// Every file a save writes, complete in memory before any is replaced.
struct TModel::TSaveBatch {
    struct TFile {
        std::string Path;
        std::string Bytes;
        bool Backup = false;
    };
    struct TFlat {
        std::string Path;
        std::unique_ptr<TFlatFile> File;
        bool Backup = false;
    };
    std::vector<TFile> Files;
    std::vector<TFlat> Flats;

    void AddFile(std::string path, std::string bytes, bool backup);
    // The block file of path, opened on a copy in memory on first use.
    TFlat& Flat(const std::string& path);
    // Backup copies first, then each file through a temporary file.
    void Commit();
};

// The blocks of a block-file project.
constexpr int32_t BlockProject = 10000;
constexpr int32_t BlockWorkMap = 10001;
constexpr int32_t BlockCollectionA = 10002;
constexpr int32_t BlockCompounds = 10003;
constexpr int32_t BlockCollectionB = 10004;
constexpr int32_t BlockSettings = 10005;
constexpr int32_t BlockHeader = 10006;

// value / by, rounded halves to even, saturated to 32 bits.
inline int32_t RoundDiv(double value, double by) { return RoundEvenSat(static_cast<long double>(value) / by); }

// The 101 bytes of a library name: at most 100 characters read up to the
// first zero (a missing terminator is supplied), written zero-padded.
constexpr std::size_t LibraryNameSize = 101;
std::string ReadLibraryName(TStream& stream);
void WriteLibraryName(TStream& stream, const std::string& name);

// Layer identifiers whose block (identifier + 100) would be one of the
// block file's own (below 10, or the project's 10000-10006) or overflow.
bool LayerIdUsable(int32_t layerId);
int32_t LayerBlockHandle(int32_t layerId);

// Same folder, compared without regard to case.
bool SameFolder(const std::string& a, const std::string& b);
bool EndsWithNoCase(const std::string& s, const std::string& suffix);

// The largest object code of a layer (0 when empty or all negative).
int32_t LargestCode(const TCustomLayer& layer);

} // namespace tarn
