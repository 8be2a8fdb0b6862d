#include "CityDatabase.h"

#include "City.h"
#include "CityCards.h"
#include "CityData.h"
#include "CityStyle.h"

#include "platform/Cp1251.h"

#include <map>
#include <set>

namespace tarn::city {

namespace {

std::string Cp(const std::string& utf8) { return Utf8ToCp1251(utf8); }

// Groups (level 0) and their subgroups (level 1), ids ascending.
enum : int32_t {
    Medicine = 1, Education, Culture, Trade, Authorities, Hotels, Transport, Reference,
    Hospitals = 101, Pharmacies, Dentists, Vets,
    Schools = 121, Kindergartens, Libraries, Universities,
    Museums = 141, Theatres, Cinemas, Churches, Sports, ParksAndMonuments,
    Shops = 161, Markets, Cafes, Banks, CashMachines, PostOffices, Services, CarServices, Works,
    Police = 181, FireStations, Courts, Administration,
    Stops = 201, Stations, TaxisAndParking,
    DistributionPlaces = 221, InfoCentres,
};

const std::vector<TDataGroup>& Groups()
{
    static const std::vector<TDataGroup> groups = [] {
        const std::pair<int32_t, const char*> table[] = {
            {Medicine, "Медицина"}, {Education, "Образование"}, {Culture, "Культура и отдых"},
            {Trade, "Торговля и услуги"}, {Authorities, "Власть и безопасность"}, {Hotels, "Гостиницы"},
            {Transport, "Транспорт"}, {Reference, "Справка"},
            {Hospitals, "Больницы"}, {Pharmacies, "Аптеки"}, {Dentists, "Стоматологии"},
            {Vets, "Ветеринарные клиники"}, {Schools, "Школы"}, {Kindergartens, "Детские сады"},
            {Libraries, "Библиотеки"}, {Universities, "Высшие учебные заведения"}, {Museums, "Музеи"},
            {Theatres, "Театры"}, {Cinemas, "Кинотеатры"}, {Churches, "Храмы"}, {Sports, "Спорт"},
            {ParksAndMonuments, "Парки и памятники"}, {Shops, "Магазины"}, {Markets, "Рынки"},
            {Cafes, "Кафе и рестораны"}, {Banks, "Банки"}, {CashMachines, "Банкоматы"},
            {PostOffices, "Почта"}, {Services, "Бытовые услуги"}, {CarServices, "Автосервис и АЗС"},
            {Works, "Предприятия"}, {Police, "Полиция"}, {FireStations, "Пожарные части"}, {Courts, "Суды"},
            {Administration, "Администрация"}, {Stops, "Остановки"}, {Stations, "Вокзалы и порты"},
            {TaxisAndParking, "Такси и стоянки"}, {DistributionPlaces, "Пункты распространения"},
            {InfoCentres, "Справочные центры"},
        };
        std::vector<TDataGroup> g;
        for (const auto& [id, name] : table) g.push_back({id, Cp(name), id < 100 ? 0 : 1});
        return g;
    }();
    return groups;
}

// What a sign of the symbol library stands for in the database. Hotels are
// listed in their group alone (and in the main list), cash machines in their
// subgroup alone; hospitals, theatres and stations also in their subgroup's
// own list.
struct TKind {
    int32_t Sign;
    const char* Title;  // the name of an unnamed place: title and a number
    int32_t Group;
    int32_t SubGroup;
    bool Extra;
};

const TKind Kinds[] = {
    {1, "БОЛЬНИЦА", Medicine, Hospitals, true},        {6, "АПТЕКА", Medicine, Pharmacies, false},
    {46, "СТОМАТОЛОГИЯ", Medicine, Dentists, false},   {47, "ВЕТЕРИНАРНАЯ КЛИНИКА", Medicine, Vets, false},
    {2, "ШКОЛА", Education, Schools, false},           {30, "ДЕТСКИЙ САД", Education, Kindergartens, false},
    {19, "БИБЛИОТЕКА", Education, Libraries, false},   {31, "УНИВЕРСИТЕТ", Education, Universities, false},
    {8, "МУЗЕЙ", Culture, Museums, false},             {9, "ТЕАТР", Culture, Theatres, true},
    {20, "КИНОТЕАТР", Culture, Cinemas, false},        {7, "ЦЕРКОВЬ", Culture, Churches, false},
    {60, "СПОРТКОМПЛЕКС", Culture, Sports, false},     {54, "БАССЕЙН", Culture, Sports, false},
    {22, "СТАДИОН", Culture, Sports, false},           {24, "ФОНТАН", Culture, ParksAndMonuments, false},
    {25, "ПАМЯТНИК", Culture, ParksAndMonuments, false}, {58, "ПЛЯЖ", Culture, ParksAndMonuments, false},
    {3, "МАГАЗИН", Trade, Shops, false},               {29, "РЫНОК", Trade, Markets, false},
    {11, "КАФЕ", Trade, Cafes, false},                 {21, "РЕСТОРАН", Trade, Cafes, false},
    {4, "БАНК", Trade, Banks, false},                  {50, "БАНКОМАТ", 0, CashMachines, false},
    {5, "ПОЧТОВОЕ ОТДЕЛЕНИЕ", Trade, PostOffices, false}, {48, "ПАРИКМАХЕРСКАЯ", Trade, Services, false},
    {49, "ПРАЧЕЧНАЯ", Trade, Services, false},         {57, "АВТОСЕРВИС", Trade, CarServices, false},
    {16, "АЗС", Trade, CarServices, false},            {34, "ПРЕДПРИЯТИЕ", Trade, Works, false},
    {17, "ОТДЕЛ ПОЛИЦИИ", Authorities, Police, false}, {18, "ПОЖАРНАЯ ЧАСТЬ", Authorities, FireStations, false},
    {33, "СУД", Authorities, Courts, false},           {32, "АДМИНИСТРАЦИЯ", Authorities, Administration, false},
    {10, "ГОСТИНИЦА", Hotels, 0, true},                {12, "ОСТАНОВКА АВТОБУСА", Transport, Stops, false},
    {13, "ОСТАНОВКА ТРАМВАЯ", Transport, Stops, false}, {14, "ВОКЗАЛ", Transport, Stations, true},
    {35, "АЭРОПОРТ", Transport, Stations, true},       {36, "РЕЧНОЙ ПОРТ", Transport, Stations, true},
    {51, "СТОЯНКА ТАКСИ", Transport, TaxisAndParking, false}, {15, "АВТОСТОЯНКА", Transport, TaxisAndParking, false},
};

const TKind* KindOf(int32_t sign)
{
    for (const TKind& k : Kinds)
        if (k.Sign == sign) return &k;
    return nullptr;
}

enum class TCard { Txt, Rtf, Htm, Bmp, Jpg, Gif, Ico, Wmf, Zip };

struct TCardKind {
    const char* Type;
    std::string (*Make)(const TCardSubject&);
};

TCardKind CardKind(TCard c)
{
    switch (c) {
    case TCard::Txt: return {"TXT", TxtCard};
    case TCard::Rtf: return {"RTF", RtfCard};
    case TCard::Htm: return {"HTM", HtmCard};
    case TCard::Bmp: return {"BMP", BmpCard};
    case TCard::Jpg: return {"JPG", JpgCard};
    case TCard::Gif: return {"GIF", GifCard};
    case TCard::Ico: return {"ICO", IcoCard};
    case TCard::Wmf: return {"WMF", WmfCard};
    case TCard::Zip: return {"ZIP", ZipSiteCard};
    }
    return {"TXT", TxtCard};
}

// Organisations with a card, each on the first place of its sign.
struct TOrganisation {
    int32_t Sign;
    const char* Name;
    TCard Card;
    const char* About;
};

const TOrganisation Organisations[] = {
    {32, "АДМИНИСТРАЦИЯ ГОРОДА ЛИСТОГРАДА", TCard::Txt, "Приём граждан по вторникам и четвергам."},
    {31, "ЛИСТОГРАДСКИЙ ГОСУДАРСТВЕННЫЙ УНИВЕРСИТЕТ", TCard::Zip, "Восемь факультетов, библиотека и музей."},
    {1, "ГОРОДСКАЯ КЛИНИЧЕСКАЯ БОЛЬНИЦА", TCard::Rtf, "Приёмное отделение работает круглосуточно."},
    {8, "КРАЕВЕДЧЕСКИЙ МУЗЕЙ", TCard::Htm, "История города от первых поселенцев до наших дней."},
    {9, "ДРАМАТИЧЕСКИЙ ТЕАТР «ЛИСТОК»", TCard::Gif, "Спектакли по пятницам, субботам и воскресеньям."},
    {10, "ГОСТИНИЦА «ЛИСТОГРАД»", TCard::Jpg, "Сто двадцать номеров в центре города."},
    {4, "БАНК «ЛИСТОГРАДСКИЙ»", TCard::Bmp, "Вклады, кредиты, обмен валюты."},
    {6, "АПТЕКА «ЗДОРОВЬЕ»", TCard::Ico, "Лекарства и товары для здоровья."},
    {22, "СТАДИОН «ЛОКОМОТИВ»", TCard::Wmf, "Футбол, лёгкая атлетика, каток зимой."},
    {20, "КИНОТЕАТР «ОКТЯБРЬ»", TCard::Zip, "Два зала, новые фильмы каждую неделю."},
    {11, "КАФЕ «ВСТРЕЧА»", TCard::Txt, "Домашняя кухня, комплексные обеды."},
};

// The places where new data is handed out (layer 67, codes 1..8).
const char* const Places[8] = {
    "КНИЖНЫЙ МАГАЗИН «ГЛОБУС»", "САЛОН «КАРТЫ И АТЛАСЫ»", "КОМПЬЮТЕРНЫЙ ЦЕНТР «ПИКСЕЛЬ»",
    "МАГАЗИН «КАНЦТОВАРЫ»",     "ДОМ КНИГИ",              "ТУРАГЕНТСТВО «МАРШРУТ»",
    "КИОСК «ПРЕССА»",           "САЛОН СВЯЗИ «ВОЛНА»",
};

const char* const TickerLines[] = {
    "Добро пожаловать в информационно-справочную систему «TARN»!",
    "|255Внимание! С 1 марта изменяется маршрут трамвая № 3.",
    "|32768Новые данные о предприятиях города — в пунктах распространения.",
    "|16711680Гостиница «Листоград» открылась после ремонта.",
    "Скидки на карты города в книжном магазине «Глобус».",
    "Справка по программе — клавиша F1.",
};

TObjectKey Key(int32_t layer, int32_t sheet, int32_t code) { return {0, 1, layer, sheet, code}; }

std::string Phone(uint32_t seed)
{
    const uint32_t h = seed * 2654435761u;
    char b[32];
    std::snprintf(b, sizeof b, "%u-%02u-%02u", 2 + h % 7, (h >> 8) % 100, (h >> 16) % 100);
    return std::string("Телефон: ") + b;
}

TDataRecord Card(const std::string& name, int32_t group, int32_t subgroup, const TObjectKey& key, TCard kind,
                 const TCardSubject& subject)
{
    const TCardKind k = CardKind(kind);
    TDataRecord r;
    r.Name = Cp(name);
    r.Group = group;
    r.SubGroup = subgroup;
    r.FileType = k.Type;
    r.Key = key;
    r.Data = k.Make(subject);
    if (kind == TCard::Zip) {
        r.Archive = true;
        r.Text = ZipSiteMainFile;
    }
    return r;
}

TDataRecord KeyRecord(const std::string& name, int32_t group, int32_t subgroup, bool extra, const TObjectKey& key)
{
    TDataRecord r;
    r.Name = Cp(name);
    r.Group = group;
    r.SubGroup = subgroup;
    r.ExtraListing = extra;
    r.FileType = NoData;
    r.DataPresent = false;
    r.Key = key;
    return r;
}

struct TPlace {
    TObjectKey Key;
    const TKind* Kind;
    std::string Name;
    std::string Address;  // "УЛ. ЛЕСНАЯ, 14", or empty
    bool Taken = false;   // has a card of its own, or comes with the supplement
};

// A record's address goes with it as its second text; a card also says it.
TDataRecord Addressed(TDataRecord r, const std::string& address)
{
    r.Text2 = Cp(address);
    return r;
}
std::vector<std::string> WithAddress(const std::string& address, std::vector<std::string> lines)
{
    if (!address.empty()) lines.insert(lines.begin(), "Адрес: " + address);
    return lines;
}

} // namespace

TDatabaseReport WriteObjectDatabase(const std::string& dir, const std::vector<TDatabaseObject>& objects, uint32_t seed)
{
    TDatabaseReport report;
    // The places of interest with unique names, in the plan's order.
    std::vector<TPlace> places;
    std::map<int32_t, TObjectKey> infoCentres;
    std::map<int32_t, std::string> addresses;  // of the information centres and the places, by code
    std::set<std::string> names;
    std::map<const TKind*, int> numbers;
    for (const TDatabaseObject& o : objects) {
        if (o.Key.LayerID == StyleOf(L::InfoCentres).LayerId || o.Key.LayerID == PlacesLayerId) {
            if (o.Key.LayerID != PlacesLayerId) infoCentres[o.Key.Code] = o.Key;
            addresses[o.Key.LayerID == PlacesLayerId ? -o.Key.Code : o.Key.Code] = o.Feature->Address;
            continue;
        }
        TPlace p{o.Key, KindOf(o.Feature->Sign), o.Feature->Name.empty() ? o.Feature->Text : o.Feature->Name,
                 o.Feature->Address};
        const std::string title = p.Kind ? p.Kind->Title : "ОБЪЕКТ";
        while (p.Name.empty() || names.count(p.Name))
            p.Name = title + " № " + std::to_string(++numbers[p.Kind]);
        names.insert(p.Name);
        places.push_back(std::move(p));
    }
    auto first = [&places](int32_t sign) -> TPlace* {
        // One with an address, for its card.
        for (bool addressed : {true, false})
            for (TPlace& p : places)
                if (!p.Taken && p.Kind && p.Kind->Sign == sign && addressed == !p.Address.empty()) return &p;
        for (TPlace& p : places)  // a small city may lack it: a shop stands in
            if (!p.Taken && p.Kind && p.Kind->Sign == 3) return &p;
        return nullptr;
    };
    auto subject = [seed](const std::string& name, std::vector<std::string> lines, uint32_t salt) {
        return TCardSubject{name, std::move(lines), seed * 7919u + salt};
    };

    TDataFileWriter dat(Groups());
    auto add = [&](const TDataRecord& r, int32_t& counter) {
        dat.Add(r);
        ++counter;
    };
    // The places where new data is handed out; the eighth stored with
    // another sheet, which the loader puts right.
    for (int32_t n = 1; n <= 8; ++n)
        add(Addressed(KeyRecord(Places[n - 1], Reference, DistributionPlaces, false,
                                Key(PlacesLayerId, n == 8 ? 7 : PlacesSheetId, n)),
                      addresses[-n]),
            report.KeyRecords);
    // The information centres: the main one with a card in the main list.
    if (infoCentres.count(InfoCentreCode)) {
        const std::string& address = addresses[InfoCentreCode];
        add(Addressed(Card("ИНФОРМАЦИОННЫЙ ЦЕНТР «TARN»", 0, 0, infoCentres[InfoCentreCode], TCard::Txt,
                           subject("ИНФОРМАЦИОННЫЙ ЦЕНТР «TARN»",
                                   WithAddress(address, {"Справки об организациях, улицах и транспорте города.",
                                                         Phone(seed), "Ежедневно с 8 до 20."}),
                                   1)),
                      address),
            report.Cards);
    }
    for (int32_t code : InfoLabelCodes)
        if (infoCentres.count(code))
            add(Addressed(KeyRecord(code == InfoLabelCodes[0] ? "ГОРОДСКАЯ СПРАВОЧНАЯ" : "ТУРИСТИЧЕСКОЕ БЮРО",
                                    Reference, InfoCentres, false, infoCentres[code]),
                          addresses[code]),
                report.KeyRecords);

    // Organisations with their cards.
    std::vector<std::pair<const TOrganisation*, TPlace*>> organisations;
    uint32_t salt = 100;
    for (const TOrganisation& org : Organisations) {
        TPlace* p = first(org.Sign);
        if (!p) continue;
        p->Taken = true;
        organisations.push_back({&org, p});
        ++salt;
        add(Addressed(Card(org.Name, p->Kind->Group, p->Kind->SubGroup, p->Key, org.Card,
                           subject(org.Name,
                                   WithAddress(p->Address, {org.About, Phone(salt), "Часы работы: с 9 до 18, без перерыва."}),
                                   salt)),
                      p->Address),
            report.Cards);
    }
    // The supplement brings a new shop: the last one is left out here.
    TPlace* newcomer = nullptr;
    for (auto it = places.rbegin(); it != places.rend() && !newcomer; ++it)
        if (!it->Taken && it->Kind && it->Kind->Sign == 3) newcomer = &*it;
    if (newcomer) newcomer->Taken = true;

    // Every other place of interest as a key record; stops say that data is
    // present although they have none, which the loader passes over.
    for (const TPlace& p : places) {
        if (p.Taken) continue;
        TDataRecord r = Addressed(p.Kind ? KeyRecord(p.Name, p.Kind->Group, p.Kind->SubGroup, p.Kind->Extra, p.Key)
                                         : KeyRecord(p.Name, 0, 0, false, p.Key),
                                  p.Address);
        if (p.Kind && p.Kind->SubGroup == Stops) r.DataPresent = true;
        add(r, report.KeyRecords);
    }

    // Help (F1), the way to new data, the credits of the information tab.
    add(Card("СПРАВКА ПО ПРОГРАММЕ", Reference, 0, Key(PlacesLayerId, PlacesSheetId, HelpCode), TCard::Htm,
             subject("Справка по программе",
                     {"F1 — эта справка.", "F5 — карта во весь экран и обратно.",
                      "Ctrl — лупа, Alt — перемещение карты, пока клавиша нажата.",
                      "Tab — клавиатура для карты или для списков.",
                      "Двойной щелчок по строке списка показывает объект на карте."},
                     2)),
        report.Cards);
    add(Card("ОБНОВЛЕНИЕ ДАННЫХ", Reference, 0, Key(PlacesLayerId, 0, UpdateCode), TCard::Txt,
             subject("Обновление данных",
                     {"Новые данные о городе выходят каждый месяц.",
                      "Их можно получить в пунктах распространения (кнопка «Обновление»)."},
                     3)),
        report.Cards);
    const struct {
        int32_t Code;
        const char* Name;
        TCard Card;
        const char* Line;
    } credits[] = {
        {-3, "О ПРОГРАММЕ", TCard::Txt, "Информационно-справочная система «TARN», версия от 01.02.2000."},
        {-4, "АВТОРЫ КАРТЫ", TCard::Jpg, "Карта составлена по съёмке 1999 года."},
        {-5, "БЛАГОДАРНОСТИ", TCard::Rtf, "Спасибо всем, кто прислал нам исправления."},
    };
    for (const auto& c : credits)
        add(Card(c.Name, Reference, 0, Key(PlacesLayerId, PlacesSheetId, c.Code), c.Card,
                 subject(c.Name, {c.Line}, 10u + uint32_t(-c.Code))),
            report.Cards);

    // The ticker text: one line a line, some with a colour.
    {
        TDataRecord r;
        r.Name = Cp("БЕГУЩАЯ СТРОКА");
        r.FileType = "TXT";
        r.Key = Key(TickerLayerId, TickerSheetId, TickerCode);
        for (const char* line : TickerLines) r.Data += Cp(line) + "\r\n";
        add(r, report.Cards);
    }
    // A deleted record and one of no object: both passed over.
    if (!places.empty()) {
        TDataRecord gone = KeyRecord("ЗАКРЫТЫЙ МАГАЗИН", Trade, Shops, false, places.back().Key);
        gone.Deleted = true;
        add(gone, report.Skipped);
    }
    add(KeyRecord("-----", 0, 0, false, TObjectKey{}), report.Skipped);
    dat.Save(dir + "/" + DatabaseFile);

    // The supplement: the hotel renamed with a new picture, the new shop,
    // and a deleted record that leaves the bank as it was.
    TDataFileWriter d05(Groups());
    for (const auto& [org, place] : organisations) {
        if (org->Sign == 10)
            d05.Add(Addressed(Card("ГОСТИНИЦА «ЛИСТОГРАД» (ПОСЛЕ РЕМОНТА)", place->Kind->Group, place->Kind->SubGroup,
                                   place->Key, TCard::Jpg,
                                   subject(org->Name, WithAddress(place->Address, {"Открыта после ремонта."}), 500)),
                              place->Address));
        if (org->Sign == 4) {
            TDataRecord r = KeyRecord(org->Name, place->Kind->Group, place->Kind->SubGroup, false, place->Key);
            r.Deleted = true;
            d05.Add(r);
        }
    }
    if (newcomer)
        d05.Add(Addressed(Card("МАГАЗИН «НОВОСЁЛ»", Trade, Shops, newcomer->Key, TCard::Txt,
                               subject("МАГАЗИН «НОВОСЁЛ»",
                                       WithAddress(newcomer->Address, {"Открылся в этом месяце.", Phone(600)}), 600)),
                          newcomer->Address));
    d05.Save(dir + "/" + SupplementFile);
    report.Supplement = d05.Records();

    // Banners: each leads to an organisation's card; one record of no object.
    TDataFileWriter banners({});
    const struct {
        int32_t Sign;
        const char* Type;
        std::string (*Make)(uint32_t, const std::string&);
    } shown[] = {{10, "JPG", JpgBanner}, {9, "GIF", GifBanner}, {8, "BMP", BmpBanner}};
    for (const auto& b : shown)
        for (const auto& [org, place] : organisations)
            if (org->Sign == b.Sign) {
                TDataRecord r;
                r.Name = Cp(org->Name);
                r.FileType = b.Type;
                r.Key = place->Key;
                r.Data = b.Make(seed + uint32_t(b.Sign), org->Name);
                banners.Add(r);
                ++report.Banners;
            }
    banners.Add(KeyRecord("-----", 0, 0, false, TObjectKey{}));
    banners.Save(dir + "/" + BannerFile);
    return report;
}

} // namespace tarn::city
