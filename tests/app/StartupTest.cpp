// Start-up: the required files, the loading gauge, and what a failure in
// the creation step leaves behind.
#include "AppSupport.h"

#include "app/Gauge_f.h"
#include "app/Program.h"
#include "platform/Error.h"

#include <QApplication>
#include <QLabel>
#include <QWindow>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>

namespace tarn::test {
namespace {

namespace fs = std::filesystem;

TEST(Startup, EachMissingRequiredFileStopsStartUpWithItsMessage)
{
    for (const char* name : RequiredFiles) {
        TCityCopy city;
        fs::remove(city.File(name));
        TStubServices services;
        EXPECT_EQ(RunProgram(city.ProgramDir(), "tarn", services), 1) << name;
        ASSERT_EQ(services.Errors.size(), 1u) << name;
        EXPECT_EQ(services.Errors[0], "Не могу найти файл: " + city.ProgramDir() + name);
        EXPECT_EQ(services.Loops, 0) << name << ": the window must not run";
        // Nothing was loaded, so nothing is written back.
        EXPECT_FALSE(fs::exists(city.File("tarn.ini"))) << name;
    }
}

TEST(Startup, TheFirstMissingFileInOrderIsNamed)
{
    TCityCopy city;
    fs::remove(city.File("tarn.dll"));
    fs::remove(city.File("tarn.map"));
    fs::remove(city.File("tarn.dat"));
    TStubServices services;
    EXPECT_EQ(RunProgram(city.ProgramDir(), "tarn", services), 1);
    ASSERT_EQ(services.Errors.size(), 1u);
    EXPECT_EQ(services.Errors[0], MissingFileMessage(city.ProgramDir(), "tarn.map"));
    EXPECT_TRUE(services.Gauge.empty());  // the check comes before any loading
}

TEST(Startup, AProjectThatCannotBeReadStopsStartUp)
{
    TCityCopy city;
    WriteFileBytes(city.File("tarn.prj"), "not a project at all");
    TStubServices services;
    EXPECT_EQ(RunProgram(city.ProgramDir(), "tarn", services), 1);
    ASSERT_EQ(services.Errors.size(), 1u);
    EXPECT_EQ(services.Errors[0], "Ошибка входного файла " + city.ProgramDir() + "tarn.prj");
    EXPECT_EQ(services.Loops, 0);
}

TEST(Startup, GaugePassesTheLoadingStepsInOrder)
{
    TCityCopy city;
    TStubServices services;
    bool ran = false;
    services.Loop = [&](TMainForm& form) {
        ran = true;
        EXPECT_NE(form.Model(), nullptr);
        EXPECT_TRUE(form.isVisible());
        return 0;
    };
    EXPECT_EQ(RunProgram(city.ProgramDir(), "tarn", services), 0);
    EXPECT_TRUE(ran);
    EXPECT_TRUE(services.Errors.empty()) << services.Errors.front();
    // The object database moves the gauge from 50 towards 100 as it is read.
    ASSERT_GT(services.Gauge.size(), 8u);
    EXPECT_EQ(std::vector<int32_t>(services.Gauge.begin(), services.Gauge.begin() + 6),
              (std::vector<int32_t>{10, 30, 35, 40, 45, 48}));
    EXPECT_GE(services.Gauge[6], 50);
    EXPECT_TRUE(std::is_sorted(services.Gauge.begin(), services.Gauge.end()));
    EXPECT_EQ(services.Gauge.back(), 100);
}

TEST(Startup, ADamagedDatabaseOrBannerFileIsNamedAndStartUpGoesOn)
{
    for (const char* name : {"tarn.dat", "banners.dat"}) {
        TCityCopy city;
        const std::string bytes = ReadFileBytes(city.File(name));
        WriteFileBytes(city.File(name), bytes.substr(0, bytes.size() / 2 + 7));
        TStubServices services;
        services.Loop = [](TMainForm& form) { return form.Model() ? 0 : 3; };
        EXPECT_EQ(RunProgram(city.ProgramDir(), "tarn", services), 0) << name;
        ASSERT_EQ(services.Errors.size(), 1u) << name;
        EXPECT_NE(services.Errors[0].find(city.ProgramDir() + name), std::string::npos) << services.Errors[0];
        EXPECT_EQ(services.Gauge.back(), 100);
    }
}

TEST(Startup, TheLoadingWindowIsOnTheScreenBeforeTheMainWindowAndFollowsTheGauge)
{
    TCityCopy city;
    TStubServices services;
    auto find = [](const char* name) -> QWidget* {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == name) return w;
        return nullptr;
    };
    std::vector<std::string> faults;
    services.OnProgress = [&](int32_t value) {
        auto* gauge = static_cast<TGaugeForm*>(find("GaugeForm"));
        QWidget* main = find("MainForm");
        const std::string at = "at " + std::to_string(value) + ": ";
        if (!gauge || !gauge->isVisible() || !gauge->windowHandle() || !gauge->windowHandle()->isExposed())
            faults.push_back(at + "the loading window is not on the screen");
        else if (gauge->Progress() != value)
            faults.push_back(at + "the gauge shows " + std::to_string(gauge->Progress()));
        if (!main || main->isVisible()) faults.push_back(at + "the main window is already shown");
    };
    services.Loop = [&](TMainForm& form) {
        EXPECT_TRUE(form.isVisible());
        EXPECT_EQ(find("GaugeForm"), nullptr) << "the loading window is gone";
        // The caption is the window's own: Qt adds the display name to
        // every caption once one is set; the application's title is its name.
        EXPECT_EQ(QGuiApplication::applicationName().toStdString(), ApplicationTitle);
        const QString name = QGuiApplication::applicationName();
        QGuiApplication::setApplicationName("probe");
        EXPECT_EQ(QGuiApplication::applicationDisplayName(), "probe") << "no display name was set";
        QGuiApplication::setApplicationName(name);
        EXPECT_EQ(form.windowTitle().toStdString(),
                  "Информационно-справочная система по г.Листоград \"TARN\" (версия от 01.02.2000)");
        return 0;
    };
    EXPECT_EQ(RunProgram(city.ProgramDir(), "tarn", services), 0);
    EXPECT_EQ(services.Loops, 1);
    EXPECT_TRUE(faults.empty()) << faults.front();
    EXPECT_GT(services.Gauge.size(), 7u);
}

// A window whose object database moves the gauge as the reader goes
// through the file, or whose loaders fail.
class TLoadingForm : public TMainForm {
public:
    using TMainForm::TMainForm;
    std::vector<int32_t> DatabaseSteps;
    bool DatabaseFails = false;
    bool BannersFail = false;
    bool NavigatorFails = false;

protected:
    void CreateNavigator() override
    {
        if (NavigatorFails) throw ETarnError("Ошибка входного файла " + ProgramDir() + "nav.prj");
    }
    void LoadObjectDatabase() override
    {
        for (int32_t v : DatabaseSteps) SetGaugeValue(v);
        if (DatabaseFails) throw ETarnError("tarn.dat: record 3 runs past the end of the file");
    }
    void LoadBanners() override
    {
        if (BannersFail) ThrowFileError(ProgramDir() + "banners.dat", "open", ENOENT);
    }
};

TEST(Startup, DatabaseStepsLieBetween48And100)
{
    TCityCopy city;
    TStubServices services;
    TGaugeForm gauge;
    TInfoModule info(city.ProgramDir(), "tarn", services);
    TLoadingForm form(info, &gauge);
    form.DatabaseSteps = {50, 62, 87, 99};
    form.FormCreate();
    EXPECT_EQ(services.Gauge, (std::vector<int32_t>{10, 30, 35, 40, 45, 48, 50, 62, 87, 99, 100}));
    EXPECT_EQ(gauge.Progress(), 100);
}

TEST(Startup, AFailingLoaderIsReportedAndTheWindowRunsWithoutIt)
{
    struct TCase {
        bool Database, Banners, Navigator;
        std::size_t Messages;
    };
    for (const TCase c : {TCase{true, false, false, 1}, TCase{false, true, false, 1}, TCase{true, true, false, 2},
                          TCase{false, false, true, 1}, TCase{true, true, true, 3}}) {
        TCityCopy city;
        TStubServices services;
        TInfoModule info(city.ProgramDir(), "tarn", services);
        auto form = std::make_unique<TLoadingForm>(info);
        form->DatabaseFails = c.Database;
        form->BannersFail = c.Banners;
        form->NavigatorFails = c.Navigator;
        form->resize(FormWidth, FormHeight);
        ASSERT_NO_THROW(form->FormCreate());
        EXPECT_EQ(services.Errors.size(), c.Messages);
        if (c.Banners) {
            EXPECT_NE(services.Errors.back().find("banners.dat"), std::string::npos) << services.Errors.back();
        }
        if (c.Navigator) {
            EXPECT_EQ(services.Errors.front(), "Ошибка входного файла " + city.ProgramDir() + "nav.prj");
        }
        // Every later step still ran.
        EXPECT_EQ(services.Gauge.back(), 100);
        EXPECT_EQ(form->ObjPanel->text().toStdString(), "  Кол-во объектов: 0");
        form->show();
        SettleWindow(*form);
        ASSERT_NE(form->Model(), nullptr);
        EXPECT_TRUE(form->isVisible());

        // Clicks of every button on the map reach a whole window.
        QWidget* map = form->MapPanel->SurfaceWidget();
        for (Qt::MouseButton b : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton}) {
            QTest::mouseClick(map, b, Qt::NoModifier, QPoint(100, 100));
            QTest::mouseDClick(map, b, Qt::NoModifier, QPoint(120, 90));
            QTest::mouseRelease(map, b, Qt::NoModifier, QPoint(120, 90));  // the double click leaves it down
        }
        QCoreApplication::processEvents();
        EXPECT_GT(PaperlessShare(GrabMapPanel(*form)), 0.1);
    }
}

} // namespace
} // namespace tarn::test
