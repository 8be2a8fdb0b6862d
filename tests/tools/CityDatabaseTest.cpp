// The demo city's object database read back through the program's reader:
// groups, the placement rules, cards of every kind with contents that load,
// the fixed keys, the supplement, the banners, and every key answered by
// the model at the whole-map view.
#include "CitySupport.h"

#include "data/LayerWalk.h"
#include "db/TarnData.h"
#include "model/ObjKey.h"
#include "platform/Cp1251.h"
#include "tools/CityCards.h"
#include "tools/CityDatabase.h"
#include "tools/CityFont.h"
#include "tools/CityPictures.h"

#include <QBuffer>
#include <QImageReader>

#include <gtest/gtest.h>

#include <cctype>
#include <map>
#include <set>
#include <sstream>

namespace tarn::test {
namespace {

std::string Cp(const char* utf8) { return Utf8ToCp1251(utf8); }

struct TDemoDatabase {
    std::vector<TLoadedRecord> Records;
    TGroupTable Groups;  // of tarn.dat
    const TLoadedRecord* Find(int32_t layer, int32_t sheet, int32_t code, int32_t file = 0) const
    {
        for (const TLoadedRecord& r : Records)
            if (r.FileNumber == file && r.Record.Key.LayerID == layer && r.Record.Key.SheetID == sheet &&
                r.Record.Key.Code == code)
                return &r;
        return nullptr;
    }
};

const TDemoDatabase& Demo()
{
    static const TDemoDatabase db = [] {
        TDemoDatabase d;
        TTarnDatabase reader(nullptr, nullptr);
        reader.OnRecord = [&d, &reader](const TLoadedRecord& r) {
            if (r.FileNumber == 0) d.Groups = reader.GroupTable();
            d.Records.push_back(r);
        };
        reader.Load(SharedCity().Dir.Path());
        return d;
    }();
    return db;
}

// Answers the picture's frame count, or 0 when Qt cannot read it.
int Frames(const std::string& bytes, const char* format, QSize* size = nullptr)
{
    QByteArray data(bytes.data(), qsizetype(bytes.size()));
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    int frames = 0;
    while (reader.canRead() && frames < 100) {
        const QImage image = reader.read();
        if (image.isNull()) break;
        if (size) *size = image.size();
        ++frames;
    }
    return frames;
}

TEST(MkCityDatabase, HoldsTheGroupsAndEveryPlacementRule)
{
    const TDemoDatabase& db = Demo();
    std::set<std::string> groups;
    for (const TGroupLevelData& g : db.Groups)
        if (g.Level == 0) groups.insert(g.Name);
    for (const char* name : {"Медицина", "Образование", "Культура и отдых", "Торговля и услуги",
                             "Власть и безопасность", "Гостиницы", "Транспорт", "Справка"})
        EXPECT_TRUE(groups.count(Cp(name))) << name;

    std::map<std::string, int> rules;
    std::set<std::string> names;
    for (const TLoadedRecord& r : db.Records) {
        if (r.FileNumber != 0 || r.Record.Key.LayerID == city::TickerLayerId) continue;
        const bool g = !r.GroupName.empty(), s = !r.SubGroupName.empty();
        rules[g && s ? (r.Record.ExtraListing ? "both, extra" : "both") : g ? "group" : s ? "subgroup" : "neither"]++;
        EXPECT_TRUE(names.insert(r.Record.Name).second) << "listed once: " << Cp1251ToUtf8(r.Record.Name);
    }
    for (const char* rule : {"both", "both, extra", "group", "subgroup", "neither"}) EXPECT_GT(rules[rule], 0) << rule;
}

TEST(MkCityDatabase, CardsOfEveryKindCarryContentsTheViewersRead)
{
    const TDemoDatabase& db = Demo();
    std::map<std::string, int> kinds;
    int keyRecords = 0;
    for (const TLoadedRecord& r : db.Records) {
        if (r.FileNumber != 0) continue;
        if (r.Kind == ObjectItemKind) {
            ++keyRecords;
            continue;
        }
        const std::string type = r.Card.FileType, data = ReadCardData(r.Card);
        ++kinds[type];
        ASSERT_EQ(data.size(), std::size_t(r.Card.DataSize));
        const std::string what = type + " card " + Cp1251ToUtf8(r.Record.Name);
        // What each viewer needs to see at the start of its file.
        static const std::map<std::string, std::string> heads = {
            {"TXT", ""}, {"RTF", "{\\rtf1"}, {"HTM", "<html>"}, {"WMF", "\xD7\xCD\xC6\x9A"}, {"ZIP", "PK\x03\x04"}};
        if (type == "BMP" || type == "JPG" || type == "ICO") {
            EXPECT_EQ(Frames(data, type == "JPG" ? "jpeg" : type == "BMP" ? "bmp" : "ico"), 1) << what;
        } else if (type == "GIF") {
            EXPECT_GT(Frames(data, "gif"), 1) << what << " is animated";
        } else {
            ASSERT_TRUE(heads.count(type)) << what;
            EXPECT_EQ(data.rfind(heads.at(type), 0), 0u) << what;
            if (type == "TXT") {
                EXPECT_NE(data.find("\r\n"), std::string::npos) << what << ": lines end in CR LF";
            }
        }
        if (type == "ZIP") {
            EXPECT_EQ(r.Card.Archive, 1) << what;
            EXPECT_EQ(r.Card.MainFile, city::ZipSiteMainFile);
            for (const char* entry : {"SITE/INDEX.HTM", "SITE/Pages/More.htm", "SITE\\Img\\Front.jpg", "SITE/Sound.wav"})
                EXPECT_NE(data.find(entry), std::string::npos) << what << " holds " << entry;
            EXPECT_EQ(data.substr(data.size() - 22, 4), "PK\x05\x06") << what;
        }
    }
    for (const char* type : {"TXT", "RTF", "HTM", "BMP", "JPG", "GIF", "ICO", "WMF", "ZIP"}) EXPECT_GT(kinds[type], 0) << type;
    int cards = 0;
    for (const auto& [type, n] : kinds) cards += n;
    EXPECT_EQ(cards, SharedCity().Report.Cards);
    EXPECT_EQ(keyRecords, SharedCity().Report.KeyRecords);
}

TEST(MkCityDatabase, FixedKeysOfTheProgram)
{
    const TDemoDatabase& db = Demo();
    const struct {
        int32_t Layer, Sheet, Code;
        uint8_t Kind;
    } keys[] = {
        {67, 24, 1, 1}, {67, 24, 2, 1}, {67, 24, 3, 1}, {67, 24, 4, 1}, {67, 24, 5, 1}, {67, 24, 6, 1},
        {67, 24, 7, 1}, {67, 24, 8, 1},                   // places (the eighth stored with sheet 7)
        {67, 24, -2, 6}, {67, 24, -1, 6},                 // help, update
        {67, 24, -3, 6}, {67, 24, -4, 6}, {67, 24, -5, 6},  // credits
        {11, 5, 811, 6}, {11, 5, 4698, 1}, {11, 5, 4680, 1},
        {9999, 5, 99, 6},                                 // the ticker text
    };
    for (const auto& k : keys) {
        const TLoadedRecord* r = db.Find(k.Layer, k.Sheet, k.Code);
        ASSERT_NE(r, nullptr) << k.Layer << "/" << k.Sheet << "/" << k.Code;
        EXPECT_EQ(r->Kind, k.Kind) << k.Layer << "/" << k.Sheet << "/" << k.Code;
        EXPECT_EQ(r->Record.Key.ModelNo, 1);
    }
    const std::string ticker = ReadCardData(db.Find(9999, 5, 99)->Card);
    EXPECT_NE(ticker.find("\r\n|255"), std::string::npos) << "a red line";
    EXPECT_NE(ticker.find("\r\n|32768"), std::string::npos) << "a green line";
}

// The city's streets as the map draws them: each name the lists read with
// the lines of its street (the name's link); the second town's streets
// under its name first ("ВЕРБИНСК, УЛ. ЛЕСНАЯ").
struct TCityStreets {
    std::map<std::string, int32_t> Links;                     // name (UTF-8) -> link
    std::multimap<int32_t, std::vector<TPoint>> Lines;        // link -> a line, world units
};

TCityStreets StreetsOf(TCityView& v)
{
    TCityStreets s;
    for (const auto& [layer, town] : {std::pair{"Названия улиц", ""}, std::pair{"Улицы ВЕРБИНСКА", "ВЕРБИНСК, "}}) {
        TCustomLayer* l = AsLayer(FindLayerByName(*v.View->Map, Cp(layer)));
        for (int32_t i = 0; l && i < l->Count; ++i)
            if (auto* t = dynamic_cast<const TText*>(l->Object(i)))
                s.Links[town + Cp1251ToUtf8(t->Text)] = t->Attribute;
    }
    for (const char* layer : {"Улицы", "Проспекты", "Проезды и тупики"}) {
        TCustomLayer* l = AsLayer(FindLayerByName(*v.View->Map, Cp(layer)));
        for (int32_t i = 0; l && i < l->Count; ++i)
            if (auto* line = dynamic_cast<const TPolyLine*>(l->Object(i))) s.Lines.insert({line->Attribute, line->Points});
    }
    return s;
}

// Metres from the point to the nearest line of the street.
double FromStreet(const TCityStreets& s, int32_t link, TPoint p)
{
    double best = 1e300;
    const auto [from, to] = s.Lines.equal_range(link);
    for (auto it = from; it != to; ++it) {
        city::TPath path;
        for (const TPoint& q : it->second) path.push_back({q.X / 1000.0, q.Y / 1000.0});
        best = std::min(best, city::DistToPath({p.X / 1000.0, p.Y / 1000.0}, path));
    }
    return best;
}

// A text as a reader sees it: no blank before a comma, no doubled or
// leading or trailing blank.
bool ReadsWell(const std::string& utf8)
{
    return utf8.find(" ,") == std::string::npos && utf8.find("  ") == std::string::npos &&
           (utf8.empty() || (utf8.front() != ' ' && utf8.back() != ' '));
}

TEST(MkCityDatabase, NamesAddressesAndLinesDescribeTheCity)
{
    TCityView v(SharedCity().File(city::ProjectFile));
    const TCityStreets streets = StreetsOf(v);
    ASSERT_GE(streets.Links.size(), 140u);
    // Street names: the type word first, so the list's rows read "ЛЕСНАЯ, УЛ.".
    for (const auto& [name, link] : streets.Links) {
        if (name.rfind("ВЕРБИНСК, ", 0) == 0) continue;
        EXPECT_TRUE(ReadsWell(name)) << name;
        for (const char* word : {"УЛ.", "ПР.", "ПЕР.", "ПЛ.", "ТУПИК", "ПРОСПЕКТ", "ПЛОЩАДЬ"})
            if (name.find(word) != std::string::npos) {
                EXPECT_EQ(name.rfind(word, 0), 0u) << name;
            }
    }
    int addressed = 0;
    for (const TLoadedRecord& r : Demo().Records) {
        const std::string name = Cp1251ToUtf8(r.Record.Name), address = Cp1251ToUtf8(r.Record.Text2);
        SCOPED_TRACE(name);
        EXPECT_TRUE(ReadsWell(name));
        if (r.Kind == CardItemKind && r.Card.FileType == "TXT") {
            std::istringstream lines(Cp1251ToUtf8(ReadCardData(r.Card)));
            for (std::string line; std::getline(lines, line);) {
                if (!line.empty() && line.back() == '\r') line.pop_back();
                EXPECT_TRUE(ReadsWell(line)) << line;
                // A ticker line has a bar only before its colour.
                if (!line.empty() && line[0] == '|') {
                    EXPECT_TRUE(line.size() > 1 && std::isdigit(uint8_t(line[1]))) << line;
                }
                if (line.rfind("Адрес: ", 0) == 0) {
                    EXPECT_EQ(line, "Адрес: " + address);
                }
            }
        }
        if (address.empty()) continue;
        // "УЛ. ЛЕСНАЯ, 14": a street of the city, a house number, the object beside that street.
        ++addressed;
        const std::size_t comma = address.rfind(", ");
        ASSERT_NE(comma, std::string::npos) << address;
        const std::string street = address.substr(0, comma), number = address.substr(comma + 2);
        ASSERT_TRUE(streets.Links.count(street)) << address << ": no such street";
        EXPECT_TRUE(std::isdigit(uint8_t(number[0])) && number.find_first_not_of("0123456789") >= number.size() - 2)
            << address;
        std::vector<uint8_t> b;
        ASSERT_EQ(v.Model->GetObjectData(v.View.get(), 1, r.Record.Key, b), ResultDone) << address;
        const TObjectHeader h = DecodeObjectHeader(b.data());
        EXPECT_LT(FromStreet(streets, streets.Links.at(street), {h.X, h.Y}), 90) << address << ": not on its street";
    }
    EXPECT_GT(addressed, 100);
    // The places that hand out new data, where the update window sends the user.
    for (int32_t n = 1; n <= 8; ++n) {
        const TLoadedRecord* place = Demo().Find(city::PlacesLayerId, city::PlacesSheetId, n);
        ASSERT_NE(place, nullptr) << n;
        EXPECT_EQ(Cp1251ToUtf8(place->Record.Text2),
                  std::string(city::CentralAvenueName) + ", " + std::to_string(city::DistributionHouses[n - 1]));
    }
}

TEST(MkCityDatabase, SupplementReplacesAddsAndDeletes)
{
    const TDemoDatabase& db = Demo();
    std::vector<const TLoadedRecord*> supplement;
    for (const TLoadedRecord& r : db.Records)
        if (r.FileNumber == 5) supplement.push_back(&r);
    ASSERT_EQ(supplement.size(), 2u) << "the deleted record is not handed on";
    const TObjectKey& replaced = supplement[0]->Record.Key;
    ASSERT_NE(db.Find(replaced.LayerID, replaced.SheetID, replaced.Code), nullptr) << "replaces a record of tarn.dat";
    EXPECT_NE(db.Find(replaced.LayerID, replaced.SheetID, replaced.Code)->Record.Name, supplement[0]->Record.Name);
    const TObjectKey& added = supplement[1]->Record.Key;
    EXPECT_EQ(db.Find(added.LayerID, added.SheetID, added.Code), nullptr) << "a new object";

    std::shared_ptr<TStream> file = OpenDataFile(SharedCity().File(city::SupplementFile));
    TDataReader reader(*file);
    TGroupTable table;
    ReadGroupLevelTable(reader, table);
    int deleted = 0, records = 0;
    while (!reader.AtEnd()) {
        const TTarnData d = ReadTarnRecord(reader);
        ++records;
        if (d.Deleted) {
            ++deleted;
            EXPECT_NE(db.Find(d.Key.LayerID, d.Key.SheetID, d.Key.Code), nullptr) << "an organisation of tarn.dat";
        }
    }
    EXPECT_EQ(records, 3);
    EXPECT_EQ(deleted, 1);
    EXPECT_EQ(SharedCity().Report.SupplementRecords, 3);
}

TEST(MkCityDatabase, BannersShowTheirNamesAndLeadToCards)
{
    TBannerList banners;
    LoadBannerFile(SharedCity().File(city::BannerFile), banners);
    ASSERT_EQ(banners.Records.size(), 3u) << "the record of no object is dropped";
    const char* formats[] = {"jpeg", "gif", "bmp"};
    for (std::size_t i = 0; i < 3; ++i) {
        const TTarnData& b = banners.Records[i];
        QSize size;
        const int frames = Frames(ReadDataBytes(*banners.Stream, b.DataOffset, b.DataSize), formats[i], &size);
        EXPECT_GE(frames, i == 1 ? 2 : 1) << formats[i];
        EXPECT_EQ(size, QSize(city::BannerWidth, city::BannerHeight)) << formats[i];
        // The name in white letters over the strip, above its band.
        const std::string bytes = ReadDataBytes(*banners.Stream, b.DataOffset, b.DataSize);
        const QImage picture = QImage::fromData(QByteArray(bytes.data(), qsizetype(bytes.size())), formats[i]);
        int letters = 0;
        for (int y = 0; y < city::BannerHeight - 20; ++y)
            for (int x = 0; x < city::BannerWidth; ++x) letters += (picture.pixel(x, y) & 0xFFFFFF) == 0xFFFFFF;
        if (i > 0) {
            EXPECT_GT(letters, 300) << formats[i] << ": " << Cp1251ToUtf8(b.Name);
        }
        // A click runs the action of (1, layer, 24, code): an organisation's card.
        const TLoadedRecord* card = Demo().Find(b.Key.LayerID, 24, b.Key.Code);
        ASSERT_NE(card, nullptr) << formats[i];
        EXPECT_EQ(card->Kind, CardItemKind) << formats[i];
    }
    EXPECT_EQ(SharedCity().Report.Banners, 3);
}

TEST(MkCityDatabase, EveryObjectKeyIsFoundAtTheWholeMapView)
{
    TCityView v(SharedCity().File(city::ProjectFile));
    ASSERT_GT(v.Denominator(), city::LevelBoundary) << "the overview level";
    int asked = 0;
    for (const TLoadedRecord& r : Demo().Records) {
        const TObjectKey& k = r.Record.Key;
        if (k.LayerID == city::TickerLayerId || k.Code < 0) continue;  // actions, not map objects
        std::vector<uint8_t> geometry;
        EXPECT_EQ(v.Model->GetObjectData(v.View.get(), 2, k, geometry), ResultDone)
            << k.LayerID << "/" << k.SheetID << "/" << k.Code << " " << Cp1251ToUtf8(r.Record.Name);
        ++asked;
    }
    EXPECT_GT(asked, 500);
}

// The GIF writer's codes, read back by Qt's reader: flat, striped and noisy
// pictures of small and full palettes (the last fills the code table).
TEST(CityPictures, GifAndBmpDecodeToTheirPixels)
{
    const struct {
        int32_t W, H, Colours;
        int Pattern;  // 0 flat, 1 stripes, 2 noise
    } cases[] = {{1, 1, 1, 0}, {7, 3, 2, 1}, {33, 17, 5, 2}, {120, 90, 256, 2}, {219, 70, 26, 1}};
    for (const auto& c : cases) {
        city::TPicture p(c.W, c.H, city::Ramp(0x102030, 0xF0E0D0, c.Colours));
        uint32_t s = 12345;
        for (int32_t y = 0; y < c.H; ++y)
            for (int32_t x = 0; x < c.W; ++x) {
                s = s * 1103515245u + 12345u;
                p.At(x, y) = uint8_t(c.Pattern == 0 ? 0 : c.Pattern == 1 ? (x / 3 + y) % c.Colours : (s >> 16) % c.Colours);
            }
        for (const char* format : {"gif", "bmp8", "bmp24"}) {
            const std::string bytes = format[0] == 'g' ? city::GifBytes({p, p}, 10) : city::BmpBytes(p, format[3] == '8' ? 8 : 24);
            const QImage image = QImage::fromData(QByteArray(bytes.data(), qsizetype(bytes.size())), format[0] == 'g' ? "GIF" : "BMP");
            ASSERT_EQ(image.size(), QSize(c.W, c.H)) << format << " " << c.W << "x" << c.H;
            int wrong = 0;
            for (int32_t y = 0; y < c.H; ++y)
                for (int32_t x = 0; x < c.W; ++x)
                    wrong += (image.pixel(x, y) & 0xFFFFFF) != p.Palette[p.At(x, y)];
            EXPECT_EQ(wrong, 0) << format << " " << c.W << "x" << c.H;
        }
    }
}

// The banners' font: a glyph of its own for every capital and digit; and
// captions broken at blanks into the lines they fit, or not at all.
TEST(CityFont, GlyphsOfTheirOwnAndCaptionsBrokenAtBlanks)
{
    std::set<std::vector<uint8_t>> seen;
    for (char32_t c : std::u32string(U"АБВГДЕЁЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯ0123456789«»-.,!№")) {
        uint8_t rows[7];
        EXPECT_TRUE(city::GlyphRows(c, rows)) << uint32_t(c);
        EXPECT_TRUE(seen.insert(std::vector<uint8_t>(rows, rows + 7)).second) << uint32_t(c) << " looks like another";
    }
    const struct {
        const char* Text;
        std::size_t Chars, Lines;
        std::vector<std::string> Expected;
    } cases[] = {
        {"МУЗЕЙ", 17, 2, {"МУЗЕЙ"}},
        {"ДРАМАТИЧЕСКИЙ ТЕАТР «ЛИСТОК»", 17, 2, {"ДРАМАТИЧЕСКИЙ", "ТЕАТР «ЛИСТОК»"}},
        {"ГОСТИНИЦА  «ЛИСТОГРАД»", 21, 2, {"ГОСТИНИЦА «ЛИСТОГРАД»"}},
        {"А Б В Г", 1, 3, {}},         // four lines needed
        {"ДРАМАТИЧЕСКИЙ", 10, 3, {}},  // a word too long
    };
    for (const auto& c : cases) EXPECT_EQ(city::BreakLines(c.Text, c.Chars, c.Lines), c.Expected) << c.Text;
}

} // namespace
} // namespace tarn::test
