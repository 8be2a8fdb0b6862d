// Damaged copies of the demo city's files opened through the model: cut
// short, bytes flipped, counts and lengths made absurd. Each open is refused
// with the model's message and leaves the open project in place, or (where
// damage only drops a block or a sheet) opens with what was valid; no open
// asks for memory out of proportion to the file.
#include "CitySupport.h"
#include "support/Allocations.h"
#include "tools/CityPlan.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace tarn::test {
namespace {

namespace fs = std::filesystem;


// A small city copied once, its navigation project also saved as a block
// file, and a model (with a view) holding that project.
struct TDamageBench {
    TCityFolder City{city::MinObjects, 3};
    TTempDir Work;
    TWindowSurface Surface{64, 48};
    std::unique_ptr<TModel> Model;
    std::unique_ptr<TView> View;
    std::string Base;

    TDamageBench()
    {
        for (const fs::directory_entry& e : fs::directory_iterator(City.Dir.Path()))
            fs::copy_file(e.path(), Work.File(e.path().filename().string()));
        Surface.SetMmPerPixel(0.25);
        Model = std::make_unique<TModel>();
        Model->ProgramDir = Work.Path();
        View = std::make_unique<TView>(&Surface);
        Model->AttachView(*View);
        Base = Work.File("nav.prj");
        Model->OpenFile(Base);
        Model->SaveFile(Work.File("nav.mts"), 0);
        OpenBase();
    }
    void OpenBase()
    {
        Model->OpenFile(Base);
        Model->ZoomAll(*View);
    }
    std::string Good(const std::string& name) const { return ReadFileBytes(Work.File(name)); }
};

TDamageBench& Bench()
{
    static TDamageBench bench;
    return bench;
}

struct TSnapshot {
    std::string FileName;
    const void* Project;
    const void* WorkMap;
    const void* Compounds;
    int32_t Layers;
    int32_t ProjectScale;
    bool operator==(const TSnapshot&) const = default;
};

TSnapshot Snap(const TModel& m)
{
    return {m.FileName, m.Project.get(), m.WorkMap.get(), m.Compounds.get(), m.WorkMap ? m.WorkMap->Count : -1,
            m.FileContext.ProjectScale};
}

enum class TOutcome { Refused, Opened };

// Opens bytes as name in the work folder; a refusal must carry the
// model's message and change nothing, an open must draw. The base project
// is open again afterwards.
TOutcome OpenDamaged(const std::string& name, const std::string& bytes, const std::string& what)
{
    TDamageBench& b = Bench();
    const std::string path = b.Work.File(name);
    WriteFileBytes(path, bytes);
    const TSnapshot before = Snap(*b.Model);
    TOutcome outcome = TOutcome::Opened;
    std::size_t largest = 0;
    {
        TAllocationWatch watch;
        try {
            b.Model->OpenFile(path);
        } catch (const EModel& e) {
            outcome = TOutcome::Refused;
            EXPECT_EQ(std::string(e.what()), "Ошибка входного файла " + path) << what;
            EXPECT_FALSE(e.Cause.empty()) << what;
        } catch (const std::exception& e) {
            ADD_FAILURE() << what << ": not the model's message: " << e.what();
        }
        if (outcome == TOutcome::Opened) {
            b.Model->ZoomAll(*b.View);
            b.Model->PaintView(*b.View);
        }
        largest = watch.Largest();
    }
    // Memory in proportion to the file (and the sheets it loads), not to a
    // count or length read from it.
    EXPECT_LE(largest, std::size_t(16) << 20) << what;
    if (outcome == TOutcome::Refused) EXPECT_TRUE(Snap(*b.Model) == before) << what << ": a refused open changed the model";
    else b.OpenBase();
    return outcome;
}

struct TDamaged {
    const char* Source;  // the good file in the city
    const char* Name;    // the damaged copy
    bool MayOpen;        // damage may only drop parts (a block file's blocks)
};

const TDamaged Files[] = {
    {"nav.prj", "bad.prj", false},
    {"nav.mts", "bad.mts", true},
    {"places.map", "bad.map", false},
};

class CorruptCity : public ::testing::TestWithParam<TDamaged> {};

TEST_P(CorruptCity, TruncatedCopiesAreRefusedAndTheOpenProjectStays)
{
    const std::string good = Bench().Good(GetParam().Source);
    ASSERT_GT(good.size(), 64u);
    std::vector<std::size_t> cuts;
    for (std::size_t at = 0; at < 24; ++at) cuts.push_back(at);
    for (int i = 1; i < 40; ++i) cuts.push_back(good.size() * i / 40);
    cuts.push_back(good.size() - 1);
    for (std::size_t at : cuts) {
        const std::string what = std::string(GetParam().Source) + " cut at " + std::to_string(at);
        EXPECT_EQ(OpenDamaged(GetParam().Name, good.substr(0, at), what), TOutcome::Refused) << what;
    }
}

TEST_P(CorruptCity, FlippedBytesAreRefusedOrOpenWhatIsValid)
{
    const std::string good = Bench().Good(GetParam().Source);
    uint32_t random = 12345;
    int refused = 0;
    for (int i = 0; i < 80; ++i) {
        random = random * 1103515245u + 12345u;
        const std::size_t at = i < 16 ? std::size_t(i) : (random >> 8) % good.size();
        std::string bad = good;
        bad[at] = char(bad[at] ^ (i % 2 ? 0xFF : 1 << (i / 2 % 8)));
        const std::string what = std::string(GetParam().Source) + " flipped at " + std::to_string(at);
        refused += OpenDamaged(GetParam().Name, bad, what) == TOutcome::Refused;
    }
    // The magic and the first counts are in the first bytes: those are refused.
    EXPECT_GE(refused, 8);
}

// Where a file keeps its counts, lengths and offsets, as small numbers:
// 32-bit fields (streams, block maps), 16-bit string lengths, and the
// tagged integers of the filer form (tag 2 and one byte).
struct TField {
    std::size_t At;
    int Width;  // 4, 2, or 0 for a tagged one-byte integer
};

std::vector<TField> SmallNumbers(const std::string& b, int width)
{
    auto byte = [&](std::size_t i) { return uint32_t(uint8_t(b[i])); };
    std::vector<TField> found;
    std::size_t next = 0;
    for (std::size_t at = 0; at + 4 <= b.size(); ++at) {
        if (at < next) continue;
        bool small = false;
        if (width == 4) {
            const uint32_t v = byte(at) | byte(at + 1) << 8 | byte(at + 2) << 16 | byte(at + 3) << 24;
            small = v >= 1 && v <= 100000;
        } else if (width == 2) {
            const uint32_t n = byte(at) | byte(at + 1) << 8;
            small = n >= 1 && n <= 255 && at + 2 + n <= b.size();
        } else {
            small = byte(at) == 2 && byte(at + 1) >= 1;
        }
        if (small) {
            found.push_back({at, width});
            next = at + std::max(width, 2);
        }
    }
    return found;
}

std::string Enlarge(const std::string& good, const TField& f, uint32_t v)
{
    std::string bad = good;
    if (f.Width == 0) {
        const char tagged[5] = {4, char(v & 0xFF), char(v >> 8 & 0xFF), char(v >> 16 & 0xFF), char(v >> 24)};
        bad.replace(f.At, 2, tagged, 5);
    } else {
        for (int k = 0; k < f.Width; ++k) bad[f.At + k] = char(v >> (8 * k) & 0xFF);
    }
    return bad;
}

TEST_P(CorruptCity, AbsurdCountsAndLengthsAreRefusedWithinBoundedMemory)
{
    const std::string good = Bench().Good(GetParam().Source);
    int refused = 0;
    for (int width : {4, 2, 0}) {
        const std::vector<TField> fields = SmallNumbers(good, width);
        const std::size_t step = std::max<std::size_t>(1, fields.size() / 20);
        for (std::size_t i = 0; i < fields.size(); i += step) {
            for (uint32_t v : {0x7FFFFFFFu, 0xFFFFFFFFu}) {
                char what[80];
                std::snprintf(what, sizeof what, "%s: 0x%X in the %d-byte field at 0x%zX", GetParam().Source, v,
                              width ? width : 1, fields[i].At);
                refused += OpenDamaged(GetParam().Name, Enlarge(good, fields[i], v), what) == TOutcome::Refused;
            }
        }
    }
    EXPECT_GT(refused, 10) << "the fields found are no counts or lengths";
}

INSTANTIATE_TEST_SUITE_P(Files, CorruptCity, ::testing::ValuesIn(Files), [](const auto& info) {
    std::string n = info.param.Name;
    return n.substr(n.find('.') + 1);
});

TEST(CorruptCity, DamagedSheetIsSkippedAndTheProjectOpens)
{
    TDamageBench& b = Bench();
    const std::string sheet = b.Work.File("nav.map"), good = ReadFileBytes(sheet);
    for (std::size_t cut : {std::size_t(0), std::size_t(40), good.size() / 2}) {
        fs::permissions(sheet, fs::perms::owner_write, fs::perm_options::add);
        WriteFileBytes(sheet, good.substr(0, cut));
        b.Model->LastSheetError.clear();
        ASSERT_NO_THROW(b.Model->OpenFile(b.Base)) << "sheet cut at " << cut;
        ASSERT_EQ(b.Model->ZoomAll(*b.View), ResultDone);
        EXPECT_EQ(b.Model->PaintView(*b.View), ResultDone);
        EXPECT_NE(b.Model->LastSheetError.find("nav.map"), std::string::npos)
            << "sheet cut at " << cut << ": " << b.Model->LastSheetError;
    }
    WriteFileBytes(sheet, good);
    b.OpenBase();
}

} // namespace
} // namespace tarn::test
