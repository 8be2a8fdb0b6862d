// Banners and the ticker line in the main window on the demo city: the
// banner turn and its wrap (the walkthrough clicks a banner), a missing,
// damaged or empty banner file, the ticker lines' colours, the scroll and
// the next line.
// Timers are driven by direct calls, never by waiting.
#include "AppSupport.h"

#include "app/SecretPanel.h"
#include "app/cards/UnCont.h"
#include "app/cards/UnContViews.h"
#include "platform/Cp1251.h"

#include <QDir>
#include <QMovie>
#include <QStatusBar>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

namespace tarn::test {
namespace {

// The demo city's banners in file order.
struct TDemoBanner {
    const char* Name;
    uint8_t Kind;
};
const TDemoBanner Banners[3] = {
    {"ГОСТИНИЦА «ЛИСТОГРАД»", TUniversalContainer::KindJpeg},
    {"ДРАМАТИЧЕСКИЙ ТЕАТР «ЛИСТОК»", TUniversalContainer::KindGif},
    {"КРАЕВЕДЧЕСКИЙ МУЗЕЙ", TUniversalContainer::KindBitmap},
};

void StoreIndexes(const TCityCopy& city, std::optional<int32_t> banner, std::optional<int32_t> ticker)
{
    auto ini = TIniFile::Open(city.File("tarn.ini"));
    if (banner) ini->WriteInteger("TMainForm", "Current_PosImage", *banner);
    if (ticker) ini->WriteInteger("TMainForm", "Current_Pos", *ticker);
}

// The banner shown now is the demo's banner `n` (from 1), on the screen.
void ExpectBanner(TMainForm& form, int32_t n, const std::string& what)
{
    ASSERT_EQ(form.BannerIndex, n) << what;
    const TDemoBanner& b = Banners[n - 1];
    EXPECT_EQ(form.BannerViewer->ViewerKind(), b.Kind) << what;
    EXPECT_EQ(form.BannerViewer->toolTip().toStdString(), b.Name) << what << ": the hint";
    QWidget* viewer = b.Kind == TUniversalContainer::KindGif ? static_cast<QWidget*>(form.BannerViewer->Animator())
                                                             : form.BannerViewer->Picture();
    EXPECT_TRUE(viewer->isVisible()) << what;
    EXPECT_EQ(viewer->size(), form.Panel1->size()) << what << ": stretched over the banner's place";
}

// Scrolls the ticker to its end by direct steps; answers the steps taken.
int ScrollThrough(TSecretPanel& panel)
{
    int steps = 0;
    while (panel.Playing() && steps < 10000) {
        panel.ScrollStep();
        ++steps;
    }
    return steps;
}

TEST(Banners, TurnEveryTickAndWrapFromAnyStoredIndex)
{
    TCityCopy city;
    StoreIndexes(city, 7, std::nullopt);  // from a run with more banners
    TStubServices services;
    auto form = StartForm(city.ProgramDir(), services);
    ASSERT_EQ(form->BannerList.Records.size(), 3u) << "the record of no object is left out";
    ExpectBanner(*form, 1, "a stored index beyond the banners starts again at the first");
    EXPECT_EQ(form->Timer1->interval(), 60000);
    EXPECT_TRUE(form->Timer1->isActive());

    // Each stored index gives the banner after it; the last and anything
    // past it or below the first give the first.
    const struct {
        int32_t Stored;
        int32_t Shown;
    } cases[] = {{0, 1}, {1, 2}, {2, 3}, {3, 1}, {4, 1}, {100, 1}, {-5, 1}};
    for (const auto& c : cases) {
        form->BannerIndex = c.Stored;
        form->Timer1Timer();
        ExpectBanner(*form, c.Shown, "stored " + std::to_string(c.Stored));
        EXPECT_TRUE(form->Timer1->isActive());
    }
    form->BannerIndex = 1;
    form->Timer1Timer();
    ASSERT_NE(form->BannerViewer->Animator()->Movie(), nullptr);
    EXPECT_EQ(form->BannerViewer->Animator()->Movie()->state(), QMovie::Running) << "the animated banner animates";
    SaveAppImage(form->Panel1->grab().toImage(), "banner_strip");
    EXPECT_GT(PaperlessShare(form->Panel1->grab().toImage()), 0.3) << "a picture, not the white place";

    form->FormDestroy();
    EXPECT_EQ(TIniFile::Open(city.File("tarn.ini"))->ReadInteger("TMainForm", "Current_PosImage", 0), 2);
    EXPECT_TRUE(services.Errors.empty());
}

TEST(Banners, AFileCutWhileRunningLosesItsLastBannerOnce)
{
    TCityCopy city;
    TStubServices services;
    auto form = StartForm(city.ProgramDir(), services);
    const TTarnData last = form->BannerList.Records.back();
    std::filesystem::resize_file(city.File("banners.dat"), std::uintmax_t(last.DataOffset + 10));
    form->BannerIndex = 2;
    form->Timer1Timer();
    ASSERT_EQ(services.Errors.size(), 1u);
    EXPECT_NE(services.Errors[0].find("banners.dat"), std::string::npos) << services.Errors[0];
    EXPECT_EQ(form->BannerList.Records.size(), 2u);
    EXPECT_EQ(form->BannerViewer->ViewerKind(), TUniversalContainer::KindGif) << "the banner shown stays";
    for (int32_t n : {1, 2, 1}) {
        form->Timer1Timer();
        ExpectBanner(*form, n, "after the cut");
    }
    EXPECT_EQ(services.Errors.size(), 1u) << "said once";
}

TEST(Banners, ARecordWithoutDataIsPassedOverQuietlyAndKept)
{
    TCityCopy city;
    TStubServices services;
    auto form = StartForm(city.ProgramDir(), services);
    ASSERT_EQ(form->BannerList.Records.size(), 3u);
    ASSERT_TRUE(services.Errors.empty());
    // The fields of a record without data are not checked when it is read.
    const struct {
        const char* What;
        const char* Type;
        int32_t Offset;
        int32_t Size;
    } cases[] = {
        {"type ???, offset and size -1", "???", -1, -1},
        {"a type, size 0, offset past the end", "JPG", 0x7FFFFFF0, 0},
    };
    for (const auto& c : cases) {
        TTarnData& second = form->BannerList.Records[1];
        second.FileType = c.Type;
        second.DataOffset = c.Offset;
        second.DataSize = c.Size;
        form->BannerIndex = 0;
        form->Timer1Timer();
        ExpectBanner(*form, 1, c.What);
        form->Timer1Timer();
        EXPECT_EQ(form->BannerIndex, 2) << c.What;
        EXPECT_TRUE(services.Errors.empty()) << c.What << ": " << (services.Errors.empty() ? "" : services.Errors[0]);
        EXPECT_EQ(form->BannerList.Records.size(), 3u) << c.What << ": the record keeps its place";
        EXPECT_EQ(form->BannerViewer->ViewerKind(), TUniversalContainer::KindJpeg) << c.What << ": the viewer stays";
        EXPECT_EQ(form->BannerViewer->toolTip().toStdString(), Banners[1].Name) << c.What << ": the hint is the record's";
        form->Timer1Timer();
        ExpectBanner(*form, 3, c.What);
    }
}

TEST(Banners, ShownFromMemoryWithNothingInTheTemporaryFolder)
{
    TCityCopy city;
    TTempDir temp;
    const QByteArray before = qgetenv("TMPDIR");
    qputenv("TMPDIR", QByteArray::fromStdString(temp.Path()));
    ASSERT_EQ(QDir::tempPath().toStdString(), QDir(QString::fromStdString(temp.Path())).absolutePath().toStdString());
    {
        TStubServices services;
        auto form = StartForm(city.ProgramDir(), services);
        for (int i = 0; i < 4; ++i) form->Timer1Timer();
        EXPECT_TRUE(std::filesystem::is_empty(temp.Path()));
    }
    if (before.isEmpty()) qunsetenv("TMPDIR");
    else qputenv("TMPDIR", before);
}

TEST(Banners, MissingDamagedOrEmptyFileLeavesTheWindowRunning)
{
    const struct {
        const char* What;
        std::function<void(const std::string&)> Spoil;
        std::size_t Banners;
        bool Reported;
    } cases[] = {
        {"missing", [](const std::string& f) { std::filesystem::remove(f); }, 0, true},
        {"cut inside the second banner's picture",
         [](const std::string& f) {
             const std::string bytes = ReadFileBytes(f);
             std::size_t second = bytes.find(Utf8ToCp1251(Banners[1].Name));
             WriteFileBytes(f, bytes.substr(0, second + 200));
         },
         1, true},
        {"no banners", [](const std::string& f) { WriteFileBytes(f, std::string(4, '\0')); }, 0, false},
    };
    for (const auto& c : cases) {
        TCityCopy city;
        c.Spoil(city.File("banners.dat"));
        TStubServices services;
        auto form = StartForm(city.ProgramDir(), services);
        ASSERT_NE(form->Model(), nullptr) << c.What;
        EXPECT_TRUE(form->isVisible()) << c.What;
        EXPECT_EQ(form->BannerList.Records.size(), c.Banners) << c.What;
        ASSERT_EQ(services.Errors.size(), c.Reported ? 1u : 0u) << c.What;
        if (c.Reported) {
            EXPECT_NE(services.Errors[0].find("banners.dat"), std::string::npos) << services.Errors[0];
        }

        form->Timer1Timer();
        if (c.Banners == 0) {
            EXPECT_EQ(form->BannerViewer->ViewerKind(), TUniversalContainer::KindNone) << c.What << ": none shown";
            EXPECT_EQ(form->BannerIndex, 1) << c.What;
        } else {
            ExpectBanner(*form, 1, c.What);
        }
        form->BannerClick();  // nothing to run without a banner
        EXPECT_TRUE(form->Timer1->isActive()) << c.What;

        form->Timer2Timer();
        EXPECT_TRUE(form->SecretPanel1->isVisible()) << c.What << ": the ticker runs";
        EXPECT_TRUE(form->SecretPanel1->Playing()) << c.What;
    }
}

TEST(Ticker, LineColoursFromTheirBarAndDigits)
{
    TCityCopy city;
    TStubServices services;
    auto form = StartForm(city.ProgramDir(), services);
    const struct {
        const char* Line;
        const char* Shown;
        std::optional<int32_t> Colour;
    } cases[] = {
        {"|255Внимание!", "Внимание!", 255},
        {"|32768Новые данные", "Новые данные", 32768},
        {"|16711680Синяя строка", "Синяя строка", 16711680},
        {"Простая строка", "Простая строка", 0},
        {"", "", 0},
        {"|Скидки на карты", "|Скидки на карты", std::nullopt},
        {"|", "|", std::nullopt},
        {"Цена | 255 рублей", "Цена | 255 рублей", 0},
        {"|0042 начало", " начало", 42},
        {"|99999999999 больше 32 бит", " больше 32 бит", 0},
        {"|2147483647край", "край", 2147483647},
    };
    form->TickerLines.clear();
    for (const auto& c : cases) form->TickerLines.push_back({c.Line, std::nullopt});
    form->PrepareTickerLines();
    ASSERT_EQ(form->TickerLines.size(), std::size(cases));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const TTickerLine& got = form->TickerLines[i];
        EXPECT_EQ(got.Text, cases[i].Shown) << cases[i].Line;
        EXPECT_EQ(got.Object.has_value(), cases[i].Colour.has_value()) << cases[i].Line;
        if (got.Object && cases[i].Colour) {
            EXPECT_EQ(got.Object->Colour, *cases[i].Colour) << cases[i].Line;
        }
    }
}

TEST(Ticker, EachLineScrollsOnceInItsColourThenTheNextAfterTheWait)
{
    TCityCopy city;
    TStubServices services;
    auto form = StartForm(city.ProgramDir(), services);
    // The demo city's ticker text, a line a line.
    const struct {
        const char* Text;
        TColorRef Colour;
    } lines[] = {
        {"Добро пожаловать в информационно-справочную систему «TARN»!", 0},
        {"Внимание! С 1 марта изменяется маршрут трамвая № 3.", 0x0000FF},
        {"Новые данные о предприятиях города — в пунктах распространения.", 0x008000},
        {"Гостиница «Листоград» открылась после ремонта.", 0xFF0000},
        {"Скидки на карты города в книжном магазине «Глобус».", 0},
        {"Справка по программе — клавиша F1.", 0},
    };
    ASSERT_EQ(form->TickerLines.size(), std::size(lines));
    EXPECT_EQ(form->TickerIndex, 0);
    EXPECT_EQ(form->Timer2->interval(), 90000);
    EXPECT_TRUE(form->Timer2->isActive());
    EXPECT_FALSE(form->SecretPanel1->isVisible());
    TSecretPanel& panel = *form->SecretPanel1;
    panel.Step = 40;
    for (std::size_t turn = 0; turn <= std::size(lines); ++turn) {
        const auto& line = lines[turn % std::size(lines)];
        form->Timer2Timer();
        EXPECT_FALSE(form->Timer2->isActive()) << turn << ": no tick while a line scrolls";
        EXPECT_TRUE(panel.isVisible()) << turn;
        EXPECT_TRUE(form->StatusBar1->geometry().contains(panel.geometry())) << turn << ": over the status bar";
        ASSERT_EQ(panel.GetLines().size(), 1) << turn;
        EXPECT_EQ(panel.GetLines()[0].toStdString(), line.Text) << turn;
        EXPECT_EQ(panel.FontColor(), line.Colour) << turn;
        EXPECT_TRUE(panel.Playing()) << turn;
        EXPECT_EQ(panel.TextLeft(), panel.width()) << turn << ": enters at the right edge";
        if (turn == 1) {
            for (int i = 0; i < 12; ++i) panel.ScrollStep();
            const QImage shot = form->grab().toImage();
            SaveAppImage(shot, "ticker_line");
            const QRect at(panel.mapTo(form.Form.get(), QPoint(0, 0)), panel.size());
            int red = 0;
            for (int y = at.top(); y <= at.bottom(); ++y)
                for (int x = at.left(); x <= at.right(); ++x) {
                    const QColor c = shot.pixelColor(x, y);
                    red += c.red() > 160 && c.green() < 90 && c.blue() < 90;
                }
            EXPECT_GT(red, 20) << "the red line drawn over the status bar";
        }
        EXPECT_GT(ScrollThrough(panel), 0);
        EXPECT_FALSE(panel.isVisible()) << turn << ": hidden until the next tick";
        EXPECT_TRUE(form->Timer2->isActive()) << turn;
        EXPECT_EQ(form->TickerIndex, int32_t((turn + 1) % std::size(lines))) << turn;
    }

    // Closing stops the scroll; the index is kept for the next run.
    form->Timer2Timer();
    form->FormClose();
    EXPECT_FALSE(panel.Playing());
    form->FormDestroy();
    EXPECT_EQ(TIniFile::Open(city.File("tarn.ini"))->ReadInteger("TMainForm", "Current_Pos", -1), 1);
}

TEST(Ticker, StoredIndexPastTheLinesStartsAgainAndNoLinesShowNothing)
{
    TCityCopy city;
    StoreIndexes(city, std::nullopt, 6);
    TStubServices services;
    auto form = StartForm(city.ProgramDir(), services);
    EXPECT_EQ(form->TickerIndex, 6);
    form->Timer2Timer();
    ASSERT_EQ(form->SecretPanel1->GetLines().size(), 1);
    EXPECT_EQ(form->SecretPanel1->GetLines()[0].toStdString(),
              "Добро пожаловать в информационно-справочную систему «TARN»!");
    ScrollThrough(*form->SecretPanel1);
    EXPECT_EQ(form->TickerIndex, 1);

    form->TickerLines.clear();
    form->TickerIndex = 3;
    form->Timer2Timer();
    EXPECT_FALSE(form->SecretPanel1->isVisible());
    EXPECT_TRUE(form->Timer2->isActive()) << "the ticker goes on waiting";
    EXPECT_EQ(form->TickerIndex, 3);
}

} // namespace
} // namespace tarn::test
