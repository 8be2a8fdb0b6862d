// The shared services: the position file's name, window placement written
// and read back, and showing an object on the main map.
#include "../AppSupport.h"

#include "../../tools/CitySupport.h"
#include "model/ViewWork.h"
#include "platform/Cp1251.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <set>

namespace tarn::test {
namespace {

TEST(InfoModule, PositionFileIsTheProgramNameUpToItsFirstDot)
{
    const struct {
        const char* Program;
        const char* Expected;
    } cases[] = {
        {"a.b.exe", "a.ini"}, {"tarn", "tarn.ini"}, {"TARN.EXE", "TARN.ini"},
        {"tarn.", "tarn.ini"}, {".hidden", ".ini"}, {"/opt/city/tarn.bin", "tarn.ini"},
    };
    for (const auto& c : cases) EXPECT_EQ(PositionFileName(c.Program), c.Expected) << c.Program;

    TCityCopy city;
    TStubServices services;
    TInfoModule tarn(city.ProgramDir(), "tarn", services);
    EXPECT_EQ(tarn.PositionFile, tarn.IniFile) << "the settings file is the position file of \"tarn\"";
    EXPECT_EQ(tarn.IniFile->FileName(), city.File("tarn.ini"));
    TInfoModule other(city.ProgramDir(), "city.viewer.exe", services);
    EXPECT_EQ(other.PositionFile->FileName(), city.File("city.ini"));
    EXPECT_EQ(other.IniFile, tarn.IniFile) << "one shared settings file";
}

TEST(InfoModule, PlacementIsWrittenAndReadBackPerWindow)
{
    TCityCopy city;
    TStubServices services;
    TInfoModule info(city.ProgramDir(), "tarn", services);
    TIniFile& ini = *info.PositionFile;
    // As in the program, a framed window is up: the frame of a window not
    // shown yet is known.
    QWidget main;
    main.setObjectName("MainForm");
    main.setGeometry(500, 400, 200, 100);
    main.show();
    const struct {
        const char* Section;
        TWindowPlacement Placement;
    } cases[] = {
        {GroupFormSection, {40, 50, 300, 200, 0}},
        {InfoFormSection, {60, 70, 320, 240, 2}},
        {CustomFormSection, {10, 20, 500, 400, 1}},
    };
    for (const auto& c : cases) {
        QWidget window;
        ApplyPlacement(window, c.Placement);
        SaveWindowPlacement(window, ini, c.Section);
    }
    for (const auto& c : cases) {
        // Each section holds its five keys.
        EXPECT_EQ(ini.ReadSectionKeys(c.Section),
                  (std::vector<std::string>{"LEFT", "TOP", "WIDTH", "HEIGHT", "WINDOWSTATE"}))
            << c.Section;
        QWidget window;
        window.setGeometry(5, 5, 100, 100);
        RestoreWindowPlacement(window, ini, c.Section);
        EXPECT_EQ(PlacementOf(window), c.Placement) << c.Section;
    }
    EXPECT_EQ(ini.ReadInteger(InfoFormSection, "WINDOWSTATE", -1), 2);
}

TEST(InfoModule, WindowWithoutAUsablePlaceOpensCentredAndOnTheScreen)
{
    TCityCopy city;
    auto ini = TIniFile::Open(city.File("tarn.ini"));
    QWidget main;
    main.setObjectName("MainForm");
    main.setGeometry(100, 100, 600, 400);
    main.show();
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    const QPoint centre = main.frameGeometry().center();
    // Places are of whole windows: a window not yet shown will have the
    // frame the main window has.
    const QMargins frame = main.windowHandle()->frameMargins();
    const TWindowPlacement own{30, 40, 200, 150, 0};
    const struct {
        const char* What;
        std::vector<std::pair<const char*, int32_t>> Stored;
        TWindowPlacement Expected;
    } cases[] = {
        {"no file", {}, {centre.x() - 100, centre.y() - 75, 200, 150, 0}},
        {"only a width", {{"WIDTH", 260}}, {centre.x() - 130, centre.y() - 75, 260, 150, 0}},
        {"only a place", {{"LEFT", 70}, {"TOP", 80}}, {70, 80, 200, 150, 0}},
        {"no size", {{"LEFT", 70}, {"TOP", 80}, {"WIDTH", 0}, {"HEIGHT", -5}}, {70, 80, 200, 150, 0}},
        {"off every screen", {{"LEFT", -90000}, {"TOP", 90000}}, {area.left(), area.bottom() + 1 - 150, 200, 150, 0}},
        {"the title bar above the screen", {{"LEFT", 50}, {"TOP", area.top() - 20}}, {50, area.top(), 200, 150, 0}},
        {"larger than the screen, below it",
         {{"LEFT", 10}, {"TOP", area.bottom() + 50}, {"WIDTH", area.width() + 300}, {"HEIGHT", 120}},
         {area.left(), area.bottom() + 1 - 120, area.width(), 120, 0}},
        {"half off the right edge, its title bar in reach",
         {{"LEFT", area.right() - 100}, {"TOP", 50}},
         {area.right() - 100, 50, 200, 150, 0}},
    };
    for (const auto& c : cases) {
        ini->EraseSection(GroupFormSection);
        for (const auto& [key, value] : c.Stored) ini->WriteInteger(GroupFormSection, key, value);
        QWidget window;
        window.setGeometry(own.Left, own.Top, own.Width - frame.left() - frame.right(),
                           own.Height - frame.top() - frame.bottom());
        RestoreWindowPlacement(window, *ini, GroupFormSection);
        EXPECT_EQ(PlacementOf(window), c.Expected) << c.What;
    }
}

TEST(InfoModule, WindowsOpenedOnOneAnotherCascade)
{
    TCityCopy city;
    auto ini = TIniFile::Open(city.File("tarn.ini"));
    QWidget main;
    main.setObjectName("MainForm");
    main.setGeometry(100, 100, 600, 400);
    main.show();
    const struct {
        const char* What;
        std::vector<std::pair<const char*, int32_t>> Stored;
    } cases[] = {
        {"a stored place", {{"LEFT", 70}, {"TOP", 80}, {"WIDTH", 200}, {"HEIGHT", 150}}},
        {"centred over the main window", {}},
    };
    for (const auto& c : cases) {
        ini->EraseSection(GroupFormSection);
        for (const auto& [key, value] : c.Stored) ini->WriteInteger(GroupFormSection, key, value);
        // A group window, its subgroup's and that one's: each down and to
        // the right of the one before, never on it.
        std::vector<std::unique_ptr<QWidget>> open;
        for (int i = 0; i < 3; ++i) {
            auto w = std::make_unique<QWidget>();
            w->resize(200, 150);
            RestoreWindowPlacement(*w, *ini, GroupFormSection);
            w->show();
            open.push_back(std::move(w));
        }
        const QPoint first = open[0]->frameGeometry().topLeft();
        for (int i = 1; i < 3; ++i)
            EXPECT_EQ(open[std::size_t(i)]->frameGeometry().topLeft(), first + QPoint(24 * i, 24 * i)) << c.What;
        // One closed leaves its place to the next.
        open[1]->hide();
        QWidget next;
        next.resize(200, 150);
        RestoreWindowPlacement(next, *ini, GroupFormSection);
        EXPECT_EQ(next.frameGeometry().topLeft(), first + QPoint(24, 24)) << c.What;
    }
}

TEST(InfoModule, ShowObjectOnMapShowsOnlyWhatTheViewCanFind)
{
    TCityCopy city;
    TStubServices services;
    auto started = StartForm(city.ProgramDir(), services);
    TModel& model = *started->Model();
    TView& view = *started->View();
    const TObjectKey house = DetailSheetHouse(model, view);
    const TObjectKey place{0, 1, city::PlacesLayerId, city::PlacesSheetId, 3};

    const struct {
        const char* What;
        TObjectKey Key;
        bool Shown;
    } cases[] = {
        {"a place, on a sheet of both levels", place, true},
        {"a house whose sheet the whole map does not load", house, false},
        {"no such object", {0, 1, city::PlacesLayerId, city::PlacesSheetId, 999}, false},
        {"no such layer", {0, 1, 4242, 1, 1}, false},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(model.ZoomAll(view), ResultDone);
        TKeyList earlier{{0, 1, city::PlacesLayerId, city::PlacesSheetId, 1}};
        model.HighlightObjects(&view, 1, earlier);
        const TRect whole = view.WorldRect;

        EXPECT_EQ(ZoomToObject(model, view, c.Key), c.Shown) << c.What;
        ASSERT_EQ(model.ZoomAll(view), ResultDone);
        EXPECT_EQ(started.Info->ShowObjectOnMap(c.Key), c.Shown) << c.What;
        TKeyList lit;
        model.HighlightObjects(&view, 0, lit);
        if (c.Shown) {
            EXPECT_NEAR(view.Scale / view.MmPerPixel, 2500, 1) << c.What;
            EXPECT_EQ(lit, TKeyList{c.Key}) << c.What << ": the object alone highlighted";
            const TRect r = view.WorldRect;
            std::vector<uint8_t> b;
            ASSERT_EQ(model.GetObjectData(&view, 1, c.Key, b), ResultDone);
            const TObjectHeader h = DecodeObjectHeader(b.data());
            EXPECT_NEAR((int64_t(r.Left) + r.Right) / 2, h.X, (r.Right - r.Left) / 10) << c.What << ": centred";
            EXPECT_NEAR((int64_t(r.Top) + r.Bottom) / 2, h.Y, (r.Top - r.Bottom) / 10) << c.What << ": centred";
        } else {
            EXPECT_EQ(view.WorldRect, whole) << c.What << ": the view stays";
            EXPECT_EQ(lit, earlier) << c.What << ": the highlight stays";
        }
        model.HighlightObjects(&view, 2, lit);
    }
}

// A long avenue's fitted rectangle grows from its left and top; the shown
// view is centred on the avenue, not on that rectangle.
TEST(InfoModule, ShowObjectOnMapCentresALongObject)
{
    TCityCopy city;
    TStubServices services;
    auto started = StartForm(city.ProgramDir(), services);
    TModel& model = *started->Model();
    TView& view = *started->View();
    TLayerSelector avenues;
    MakeFieldQuery(Utf8ToCp1251("Проспекты"), -1, avenues);
    TLayerRec layer{};
    ASSERT_EQ(model.GetLayerInfo(avenues, layer), 0);
    std::vector<uint8_t> b;
    TObjectKey key{};
    for (int32_t sheet = 1; sheet < 200 && b.size() < 16; ++sheet)
        for (int32_t code = 1; code < 40 && b.size() < 16; ++code) {
            key = {0, 1, layer.LayerId, sheet, code};
            if (model.GetObjectData(&view, 2, key, b) != ResultDone) b.clear();
        }
    ASSERT_GE(b.size(), 16u) << "an avenue";
    int64_t left = INT64_MAX, right = INT64_MIN, top = INT64_MIN, bottom = INT64_MAX;
    for (std::size_t i = 0; i + 8 <= b.size(); i += 8) {
        const int32_t x = GetI32(b.data() + i), y = GetI32(b.data() + i + 4);
        left = std::min<int64_t>(left, x), right = std::max<int64_t>(right, x);
        top = std::max<int64_t>(top, y), bottom = std::min<int64_t>(bottom, y);
    }
    ASSERT_NE(right - left, top - bottom) << "an avenue that is not square";
    ASSERT_EQ(model.ZoomAll(view), ResultDone);
    ASSERT_TRUE(started.Info->ShowObjectOnMap(key));
    const TRect r = view.WorldRect;
    const double pixel = view.Scale;
    EXPECT_NEAR(view.Scale / view.MmPerPixel, 2500, 1);
    EXPECT_NEAR((double(r.Left) + r.Right) / 2, (left + right) / 2, 2 * pixel);
    EXPECT_NEAR((double(r.Top) + r.Bottom) / 2, (top + bottom) / 2, 2 * pixel);
}

} // namespace
} // namespace tarn::test
