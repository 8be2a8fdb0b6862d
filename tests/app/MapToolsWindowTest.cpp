// The map tools in the main window on the demo city: the arrow and zoom
// buttons and the map's keys, measuring into WayPanel, and user signs kept
// in the sign sheet from one run to the next.
#include "AppSupport.h"

#include "app/maptools/BtnBox.h"
#include "model/WorkSign.h"
#include "model/tsWay.h"

#include <QLabel>
#include <QLocale>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

namespace tarn::test {
namespace {

void ShowMiddle(TMainForm& form, double share)
{
    TModel& m = *form.Model();
    TView& v = *form.View();
    const TRect p = m.ProjectRect();
    const TPoint centre{int32_t((int64_t(p.Left) + p.Right) / 2), int32_t((int64_t(p.Top) + p.Bottom) / 2)};
    ASSERT_EQ(m.ZoomAtPoint(v, centre, v.Scale / v.MmPerPixel * share), ResultDone);
}

// The box on the window's buttons and keys, measuring into WayPanel.
TEST(MainWindowTools, ButtonsKeysAndMeasuringWorkOnTheWindowsControls)
{
    TCityCopy city;
    TStubServices services;
    auto form = StartForm(city.ProgramDir(), services);
    TView& v = *form->View();
    ShowMiddle(*form, 0.25);
    TRect r = v.WorldRect;
    QTest::mouseClick(form->SpeedButton4, Qt::LeftButton);  // right
    EXPECT_EQ(v.WorldRect.Left - r.Left, (int64_t(r.Right) - r.Left) / 10);
    QWidget* map = form->MapPanel->SurfaceWidget();
    form->SetMapFocused(false);
    r = v.WorldRect;
    QTest::keyClick(map, Qt::Key_Left);
    EXPECT_EQ(v.WorldRect, r) << "the box waits for the map to take the keyboard";
    form->SetMapFocused(true);
    QTest::keyClick(map, Qt::Key_Left);
    EXPECT_EQ(r.Left - v.WorldRect.Left, (int64_t(r.Right) - r.Left) / 10);

    form->SetMapMode(ModeMeasure);
    QTest::mouseClick(map, Qt::LeftButton, {}, QPoint(100, 100));
    QTest::mouseMove(map, QPoint(160, 180));
    TPoint a, b;
    form->Model()->ScreenToWorld(v, 100, 100, a.X, a.Y);
    form->Model()->ScreenToWorld(v, 160, 180, b.X, b.Y);
    EXPECT_EQ(form->WayPanel->text().toStdString(),
              FormatMetres(SegmentMillimetres(a, b), QLocale().decimalPoint().toStdString()));
}

// Every file of the folder with its bytes.
std::map<std::string, std::string> Files(const std::string& dir)
{
    std::map<std::string, std::string> files;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        if (e.is_regular_file()) files[e.path().filename().string()] = ReadFileBytes(e.path().string());
    return files;
}

TEST(MainWindowTools, SignsGoIntoTheSignSheetAndComeBackOnTheNextStart)
{
    TCityCopy city;
    TStubServices services;
    TObjectKey added{};
    TPoint at{};
    std::map<std::string, std::string> before;
    {
        auto form = StartForm(city.ProgramDir(), services);
        TWorkSign& signs = *form->WorkSign;
        EXPECT_EQ(int32_t(signs.SignLayer.LayerID), 307);  // a packed field: read, not bound
        EXPECT_EQ(signs.SignSheetID, 23);
        EXPECT_FALSE(signs.OnBeforeMove);
        // The tool alone: the window's own events (the chooser) step aside.
        signs.OnBeforeAdd = nullptr;
        signs.OnAfterAdd = [&](const TObjectKey& k, const TPoint& p, bool) {
            added = k;
            at = p;
        };
        ShowMiddle(*form, 0.25);
        const int32_t code = signs.NextFreeCode();
        before = Files(city.Dir.Path());

        form->SetMapMode(ModeAddSign);
        QTest::mouseClick(form->MapPanel->SurfaceWidget(), Qt::LeftButton, {}, QPoint(120, 90));
        EXPECT_EQ(added, (TObjectKey{1, 1, 307, 23, code}));
        TPoint w;
        form->Model()->ScreenToWorld(*form->View(), 120, 90, w.X, w.Y);
        EXPECT_EQ(at, w);
        signs.SaveModel();
    }
    const std::map<std::string, std::string> after = Files(city.Dir.Path());
    for (const auto& [name, bytes] : before) {
        ASSERT_TRUE(after.count(name)) << name;
        if (name == "signs.map" || name == "tarn.prj" || name == "tarn.ini") continue;
        EXPECT_EQ(after.at(name), bytes) << name << " is not the user's to change";
    }
    EXPECT_NE(after.at("signs.map"), before.at("signs.map"));
    ASSERT_TRUE(after.count("signs.~ma"));
    EXPECT_EQ(after.at("signs.~ma"), before.at("signs.map")) << "the backup holds the sheet as it was";
    for (const auto& [name, bytes] : after)
        EXPECT_TRUE(before.count(name) || name == "signs.~ma" || name == "tarn.~pr" || name == "tarn.ini" ||
                    name == ".tarn.ini.lock")  // two running copies take turns at the settings through it
            << "left behind: " << name;

    auto form = StartForm(city.ProgramDir(), services);
    std::vector<uint8_t> header;
    ASSERT_EQ(form->Model()->GetObjectData(form->View(), 1, added, header), ResultDone);
    // The sheet keeps places to the metre.
    EXPECT_NEAR(DecodeObjectHeader(header.data()).X, at.X, 500);
    EXPECT_NEAR(DecodeObjectHeader(header.data()).Y, at.Y, 500);
    EXPECT_TRUE(services.Errors.empty());
}

} // namespace
} // namespace tarn::test
