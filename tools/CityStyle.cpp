#include "CityStyle.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <deque>
#include <map>

namespace tarn::city {

namespace {

constexpr int32_t NoOutline = 0xFFFFFF;
constexpr int32_t Always = 20000000;
// Avenues drawn with their casing; smaller, as thin lines, so that the
// names of the districts may cross them.
constexpr int32_t CasedAvenues = 56000;
constexpr uint32_t Own = 0x008;        // objects draw with their own attributes
constexpr uint32_t OpaqueBitmap = 0x040;

constexpr const char* Land = "Территория";
constexpr const char* Hydro = "Гидрография";
constexpr const char* Borders = "Границы";
constexpr const char* Built = "Застройка";
constexpr const char* Roads = "Дорожная сеть";
constexpr const char* Labels = "Надписи";
constexpr const char* TownLabels = "Надписи/Вербинск";
constexpr const char* Places = "Объекты";
constexpr const char* Medicine = "Объекты/Медицина";
constexpr const char* Education = "Объекты/Образование";
constexpr const char* Culture = "Объекты/Культура и отдых";
constexpr const char* Trade = "Объекты/Торговля и услуги";
constexpr const char* Authorities = "Объекты/Власть и безопасность";
constexpr const char* Transport = "Объекты/Транспорт";
constexpr const char* Reference = "Объекты/Справка";
// Sign sizes of plain sign layers: 2 x size / 120 millimetres on the screen.
constexpr int32_t PoiSize = 240;      // 4 mm, 16 pixels of 0.25 mm
constexpr int32_t StationSize = 330;  // 5.5 mm
constexpr int32_t InfoSize = 300;

#define C(r, g, b) int32_t(Rgb(r, g, b))

const std::array<TLayerStyle, std::size_t(L::Count)> Main = {{
    // name, group, kind, id, flags, colour, colour2, style1, style2, style3, limit, font, weight, italic
    {"Районы города", Land, 10, 101, Own, C(200, 200, 200), 0, -1, 0, 0, Always, 0, 0, false},
    {"Промзоны", Land, 1, 102, 0, C(200, 200, 200), NoOutline, 106, 0, 0, Always, 0, 0, false},
    {"Пустыри", Land, 1, 103, 0, C(200, 200, 200), NoOutline, 108, 0, 0, Always, 0, 0, false},
    {"Парки и скверы", Land, 1, 104, 0, C(200, 200, 200), NoOutline, 105, 0, 0, Always, 0, 0, false},
    {"Площади", Land, 1, 105, 0, C(238, 234, 226), C(175, 165, 155), -1, 0, 5, 60000, 0, 0, false},
    {"Водоёмы", Hydro, 1, 106, 0, C(166, 206, 238), NoOutline, 104, 0, 0, Always, 0, 0, false},
    {"Ручьи", Hydro, 0, 107, 0, C(70, 140, 215), 0, 106, 60, 0, 100000, 0, 0, false},
    {"Набережные", Hydro, 0, 108, 0, C(115, 115, 125), 0, 0, 30, 0, 30000, 0, 0, false},
    {"Скан плана застройки", nullptr, 13, 109, OpaqueBitmap, C(0, 0, 0), 0, 1, 0, 0, 30000, 0, 0, false},
    {"Граница города", Borders, 0, 110, 0, C(150, 70, 150), 0, 105, 40, 0, Always, 0, 0, false},
    {"Границы районов", Borders, 0, 111, 0, C(175, 125, 185), 0, 104, 20, 0, 100000, 0, 0, false},
    {"Кварталы", Built, 1, 112, 0, C(200, 200, 200), C(200, 178, 150), -2, 0, 5, 45000, 0, 0, false},
    {"Жилые дома", Built, 1, 113, 0, C(228, 210, 184), C(168, 142, 116), -1, 0, 5, 25000, 0, 0, false},
    {"Производственные здания", Built, 1, 114, 0, C(208, 206, 214), C(135, 132, 145), -1, 0, 5, 25000, 0, 0, false},
    {"Общественные здания", Built, 10, 115, Own, C(200, 200, 200), 0, -1, 0, 0, 25000, 55, 700, false},
    {"Мосты", Roads, 1, 116, 0, C(218, 215, 208), C(90, 90, 95), -1, 0, 10, 200000, 0, 0, false},
    {"Аллеи и тропы", Roads, 0, 117, 0, C(160, 128, 88), 0, 107, 15, 0, 8000, 0, 0, false},
    {"Проезды и тупики", Roads, 0, 118, 0, C(255, 255, 255), 0, 0, 70, 0, 20000, 0, 0, false},
    {"Улицы", Roads, 0, 119, 0, C(255, 255, 255), 0, 0, 110, 0, 150000, 0, 0, false},
    {"Осевые линии проспектов", Roads, 0, 124, 0, C(215, 150, 60), 0, 0, 0, 0, Always, 0, 0, false},
    {"Проспекты", Roads, 0, 120, 0, C(255, 222, 125), 0, 101, 220, 0, CasedAvenues, 0, 0, false},
    {"Автодороги", Roads, 9, 121, Own, C(240, 150, 60), 0, 101, 160, 0, Always, 60, 700, false},
    {"Железная дорога", Roads, 0, 122, 0, C(70, 70, 75), 0, 103, 35, 0, Always, 0, 0, false},
    {"Трамвайные линии", Roads, 0, 123, 0, C(185, 45, 55), 0, 102, 25, 0, 40000, 0, 0, false},
    // Label kinds: one layer per band (BandStyles), named after the kind.
    {"Номера домов", Labels, 6, 0, 0, C(95, 80, 65), 0, 1, 0, 0, 0, 0, 400, false},
    {"Подписи зданий", Labels, 6, 0, 0, C(60, 45, 75), 0, 1, 0, 0, 0, 0, 700, false},
    {"Названия рек и водоёмов", Labels, 6, 0, 0, C(40, 95, 175), 0, 1, 0, 0, 0, 0, 400, true},
    {"Подписи парков", Labels, 6, 0, 0, C(45, 115, 45), 0, 1, 0, 0, 0, 0, 400, true},
    {"Номера дорог", Labels, 6, 0, 0, C(160, 80, 20), 0, 1, 0, 0, 0, 0, 700, false},
    {"Подписи улиц", Labels, 6, 0, 0, C(35, 35, 35), 0, 1, 0, 0, 0, 0, 400, false},
    {"Подписи районов", Labels, 6, 0, 0, C(125, 90, 150), 0, 1, 0, 0, 0, 0, 700, false},
    // The search lists' names, in the size of the street labels at 1:2 500,
    // where showing a name on the map zooms to it.
    {"Названия улиц", Labels, 6, 127, 0, C(35, 35, 35), 0, 1, 0, 0, IndexScaleLimit, 0, 400, false},
    {"Улицы ВЕРБИНСКА", TownLabels, 6, 128, 0, C(35, 35, 35), 0, 1, 0, 0, IndexScaleLimit, 0, 400, false},
    {"Наименование районов", Labels, 6, 129, 0, C(125, 90, 150), 0, 1, 0, 0, IndexScaleLimit, 0, 700, false},
    {"Крупные надписи", Labels, 11, 130, Own, C(100, 60, 120), 0, 1, 0, 0, 360000, 100, 700, false},
    // Points by kind: the layer's sign (style 3) at its size (style 1).
    {"Больницы", Medicine, 7, 201, 0, 0, 0, PoiSize, 0, 1, 12000, 0, 0, false},
    {"Аптеки", Medicine, 7, 202, 0, 0, 0, PoiSize, 0, 6, 12000, 0, 0, false},
    {"Стоматологии", Medicine, 7, 203, 0, 0, 0, PoiSize, 0, 46, 12000, 0, 0, false},
    {"Ветеринарные клиники", Medicine, 7, 204, 0, 0, 0, PoiSize, 0, 47, 12000, 0, 0, false},
    {"Школы", Education, 7, 205, 0, 0, 0, PoiSize, 0, 2, 12000, 0, 0, false},
    {"Детские сады", Education, 7, 206, 0, 0, 0, PoiSize, 0, 30, 12000, 0, 0, false},
    {"Библиотеки", Education, 7, 207, 0, 0, 0, PoiSize, 0, 19, 12000, 0, 0, false},
    {"Высшие учебные заведения", Education, 7, 208, 0, 0, 0, PoiSize, 0, 31, 12000, 0, 0, false},
    {"Музеи", Culture, 7, 209, 0, 0, 0, PoiSize, 0, 8, 12000, 0, 0, false},
    {"Театры", Culture, 7, 210, 0, 0, 0, PoiSize, 0, 9, 12000, 0, 0, false},
    {"Кинотеатры", Culture, 7, 211, 0, 0, 0, PoiSize, 0, 20, 12000, 0, 0, false},
    {"Храмы", Culture, 7, 212, 0, 0, 0, PoiSize, 0, 7, 12000, 0, 0, false},
    {"Спортивные комплексы", Culture, 7, 213, 0, 0, 0, PoiSize, 0, 60, 12000, 0, 0, false},
    {"Бассейны", Culture, 7, 214, 0, 0, 0, PoiSize, 0, 54, 12000, 0, 0, false},
    {"Стадионы", Culture, 7, 215, 0, 0, 0, PoiSize, 0, 22, 12000, 0, 0, false},
    {"Фонтаны", Culture, 7, 216, 0, 0, 0, PoiSize, 0, 24, 12000, 0, 0, false},
    {"Памятники", Culture, 7, 217, 0, 0, 0, PoiSize, 0, 25, 12000, 0, 0, false},
    {"Пляжи", Culture, 7, 218, 0, 0, 0, PoiSize, 0, 58, 12000, 0, 0, false},
    {"Магазины", Trade, 7, 219, 0, 0, 0, PoiSize, 0, 3, 6000, 0, 0, false},
    {"Рынки", Trade, 7, 220, 0, 0, 0, PoiSize, 0, 29, 12000, 0, 0, false},
    {"Кафе", Trade, 7, 221, 0, 0, 0, PoiSize, 0, 11, 6000, 0, 0, false},
    {"Рестораны", Trade, 7, 222, 0, 0, 0, PoiSize, 0, 21, 6000, 0, 0, false},
    {"Банки", Trade, 7, 223, 0, 0, 0, PoiSize, 0, 4, 6000, 0, 0, false},
    {"Банкоматы", Trade, 7, 224, 0, 0, 0, PoiSize, 0, 50, 6000, 0, 0, false},
    {"Почтовые отделения", Trade, 7, 225, 0, 0, 0, PoiSize, 0, 5, 6000, 0, 0, false},
    {"Парикмахерские", Trade, 7, 226, 0, 0, 0, PoiSize, 0, 48, 6000, 0, 0, false},
    {"Прачечные", Trade, 7, 227, 0, 0, 0, PoiSize, 0, 49, 6000, 0, 0, false},
    {"Автозаправочные станции", Trade, 7, 228, 0, 0, 0, PoiSize, 0, 16, 12000, 0, 0, false},
    {"Автосервисы", Trade, 7, 229, 0, 0, 0, PoiSize, 0, 57, 6000, 0, 0, false},
    {"Предприятия", Trade, 7, 230, 0, 0, 0, PoiSize, 0, 34, 12000, 0, 0, false},
    {"Отделы полиции", Authorities, 7, 231, 0, 0, 0, PoiSize, 0, 17, 12000, 0, 0, false},
    {"Пожарные части", Authorities, 7, 232, 0, 0, 0, PoiSize, 0, 18, 12000, 0, 0, false},
    {"Суды", Authorities, 7, 233, 0, 0, 0, PoiSize, 0, 33, 12000, 0, 0, false},
    {"Администрация", Authorities, 7, 234, 0, 0, 0, PoiSize, 0, 32, 12000, 0, 0, false},
    {"Гостиницы", Places, 7, 139, 0, 0, 0, PoiSize, 0, 10, 12000, 0, 0, false},
    {"Остановки автобуса", Transport, 7, 235, 0, 0, 0, PoiSize, 0, 12, 6000, 0, 0, false},
    {"Остановки трамвая", Transport, 7, 236, 0, 0, 0, PoiSize, 0, 13, 6000, 0, 0, false},
    {"Стоянки такси", Transport, 7, 237, 0, 0, 0, PoiSize, 0, 51, 6000, 0, 0, false},
    {"Автостоянки", Transport, 7, 238, 0, 0, 0, PoiSize, 0, 15, 6000, 0, 0, false},
    {"Железнодорожные вокзалы и станции", Transport, 7, 132, 0, 0, 0, StationSize, 0, 14, 150000, 0, 0, false},
    {"Аэропорты", Transport, 7, 239, 0, 0, 0, StationSize, 0, 35, 150000, 0, 0, false},
    {"Речные вокзалы", Transport, 7, 240, 0, 0, 0, StationSize, 0, 36, 150000, 0, 0, false},
    {"Геодезические пункты", Places, 7, 133, 0, 0, 0, 200, 0, 43, 4000, 0, 0, false},
    {"Справочные центры", Reference, 7, 11, 0, 0, 0, InfoSize, 0, 27, 12000, 0, 0, false},
    // Shops that hand out new data: the shops' sign, their own layer.
    {"Пункты распространения", Reference, 12, 67, Own, 0, 0, 1, 0, 0, 6000, 0, 0, false},
    {"Пользовательские знаки", nullptr, 12, 307, Own, 0, 0, 1, 0, 0, Always, 50, 700, false},
}};

const std::array<TLayerStyle, std::size_t(NL::Count)> Nav = {{
    {"Районы города", nullptr, 10, 101, Own, C(200, 200, 200), 0, -1, 0, 0, 100000000, 0, 0, false},
    {"Водоёмы", nullptr, 1, 106, 0, C(166, 206, 238), NoOutline, 104, 0, 0, 100000000, 0, 0, false},
    {"Парки и скверы", nullptr, 1, 104, 0, C(200, 200, 200), NoOutline, 105, 0, 0, 100000000, 0, 0, false},
    {"Промзоны", nullptr, 1, 102, 0, C(200, 200, 200), NoOutline, 106, 0, 0, 100000000, 0, 0, false},
    {"Проспекты", nullptr, 0, 120, 0, C(205, 130, 40), 0, 0, 0, 0, 100000000, 0, 0, false},
    {"Железная дорога", nullptr, 0, 122, 0, C(70, 70, 75), 0, 103, 0, 0, 100000000, 0, 0, false},
    {"Автодороги", nullptr, 0, 121, 0, C(225, 110, 40), 0, 0, 0, 0, 100000000, 0, 0, false},
}};

#undef C



// Bands double in scale, centred on the zoom steps from 1:2 500 (which
// the buttons halve and double); the small ones follow the whole map in a
// window of the usual sizes. Labels are em 8 pixels at a band's top at
// 0.25 mm a pixel (7.6 at 96 dpi) and at most 16 at its bottom.
constexpr std::array<int32_t, BandCount> Tops = {1750, 3500, 7000, 14000, 28000, 56000, 96000, 180000, 360000};
static_assert(IndexScaleLimit == Tops[IndexBand]);
constexpr double EmAtTop = 8;  // pixels of 0.25 mm

const std::array<TLabelKind, 7> Kinds = {{
    {L::HouseNumbers, 0, 1, 0.9},
    {L::BuildingLabels, 0, 3, 0.9},
    {L::WaterNames, 0, 8, 1.0},
    {L::ParkNames, 0, 6, 0.95},
    {L::RoadNumbers, 0, 6, 0.95},
    {L::StreetLabels, 0, 5, 0.95},
    {L::DistrictLabels, 4, 7, 0.95},
}};
constexpr int32_t FirstBandLayerId = 150;

// A height as the program reads it back: sheets keep text sizes divided by
// the text factor of the project scale, rounded (see data/LayerOps).
int32_t AsReadBack(int32_t tenths)
{
    const float f = static_cast<float>(CityProjectScale * (1.0L / 28125) * 50 * 1.2L);
    const long double stored = std::nearbyint(static_cast<long double>(tenths) / f);
    return int32_t(std::nearbyint(stored * f));
}

std::string Thousands(int32_t n)
{
    std::string digits = std::to_string(n), out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ' ';
        out += digits[i];
    }
    return out;
}


struct TBandStyles {
    std::deque<std::string> Names;  // stable storage of the names
    std::map<std::pair<int, int>, TLayerStyle> Layers;
    std::array<TLayerStyle, std::size_t(L::Count)> Main;
};

const TBandStyles& Styles()
{
    static const TBandStyles styles = [] {
        TBandStyles s;
        s.Main = Main;
        int32_t id = FirstBandLayerId;
        for (const TLabelKind& k : Kinds)
            for (int b = k.First; b <= k.Last; ++b) {
                TLayerStyle st = Main[std::size_t(k.Layer)];
                st.Name = s.Names.emplace_back(std::string(st.Name) + " " + BandName(b)).c_str();
                st.Group = s.Names.emplace_back(std::string(Labels) + "/" + BandName(b)).c_str();
                st.LayerId = id++;
                st.ScaleLimit = Tops[std::size_t(b)];
                st.FontHeight = LabelHeight(k.Layer, b);
                s.Layers[{int(k.Layer), b}] = st;
            }
        // The index layers in the size of the street labels of their band.
        for (L index : {L::StreetNames, L::TownStreetNames, L::DistrictNames})
            s.Main[std::size_t(index)].FontHeight = LabelHeight(L::StreetLabels, IndexBand);
        return s;
    }();
    return styles;
}

} // namespace

int32_t BandTop(int band) { return Tops[std::size_t(std::clamp(band, 0, BandCount - 1))]; }

std::string BandName(int band)
{
    if (band <= 0) return "до 1:" + Thousands(BandTop(0));
    return "1:" + Thousands(BandBottom(band)) + " - 1:" + Thousands(BandTop(band));
}
int32_t BandBottom(int band) { return band <= 0 ? 0 : BandTop(band - 1); }

const TLabelKind* LabelKindOf(L layer)
{
    for (const TLabelKind& k : Kinds)
        if (k.Layer == layer) return &k;
    return nullptr;
}

bool InBand(L layer, int band)
{
    const TLabelKind* k = LabelKindOf(layer);
    return k && band >= k->First && band <= k->Last;
}

int32_t LabelHeight(L layer, int band)
{
    const TLabelKind* k = LabelKindOf(layer);
    const double factor = k ? k->Factor : 1.0;
    // em = height x 1000 / (denominator x mm per pixel) / 10 pixels.
    const double tenths = factor * EmAtTop * BandTop(band) * 0.25 / 100;
    return AsReadBack(int32_t(std::lround(tenths)));
}

const TLayerStyle& StyleOf(L layer) { return Styles().Main[std::size_t(layer)]; }

L LayerOfSign(int32_t sign)
{
    for (int i = 0; i < int(L::Count); ++i)
        if (Main[std::size_t(i)].Kind == 7 && Main[std::size_t(i)].Style3 == sign) return L(i);
    return L::Count;
}

double SignMillimetres(L layer)
{
    const TLayerStyle& s = StyleOf(layer);
    if (s.Kind == 7) return 2.0 * s.Style1 / 120;  // as the layer drawing sizes them
    if (layer == L::UserSigns) return UserSignSize / 100.0;
    return PoiSignSize / 26.0;  // styled signs without map units
}
const TLayerStyle& StyleOf(L layer, int band) { return Styles().Layers.at({int(layer), band}); }
const TLayerStyle& NavStyleOf(NL layer) { return Nav[std::size_t(layer)]; }

} // namespace tarn::city
