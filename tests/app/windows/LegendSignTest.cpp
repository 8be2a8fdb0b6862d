// The legend and the sign chooser on the demo city: rows and samples in
// their places, the library's nominal size, the grid of user signs, and a
// chosen sign reaching the map; the sign events' questions and refusals.
#include "../CommandsSupport.h"

#include "app/common/TSPanel.h"
#include "app/windows/Legend_f.h"
#include "app/windows/SelSgn_f.h"
#include "model/WorkSign.h"
#include "tools/CityStyle.h"

#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

#include <gtest/gtest.h>

#include <set>
#include <sys/stat.h>

namespace tarn::test {
namespace {

QImage SampleImage(TTessaraPanel& box)
{
    box.Surface().Paint();
    return box.Surface().Image().copy(0, 0, box.width(), box.height());
}

// The demo city's sign layers (kind 7) as legend rows: name and sign.
std::set<std::pair<std::string, int32_t>> CitySignLayers()
{
    std::set<std::pair<std::string, int32_t>> layers;
    for (int i = 0; i < int(city::L::Count); ++i) {
        const city::TLayerStyle& s = city::StyleOf(city::L(i));
        if (s.Kind == LayerKindSign) layers.insert({std::string(" - ") + s.Name, s.Style3});
    }
    return layers;
}

TEST(Legend, SampleSizeFollowsTheLibrarysNominalSize)
{
    const struct {
        int32_t GetSize, SignSize;
    } cases[] = {{40, 50}, {10, 200}, {30, 67}, {160, 12}, {100, 20}, {0, 20}, {-4, 20}};
    for (const auto& c : cases) EXPECT_EQ(LegendSignSize(c.GetSize), c.SignSize) << "GETSIZE " << c.GetSize;
}

TEST(Legend, OneRowPerSignLayerInItsPlaceWithItsSample)
{
    TCityCopy city;
    TStubServices services;
    auto started = StartForm(city.ProgramDir(), services);
    TLegendForm& legend = *started.Windows->LegendForm;
    EXPECT_EQ(legend.SignSize, 50) << "the demo library's GETSIZE is 40";
    // The demo city's sign layers (kind 7), every kind of place with a sign
    // of its own; styled sign layers have none.
    const std::set<std::pair<std::string, int32_t>> expected = CitySignLayers();
    ASSERT_GE(expected.size(), 10u);
    std::set<int32_t> signs;
    for (const auto& [name, sign] : expected) EXPECT_TRUE(signs.insert(sign).second) << name << ": a sign of its own";
    std::set<std::pair<std::string, int32_t>> rows;
    legend.show();
    SettleWindow(legend);
    for (std::size_t r = 0; r < legend.RowList.size(); ++r) {
        const TLegendForm::TRow& row = legend.RowList[r];
        const int32_t top = int32_t(r) * 100;
        EXPECT_EQ(row.Sample->geometry(), QRect(10, top + 10, 100, 100)) << r;
        EXPECT_EQ(row.Label->pos(), QPoint(130, top + 60)) << r;
        rows.insert({row.Label->text().toStdString(), TagOf(row.Sample)});
        const QImage sample = SampleImage(*row.Sample);
        EXPECT_GT(PaperlessShare(sample), 0.02) << "no sign drawn in row " << r;
        EXPECT_EQ(sample.pixel(1, 1), qRgb(255, 255, 255)) << r;
    }
    EXPECT_EQ(rows, expected);
    ASSERT_EQ(legend.RowList.size(), expected.size());
    EXPECT_EQ(legend.RowList[2].Sample->y(), 210);
    EXPECT_EQ(legend.RowList[2].Label->y(), 260);
    SaveAppImage(legend.grab().toImage(), "legend");
    legend.hide();
}

TEST(Legend, LibraryWithoutNominalSizeOrWithZero)
{
    const struct {
        const char* Library;
        int32_t SignSize;
    } cases[] = {{TARN_SYMTEST_DLL, 100}, {TARN_SYMZERO_DLL, 20}, {TARN_SYMBOLS_DLL, 50}};
    for (const auto& c : cases) {
        TCityCopy city;
        UseSymbolLibrary(city, c.Library);
        TStubServices services;
        auto started = StartForm(city.ProgramDir(), services);
        EXPECT_EQ(started.Windows->LegendForm->SignSize, c.SignSize) << c.Library;
        EXPECT_EQ(started.Windows->LegendForm->RowList.size(), CitySignLayers().size()) << c.Library;
    }
}

// Which samples a panel builds from a library and its first and last numbers.
TEST(SignPanel, BuildsTheSamplesFromFirstToLastOrWhileTheLibraryHasThem)
{
    const struct {
        const char* Library;
        int32_t First, Last;
        int32_t FirstTag;
        std::size_t Count;
    } cases[] = {
        {TARN_SYMBOLS_DLL, 37, 45, 37, 9}, {TARN_SYMBOLS_DLL, 0, 0, 1, 60},   {TARN_SYMBOLS_DLL, 45, 37, 1, 60},
        {TARN_SYMBOLS_DLL, 50, 50, 50, 11}, {TARN_SYMBOLS_DLL, 58, 70, 58, 3}, {TARN_SYMTEST_DLL, 37, 45, 0, 0},
        {TARN_SYMTEST_DLL, 0, 0, 0, 0},
    };
    for (const auto& c : cases) {
        TSignPanel panel;
        // Built once with every sign, then again with the case's numbers.
        panel.SetDllName(c.Library, "");
        panel.SetFirstNumber(c.First);
        panel.SetLastNumber(c.Last);
        ASSERT_EQ(panel.Boxes.size(), c.Count) << c.Library << " " << c.First << ".." << c.Last;
        for (std::size_t i = 0; i < c.Count; ++i)
            EXPECT_EQ(TagOf(panel.Boxes[i]), c.FirstTag + int32_t(i)) << c.First << ".." << c.Last;
        std::size_t samples = 0;
        for (QWidget* w : panel.findChildren<QWidget*>()) samples += dynamic_cast<TTessaraPanel*>(w) ? 1 : 0;
        EXPECT_EQ(samples, c.Count) << "samples left over";
    }
}

TEST(SignChooser, ShowsTheUserSignsSixToARowAndPreviewsTheChosenOne)
{
    TCityCopy city;
    TStubServices services;
    auto started = StartForm(city.ProgramDir(), services);
    TSelectSignForm& chooser = *started.Windows->SelectSignForm;
    TSignPanel& panel = *chooser.SignPanel;
    chooser.show();
    SettleWindow(chooser);
    ASSERT_EQ(panel.Boxes.size(), 9u);
    panel.resize(200, 150);
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(TagOf(panel.Boxes[i]), 37 + i);
        EXPECT_EQ(panel.Boxes[i]->pos(), QPoint(i % 6 * 30, i / 6 * 30)) << "sample " << i;
        EXPECT_GT(PaperlessShare(SampleImage(*panel.Boxes[i])), 0.05) << "sample " << i;
    }
    // Nothing chosen yet: no preview, and nothing to go on with.
    EXPECT_EQ(panel.Selected, -1);
    EXPECT_FALSE(panel.Frame->isVisible());
    EXPECT_FALSE(chooser.BitBtn1->isEnabled());
    chooser.PaintBox1->Surface().Paint();
    EXPECT_EQ(PaperlessShare(chooser.PaintBox1->Surface().Image()), 0.0);

    QTest::mouseClick(panel.Boxes[3]->SurfaceWidget(), Qt::LeftButton, {}, QPoint(15, 15));
    EXPECT_EQ(panel.Selected, 40);
    EXPECT_TRUE(panel.SelectedProc);
    EXPECT_EQ(panel.Frame->pos(), panel.Boxes[3]->pos());
    EXPECT_TRUE(panel.Frame->isVisible());
    EXPECT_GT(PaperlessShare(chooser.PaintBox1->Surface().Image()), 0.01);
    EXPECT_TRUE(chooser.BitBtn1->isEnabled());
    // No sign of size 0: it would be saved invisible.
    const struct {
        int Value;
        bool CanGoOn;
    } sizes[] = {{0, false}, {5, true}, {500, true}, {75, true}};
    for (const auto& s : sizes) {
        chooser.Edit1->setValue(s.Value);
        EXPECT_EQ(chooser.Size, s.Value);
        EXPECT_EQ(chooser.BitBtn1->isEnabled(), s.CanGoOn) << s.Value;
    }
    SaveAppImage(chooser.grab().toImage(), "sign_chooser");
    chooser.hide();
}

TEST(SignChooser, NoSamplesWhenTheLibraryLacksTheFirstUserSign)
{
    TCityCopy city;
    UseSymbolLibrary(city, TARN_SYMTEST_DLL);
    TStubServices services;
    auto started = StartForm(city.ProgramDir(), services);
    EXPECT_TRUE(started.Windows->SelectSignForm->SignPanel->Boxes.empty());
    EXPECT_FALSE(started.Windows->SelectSignForm->BitBtn1->isEnabled());
}

// The sign's header and its 20-byte record (op 4: sign number, label
// offset, library sign, size).
struct TPlaced {
    bool Found = false;
    uint16_t Flags = 0;
    int32_t LibrarySign = 0, Size = 0;
};
TPlaced PlacedSign(TMainForm& form, const TObjectKey& key)
{
    TPlaced p;
    std::vector<uint8_t> header, record;
    if (form.Model()->GetObjectData(form.View(), 1, key, header) != ResultDone) return p;
    p.Found = true;
    p.Flags = DecodeObjectHeader(header.data()).Flags;
    if (form.Model()->GetObjectData(form.View(), 4, key, record) == ResultDone && record.size() >= 20) {
        p.LibrarySign = GetI32(record.data() + 12);
        p.Size = GetI32(record.data() + 16);
    }
    return p;
}

// The chooser's answer: the sample clicked, the size, "Продолжить".
std::function<void(QWidget&, int)> ChooseSign(int sample, int size)
{
    return [sample, size](QWidget& w, int) {
        auto& chooser = static_cast<TSelectSignForm&>(w);
        QTest::mouseClick(chooser.SignPanel->Boxes[sample]->SurfaceWidget(), Qt::LeftButton, {}, QPoint(10, 10));
        chooser.Edit1->setValue(size);
        chooser.BitBtn1->click();
    };
}

void ZoomToMiddle(TMainForm& form)
{
    const TRect r = form.Model()->ProjectRect();
    const TPoint centre{int32_t((int64_t(r.Left) + r.Right) / 2), int32_t((int64_t(r.Top) + r.Bottom) / 2)};
    ASSERT_EQ(form.Model()->ZoomAtPoint(*form.View(), centre, 5000), ResultDone);
}

TEST(UserSigns, TheChosenSignAndSizeReachTheMapAndItsSheet)
{
    TCityCopy city;
    TStubServices services;
    auto started = StartForm(city.ProgramDir(), services);
    TMainForm& form = *started;
    ZoomToMiddle(form);
    QWidget* map = form.MapPanel->SurfaceWidget();
    const std::string sheet = ReadFileBytes(city.File("signs.map"));

    // Cancelled: no sign, back to the plain mode.
    const int32_t code = form.WorkSign->NextFreeCode();
    const TObjectKey key{1, 1, 307, 23, code};
    {
        TModalDriver cancel([](QWidget& w, int) { static_cast<TSelectSignForm&>(w).BitBtn2->click(); });
        form.N1Click();
        EXPECT_EQ(form.View()->ViewMode, ModeAddSign);
        EXPECT_EQ(form.MapPanel->Surface().Cursor(), 11);
        QTest::mouseClick(map, Qt::LeftButton, {}, QPoint(200, 150));
        EXPECT_EQ(cancel.Seen, 1);
    }
    EXPECT_FALSE(PlacedSign(form, key).Found);
    EXPECT_EQ(form.View()->ViewMode, ModeNormal);
    EXPECT_EQ(form.MapPanel->Surface().Cursor(), CursorDefault);

    // Chosen: sign 41 at 75, its size in map units.
    {
        TModalDriver choose(ChooseSign(4, 75));
        form.N1Click();
        QTest::mouseClick(map, Qt::LeftButton, {}, QPoint(200, 150));
        EXPECT_EQ(choose.Seen, 1);
    }
    const TPlaced placed = PlacedSign(form, key);
    EXPECT_TRUE(placed.Found);
    EXPECT_EQ(placed.LibrarySign, 41);
    EXPECT_EQ(placed.Size, 7500);
    EXPECT_TRUE(placed.Flags & 8);
    EXPECT_EQ(form.View()->ViewMode, ModeNormal);
    EXPECT_NE(ReadFileBytes(city.File("signs.map")), sheet) << "the sheet keeps the sign";
    EXPECT_TRUE(services.Errors.empty());
}

// The question before a sign is deleted decides; a deleted or moved sign is saved.
TEST(UserSigns, DeletingAsksFirstAndMovingSaves)
{
    struct TAnswering : TStubServices {
        bool Answer = false;
        std::vector<std::string> Questions;
        bool Confirm(const std::string& q) override
        {
            Questions.push_back(q);
            return Answer;
        }
    };
    TCityCopy city;
    TAnswering services;
    auto started = StartForm(city.ProgramDir(), services);
    TMainForm& form = *started;
    ZoomToMiddle(form);
    QWidget* map = form.MapPanel->SurfaceWidget();
    const TObjectKey key{1, 1, 307, 23, form.WorkSign->NextFreeCode()};
    {
        TModalDriver choose(ChooseSign(1, 50));
        form.N1Click();
        QTest::mouseClick(map, Qt::LeftButton, {}, QPoint(200, 150));
    }
    ASSERT_TRUE(PlacedSign(form, key).Found);

    std::string sheet = ReadFileBytes(city.File("signs.map"));
    form.N2Click();
    EXPECT_EQ(form.View()->ViewMode, ModeMoveSign);
    QTest::mousePress(map, Qt::LeftButton, {}, QPoint(200, 150));
    QTest::mouseRelease(map, Qt::LeftButton, {}, QPoint(260, 190));
    EXPECT_NE(ReadFileBytes(city.File("signs.map")), sheet) << "moved, and saved";
    // The map is drawn again before the next click, the moved sign with it.
    form.MapPanel->Surface().Paint();
    for (bool answer : {false, true}) {
        services.Answer = answer;
        sheet = ReadFileBytes(city.File("signs.map"));
        form.N_2Click();
        EXPECT_EQ(form.View()->ViewMode, ModeDeleteSign);
        QTest::mouseClick(map, Qt::LeftButton, {}, QPoint(260, 190));
        EXPECT_EQ(PlacedSign(form, key).Found, !answer);
        EXPECT_EQ(ReadFileBytes(city.File("signs.map")) == sheet, !answer);
    }
    EXPECT_EQ(services.Questions,
              std::vector<std::string>(2, "Отменить удаление будет невозможно! Продолжить?"));
    EXPECT_TRUE(services.Errors.empty());
}

TEST(UserSigns, ARefusedAddIsShownAndLeavesTheAddingMode)
{
    TCityCopy city;
    ASSERT_EQ(chmod(city.File("signs.map").c_str(), 0444), 0);
    TStubServices services;
    auto started = StartForm(city.ProgramDir(), services);
    TMainForm& form = *started;
    ZoomToMiddle(form);
    TModalDriver none([](QWidget& w, int) { static_cast<QDialog&>(w).reject(); });
    form.N1Click();
    QTest::mouseClick(form.MapPanel->SurfaceWidget(), Qt::LeftButton, {}, QPoint(200, 150));
    EXPECT_EQ(none.Seen, 0) << "no sign is chosen for a sheet that cannot keep it";
    ASSERT_EQ(services.Errors.size(), 1u);
    EXPECT_NE(services.Errors[0].find("только для чтения"), std::string::npos) << services.Errors[0];
    EXPECT_EQ(form.View()->ViewMode, ModeNormal);
    EXPECT_EQ(form.MapPanel->Surface().Cursor(), CursorDefault);
}

} // namespace
} // namespace tarn::test
