#pragma once
// A small city written by the test through the project's own writers: one
// sheet (".map"), a project (".prj") naming it, and a model with a view on
// a fixed surface that has the sheet loaded.
#include "../data/TestSupport.h"
#include "model/Models.h"

#include <memory>
#include <string>

namespace tarn::test {

// Layer identifiers of the sample's working map and the sheet's own.
constexpr int32_t StreetsId = 101;     // kind 0 "Улицы"
constexpr int32_t BlocksId = 102;      // kind 1 "Кварталы"
constexpr int32_t LabelsId = 103;      // kind 6 "Надписи"
constexpr int32_t SignsId = 104;       // kind 7 "Знаки"
constexpr int32_t StyledLinesId = 105; // kind 9 "Трассы", in the group "Сети"
constexpr int32_t StyledAreasId = 106; // kind 10 "Парки"
constexpr int32_t StyledTextsId = 107; // kind 11 "Подписи"
constexpr int32_t StyledSignsId = 108; // kind 12 "Отметки"
constexpr int32_t PicturesId = 109;    // kind 13 "Снимки"
constexpr int32_t NoClassId = 110;     // kind 3 "Прочее"
constexpr int32_t HiddenId = 111;      // kind 0 "Скрытый", hidden, flag 128
constexpr int32_t SheetId = 1;         // the sheet's file identifier
constexpr int32_t SampleScale = 10000; // the project scale of the sample

constexpr TColorRef BlockColour = 0x00C000;   // green fill
constexpr TColorRef SelectRed = 0x0000FF;     // the model's selection colour

// The sheet: 1000 x 1000 m (world units are millimetres), left-bottom at 0.
// Objects: a street (code 1), a block (code 1, square 200..800 m), a label,
// a sign (code 5 at 500, 500 m), one object of each styled kind.
std::unique_ptr<TMap> MakeSheetMap();
// The sheet written in the 16-bit form with the sample's placement.
std::string SheetBytes(const TMap& sheet);

struct TPrjOptions {
    int32_t Version = 102;     // 100 adds the version-100 extras
    bool WithExtras = false;   // with version 100
    std::string Library = "tarn.dll";
    bool Layers = true;        // the sample's layer tree in the level and working maps
    int32_t ProjectScale = SampleScale;
    std::string SheetName = "city.map";
};
// A project naming "city.map": two levels (the city 0..100000 with the
// sheet, an overview 100000..100000000 without), a working map of
// information layers, one compound object (identifier 7: the street and
// the block), link records in both carried collections.
std::string PrjBytes(const TPrjOptions& options = {});

// A folder with city.map and city.prj written.
struct TSampleCity {
    TSampleCity();
    TTempDir Dir;
    std::string Prj;
    std::string Map;
};

// A model with one view (200 x 200 pixels, 0.25 mm per pixel) showing the
// whole sheet at 1:20000, its project opened and the sheet loaded.
struct TOpenCity {
    explicit TOpenCity(const std::string& file = std::string());
    TSampleCity City;
    TWindowSurface Surface{200, 200};
    std::unique_ptr<TModel> Model;
    std::unique_ptr<TView> View;
};

TObjectKey Key(int32_t layerId, int32_t code, int32_t sheetId = SheetId, int32_t force = 0);

} // namespace tarn::test
