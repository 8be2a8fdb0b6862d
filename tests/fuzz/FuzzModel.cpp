// The model's open of ".prj", ".mts" and ".map": the input is written into a
// demo city's folder (so the sheets a project names are there) and opened by
// a model that already holds a project, with a view attached. A refused open
// must leave that project in place; an accepted one is fitted, drawn, saved
// beside it (projects) and opened again.
#include "FuzzEntries.h"

#include "model/Models.h"
#include "platform/WindowSurface.h"
#include "tools/City.h"
#include "tools/CityPlan.h"

#include <cstdlib>
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

namespace tarn::fuzz {

namespace fs = std::filesystem;

namespace {

[[noreturn]] void Broken(const std::string& what) { throw EFuzzCheck(what); }

void WriteFile(const std::string& path, const uint8_t* data, std::size_t size)
{
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(data), std::streamsize(size));
    f.close();
    if (!f) Broken("cannot write " + path);
}

// What a failed open must not change.
struct TModelState {
    std::string FileName, LibraryName;
    const void* Parts[6] = {};
    int32_t Levels = -1, Layers = -1, CurrentLevel = -1;
    double ProjectScale = 0;
    int32_t FileVersion = 0;

    explicit TModelState(const TModel& m)
        : FileName(m.FileName), LibraryName(m.LibraryName),
          Parts{m.Project.get(), m.WorkMap.get(), m.CollectionA.get(), m.Compounds.get(), m.CollectionB.get(),
                m.Header.get()},
          Levels(m.Project ? m.Project->Count : -1), Layers(m.WorkMap ? m.WorkMap->Count : -1),
          CurrentLevel(m.CurrentLevel), ProjectScale(m.FileContext.ProjectScale),
          FileVersion(m.FileContext.FileVersion)
    {
    }
    bool operator==(const TModelState& o) const
    {
        for (int i = 0; i < 6; ++i)
            if (Parts[i] != o.Parts[i]) return false;
        return FileName == o.FileName && LibraryName == o.LibraryName && Levels == o.Levels && Layers == o.Layers &&
               CurrentLevel == o.CurrentLevel && ProjectScale == o.ProjectScale && FileVersion == o.FileVersion;
    }
};

// The demo city takes seconds to make under the sanitizers, and fork-mode
// fuzzing starts a process every few seconds: it is made once into a cache
// beside the fuzz folders (named after this program's build time) and
// copied from there.
void MakeDemoCity(const std::string& to)
{
    city::TCityOptions o;
    o.OutDir = to;
    o.Objects = city::MinObjects;
    o.SymbolLibrary = TARN_SYMBOLS_DLL;
    city::MakeCity(o);
}

void CopyCity(const std::string& to)
{
    if (!ShareDemoCity) return MakeDemoCity(to);
    struct stat self {};
    if (::stat("/proc/self/exe", &self) != 0) self.st_mtime = 0;
    const fs::path base = fs::path(FuzzFolder()).parent_path();
    const fs::path cache = base / ("tarn-fuzz-city-" + std::to_string(::getuid()) + "-" + std::to_string(self.st_mtime));
    std::error_code ec;
    if (!fs::exists(cache / "tarn.prj", ec)) {
        const fs::path work = fs::path(FuzzFolder()) / "city-new";
        MakeDemoCity(work.string());
        fs::rename(work, cache, ec);  // another process may have been first
    }
    fs::copy(cache, to, fs::copy_options::recursive, ec);
    if (ec) Broken("cannot copy the demo city: " + ec.message());
}

// A small demo city and a model on it, made once a process.
struct TBench {
    std::string City, Ids, Base;
    TWindowSurface Surface{64, 48};
    std::unique_ptr<TModel> Model;
    std::unique_ptr<TView> View;

    TBench()
    {
        City = FuzzFolder() + "/city";
        Ids = FuzzFolder() + "/ids";
        fs::create_directories(Ids);
        CopyCity(City);
        // The library's coverage counters must outlive each project that
        // loads and frees it: held here for the whole run.
        if (!::dlopen((City + "/tarn.dll").c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE))
            Broken("the demo city's library does not load");
        // The smallest sheet, opened alone, is the project every input replaces.
        Base = City + "/places.map";
        Surface.SetMmPerPixel(0.25);
        Model = std::make_unique<TModel>();
        Model->ProgramDir = Ids;
        View = std::make_unique<TView>(&Surface);
        Model->AttachView(*View);
        OpenBase();
    }

    // The identifier file as the demo sheet left it: put back before each
    // input, so every input meets the same names (and the names the demo
    // city already has cost no write).
    std::string KnownIds;
    void ResetIds()
    {
        const std::string path = Ids + "/" + TUniqueID::FileName;
        if (KnownIds.empty()) {
            fs::remove(path);
        } else {
            WriteFile(path, reinterpret_cast<const uint8_t*>(KnownIds.data()), KnownIds.size());
        }
    }

    void OpenBase()
    {
        ResetIds();
        try {
            if (!Model->OpenFile(Base)) Broken("the demo sheet is not opened");
        } catch (const ETarnError& e) {
            Broken(std::string("the demo sheet does not open: ") + e.what());
        }
        Model->ZoomAll(*View);
        if (KnownIds.empty()) {
            std::ifstream f(Ids + "/" + TUniqueID::FileName, std::ios::binary);
            KnownIds.assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
        }
    }
};

TBench& Bench()
{
    static TBench bench;
    return bench;
}

void Show(TBench& b)
{
    TModel& m = *b.Model;
    m.ZoomAll(*b.View);
    m.PaintView(*b.View);
    // Nearer in, where a level of detail may have sheets of its own.
    const TRect& r = b.View->WorldRect;
    const TPoint centre{int32_t((int64_t(r.Left) + r.Right) / 2), int32_t((int64_t(r.Top) + r.Bottom) / 2)};
    if (m.ZoomAtPoint(*b.View, centre, 2000) == ResultDone) m.PaintView(*b.View);
}

TFuzzResult FuzzModelOpen(const char* ext, const uint8_t* data, std::size_t size)
{
    TBench& b = Bench();
    TModel& m = *b.Model;
    const std::string path = b.City + "/fuzz" + ext;
    WriteFile(path, data, size);
    b.ResetIds();

    const TModelState before(m);
    try {
        if (!m.OpenFile(path)) Broken(std::string("the model does not take ") + ext);
    } catch (const EModel& e) {
        if (std::string(e.what()).rfind("Ошибка входного файла " + path, 0) != 0)
            Broken(std::string("a refused open says: ") + e.what());
        if (!(TModelState(m) == before)) Broken("a refused open changed the model");
        return TFuzzResult::Refused;
    }

    TFuzzResult result = TFuzzResult::Accepted;
    try {
        Show(b);
        if (std::string(ext) != ".map") {
            // What was opened is saved as it is and opens again.
            const std::string again = b.City + "/again" + ext;
            bool saved = false;
            try {
                m.SaveFile(again, 0);
                saved = true;
            } catch (const EWriteError&) {
            }
            if (saved) {
                try {
                    m.OpenFile(again);
                } catch (const ETarnError& e) {
                    Broken(std::string("a saved project does not open again: ") + e.what());
                }
            }
        }
    } catch (const EFuzzCheck&) {
        throw;
    } catch (const ETarnError&) {
        result = TFuzzResult::Refused;  // a clean refusal after the open
    }
    b.OpenBase();
    return result;
}

} // namespace

bool ShareDemoCity = false;

TFuzzResult FuzzModelPrj(const uint8_t* data, std::size_t size) { return FuzzModelOpen(".prj", data, size); }
TFuzzResult FuzzModelMts(const uint8_t* data, std::size_t size) { return FuzzModelOpen(".mts", data, size); }
TFuzzResult FuzzModelMap(const uint8_t* data, std::size_t size) { return FuzzModelOpen(".map", data, size); }

} // namespace tarn::fuzz
