// Projects made to hurt, written by the tests' own writers: names that lead
// out of the project's folder, levels that list one sheet a thousand times,
// files far larger than their content, and sheets whose sizes were stored
// with a scale of 0.
#include "ModelSupport.h"
#include "support/Allocations.h"
#include "support/MapBytes.h"

#include "data/LayerWalk.h"
#include "data/MapObjBmp.h"
#include "platform/Ini.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <cstdio>
#include <sys/inotify.h>
#include <unistd.h>

namespace tarn::test {
namespace {

namespace fs = std::filesystem;

TLevel& LevelOf(TModel& m, int i) { return *static_cast<TLevel*>(m.Project->GetItem(i)); }
TSheet& SheetOf(TLevel& l, int i) { return *static_cast<TSheet*>(l.Sheets->GetItem(i)); }

int32_t CountIn(const TView& v, const char* layer)
{
    TCustomLayer* l = v.Map ? AsLayer(FindLayerByName(*v.Map, layer)) : nullptr;
    return l ? l->Count : -1;
}

struct TShownErrors : TModelUI {
    std::vector<std::string> Shown;
    void ShowError(const std::string& message) override { Shown.push_back(message); }
    bool Mentions(const std::string& text) const
    {
        for (const std::string& s : Shown)
            if (s.find(text) != std::string::npos) return true;
        return false;
    }
};

// A model showing the city level (1:20000) of a project, with its
// messages kept.
struct TOpened {
    TWindowSurface Surface{200, 200};
    std::shared_ptr<TShownErrors> Errors = std::make_shared<TShownErrors>();
    TModel Model;
    TView View{&Surface};
    explicit TOpened(const std::string& file, const std::string& programDir, int32_t threads = 0)
    {
        Surface.SetMmPerPixel(0.25);
        Model.ProgramDir = programDir;
        Model.LoadThreads = threads;
        Model.SetUI(Errors);
        View.Scale = 5000;
        View.WorldRect = TRect{0, 1000000, 1000000, 0};
        Model.AttachView(View);
        Model.OpenFile(file);
    }
};

// The sample sheet with pictures in its picture layer, by stored name.
std::string SheetWithPictures(const std::vector<std::string>& names)
{
    std::unique_ptr<TMap> sheet = MakeSheetMap();
    TCustomLayer* pictures = FindLayerById(*sheet, PicturesId);
    for (const std::string& name : names) {
        auto b = std::make_unique<TBmp>();
        b->Code = pictures->Count + 1;
        b->Left = 100000;
        b->Top = 900000;
        b->Width = b->Height = 100000;
        b->SetFlags(ObjFlagFromFile);
        b->SetFileName(name);
        pictures->Add(b.release());
    }
    return SheetBytes(*sheet);
}

// A 2 x 2 picture of 24 bits.
std::string SmallBmp()
{
    std::string b = "BM" + I32(14 + 40 + 16) + I32(0) + I32(54) + I32(40) + I32(2) + I32(2) +
                    Bytes({1, 0, 24, 0}) + I32(0) + I32(16) + I32(0) + I32(0) + I32(0) + I32(0);
    return b + std::string(16, '\x40');
}

TEST(HostileProject, NamesFromFilesStayInsideTheProjectsFolder)
{
    // root/outside.map, root/secret.bmp, root/../tarn.dll: all reachable
    // only by leaving root/proj.
    TTempDir root;
    fs::create_directory(root.File("proj"));
    const std::string dir = root.File("proj");
    const std::string outside = SheetWithPictures({});
    WriteFileBytes(root.File("outside.map"), outside);
    WriteFileBytes(root.File("secret.bmp"), SmallBmp());
    WriteFileBytes(dir + "/inside.bmp", SmallBmp());
    // A picture named relative to nothing: only the current directory has it.
    const std::string cwdName = "tarn-cwd-" + std::to_string(::getpid()) + ".bmp";
    WriteFileBytes(cwdName, SmallBmp());
    WriteFileBytes(dir + "/city.map", SheetWithPictures({"../secret.bmp", "/elsewhere/inside.bmp", cwdName}));

    struct TCase {
        const char* Sheet;
        bool Loaded;
    } cases[] = {{"city.map", true}, {"../outside.map", false}, {"maps/../../outside.map", false},
                 {"C:\\CITY\\..\\city.map", true}};
    for (const TCase& t : cases) {
        SCOPED_TRACE(t.Sheet);
        TPrjOptions o;
        o.SheetName = t.Sheet;
        WriteFileBytes(dir + "/city.prj", PrjBytes(o));
        TOpened c(dir + "/city.prj", dir);
        EXPECT_EQ(CountIn(c.View, "Улицы"), t.Loaded ? 1 : 0);
        if (t.Loaded) {
            TCustomLayer* pictures = FindLayerById(*c.View.Map, PicturesId);
            ASSERT_EQ(pictures->Count, 3);
            auto picture = [&](int i) { return static_cast<const TBmp*>(pictures->Object(i)); };
            EXPECT_FALSE(picture(0)->Bitmap()) << picture(0)->FileName();
            EXPECT_TRUE(c.Errors->Mentions("../secret.bmp"));
            EXPECT_EQ(picture(1)->FileName(), dir + "/inside.bmp") << "an absolute name keeps its file name";
            EXPECT_TRUE(picture(1)->Bitmap());
            EXPECT_FALSE(picture(2)->Bitmap());
            EXPECT_FALSE(BitmapCache().Find(cwdName)) << "looked for in the current directory";
        } else {
            EXPECT_TRUE(c.Errors->Mentions("путь ведёт за пределы папки проекта"));
            EXPECT_EQ(SheetOf(LevelOf(c.Model, 0), 0).Flags & SheetFlagReadOnly, SheetFlagReadOnly);
            c.Model.SaveFile(dir + "/city.prj", 1);
            EXPECT_TRUE(SameBytes(ReadFileBytes(root.File("outside.map")), outside)) << "rewritten outside the folder";
            EXPECT_FALSE(fs::exists(root.File("outside.~ma"))) << "a backup beside it";
        }
    }
    fs::remove(cwdName);
}

TEST(HostileProject, TheSymbolLibraryIsNeverTakenFromAboveTheFolder)
{
    TTempDir root;
    fs::create_directory(root.File("proj"));
    fs::copy_file(TARN_SYMBOLS_DLL, root.File("tarn.dll"));
    fs::copy_file(TARN_SYMBOLS_DLL, root.File("proj/tarn.dll"));
    TSampleCity city;
    fs::copy_file(city.Map, root.File("proj/city.map"));
    WriteFileBytes(root.File("proj/city.prj"), PrjBytes());
    TOpened c(root.File("proj/city.prj"), root.File("proj"));
    c.Model.StripPaths = 0;
    c.Model.LoadProjectDll("../tarn.dll");
    EXPECT_EQ(c.Model.LibraryLoaded, 0);
    EXPECT_TRUE(c.Errors->Mentions("путь ведёт за пределы папки проекта"));
    c.Model.LoadProjectDll("./tarn.dll");
    EXPECT_EQ(c.Model.LibraryLoaded, 1);
}

TEST(HostileProject, LevelsRepeatingASheetOpenEachPictureOnce)
{
    constexpr int Levels = 1000;
    constexpr int Pictures = 2;
    TSampleCity city;
    WriteFileBytes(city.Map, SheetWithPictures({"gone1.bmp", "gone2.bmp"}));
    {
        TOpenCity c(city.Prj);
        for (int i = 1; i < Levels; ++i) {
            auto level = std::make_unique<TLevel>("L" + std::to_string(i), 0);
            level->Scale = 1.0;
            level->MaxScale = 100000;
            level->Sheets->Add(new TSheet("city.map", SheetId, 0, 0, 1000000, 1000000, TPoint{1000, 1000}));
            c.Model->Project->Add(level.release());
        }
        c.Model->SaveFile(city.Prj, 0);
    }
    const int32_t before = BitmapCache().LoadCount();
    TOpened c(city.Prj, city.Dir.Path());
    EXPECT_EQ(CountIn(c.View, "Улицы"), Levels) << "every level loads the sheet";
    // Missing pictures are asked for again at every request: each object once.
    EXPECT_EQ(BitmapCache().LoadCount() - before, Levels * Pictures);
}

TEST(HostileProject, ASheetLongerThanItsContentIsRefusedWithoutReadingIt)
{
    TSampleCity city;
    const uintmax_t content = fs::file_size(city.Map);
    // A tail of zeros a quarter of a gigabyte long, on disk a hole.
    fs::resize_file(city.Map, content + (uintmax_t(256) << 20));
    std::size_t largest = 0;
    {
        TAllocationWatch watch;
        TOpened c(city.Prj, city.Dir.Path());
        largest = watch.Largest();
        EXPECT_EQ(CountIn(c.View, "Улицы"), 0);
        EXPECT_TRUE(c.Errors->Mentions("bytes follow the sheet's content")) << c.Model.LastSheetError;
        char offset[32];
        std::snprintf(offset, sizeof offset, "offset 0x%jX", content);
        EXPECT_TRUE(c.Errors->Mentions(std::string("city.map, ") + offset + ", end of the sheet"))
            << ::testing::PrintToString(c.Errors->Shown);
    }
    EXPECT_LE(largest, std::size_t(1) << 20);
}

TEST(HostileProject, ASheetWhoseSizesCannotBeScaledIsSkippedAndNeverWritten)
{
    TSampleCity city;
    std::unique_ptr<TMap> stored = MakeSheetMap();
    // A line width of 60000 at a scale of 2e9 is far past 32 bits when drawn.
    stored->MapParams.Ints[2] = 2000000000;
    static_cast<TPolyLineEx*>(FindLayerById(*stored, StyledLinesId)->Object(0))->Width = 60000;
    WriteFileBytes(city.Map, SheetBytes(*stored));
    const std::string bytes = ReadFileBytes(city.Map);
    TOpened c(city.Prj, city.Dir.Path());
    EXPECT_EQ(CountIn(c.View, "Улицы"), 0);
    EXPECT_TRUE(c.Errors->Mentions("city.map")) << ::testing::PrintToString(c.Errors->Shown);
    EXPECT_EQ(SheetOf(LevelOf(c.Model, 0), 0).Flags & SheetFlagReadOnly, SheetFlagReadOnly);
    c.Model.SaveFile(city.Prj, 1);
    EXPECT_EQ(ReadFileBytes(city.Map), bytes) << "the sheet is never written back empty";
}

TEST(HostileProject, SizesStoredWithScaleZeroSurviveOpenAndSave)
{
    TSampleCity city;
    std::unique_ptr<TMap> stored = MakeSheetMap();
    stored->MapParams.Ints[2] = 0;
    WriteFileBytes(city.Map, SheetBytes(*stored));
    auto values = [](const TMap& m) {
        std::vector<int32_t> v;
        std::vector<TCustomLayer*> layers;
        CollectLayers(m, true, layers);
        for (const TCustomLayer* l : layers) {
            v.insert(v.end(), {l->Style1, l->Style2, l->TextFont.Height});
            for (int32_t i = 0; i < l->Count; ++i) {
                if (auto* p = dynamic_cast<const TPolyLineEx*>(l->Object(i))) v.push_back(p->Width);
                if (auto* t = dynamic_cast<const TTextEx*>(l->Object(i))) v.push_back(t->Size);
                if (auto* s = dynamic_cast<const TSignEx*>(l->Object(i))) v.push_back(s->Size);
            }
        }
        return v;
    };
    const std::vector<int32_t> before = values(*stored);
    for (int round = 0; round < 2; ++round) {
        TOpened c(city.Map, city.Dir.Path());
        ASSERT_EQ(c.Model.ZoomAll(c.View), 0);
        ASSERT_EQ(CountIn(c.View, "Улицы"), 1);
        c.Model.SaveFile(city.Map, 1);
        TFileContext ctx;
        ctx.YBase = 1000;
        TMemoryStream ms(ReadFileBytes(city.Map));
        ms.SetContext(ctx);
        TReader r(ms);
        TMap back(r, TLayer::FromMap16{});
        EXPECT_EQ(back.MapParams.Ints[2], 0);
        EXPECT_EQ(values(back), before) << "after save " << round + 1;
    }
}

// Every open, read, write, creation or removal in a folder while it lives,
// through whatever name (a link elsewhere included).
class TFolderWatch {
public:
    explicit TFolderWatch(const std::vector<std::string>& folders) : Fd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
    {
        EXPECT_GE(Fd, 0);
        for (const std::string& f : folders) EXPECT_GE(::inotify_add_watch(Fd, f.c_str(), IN_ALL_EVENTS), 0) << f;
    }
    ~TFolderWatch() { ::close(Fd); }
    // "name mask" of each event since the last call.
    std::vector<std::string> Events()
    {
        std::vector<std::string> events;
        alignas(inotify_event) char buf[4096];
        for (ssize_t n; (n = ::read(Fd, buf, sizeof buf)) > 0;)
            for (char* p = buf; p < buf + n;) {
                const auto* e = reinterpret_cast<const inotify_event*>(p);
                char mask[16];
                std::snprintf(mask, sizeof mask, " %#x", e->mask);
                events.push_back(std::string(e->len ? e->name : "(folder)") + mask);
                p += sizeof(inotify_event) + e->len;
            }
        return events;
    }

private:
    int Fd;
};

// An 8 x 8 picture of one bit: a tiled raster cache is made beside it.
std::string OneBitBmp()
{
    return "BM" + I32(14 + 40 + 8 + 32) + I32(0) + I32(62) + I32(40) + I32(8) + I32(8) + Bytes({1, 0, 1, 0}) +
           I32(0) + I32(32) + I32(0) + I32(0) + I32(2) + I32(0) + Bytes({0, 0, 0, 0, 255, 255, 255, 0}) +
           std::string(32, '\x55');
}

// Links in the project's folder to files and folders beside it and
// outside it: what leads inside is used, what leads out is refused, and
// nothing outside is ever opened, listed or written, by the open, the
// loading of sheets, pictures and the symbol library, the settings file,
// and a save with sheets.
TEST(HostileProject, NothingOutsideTheFolderIsReadOrWrittenThroughALink)
{
    constexpr int Any = -1;
    const struct TCase {
        const char* What;
        const char* Sheet;    // its name in the project
        const char* Picture;  // its name in the sheet ("" none)
        std::vector<std::pair<std::string, std::string>> Links;  // in the folder -> "out/..." or "in/..."
        int SheetLoaded, PictureLoaded, LibraryLoaded, IniRead;
    } cases[] = {
        {"nothing linked", "city.map", "pic.bmp", {}, 1, 1, 1, 1},
        {"sheet: a file link out", "city.map", "", {{"city.map", "out/city.map"}}, 0, Any, 1, 1},
        {"sheet: a folder link out", "maps/city.map", "", {{"maps", "out/sub"}}, 0, Any, 1, 1},
        {"sheet: a file link in", "city.map", "", {{"city.map", "in/city.map"}}, 1, Any, 1, 1},
        {"sheet: a folder link in", "maps/city.map", "", {{"maps", "in"}}, 1, Any, 1, 1},
        {"picture: a file link out", "city.map", "pic.bmp", {{"pic.bmp", "out/pic.bmp"}}, 1, 0, 1, 1},
        {"picture: a folder link out", "city.map", "pics/pic.bmp", {{"pics", "out/sub"}}, 1, 0, 1, 1},
        {"picture: a file link in", "city.map", "pic.bmp", {{"pic.bmp", "in/pic.bmp"}}, 1, 1, 1, 1},
        {"picture: its raster cache a link out", "city.map", "plan.bmp", {{"plan.tr", "out/plan.tr"}}, 1, Any, 1, 1},
        {"symbol library: a file link out", "city.map", "", {{"tarn.dll", "out/lib.dll"}}, 1, Any, 0, 1},
        {"symbol library: a file link in", "city.map", "", {{"tarn.dll", "in/lib.dll"}}, 1, Any, 1, 1},
        {"settings: a file link out", "city.map", "", {{"tarn.ini", "out/settings.ini"}}, 1, Any, 1, 0},
        {"settings: a file link in", "city.map", "", {{"tarn.ini", "in/settings.ini"}}, 1, Any, 1, 0},
    };
    for (const TCase& t : cases) {
        SCOPED_TRACE(t.What);
        TTempDir root;
        const std::string dir = root.File("proj"), out = root.File("out"), in = dir + "/in";
        for (const std::string& d : {dir, out, out + "/sub", in}) fs::create_directories(d);
        std::vector<std::string> pictures;
        if (*t.Picture) pictures.push_back(t.Picture);
        const std::string sheet = SheetWithPictures(pictures);
        // Every file a name may reach, wherever it leads, the same.
        auto put = [&](const std::string& folder) {
            WriteFileBytes(folder + "/city.map", sheet);
            WriteFileBytes(folder + "/pic.bmp", SmallBmp());
            WriteFileBytes(folder + "/plan.tr", "a cache of another picture");
            WriteFileBytes(folder + "/settings.ini", "[S]\r\nk=1\r\n");
            fs::copy_file(TARN_SYMBOLS_DLL, folder + "/lib.dll");
        };
        for (const std::string& f : {out, out + "/sub", in}) put(f);
        WriteFileBytes(dir + "/city.map", sheet);
        WriteFileBytes(dir + "/pic.bmp", SmallBmp());
        WriteFileBytes(dir + "/plan.bmp", OneBitBmp());
        WriteFileBytes(dir + "/tarn.ini", "[S]\r\nk=1\r\n");
        fs::copy_file(TARN_SYMBOLS_DLL, dir + "/tarn.dll");
        for (const auto& [name, target] : t.Links) {
            fs::remove(dir + "/" + name);
            fs::create_symlink(target.rfind("out", 0) == 0 ? "../" + target : target, dir + "/" + name);
        }
        TPrjOptions o;
        o.SheetName = t.Sheet;
        WriteFileBytes(dir + "/city.prj", PrjBytes(o));

        TFolderWatch watch({out, out + "/sub"});
        {
            TOpened c(dir + "/city.prj", dir);
            c.Model.LoadProjectDll("tarn.dll");
            EXPECT_EQ(CountIn(c.View, "Улицы"), t.SheetLoaded);
            if (t.SheetLoaded == 0) {
                EXPECT_TRUE(c.Errors->Mentions("ссылка ведёт за пределы папки проекта"));
            }
            if (t.PictureLoaded != Any) {
                const auto* picture = static_cast<const TBmp*>(FindLayerById(*c.View.Map, PicturesId)->Object(0));
                EXPECT_EQ(picture->Bitmap() != nullptr, t.PictureLoaded == 1) << picture->FileName();
            }
            EXPECT_EQ(c.Model.LibraryLoaded, t.LibraryLoaded);
            auto ini = TIniFile::Open(dir + "/tarn.ini");
            const std::function<void()> uses[] = {[&] { EXPECT_EQ(ini->ReadInteger("S", "k", 0), 1); },
                                                   [&] { ini->WriteInteger("S", "k", 2); }};
            for (const auto& use : uses) {
                try {
                    use();
                    EXPECT_EQ(t.IniRead, 1);
                } catch (const EFileError& e) {
                    EXPECT_EQ(t.IniRead, 0);
                    EXPECT_EQ(std::string(e.what()), dir + "/tarn.ini: это ссылка на другой файл; программа не "
                                                           "читает и не записывает файлы через ссылки");
                }
            }
            c.Model.StructureChanged = 1;
            c.Model.SaveFile(dir + "/city.prj", 1);
        }
        EXPECT_EQ(watch.Events(), std::vector<std::string>{});
        for (const auto& [name, target] : t.Links) EXPECT_TRUE(fs::is_symlink(dir + "/" + name)) << name << " kept";
    }
}

} // namespace
} // namespace tarn::test

namespace tarn::test {
namespace {

// Every layer of a map with its objects in their stored form, for comparing maps.
TEST(ParallelLoading, GivesTheMapOfLoadingOneByOne)
{
    // Eight sheets side by side in the city level, each with its own
    // objects, one missing and one cut short.
    constexpr int Sheets = 8;
    TSampleCity city;
    {
        TOpenCity c(city.Prj);
        TLevel& level = LevelOf(*c.Model, 0);
        for (int i = 1; i <= Sheets; ++i) {
            const std::string name = "s" + std::to_string(i) + ".map";
            level.Sheets->Add(new TSheet(name, 100 + i, i * 1000000, 0, 1000000, 1000000, TPoint{1000, 1000}));
            c.Model->Project->ExpandExtent(TRect{i * 1000000, 1000000, (i + 1) * 1000000, 0});
            std::unique_ptr<TMap> sheet = MakeSheetMap();
            TCustomLayer* signs = FindLayerById(*sheet, SignsId);
            for (int k = 0; k < i * 50; ++k) {
                auto s = std::make_unique<TSign>();
                s->Code = 10 + k;
                s->X = 1000 * (k % 1000);
                s->Y = 1000 * (i * 37 % 1000);
                signs->Add(s.release());
            }
            std::string bytes = SheetBytes(*sheet);
            if (i == 5) bytes.resize(bytes.size() / 2);
            if (i != 3) WriteFileBytes(city.Dir.File(name), bytes);
        }
        c.Model->SaveFile(city.Prj, 0);
    }
    auto load = [&](int32_t threads, std::vector<std::string>& shown, std::vector<uint16_t>& flags) {
        TOpened c(city.Prj, city.Dir.Path(), threads);
        c.Model.LevelSwitch(c.View);
        shown = c.Errors->Shown;
        for (int32_t i = 0; i < LevelOf(c.Model, 0).Sheets->Count; ++i) flags.push_back(SheetOf(LevelOf(c.Model, 0), i).Flags);
        EXPECT_EQ(CountIn(c.View, "Улицы"), Sheets - 1) << "the sample and the sheets that can be read";
        return MapBytes(*c.View.Map);
    };
    std::vector<std::string> shownOne, shownMany;
    std::vector<uint16_t> flagsOne, flagsMany;
    const std::string one = load(1, shownOne, flagsOne);
    const std::string many = load(Sheets, shownMany, flagsMany);
    EXPECT_TRUE(SameBytes(many, one));
    EXPECT_EQ(shownMany, shownOne);
    EXPECT_EQ(flagsMany, flagsOne);
    ASSERT_EQ(shownOne.size(), 1u);
    EXPECT_NE(shownOne[0].find("s3.map"), std::string::npos);
    EXPECT_NE(shownOne[0].find("s5.map"), std::string::npos) << "every refused sheet named";
}

} // namespace
} // namespace tarn::test
