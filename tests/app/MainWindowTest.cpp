// The main window on the demo city: what it shows, its layout, and the
// visible rectangle kept across runs.
#include "AppSupport.h"

#include "app/SecretPanel.h"
#include "app/common/Cursors.h"
#include "platform/Ini.h"

#include <QLabel>
#include <QSplitter>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <climits>

namespace tarn::test {
namespace {

// The whole map as the model fits it to the window's map panel now.
TRect WholeMapRect(TMainForm& form)
{
    TView probe(&form.MapPanel->Surface());
    probe.ClientRect = form.View()->ClientRect;
    probe.MmPerPixel = form.View()->MmPerPixel;
    TModel& m = *form.Model();
    m.AttachView(probe);
    EXPECT_EQ(m.ZoomAll(probe), ResultDone);
    const TRect r = probe.WorldRect;
    m.DetachView(probe);
    return r;
}

// What a first start shows: the whole map.
TRect FirstStartRect(const TCityCopy& city, TStubServices& services)
{
    auto form = StartForm(city.ProgramDir(), services);
    return form->View()->WorldRect;
}

void WriteStart(const std::string& iniPath, const TRect& r)
{
    auto ini = TIniFile::Open(iniPath);
    ini->WriteInteger("START POSITION", "LEFT", r.Left);
    ini->WriteInteger("START POSITION", "TOP", r.Top);
    ini->WriteInteger("START POSITION", "RIGHT", r.Right);
    ini->WriteInteger("START POSITION", "BOTTOM", r.Bottom);
}

TEST(MainWindow, ShowsTheCityInTheMapPanel)
{
    TCityCopy city;
    TStubServices services;
    auto form = StartForm(city.ProgramDir(), services);
    ASSERT_NE(form->Model(), nullptr);
    EXPECT_TRUE(services.Errors.empty());

    const QImage window = form->grab().toImage();
    const std::string windowPath = SaveAppImage(window, "main-window");
    const QImage map = GrabMapPanel(*form);
    SaveAppImage(map, "main-window-map");
    // The whole city drawn: streets, blocks, water and labels over most of the panel.
    EXPECT_GT(PaperlessShare(map), 0.2) << windowPath;
    // The panel fills the map side of the window: only the tool side (219
    // pixels) and the status bar are left.
    EXPECT_GE(form->MapPanel->width(), FormWidth - 219 - 20);
    EXPECT_GE(form->MapPanel->height(), FormHeight - 60);
}

TEST(MainWindow, FitsTheWholeMapToThePanelsRealSizeOnAFirstStart)
{
    TCityCopy city;
    TStubServices services;
    auto form = StartForm(city.ProgramDir(), services);
    const QSize panel = form->MapPanel->size();
    // Unshown, the panel had a placeholder size; the view now has the real one.
    EXPECT_EQ(form->View()->ClientRect, (TRect{0, 0, panel.width(), panel.height()}));
    EXPECT_EQ(form->View()->WorldRect, WholeMapRect(*form));
    EXPECT_FALSE(form->StartPending());  // it was painted at that size

    // A later resize keeps the scale and the top-left corner.
    const TRect before = form->View()->WorldRect;
    const double scale = form->View()->Scale;
    form->resize(FormWidth - 100, FormHeight - 50);
    QCoreApplication::processEvents();
    EXPECT_EQ(form->View()->Scale, scale);
    EXPECT_EQ(form->View()->WorldRect.Left, before.Left);
    EXPECT_EQ(form->View()->ClientRect.Right, form->MapPanel->width());
}

TEST(MainWindow, VisibleRectangleSurvivesACloseAndARestart)
{
    TCityCopy city;
    TStubServices services;
    TRect shown;
    {
        auto form = StartForm(city.ProgramDir(), services);
        const TRect whole = form->View()->WorldRect;
        // A quarter of the city, off centre.
        const int32_t w = whole.Right - whole.Left, h = whole.Top - whole.Bottom;
        const TRect part{whole.Left + w / 5, whole.Top - h / 3, whole.Left + w / 5 + w / 4,
                         whole.Top - h / 3 - h / 4};
        ASSERT_EQ(form->Model()->SetViewRect(*form->View(), part), ResultDone);
        shown = form->View()->WorldRect;
        form->FormDestroy();
    }
    auto ini = TIniFile::Open(city.File("tarn.ini"));
    EXPECT_EQ(ini->ReadInteger("START POSITION", "LEFT", 0), shown.Left);
    EXPECT_EQ(ini->ReadInteger("START POSITION", "TOP", 0), shown.Top);
    EXPECT_EQ(ini->ReadInteger("START POSITION", "RIGHT", 0), shown.Right);
    EXPECT_EQ(ini->ReadInteger("START POSITION", "BOTTOM", 0), shown.Bottom);
    EXPECT_EQ(ini->ReadInteger("TMainForm", "Current_Pos", -1), 0);
    // The show step moved on to the second banner.
    EXPECT_EQ(ini->ReadInteger("TMainForm", "Current_PosImage", -1), 2);

    auto again = StartForm(city.ProgramDir(), services);
    EXPECT_EQ(again->View()->WorldRect, shown);
    EXPECT_TRUE(services.Errors.empty());
}

TEST(MainWindow, AnUnusableStoredRectangleFallsBackToTheWholeMap)
{
    TCityCopy city;
    TStubServices services;
    const TRect whole = FirstStartRect(city, services);
    const int32_t w = whole.Right - whole.Left, h = whole.Top - whole.Bottom;
    const struct {
        const char* What;
        TRect Stored;
        bool Whole;
    } cases[] = {
        {"empty", {whole.Left + w / 3, whole.Top - h / 3, whole.Left + w / 3, whole.Top - h / 3}, true},
        {"no width", {whole.Left + w / 3, whole.Top - h / 3, whole.Left + w / 3, whole.Top - h / 2}, true},
        {"left and right swapped", {whole.Left + w / 2, whole.Top - h / 3, whole.Left + w / 3, whole.Top - h / 2}, true},
        {"top below bottom", {whole.Left + w / 3, whole.Top - h / 2, whole.Left + w / 2, whole.Top - h / 3}, true},
        {"beside the project", {whole.Right + w, whole.Top, whole.Right + 2 * w, whole.Bottom}, true},
        {"below the project", {whole.Left, whole.Bottom - h, whole.Right, whole.Bottom - 2 * h}, true},
        {"beyond 32 bits", {INT32_MIN, INT32_MAX, INT32_MAX, INT32_MIN}, true},
        // The top-left eighth of the map, sticking out over the left edge: shown, held inside.
        {"partly outside", {whole.Left - w / 16, whole.Top - h / 4, whole.Left + w / 4, whole.Top - h / 2}, false},
    };
    for (const auto& c : cases) {
        WriteStart(city.File("tarn.ini"), c.Stored);
        auto form = StartForm(city.ProgramDir(), services);
        const TRect r = form->View()->WorldRect;
        if (c.Whole) {
            EXPECT_EQ(r, whole) << c.What;
        } else {
            EXPECT_LT(r.Right - r.Left, w / 2) << c.What;
            EXPECT_GE(r.Left, whole.Left - 1) << c.What;
        }
        EXPECT_GT(PaperlessShare(GrabMapPanel(*form)), 0.2) << c.What;
    }
    EXPECT_TRUE(services.Errors.empty());
}

TEST(MainWindow, RasterOptionChoosesDrawingThroughAPicture)
{
    const struct {
        const char* Stored;  // null: no key
        uint8_t DoubleBuffer;
    } cases[] = {{nullptr, 1}, {"1", 1}, {"0", 0}, {"2", 0}, {" 1 ", 1}};
    for (const auto& c : cases) {
        TCityCopy city;
        if (c.Stored) TIniFile::Open(city.File("tarn.ini"))->WriteString("OPTIONS", "RASTRDRAW", c.Stored);
        TStubServices services;
        TInfoModule info(city.ProgramDir(), "tarn", services);
        TMainForm form(info);
        form.FormCreate();
        EXPECT_EQ(form.Model()->DoubleBuffer, c.DoubleBuffer) << (c.Stored ? c.Stored : "missing");
    }
}

TEST(MainWindow, CaptionLayoutAndModelSettings)
{
    TCityCopy city;
    TStubServices services;
    auto form = StartForm(city.ProgramDir(), services);
    EXPECT_EQ(form->windowTitle().toStdString(),
              "Информационно-справочная система по г.Листоград \"TARN\" (версия от 01.02.2000)");
    EXPECT_EQ(form->objectName(), "MainForm");
    // The map side on the left of the splitter, the tool side 219 pixels on the right.
    EXPECT_EQ(form->Splitter2->widget(0), form->RightPanel);
    EXPECT_EQ(form->Splitter2->widget(1), form->LeftPanel);
    EXPECT_EQ(form->LeftPanel->width(), 219);
    EXPECT_EQ(form->Panel1->height(), 70);
    EXPECT_FALSE(form->WayPanel->isVisible());
    EXPECT_FALSE(form->SecretPanel1->isVisible());
    ASSERT_EQ(form->PageControl1->count(), 3);
    EXPECT_EQ(form->PageControl1->currentWidget(), form->TabSheet1);
    EXPECT_EQ(form->PageControl1->tabText(0).toStdString(), "Улицы");
    EXPECT_EQ(form->PageControl1->tabText(1).toStdString(), "Объекты");
    EXPECT_EQ(form->PageControl1->tabText(2).toStdString(), "Информация");
    for (const char* name : {"GlobalPanel", "RightPanel", "Panel2", "MapPanel", "StatusBar1", "LeftPanel",
                             "PanelPanel", "NavPanel", "IvPanel", "Splitter1", "Panel7", "InetPanel", "LupaBtn",
                             "MoveBtn", "ZoomInBtn", "ZoomOutBtn", "SpeedButton10"})
        EXPECT_NE(form->findChild<QWidget*>(name), nullptr) << name;
    EXPECT_EQ(form->Model()->PixelTolerance, 20);
    EXPECT_EQ(form->View()->ViewMode, ModeNormal);
    EXPECT_EQ(form->Timer1->interval(), 60000);
    EXPECT_EQ(form->Timer2->interval(), 90000);
}

TEST(MainWindow, ModeButtonsSetTheModeAndTheCursor)
{
    TCityCopy city;
    TStubServices services;
    auto form = StartForm(city.ProgramDir(), services);
    QWidget* map = form->MapPanel->SurfaceWidget();
    auto hotSpot = [&] { return map->cursor().hotSpot(); };

    QTest::mouseClick(form->LupaBtn, Qt::LeftButton);
    EXPECT_EQ(form->View()->ViewMode, ModeMagnifier);
    EXPECT_EQ(hotSpot(), QPoint(12, 12));
    QTest::mouseClick(form->MoveBtn, Qt::LeftButton);  // the magnifier lets go
    EXPECT_FALSE(form->LupaBtn->isChecked());
    EXPECT_EQ(form->View()->ViewMode, ModePan);
    EXPECT_EQ(hotSpot(), QPoint(16, 15));
    QTest::mouseClick(form->MoveBtn, Qt::LeftButton);
    EXPECT_EQ(form->View()->ViewMode, ModeNormal);
    EXPECT_EQ(map->cursor().shape(), Qt::ArrowCursor);

    // The panorama button shows the whole map again.
    const TRect whole = form->View()->WorldRect;
    ASSERT_EQ(form->Model()->SetScaleDenominator(*form->View(), 5000), ResultDone);
    EXPECT_NE(form->View()->WorldRect, whole);
    QTest::mouseClick(form->SpeedButton10, Qt::LeftButton);
    EXPECT_EQ(form->View()->WorldRect, whole);
}

} // namespace
} // namespace tarn::test
