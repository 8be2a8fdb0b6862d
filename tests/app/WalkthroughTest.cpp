// A new user's first visit to the demo city and their return, through the
// program block as the program runs it: the loading window, a street and an
// organisation found, cards of text, a page and a picture, a place hovered,
// a place of the update window, a distance measured, signs added, moved
// and deleted, the legend, the labels' font, full screen; then a second
// start that finds the signs, the font, the window's place and the last
// view kept, and ends by closing the main window over a card and a group
// window. Each step grabs its window under the build folder
// (walkthrough_NN_*.png, 256 colours); the README shows a few of them.
#include "AppSupport.h"
#include "CommandsSupport.h"
#include "search/SearchSupport.h"

#include "app/SecretPanel.h"
#include "app/cards/Cust_f.h"
#include "app/cards/UnCont.h"
#include "app/cards/UnContViews.h"
#include "app/search/Group_f.h"
#include "app/windows/Legend_f.h"
#include "app/windows/Opt_f.h"
#include "app/windows/SelSgn_f.h"
#include "app/windows/Update_f.h"
#include "data/Layers.h"
#include "model/WorkSign.h"
#include "platform/Cp1251Qt.h"

#include <QAction>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTextDocument>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace tarn::test {
namespace {

using TClock = std::chrono::steady_clock;

// The picture in its 256 commonest colours, each other pixel the nearest
// of them: small enough for the README, and the map's colours stay.
QImage WithPalette(const QImage& image)
{
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    QHash<QRgb, int> counts;
    for (int y = 0; y < rgb.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x) ++counts[line[x]];
    }
    std::vector<std::pair<int, QRgb>> byCount;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) byCount.push_back({it.value(), it.key()});
    std::sort(byCount.begin(), byCount.end(), std::greater<>());
    QList<QRgb> palette;
    for (std::size_t i = 0; i < byCount.size() && i < 256; ++i) palette.push_back(byCount[i].second);
    return rgb.convertToFormat(QImage::Format_Indexed8, palette, Qt::ThresholdDither | Qt::AvoidDither);
}

// The pictures of the walk, numbered in order, and the time each step took.
class TShots {
public:
    void Take(QWidget& window, const std::string& name)
    {
        QCoreApplication::processEvents();
        char prefix[32];
        std::snprintf(prefix, sizeof prefix, "walkthrough_%02d_", ++Count);
        const QImage image = window.grab().toImage();
        EXPECT_FALSE(image.isNull()) << name;
        SaveAppImage(WithPalette(image), prefix + name);
        const auto now = TClock::now();
        Steps.push_back({name, std::chrono::duration<double>(now - Last).count()});
        Last = now;
    }
    void Report() const
    {
        for (const auto& [name, seconds] : Steps) std::printf("  %-22s %6.2f s\n", name.c_str(), seconds);
    }

private:
    int Count = 0;
    TClock::time_point Last = TClock::now();
    std::vector<std::pair<std::string, double>> Steps;
};

// The user's answers: every question is answered OK.
struct TWalkServices : TStubServices {
    std::vector<std::string> Questions;
    bool Confirm(const std::string& q) override
    {
        Questions.push_back(q);
        return true;
    }
};

// What the first visit leaves for the second.
struct TKept {
    QRect Window;
    TRect View;
    std::string Font;
    TObjectKey Moved;    // a sign added and moved
    TPoint MovedTo{};
    TObjectKey Deleted;  // a sign added and deleted
};

// A double click on a row, as the mouse gives it.
void DoubleClickRow(QListWidget* list, int row)
{
    const QPoint at = list->visualItemRect(list->item(row)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, at);
}

void ClickTab(QTabWidget* tabs, int index)
{
    QTest::mouseClick(tabs->tabBar(), Qt::LeftButton, {}, tabs->tabBar()->tabRect(index).center());
}

// Where a sign stands, if it stands anywhere.
std::optional<TPoint> SignAt(TMainForm& form, const TObjectKey& key)
{
    std::vector<uint8_t> b;
    if (form.Model()->GetObjectData(form.View(), 1, key, b) != ResultDone) return std::nullopt;
    const TObjectHeader h = DecodeObjectHeader(b.data());
    return TPoint{h.X, h.Y};
}

// The face name of the first text layer of the working map.
std::string LabelFont(TModel& model)
{
    std::vector<TLayerSelector> layers;
    model.GetLayerList(0, layers);
    for (const TLayerSelector& s : layers) {
        TLayerRec rec{};
        if (model.GetLayerInfo(s, rec) == 0 && IsTextKind(rec.Kind))
            return std::string(rec.TextFont.FaceName, strnlen(rec.TextFont.FaceName, sizeof rec.TextFont.FaceName));
    }
    return {};
}

// A sign chosen in the chooser (its picture taken once) and placed.
void AddSign(TMainForm& form, TShots& shots, QPoint at, int sample)
{
    static bool shown = false;
    TModalDriver choose([&](QWidget& w, int) {
        auto& chooser = static_cast<TSelectSignForm&>(w);
        QTest::mouseClick(chooser.SignPanel->Boxes[std::size_t(sample)]->SurfaceWidget(), Qt::LeftButton, {},
                          QPoint(10, 10));
        if (!shown) shots.Take(chooser, "sign_chooser");
        shown = true;
        chooser.BitBtn1->click();
    });
    form.N1->trigger();
    QTest::mouseClick(form.MapPanel->SurfaceWidget(), Qt::LeftButton, {}, at);
    EXPECT_EQ(choose.Seen, 1);
}

void FirstVisit(TMainForm& form, TWalkServices& services, TShots& shots, TKept& kept)
{
    TInfoModule& info = form.Info();
    TProgramWindows& windows = *info.Windows;
    QWidget* map = form.MapPanel->SurfaceWidget();
    form.resize(1000, 700);
    SettleWindow(form);
    EXPECT_NE(form.BannerViewer->ViewerKind(), TUniversalContainer::KindNone) << "a banner at once";
    // The ticker's wait is over: its first line on its way across.
    form.Timer2Timer();
    for (int i = 0; i < 180; ++i) form.SecretPanel1->ScrollStep();
    EXPECT_TRUE(form.SecretPanel1->isVisible());
    shots.Take(form, "main_window");

    // A street: a click in the street edit, part of its name, Enter.
    QTest::mouseClick(form.StreetE, Qt::LeftButton);
    EXPECT_FALSE(form.MapFocused) << "the lists have the keyboard";
    Type(form.StreetE, "лес");
    EXPECT_EQ(form.StreetE->text().toStdString(), "ЛЕСНАЯ, УЛ.");
    const TSearchText& streets = *form.StreetSearch;
    ASSERT_GE(streets.ItemIndex, 0);
    const TObjectKey street = *streets.Items.Data(streets.ItemIndex)->Key();
    Press(form.StreetE, Qt::Key_Return, "\r");
    ExpectShown(form, street, "the street");
    shots.Take(form, "street");

    // An organisation through its group: "Культура и отдых", then "Музеи",
    // then the museum's card, a page.
    ClickTab(form.PageControl1, 1);
    QTest::mouseClick(form.ObjE, Qt::LeftButton);
    Type(form.ObjE, "культура");
    Press(form.ObjE, Qt::Key_Return, "\r");
    ASSERT_EQ(info.GroupForms.size(), 1u);
    TGroupForm* group = GroupWindow(info, 0);
    Type(group->Edit1, "музеи");
    QTest::mouseClick(group->ShowBtn, Qt::LeftButton);
    ASSERT_EQ(info.GroupForms.size(), 2u);
    TGroupForm* museums = GroupWindow(info, 1);
    SettleWindow(*museums);
    shots.Take(*museums, "group_window");
    const int row = RowOf(museums->ListBox1, "КРАЕВЕДЧЕСКИЙ МУЗЕЙ");
    ASSERT_GE(row, 0);
    DoubleClickRow(museums->ListBox1, row);
    ASSERT_NE(info.CardForm, nullptr);
    SettleWindow(*info.CardForm);
    EXPECT_EQ(info.CardForm->Container->ViewerKind(), TUniversalContainer::KindHtml);
    shots.Take(*info.CardForm, "card_page");
    for (TGroupForm* g : {museums, group}) g->close();

    // A text card from the object list.
    form.ObjE->clear();
    Type(form.ObjE, "информ");
    EXPECT_EQ(form.ObjE->text().toStdString(), "ИНФОРМАЦИОННЫЙ ЦЕНТР «TARN»");
    Press(form.ObjE, Qt::Key_Return, "\r");
    ASSERT_NE(info.CardForm, nullptr);
    SettleWindow(*info.CardForm);
    EXPECT_EQ(info.CardForm->Container->ViewerKind(), TUniversalContainer::KindMemo);
    EXPECT_TRUE(info.CardForm->Container->GetText().contains(QString::fromUtf8("Справки об организациях")));
    shots.Take(*info.CardForm, "card_text");

    // The banner: the theatre's card, an animated picture; its button
    // shows the theatre on the map.
    ASSERT_EQ(form.BannerViewer->ViewerKind(), TUniversalContainer::KindGif);
    QTest::mouseClick(form.BannerViewer->Animator(), Qt::LeftButton, {}, QPoint(30, 30));
    ASSERT_NE(info.CardForm, nullptr);
    TCustomInfoForm& theatreCard = *info.CardForm;
    SettleWindow(theatreCard);
    EXPECT_EQ(theatreCard.Container->ViewerKind(), TUniversalContainer::KindGif);
    shots.Take(theatreCard, "card_picture");
    const TObjectKey theatre = theatreCard.CardRec()->Key;
    const TObjectKey& banner = form.BannerList.Records[std::size_t(form.BannerIndex - 1)].Key;
    EXPECT_EQ(TObjectId(theatre), TObjectId(TObjectKey{0, 1, banner.LayerID, 24, banner.Code}))
        << "the banner's object";
    QTest::mouseClick(theatreCard.ShowBtn, Qt::LeftButton);
    ExpectShown(form, theatre, "the theatre from its card");
    theatreCard.close();

    // The number pad with Num Lock on moves and zooms the map, and types
    // nothing into the street edit.
    QTest::mouseClick(map, Qt::LeftButton, {}, QPoint(5, 5));
    ASSERT_TRUE(form.MapFocused);
    const QString typed = form.StreetE->text();
    for (const auto& [key, text] : {std::pair{Qt::Key_4, "4"}, std::pair{Qt::Key_Plus, "+"}}) {
        form.Model()->GetViewState(*form.View());
        const TRect before = form.View()->WorldRect;
        Press(form.focusWidget(), key, text, Qt::KeypadModifier);
        form.Model()->GetViewState(*form.View());
        EXPECT_FALSE(form.View()->WorldRect == before) << "pad " << text;
        EXPECT_TRUE(form.MapFocused) << "pad " << text;
        EXPECT_EQ(form.StreetE->text(), typed) << "pad " << text;
    }

    // Hovering the theatre: the hand, and the map knows what is under it.
    const QPoint over = ScreenPointOf(form, theatre);
    QTest::mouseMove(map, QPoint(5, 5));
    QTest::mouseMove(map, over);
    QTest::mouseMove(map, over + QPoint(1, 0));
    EXPECT_EQ(form.View()->ViewMode, ModeHover);
    EXPECT_EQ(form.MapPanel->Surface().Cursor(), CursorHandPoint);
    shots.Take(form, "hover");
    QTest::mouseMove(map, QPoint(5, 5));

    // A name that looks like markup shows as it stands, in the row's
    // tooltip and in its right-click hint.
    {
        const char* hostile = "<img src=\"/dev/zero\"> <b>ТРАКТИР</b>";
        form.ObjectSearch->AddItem(Cp(hostile), MakeObjectData(form.Model(), form.View(), theatre));
        const int row = RowOf(form.ObjList, hostile);
        ASSERT_GE(row, 0);
        form.ObjList->scrollToItem(form.ObjList->item(row));
        const QPoint at = form.ObjList->visualItemRect(form.ObjList->item(row)).center();
        QTest::mouseMove(form.ObjList->viewport(), at);
        const QString tip = form.ObjList->toolTip();
        QTextDocument shown;
        shown.setHtml(tip);
        EXPECT_EQ(Qt::mightBeRichText(tip) ? shown.toPlainText() : tip, QString::fromUtf8(hostile));
        services.Hints.clear();
        QTest::mousePress(form.ObjList->viewport(), Qt::RightButton, {}, at);
        ASSERT_FALSE(services.Hints.empty());
        EXPECT_EQ(services.Hints.back().Text, hostile);
        QTest::mouseRelease(form.ObjList->viewport(), Qt::RightButton, {}, at);
        EXPECT_FALSE(services.HintShown);
    }

    // The update window: a place where new data is handed out.
    QTest::mouseClick(form.UpdateBtn, Qt::LeftButton);
    TUpdateForm& update = *windows.UpdateForm;
    ASSERT_TRUE(update.isVisible());
    SettleWindow(update);
    shots.Take(update, "update_window");
    QTest::mouseClick(update.Label15, Qt::LeftButton, {}, QPoint(4, 4));
    ExpectShown(form, {0, 1, 67, 24, 3}, "the third place");
    shots.Take(form, "update_place");
    update.close();

    // A distance: the ruler, two clicks and the mouse on.
    QTest::mouseClick(form.WayBtn, Qt::LeftButton);
    EXPECT_TRUE(form.WayPanel->isVisible());
    QTest::mouseClick(map, Qt::LeftButton, {}, QPoint(200, 200));
    QTest::mouseClick(map, Qt::LeftButton, {}, QPoint(420, 260));
    QTest::mouseMove(map, QPoint(460, 420));
    EXPECT_FALSE(form.WayPanel->text().isEmpty()) << "the length shown";
    shots.Take(form, "measure");
    QTest::mouseClick(form.WayBtn, Qt::LeftButton);
    EXPECT_FALSE(form.WayPanel->isVisible());

    // Two signs; the first moved, the second deleted after the question.
    kept.Moved = {1, 1, 307, 23, form.WorkSign->NextFreeCode()};
    AddSign(form, shots, QPoint(300, 300), 4);
    ASSERT_TRUE(SignAt(form, kept.Moved));
    kept.Deleted = {1, 1, 307, 23, form.WorkSign->NextFreeCode()};
    AddSign(form, shots, QPoint(520, 320), 1);
    ASSERT_TRUE(SignAt(form, kept.Deleted));
    form.MapPanel->Surface().Paint();
    shots.Take(form, "signs_added");
    form.N2->trigger();
    QTest::mousePress(map, Qt::LeftButton, {}, QPoint(300, 300));
    QTest::mouseRelease(map, Qt::LeftButton, {}, QPoint(360, 420));
    const std::optional<TPoint> moved = SignAt(form, kept.Moved);
    ASSERT_TRUE(moved);
    kept.MovedTo = *moved;
    form.MapPanel->Surface().Paint();
    form.N_2->trigger();
    QTest::mouseClick(map, Qt::LeftButton, {}, QPoint(520, 320));
    EXPECT_FALSE(SignAt(form, kept.Deleted)) << "deleted";
    EXPECT_EQ(services.Questions.size(), 1u);
    form.MapPanel->Surface().Paint();
    shots.Take(form, "signs_moved_and_deleted");

    // The legend, and the labels in another font.
    {
        TModalDriver legend([&](QWidget& w, int) {
            shots.Take(w, "legend");
            static_cast<TLegendForm&>(w).BitBtn1->click();
        });
        QTest::mouseClick(form.SpeedButton9, Qt::LeftButton);
        EXPECT_EQ(legend.Seen, 1);
    }
    QString font;
    for (const QString& f : LabelFontFamilies())
        if (f.startsWith("DejaVu") && f.toStdString() != LabelFont(*form.Model())) font = f;
    ASSERT_FALSE(font.isEmpty());
    {
        TModalDriver options([&](QWidget& w, int) {
            auto& o = static_cast<TOptionsForm&>(w);
            o.SetFontName(font);
            shots.Take(o, "options");
            o.BitBtn1->click();
        });
        QTest::mouseClick(form.SpeedButton1, Qt::LeftButton);
        EXPECT_EQ(options.Seen, 1);
    }
    kept.Font = QStringToCp1251(font);
    EXPECT_EQ(LabelFont(*form.Model()), kept.Font);
    SettleWindow(form);
    shots.Take(form, "label_font");

    // Full screen and back.
    const QRect before = form.geometry();
    QTest::keyClick(map, Qt::Key_F5);
    SettleWindow(form);
    EXPECT_TRUE(form.LeftPanel->isHidden());
    shots.Take(form, "full_screen");
    QTest::keyClick(map, Qt::Key_F5);
    SettleWindow(form);
    EXPECT_EQ(form.geometry(), before);

    // Close.
    form.Model()->GetViewState(*form.View());
    kept.View = form.View()->WorldRect;
    kept.Window = form.geometry();
    form.close();
    EXPECT_FALSE(form.SecretPanel1->Playing());
    EXPECT_TRUE(services.Errors.empty()) << services.Errors.front();
}

void Return(TMainForm& form, const TKept& kept, TShots& shots, TRect& closedView)
{
    SettleWindow(form);
    EXPECT_EQ(form.geometry(), kept.Window) << "the window where it was";
    form.Model()->GetViewState(*form.View());
    EXPECT_EQ(form.View()->WorldRect, kept.View) << "the last view";
    EXPECT_EQ(LabelFont(*form.Model()), kept.Font);
    const std::optional<TPoint> moved = SignAt(form, kept.Moved);
    ASSERT_TRUE(moved) << "the moved sign kept";
    // The sheet keeps whole metres.
    EXPECT_NEAR(moved->X, kept.MovedTo.X, 500);
    EXPECT_NEAR(moved->Y, kept.MovedTo.Y, 500);
    EXPECT_FALSE(SignAt(form, kept.Deleted)) << "the deleted sign stays deleted";
    shots.Take(form, "again");

    // Closing the main window over a card and a group window ends the
    // program: they close with it.
    TInfoModule& info = form.Info();
    form.ObjectSearch->ItemIndex = RowOf(form.ObjList, "Медицина");
    ASSERT_TRUE(form.ObjectSearch->ExecuteItem(nullptr));
    const QPointer<QWidget> group = info.GroupForms.at(0);
    form.ObjE->clear();
    Type(form.ObjE, "информ");
    Press(form.ObjE, Qt::Key_Return, "\r");
    ASSERT_NE(info.CardForm, nullptr);
    ASSERT_TRUE(info.CardForm->isVisible() && group->isVisible());
    form.Model()->GetViewState(*form.View());
    closedView = form.View()->WorldRect;
    form.close();
    EXPECT_FALSE(info.CardForm->isVisible());
    EXPECT_FALSE(group->isVisible());
}

TEST(Walkthrough, ANewUsersFirstVisitAndReturn)
{
    TCityCopy city;
    TShots shots;
    TKept kept;
    const auto start = TClock::now();
    {
        TWalkServices services;
        bool loading = false;
        services.OnProgress = [&](int32_t value) {
            if (loading || value < 60) return;
            for (QWidget* w : QApplication::topLevelWidgets())
                if (w->objectName() == "GaugeForm" && w->isVisible()) {
                    shots.Take(*w, "loading");
                    loading = true;
                }
        };
        services.Loop = [&](TMainForm& form) {
            FirstVisit(form, services, shots, kept);
            return 0;
        };
        ASSERT_EQ(RunProgram(city.ProgramDir(), "tarn", services), 0);
        EXPECT_TRUE(loading) << "the loading window with its gauge";
        EXPECT_EQ(services.Loops, 1);
    }
    {
        // The program's own message loop this time: only the main window's
        // close may end it (the watchdog says when it did not).
        TWalkServices services;
        TRect closedView{};
        bool timedOut = false;
        services.Loop = [&](TMainForm& form) {
            return RunProgramLoop(&form, [&] { Return(form, kept, shots, closedView); }, 20000, timedOut);
        };
        ASSERT_EQ(RunProgram(city.ProgramDir(), "tarn", services), 0);
        EXPECT_FALSE(timedOut) << "the program went on after its main window closed";
        EXPECT_TRUE(services.Errors.empty()) << services.Errors.front();
        // "tarn.ini" holds the view the program ended with.
        const auto ini = TIniFile::Open(city.File("tarn.ini"));
        EXPECT_EQ(ini->ReadInteger("START POSITION", "LEFT", 0), closedView.Left);
        EXPECT_EQ(ini->ReadInteger("START POSITION", "BOTTOM", 0), closedView.Bottom);
    }
    const double seconds = std::chrono::duration<double>(TClock::now() - start).count();
    shots.Report();
    std::printf("  %-22s %6.2f s\n", "the whole walk", seconds);
    EXPECT_LT(seconds, 60) << "the walk keeps CI fast";
}

} // namespace
} // namespace tarn::test
