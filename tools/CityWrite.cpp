// Writing the demo city's program folder: the sheets through the map's
// sheet writer, the projects through the model (its sheets added with
// AddSheet and saved with its ".prj" sequence), the identifier file that
// gives the sheets and layers the numbers the program expects, the symbol
// library, the object database and the scanned plan with its cache.
#include "City.h"

#include "CityDatabase.h"
#include "CityNames.h"
#include "CityRaster.h"
#include "CityStyle.h"
#include "CityWriteSheets.h"

#include "data/LayerWalk.h"
#include "data/Rasters.h"
#include "data/Registration.h"
#include "model/Models.h"
#include "platform/Cp1251.h"
#include "platform/Ini.h"
#include "platform/SafeFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace tarn::city {

namespace fs = std::filesystem;

namespace {

using namespace write;

// ---------------------------------------------------------------- the folder

// A private folder beside the output, removed unless everything was moved.
class TWorkDir {
public:
    explicit TWorkDir(const fs::path& out)
    {
        std::string pattern = (out / ".mkcity-XXXXXX").string();
        std::vector<char> buf(pattern.begin(), pattern.end());
        buf.push_back('\0');
        if (!::mkdtemp(buf.data()))
            throw ECityError("mkcity: cannot write to the folder " + out.string() + ": " + std::strerror(errno));
        Path = buf.data();
    }
    ~TWorkDir()
    {
        std::error_code ec;
        fs::remove_all(Path, ec);
    }
    TWorkDir(const TWorkDir&) = delete;
    TWorkDir& operator=(const TWorkDir&) = delete;
    std::string File(const std::string& name) const { return Path + "/" + name; }
    std::string Path;
};

void SeedIdentifiers(const std::string& dir, const std::vector<TSheetOut>& sheets)
{
    std::shared_ptr<TIniFile> ini = TIniFile::Open(dir + "/" + IdentifierFile);
    int32_t maxFile = 0, maxLayer = 0;
    for (const TSheetOut& s : sheets) maxFile = std::max(maxFile, s.Id);
    const std::vector<const TLayerStyle*> styles = MainStyles();
    for (const TLayerStyle* s : styles) maxLayer = std::max(maxLayer, s->LayerId);
    ini->WriteInteger("Files", "Maxs", maxFile);
    for (const TSheetOut& s : sheets) ini->WriteInteger("Files", TUniqueID::KeyOf(s.Name), s.Id);
    ini->WriteInteger("Layers", "Maxs", maxLayer);
    for (const TLayerStyle* s : styles) ini->WriteInteger("Layers", TUniqueID::KeyOf(Cp(s->Name)), s->LayerId);
}

void Check(int32_t result, const std::string& sheet)
{
    if (result < 0)
        throw ETarnError("the model refused the sheet " + sheet + " (AddSheet answered " + std::to_string(result) + ")");
}

// The project through the model: levels, sheets added as the model adds
// them, label fonts that the sheet form cannot carry, the station as a
// compound object; then the model's own ".prj" sequence. Besides the
// city's level and the overview, each band of labels has a level of its
// own that loads only its sheets over the others; the names the search
// lists read come from two sheets of one identifier, one level each: drawn
// from the band where showing a name lands outward, hidden closer in.
void WriteProject(const std::string& dir, const TSheetOut& base,
                  const TSheetOut& overview, const std::vector<TSheetOut>& cityOnly, const std::vector<TSheetOut>& both,
                  const std::vector<std::vector<TSheetOut>>& bands, const TSheetOut& names, const TSheetOut& namesNear,
                  const std::vector<TObjectKey>& station)
{
    TModel m;
    m.ProgramDir = dir;
    m.FileName = dir + "/" + ProjectFile;
    m.Project = std::make_unique<TProject>(Cp(CityName));
    auto city = std::make_unique<TLevel>(Cp("Город"), 0);
    city->MinScale = 0;
    city->MaxScale = LevelBoundary;
    auto view = std::make_unique<TLevel>(Cp("Обзор"), 0);
    view->MinScale = LevelBoundary;
    view->MaxScale = 20000000;
    m.Project->Add(city.release());
    m.Project->Add(view.release());
    for (int b = 0; b < int(bands.size()); ++b) {
        auto labels = std::make_unique<TLevel>(Cp("Надписи " + BandName(b)), 0);
        labels->MinScale = BandBottom(b);
        labels->MaxScale = BandTop(b);
        m.Project->Add(labels.release());
    }
    // The two overlap by one: every scale finds the names, and the one
    // scale both hold finds the drawn ones first.
    auto far = std::make_unique<TLevel>(Cp("Названия"), 0);
    far->MinScale = BandBottom(IndexBand);
    far->MaxScale = 20000000;
    auto near = std::make_unique<TLevel>(Cp("Названия вблизи"), 0);
    near->MinScale = 0;
    near->MaxScale = BandBottom(IndexBand) + 1;
    const int32_t namesLevel = m.Project->Count;
    m.Project->Add(far.release());
    m.Project->Add(near.release());
    m.WorkMap = std::make_unique<TMap>();
    m.FileContext.ProjectScale = CityProjectScale;
    m.LibraryName = "tarn.dll";
    Check(m.AddSheet(0, base.Name), base.Name);
    for (const TSheetOut& s : cityOnly) Check(m.AddSheet(0, s.Name), s.Name);
    for (const TSheetOut& s : both) Check(m.AddSheet(0, s.Name), s.Name);
    Check(m.AddSheet(1, base.Name), base.Name);
    Check(m.AddSheet(1, overview.Name), overview.Name);
    for (const TSheetOut& s : both) Check(m.AddSheet(1, s.Name), s.Name);
    for (int b = 0; b < int(bands.size()); ++b)
        for (const TSheetOut& s : bands[std::size_t(b)]) Check(m.AddSheet(2 + b, s.Name), s.Name);
    Check(m.AddSheet(namesLevel, names.Name), names.Name);
    Check(m.AddSheet(namesLevel + 1, namesNear.Name), namesNear.Name);
    // Label fonts of the styled layers live in the project only.
    for (int i = 0; i < int(L::Count); ++i) {
        const TLayerStyle& s = StyleOf(L(i));
        if (s.FontHeight <= 0 || IsTextKind(s.Kind)) continue;
        TCustomLayer* layer = FindLayerById(*m.WorkMap, s.LayerId);
        if (!layer) continue;
        layer->LabelFont = LabelFont(s.FontHeight, s.FontWeight, s.Italic);
        layer->LabelColour = int32_t(Rgb(50, 40, 60));
    }
    auto compound = std::make_unique<TComplObject>();
    compound->Identifier = 1;
    for (const TObjectKey& key : station) {
        auto copy = std::make_unique<TComplItem>();
        copy->Key = key;
        compound->Add(copy.release());
    }
    if (compound->Count > 0) m.Compounds->Add(compound.release());
    m.SaveFile(m.FileName, 0);
}

void WriteNavProject(const std::string& dir, const TSheetOut& nav)
{
    TModel m;
    m.ProgramDir = dir;
    m.FileName = dir + "/" + NavProjectFile;
    m.Project = std::make_unique<TProject>(Cp(CityName));
    auto level = std::make_unique<TLevel>(Cp("Навигатор"), 0);
    level->MinScale = 0;
    level->MaxScale = 100000000;
    m.Project->Add(level.release());
    m.WorkMap = std::make_unique<TMap>();
    m.FileContext.ProjectScale = CityProjectScale;
    m.LibraryName = "tarn.dll";
    Check(m.AddSheet(0, nav.Name), nav.Name);
    m.SaveFile(m.FileName, 0);
}

std::string ReadWhole(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) throw ECityError("mkcity: cannot read the symbol library " + path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void SetMode(const std::string& path, mode_t mode)
{
    if (::chmod(path.c_str(), mode) != 0)
        throw ECityError("mkcity: cannot set the permissions of " + path + ": " + std::strerror(errno));
}

} // namespace

std::string DetailSheetName(int32_t i)
{
    char b[16];
    std::snprintf(b, sizeof b, "dom%02d.map", int(i));
    return b;
}

TCityReport MakeCity(const TCityOptions& o)
{
    RegisterMapEngineClasses();
    if (o.OutDir.empty()) throw ECityError("mkcity: no output folder");
    if (o.Objects < MinObjects || o.Objects > MaxObjects)
        throw ECityError("mkcity: --objects must lie between " + std::to_string(MinObjects) + " and " +
                         std::to_string(MaxObjects));
    const std::string library = ReadWhole(o.SymbolLibrary);
    const fs::path out(o.OutDir);
    std::error_code ec;
    if (fs::exists(out, ec) && !fs::is_directory(out, ec))
        throw ECityError("mkcity: " + out.string() + " exists and is not a folder");
    fs::create_directories(out, ec);
    if (ec) throw ECityError("mkcity: cannot create the folder " + out.string() + ": " + ec.message());
    TWorkDir work(out);

    const TPlan plan = MakePlan(o.Seed, o.Objects);
    TCityReport report;
    report.Streets = plan.StreetCount;
    report.TownStreets = plan.TownStreetCount;
    report.Districts = plan.DistrictCount;

    // Sheets and where the plan's objects go.
    const TSheetRect world{0, 0, Metres(plan.WorldW), Metres(plan.WorldH)};
    TSheetOut base{BaseSheet, BaseSheetId, world, false, {}};
    TSheetOut overview{OverviewSheet, 1, world, false, {}};
    TSheetOut town{TownSheet, 2,
                   {Metres(plan.TownX0), Metres(plan.TownY0), Metres(plan.TownX1 - plan.TownX0),
                    Metres(plan.TownY1 - plan.TownY0)},
                   false, {}};
    TSheetOut picture{PlanSheet, 3, world, false, {}};
    TSheetOut nav{NavSheet, 4, world, true, {}};
    TSheetOut places{PlacesSheet, PlacesSheetId, world, false, {}};
    TSheetOut signs{UserSignSheet, UserSignSheetId, world, false, {}};
    TSheetOut index{NamesSheet, NamesSheetId, world, false, {}};
    TSheetOut indexNear{NamesNearSheet, NamesSheetId, world, false, {}};
    std::vector<std::size_t> detail;
    std::vector<std::vector<std::size_t>> labels(BandCount);
    for (std::size_t k = 0; k < plan.Features.size(); ++k) {
        switch (plan.Features[k].Sheet) {
        case TSheetKind::Base: base.Features.push_back(k); break;
        case TSheetKind::Overview: overview.Features.push_back(k); break;
        case TSheetKind::Detail: detail.push_back(k); break;
        case TSheetKind::Places: places.Features.push_back(k); break;
        case TSheetKind::UserSigns: signs.Features.push_back(k); break;
        case TSheetKind::Plan: picture.Features.push_back(k); break;
        case TSheetKind::Labels: labels[std::size_t(plan.Features[k].Band)].push_back(k); break;
        case TSheetKind::Names: index.Features.push_back(k); break;
        case TSheetKind::NamesNear: indexNear.Features.push_back(k); break;
        }
    }
    for (std::size_t k = 0; k < plan.Nav.size(); ++k) nav.Features.push_back(k);
    std::vector<TSheetOut> tiles = DetailSheets(plan, detail, town);
    report.DetailSheets = int32_t(tiles.size());

    std::vector<std::vector<TSheetOut>> bands;
    for (int b = 0; b < BandCount; ++b) bands.push_back(LabelSheets(plan, b, labels[std::size_t(b)]));

    std::vector<TSheetOut> all = {base, overview, town, picture, places, signs, index, indexNear};
    all.insert(all.end(), tiles.begin(), tiles.end());
    for (const std::vector<TSheetOut>& band : bands) all.insert(all.end(), band.begin(), band.end());
    std::vector<TSheetOut> withNav = all;
    withNav.push_back(nav);
    SeedIdentifiers(work.Path, withNav);

    std::map<std::size_t, TWritten> keys, navKeys;
    for (const TSheetOut& s : all) WriteSheet(work.Path, s, plan.Features, keys, report.Objects);
    int64_t navObjects = 0;
    WriteSheet(work.Path, nav, plan.Nav, navKeys, navObjects);

    // The scanned plan and its tiled cache, the cache newer than the picture.
    const std::string bmp = work.File("plan.bmp");
    WriteFileAtomically(bmp, MakeScanPicture(plan.Scan, plan.Seed));
    if (!TTiledRaster::OpenRaster(bmp)) throw ETarnError("the scanned plan is not a one-bit picture");
    const std::string tr = work.File(TrCacheName("plan.bmp"));
    fs::last_write_time(tr, fs::last_write_time(bmp) + std::chrono::seconds(2));

    // The station's building and sign as one compound object.
    std::vector<TObjectKey> station;
    for (int index : {plan.StationBuilding, plan.StationSign}) {
        if (index < 0) continue;
        const auto it = keys.find(std::size_t(index));
        if (it == keys.end()) continue;
        TObjectKey key;
        key.ModelNo = 1;
        key.LayerID = StyleOf(L(plan.Features[std::size_t(index)].Layer)).LayerId;
        key.SheetID = it->second.SheetId;
        key.Code = it->second.Code;
        station.push_back(key);
    }
    std::vector<TSheetOut> cityOnly = tiles;
    cityOnly.push_back(town);
    cityOnly.push_back(picture);
    WriteProject(work.Path, base, overview, cityOnly, {places, signs}, bands, index, indexNear, station);
    WriteNavProject(work.Path, nav);

    WriteFileAtomically(work.File("tarn.dll"), library);

    // The object database points at the places of interest, the stations,
    // the information centres and the places that hand out new data.
    std::vector<TDatabaseObject> listed;
    for (const auto& [index, at] : keys) {
        const TFeature& f = plan.Features[index];
        const L layer = L(f.Layer);
        if (!IsPlaceOfInterest(layer) && !IsStation(layer) && layer != L::InfoCentres && layer != L::Places) continue;
        listed.push_back({&f, TObjectKey{0, 1, StyleOf(layer).LayerId, at.SheetId, at.Code}});
    }
    const TDatabaseReport database = WriteObjectDatabase(work.Path, listed, o.Seed);
    report.KeyRecords = database.KeyRecords;
    report.Cards = database.Cards;
    report.SupplementRecords = database.Supplement;
    report.Banners = database.Banners;

    // Into the folder: everything but the user's own files, unless forced.
    std::vector<std::string> names = {ProjectFile, NavProjectFile, IdentifierFile, "tarn.dll", DatabaseFile,
                                      SupplementFile, BannerFile, "plan.bmp", TrCacheName("plan.bmp")};
    for (const TSheetOut& s : withNav) names.push_back(s.Name);
    for (const std::string& name : names) {
        const std::string from = work.File(name), to = (out / name).string();
        const bool sheet = name.size() > 4 && name.compare(name.size() - 4, 4, ".map") == 0;
        const bool userFile = name == UserSignSheet;
        if (userFile && !o.Force && fs::exists(to, ec)) {
            report.Kept.push_back(name);
            continue;
        }
        // Only the user-sign sheet is saved by the program; the others are
        // the city's data and stay read-only, so saving skips them.
        SetMode(from, name == "tarn.dll" ? 0755 : sheet && !userFile ? 0444 : 0644);
        fs::rename(from, to, ec);
        if (ec) throw ECityError("mkcity: cannot write " + to + ": " + ec.message());
        report.Written.push_back(name);
    }
    const fs::path settings = out / SettingsFile;
    if (fs::exists(settings, ec)) {
        if (o.Force) fs::remove(settings, ec);
        else report.Kept.push_back(SettingsFile);
    }
    return report;
}

} // namespace tarn::city
