// The main window's settings on the demo city: the options dialog (raster
// drawing, the labels' font) and what "tarn.ini" keeps of the windows from
// one run to the next.
#include "CommandsSupport.h"

#include "app/windows/Legend_f.h"
#include "app/windows/Opt_f.h"
#include "data/FillRec.h"
#include "data/LayerWalk.h"
#include "platform/Cp1251Qt.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QPushButton>
#include <QSplitter>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>

namespace tarn::test {
namespace {

// The face names of every text layer of the working map.
std::vector<std::string> LabelFonts(TModel& model)
{
    std::vector<TLayerSelector> layers;
    model.GetLayerList(0, layers);
    std::vector<std::string> fonts;
    for (const TLayerSelector& s : layers) {
        TLayerRec rec{};
        if (model.GetLayerInfo(s, rec) == 0 && IsTextKind(rec.Kind))
            fonts.emplace_back(rec.TextFont.FaceName, strnlen(rec.TextFont.FaceName, sizeof rec.TextFont.FaceName));
    }
    return fonts;
}

// Opens the options, sets them and leaves with OK or Cancel.
void RunOptions(TMainForm& form, bool raster, const QString& font, bool ok)
{
    TModalDriver driver([&](QWidget& w, int) {
        auto& options = static_cast<TOptionsForm&>(w);
        options.CheckBox1->setChecked(raster);
        if (!font.isEmpty()) options.SetFontName(font);
        (ok ? options.BitBtn1 : options.BitBtn2)->click();
    });
    QTest::mouseClick(form.SpeedButton1, Qt::LeftButton);
    EXPECT_EQ(driver.Seen, 1);
}

QString OtherFamily(const std::string& than)
{
    for (const QString& f : LabelFontFamilies())
        if (f.toStdString() != than && f.startsWith("DejaVu")) return f;
    return LabelFontFamilies().value(0);
}

TEST(Options, FontListHoldsOnlyNamesAFontRecordCanKeep)
{
    const struct {
        const char* Name;
        bool Fits;
    } cases[] = {{"DejaVu Sans", true},
                 {"Шрифт Кириллицы", true},
                 {"A font name of exactly 31 bytes", true},
                 {"A font name that is 32 bytes ...", false},
                 {"Noto Sans CJK 日本", false},
                 {"", false}};
    for (const auto& c : cases) EXPECT_EQ(FitsFontRecord(QString::fromUtf8(c.Name)), c.Fits) << c.Name;
    const QStringList families = LabelFontFamilies();
    EXPECT_TRUE(families.contains("DejaVu Sans"));
    for (const QString& f : families) EXPECT_TRUE(FitsFontRecord(f)) << f.toStdString();
    // Labels in a family without Cyrillic letters would be boxes.
    for (const QString& f : QFontDatabase::families()) {
        if (!QFontDatabase::writingSystems(f).contains(QFontDatabase::Cyrillic)) {
            EXPECT_FALSE(families.contains(f)) << f.toStdString();
        }
    }
}

// The list opens on the font the labels have: the project keeps it, so a
// missing "tarn.ini" does not lose it.
TEST(Options, OpenWithTheLabelsFontChosen)
{
    TCityCopy city;
    TStubServices services;
    const struct {
        const char* What;
        std::function<void(TMainForm&)> Before;
    } cases[] = {
        {"a first start", [](TMainForm&) {}},
        {"after a change", [](TMainForm& f) { RunOptions(f, true, OtherFamily(LabelFonts(*f.Model()).at(0)), true); }},
        {"after a change, without tarn.ini",
         [&](TMainForm& f) {
             RunOptions(f, true, OtherFamily(LabelFonts(*f.Model()).at(0)), true);
             f.FormDestroy();
             std::filesystem::remove(city.File("tarn.ini"));
         }},
    };
    for (const auto& c : cases) {
        {
            auto form = StartForm(city.ProgramDir(), services);
            c.Before(*form);
        }
        auto form = StartForm(city.ProgramDir(), services);
        QString shown;
        TModalDriver look([&](QWidget& w, int) {
            auto& options = static_cast<TOptionsForm&>(w);
            shown = options.FontComboBox1->currentText();
            options.BitBtn2->click();
        });
        QTest::mouseClick(form->SpeedButton1, Qt::LeftButton);
        EXPECT_EQ(look.Seen, 1);
        EXPECT_EQ(QStringToCp1251(shown), LabelFonts(*form->Model()).at(0)) << c.What;
    }
    EXPECT_TRUE(services.Errors.empty());
}

TEST(Options, CancelWritesNothing)
{
    TCityCopy city;
    TStubServices services;
    auto form = StartForm(city.ProgramDir(), services);
    const std::string ini = ReadFileBytes(city.File("tarn.ini")), prj = ReadFileBytes(city.File("tarn.prj"));
    const std::vector<std::string> fonts = LabelFonts(*form->Model());
    RunOptions(*form, false, OtherFamily(""), false);
    EXPECT_EQ(ReadFileBytes(city.File("tarn.ini")), ini);
    EXPECT_EQ(ReadFileBytes(city.File("tarn.prj")), prj);
    EXPECT_EQ(LabelFonts(*form->Model()), fonts);
    EXPECT_EQ(form->Model()->DoubleBuffer, 1);
    // OK with nothing changed writes nothing either.
    RunOptions(*form, true, QString(), true);
    EXPECT_EQ(ReadFileBytes(city.File("tarn.ini")), ini);
}

TEST(Options, RasterDrawingOnAndOffGiveTheSamePicture)
{
    TCityCopy city;
    TStubServices services;
    auto form = StartForm(city.ProgramDir(), services);
    const QImage raster = GrabMapPanel(*form);
    for (bool on : {false, true}) {
        RunOptions(*form, on, QString(), true);
        EXPECT_EQ(TIniFile::Open(city.File("tarn.ini"))->ReadInteger("OPTIONS", "RASTRDRAW", -1), on ? 1 : 0);
        EXPECT_EQ(form->Model()->DoubleBuffer, on ? 1 : 0);
        const QImage picture = GrabMapPanel(*form);
        ASSERT_EQ(picture.size(), raster.size());
        EXPECT_TRUE(picture == raster) << SaveAppImage(picture, on ? "raster_on" : "raster_off");
    }
    EXPECT_GT(PaperlessShare(raster), 0.2);
}

TEST(Options, ALabelFontReachesEveryTextLayerAndSurvivesARestart)
{
    TCityCopy city;
    TStubServices services;
    QString font;
    {
        auto form = StartForm(city.ProgramDir(), services);
        font = OtherFamily(LabelFonts(*form->Model()).at(0));
        RunOptions(*form, true, font, true);
        const std::vector<std::string> fonts = LabelFonts(*form->Model());
        ASSERT_GE(fonts.size(), 7u);
        EXPECT_EQ(fonts, std::vector<std::string>(fonts.size(), QStringToCp1251(font)));
        // The map on the screen draws its labels in it.
        const TCustomLayer* streets = FindLayerById(*form->View()->Map, 127);
        ASSERT_NE(streets, nullptr);
        EXPECT_EQ(std::string(streets->TextFont.FaceName), QStringToCp1251(font));
    }
    EXPECT_EQ(TIniFile::Open(city.File("tarn.ini"))->ReadString("OPTIONS", "FONTNAME", ""), QStringToCp1251(font));
    auto again = StartForm(city.ProgramDir(), services);
    const std::vector<std::string> fonts = LabelFonts(*again->Model());
    EXPECT_EQ(fonts, std::vector<std::string>(fonts.size(), QStringToCp1251(font)));
    EXPECT_TRUE(services.Errors.empty());
}

TEST(Options, AFontTheProjectCouldNotKeepIsNotRemembered)
{
    TCityCopy city;
    TStubServices services;
    auto form = StartForm(city.ProgramDir(), services);
    // The project file cannot be replaced: a folder stands in its place.
    const QString other = OtherFamily(LabelFonts(*form->Model()).at(0));
    std::filesystem::remove(city.File("tarn.prj"));
    std::filesystem::create_directory(city.File("tarn.prj"));
    RunOptions(*form, true, other, true);
    EXPECT_EQ(services.Errors.size(), 1u);
    EXPECT_FALSE(TIniFile::Open(city.File("tarn.ini"))->ValueExists("OPTIONS", "FONTNAME"));
}

// The window's place, its panels and the navigator's state, then a restart.
TEST(FormStorage, PlacementPanelsAndNavigatorSurviveARestart)
{
    TCityCopy city;
    TStubServices services;
    const QRect bounds(40, 30, 900, 640);
    int tools = 0, nav = 0;
    {
        auto form = StartForm(city.ProgramDir(), services);
        form->setGeometry(bounds);
        QCoreApplication::processEvents();
        form->Splitter2->setSizes({600, 260});
        form->Splitter1->setSizes({180, 400});
        QCoreApplication::processEvents();
        tools = form->LeftPanel->width();
        nav = form->NavPanel->height();
        EXPECT_NE(nav, 100);
        form->miNav->trigger();
        EXPECT_TRUE(form->NavPanel->isHidden());
        form->FormDestroy();
    }
    auto again = StartForm(city.ProgramDir(), services);
    EXPECT_EQ(again->geometry(), bounds);
    EXPECT_FALSE(again->isMaximized());
    EXPECT_EQ(again->LeftPanel->width(), tools);
    EXPECT_TRUE(again->NavPanel->isHidden());
    EXPECT_EQ(again->miNav->text().toStdString(), "Показать навигатор");
    again->miNav->trigger();
    QCoreApplication::processEvents();
    EXPECT_FALSE(again->NavPanel->isHidden());
    EXPECT_EQ(again->miNav->text().toStdString(), "Скрыть навигатор");
    EXPECT_EQ(again->NavPanel->height(), nav);
    EXPECT_TRUE(services.Errors.empty());
}

TEST(FormStorage, AMaximisedWindowComesBackMaximisedWithItsNormalPlace)
{
    TCityCopy city;
    TStubServices services;
    const QRect bounds(30, 20, 820, 600);
    {
        auto form = StartForm(city.ProgramDir(), services);
        form->setGeometry(bounds);
        QCoreApplication::processEvents();
        form->showMaximized();
        SettleWindow(*form);
        // Full screen is not kept: the window comes back as it was before it.
        form->ToggleFullScreen(true);
        SettleWindow(*form);
        form->FormDestroy();
    }
    auto again = StartForm(city.ProgramDir(), services);
    EXPECT_TRUE(again->isMaximized());
    EXPECT_FALSE(again->LeftPanel->isHidden());
    again->showNormal();
    SettleWindow(*again);
    EXPECT_EQ(again->geometry(), bounds);
}

TEST(FormStorage, TheLegendKeepsItsPlace)
{
    TCityCopy city;
    TStubServices services;
    QRect placed, whole;
    {
        auto started = StartForm(city.ProgramDir(), services);
        TModalDriver move([&](QWidget& w, int) {
            w.setGeometry(120, 90, 400, 380);
            placed = w.geometry();
            whole = w.frameGeometry();
            static_cast<QDialog&>(w).reject();
        });
        QTest::mouseClick(started->SpeedButton9, Qt::LeftButton);
        EXPECT_EQ(move.Seen, 1);
    }
    EXPECT_EQ(TIniFile::Open(city.File("tarn.ini"))->ReadInteger("LegendForm", "WIDTH", 0), whole.width());
    auto again = StartForm(city.ProgramDir(), services);
    QRect shown;
    TModalDriver look([&](QWidget& w, int) {
        shown = w.geometry();
        static_cast<QDialog&>(w).reject();
    });
    QTest::mouseClick(again->SpeedButton9, Qt::LeftButton);
    EXPECT_EQ(shown, placed);
}

} // namespace
} // namespace tarn::test
