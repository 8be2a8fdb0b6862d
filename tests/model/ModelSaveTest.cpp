// Saving a project with its sheets on a machine that fails: the disk fills
// after any file, a target is read-only, a killed save left temporaries,
// a block file reaches far past its end.
#include "ModelSupport.h"
#include "support/Allocations.h"

#include "data/FlatFile.h"
#include "platform/SafeFile.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <sys/stat.h>

namespace tarn::test {
namespace {

namespace fs = std::filesystem;

// Every file of the folder with its bytes.
std::map<std::string, std::string> Folder(const std::string& dir)
{
    std::map<std::string, std::string> files;
    for (const auto& e : fs::directory_iterator(dir))
        files[e.path().filename().string()] = e.is_regular_file() ? ReadFileBytes(e.path().string()) : "";
    return files;
}

// Equal folders, or the first file that differs, is missing or is new.
::testing::AssertionResult SameFiles(const std::map<std::string, std::string>& actual,
                                     const std::map<std::string, std::string>& expected)
{
    for (const auto& [name, bytes] : expected) {
        auto it = actual.find(name);
        if (it == actual.end()) return ::testing::AssertionFailure() << name << " is gone";
        if (::testing::AssertionResult same = SameBytes(it->second, bytes); !same)
            return ::testing::AssertionFailure() << name << ": " << same.message();
    }
    for (const auto& [name, bytes] : actual)
        if (!expected.count(name)) return ::testing::AssertionFailure() << name << " is new";
    return ::testing::AssertionSuccess();
}

struct TFaultAt {
    TFaultAt(TWriteStep step, int n)
    {
        SetWriteFaultHook([=, seen = 0](const std::string&, TWriteStep s) mutable {
            return s == step && ++seen == n ? ENOSPC : 0;
        });
    }
    ~TFaultAt() { SetWriteFaultHook(nullptr); }
};

TEST(SaveFaults, AFullDiskAtAnyFileOfASaveChangesNoFile)
{
    // A save with sheets writes the sheet's backup, the project and the
    // sheet: three files, and the disk fills at each in turn.
    for (TWriteStep step : {TWriteStep::Write, TWriteStep::Replace})
        for (int n = 1; n <= 3; ++n) {
            SCOPED_TRACE((step == TWriteStep::Write ? "write " : "rename ") + std::to_string(n));
            TOpenCity c;
            c.Model->StructureChanged = 1;
            // A changed street, so the sheet's new bytes differ from the old.
            AsLayer(c.View->Map->GetItem(0))->Object(0)->Code = 9;
            const auto before = Folder(c.City.Dir.Path());
            {
                TFaultAt fault(step, n);
                try {
                    c.Model->SaveFile(c.City.Prj, 1);
                    ADD_FAILURE() << "saved";
                } catch (const EFileError& e) {
                    EXPECT_NE(std::string(e.what()).find(std::strerror(ENOSPC)), std::string::npos) << e.what();
                }
            }
            EXPECT_TRUE(SameFiles(Folder(c.City.Dir.Path()), before));
            EXPECT_EQ(c.Model->StructureChanged, 1) << "the project is still to be saved";
            c.Model->SaveFile(c.City.Prj, 1);
            EXPECT_FALSE(SameFiles(Folder(c.City.Dir.Path()), before)) << "saved once the disk has room";
        }
}

TEST(SaveFaults, AReadOnlyProjectIsNotReplaced)
{
    TOpenCity c;
    ASSERT_EQ(::chmod(c.City.Prj.c_str(), 0444), 0);
    const auto before = Folder(c.City.Dir.Path());
    try {
        c.Model->SaveFile(c.City.Prj, 1);
        ADD_FAILURE() << "saved";
    } catch (const EFileError& e) {
        EXPECT_EQ(std::string(e.what()), c.City.Prj + ": файл только для чтения, он не будет заменён");
    }
    EXPECT_TRUE(SameFiles(Folder(c.City.Dir.Path()), before)) << "nor the sheet, nor its backup";
}

TEST(SaveFaults, TheNextSaveRemovesTheTemporariesOfAKilledOne)
{
    TOpenCity c;
    const std::string dir = c.City.Dir.Path();
    WriteFileBytes(dir + "/.city.prj.k1Ll3d", "half a project");
    WriteFileBytes(dir + "/.city.map.a2B4c6", "half a sheet");
    WriteFileBytes(dir + "/.notes", "the user's");
    c.Model->SaveFile(c.City.Prj, 0);
    const auto after = Folder(dir);
    EXPECT_FALSE(after.count(".city.prj.k1Ll3d"));
    EXPECT_FALSE(after.count(".city.map.a2B4c6"));
    EXPECT_TRUE(after.count(".notes"));
}

// Someone else's change of a file since the model read it is never lost:
// the save is refused naming the file, and the user's change stays in memory.
TEST(SaveFaults, AFileChangedOnDiskSinceItWasReadIsNotReplaced)
{
    const struct {
        const char* What;
        bool Sheet;  // else the project file
        std::function<void(const std::string&)> Change;
        bool Refused;
    } cases[] = {
        {"nothing", true, [](const std::string&) {}, false},
        {"rewritten in place", false, [](const std::string& p) { WriteFileBytes(p, ReadFileBytes(p) + "x"); }, true},
        {"rewritten in place", true, [](const std::string& p) { WriteFileBytes(p, ReadFileBytes(p) + "x"); }, true},
        {"only its time", true,
         [](const std::string& p) {
             fs::last_write_time(p, fs::last_write_time(p) + std::chrono::seconds(5));
         },
         true},
        {"replaced by a copy with its time", false,
         [](const std::string& p) {
             WriteFileBytes(p + ".new", ReadFileBytes(p));
             fs::last_write_time(p + ".new", fs::last_write_time(p));
             fs::rename(p + ".new", p);
         },
         true},
    };
    for (const auto& t : cases) {
        SCOPED_TRACE(std::string(t.What) + (t.Sheet ? " sheet" : " project"));
        TOpenCity c;
        c.Model->StructureChanged = 1;
        AsLayer(c.View->Map->GetItem(0))->Object(0)->Code = 9;
        const std::string changed = t.Sheet ? c.City.Map : c.City.Prj;
        t.Change(changed);
        const auto before = Folder(c.City.Dir.Path());
        try {
            c.Model->SaveFile(c.City.Prj, 1);
            EXPECT_FALSE(t.Refused) << "saved";
        } catch (const EFileChanged& e) {
            EXPECT_TRUE(t.Refused) << e.what();
            EXPECT_EQ(std::string(e.what()).rfind(changed + ": файл изменён на диске", 0), 0u) << e.what();
        }
        if (!t.Refused) continue;
        EXPECT_TRUE(SameFiles(Folder(c.City.Dir.Path()), before));
        EXPECT_EQ(c.Model->StructureChanged, 1) << "still to be saved";
        EXPECT_EQ(AsLayer(c.View->Map->GetItem(0))->Object(0)->Code, 9) << "the change stays in memory";
    }
    // A file the model read again, or wrote itself, is the file it knows.
    TOpenCity c;
    WriteFileBytes(c.City.Prj, ReadFileBytes(c.City.Prj));
    c.Model->OpenFile(c.City.Prj);
    c.Model->SaveFile(c.City.Prj, 1);
    c.Model->SaveFile(c.City.Prj, 1);
}

TEST(SaveFaults, ABlockFileSavesWithoutCopyingWhatLiesPastItsBlocks)
{
    TOpenCity c;
    const std::string mts = c.City.Dir.File("city.mts");
    c.Model->SaveFile(mts, 0);
    // A tail of zeros far larger than the blocks: a hole on disk.
    fs::resize_file(mts, fs::file_size(mts) + (uintmax_t(256) << 20));
    TOpenCity again(mts);
    std::size_t largest = 0;
    {
        TAllocationWatch watch;
        again.Model->SaveFile(mts, 0);
        largest = watch.Largest();
    }
    EXPECT_LE(largest, std::size_t(1) << 20);
    EXPECT_LT(fs::file_size(mts), uintmax_t(1) << 20) << "the tail is not carried over";
}

TEST(SaveFaults, ABlockFileReachingFarPastItsEndIsRefused)
{
    TOpenCity c;
    const std::string mts = c.City.Dir.File("city.mts");
    c.Model->SaveFile(mts, 0);
    // The tail moved a megabyte past the end by a gap after the last block,
    // the map kept consistent.
    {
        TFlatFile flat(std::make_unique<TMemoryStream>(ReadFileBytes(mts)), TFlatFile::TOpenMode::ReadWrite);
        const int32_t tailRec = flat.RecordOf(TFlatFile::TailHandle);
        TFlatFileBlock tail = flat.Block(tailRec);
        int patched = 0;
        for (int32_t r = 0; r < flat.Count; ++r) {
            TFlatFileBlock b = flat.Block(r);
            if (r == tailRec || b.Offset + b.Size + b.Gap != tail.Offset) continue;
            b.Gap += 1 << 20;
            flat.PutBlock(r, b);
            ++patched;
        }
        ASSERT_EQ(patched, 1);
        tail.Offset += 1 << 20;
        flat.PutBlock(tailRec, tail);
        flat.MarkBlock(TFlatFile::TailHandle, false);
        flat.SaveMap();
        WriteFileBytes(mts, static_cast<TMemoryStream&>(flat.Stream()).Bytes());
    }
    try {
        TFlatFile::OpenForReading(mts);
        ADD_FAILURE() << "opened";
    } catch (const EFormatError& e) {
        EXPECT_NE(std::string(e.what()).find("far beyond the end of the file"), std::string::npos) << e.what();
    }
}

} // namespace
} // namespace tarn::test
